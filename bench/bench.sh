#!/usr/bin/env bash
# Times whole runs in the exact scoring mode against the reference mode (VORNAK_SCORING=reference:
# every score computed from scratch) of one build, on generated data with a fixed seed,
# alternating the two, and checks that both write byte-identical .save and .finalz files (and
# logs, but for the start time).
# usage: bench/bench.sh [repetitions]      (default 3; prints a table, exits 1 on a difference)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
reps="${1:-3}"
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vornak >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
gen() { python3 "$root/bench/gen_data.py" "$@"; }
gen binary 1000 50 5 oa.dat
gen protein 200 150 4 ux.fasta
gen real 500 4 4 sm.dat
gen binary 10 50 3 en.dat

workloads=(
  "OA HDBern n1000 T50 k5|-m HDBern -f oa.dat -k 5 -h OA -B 1 -c integrated"
  "OA HDBern n1000 T50 k0|-m HDBern -f oa.dat -k 0 -h OA -B 1 -c integrated"
  "UX protein bg n200 T150 k4|-m ProteinSequence -f ux.fasta -k 4 -h UX -B 1 -c integrated"
  "JN2 mclust2 n500 T4 k0|-m mclust2 -f sm.dat -k 0 -h JN2 -B 1 -c integrated"
  "DA2 mclust2 n500 T4 k0|-m mclust2 -f sm.dat -k 0 -h DA2 -B 1 -c integrated"
  "EN HDBern n10 k0|-m HDBern -f en.dat -k 0 -h EN -c integrated"
)

now() { date +%s.%N; }
# Runs one scoring mode (fast: exact, or reference) in a fresh folder; prints its seconds.
timed() {
  local variant="$1" args="$2" mode=exact
  [ "$variant" = reference ] && mode=reference
  rm -rf "run-$variant" && mkdir "run-$variant" && cp ./*.dat ./*.fasta "run-$variant/"
  local start end
  start=$(now)
  (cd "run-$variant" && VORNAK_SCORING=$mode "$build/vornak" $args >/dev/null 2>&1)
  end=$(now)
  echo "$end - $start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

status=0
printf '%-28s %12s %12s %9s %10s\n' workload reference-s fast-s speedup identical
for w in "${workloads[@]}"; do
  name="${w%%|*}"
  args="${w#*|}"
  ref=() fast=()
  for ((r = 0; r < reps; r++)); do
    ref+=("$(timed reference "$args")")
    fast+=("$(timed fast "$args")")
  done
  same=yes
  for f in run-fast/*.save run-fast/*.finalz; do
    [ -e "$f" ] || continue
    cmp -s "$f" "run-reference/${f#run-fast/}" || same=NO
  done
  for f in run-fast/*.log; do
    diff -q <(grep -v '^Started at ' "$f") <(grep -v '^Started at ' "run-reference/${f#run-fast/}") \
      >/dev/null || same=NO
  done
  [ "$same" = yes ] || status=1
  r=$(printf '%s\n' "${ref[@]}" | median)
  f=$(printf '%s\n' "${fast[@]}" | median)
  printf '%-28s %12.3f %12.3f %8.1fx %10s\n' "$name" "$r" "$f" "$(echo "$r / $f" | bc -l)" "$same"
done

# How one sweep grows with n, and what share of it is the log: the seconds a plain copy of
# the same log bytes takes on this disk.
echo
printf '%-10s %14s %16s %14s %12s\n' n fast-ms/sweep reference-ms/sweep log-MB/sweep log-share
for n in 250 500 1000 2000; do
  gen binary "$n" 50 5 "s$n.dat"
  cp "s$n.dat" oa.dat
  ref=() fast=()
  for ((r = 0; r < reps; r++)); do
    ref+=("$(timed reference "-m HDBern -f oa.dat -k 5 -h OA -B 1 -c integrated")")
    fast+=("$(timed fast "-m HDBern -f oa.dat -k 5 -h OA -B 1 -c integrated")")
  done
  log=$(ls run-fast/*.log)
  bytes=$(stat -c %s "$log")
  start=$(now)
  dd if="$log" of=copy.log bs=1M conv=fsync status=none 2>/dev/null || cp "$log" copy.log
  end=$(now)
  copy=$(echo "$end - $start" | bc)
  r=$(printf '%s\n' "${ref[@]}" | median)
  f=$(printf '%s\n' "${fast[@]}" | median)
  printf '%-10s %14.2f %16.2f %14.2f %11.0f%%\n' "$n" "$(echo "$f * 100" | bc -l)" \
    "$(echo "$r * 100" | bc -l)" "$(echo "$bytes / 10485760" | bc -l)" \
    "$(echo "100 * $copy / $f" | bc -l)"
done
exit $status
