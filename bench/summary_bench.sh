#!/usr/bin/env bash
# Times vornak-summary on synthetic draws files (bench/gen_draws.py): n items, planted groups,
# two chains. usage: bench/summary_bench.sh [n] [lines per chain]   (default 2000 1000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
n="${1:-2000}"
lines="${2:-1000}"
build="$root/build-bench-summary"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vornak-summary >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$root/bench/gen_draws.py" "$n" "$lines" 5 0.05 1 "$work/a.draws"
python3 "$root/bench/gen_draws.py" "$n" "$lines" 5 0.05 2 "$work/b.draws"
for burn in 0.5 0; do
  for files in "a.draws" "a.draws b.draws"; do
    start=$(date +%s.%N)
    (cd "$work" && "$build/vornak-summary" --burn "$burn" $files >/dev/null)
    end=$(date +%s.%N)
    kept=$(awk -v l="$lines" -v b="$burn" -v f="$files" \
      'BEGIN { c = split(f, x, " "); print c * (l - int(b * l)) }')
    printf 'n=%s chains=%s burn=%s draws kept=%s: %.2f s\n' "$n" "$(wc -w <<<"$files")" \
      "$burn" "$kept" "$(echo "$end - $start" | bc)"
  done
done
