#!/usr/bin/env bash
# Sets everything up, builds, and runs the tool's main job.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
echo "Construido: build/VeltraTempolan (ventana) y build/veltra-tempolan (línea de órdenes)"
