#!/usr/bin/env bash
# The Windows stage of the tests: builds the Windows toolchain (from its cache when there),
# the program and its tests for Windows, and runs under Wine, with Spanish regional
# settings: the tests of the Windows build (unit tests, golden folders through
# veltra-tempolan.exe, the Windows-only checks and the embedding in a Win32 host window),
# then the installer: silent install, the installed programs on the sample school from
# a folder of their own, the installed window once, silent uninstall, and C:\TLTEMP
# untouched by it.
#   scripts/test-windows.sh [build folder, default build-windows]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-windows}
case "$build" in /*) ;; *) build=$here/$build ;; esac
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
need=()
for p in wine wine64 fonts-wine nsis fp-utils-3.2.2 xvfb xauth xdotool imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
fi

start=$(date +%s)
"$here/scripts/build-windows.sh" "$build"
echo "[windows] compilado en $(($(date +%s) - start)) s"

# A Wine prefix of this stage's own, made fresh, with a Wine server kept up throughout.
export VT_WINEPREFIX=$build/wineprefix
export WINEPREFIX=$VT_WINEPREFIX WINEDEBUG=-all LANG=es_ES.UTF-8 LC_ALL=es_ES.UTF-8
rm -rf "$VT_WINEPREFIX"
"$here/scripts/wine-run.sh" cmd /c ver >/dev/null 2>&1 || true
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT

t=$(date +%s)
# The Wine windows (the embedding check, the dialogs) need an X server.
(cd "$build" && xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    ctest --output-on-failure -j "$(nproc)" --timeout 900)
echo "[windows] pruebas en $(($(date +%s) - t)) s"

t=$(date +%s)
setup=$("$here/scripts/package-windows.sh" "$build")
echo "[windows] instalador $(basename "$setup"): $(du -h "$setup" | cut -f1)"
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
    bash "$here/tests/windows/installer_check.sh" "$setup" "$here" "$build"
echo "[windows] instalador comprobado en $(($(date +%s) - t)) s"
echo "[windows] etapa completa en $(($(date +%s) - start)) s"
