#!/usr/bin/env bash
# Builds, from Debian's own source packages, what the Windows build of this program links
# against: libxml2, Qt's base modules (Core, Gui, Widgets, Test, the windows platform plugin
# and the Windows styles) and GoogleTest, cross-compiled for x86_64-w64-mingw32 (posix
# threads). Everything goes into one cache folder named after the versions, outside the
# repository; when that folder is complete the script does nothing. Prints the folder.
#
#   scripts/windows-toolchain.sh            # build what is missing, print the prefix
#   VT_WINDOWS_CACHE=DIR scripts/...        # another cache root (default ~/.cache/veltra-tempolan)
#
# On a fresh 2-core machine it takes about 45 minutes, nearly all of it Qt.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
qt_version=6.4.2
xml_version=2.9.14
cache_root=${VT_WINDOWS_CACHE:-$HOME/.cache/veltra-tempolan}
prefix=$cache_root/windows-qt$qt_version-xml$xml_version
log() { echo "[windows-toolchain] $*" >&2; }
# Standard output is only the prefix (callers take it with $(...)); everything the builds
# print goes to standard error.
exec 3>&1 1>&2

if [ -f "$prefix/.complete" ]; then
    echo "$prefix" >&3
    exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools dpkg-dev cmake ninja-build qt6-base-dev
    qt6-base-dev-tools googletest xz-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The source packages come from the same suite as the binaries.
src_list=/etc/apt/sources.list.d/veltra-tempolan-src.sources
if [ ! -f "$src_list" ]; then
    log "añadiendo las fuentes de Debian ($src_list)"
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
        $SUDO tee "$src_list" >/dev/null
    need_update=1
fi
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    [ ${#missing[@]} -gt 0 ] && $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

work=$cache_root/work-qt$qt_version-xml$xml_version
mkdir -p "$work" "$prefix"
toolchain=$here/cmake/mingw-w64.cmake
jobs=$(nproc)
export VT_WINDOWS_PREFIXES="$prefix"

# --- libxml2: no iconv or ICU on Windows here; the program brings its own Windows-1252.
if [ ! -f "$prefix/.libxml2" ]; then
    log "libxml2 $xml_version"
    (cd "$work" && rm -rf libxml2-src && mkdir -p dl && cd dl &&
        { ls libxml2_${xml_version}*.dsc >/dev/null 2>&1 || apt-get source --download-only "libxml2=$(apt-cache showsrc libxml2 | sed -n 's/^Version: //p' | grep "^$xml_version" | head -1)"; } &&
        dpkg-source --no-check -x libxml2_${xml_version}*.dsc ../libxml2-src >/dev/null)
    cmake -S "$work/libxml2-src" -B "$work/libxml2-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
        -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_LZMA=OFF \
        -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF \
        -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_PROGRAMS=OFF >/dev/null
    cmake --build "$work/libxml2-build" -j "$jobs"
    cmake --install "$work/libxml2-build" >/dev/null
    touch "$prefix/.libxml2"
fi

# --- GoogleTest, from the sources Debian installs with the googletest package.
if [ ! -f "$prefix/.googletest" ]; then
    log "googletest"
    cmake -S /usr/src/googletest -B "$work/gtest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >/dev/null
    cmake --build "$work/gtest-build" -j "$jobs"
    cmake --install "$work/gtest-build" >/dev/null
    touch "$prefix/.googletest"
fi

# --- qtbase: only what the program uses; OpenGL, networking, SQL, printing off.
if [ ! -f "$prefix/.qtbase" ]; then
    log "qtbase $qt_version"
    src=$work/qtbase-src
    if [ ! -f "$src/.patched" ]; then
        (cd "$work" && mkdir -p dl && cd dl &&
            { ls qt6-base_${qt_version}*.orig.tar.* >/dev/null 2>&1 || apt-get source --download-only "qt6-base=$(apt-cache showsrc qt6-base | sed -n 's/^Version: //p' | grep "^$qt_version" | head -1)"; })
        rm -rf "$src" && mkdir -p "$src"
        tar -xf "$work"/dl/qt6-base_${qt_version}*.orig.tar.* -C "$src" --strip-components=1
        # With OpenGL and Direct2D off, two guards of the windows plugin ask too little.
        sed -i 's/#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
            "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
        sed -i 's/#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
            "$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
        # -O1 instead of -O2/-O3: half the compile time, for a program that is far from
        # CPU-bound; this is what keeps the whole toolchain inside CI's time.
        sed -i 's/set(QT_CFLAGS_OPTIMIZE "-O2")/set(QT_CFLAGS_OPTIMIZE "-O1")/; s/set(QT_CFLAGS_OPTIMIZE_FULL "-O3")/set(QT_CFLAGS_OPTIMIZE_FULL "-O1")/' \
            "$src/cmake/QtCompilerOptimization.cmake"
        touch "$src/.patched"
    fi
    # Off: what the program does not use (networking, SQL, OpenGL, printing, documents and
    # widgets it never shows), and every system library (the bundled ones are built).
    off=(sql network dbus opengl printsupport concurrent xml vulkan direct2d zstd icu
        tabletevent pkg_config system_zlib system_pcre2 system_harfbuzz system_freetype
        system_png system_jpeg system_doubleconversion system_textmarkdownreader
        jpeg gif sessionmanager androiddeployqt macdeployqt windeployqt
        pdf textodfwriter textmarkdownreader textmarkdownwriter movie imageformat_ppm
        imageformat_xbm mdiarea wizard systemtrayicon dockwidget lcdnumber undocommand
        undostack undogroup undoview calendarwidget datetimeedit graphicsview colordialog
        fontdialog keysequenceedit toolbox)
    flags=()
    for f in "${off[@]}"; do flags+=("-DFEATURE_$f=OFF"); done
    cmake -S "$src" -B "$work/qtbase-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DINPUT_opengl=no "${flags[@]}" >"$work/qtbase-configure.log" 2>&1 ||
        { tail -40 "$work/qtbase-configure.log" >&2; exit 1; }
    cmake --build "$work/qtbase-build" -j "$jobs"
    cmake --install "$work/qtbase-build" >/dev/null
    touch "$prefix/.qtbase"
fi

touch "$prefix/.complete"
log "listo: $prefix"
echo "$prefix" >&3
