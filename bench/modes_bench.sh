#!/usr/bin/env bash
# vornak-fit with its defaults on generated sets whose posterior has several modes, where the
# tree start is not the best one (bench/gen_modes.py): protein families of unequal sizes with
# subfamilies and deep divergence, and a categorical set with weak classes. Printed per set: wall seconds, vornak-fit's first
# line, every chain's start and best kept score (from summary.txt), the gap between the best
# chain and the best score known for the set, and the ARI of the estimate against the groups.
#
# usage: bench/modes_bench.sh [--minutes M] [--reference MINUTES] [-- ENGINE LETTERS...]
#   --minutes M          vornak-fit's time limit (default 2)
#   --reference MINUTES  also run a longer search per set (vornak-fit -h UX2: tree-guided moves
#                        with OA sweeps, MINUTES) and print its best score
#   ENGINE LETTERS       passed to vornak-fit after the data file (e.g. -- -h UX2)
# VORNAK_FIT=/path/to/vornak-fit uses that binary (with vornak beside it) instead of building
# build-fit/ (Release). ONLY="subfamilies weak" runs only the sets named.
#
# The best scores known (KNOWN below) are the best of every run made for docs/getting-answers.md
# on the bench machine with the current models' scores: the reference searches and the
# vornak-fit runs, whichever was higher.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
minutes=2 reference=0
letters=()
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes="${2:?--minutes needs a number}"; shift ;;
    --reference) reference="${2:?--reference needs minutes}"; shift ;;
    --) shift; letters=("$@"); break ;;
    *) echo "usage: bench/modes_bench.sh [--minutes M] [--reference MINUTES] [-- ENGINE LETTERS...]" >&2; exit 2 ;;
  esac
  shift
done

if [ -n "${VORNAK_FIT:-}" ]; then
  fit="$VORNAK_FIT"
else
  build="$root/build-fit"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$build" -j2 --target vornak-fit vornak >/dev/null ||
    { echo "build failed" >&2; exit 1; }
  fit="$build/vornak-fit"
fi
engine="$(dirname "$fit")/vornak"

declare -A KNOWN=(
  [subfamilies]=-51489.9051
  [weak]=-23761.6067
)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# NAME DATA LABELS
sets=()
python3 "$root/bench/gen_modes.py" subfamilies 200 150 10 subfamilies.fasta subfamilies.labels &&
  sets+=("subfamilies subfamilies.fasta subfamilies.labels")
python3 "$root/bench/gen_modes.py" weak 400 40 6 5 weak.dat weak.labels && sets+=("weak weak.dat weak.labels")

echo "vornak-fit --minutes $minutes ${letters[*]:-} on $(nproc) processors, load $(cut -d' ' -f1 /proc/loadavg)"
for entry in "${sets[@]}"; do
  read -r name data labels <<<"$entry"
  case " ${ONLY:-$name} " in *" $name "*) ;; *) continue ;; esac
  start=$(date +%s.%N)
  first=$("$fit" "$data" "${letters[@]}" -o "out_$name" --minutes "$minutes" 2>"err_$name" | head -1)
  # No answer (no draw before the stop, a refusal): vornak-fit's last line on standard error.
  [ -n "$first" ] || first="no answer: $(grep -v '^vornak-fit: [0-9]' "err_$name" | tail -1)"
  seconds=$(echo "$(date +%s.%N) - $start" | bc)
  echo
  echo "== $name: $(printf '%.0f' "$seconds") s"
  echo "   $first"
  [ -f "out_$name/summary.txt" ] || continue
  table=$(sed -n '/^Starts and ends/,/^$/p' "out_$name/summary.txt" | grep -E '^ +[0-9]+ ')
  echo "$table" | sed 's/^/  /'
  best=$(echo "$table" | awk 'NR == 1 || $3 > b { b = $3 } END { printf "%.4f", b }')
  known=${KNOWN[$name]:-$best}
  if [ "$reference" != 0 ]; then
    "$fit" "$data" -h UX2 -o "ref_$name" --minutes "$reference" >/dev/null 2>&1
    ref=$(sed -n '/^Starts and ends/,/^$/p' "ref_$name/summary.txt" | grep -E '^ +[0-9]+ ' |
          awk 'NR == 1 || $3 > b { b = $3 } END { printf "%.4f", b }')
    echo "   reference search (vornak-fit -h UX2, $reference min): best $ref"
    known=$(awk -v a="$known" -v b="$ref" 'BEGIN { print (b > a ? b : a) }')
  fi
  known=$(awk -v a="$known" -v b="$best" 'BEGIN { print (b > a ? b : a) }')
  awk -v b="$best" -v k="$known" 'BEGIN { printf "   best chain %s, best known %s, gap %.1f log units\n", b, k, k - b }'
  [ "$reference" != 0 ] && echo "   best known now $known (record it in KNOWN)"
  echo "   ARI $(python3 "$root/bench/ari.py" "$labels" "out_$name/summary.estimate")"
done
