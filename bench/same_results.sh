#!/usr/bin/env bash
# Whether two builds give the same results, byte for byte: every table of the 1x and 10x
# imports (the header's date of last update, bytes 1-3, masked), the export documents
# (without `fecha`) and the reports beside them. For checking a speed change against the
# build before it.
#
#   bench/same_results.sh OLD_BUILD NEW_BUILD
#
# A build is a folder holding veltra-tempolan, make_catalog and gen_school (or
# tools/gen_school). Prints the files that differ; exit 0 when none do.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
seed=2025
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

tool_of() { # build name
    local b=$1 n=$2
    if [ -x "$b/$n" ]; then echo "$b/$n"; elif [ -x "$b/tools/$n" ]; then echo "$b/tools/$n"; else
        echo "Falta $n en $b" >&2
        exit 2
    fi
}

# The tables with their date of last update masked, the document without its date.
masked_copy() { # from to
    mkdir -p "$2"
    for f in "$1"/*; do
        [ -f "$f" ] || continue
        local n
        n=$(basename "$f")
        case "${n^^}" in
        *.DBF) { head -c1 "$f"; printf '\0\0\0'; tail -c +5 "$f"; } >"$2/$n" ;;
        *.XML) sed '0,/fecha="[^"]*"/s///' "$f" >"$2/$n" ;;
        *) cp "$f" "$2/$n" ;;
        esac
    done
}

results() { # build out
    local tool gen mkcat
    tool=$(tool_of "$1" veltra-tempolan)
    gen=$(tool_of "$1" gen_school)
    mkcat=$(tool_of "$1" make_catalog)
    for scale in 1 10; do
        local s="$tmp/work/s$scale"
        rm -rf "$s" && mkdir -p "$s/cat" "$s/w"
        "$gen" doc --scale "$scale" --seed "$seed" --out "$s" >/dev/null
        {
            grep -v '^#' "$here/../data/veltmaterias.csv"
            awk -v n=$((scale * 300 - 20)) 'BEGIN { for (i = 1; i <= n; i++) printf "Materia de catálogo %05d;C%05d;CL%05d\n", i, i, i }'
        } >"$s/cat/catalogo.csv"
        "$mkcat" "$s/cat/catalogo.csv" "$s/cat" >/dev/null
        "$tool" import "$s/veltra.xml" --codes "$s/codes.csv" --frames 1101,1102 \
            --catalog "$s/cat/VELTMATERIAS.DBF" --no-recover --workdir "$s/w" >/dev/null 2>&1
        masked_copy "$s/w" "$2/import$scale"
        cp "$s/InformeImportacionveltra.txt" "$2/import$scale/" 2>/dev/null || true
        "$gen" soluc --workdir "$s/w" --seed "$seed" >/dev/null
        cp "$s/veltra.xml" "$s/doc.xml"
        "$tool" export "$s/doc.xml" --workdir "$s/w" >/dev/null 2>&1
        mkdir -p "$s/out"
        cp "$s/ResultadoTempolandoc.xml" "$s"/ResultadoTempolandoc.txt "$s/out/" 2>/dev/null || true
        masked_copy "$s/out" "$2/export$scale"
    done
}

[ $# -eq 2 ] || { echo "uso: $0 COMPILACION_ANTERIOR COMPILACION_NUEVA" >&2; exit 2; }
results "$(cd "$1" && pwd)" "$tmp/old"
results "$(cd "$2" && pwd)" "$tmp/new"
if diff -rq "$tmp/old" "$tmp/new"; then
    echo "Resultados iguales: $(find "$tmp/old" -type f | wc -l) archivos"
else
    exit 1
fi
