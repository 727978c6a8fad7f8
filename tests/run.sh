#!/usr/bin/env bash
# Builds vornak and runs every test. VORNAK_SANITIZE=1 builds with AddressSanitizer and UBSan
# into build-asan/ instead of build-tests/; VORNAK_SANITIZE=thread runs tests/tsan.sh instead
# (heated chains under ThreadSanitizer, build-tsan/).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Parallel jobs: CMAKE_BUILD_PARALLEL_LEVEL when set, else the number of processors.
jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}"
if [ "${VORNAK_SANITIZE:-0}" = thread ]; then
  exec bash "$root/tests/tsan.sh"
fi
if [ "${VORNAK_SANITIZE:-0}" = 1 ]; then
  build="$root/build-asan"
  flags=(-DCMAKE_BUILD_TYPE=Debug -DVORNAK_SANITIZE=ON -DVORNAK_TESTS=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build="$root/build-tests"
  flags=(-DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=ON)
fi
cmake -S "$root" -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j"$jobs"
# The R entry test runs only where CMake found Rscript, and not under sanitizers.
if grep -q '^RSCRIPT:FILEPATH=.*NOTFOUND' "$build/CMakeCache.txt"; then
  echo "NOTE: Rscript not found, the R entry test (r_entry) is SKIPPED (apt-get install r-base-core)"
elif [ "${VORNAK_SANITIZE:-0}" = 1 ]; then
  echo "NOTE: sanitizer build, the R entry test (r_entry) is SKIPPED here; the plain build runs it"
fi
ctest --test-dir "$build" --output-on-failure -j"$jobs"
