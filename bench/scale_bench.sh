#!/usr/bin/env bash
# Large data sets (docs/large-data.md): per set, the time and peak memory to read the data
# (vornak -i 0 from a random start) and to read and start from the sampled tree (-Z sample
# -i 0, with the start's clusters and adjusted Rand index against the generating groups), the
# time per one-at-a-time sweep for each set of engine letters in SWEEP_VARIANTS, vornak-fit's
# time to an answer under a time limit with its stop, ARI and peak memory, and beside them
# Mclust and bayesm's rDPGibbs on the real sets (each under PEER_SECONDS; skipped, saying so,
# when Rscript or the package is missing; nothing is installed).
# Data from bench/gen_scale.py: 0/1 rows x 50 in 10 classes, real rows x 10 in 8 Gaussian
# groups, alignments x 300 in 20 families.
#
# usage: bench/scale_bench.sh [SET ...]
#   SET: binary-1e4 binary-1e5 binary-1e6 real-1e5 real-1e6 seq-1e4 seq-5e4, or all;
#        default, a quick subset: binary-1e4 real-1e5 seq-1e4
# Environment:
#   VORNAK, VORNAK_FIT   the binaries (default: built here into build-scale/, Release)
#   SWEEP_VARIANTS       engine letter sets of the sweep runs, separated by ';' (default
#                        "-j 1"; a parallel sweep adds e.g. "-j 1;-j 2" with its -h)
#   SWEEPS               sweeps timed per run (default max(2, 10^6 / rows); the start's time
#                        is subtracted)
#   FIT_MINUTES=5        vornak-fit's --minutes per set (0: vornak-fit not run)
#   FIT_ARGS             more vornak-fit words (default "--chains 2")
#   TREE=1               also time -Z tree on the sets of at most 10,000 rows
#   PEERS                default "Mclust rDPGibbs"; PEER_SECONDS=600 each
#   DATA_DIR             keeps the generated data between runs (default: a temporary folder)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
sets=("$@")
[ ${#sets[@]} -eq 0 ] && sets=(binary-1e4 real-1e5 seq-1e4)
[ "${sets[0]}" = all ] && sets=(binary-1e4 binary-1e5 binary-1e6 real-1e5 real-1e6 seq-1e4 seq-5e4)
variants="${SWEEP_VARIANTS:--j 1}"
fitMinutes="${FIT_MINUTES:-5}"
fitArgs="${FIT_ARGS:---chains 2}"
peers="${PEERS-Mclust rDPGibbs}"
peerSeconds="${PEER_SECONDS:-600}"
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }

if [ -n "${VORNAK:-}" ] && [ -n "${VORNAK_FIT:-}" ]; then
  vornak="$VORNAK" fit="$VORNAK_FIT"
else
  build="$root/build-scale"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$build" -j2 --target vornak vornak-fit >/dev/null ||
    { echo "build failed" >&2; exit 1; }
  vornak="$build/vornak" fit="$build/vornak-fit"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
data="${DATA_DIR:-$work/data}"
mkdir -p "$data"

# "CPU WALL MB" of a command: CPU seconds (user + system, its waited children included: the
# steadier figure on a shared machine), wall-clock seconds and the peak resident memory of it
# or its largest child; or "failed"/"timeout". Its output in $work/out.txt; a limit of $1
# seconds.
measure() {
  local limit="$1" status
  shift
  timeout --signal=INT --kill-after=60 "$limit" /usr/bin/time -f "%U %S %e %M" -o "$work/time.txt" "$@" \
    >"$work/out.txt" 2>&1
  status=$?
  if [ "$status" = 124 ]; then echo timeout; return; fi
  # vornak ends a completed run with status 1, vornak-fit with 0.
  if [ "$status" != 0 ] && [ "$status" != 1 ]; then echo failed; return; fi
  awk 'END { printf "%.1f %.1f %.0f\n", $1 + $2, $3, $4 / 1024 }' "$work/time.txt"
}

ari() { python3 "$root/bench/ari.py" "$1" "$2" | awk '{ printf "%.3f (%s clusters)", $1, $2 }'; }

for set in "${sets[@]}"; do
  kind="${set%-*}" size="${set#*-}"
  n=$(python3 -c "print(int(float('$size')))")
  case "$kind" in
    binary) gen="binary" cols=50 groups=10 ext=txt words=(-m HDBern -p flat) ;;
    real) gen="real" cols=10 groups=8 ext=txt words=(-m mvn -p 1 -x) ;;
    seq) gen="protein" cols=300 groups=20 ext=fa words=(-m ProteinSequence -p shared) ;;
    *) echo "unknown set $set" >&2; exit 2 ;;
  esac
  file="$data/$set.$ext" labels="$data/$set.labels"
  sweeps="${SWEEPS:-$(( n >= 500000 ? 2 : 1000000 / n ))}"
  [ -s "$file" ] && [ -s "$labels" ] ||
    python3 "$root/bench/gen_scale.py" "$gen" "$n" "$cols" "$groups" "$file" "$labels" ||
    { echo "$set: generation failed"; continue; }
  echo "== $set: $n rows x $cols, $groups groups"
  # The runs' files go beside the data they read: a fresh folder with a link to it each.
  run=$work/run
  fresh() { rm -rf "$run"; mkdir -p "$run"; ln -s "$file" "$run/data.$ext"; cd "$run" || exit 1; }
  base=("${words[@]}" -c integrated -k 0 -h OA -q -f "data.$ext")

  fresh
  read -r readTime readWall readMB <<<"$(measure 3600 "$vornak" "${base[@]}" -Z random -i 0)"
  echo "  read (-Z random -i 0): ${readTime} s CPU (${readWall:-?} s wall), ${readMB:-?} MB"

  starts=(sample) sampleTime=0 sampleWall=0
  [ "${TREE:-0}" = 1 ] && [ "$n" -le 10000 ] && starts+=(tree)
  for start in "${starts[@]}"; do
    fresh
    read -r startTime startWall startMB <<<"$(measure 3600 "$vornak" "${base[@]}" -Z "$start" -i 0)"
    found=$(ls "$run"/*.finalz 2>/dev/null | head -1)
    quality=""
    [ -n "$found" ] && quality=", start ARI $(ari "$labels" "$found")"
    extra=""
    [ "$startTime" != failed ] && [ "$startTime" != timeout ] && [ "$readTime" != failed ] &&
      extra=" (start alone $(awk -v a="$startTime" -v b="$readTime" 'BEGIN { printf "%.1f", a - b }') s)"
    echo "  read and start (-Z $start -i 0): ${startTime} s CPU${extra} (${startWall:-?} s wall), ${startMB:-?} MB$quality"
    [ "$start" = sample ] && sampleTime="$startTime" sampleWall="${startWall:-0}"
  done

  IFS=';' read -r -a letterSets <<<"$variants"
  for letters in "${letterSets[@]}"; do
    fresh
    # shellcheck disable=SC2086
    read -r sweepTime sweepWall sweepMB <<<"$(measure 7200 "$vornak" "${base[@]}" -Z sample -i "$sweeps" $letters)"
    per="$sweepTime" wall=""
    if [ "$sweepTime" != failed ] && [ "$sweepTime" != timeout ]; then
      per=$(awk -v a="$sweepTime" -v b="$sampleTime" -v s="$sweeps" 'BEGIN { printf "%.2f", (a - b) / s }')
      wall=$(awk -v a="$sweepWall" -v b="$sampleWall" -v s="$sweeps" 'BEGIN { printf "%.2f", (a - b) / s }')
    fi
    echo "  sweep [$letters]: ${per} s CPU, ${wall:-?} s wall per sweep ($sweeps sweeps after the start, ${sweepMB:-?} MB)"
  done

  if [ "$fitMinutes" != 0 ]; then
    fresh
    # shellcheck disable=SC2086
    read -r fitTime fitWall fitMB <<<"$(measure $(( ${fitMinutes%.*} * 60 + 300 )) "$fit" "$file" -o "$run/fit" \
      --minutes "$fitMinutes" --keep none $fitArgs)"
    stop=$(grep -m1 -iE 'agreed|stopped' "$work/out.txt" | cut -c1-120)
    quality="no estimate"
    [ -s "$run/fit/summary.estimate" ] && quality="ARI $(ari "$labels" "$run/fit/summary.estimate")"
    echo "  vornak-fit --minutes $fitMinutes $fitArgs: ${fitWall:-$fitTime} s wall (${fitTime} s CPU), ${fitMB:-?} MB peak (largest process), $quality"
    [ -n "$stop" ] && echo "    $stop"
    [ "$fitTime" = failed ] && echo "    $(tail -1 "$work/out.txt" | cut -c1-160)"
  fi

  for peer in $peers; do
    if [ "$kind" != real ]; then echo "  $peer: skipped (real data only)"; continue; fi
    if ! command -v Rscript >/dev/null; then echo "  $peer: skipped (Rscript not installed)"; continue; fi
    package=mclust what=mclust args=()
    [ "$peer" = rDPGibbs ] && package=bayesm what=dpgibbs args=(100)
    if ! Rscript -e "quit(status = !requireNamespace('$package', quietly = TRUE))" >/dev/null 2>&1; then
      echo "  $peer: skipped (R package $package not installed)"; continue
    fi
    cd "$work" || exit 1
    read -r peerTime peerWall peerMB <<<"$(measure "$peerSeconds" Rscript "$root/bench/peer_real.R" "$what" "$file" \
      "${args[@]}" "$work/peer.z")"
    quality=""
    [ "$peerTime" != failed ] && [ "$peerTime" != timeout ] && quality=", ARI $(ari "$labels" "$work/peer.z")"
    echo "  $peer: ${peerTime} s CPU (${peerWall:-?} s wall, reading included), ${peerMB:-?} MB$quality"
  done
done
