#!/usr/bin/env bash
# Do two seeded chains agree? For generated data with known groups (protein families evolved
# from a common ancestor, binary and categorical latent classes, correlated Gaussian groups)
# runs two chains per configuration for a fixed wall time each (stopped by SIGTERM, which
# keeps every file), summarises them with vornak-summary and prints, side by side: R-hat of
# the score and of k, each chain's best score and iterations, the generating grouping's own
# score (a zero-iteration run from it), the ARI of the estimate against the generating groups,
# and how far each chain's best is from the best score any run on that data found.
#
#   bash bench/chains_bench.sh [--seconds S] [--only DATA] [--config 'NAME|OPTIONS' ...]
#
# --seconds: wall time of each chain (default 45); the two chains of a configuration run at
# once. --only: one data set (protein, binary, categorical, gauss). --config adds a row per
# data set, its options appended to every run (e.g. --config 'OA -T 4 -j 1|-h OA -T 4 -j 1');
# the default rows are OA, OA -T 4, SR2 -T 4 and, when the build has the data-built start
# -Z, OA -Z tree and OA -T 4 -Z tree. A row whose options hold -Z is skipped, with a line,
# by a build that does not refuse "-Z bogus" (unknown options are ignored, so such a build
# would run it as a plain row). VORNAK= and SUMMARY= name binaries to use instead of building
# build-bench/. Timings are wall time on whatever else the machine runs: noisy.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=45
only=""
configs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --only) only="$2"; shift 2 ;;
    --config) configs+=("$2"); shift 2 ;;
    *) echo "usage: bash bench/chains_bench.sh [--seconds S] [--only DATA] [--config 'NAME|OPTIONS']" >&2; exit 2 ;;
  esac
done

if [ -z "${VORNAK:-}" ] || [ -z "${SUMMARY:-}" ]; then
  cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$root/build-bench" --target vornak vornak-summary -j "$(nproc)" >/dev/null || exit 1
  VORNAK="$root/build-bench/vornak"
  SUMMARY="$root/build-bench/vornak-summary"
fi
VORNAK="$(realpath "$VORNAK")"
SUMMARY="$(realpath "$SUMMARY")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# The data: name model prior generator-command (files DATA and DATA.labels).
python3 "$root/bench/gen_families.py" protein 300 150 5 0.6 0.45 protein.fasta protein.labels
python3 "$root/bench/gen_families.py" latent 500 30 5 2 binary.dat binary.labels
python3 "$root/bench/gen_families.py" latent 300 20 4 4 categorical.dat categorical.labels
python3 "$root/bench/gen_data.py" gauss 500 4 4 gauss.dat gauss.labels
sets=(
  "protein ProteinSequence bg protein.fasta"
  "binary HDBern flat binary.dat"
  "categorical HDGBern point05 categorical.dat"
  "gauss mclust2 1 gauss.dat"
)

