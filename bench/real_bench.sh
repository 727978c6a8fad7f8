#!/usr/bin/env bash
# Real-valued data with known groups: mvn and mclust2 (k = 0, OA, -x, two seeded chains
# summarised by vornak-summary) beside R's Mclust (its default models and numbers of groups)
# and bayesm's rDPGibbs (default priors, the same number of sweeps, its last draw), through
# Rscript; a peer, or a data set from R, that is not installed is skipped with a line.
# Data: generated mixtures of correlated Gaussians (bench/gen_data.py gauss, several n and d),
# R's iris and faithful (no known groups: k only), mclust's banknote and diabetes.
# Printed per set and tool: the estimate's number of clusters, its adjusted Rand index against
# the known groups (bench/ari.py), CPU seconds of the whole fit (vornak: both chains), and
# CPU ms per sweep for the samplers.
#
# usage: bench/real_bench.sh [--quick] [--iterations N] [--prior C]
#   --quick          small generated sets and 100 iterations, for trying the script out
#   --iterations N   sweeps per chain (default 1000), also rDPGibbs's sweeps
#   --prior C        -p of mvn and mclust2 (default: each model's own)
# VORNAK=/path/to/vornak and SUMMARY=/path/to/vornak-summary use those binaries instead of
# building build-real/ (Release). MODELS="mvn mclust2" and PEERS="Mclust rDPGibbs" choose the
# models and peers run; ONLY="iris banknote" runs only the sets named (generated sets by their
# printed names).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/r_sets.sh"
iterations=1000 quick=0 prior=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 iterations=100 ;;
    --iterations) iterations="${2:?--iterations needs a number}"; shift ;;
    --prior) prior="${2:?--prior needs a number}"; shift ;;
    *) echo "usage: bench/real_bench.sh [--quick] [--iterations N] [--prior C]" >&2; exit 2 ;;
  esac
  shift
done
models="${MODELS-mvn mclust2}"
peers="${PEERS-Mclust rDPGibbs}"
thin=$(( iterations >= 100 ? iterations / 100 : 1 ))

if [ -n "${VORNAK:-}" ] && [ -n "${SUMMARY:-}" ]; then
  vornak="$VORNAK" summary="$SUMMARY"
else
  build="$root/build-real"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$build" -j2 --target vornak vornak-summary >/dev/null ||
    { echo "build failed" >&2; exit 1; }
  vornak="$build/vornak" summary="$build/vornak-summary"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# CPU seconds (user + system) of a command run with its output in out.txt, from GNU time
# (steadier than wall time on a shared machine); "failed" when its status is not the one
# given.
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }
cpu() {
  local expected="$1" status
  shift
  /usr/bin/time -f "%U %S" -o time.txt "$@" >out.txt 2>&1
  status=$?
  [ "$status" = "$expected" ] || { echo failed; return; }
  tail -n 1 time.txt | awk '{printf "%.3f", $1 + $2}'
}

have_r=0 have_mclust=0 have_bayesm=0
if command -v Rscript >/dev/null; then
  have_r=1
  Rscript -e 'quit(status = !requireNamespace("mclust", quietly = TRUE))' 2>/dev/null &&
    have_mclust=1
  Rscript -e 'quit(status = !requireNamespace("bayesm", quietly = TRUE))' 2>/dev/null &&
    have_bayesm=1
else
  echo "Rscript not found: R's data sets and both peers are skipped"
fi
[ "$have_r" = 1 ] && [ "$have_mclust" = 0 ] &&
  echo "R package mclust not installed: Mclust, banknote and diabetes are skipped"
[ "$have_r" = 1 ] && [ "$have_bayesm" = 0 ] && echo "R package bayesm not installed: rDPGibbs is skipped"

# The data sets: NAME DATA LABELS ("-" when the groups are not known).
sets=()
if [ "$quick" = 1 ]; then
  gauss=("300 3 3" "400 5 4")
else
  gauss=("1000 5 4" "2000 3 3" "5000 2 5" "500 8 3")
fi
for g in "${gauss[@]}"; do
  read -r n d k <<<"$g"
  name="gauss_n${n}_d${d}_k${k}"
  python3 "$root/bench/gen_data.py" gauss "$n" "$d" "$k" "$name.dat" "$name.labels"
  sets+=("$name $name.dat $name.labels")
done
if [ "$have_r" = 1 ]; then
  while read -r line; do sets+=("$line"); done < <(export_r_sets iris faithful banknote diabetes)
fi

printf '%-20s %-11s %-10s %4s %7s %9s %10s\n' set "n x d" tool k ARI "CPU s" "ms/sweep"
for s in "${sets[@]}"; do
  read -r name data labels <<<"$s"
  [ -z "${ONLY:-}" ] || [[ " $ONLY " == *" $name "* ]] || continue
  rows=$(grep -c . "$data")
  cols=$(head -n 1 "$data" | wc -w)
  shape="${rows}x${cols}"
  for model in $models; do
    total=0 ok=1 draws=()
    for seed in 1 2; do
      rm -f ./*.draws.tmp
      p=()
      [ -n "$prior" ] && p=(-p "$prior")
      secs=$(cpu 1 "$vornak" -m "$model" -f "$data" -k 0 -h OA -c integrated -i "$iterations" \
        -s "$seed" -q -x -d "$thin" -l "$model" "${p[@]}")
      [ "$secs" = failed ] && { ok=0; echo "$name $model: run failed: $(tail -n 1 out.txt)"; break; }
      total=$(awk -v a="$total" -v b="$secs" 'BEGIN {print a + b}')
      draws+=("$(ls -t ./*_s${seed}_"$model"_x.draws | head -n 1)")
    done
    [ "$ok" = 1 ] || continue
    "$summary" -o "est_$model" "${draws[@]}" >/dev/null 2>&1 ||
      { echo "$name $model: summary failed"; continue; }
    read -r a k <<<"$(ari "$labels" "est_$model.estimate")"
    printf '%-20s %-11s %-10s %4s %7s %9.2f %10.3f\n' "$name" "$shape" "$model" "$k" "$a" "$total" \
      "$(awk -v t="$total" -v i="$iterations" 'BEGIN {print 1000 * t / (2 * i)}')"
    rm -f ./*"_$model"* ./est_*
  done
  if [ "$have_mclust" = 1 ] && [[ " $peers " == *" Mclust "* ]]; then
    secs=$(cpu 0 Rscript "$root/bench/peer_real.R" mclust "$data" mclust.z)
    if [ "$secs" = failed ]; then echo "$name Mclust: failed"; else
      secs=$(tail -n 1 out.txt)
      read -r a k <<<"$(ari "$labels" mclust.z)"
      printf '%-20s %-11s %-10s %4s %7s %9.2f %10s\n' "$name" "$shape" Mclust "$k" "$a" "$secs" "-"
    fi
  fi
  if [ "$have_bayesm" = 1 ] && [[ " $peers " == *" rDPGibbs "* ]]; then
    secs=$(cpu 0 Rscript "$root/bench/peer_real.R" dpgibbs "$data" "$iterations" dp.z)
    if [ "$secs" = failed ]; then echo "$name rDPGibbs: failed"; else
      secs=$(tail -n 1 out.txt)
      read -r a k <<<"$(ari "$labels" dp.z)"
      printf '%-20s %-11s %-10s %4s %7s %9.2f %10.3f\n' "$name" "$shape" rDPGibbs "$k" "$a" \
        "$secs" "$(awk -v t="$secs" -v i="$iterations" 'BEGIN {print 1000 * t / i}')"
    fi
  fi
done
