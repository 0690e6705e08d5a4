#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (no recovery) into ./build-fuzz (or $QM_FUZZ_BUILD_DIR), then runs each for SECONDS (default 60)
# from its seed corpus in fuzz/corpus/<target>. Inputs the fuzzer finds are kept in the build
# directory, never in the seed corpus. Fails on the first crash, leak, sanitizer report or hang;
# the input that caused it is saved as build-fuzz/fuzz/<target>-crash-* and its path printed.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      TARGET: log_files, frame_codec (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(log_files frame_codec)

./scripts/install-deps.sh
dir="${QM_FUZZ_BUILD_DIR:-build-fuzz}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DQM_FUZZ=ON \
  -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=OFF -DQM_BUILD_GUI=OFF >/dev/null
cmake --build "$dir" --target "${targets[@]/%/_fuzz}"

export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
for target in "${targets[@]}"; do
  work="$dir/fuzz/corpus-$target"
  mkdir -p "$work"
  echo "== fuzzing $target for ${seconds}s"
  "$dir/fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=10000 -print_final_stats=1 \
    -artifact_prefix="$dir/fuzz/$target-" "$work" "fuzz/corpus/$target" 2>"$dir/fuzz/$target.log" || {
    tail -n 60 "$dir/fuzz/$target.log"
    echo "fuzz: $target failed; reproduce with: $dir/fuzz/${target}_fuzz <the input named above>" >&2
    exit 1
  }
  grep -E '^stat::number_of_executed_units|^#[0-9]+ +DONE' "$dir/fuzz/$target.log" || true
done