# -Z is there when a bad value of it is refused.
printf '0 1\n1 0\n0 0\n1 1\n' >zprobe.dat
"$VORNAK" -m HDBern -f zprobe.dat -k 0 -h OA -c integrated -i 0 -Z bogus -q >/dev/null 2>&1
if [ $? = 255 ]; then has_Z=1; else has_Z=0; fi
rm -f zprobe*
if [ ${#configs[@]} -eq 0 ]; then
  configs=("OA|-h OA" "OA -T 4|-h OA -T 4" "SR2 -T 4|-h SR2 -T 4" "OA -Z tree|-h OA -Z tree"
           "OA -T 4 -Z tree|-h OA -T 4 -Z tree")
fi

# "best score S (clusters: K) in ..." of a log.
best_of() { sed -n 's/^best score \([^ ]*\) .*/\1/p' "$1" | tail -n 1; }
last_iteration() { tail -n 1 "$1" 2>/dev/null | cut -d' ' -f1; }
# One value of the summary's table: quantity, item.
tsv() { awk -F'\t' -v q="$1" -v i="$2" '$1 == q && $3 == i { print $4 }' "$3" | head -n 1; }

results="$work/results"
: >"$results"
row=0
for set in "${sets[@]}"; do
  read -r name model prior data <<<"$set"
  [ -n "$only" ] && [ "$only" != "$name" ] && continue
  base=(-m "$model" -f "$data" -k 0 -c integrated -p "$prior" -q)
  for config in "${configs[@]}"; do
    label="${config%%|*}"
    read -r -a options <<<"${config#*|}"
    # The generating grouping's own score under the row's model and prior (a row may give -m
    # and -p): a run of no iteration from it.
    row_model="$model"
    scoring=()
    for ((o = 0; o + 1 < ${#options[@]}; o++)); do
      case "${options[o]}" in
        -m) row_model="${options[o + 1]}"; scoring+=(-m "${options[o + 1]}") ;;
        -p) scoring+=(-p "${options[o + 1]}") ;;
      esac
    done
    rm -f ./"$name"_*_truth*
    "$VORNAK" "${base[@]}" "${scoring[@]}" -h OA -i 0 -z "$name.labels" -l truth >/dev/null 2>&1
    truth=$(best_of "$(ls ./"$name"_*_truth*.log | head -n 1)")
    if [[ " ${options[*]} " == *" -Z "* ]] && [ "$has_Z" = 0 ]; then
      echo "skipped: $name $label: this build has no -Z (it ignores -Z bogus)" >&2
      continue
    fi
    row=$((row + 1))
    # --foreground: the run alone gets one SIGTERM; timeout would also signal its process
    # group, and a second signal ends a run at once, before its closing lines.
    for seed in 1 2; do
      timeout --foreground -s TERM "$seconds" "$VORNAK" "${base[@]}" -B 9 -d 2 -s "$seed" "${options[@]}" \
        -l "r${row}" >"r${row}_s$seed.out" 2>&1 &
    done
    wait
    # The label ends the stem unless a suffix such as _x follows it.
    chain_file() { compgen -G "./*_s$1*_r${row}.$2" || compgen -G "./*_s$1*_r${row}_*.$2"; }
    logs=("$(chain_file 1 log)" "$(chain_file 2 log)")
    draws=("$(chain_file 1 draws)" "$(chain_file 2 draws)")
    "$SUMMARY" -o "sum$row" "${draws[@]}" >/dev/null 2>&1
    ari=$(python3 "$root/bench/ari.py" "$name.labels" "sum$row.estimate" 2>/dev/null)
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$label" \
      "$(tsv rhat score "sum$row.summary.tsv")" "$(tsv rhat k "sum$row.summary.tsv")" \
      "$(best_of "${logs[0]}")" "$(best_of "${logs[1]}")" \
      "$(last_iteration "${draws[0]}")" "$(last_iteration "${draws[1]}")" "$truth" "$ari" "${scoring[*]}" >>"$results"
  done
done

echo "Two chains of ${seconds} s each per row (wall time, machine shared: noisy); -k 0, integrated."
echo "gap: each chain's best below the best score any run (or the generating grouping) reached on the data with that model and prior."
awk -F'\t' '
  # Scores compare within one data set, model and prior only.
  { n++; for (f = 1; f <= 11; f++) v[n, f] = $f
    key = $1 SUBSEP $11
    for (f = 5; f <= 6; f++) if (!(key in top) || $f + 0 > top[key]) top[key] = $f + 0
    if ($9 != "" && $9 + 0 > top[key]) top[key] = $9 + 0 }
  END {
    printf "| data | run | R-hat score | R-hat k | best 1 | best 2 | gap 1 | gap 2 | iterations | generating | ARI (k) |\n"
    printf "|---|---|---|---|---|---|---|---|---|---|---|\n"
    for (r = 1; r <= n; r++)
      printf "| %s | %s | %s | %s | %.1f | %.1f | %.1f | %.1f | %s, %s | %.1f | %s |\n", v[r, 1], v[r, 2],
        v[r, 3], v[r, 4], v[r, 5], v[r, 6], top[v[r, 1], v[r, 11]] - v[r, 5], top[v[r, 1], v[r, 11]] - v[r, 6],
        v[r, 7], v[r, 8], v[r, 9], v[r, 10]
  }' "$results"
