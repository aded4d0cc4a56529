#!/usr/bin/env bash
# The window, both dialogs of the import and the document chooser under a virtual X
# server: at 800×600 with normal fonts, with fonts at 150 % (QT_FONT_DPI=144) and with
# everything at 150 % (QT_SCALE_FACTOR=1.5), and at 1366×768. The layout test checks that
# each window fits the screen, that no control sticks out or overlaps, that every button is
# within reach and that the course dialog shows its rule, a 5-letter level and a long
# course name whole. Pictures of every window are left in <build>/e2e_layout/<case>/.
# Arguments: the build folder and the source folder.
set -euo pipefail
build=$(cd "${1:?carpeta de compilación}" && pwd)

if ! command -v Xvfb >/dev/null; then
    echo "Xvfb no está instalado: prueba omitida"
    exit 0
fi
test_binary="$build/tests/test_app_layout"
[ -x "$test_binary" ] || { echo "falta $test_binary: compile antes test_app_layout" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=
stop_server() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
}
cleanup() {
    stop_server
    rm -rf "$work"
}
trap cleanup EXIT

# Its own server on a display it picks itself (see e2e_window_import.sh).
start_server() {
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$work/display" ] && break
        sleep 0.1
    done
    [ -s "$work/display" ] || { echo "FALLO: Xvfb no arrancó: $(cat "$work/xvfb.log")" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$work/display")"
}
export QT_QPA_PLATFORM=xcb

status=0
# screen, case name, environment
cases=(
    "800x600 800x600 -"
    "800x600 800x600-dpi144 QT_FONT_DPI=144"
    "800x600 800x600-escala150 QT_SCALE_FACTOR=1.5"
    "1366x768 1366x768 -"
)
for c in "${cases[@]}"; do
    read -r screen name setting <<<"$c"
    start_server "$screen"
    shots="$build/e2e_layout/$name"
    rm -rf "$shots"
    mkdir -p "$shots"
    echo "== $name"
    if [ "$setting" = - ]; then
        VT_SHOTS="$shots" "$test_binary" || status=1
    else
        env "$setting" VT_SHOTS="$shots" "$test_binary" || status=1
    fi
    stop_server
done
exit $status
