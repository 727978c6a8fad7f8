#!/usr/bin/env bash
# ThreadSanitizer check of heated chains (-T), whose copies score on worker threads: builds
# the program alone with -fsanitize=thread into build-tsan/, then runs -T 4 on the examples
# of each model family that scores on those threads, with the options heated chains combine
# with. Any race report fails the script (exit status 66 from the sanitizer).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}"
build="$root/build-tsan"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNAK_TESTS=OFF \
  "-DCMAKE_CXX_FLAGS=-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread >/dev/null
cmake --build "$build" -j"$jobs" --target vornak >/dev/null
export TSAN_OPTIONS="halt_on_error=1 exitcode=66"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
run() {
  local name="$1" data="$2"
  shift 2
  mkdir "$work/$name"
  if [ -f "$work/$data" ]; then cp "$work/$data" "$work/$name/"; else cp "$root/examples/$data" "$work/$name/"; fi
  # A run ends with status 1; the sanitizer's 66 or a time-out is a failure.
  local code=0
  (cd "$work/$name" && timeout 60 "$build/vornak" -f "$data" -k 0 -c integrated -q -s 3 -T 4 -j 4 \
    -l "$name" "$@" >/dev/null 2>"$work/$name.err") || code=$?
  if [ "$code" != 1 ]; then
    echo "FAIL tsan $name: exit status $code"
    cat "$work/$name.err"
    status=1
  else
    echo "ok   tsan $name"
  fi
}
run hdbern votes.dat -m HDBern -p flat -h OA -i 200 -A 2,1 -V 0.5 -W 1,1 -d 10
run hdgbern votes.dat -m HDGBern -p levels -h SR2 -i 100
run protein set123a.fasta -m ProteinSequence -p bg -h rBHS2 -i 30
run mclust2 iris4.dat -m mclust2 -p 1 -h OA -i 30 -x
# The parallel sweep draws blocks of 1,024 rows on threads: 2,500 generated 0/1 rows in 3 groups.
awk 'BEGIN { srand(7); for (i = 0; i < 2500; i++) { line = ""; for (t = 0; t < 12; t++)
  line = line (t ? " " : "") (rand() < (t % 3 == i % 3 ? 0.9 : 0.1) ? 1 : 0); print line } }' >"$work/rows.dat"
run parallel rows.dat -m HDBern -p flat -h PS -i 10
run parallel-fixed-k rows.dat -m HDBern -p flat -h PS -i 10 -k 3
exit $status
