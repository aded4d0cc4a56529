#!/usr/bin/env bash
# Builds the program, its tools and its tests for Windows (x86_64, mingw-w64) into
# build-windows/ (or the folder given first), against the toolchain that
# scripts/windows-toolchain.sh makes (built first when missing). Every program lands in
# <folder>/bin beside the DLLs it needs, as it will be installed, so that Wine runs it
# from there; CTest runs the Windows tests through scripts/wine-run.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build-windows}
shift || true
case "$dir" in /*) ;; *) dir=$here/$dir ;; esac
prefix=$("$here/scripts/windows-toolchain.sh")
export VT_WINDOWS_PREFIXES="$prefix"
mingw_gcc=$(dirname "$(x86_64-w64-mingw32-gcc-posix -print-libgcc-file-name)")

cmake -S "$here" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_WERROR=ON \
    -DVT_BENCH=OFF -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$dir/bin" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$here/scripts/wine-run.sh" "$@" >/dev/null

# The DLLs first: the catalogue is written at build time by make_catalog.exe under Wine.
# Only what the programs import, found from their import tables, goes into the installer;
# here the whole set the build may need is copied once.
bin=$dir/bin
mkdir -p "$bin/platforms" "$bin/styles"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Test libxml2; do
    cp -u "$prefix/bin/$dll.dll" "$bin/"
done
cp -u "$prefix/plugins/platforms/qwindows.dll" "$prefix/plugins/platforms/qoffscreen.dll" "$bin/platforms/"
if [ -f "$prefix/plugins/styles/qwindowsvistastyle.dll" ]; then
    cp -u "$prefix/plugins/styles/qwindowsvistastyle.dll" "$bin/styles/"
fi
for dll in libstdc++-6 libgcc_s_seh-1; do cp -u "$mingw_gcc/$dll.dll" "$bin/"; done
cp -u /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$bin/"
# Qt's own texts in Spanish: the .qm files do not depend on the system.
if [ -f /usr/share/qt6/translations/qtbase_es.qm ]; then
    cp -u /usr/share/qt6/translations/qtbase_es.qm "$bin/"
fi

nice -n 2 cmake --build "$dir" -j "$(nproc)"
