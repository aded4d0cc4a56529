#!/usr/bin/env bash
# A small school's Veltra document through the real window under a virtual X server, the
# user's part played with xdotool:
#   0. a first attempt where the user leaves codes out and then forces the exit;
#   1. standalone: BExportar, the chooser, the course dialog (levels and courses typed
#      into the grid), the frame dialog (two frames, Ctrl-click), "Proceso finalizado";
#      the working tables are dumped with the batch front end and counted;
#   2. a stand-in for Tempolan writes SOLUC; BImportar writes ResultadoTempolan<name>
#      beside the document, with every teacher that has an employee key;
#   3. embedded in a host window, "exportar" (the saved codes recovered, one frame) and
#      then "importar", each leaving 1 in Tempolan.ini and closing by itself;
#   4. the sample school (samples/escuela): its codes recovered from an earlier import,
#      both frames; the window's tables equal the batch front end's, and the window's
#      export with the sample's SOLUC equals the batch export but for its date.
# Screenshots of both dialogs are left in <build>/e2e_window_import/.
# Arguments: the build folder and the source folder.
set -euo pipefail
build=$(cd "${1:?carpeta de compilación}" && pwd)
source_dir=$(cd "${2:?carpeta de las fuentes}" && pwd)

for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool no está instalado: prueba omitida"
        exit 0
    fi
done
for file in "$build/VeltraTempolan" "$build/veltra-tempolan" "$build/tests/vt_write_soluc" \
    "$build/VELTMATERIAS.DBF"; do
    if [ ! -e "$file" ]; then
        echo "falta $file: compile antes VeltraTempolan, veltra-tempolan," \
            "vt_write_soluc y veltmaterias" >&2
        exit 1
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A virtual X server of our own; it picks a free display itself and reports it, so that
# other scripts starting theirs at the same time cannot take it from under us. Without
# -noreset it resets whenever its last client leaves, and a program started at that
# moment cannot connect.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
pids+=("$xvfb_pid")
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FALLO: Xvfb no arrancó: $(cat "$work/xvfb.log")" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

shots="$build/e2e_window_import"
rm -rf "$shots"
mkdir -p "$shots"

# The program in a folder of its own, as installed: Tempolan.ini, the subject catalogue
# and the help file beside it.
prog="$work/programa"
mkdir -p "$prog"
cp "$build/VeltraTempolan" "$build/VELTMATERIAS.DBF" "$prog/"
[ -e "$build/VELTRA.chm" ] && cp "$build/VELTRA.chm" "$prog/"
export TLTEMP="$work/tltemp"
mkdir -p "$TLTEMP/veltra"
document="$TLTEMP/veltra/escuela.xml"
output="$TLTEMP/veltra/ResultadoTempolanescuela.xml"
cp "$source_dir/tests/app/data/escuela.xml" "$document"
ini="$prog/Tempolan.ini"
export QT_QPA_PLATFORM=xcb
title="Exportar e importar datos entre Tempolan y Veltra"

fail() {
    echo "FALLO: $*" >&2
    [ -s "$work/programa.log" ] && tail -n 20 "$work/programa.log" >&2
    kill -0 "$xvfb_pid" 2>/dev/null || echo "Xvfb terminó: $(tail -n 5 "$work/xvfb.log")" >&2
    [ -n "${DISPLAY:-}" ] && command -v import >/dev/null &&
        import -window root "$shots/fallo.png" 2>/dev/null || true
    exit 1
}

shot() {
    if command -v import >/dev/null; then
        import -window root "$shots/$1.png" || true
    fi
}

# Waits for a visible window whose name matches; prints its id. A search fails when a
# window goes away while it looks (the chooser closing, say): it is simply asked again.
wait_window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Waits until no visible window has that name.
wait_gone() {
    for _ in $(seq 100); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    fail "la ventana «$1» no se cerró"
}

# Waits for the program to end; fails when it lingers.
wait_exit() {
    local pid=$1
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; return 0; }
        sleep 0.1
    done
    fail "el programa sigue abierto: $2"
}

