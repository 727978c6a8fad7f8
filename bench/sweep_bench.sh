#!/usr/bin/env bash
# Times one-at-a-time sweeps against k and n, and compares the start built from the data
# (-Z tree) with the random start. Not a test: prints CPU times and scores.
#   bash bench/sweep_bench.sh [VORNAK]     (default: builds build-bench/ from this checkout)
# a. HDBern, 2,000 x 20 binary rows, fixed k = 100 and 1,000: CPU ms per sweep.
# b. HDBern, T = 50, k = 0, n = 1,000 and 10,000: CPU ms per sweep from the 31st to the
#    130th sweep (the first ones, from a random start, are slower).
# c. -Z tree against the random start (seeds 1 and 2): the score after 0 and 20 OA
#    iterations (the best score of the run), HDBern k = 0 on 2,000 x 20 rows of 10 groups and
#    on the example votes.dat, ProteinSequence on the example alignment.
# Sweep times are CPU seconds (user + system) of a run less those of a run without the
# sweeps counted, so reading the data and starting are left out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ $# -ge 1 ]; then
  exe="$(realpath "$1")"
else
  cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build-bench" --target vornak -j"$(nproc)" >/dev/null
  exe="$root/build-bench/vornak"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 "$root/bench/gen_data.py" binary 2000 20 10 b2000.dat
python3 "$root/bench/gen_data.py" binary 1000 50 10 b1000.dat
python3 "$root/bench/gen_data.py" binary 10000 50 10 b10000.dat
cp "$root/examples/votes.dat" "$root/examples/set123a.fasta" .

cpu() {  # label args... : CPU seconds (user + system) of one quiet run
  local label="$1"; shift
  python3 - "$exe" "$@" -q -l "$label" <<'PY'
import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=3600)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.3f" % (r.ru_utime + r.ru_stime))
PY
}
per_sweep() {  # data k from to : ms per sweep between iteration counts from and to
  local a b
  a=$(cpu "a$2$3" -m HDBern -f "$1" -k "$2" -h OA -c integrated -i "$3")
  b=$(cpu "b$2$4" -m HDBern -f "$1" -k "$2" -h OA -c integrated -i "$4")
  awk -v a="$a" -v b="$b" -v n="$(($4 - $3))" 'BEGIN { printf "%.2f", 1000 * (b - a) / n }'
}

echo "a. OA sweeps against k (HDBern 2,000 x 20, fixed k): CPU ms per sweep"
k100=$(per_sweep b2000.dat 100 0 5)
k1000=$(per_sweep b2000.dat 1000 0 5)
echo "  k = 100: $k100   k = 1,000: $k1000   ratio $(awk -v a="$k100" -v b="$k1000" 'BEGIN { printf "%.1f", b / a }') (linear in k: 10)"

echo "b. OA sweeps against n (HDBern T = 50, k = 0, sweeps 31 to 130): CPU ms per sweep"
n1=$(per_sweep b1000.dat 0 30 130)
n10=$(per_sweep b10000.dat 0 30 130)
echo "  n = 1,000: $n1   n = 10,000: $n10   ratio $(awk -v a="$n1" -v b="$n10" 'BEGIN { printf "%.1f", b / a }') (target at most 12)"

echo "c. start from the data (-Z tree) against a random start: score at the start, best after 20 OA iterations"
printf "  %-28s %-8s %5s %14s %14s %9s\n" data start seed "start score" "best after 20" "CPU s"
for pair in "HDBern b2000.dat" "HDBern votes.dat" "ProteinSequence set123a.fasta"; do
  read -r model data <<<"$pair"
  for start in random tree; do
    for seed in 1 2; do
      z=""; [ "$start" = tree ] && z="-Z tree"
      label="c${data%%.*}$start$seed"
      # shellcheck disable=SC2086
      t=$(cpu "$label" -m "$model" -f "$data" -k 0 -h OA -c integrated -i 20 -s "$seed" $z)
      log=$(ls ./*_"$label".log)
      first=$(head -n 1 "${log%.log}.save" | awk '{print $1}')
      best=$(grep '^best score' "$log" | awk '{print $3}')
      printf "  %-28s %-8s %5s %14s %14s %9s\n" "$model $data" "$start" "$seed" "$first" "$best" "$t"
    done
  done
done
