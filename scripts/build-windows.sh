#!/usr/bin/env bash
# Cross-builds the core, qm7310p-cli.exe and the core's tests for Windows with mingw-w64, and with
# --test runs the tests under Wine.
#   scripts/build-windows.sh [--test] [win32|win64|all] [-- CMAKE_ARGS...]
# win32 (i686) is the program's first target; "all" (the default) builds both, into build-win32
# and build-win64. Wine keeps its prefix in $QM_WINEPREFIX (default ~/.cache/qm7310p-wine).
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
targets=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --test) run_tests=1 ;;
    win32|win64) targets+=("$1") ;;
    all) targets+=(win32 win64) ;;
    --) shift; extra=("$@"); break ;;
    -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "build-windows.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
[ ${#targets[@]} -eq 0 ] && targets=(win32 win64)

./scripts/install-deps.sh

export WINEPREFIX="${QM_WINEPREFIX:-$HOME/.cache/qm7310p-wine}"
export WINEDEBUG=-all
# Wine needs no display for these programs; keep it from reaching for one.
unset DISPLAY WAYLAND_DISPLAY
if [ $run_tests -eq 1 ]; then
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver --wait
  fi
  # Wine's server and its background services start with the first program and would inherit that
  # program's output, so CTest would wait for them as for the test. Started here, detached, and
  # kept up until the script ends, they serve every test program at once.
  wineserver --persistent
  trap 'wineserver --kill' EXIT
  wineboot >/dev/null 2>&1 </dev/null
fi

for target in "${targets[@]}"; do
  case "$target" in
    win32) arch=i686 ;;
    win64) arch=x86_64 ;;
  esac
  dir="build-$target"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchains/mingw-w64-$arch.cmake" \
    -DQM_BUILD_GUI=OFF "${extra[@]}" >/dev/null
  cmake --build "$dir"
  if [ $run_tests -eq 1 ]; then
    echo "== $target: tests under Wine"
    ctest --test-dir "$dir" --output-on-failure -j2 --timeout 600
    echo "== $target: the command-line program under Wine"
    # It prints what the Linux program prints (with Windows' line ends): compared when that is built.
    for args in "list" "monitor --demo --count 5"; do
      # shellcheck disable=SC2086
      windows_out=$(wine "$dir/src/app/cli/qm7310p-cli.exe" $args | tr -d '\r')
      printf '%s\n' "$windows_out"
      if [ -x build/src/app/cli/qm7310p-cli ]; then
        # shellcheck disable=SC2086
        diff <(build/src/app/cli/qm7310p-cli $args) <(printf '%s\n' "$windows_out") ||
          { echo "qm7310p-cli.exe $args prints otherwise than on Linux" >&2; exit 1; }
      fi
    done
  fi
done
