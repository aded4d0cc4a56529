#!/usr/bin/env bash
# Sets everything up, builds and runs every test through ctest; then builds everything
# again with AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests there too
# (VT_SANITIZE_PASS=0 skips that second pass); then the Windows stage: the Windows build
# and its tests under Wine, and the installer (scripts/test-windows.sh;
# VT_WINDOWS_STAGE=0 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
begin=$(date +%s)
# How long each stage took, so that a slow machine shows where its time went.
stage() { echo "[pruebas] $1 a los $(($(date +%s) - begin)) s"; }
scripts/setup.sh
stage "preparado"
scripts/build.sh build
stage "compilado"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 600)
stage "pruebas de Linux"
fuzz/ci.sh # a short fuzz pass of every target (FUZZ_SECONDS each)
stage "fuzzing"

if [ "${VT_SANITIZE_PASS:-1}" != 0 ]; then (
    scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DVT_SANITIZE=ON -DVT_BENCH=OFF
    # Any finding ends the test that made it; leaks are reported at exit, minus the
    # few that the libraries underneath keep on purpose (tests/lsan.supp).
    export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    cd build-asan
    # The fault sweep checks the tool's files under injected system errors, which the
    # normal build has done; under the sanitizers it would only take longer.
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" --timeout 900 -E '^fault_sweep$'
) fi
stage "pruebas con sanitizers"

if [ "${VT_WINDOWS_STAGE:-1}" != 0 ]; then
    scripts/test-windows.sh build-windows
    stage "etapa de Windows"
fi
