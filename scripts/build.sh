#!/usr/bin/env bash
# Configures and builds into ./build (or $QM_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
dir="${QM_BUILD_DIR:-build}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir"
