#!/usr/bin/env bash
# Makes the Windows installer VeltraTempolan-<version>-setup.exe (NSIS) from the Windows
# build (scripts/build-windows.sh): the two programs, the DLLs they import (followed from
# their import tables, nothing more), the windows platform plugin and the style plugin,
# Qt's Spanish texts, the subject catalogue and the help. Prints the installer's path.
#   scripts/package-windows.sh [build folder, default build-windows] [output folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-windows}
case "$build" in /*) ;; *) build=$here/$build ;; esac
out=${2:-$build}
bin=$build/bin
if ! command -v makensis >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO=sudo
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends nsis >/dev/null
fi
version=$(sed -n 's/^project(VeltraTempolan VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
for f in VeltraTempolan.exe veltra-tempolan.exe VELTMATERIAS.DBF platforms/qwindows.dll; do
    [ -e "$bin/$f" ] || { echo "Falta $bin/$f: ejecute antes scripts/build-windows.sh" >&2; exit 1; }
done

stage=$build/instalador
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/help"
cp "$bin/VeltraTempolan.exe" "$bin/veltra-tempolan.exe" "$bin/VELTMATERIAS.DBF" "$stage/"
cp "$bin/platforms/qwindows.dll" "$stage/platforms/"
if [ -e "$bin/styles/qwindowsvistastyle.dll" ]; then
    mkdir -p "$stage/styles"
    cp "$bin/styles/qwindowsvistastyle.dll" "$stage/styles/"
fi
[ -e "$bin/qtbase_es.qm" ] && cp "$bin/qtbase_es.qm" "$stage/"
cp "$bin"/help/* "$stage/help/"
[ -e "$bin/VELTRA.chm" ] && cp "$bin/VELTRA.chm" "$stage/"

# The DLLs: whatever a staged program or plugin imports that the build folder holds, and
# what those import in turn. The system's own DLLs are not in the build folder.
# objdump words its listing in the user's language: read it in C.
imports() { LC_ALL=C x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
queue=("$stage"/*.exe "$stage"/platforms/*.dll)
[ -d "$stage/styles" ] && queue+=("$stage"/styles/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    for dll in $(imports "$file"); do
        found=$(find "$bin" -maxdepth 1 -iname "$dll" | head -n1)
        [ -n "$found" ] || continue
        name=$(basename "$found")
        [ -e "$stage/$name" ] && continue
        cp "$found" "$stage/"
        queue+=("$stage/$name")
    done
done

# The build keeps debugging information; the installed programs do not need it.
find "$stage" -iname '*.exe' -o -iname '*.dll' | while read -r f; do
    x86_64-w64-mingw32-strip --strip-unneeded "$f"
done

# The uninstaller removes exactly what was installed.
list=$build/instalador-archivos.nsh
(cd "$stage" && find . -type f | sed 's|^\./||' | sort | while read -r f; do
    printf 'Delete "$INSTDIR\\%s"\n' "${f//\//\\}"
done) >"$list"

mkdir -p "$out"
setup=$out/VeltraTempolan-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" -DFILELIST="$list" \
    "$here/installer/VeltraTempolan.nsi" >&2
echo "$setup"
