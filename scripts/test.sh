#!/usr/bin/env bash
# Builds everything and runs the whole test suite (the window's tests headless, on Qt's offscreen
# platform); then the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer (no
# recovery, leaks checked); then the threaded tests under ThreadSanitizer (without the window: Qt
# itself is not built for it); then each fuzz target for QM_FUZZ_SECONDS (default 60) under ASan and
# UBSan; then builds the Debian package and checks it without installing it; then cross-builds the
# core and the CLI for 32- and 64-bit Windows and runs their tests under Wine. Fails when any test
# or check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2 --timeout 300

QM_BUILD_DIR=build-asan ./scripts/build.sh -DQM_ASAN=ON -DQM_BUILD_BENCH=OFF
# The window's tests included: Qt is not instrumented, but it runs under ASan, and LeakSanitizer
# finds nothing left behind by it or by fontconfig, so no leak is suppressed.
QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1" \
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir build-asan --output-on-failure -j2 --timeout 600

QM_BUILD_DIR=build-tsan ./scripts/build.sh -DQM_TSAN=ON -DQM_BUILD_BENCH=OFF -DQM_BUILD_GUI=OFF
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j2 --timeout 600 -L threads

./scripts/fuzz.sh "${QM_FUZZ_SECONDS:-60}"

./scripts/check-package.sh

./scripts/build-windows.sh --test all
