#!/usr/bin/env bash
# vornak-fit with its defaults, timed from the command to the answer, on generated data of each
# kind (protein families, two sets; 0/1 and categorical latent classes; correlated Gaussian groups) and on
# R's iris, faithful and mclust's banknote, beside R's Mclust(x) and bayesm's rDPGibbs with their
# defaults on the real-valued sets (through bench/peer_real.R; skipped with a line when R or a
# package is missing). Printed per set and tool: wall seconds to the answer, the estimate's
# number of clusters, its adjusted Rand index against the known groups (bench/ari.py; "-"
# without them) and, for vornak-fit, whether it stopped because the chains agreed or at the limit.
#
# usage: bench/fit_bench.sh [--minutes M] [--sweeps N]
#   --minutes M   vornak-fit's time limit (default: its own, 10)
#   --sweeps N    rDPGibbs's sweeps (default 1000; it has no stopping rule of its own)
# VORNAK_FIT=/path/to/vornak-fit uses that binary (with vornak beside it) instead of building
# build-fit/ (Release). ONLY="iris binary" runs only the sets named.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/r_sets.sh"
minutes="" sweeps=1000
while [ $# -gt 0 ]; do
  case "$1" in
    --minutes) minutes="${2:?--minutes needs a number}"; shift ;;
    --sweeps) sweeps="${2:?--sweeps needs a number}"; shift ;;
    *) echo "usage: bench/fit_bench.sh [--minutes M] [--sweeps N]" >&2; exit 2 ;;
  esac
  shift
done

if [ -n "${VORNAK_FIT:-}" ]; then
  fit="$VORNAK_FIT"
else
  build="$root/build-fit"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$build" -j2 --target vornak-fit >/dev/null ||
    { echo "build failed" >&2; exit 1; }
  fit="$build/vornak-fit"
fi
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

have_r=0 have_mclust=0 have_bayesm=0
if command -v Rscript >/dev/null; then
  have_r=1
  Rscript -e 'quit(status = !requireNamespace("mclust", quietly = TRUE))' 2>/dev/null && have_mclust=1
  Rscript -e 'quit(status = !requireNamespace("bayesm", quietly = TRUE))' 2>/dev/null && have_bayesm=1
  [ "$have_mclust" = 1 ] || echo "R package mclust not installed: Mclust and banknote are skipped"
  [ "$have_bayesm" = 1 ] || echo "R package bayesm not installed: rDPGibbs is skipped"
else
  echo "Rscript not found: R's data sets and both peers are skipped"
fi

# NAME DATA LABELS REAL ("-" labels: groups unknown; REAL 1: the peers run too).
sets=()
python3 "$root/bench/gen_families.py" protein 120 150 4 0.6 0.45 protein.fasta protein.labels &&
  sets+=("protein protein.fasta protein.labels 0")
# The families of bench/chains_bench.sh, on which chains from random starts disagree.
python3 "$root/bench/gen_families.py" protein 300 150 5 0.6 0.45 protein300.fasta protein300.labels &&
  sets+=("protein300 protein300.fasta protein300.labels 0")
python3 "$root/bench/gen_families.py" latent 300 30 4 2 binary.dat binary.labels &&
  sets+=("binary binary.dat binary.labels 0")
python3 "$root/bench/gen_latent.py" 300 20 4 3 0 categorical.dat categorical.labels &&
  sets+=("categorical categorical.dat categorical.labels 0")
python3 "$root/bench/gen_data.py" gauss 500 4 4 gauss.dat gauss.labels &&
  sets+=("gauss gauss.dat gauss.labels 1")
if [ "$have_r" = 1 ]; then
  while read -r line; do sets+=("$line 1"); done < <(export_r_sets iris faithful banknote)
fi

# Wall seconds of a command (output in out.txt), or "failed" when its status is not the one given.
wall() {
  local expected="$1" status
  shift
  /usr/bin/time -f "%e" -o time.txt "$@" >out.txt 2>&1
  status=$?
  [ "$status" = "$expected" ] || { echo failed; return; }
  tail -n 1 time.txt
}

printf '%-12s %-9s %-11s %8s %4s %7s  %s\n' set "n x d" tool "wall s" k ARI stopped
for s in "${sets[@]}"; do
  read -r name data labels real <<<"$s"
  [ -z "${ONLY:-}" ] || [[ " $ONLY " == *" $name "* ]] || continue
  if [ "${data##*.}" = fasta ]; then shape="$(grep -c '^>' "$data") seq"; else
    shape="$(grep -c . "$data")x$(head -n 1 "$data" | wc -w)"; fi
  limit=()
  [ -n "$minutes" ] && limit=(--minutes "$minutes")
  rm -rf "fit_$name"
  secs=$(wall 0 "$fit" "$data" -o "fit_$name" "${limit[@]}")
  if [ "$secs" = failed ]; then
    echo "$name vornak-fit: failed: $(tail -n 1 out.txt)"
  else
    case "$(head -n 1 out.txt)" in
      "Stopped: the chains agreed"*) how=agreed ;;
      "Stopped at the time limit"*) how=limit ;;
      *) how="?" ;;
    esac
    read -r a k <<<"$(ari "$labels" "fit_$name/summary.estimate")"
    printf '%-12s %-9s %-11s %8s %4s %7s  %s\n' "$name" "$shape" vornak-fit "$secs" "$k" "$a" "$how"
  fi
  [ "$real" = 1 ] || continue
  if [ "$have_mclust" = 1 ]; then
    secs=$(wall 0 Rscript "$root/bench/peer_real.R" mclust "$data" mclust.z)
    if [ "$secs" = failed ]; then echo "$name Mclust: failed"; else
      read -r a k <<<"$(ari "$labels" mclust.z)"
      printf '%-12s %-9s %-11s %8s %4s %7s  %s\n' "$name" "$shape" Mclust "$secs" "$k" "$a" "-"
    fi
  fi
  if [ "$have_bayesm" = 1 ]; then
    secs=$(wall 0 Rscript "$root/bench/peer_real.R" dpgibbs "$data" "$sweeps" dp.z)
    if [ "$secs" = failed ]; then echo "$name rDPGibbs: failed"; else
      read -r a k <<<"$(ari "$labels" dp.z)"
      printf '%-12s %-9s %-11s %8s %4s %7s  %s\n' "$name" "$shape" rDPGibbs "$secs" "$k" "$a" "$sweeps sweeps"
    fi
  fi
done
