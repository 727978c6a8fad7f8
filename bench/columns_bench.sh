#!/usr/bin/env bash
# Column selection (-V) on generated data where only some columns tell the groups apart
# (bench/gen_columns.py): alignments with 5 %, 20 % and 60 % of 300 columns differing between
# families, and 0/1 latent-class matrices with noise columns. Per data set two seeded chains
# (JN2 by default: split-merge and two one-at-a-time sweeps) without and with -V, summarised
# together by vornak-summary: the estimate's k, its ARI against the generating groups
# (bench/ari.py), the R-hat of the score, the wall seconds of a chain (noisy on a shared
# machine) and, with -V, the share of truly differing columns among the 20 ranked highest by
# the chains' mean .columns probabilities.
#   bash bench/columns_bench.sh [ITERATIONS] [P] [HEURISTIC]   (defaults 100, 0.1, JN2)
set -euo pipefail
iterations="${1:-100}"
p="${2:-0.1}"
heuristic="${3:-JN2}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VORNAK_BUILD:-$root/build-bench}"
if [ ! -x "$build/vornak" ] || [ ! -x "$build/vornak-summary" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" --target vornak vornak-summary -j"${CMAKE_BUILD_PARALLEL_LEVEL:-2}" >/dev/null
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
thin=$(( iterations / 100 > 0 ? iterations / 100 : 1 ))

# name kind columns share-or-informative groups size seed model
sets=(
  "aln5 alignment 300 0.05 3 20 11 ProteinSequence"
  "aln20 alignment 300 0.20 4 30 12 ProteinSequence"
  "aln60 alignment 300 0.60 5 40 13 ProteinSequence"
  "aln20big alignment 300 0.20 3 200 14 ProteinSequence"
  "lc10 latent 60 10 3 60 15 HDBern"
  "lc30 latent 60 30 4 50 16 HDBern"
)

printf '%-9s %-5s %4s %7s %7s %8s %6s\n' set run k ARI Rhat s/chain top20
for s in "${sets[@]}"; do
  read -r name kind columns share groups size seed model <<<"$s"
  ext=dat; [ "$kind" = alignment ] && ext=fasta
  python3 "$root/bench/gen_columns.py" "$kind" "$name.$ext" "$name.truth" "$name.differ" \
    "$columns" "$share" "$groups" "$size" "$seed"
  for run in plain V; do
    extra=""; [ "$run" = V ] && extra="-V $p"
    draws=()
    start=$(date +%s.%N)
    for chain in 1 2; do
      "$build/vornak" -m "$model" -f "$name.$ext" -k 0 -h "$heuristic" -c integrated -i "$iterations" \
        -d "$thin" -s "$chain" -q -l "$run" $extra >/dev/null || [ $? -eq 1 ]
      draws+=("$(ls ${name}_*_s${chain}_${run}*.draws)")
    done
    seconds=$(echo "$start $(date +%s.%N)" | awk '{printf "%.1f", ($2 - $1) / 2}')
    "$build/vornak-summary" -o "${name}_$run" "${draws[@]}" >/dev/null
    k=$(tr ' ' '\n' <"${name}_$run.estimate" | grep . | sort -u | wc -l)
    ari=$(python3 "$root/bench/ari.py" "$name.truth" "${name}_$run.estimate" | awk '{printf "%.3f", $1}')
    # NA or Inf when both chains stay at one score each.
    rhat=$(awk -F'\t' '$1 == "rhat" && $3 == "score" {print ($4 ~ /^[0-9.]+$/) ? sprintf("%.3f", $4) : $4}' \
      "${name}_$run.summary.tsv")
    top="-"
    if [ "$run" = V ]; then
      top=$(cat ${name}_*_${run}*.columns | awk '{sum[$1] += $2} END {for (c in sum) print sum[c], c}' |
        sort -gr | head -n 20 | awk '{print $2}' | grep -cxFf "$name.differ" || true)
      top=$(awk -v t="$top" 'BEGIN {printf "%.2f", t / 20}')
    fi
    printf '%-9s %-5s %4s %7s %7s %8s %6s\n' "$name" "$run" "$k" "$ari" "${rhat:-NA}" "$seconds" "$top"
  done
done
