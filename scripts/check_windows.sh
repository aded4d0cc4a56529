#!/usr/bin/env bash
# Compiles every Windows-only source (src/**/*_win.cpp) for Windows, syntax only, against
# this machine's Qt and libxml2 headers: no Windows build of either exists here, but a
# Windows branch that no longer compiles shows up. Fails on the first file that does not.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=${VT_WINDOWS_CXX:-x86_64-w64-mingw32-g++-posix}
if ! command -v "$cxx" >/dev/null; then
    echo "Falta el compilador para Windows $cxx: ejecute scripts/setup.sh." >&2
    exit 1
fi
qt=$(qmake6 -query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
mapfile -t sources < <(find src -name '*_win.cpp' | sort)
if [ ${#sources[@]} -eq 0 ]; then
    echo "No hay fuentes de Windows (*_win.cpp) en src/." >&2
    exit 1
fi
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow -Werror -Wno-attributes
    -DUNICODE -D_UNICODE -DQT_NO_KEYWORDS -DVT_VERSION='"check"'
    -I src -I "$qt" -I "$qt/QtCore" -I "$qt/QtGui" -I "$qt/QtWidgets" -I /usr/include/libxml2)
status=0
for f in "${sources[@]}"; do
    if "$cxx" "${flags[@]}" "$f"; then
        echo "ok   $f"
    else
        echo "FALLA $f" >&2
        status=1
    fi
done
exit $status
