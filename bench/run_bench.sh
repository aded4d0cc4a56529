#!/usr/bin/env bash
# Import and export of the generated 1x and 10x schools against libxml2's bare parse of the
# same documents, whole (xmllint --noout) and as a stream (xmllint --stream --noout):
# medians of several rounds, their ratios, the growth from 1x to 10x and the peak memory;
# the import of the 20x school, for how its memory grows from 10x to 20x; then the export
# of a 1,000,000-entry timetable (every entry placed) over the 10x school.
#
#   bench/run_bench.sh [BUILD_DIR] [ROUNDS]      (defaults: build, 5)
#
# Use a Release or RelWithDebInfo build. Needs xmllint (libxml2-utils) and /usr/bin/time.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
rounds=${2:-5}
seed=2025
tool="$build/veltra-tempolan"
gen="$build/tools/gen_school"
mkcat="$build/make_catalog"
for f in "$tool" "$gen" "$mkcat"; do
    [ -x "$f" ] || { echo "Falta $f: compile veltra-tempolan, gen_school y make_catalog" >&2; exit 2; }
done
command -v xmllint >/dev/null || { echo "Falta xmllint (libxml2-utils)" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "Falta /usr/bin/time (paquete time)" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT INT TERM

# A subject catalogue of the shipped rows followed by synthetic ones (3,000 rows at 10x).
catalogue() { # rows folder
    mkdir -p "$2"
    {
        grep -v '^#' "$here/../data/veltmaterias.csv"
        awk -v n="$1" 'BEGIN { for (i = 1; i <= n; i++) printf "Materia de catálogo %05d;C%05d;CL%05d\n", i, i, i }'
    } >"$2/catalogo.csv"
    "$mkcat" "$2/catalogo.csv" "$2" >/dev/null
}

# Runs a command once: prints "wall_us peak_kb cpu_us" (cpu: user + system, which other
# programs running at the same time disturb less than the wall clock). Bash's own time
# gives milliseconds; /usr/bin/time gives the peak memory.
measure() {
    local TIMEFORMAT='%3R %3U %3S' ok=0
    { time /usr/bin/time -f %M -o "$tmp/mem" "$@" >/dev/null 2>"$tmp/err" || ok=$?; } 2>"$tmp/times"
    if [ "$ok" -ne 0 ]; then
        echo "Falló: $*" >&2
        cat "$tmp/err" >&2
        exit 1
    fi
    awk -v mem="$(tail -n1 "$tmp/mem")" \
        '{ printf "%d %d %d\n", $1 * 1000000, mem, ($2 + $3) * 1000000 }' "$tmp/times"
}

median() { sort -n | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

declare -A T M C
for scale in 1 10 20; do
    s="$tmp/s$scale"
    "$gen" doc --scale "$scale" --seed "$seed" --out "$s" >/dev/null
    catalogue $((scale * 300 - 20)) "$s/cat"
    import=("$tool" import "$s/veltra.xml" --codes "$s/codes.csv" --frames 1101,1102
        --catalog "$s/cat/VELTMATERIAS.DBF" --no-recover)
    if [ "$scale" -eq 20 ]; then
        # The import only: how its memory grows from 10x to 20x.
        for ((r = 0; r < rounds; r++)); do
            rm -rf "$s/w" && mkdir -p "$s/w"
            measure "${import[@]}" --workdir "$s/w" >>"$s/import"
        done
        M[import20]=$(cut -d' ' -f2 "$s/import" | median)
        T[size_in20]=$(stat -c %s "$s/veltra.xml")
        rm -rf "$s"
        continue
    fi
    # The working tables and timetable every export round starts from.
    mkdir -p "$s/base"
    "${import[@]}" --workdir "$s/base" >/dev/null
    "$gen" soluc --workdir "$s/base" --seed "$seed" >/dev/null
    cp "$s/veltra.xml" "$s/doc.xml"
    out="$s/ResultadoTempolandoc.xml"
    for ((r = 0; r < rounds; r++)); do
        rm -rf "$s/w" && mkdir -p "$s/w"
        measure "${import[@]}" --workdir "$s/w" >>"$s/import"
        measure xmllint --noout "$s/veltra.xml" >>"$s/lint_in"
        measure xmllint --stream --noout "$s/veltra.xml" >>"$s/stream_in"
        rm -rf "$s/w" "$out" && cp -r "$s/base" "$s/w"
        measure "$tool" export "$s/doc.xml" --workdir "$s/w" >>"$s/export"
        measure xmllint --noout "$out" >>"$s/lint_out"
        measure xmllint --stream --noout "$out" >>"$s/stream_out"
    done
    for k in import lint_in stream_in export lint_out stream_out; do
        T[$k$scale]=$(cut -d' ' -f1 "$s/$k" | median)
        M[$k$scale]=$(cut -d' ' -f2 "$s/$k" | median)
        C[$k$scale]=$(cut -d' ' -f3 "$s/$k" | median)
    done
    T[size_in$scale]=$(stat -c %s "$s/veltra.xml")
    T[size_out$scale]=$(stat -c %s "$out")
done

# A timetable of a million entries over the 10x school, all placed.
s="$tmp/s10"
rm -rf "$s/w" && cp -r "$s/base" "$s/big"
"$gen" soluc --workdir "$s/big" --seed "$seed" --entries 1000000 --overbook >/dev/null
for ((r = 0; r < (rounds < 3 ? rounds : 3); r++)); do
    rm -rf "$s/w" "$out" && cp -r "$s/big" "$s/w"
    measure "$tool" export "$s/doc.xml" --workdir "$s/w" >>"$s/big_export"
done
T[big]=$(cut -d' ' -f1 "$s/big_export" | median)
M[big]=$(cut -d' ' -f2 "$s/big_export" | median)
C[big]=$(cut -d' ' -f3 "$s/big_export" | median)
T[size_big]=$(stat -c %s "$out")

awk -v rounds="$rounds" \
    -v i1="${T[import1]}" -v li1="${T[lint_in1]}" -v e1="${T[export1]}" -v lo1="${T[lint_out1]}" \
    -v i10="${T[import10]}" -v li10="${T[lint_in10]}" -v e10="${T[export10]}" -v lo10="${T[lint_out10]}" \
    -v mi1="${M[import1]}" -v mli1="${M[lint_in1]}" -v me1="${M[export1]}" -v mlo1="${M[lint_out1]}" \
    -v mi10="${M[import10]}" -v mli10="${M[lint_in10]}" -v me10="${M[export10]}" -v mlo10="${M[lint_out10]}" \
    -v ci1="${C[import1]}" -v cli1="${C[lint_in1]}" -v ce1="${C[export1]}" -v clo1="${C[lint_out1]}" \
    -v ci10="${C[import10]}" -v cli10="${C[lint_in10]}" -v ce10="${C[export10]}" -v clo10="${C[lint_out10]}" \
    -v si1="${T[size_in1]}" -v so1="${T[size_out1]}" -v si10="${T[size_in10]}" -v so10="${T[size_out10]}" \
    -v tb="${T[big]}" -v mb_="${M[big]}" -v cb="${C[big]}" -v sb="${T[size_big]}" \
    -v ti1="${T[stream_in1]}" -v ti10="${T[stream_in10]}" -v to1="${T[stream_out1]}" -v to10="${T[stream_out10]}" \
    -v cti1="${C[stream_in1]}" -v cti10="${C[stream_in10]}" -v cto1="${C[stream_out1]}" -v cto10="${C[stream_out10]}" \
    -v mti10="${M[stream_in10]}" -v mto10="${M[stream_out10]}" \
    -v mi20="${M[import20]}" -v si20="${T[size_in20]}" '
function ms(us) { return sprintf("%8.1f ms", us / 1000) }
function mb(kb) { return sprintf("%7.1f MB", kb / 1024) }
function x(a, b) { return sprintf("%6.2fx", a / b) }
BEGIN {
    printf "Medianas de %d rondas\n\n", rounds
    printf "%-28s %12s %12s %12s %12s\n", "", "1x", "10x", "crecimiento", ""
    printf "%-28s %12s %12s\n", "documento de entrada", sprintf("%.2f MB", si1 / 1048576), sprintf("%.2f MB", si10 / 1048576)
    printf "%-28s %12s %12s\n", "documento escrito", sprintf("%.2f MB", so1 / 1048576), sprintf("%.2f MB", so10 / 1048576)
    printf "%-28s %12s %12s %12s\n", "import", ms(i1), ms(i10), x(i10, i1)
    printf "%-28s %12s %12s %12s\n", "xmllint entrada", ms(li1), ms(li10), x(li10, li1)
    printf "%-28s %12s %12s %12s\n", "export", ms(e1), ms(e10), x(e10, e1)
    printf "%-28s %12s %12s %12s\n", "xmllint documento escrito", ms(lo1), ms(lo10), x(lo10, lo1)
    printf "\nTiempo (reloj) frente a xmllint --noout (objetivo <= 1.5x)\n"
    printf "%-28s %12s %12s\n", "import / xmllint entrada", x(i1, li1), x(i10, li10)
    printf "%-28s %12s %12s\n", "export / xmllint escrito", x(e1, lo1), x(e10, lo10)
    printf "\nTiempo de CPU (usuario + sistema)\n"
    printf "%-28s %12s %12s %12s\n", "import", ms(ci1), ms(ci10), x(ci10, ci1)
    printf "%-28s %12s %12s %12s\n", "xmllint entrada", ms(cli1), ms(cli10), x(cli10, cli1)
    printf "%-28s %12s %12s %12s\n", "export", ms(ce1), ms(ce10), x(ce10, ce1)
    printf "%-28s %12s %12s %12s\n", "xmllint documento escrito", ms(clo1), ms(clo10), x(clo10, clo1)
    printf "%-28s %12s %12s\n", "import / xmllint entrada", x(ci1, cli1), x(ci10, cli10)
    printf "%-28s %12s %12s\n", "export / xmllint escrito", x(ce1, clo1), x(ce10, clo10)
    printf "\nCrecimiento 1x -> 10x (objetivo: a menos de un 10 %% del de xmllint). La escala 10 del generador multiplica el documento\n"
    printf "de entrada por %.1f y el escrito por %.1f: la última columna lleva el crecimiento a 10x de documento.\n", si10 / si1, so10 / so1
    printf "%-28s %12s %12s %12s %14s\n", "", "reloj", "CPU", "documento", "CPU por 10x"
    printf "%-28s %12s %12s %12s %14s\n", "import", x(i10, i1), x(ci10, ci1), x(si10, si1), x(10 * ci10 / ci1, si10 / si1)
    printf "%-28s %12s %12s %12s %14s\n", "xmllint entrada", x(li10, li1), x(cli10, cli1), x(si10, si1), x(10 * cli10 / cli1, si10 / si1)
    printf "%-28s %12s %12s %12s %14s\n", "export", x(e10, e1), x(ce10, ce1), x(so10, so1), x(10 * ce10 / ce1, so10 / so1)
    printf "%-28s %12s %12s %12s %14s\n", "xmllint documento escrito", x(lo10, lo1), x(clo10, clo1), x(so10, so1), x(10 * clo10 / clo1, so10 / so1)
    printf "%-28s %12s %12s\n", "crecimiento import / xmllint", "", x(10 * ci10 / ci1, 10 * cli10 / cli1)
    printf "%-28s %12s %12s\n", "crecimiento export / xmllint", "", x(10 * ce10 / ce1, 10 * clo10 / clo1)
    printf "\nMemoria máxima (objetivos a 10x: import <= 40 MB, export <= 60 MB)\n"
    printf "%-28s %12s %12s\n", "xmllint entrada", mb(mli1), mb(mli10)
    printf "%-28s %12s %12s\n", "xmllint documento escrito", mb(mlo1), mb(mlo10)
    printf "%-28s %12s %12s\n", "import", mb(mi1), mb(mi10)
    printf "%-28s %12s %12s\n", "export", mb(me1), mb(me10)
    printf "%-28s %12s %12s\n", "import / xmllint entrada", x(mi1, mli1), x(mi10, mli10)
    printf "%-28s %12s %12s\n", "export / xmllint entrada", x(me1, mli1), x(me10, mli10)
    printf "%-28s %12s %12s\n", "export / xmllint escrito", x(me1, mlo1), x(me10, mlo10)
    printf "\nFrente a la lectura como flujo, xmllint --stream --noout (objetivo a 10x: <= 2x en reloj y CPU)\n"
    printf "%-28s %12s %12s\n", "", "1x", "10x"
    printf "%-28s %12s %12s\n", "xmllint --stream entrada", ms(ti1), ms(ti10)
    printf "%-28s %12s %12s\n", "xmllint --stream escrito", ms(to1), ms(to10)
    printf "%-28s %12s %12s\n", "import / stream (reloj)", x(i1, ti1), x(i10, ti10)
    printf "%-28s %12s %12s\n", "import / stream (CPU)", x(ci1, cti1), x(ci10, cti10)
    printf "%-28s %12s %12s\n", "export / stream (reloj)", x(e1, to1), x(e10, to10)
    printf "%-28s %12s %12s\n", "export / stream (CPU)", x(ce1, cto1), x(ce10, cto10)
    printf "%-28s %12s %12s\n", "memoria xmllint --stream", mb(mti10), mb(mto10)
    printf "\nMemoria máxima del import de 10x a 20x (objetivo: <= 40 MB a 10x, crecimiento < 2x)\n"
    printf "%-28s %12s %12s %12s\n", "", "10x", "20x", "crecimiento"
    printf "%-28s %12s %12s %12s\n", "documento de entrada", sprintf("%.2f MB", si10 / 1048576), sprintf("%.2f MB", si20 / 1048576), x(si20, si10)
    printf "%-28s %12s %12s %12s\n", "import", mb(mi10), mb(mi20), x(mi20, mi10)
    printf "\nExport de 1.000.000 entradas colocadas, escala 10 (objetivo <= 5 s y <= 300 MB)\n"
    printf "%-28s %12s\n", "documento escrito", sprintf("%.1f MB", sb / 1048576)
    printf "%-28s %12s\n", "reloj", sprintf("%.1f s", tb / 1000000)
    printf "%-28s %12s\n", "CPU", sprintf("%.1f s", cb / 1000000)
    printf "%-28s %12s\n", "memoria máxima", mb(mb_)
}'
