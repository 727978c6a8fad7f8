#!/usr/bin/env bash
# Times whole runs on generated data (fixed seed). usage: bench/bench.sh [vornak-binary]
# Prints one line per workload: name, seconds (median of 3), log size.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${1:-$root/build/vornak}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$root/bench/gen_data.py" binary 500 50 5 oa500.dat
python3 "$root/bench/gen_data.py" binary 1000 50 5 oa1000.dat
python3 "$root/bench/gen_data.py" protein 200 150 4 ux200.fasta
python3 "$root/bench/gen_data.py" real 500 4 4 sm500.dat
python3 "$root/bench/gen_data.py" binary 10 50 3 en10.dat

workloads=(
  "OA HDBern n500 k5 B1|-m HDBern -f oa500.dat -k 5 -h OA -B 1 -c integrated"
  "OA HDBern n1000 k0 B1|-m HDBern -f oa1000.dat -k 0 -h OA -B 1 -c integrated"
  "UX protein n200 k4 B1|-m ProteinSequence -f ux200.fasta -k 4 -h UX -B 1 -c integrated"
  "JN2 mclust2 n500 k0 B1|-m mclust2 -f sm500.dat -k 0 -h JN2 -B 1 -c integrated"
  "DA2 mclust2 n500 k0 B1|-m mclust2 -f sm500.dat -k 0 -h DA2 -B 1 -c integrated"
  "EN HDBern n10 k0|-m HDBern -f en10.dat -k 0 -h EN -c integrated"
)
printf '%-26s %10s %12s\n' workload seconds log-bytes
for w in "${workloads[@]}"; do
  name="${w%%|*}"
  args="${w#*|}"
  times=()
  for rep in 1 2 3; do
    rm -rf run && mkdir run && cp ./*.dat ./*.fasta run/ 2>/dev/null
    start=$(date +%s.%N)
    (cd run && "$exe" $args >/dev/null 2>&1)
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc)")
  done
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 2p)
  size=$(cat run/*.log 2>/dev/null | wc -c)
  printf '%-26s %10.3f %12s\n' "$name" "$median" "$size"
done
