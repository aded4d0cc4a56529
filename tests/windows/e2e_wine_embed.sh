#!/usr/bin/env bash
# The Windows build embedded as Tempolan embeds it, under Wine and a virtual X server: a
# Win32 host window starts VeltraTempolan.exe "exportar HANDLE"; the tool's window must be
# the host's child; the import then runs through its dialogs by the keyboard (chooser,
# levels and courses, frames, completion) and leaves Transformado=1 in Tempolan.ini beside
# the program, read back by the host with GetPrivateProfileIntW.
# Arguments: the Windows build folder and the source folder. Needs DISPLAY and Wine.
set -euo pipefail
build=$(cd "${1:?carpeta de compilación}" && pwd)
source_dir=$(cd "${2:?carpeta de las fuentes}" && pwd)
bin=$build/bin
run() { "$source_dir/scripts/wine-run.sh" "$@"; }
export WINEPREFIX=${VT_WINEPREFIX:-$HOME/.cache/veltra-tempolan/wineprefix}
[ -n "${DISPLAY:-}" ] || { echo "sin pantalla X: prueba omitida"; exit 0; }

work=$(mktemp -d)
shots=$build/e2e_wine_embed
rm -rf "$shots"
mkdir -p "$shots"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FALLO: $*" >&2
    [ -s "$work/host.out" ] && cat "$work/host.out" >&2
    import -window root "$shots/fallo.png" 2>/dev/null || true
    exit 1
}
shot() { import -window root "$shots/$1.png" 2>/dev/null || true; }
wait_window() {
    local id
    for _ in $(seq 300); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1) || true
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}
wait_gone() {
    for _ in $(seq 150); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.2
    done
    fail "la ventana «$1» no se cerró"
}

# The program as installed: its folder holds Tempolan.ini afterwards.
prog=$work/programa
mkdir -p "$prog"
cp -r "$bin/VeltraTempolan.exe" "$bin/VELTMATERIAS.DBF" "$bin"/*.dll "$bin/platforms" "$prog/"
[ -d "$bin/styles" ] && cp -r "$bin/styles" "$prog/"
[ -e "$bin/qtbase_es.qm" ] && cp "$bin/qtbase_es.qm" "$prog/"
tltemp=$WINEPREFIX/drive_c/TLTEMP
rm -rf "$tltemp"
mkdir -p "$tltemp/veltra"
cp "$source_dir/tests/app/data/escuela.xml" "$tltemp/veltra/"

run "$bin/vt_host_window_win.exe" "Z:${prog//\//\\}\\VeltraTempolan.exe" exportar >"$work/host.out" 2>&1 &
host_pid=$!
pids+=("$host_pid")

chooser=$(wait_window "^Seleccione el Archivo XML obtenido de VELTRA\$") ||
    fail "no apareció el selector de documentos"
sleep 1
shot selector
xdotool windowfocus --sync "$chooser" 2>/dev/null || true
xdotool type --delay 20 'C:\TLTEMP\veltra\escuela.xml'
xdotool key Return
wait_gone "^Seleccione el Archivo XML obtenido de VELTRA\$"
grep -q "^hija si" "$work/host.out" 2>/dev/null || {
    sleep 2
    grep -q "^hija si" "$work/host.out" || fail "la ventana de la herramienta no es hija de la anfitriona"
}
echo "ok: la herramienta está dentro de la ventana anfitriona"
sleep 1
shot dentro

dialog=$(wait_window "^Asignación de Niveles y Cursos\$") ||
    fail "no apareció el diálogo de niveles y cursos"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 0.5
for code in ESO/1 ESO/2 BCT/1; do
    xdotool type --delay 20 "${code%/*}"
    xdotool key Return
    xdotool type --delay 20 "${code#*/}"
    xdotool key Return
done
shot cursos
xdotool key alt+o
wait_gone "^Asignación de Niveles y Cursos\$"

dialog=$(wait_window "^Planillas, Marcos o Jornadas Horarias\$") ||
    fail "no apareció el diálogo de marcos horarios"
xdotool windowfocus --sync "$dialog" 2>/dev/null || true
sleep 0.5
xdotool key Home shift+Down # the first two frames
shot marcos
xdotool key Return
wait_gone "^Planillas, Marcos o Jornadas Horarias\$"

box=$(wait_window "^VeltraTempolan\$") || fail "no apareció el mensaje final"
sleep 1
shot final
xdotool windowfocus --sync "$box" 2>/dev/null || true
xdotool key Return

for _ in $(seq 300); do
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$host_pid" 2>/dev/null && fail "la herramienta no terminó tras la importación"
wait "$host_pid" || fail "la anfitriona no vio Transformado=1: $(tr -d '\r' <"$work/host.out")"
tr -d '\r' <"$work/host.out" | grep -qx "Transformado 1" || fail "Tempolan.ini no tiene 1"
[ -s "$tltemp/GRUPOST.DBF" ] && [ -s "$tltemp/ASIGT.DBF" ] || fail "la importación no escribió las tablas"
echo "ok: importación dentro de la anfitriona; Tempolan.ini -> Transformado=1"
