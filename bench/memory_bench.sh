#!/usr/bin/env bash
# Peak memory of heated chains: the maximum resident set (GNU time's "Maximum resident set
# size") of a run with -T 1 and with -T 4, each for one iteration, on a 10,000-sequence
# alignment (ProteinSequence) and a 200,000 x 50 0/1 matrix (HDBern), for each binary given.
#   bash bench/memory_bench.sh VORNAK [VORNAK...]
# The data sets are generated once into $VORNAK_BENCH_DATA (default /tmp/vornak-memory-bench)
# with bench/gen_families.py; the runs take a few minutes each on a busy machine. Prints one
# line per binary, data set and -T: the peak in MB and the wall time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${VORNAK_BENCH_DATA:-/tmp/vornak-memory-bench}"
mkdir -p "$data"
[ -f "$data/aln.fasta" ] ||
  python3 "$root/bench/gen_families.py" protein 10000 300 20 0.5 0.2 "$data/aln.fasta" "$data/aln.labels"
[ -f "$data/bin.dat" ] ||
  python3 "$root/bench/gen_families.py" latent 200000 50 10 2 "$data/bin.dat" "$data/bin.labels"

runs=(
  "alignment|-m ProteinSequence -f aln.fasta -k 0 -h OA -i 1 -c integrated -q -s 1 -j 2"
  "0/1 matrix|-m HDBern -f bin.dat -k 0 -h OA -i 1 -c integrated -q -s 1 -j 2"
)
printf '%-40s %-12s %-4s %10s %10s\n' binary data -T peak_MB wall
for exe in "$@"; do
  exe="$(realpath "$exe")"
  for run in "${runs[@]}"; do
    name="${run%%|*}"
    args="${run#*|}"
    for chains in 1 4; do
      work="$(mktemp -d)"
      ln -s "$data/aln.fasta" "$data/bin.dat" "$work/"
      # shellcheck disable=SC2086
      (cd "$work" && /usr/bin/time -v "$exe" $args -T "$chains" >stdout 2>time.txt) || true
      kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
      wall=$(awk -F'): ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
      printf '%-40s %-12s %-4s %10.1f %10s\n' "$exe" "$name" "$chains" "$(awk -v kb="$kb" 'BEGIN {print kb / 1024}')" "$wall"
      rm -rf "$work"
    done
  done
done
