#!/usr/bin/env bash
# Builds everything and runs the whole test suite (the window's tests headless, on Qt's offscreen
# platform), then the threaded tests again under ThreadSanitizer (without the window: Qt itself is
# not built for it), then builds the Debian package and checks it without installing it. Fails when
# any test or check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2 --timeout 300

QM_BUILD_DIR=build-tsan ./scripts/build.sh -DQM_TSAN=ON -DQM_BUILD_BENCH=OFF -DQM_BUILD_GUI=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j2 --timeout 600 -L threads

./scripts/check-package.sh
