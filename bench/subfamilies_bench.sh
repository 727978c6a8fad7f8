#!/usr/bin/env bash
# Subfamilies that differ at few positions (bench/gen_families.py subfamilies): alignments of
# 20-60 sequences over 200-400 positions in 3-4 subfamilies whose ancestors differ at 5-15 %
# of the positions; in the h sets each subfamily is three shallow clades and its members are
# further apart (the tree within a subfamily is what makes other priors split it). Per data set and prior (bg, cloud9, bg with -V 0.1, shared) two seeded
# chains of ProteinSequence (JN2), summarised together by vornak-summary: the estimate's k, its
# ARI against the generating subfamilies (bench/ari.py) and the wall seconds of the two chains
# (noisy on a shared machine). Beside them MMseqs2 and CD-HIT at every identity threshold from
# 0.30 to 0.95 by 0.05, the best threshold's ARI reported (each skipped, saying so, when not
# installed: apt-get install -y mmseqs2 cd-hit). MMseqs2 runs easy-linclust (MMSEQS_MODE:
# easy-cluster, its cascaded search, took 40 to 120 s a threshold on a loaded 2-core machine).
#   bash bench/subfamilies_bench.sh [ITERATIONS [SET...]]   (default 300, every set)
set -euo pipefail
iterations="${1:-300}"
shift || true
wanted=" $* "
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
mmseqs_mode="${MMSEQS_MODE:-easy-linclust}"
have_mmseqs=0; command -v mmseqs >/dev/null && have_mmseqs=1
have_cdhit=0; command -v cd-hit >/dev/null && have_cdhit=1
[ $have_mmseqs = 1 ] || echo "NOTE: mmseqs not installed, MMseqs2 SKIPPED (apt-get install -y mmseqs2)"
[ $have_cdhit = 1 ] || echo "NOTE: cd-hit not installed, CD-HIT SKIPPED (apt-get install -y cd-hit)"

# name sequences positions subfamilies differing-share within-branch seed clades
sets=(
  "d05 22 300 3 0.05 0.15 31 1"
  "d10 26 300 4 0.10 0.15 32 1"
  "d15 40 200 3 0.15 0.20 33 1"
  "h05 24 300 3 0.05 0.35 37 3"
  "h06 40 250 4 0.06 0.40 9 3"
  "h10 60 400 4 0.10 0.40 36 3"
)

# Labels per sequence (0-based, file order) from "representative<TAB>member" lines.
labels_from_pairs() {
  python3 - "$1" "$2" <<'PY'
import sys
names = [l[1:].split()[0] for l in open(sys.argv[1]) if l.startswith(">")]
rep = {}
for line in open(sys.argv[2]):
    r, m = line.split()[:2]
    rep[m] = r
ids = {}
print(" ".join(str(ids.setdefault(rep.get(n, n), len(ids))) for n in names))
PY
}

# The best ARI of a peer over the thresholds: "ARI K threshold".
best_of() { sort -k1,1gr | head -1; }

printf '%-4s %3s %4s %3s %-10s %4s %7s %8s\n' set n T K run k ARI seconds
for s in "${sets[@]}"; do
  read -r name n positions groups share within seed clades <<<"$s"
  [ "$wanted" = "  " ] || [[ "$wanted" == *" $name "* ]] || continue
  python3 "$root/bench/gen_families.py" subfamilies "$n" "$positions" "$groups" "$share" "$within" \
    "$name.fasta" "$name.truth" "$seed" "$clades"
  for run in bg cloud9 bg-V0.1 shared; do
    prior="${run%%-*}"
    extra=""; [ "$run" = bg-V0.1 ] && extra="-V 0.1"
    draws=()
    start=$(date +%s.%N)
    for chain in 1 2; do
      "$build/vornak" -m ProteinSequence -f "$name.fasta" -k 0 -h JN2 -c integrated -p "$prior" \
        -i "$iterations" -d "$thin" -s "$chain" -q -l "$run" $extra >/dev/null || [ $? -eq 1 ]
      draws+=("$(ls ${name}_*_s${chain}_${run}*.draws)")
    done
    seconds=$(echo "$start $(date +%s.%N)" | awk '{printf "%.1f", $2 - $1}')
    "$build/vornak-summary" -o "${name}_$run" "${draws[@]}" >/dev/null
    read -r ari k < <(python3 "$root/bench/ari.py" "$name.truth" "${name}_$run.estimate")
    printf '%-4s %3s %4s %3s %-10s %4s %7.3f %8s\n' "$name" "$n" "$positions" "$groups" "$run" "$k" "$ari" "$seconds"
  done
  if [ $have_mmseqs = 1 ]; then
    start=$(date +%s.%N)
    best=$(for id in $(seq 0.30 0.05 0.95); do
      rm -rf mm_tmp mm_out*
      mmseqs "$mmseqs_mode" "$name.fasta" mm_out mm_tmp --min-seq-id "$id" -c 0.8 \
        --threads 1 -v 0 >/dev/null 2>&1 || continue
      labels_from_pairs "$name.fasta" mm_out_cluster.tsv >mm.estimate
      echo "$(python3 "$root/bench/ari.py" "$name.truth" mm.estimate) $id"
    done | best_of)
    seconds=$(echo "$start $(date +%s.%N)" | awk '{printf "%.1f", $2 - $1}')
    read -r ari k id <<<"$best"
    printf '%-4s %3s %4s %3s %-10s %4s %7.3f %8s\n' "$name" "$n" "$positions" "$groups" "mmseqs$id" "$k" "$ari" "$seconds"
  fi
  if [ $have_cdhit = 1 ]; then
    start=$(date +%s.%N)
    best=$(for id in $(seq 0.40 0.05 0.95); do
      word=5
      awk -v c="$id" 'BEGIN {exit !(c < 0.7)}' && word=4
      awk -v c="$id" 'BEGIN {exit !(c < 0.6)}' && word=3
      awk -v c="$id" 'BEGIN {exit !(c < 0.5)}' && word=2
      cd-hit -i "$name.fasta" -o cd_out -c "$id" -n "$word" -d 0 -T 1 -M 0 >/dev/null 2>&1 || continue
      awk '/^>Cluster/ {c = $2; next} {sub(/^>/, "", $3); sub(/\.\.\..*/, "", $3); print c "\t" $3}' \
        cd_out.clstr >cd_pairs
      labels_from_pairs "$name.fasta" cd_pairs >cd.estimate
      echo "$(python3 "$root/bench/ari.py" "$name.truth" cd.estimate) $id"
    done | best_of)
    seconds=$(echo "$start $(date +%s.%N)" | awk '{printf "%.1f", $2 - $1}')
    read -r ari k id <<<"$best"
    printf '%-4s %3s %4s %3s %-10s %4s %7.3f %8s\n' "$name" "$n" "$positions" "$groups" "cdhit$id" "$k" "$ari" "$seconds"
  fi
done
