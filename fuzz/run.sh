#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehaviorSanitizer and
# libFuzzer) and runs each for a bounded time.
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

# Seeds: the committed corpus, tables and SOLUCs this store writes, the sample school.
seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/import" "$seeds/dbf" "$seeds/export"
"$build/fuzz/fuzz_seeds" "$seeds"
if [ -d samples ]; then
    find samples -iname '*.xml' -exec cp {} "$seeds/import/" \; 2>/dev/null || true
    find samples -iname '*.dbf' -exec cp {} "$seeds/dbf/" \; 2>/dev/null || true
    find samples -iname 'soluc.dbf' -exec cp {} "$seeds/export/" \; 2>/dev/null || true
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export QT_QPA_PLATFORM=offscreen

status=0
summary=""
for t in "${targets[@]}"; do
    corpus="$build/corpus/$t"
    crashes="$build/crashes/$t"
    mkdir -p "$corpus" "$crashes"
    extra=()
    # Whole sample documents are seeds too; mutating only their first 64 KB keeps
    # each run short.
    [ "$t" = import ] && extra+=(-dict=fuzz/exchange.dict -max_len=65536)
    log="$build/fuzz-$t.log"
    echo "== fuzz_$t durante ${secs} s"
    set +e
    "$build/fuzz/fuzz_$t" -max_total_time="$secs" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "${extra[@]}" \
        "$corpus" "fuzz/corpus/$t" "$seeds/$t" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
    found=$(find "$crashes" -type f | wc -l)
    summary+="fuzz_$t: $runs ejecuciones, $found fallos en $crashes (código $rc)"$'\n'
    if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
        status=1
        tail -n 40 "$log"
    fi
done
printf '%s' "$summary"
exit "$status"
