#!/usr/bin/env bash
# Sets everything up, builds, and runs the tool's main job on the sample school in a demo
# working folder (build/demo/TLTEMP): with a display, the window; without one, the batch
# front end's check, import and export, printing what was written.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build

demo=$PWD/build/demo
work=$demo/TLTEMP
rm -rf "$demo"
mkdir -p "$work/veltra"
cp samples/escuela/veltra.xml "$work/veltra/veltra.xml"
cp samples/escuela/SOLUC.DBF "$work/SOLUC.DBF"
doc=$work/veltra/veltra.xml
cli=build/veltra-tempolan

if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "--batch" ]; then
    echo "Carpeta de trabajo de demostración: $work"
    echo "Documento de la escuela de ejemplo: $doc"
    echo "Niveles y cursos para el diálogo: samples/escuela/codes.csv; marcos 1101 y 1102."
    TLTEMP=$work exec build/VeltraTempolan
fi

echo "== Comprobación del documento =="
"$cli" check "$doc" --workdir "$work" --codes samples/escuela/codes.csv --frames 1101,1102
echo
echo "== Importación =="
"$cli" import "$doc" --workdir "$work" --codes samples/escuela/codes.csv --frames 1101,1102
echo
echo "== Algunas tablas escritas =="
for t in PERIODOS PROFT GRUPOST DIASHORAST; do
    "$cli" table "$t" --workdir "$work" >"$demo/$t.csv"
    head -n 6 "$demo/$t.csv"
    echo
done
echo "== Exportación =="
"$cli" export "$doc" --workdir "$work" >"$demo/export.txt"
out=$(tail -n 1 "$demo/export.txt")
echo "Documento escrito: $out ($(wc -c <"$out") bytes)"
head -c 600 "$out" >"$demo/head.txt" || true
cat "$demo/head.txt"
echo
