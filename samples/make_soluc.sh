#!/bin/sh
# Rebuilds samples/escuela/SOLUC.DBF, the timetable shipped with the sample school: a real
# import of the sample document into a scratch working folder, with the subject catalogue
# of the build, then a timetable written over the tables that import left.
#
#   samples/make_soluc.sh [BUILD_DIR]        (default: build)
#
# The sample document and codes file themselves come from
#   BUILD_DIR/tools/gen_school doc --scale 1 --seed 2025 --out samples/escuela
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
school="$here/escuela"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$build/veltra-tempolan" import "$school/veltra.xml" --workdir "$work" \
    --catalog "$build/VELTMATERIAS.DBF" --no-recover \
    --codes "$school/codes.csv" --frames 1101,1102
"$build/tools/gen_school" soluc --workdir "$work" --seed 2025
cp "$work/SOLUC.DBF" "$school/SOLUC.DBF"
echo "$school/SOLUC.DBF"
