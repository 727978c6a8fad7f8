#!/usr/bin/env bash
# Builds vornak and runs every test. VORNAK_SANITIZE=1 builds with AddressSanitizer and UBSan
# into build-asan/ instead of build-tests/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${VORNAK_SANITIZE:-0}" = 1 ]; then
  build="$root/build-asan"
  flags=(-DCMAKE_BUILD_TYPE=Debug -DVORNAK_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build="$root/build-tests"
  flags=(-DCMAKE_BUILD_TYPE=Release)
fi
cmake -S "$root" -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