click() { # window, x, y inside it
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

start_program() {
    "$prog/VeltraTempolan" "$@" >>"$work/programa.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
}

# The chooser: the path typed into its file name box, then Return. When the name box's
# completion list has come up, the first Return only takes the completion: press again.
choose_document() {
    local chooser name="^Seleccione el Archivo XML obtenido de VELTRA\$"
    chooser=$(wait_window "$name") || fail "no apareció el selector de documentos"
    xdotool windowfocus --sync "$chooser"
    xdotool type --delay 5 "$document"
    for _ in 1 2 3; do
        xdotool key Return
        for _ in $(seq 20); do
            xdotool search --onlyvisible --name "$name" >/dev/null 2>&1 || return 0
            sleep 0.1
        done
    done
    fail "el selector no aceptó $document"
}

# "Proceso finalizado" (or whatever box the run shows) is accepted with Return.
accept_message() {
    local box
    box=$(wait_window "^VeltraTempolan\$") || fail "no apareció el mensaje final: $1"
    shot "$1"
    xdotool windowfocus --sync "$box"
    xdotool key Return
    wait_gone "^VeltraTempolan\$"
}

# The course dialog, by keyboard only: the grid has the focus on the first code that is
# missing (the first row's NIVEL on a fresh import); typing opens the cell, Return stores
# it and moves on to CURSO, and from there to the next row's NIVEL. Tab leaves the grid
# for the explanation, Tab again reaches OK, and Return there is OK.
answer_cursos() {
    local dialog name=$1 code
    shift
    dialog=$(wait_window "^Asignación de Niveles y Cursos\$") ||
        fail "no apareció el diálogo de niveles y cursos"
    xdotool windowfocus --sync "$dialog"
    sleep 0.2
    for code in "$@"; do # NIVEL/CURSO of each row in turn
        xdotool type --delay 10 "${code%/*}"
        xdotool key Return
        xdotool type --delay 10 "${code#*/}"
        xdotool key Return
    done
    shot "$name"
    xdotool key Tab Tab
    sleep 0.2
    xdotool key Return
    wait_gone "^Asignación de Niveles y Cursos\$"
}

# The frame dialog: rows of the frame list are clicked (the first plainly, the others
# with Ctrl held, as its red label tells), then Continuar, the default button.
answer_plantillas() {
    local dialog name=$1 first=$2
    shift 2
    dialog=$(wait_window "^Planillas, Marcos o Jornadas Horarias\$") ||
        fail "no apareció el diálogo de marcos horarios"
    xdotool windowfocus --sync "$dialog"
    sleep 0.2
    click "$dialog" 40 $((134 + 14 * first))
    for row in "$@"; do
        xdotool mousemove --window "$dialog" 40 $((134 + 14 * row)) keydown ctrl click 1 keyup ctrl
    done
    sleep 0.2
    shot "$name"
    xdotool key Return
    wait_gone "^Planillas, Marcos o Jornadas Horarias\$"
}

# The row count of a working table, as the batch front end reports it.
rows_of() {
    "$build/veltra-tempolan" table "$1" --workdir "$TLTEMP" | sed -n '1s/^.* \([0-9][0-9]*\) filas$/\1/p'
}

expect_rows() {
    local table=$1 expected=$2 got
    got=$(rows_of "$table") || fail "no se pudo leer la tabla $table"
    [ "$got" = "$expected" ] || fail "$table tiene $got filas; se esperaban $expected"
}

column_of() { # table, field: the field's values, one a line
    "$build/veltra-tempolan" table "$1" --workdir "$TLTEMP" --format json |
        grep -o "\"$2\": \"[^\"]*\"" | sed 's/.*: "\(.*\)"/\1/'
}

ini_value() {
    tr -d '\r' <"$ini" | sed -n 's/^Transformado=//p'
}

# 0. A first attempt left unfinished: OK with the levels of two offers missing gives
#    "¡Atención! Falta algún Dato" and a new dialog with the forced exit, which ends the
#    run and the program; nothing after the courses step is written.
start_program
main=$(wait_window "^$title\$") || fail "no apareció la ventana principal"
click "$main" 140 197 # BExportar, under the left caption
choose_document
dialog=$(wait_window "^Asignación de Niveles y Cursos\$") ||
    fail "no apareció el diálogo de niveles y cursos"
xdotool windowfocus --sync "$dialog"
sleep 0.2
xdotool type --delay 10 ESO
xdotool key Return
xdotool type 1
xdotool key Return
xdotool key alt+o # OK by its mnemonic
box=$(wait_window "^VeltraTempolan\$") || fail "no se avisó de que falta algún dato"
shot cursos-incidencias
xdotool windowfocus --sync "$box"
xdotool key Return
wait_gone "^VeltraTempolan\$"
dialog=$(wait_window "^Asignación de Niveles y Cursos\$") ||
    fail "no volvió el diálogo de niveles y cursos"
sleep 0.2
shot cursos-forzar
xdotool windowfocus --sync "$dialog"
sleep 0.2
# Past the explanation to "Forzar Salida Sin Terminar Proceso "; Enter presses it, not OK.
xdotool key Tab Tab Return
box=$(wait_window "^VeltraTempolan\$") || fail "no se dijo qué pasa tras forzar la salida"
shot salida-forzada
xdotool windowfocus --sync "$box"
xdotool key Return
wait_exit "$app_pid" "tras forzar la salida"
# Whole or not at all: the folder is as it was (it held no table), but for the codes typed
# in full, kept in CURSOST2 for the next import.
[ ! -e "$TLTEMP/PERIODOS.DBF" ] && [ ! -e "$TLTEMP/CURSOST.DBF" ] && [ -e "$TLTEMP/CURSOST2.DBF" ] &&
    [ ! -e "$TLTEMP/ASIGNOMT.DBF" ] ||
    fail "tras forzar la salida las tablas debían quedar como estaban (salvo CURSOST2): $(ls "$TLTEMP")"
[ ! -e "$ini" ] || fail "fuera de Tempolan no debe escribirse Tempolan.ini"
echo "ok: falta algún dato, nuevo diálogo, salida forzada: el programa termina"
# The next import starts with no saved codes, so no recovery question comes first.
rm -f "$TLTEMP/CURSOST2.DBF"

# 1. Standalone import.
start_program
main=$(wait_window "^$title\$") || fail "no apareció la ventana principal"
click "$main" 140 197 # BExportar, under the left caption
choose_document
answer_cursos cursos ESO/1 ESO/2 BCT/1
answer_plantillas marcos 0 1 # TAR, then MAN with Ctrl
accept_message importacion-finalizada
xdotool windowfocus --sync "$main"
xdotool key alt+s
wait_exit "$app_pid" "tras «Salir»"
[ ! -e "$ini" ] || fail "fuera de Tempolan no debe escribirse Tempolan.ini"

for pair in PERIODOS:1 CURSOST:3 CURSOST2:3 ASIGNOMT:11 ASIGNOMT2:9 PROFT:5 AULAT:4 GRUPOST:4 \
    ASIGT:13 DIASHORAST:70 ORIGENES_C:2 NIVELES_C:2 CUR_NIV_C:3 AUTORIZA_C:3; do
    expect_rows "${pair%%:*}" "${pair#*:}"
done
[ "$(column_of GRUPOST ABREV | paste -sd,)" = "ESO1A,ESO1B,ESO2A,BCT1A" ] ||
    fail "GRUPOST: $(column_of GRUPOST ABREV | paste -sd,)"
[ "$(column_of CURSOST2 NIVEL | paste -sd,)" = "ESO,ESO,BCT" ] ||
    fail "CURSOST2 no guardó los niveles tecleados"
[ "$(column_of DIASHORAST MARCOXML | sort | uniq -c | awk '{print $2 "=" $1}' | paste -sd,)" = \
    "MAN=42,TAR=28" ] || fail "DIASHORAST no tiene los dos marcos elegidos"
[ "$(column_of DIASHORAST MARCO | sort | uniq -c | awk '{print $2 "=" $1}' | paste -sd,)" = \
    "0=42,1=28" ] || fail "DIASHORAST: la mañana debía ser el marco 0"
echo "ok: importación en la ventana; las catorce tablas tienen las filas esperadas"

# 2. Tempolan computes the timetable; the export from the window.
"$build/tests/vt_write_soluc" "$TLTEMP" >/dev/null || fail "no se pudo escribir SOLUC"
start_program
main=$(wait_window "^$title\$") || fail "no apareció la ventana principal"
click "$main" 418 197 # BImportar, under the right caption
choose_document
accept_message exportacion-finalizada
xdotool windowfocus --sync "$main"
xdotool key alt+s
wait_exit "$app_pid" "tras «Salir»"
[ -s "$output" ] || fail "no se escribió $output"
grep -q '<grupo_datos seq="HORARIOS_REGULARES" registros="4">' "$output" ||
    fail "$output no tiene HORARIOS_REGULARES con los cuatro profesores"
employees=$(grep -o '<dato nombre_dato="X_EMPLEADO">[^<]*</dato>' "$output" |
    sed 's/<[^>]*>//g' | paste -sd,)
[ "$employees" = "7001,7002,7003,7005,7001,7002,7003,7005" ] ||
    fail "profesores exportados: $employees"
[ "$(grep -o 'seq="ACTIVIDAD_[0-9]*"' "$output" | wc -l)" = 16 ] ||
    fail "se esperaban 12 clases y 4 guardias en $output"
head -n1 "$output" | grep -q 'encoding="ISO-8859-1"' || fail "$output perdió su declaración"
echo "ok: exportación en la ventana; $(basename "$output") con HORARIOS_REGULARES"

# 3. Embedded in Tempolan's window: "exportar" recovers the codes typed in 1 and takes
#    the afternoon frame only; "importar" then writes the document again.
if [ -x "$build/tests/vt_host_window" ] && command -v xwininfo >/dev/null; then
    "$build/tests/vt_host_window" >"$work/host.id" &
    host_pid=$!
    pids+=("$host_pid")
    for _ in $(seq 100); do
        [ -s "$work/host.id" ] && break
        sleep 0.1
    done
    host_id=$(head -n1 "$work/host.id")
    [ -n "$host_id" ] || fail "la ventana anfitriona no dio su identificador"

    start_program exportar "$host_id"
    choose_document
    question=$(wait_window "^Recuperación de Niveles y Cursos importados anteriormente\$") ||
        fail "no se preguntó por los niveles y cursos guardados"
    xwininfo -tree -id "0x$host_id" | grep -q "\"$title\"" ||
        fail "la ventana no está dentro de la anfitriona"
    shot recuperacion
    xdotool windowfocus --sync "$question"
    xdotool key Return # Recuperar, the default
    answer_cursos cursos-recuperados
    answer_plantillas marcos-tarde 0
    accept_message importacion-incrustada
    wait_exit "$app_pid" "incrustado, tras la importación"
    [ "$(ini_value)" = "1" ] || fail "Tempolan.ini debía contener Transformado=1: $(cat "$ini")"
    [ "$(column_of GRUPOST ABREV | paste -sd,)" = "ESO1A,ESO1B,ESO2A,BCT1A" ] ||
        fail "los códigos recuperados no dieron los mismos grupos"
    expect_rows DIASHORAST 28

    "$build/tests/vt_write_soluc" "$TLTEMP" >/dev/null || fail "no se pudo escribir SOLUC"
    rm -f "$ini" "$output"
    start_program importar "$host_id"
    choose_document
    accept_message exportacion-incrustada
    wait_exit "$app_pid" "incrustado, tras la exportación"
    [ "$(ini_value)" = "1" ] || fail "Tempolan.ini debía contener Transformado=1: $(cat "$ini")"
    grep -q 'seq="HORARIOS_REGULARES"' "$output" || fail "la exportación incrustada no escribió $output"
    echo "ok: incrustado en Tempolan, importación y exportación -> Transformado=1"
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
else
    echo "sin vt_host_window o xwininfo: se omite la parte incrustada"
fi

# 4. The sample school, imported and exported through the window; the batch front end
#    does the same in a folder of its own, and both must agree.
sample="$source_dir/samples/escuela"
if [ -f "$sample/veltra.xml" ] && [ -f "$sample/codes.csv" ] && [ -f "$sample/SOLUC.DBF" ]; then
    reference="$work/referencia"
    mkdir -p "$reference/veltra"
    cp "$sample/veltra.xml" "$reference/veltra/"
    "$build/veltra-tempolan" import "$reference/veltra/veltra.xml" --workdir "$reference" \
        --catalog "$build/VELTMATERIAS.DBF" --no-recover --codes "$sample/codes.csv" \
        --frames 1101,1102 >/dev/null || fail "la importación por lotes de la muestra falló"

    export TLTEMP="$work/muestra"
    mkdir -p "$TLTEMP/veltra"
    document="$TLTEMP/veltra/veltra.xml"
    output="$TLTEMP/veltra/ResultadoTempolanveltra.xml"
    cp "$sample/veltra.xml" "$document"
    cp "$reference/CURSOST2.DBF" "$TLTEMP/" # the codes typed at an earlier import

    start_program
    main=$(wait_window "^$title\$") || fail "no apareció la ventana principal"
    click "$main" 140 197
    choose_document
    question=$(wait_window "^Recuperación de Niveles y Cursos importados anteriormente\$") ||
        fail "no se preguntó por los niveles y cursos guardados"
    xdotool windowfocus --sync "$question"
    xdotool key Escape # keeps the saved codes, as Recuperar does
    answer_cursos muestra-cursos
    answer_plantillas muestra-marcos 0 1
    accept_message muestra-importacion
    xdotool windowfocus --sync "$main"
    xdotool key alt+s
    wait_exit "$app_pid" "tras «Salir»"

    for table in PERIODOS CURSOST CURSOST2 ASIGNOMT ASIGNOMT2 PROFT AULAT GRUPOST ASIGT \
        DIASHORAST ORIGENES_C NIVELES_C CUR_NIV_C AUTORIZA_C; do
        "$build/veltra-tempolan" table "$table" --workdir "$TLTEMP" >"$work/ventana.csv" ||
            fail "la ventana no dejó la tabla $table"
        "$build/veltra-tempolan" table "$table" --workdir "$reference" >"$work/lotes.csv"
        cmp -s "$work/ventana.csv" "$work/lotes.csv" ||
            fail "$table difiere entre la ventana y la importación por lotes:" \
                "$(diff "$work/ventana.csv" "$work/lotes.csv" | head -n 6)"
    done
    expect_rows CURSOST 40
    expect_rows PROFT 80
    expect_rows DIASHORAST 91
    echo "ok: muestra importada en la ventana; sus catorce tablas son las de la importación por lotes"

    cp "$sample/SOLUC.DBF" "$TLTEMP/"
    cp "$sample/SOLUC.DBF" "$reference/"
    start_program
    main=$(wait_window "^$title\$") || fail "no apareció la ventana principal"
    click "$main" 418 197
    choose_document
    accept_message muestra-exportacion
    xdotool windowfocus --sync "$main"
    xdotool key alt+s
    wait_exit "$app_pid" "tras «Salir»"
    [ -s "$output" ] || fail "no se escribió $output"
    keyed=$(column_of PROFT X_EMPLEADO | grep -v '^ *$' | paste -sd,)
    [ "$(echo "$keyed" | tr ',' '\n' | wc -l)" = 78 ] || fail "PROFT: $keyed"
    grep -q '<grupo_datos seq="HORARIOS_REGULARES" registros="78">' "$output" ||
        fail "$output no tiene HORARIOS_REGULARES con 78 profesores"
    employees=$(grep -o '<dato nombre_dato="X_EMPLEADO">[^<]*</dato>' "$output" |
        sed 's/<[^>]*>//g' | paste -sd,)
    [ "$employees" = "$keyed,$keyed" ] || fail "los profesores exportados no son los de PROFT"
    "$build/veltra-tempolan" export "$reference/veltra/veltra.xml" --workdir "$reference" \
        >/dev/null || fail "la exportación por lotes de la muestra falló"
    sed 's/ fecha="[^"]*"//' "$output" >"$work/ventana.xml"
    sed 's/ fecha="[^"]*"//' "$reference/veltra/ResultadoTempolanveltra.xml" >"$work/lotes.xml"
    cmp -s "$work/ventana.xml" "$work/lotes.xml" ||
        fail "la exportación de la ventana difiere de la exportación por lotes"
    echo "ok: muestra exportada en la ventana: 78 profesores, igual que por lotes"
else
    echo "sin samples/escuela: se omite la escuela de muestra"
fi
