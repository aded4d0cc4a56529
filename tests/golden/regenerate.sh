#!/usr/bin/env bash
# Rewrites the expected/ folder of the named golden cases (or of all with --all) from what
# the current build does, then shows what changed. Review the changes before committing:
# an expectation that captures a fault is worse than none.
#
#   tests/golden/regenerate.sh CASE [CASE...]     # build dir: build/, or $VT_BUILD_DIR
#   tests/golden/regenerate.sh --all
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${VT_BUILD_DIR:-build}
if [ $# -eq 0 ]; then
    echo "Uso: tests/golden/regenerate.sh CASO... | --all" >&2
    exit 2
fi
if [ "$1" = --all ]; then
    filter='Cases/Golden.*'
else
    filter=
    for c in "$@"; do
        if [ ! -f "tests/golden/$c/case.ini" ]; then
            echo "No existe el caso tests/golden/$c (falta case.ini)" >&2
            exit 2
        fi
        filter="${filter:+$filter:}Cases/Golden.RunMatchesExpectations/$c"
    done
fi
cmake --build "$build" --target veltra-tempolan test_golden_golden
VT_GOLDEN_REGENERATE=1 QT_QPA_PLATFORM=offscreen \
    "$build/tests/test_golden_golden" --gtest_filter="$filter"
git status --short -- tests/golden
git diff --stat -- tests/golden
