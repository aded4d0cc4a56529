#!/usr/bin/env bash
# The window and both dialogs of the import on a small screen (800×600) under a virtual
# X server, with normal fonts and with fonts at 150 % (QT_FONT_DPI=144): the layout test
# checks that each window fits the screen and that no control sticks out or overlaps.
# Pictures of every window are left in <build>/e2e_layout/<dpi>/.
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
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Its own server on a display it picks itself (see e2e_window_import.sh).
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
[ -s "$work/display" ] || { echo "FALLO: Xvfb no arrancó: $(cat "$work/xvfb.log")" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export QT_QPA_PLATFORM=xcb

status=0
for dpi in 96 144; do
    shots="$build/e2e_layout/$dpi"
    rm -rf "$shots"
    mkdir -p "$shots"
    echo "== 800×600, QT_FONT_DPI=$dpi"
    QT_FONT_DPI=$dpi VT_SHOTS="$shots" "$test_binary" || status=1
done
exit $status
