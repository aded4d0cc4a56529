#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer) and runs each for a bounded time. Exits non-zero when a target crashes, leaks,
# runs out of time or memory on an input, or does not start.
#   fuzz/run.sh [seconds per target] [target ...]      targets: import dbf export
# Environment: FUZZ_SECONDS (default 90), FUZZ_BUILD (default build-fuzz), FUZZ_JOBS.
# Inputs that crash are left in <build>/crashes/<target>/; minimise one with
#   <build>/fuzz/fuzz_<target> -minimize_crash=1 -runs=10000 <file>
# and add it under tests/fixtures/fuzz/<target>/ so the regression test replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-${FUZZ_SECONDS:-90}}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(import dbf export)
build=${FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-O1" -DVT_FUZZ=ON -DVT_SANITIZE=ON -DVT_TESTS=OFF -DVT_BENCH=OFF \
    >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-$(nproc)}" \
    --target fuzz_seeds $(printf 'fuzz_%s ' "${targets[@]}")

# Seeds, each source optional: tables and SOLUCs this store writes, the sample school's
# document. The committed corpus, the engine-written tables and the inputs that once
# crashed are read where they are. The sample school's SOLUC is left out: its thousand
# rows make each input cost ten times more and reach no path that the small ones miss.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/import" "$seeds/dbf" "$seeds/export"
"$build/fuzz/fuzz_seeds" "$seeds" || echo "aviso: no se generaron las semillas de $seeds" >&2
if [ -d samples ]; then
    find samples -iname '*.xml' -exec cp {} "$seeds/import/" \; 2>/dev/null || true
fi

# A quarantine of freed memory smaller than the default 256 MB still outlasts one input,
# and cuts the cost of each by about a third: freed blocks come back before they go cold.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1:quarantine_size_mb=64}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=offscreen

status=0
summary=""
for t in "${targets[@]}"; do
    # The first folder takes what the run finds; libFuzzer stops on a missing one, so
    # only the seed folders that exist are passed.
    corpus="$build/corpus/$t"
    crashes="$build/crashes/$t"
    mkdir -p "$corpus" "$crashes"
    before=$(find "$crashes" -type f | wc -l)
    dirs=("$corpus")
    for d in "fuzz/corpus/$t" "tests/fixtures/fuzz/$t" "$seeds/$t"; do
        [ -d "$d" ] && dirs+=("$d")
    done
    [ "$t" = dbf ] && [ -d tests/fixtures/dbase ] && dirs+=(tests/fixtures/dbase)
    extra=()
    # Whole sample documents are seeds too; mutating only their first 64 KB keeps
    # each run short.
    [ "$t" = import ] && extra+=(-dict=fuzz/exchange.dict -max_len=65536)
    log="$build/fuzz-$t.log"
    echo "== fuzz_$t durante ${secs} s"
    set +e
    "$build/fuzz/fuzz_$t" -max_total_time="$secs" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "${extra[@]}" "${dirs[@]}" \
        >"$log" 2>&1
    rc=$?
    set -e
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    found=$(($(find "$crashes" -type f | wc -l) - before))
    summary+="fuzz_$t: ${runs:-?} ejecuciones (${rate:-?} por segundo), $found fallos nuevos en $crashes (código $rc)"$'\n'
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ] || [ -z "$runs" ]; then
        status=1
        tail -n 40 "$log"
    fi
done
printf '%s' "$summary"
exit "$status"
