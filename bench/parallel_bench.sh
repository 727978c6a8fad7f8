#!/usr/bin/env bash
# Times the parallel sweep (-h PS) with 1 and 2 threads against the one-at-a-time sweep (OA)
# on generated 0/1 rows (bench/gen_data.py: N x T, K planted groups). Not a test.
#   bash bench/parallel_bench.sh VORNAK [N] [T] [K] [SWEEPS]   (default 100000 50 10 10)
# Per configuration: the wall and CPU seconds of a run of SWEEPS + 1 iterations less those of
# a run of 1 iteration (reading the data and the start left out), divided by SWEEPS; the
# median of three such pairs. PS runs at the fixed k = K (the sweep and the trace point of
# each iteration) and at k = 0 (with its SR split-merge); OA at k = K, fewer sweeps. The
# machine's load average is printed first: other processes' work inflates wall times.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="$(realpath "$1")"
n="${2:-100000}"; t="${3:-50}"; k="${4:-10}"; sweeps="${5:-10}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/gen_data.py" binary "$n" "$t" "$k" "$work/rows.dat"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) processors"

# Wall and CPU seconds of one run, as "wall cpu".
timed() {
  local label="$1"; shift
  (cd "$work" && /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$exe" "$@" -l "$label" \
     -c integrated -q -f rows.dat -m HDBern >/dev/null 2>&1 || true)
  rm -f "$work"/rows_*"$label"*
  tail -n 1 "$work/time.txt" | awk '{ printf "%s %s\n", $1, $2 + $3 }'
}

# Median over three pairs of the per-sweep wall and CPU seconds.
perSweep() {
  local name="$1" count="$2"; shift 2
  local walls=() cpus=()
  for rep in 1 2 3; do
    read -r w1 c1 < <(timed "${name}a$rep" -i 1 "$@")
    read -r w2 c2 < <(timed "${name}b$rep" -i $((count + 1)) "$@")
    walls+=("$(echo "($w2 - $w1) / $count" | bc -l)")
    cpus+=("$(echo "($c2 - $c1) / $count" | bc -l)")
  done
  local wall cpu
  wall="$(printf '%s\n' "${walls[@]}" | sort -g | sed -n 2p)"
  cpu="$(printf '%s\n' "${cpus[@]}" | sort -g | sed -n 2p)"
  printf '%-28s %8.3f s wall %8.3f s cpu per sweep\n' "$name" "$wall" "$cpu"
}

echo "rows: $n x $t, $k groups"
perSweep "PS k=$k -j 1" "$sweeps" -h PS -k "$k" -j 1
perSweep "PS k=$k -j 2" "$sweeps" -h PS -k "$k" -j 2
perSweep "PS k=0 -j 1" "$sweeps" -h PS -k 0 -j 1
perSweep "PS k=0 -j 2" "$sweeps" -h PS -k 0 -j 2
perSweep "OA k=$k" 1 -h OA -k "$k"
