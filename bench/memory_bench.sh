#!/usr/bin/env bash
# Peak memory of whole runs: the maximum resident set (GNU time's "Maximum resident set size")
# of one-iteration runs (-h OA -i 1) with -T 1 and -T 2 on 0/1 matrices of 100,000 and
# 1,000,000 rows x 50 columns in 10 latent classes (HDBern) and on a 10,000-sequence
# alignment (ProteinSequence), for each binary given.
#   bash bench/memory_bench.sh VORNAK [VORNAK...]
# The data sets are generated once into $VORNAK_BENCH_DATA (default /tmp/vornak-memory-bench)
# with bench/gen_families.py (the million-row file is 100 MB). VORNAK_MEMORY_ROWS (default
# "100000 1000000") and VORNAK_MEMORY_CHAINS (default "1 2") choose the sizes and the -T
# values. Each run has a 50-minute limit; a million rows take a few minutes a run on a busy
# machine. Prints one line per binary, data set and -T: the peak in MB and the wall time.
#
# Measured on 2 shared cores, before (main: cells as ints, the file's lines held while read,
# n keys per score memo, n-sized candidate arrays) and after (cells in bytes, the file read
# twice a line at a time, keys computed, arrays sized by the number of clusters):
#   data                -T   before MB   after MB
#   0/1 100,000 x 50     1       73.6       50.0
#   0/1 100,000 x 50     2      119.6       89.0
#   0/1 1,000,000 x 50   1      343.5      132.6
#   0/1 1,000,000 x 50   2      469.7      194.2
# What remains at a million rows (-T 1): the cells (50 MB), the prior's table of log-gammas
# for counts up to n (16 MB, shared by the chains), and per chain about 60 bytes a row: the
# partition, its sizes, member lists and best partition (16), the Dirichlet process's
# log-gamma and normaliser tables (16), each row's score alone (9), the sweep's candidate
# partition and the interrupt copy (8), the fast counter's member list (4), the output lines
# at the end. At 100,000 rows the one-at-a-time sweep's kept scores (16 bytes a row and
# label, at most 64 MB per chain; off beyond) are the largest part.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
data="${VORNAK_BENCH_DATA:-/tmp/vornak-memory-bench}"
rows="${VORNAK_MEMORY_ROWS:-100000 1000000}"
chains="${VORNAK_MEMORY_CHAINS:-1 2}"
mkdir -p "$data"
[ -f "$data/aln.fasta" ] ||
  python3 "$root/bench/gen_families.py" protein 10000 300 20 0.5 0.2 "$data/aln.fasta" "$data/aln.labels"
runs=("alignment|aln.fasta|-m ProteinSequence -f aln.fasta")
for n in $rows; do
  [ -f "$data/bin$n.dat" ] ||
    python3 "$root/bench/gen_families.py" latent "$n" 50 10 2 "$data/bin$n.dat" "$data/bin$n.labels"
  runs+=("0/1 $n x 50|bin$n.dat|-m HDBern -f bin$n.dat")
done

printf '%-40s %-20s %-4s %10s %10s\n' binary data -T peak_MB wall
for exe in "$@"; do
  exe="$(realpath "$exe")"
  for run in "${runs[@]}"; do
    IFS='|' read -r name file args <<<"$run"
    for t in $chains; do
      work="$(mktemp -d)"
      ln -s "$data/$file" "$work/"
      # shellcheck disable=SC2086
      (cd "$work" && /usr/bin/time -v timeout 3000 "$exe" $args -k 0 -h OA -i 1 -c integrated -q -s 1 -j 2 \
        -T "$t" >stdout 2>time.txt) || true
      kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
      wall=$(awk -F'): ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
      printf '%-40s %-20s %-4s %10.1f %10s\n' "$exe" "$name" "$t" \
        "$(awk -v kb="$kb" 'BEGIN {print kb / 1024}')" "$wall"
      rm -rf "$work"
    done
  done
done
