#!/usr/bin/env bash
# The Windows batch tool under Wine on the sample school, beside the Linux build: --help
# says the same, check, import and export end with 0, and every table and the exported
# document (but its `fecha`) are byte for byte the Linux build's.
# Arguments: the Windows build folder, the Linux build folder, the source folder.
set -euo pipefail
win=$(cd "${1:?carpeta de Windows}" && pwd)
lin=$(cd "${2:?carpeta de Linux}" && pwd)
src=$(cd "${3:?fuentes}" && pwd)
run() { "$src/scripts/wine-run.sh" "$@"; }
fail() {
    echo "FALLO: $*" >&2
    exit 1
}
work=$(mktemp -d)
trap '[ -n "${VT_KEEP:-}" ] || rm -rf "$work"' EXIT
S=$src/samples/escuela

diff <("$lin/veltra-tempolan" --help) <(run "$win/bin/veltra-tempolan.exe" --help | tr -d '\r') >/dev/null ||
    fail "--help no dice lo mismo en Windows"

one() { # system, folder
    local sys=$1 dir=$2 tool
    mkdir -p "$dir/w/veltra"
    cp "$S/veltra.xml" "$dir/w/veltra/"
    if [ "$sys" = linux ]; then
        tool() { "$lin/veltra-tempolan" "$@"; }
        p() { echo "$1"; }
    else
        tool() { run "$win/bin/veltra-tempolan.exe" "$@"; }
        p() { echo "Z:$1"; }
    fi
    tool check "$(p "$dir/w/veltra/veltra.xml")" --workdir "$(p "$dir/w")" --codes "$(p "$S/codes.csv")" \
        --frames 1101,1102 >/dev/null 2>&1 || fail "$sys: check"
    tool import "$(p "$dir/w/veltra/veltra.xml")" --workdir "$(p "$dir/w")" --codes "$(p "$S/codes.csv")" \
        --frames 1101,1102 >/dev/null 2>&1 || fail "$sys: import"
    cp "$S/SOLUC.DBF" "$dir/w/"
    tool export "$(p "$dir/w/veltra/veltra.xml")" --workdir "$(p "$dir/w")" >/dev/null 2>&1 ||
        fail "$sys: export"
}
one linux "$work/linux"
one windows "$work/windows"

# Bad input says the same on both, the paths aside: a document that is not XML, a missing
# catalogue, a working folder that does not exist; nothing is written.
said() { # system, folder, name, arguments...
    local sys=$1 dir=$2 name=$3 code=0
    shift 3
    mkdir -p "$dir/w/veltra"
    echo "esto no es XML" >"$dir/w/veltra/malo.xml"
    if [ "$sys" = linux ]; then
        "$lin/veltra-tempolan" "$@" >"$dir/$name.out" 2>&1 || code=$?
        sed "s|$dir|@|g" "$dir/$name.out" >"$dir/$name.said"
    else
        run "$win/bin/veltra-tempolan.exe" "$@" >"$dir/$name.out" 2>&1 || code=$?
        local native="Z:${dir//\//\\\\}"
        tr -d '\r' <"$dir/$name.out" | sed "s|$native|@|g; s|Z:$dir|@|g; s|\\\\|/|g" >"$dir/$name.said"
    fi
    echo "exit $code" >>"$dir/$name.said"
}
for sys in linux windows; do
    d=$work/bad-$sys
    z=""
    [ $sys = windows ] && z=Z:
    said $sys "$d" noxml import "$z$d/w/veltra/malo.xml" --workdir "$z$d/w"
    said $sys "$d" nocatalog import "$z$S/veltra.xml" --workdir "$z$d/w" --catalog "$z$d/NOHAY.DBF"
    said $sys "$d" nofolder export "$z$S/veltra.xml" --workdir "$z$d/nohay"
done
for name in noxml nocatalog nofolder; do
    if ! diff "$work/bad-linux/$name.said" "$work/bad-windows/$name.said" >&2; then
        echo "FALLO: el mensaje de $name difiere entre Linux y Windows"
    elif ! grep -q "^exit [1-9]" "$work/bad-linux/$name.said"; then
        echo "FALLO: $name no acabó en error"
    elif grep -q "Z:/" "$work/bad-windows/$name.out"; then
        echo "FALLO: el mensaje de $name escribe una ruta con / en Windows"
    fi
done >"$work/bad-result"
cat "$work/bad-result"
[ -z "${VT_KEEP:-}" ] || echo "$work"
! grep -q "^FALLO" "$work/bad-result" || exit 1

for f in $(cd "$work/linux/w" && ls *.DBF veltra/*.xml) $(cd "$work/windows/w" && ls *.DBF veltra/*.xml); do
    a=$work/linux/w/$f
    b=$work/windows/w/$f
    if [ "${f##*.}" = xml ]; then
        same() { cmp -s <(sed 's/ fecha="[^"]*"//' "$a") <(sed 's/ fecha="[^"]*"//' "$b"); }
    else
        same() { cmp -s "$a" "$b"; }
    fi
    if [ -e "$a" ] && [ -e "$b" ] && same; then
        continue
    fi
    echo "FALLO: $f difiere entre Linux y Windows"
done | sort -u >"$work/result"
cat "$work/result"
! grep -q "^FALLO" "$work/result" || exit 1
echo "ok: check, import y export de la escuela de ejemplo con veltra-tempolan.exe; tablas y documento iguales a los de Linux"
