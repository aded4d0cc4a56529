#!/usr/bin/env bash
# Configures and builds into build/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
