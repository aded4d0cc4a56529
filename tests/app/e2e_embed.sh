#!/usr/bin/env bash
# The tool started by Tempolan inside one of its windows, under a virtual X server:
# the window becomes the host's child, a cancelled chooser leaves -1 in Tempolan.ini,
# an unknown action word closed with "&Salir" leaves 0, and the tool closes by itself
# when the host window goes away.
# Arguments: the build folder and the source folder.
set -euo pipefail
build=$(cd "${1:?carpeta de compilación}" && pwd)

if [ -z "${VT_E2E_INSIDE_XVFB:-}" ]; then
    if ! command -v xvfb-run >/dev/null; then
        echo "xvfb-run no está instalado: prueba omitida"
        exit 0
    fi
    for tool in xdotool xwininfo; do
        if ! command -v "$tool" >/dev/null; then
            echo "$tool no está instalado: prueba omitida"
            exit 0
        fi
    done
    for exe in "$build/VeltraTempolan" "$build/tests/vt_host_window"; do
        if [ ! -x "$exe" ]; then
            echo "falta $exe: compile antes los objetivos VeltraTempolan y vt_host_window" >&2
            exit 1
        fi
    done
    export VT_E2E_INSIDE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A copy of the program, so that Tempolan.ini lands beside it in the scratch folder.
cp "$build/VeltraTempolan" "$work/"
export TLTEMP="$work/tltemp"
mkdir -p "$TLTEMP/veltra"
export QT_QPA_PLATFORM=xcb
ini="$work/Tempolan.ini"
title="Exportar e importar datos entre Tempolan y Veltra"

fail() {
    echo "FALLO: $*" >&2
    exit 1
}

start_host() {
    "$build/tests/vt_host_window" >"$work/host.id" &
    host_pid=$!
    pids+=("$host_pid")
    for _ in $(seq 100); do
        [ -s "$work/host.id" ] && break
        sleep 0.1
    done
    host_id=$(head -n1 "$work/host.id")
    [ -n "$host_id" ] || fail "la ventana anfitriona no dio su identificador"
}

# Waits for a visible window whose name matches; prints its id.
wait_window() {
    timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -n1
}

# Waits for the tool to end; fails when it lingers.
wait_exit() {
    local pid=$1
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" || true; return 0; }
        sleep 0.1
    done
    fail "la herramienta sigue abierta: $2"
}

ini_value() {
    tr -d '\r' <"$ini" | sed -n 's/^Transformado=//p'
}

# 1. "exportar" inside the host; the chooser is cancelled: "No existe archivo", -1.
start_host
"$work/VeltraTempolan" exportar "$host_id" &
tool_pid=$!
pids+=("$tool_pid")
chooser=$(wait_window "Seleccione el Archivo XML obtenido de VELTRA") ||
    fail "no apareció el selector de documentos"
xwininfo -tree -id "0x$host_id" | grep -q "\"$title\"" ||
    fail "la ventana de la herramienta no es hija de la anfitriona"
xdotool windowfocus --sync "$chooser"
xdotool key Escape
box=$(wait_window "^VeltraTempolan$") || fail "no apareció el mensaje"
xdotool windowfocus --sync "$box"
xdotool key Return
wait_exit "$tool_pid" "tras «No existe archivo»"
[ "$(ini_value)" = "-1" ] || fail "Tempolan.ini debía contener Transformado=-1: $(cat "$ini")"
echo "ok: selector cancelado -> Transformado=-1"

# 2. An unknown action word: nothing starts; "&Salir" (Alt+S) writes 0 and keeps the
#    rest of Tempolan's file as it was.
printf '; ajustes de Tempolan\r\n[Rutas]\r\nTrabajo=C:\\TLTEMP\r\n\r\n' >"$work/otros"
cat "$work/otros" "$ini" >"$work/ini.new" && mv "$work/ini.new" "$ini"
"$work/VeltraTempolan" otra "$host_id" &
tool_pid=$!
pids+=("$tool_pid")
main=$(wait_window "^$title\$") || fail "no apareció la ventana principal"
xwininfo -tree -id "0x$host_id" | grep -q "\"$title\"" ||
    fail "la ventana de la herramienta no es hija de la anfitriona"
xdotool windowfocus --sync "$main"
xdotool key alt+s
wait_exit "$tool_pid" "tras «Salir»"
[ "$(ini_value)" = "0" ] || fail "Tempolan.ini debía contener Transformado=0: $(cat "$ini")"
head -c "$(stat -c %s "$work/otros")" "$ini" | cmp -s - "$work/otros" ||
    fail "las demás líneas de Tempolan.ini cambiaron: $(cat "$ini")"
echo "ok: palabra desconocida y Salir -> Transformado=0, resto del archivo intacto"

# 3. Tempolan goes away while the tool waits: the tool closes as with "&Salir".
rm -f "$ini"
"$work/VeltraTempolan" otra "$host_id" &
tool_pid=$!
pids+=("$tool_pid")
wait_window "^$title\$" >/dev/null || fail "no apareció la ventana principal"
kill "$host_pid"
wait "$host_pid" 2>/dev/null || true
wait_exit "$tool_pid" "después de cerrarse la ventana anfitriona"
[ "$(ini_value)" = "0" ] || fail "Tempolan.ini debía contener Transformado=0 al irse la anfitriona"
echo "ok: la anfitriona desaparece -> la herramienta se cierra con Transformado=0"
