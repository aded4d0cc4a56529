#!/usr/bin/env bash
# The short fuzz pass of the test run: builds the fuzz targets with clang and the
# sanitizers and runs each for FUZZ_SECONDS (default 60; 0 skips the pass). Fails on any
# crash, leak, time-out or out-of-memory, and on a target that does not start.
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${FUZZ_SECONDS:-60}
if [ "$secs" = 0 ]; then
    echo "Pase de fuzzing omitido (FUZZ_SECONDS=0)."
    exit 0
fi
start=$(date +%s)
status=0
FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz} fuzz/run.sh "$secs" || status=$?
echo "Pase de fuzzing: $(($(date +%s) - start)) s en total, código $status."
exit "$status"
