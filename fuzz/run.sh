#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan in build-fuzz/ and runs
# each one for a bounded time, starting from its seed corpus in fuzz/corpus/<target>/.
# Fails when any target crashes, leaks, trips a sanitizer or breaks a check; the input that
# did it is kept in build-fuzz/artifacts/<target>/ (add it to the seed corpus once fixed, so
# the test suite replays it).
# usage: fuzz/run.sh [seconds per target, default 60; CI passes 30]
set -euo pipefail
seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
# Parallel jobs: CMAKE_BUILD_PARALLEL_LEVEL when set, else the number of processors.
jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}"
build="$root/build-fuzz"
targets=(matrix_reader fasta_reader start_partition prior_text delimited_reader)

command -v clang++ >/dev/null || { echo "fuzz/run.sh: clang++ not found (apt-get install clang)" >&2; exit 1; }
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAK_FUZZ=ON \
  -DVORNAK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$work" "$artifacts"
  echo "== fuzz_$target for ${seconds}s"
  # New inputs go to the work corpus; the seed corpus in the checkout is only read.
  if "$build/fuzz_$target" -max_total_time="$seconds" -max_len=12000 -rss_limit_mb=2048 \
      -timeout=20 -print_final_stats=1 -artifact_prefix="$artifacts" \
      "$work" "$root/fuzz/corpus/$target" >"$build/$target.log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units)' "$build/$target.log" || true
  else
    failed+=("$target")
    tail -n 60 "$build/$target.log"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "FUZZING FAILED: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
echo "fuzzing: no crash in ${#targets[@]} targets"
