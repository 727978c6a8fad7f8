#!/usr/bin/env bash
# Runs the same command lines with two vornak binaries and compares every file they write,
# byte for byte (the log without its clock lines), with their standard output and status.
# Use it before landing a change that must keep every output: build the old code somewhere,
# then
#   bash bench/compare_builds.sh OLD/vornak NEW/vornak [JOBS]
# It covers every heuristic x model x criterion x k in {0, 1, 3}, in the exact, reference
# (VORNAK_SCORING=reference) and fast (-x) scoring modes, an enumeration per model on six
# observations, the further options -s -d -q -i, heated chains (-T) and every start (-Z).
# MATCH=REGEX runs only the command lines it matches. Prints the differing runs and a count.
set -uo pipefail
old="$(realpath "$1")"
new="$(realpath "$2")"
jobs="${3:-$(nproc 2>/dev/null || echo 2)}"
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/data"
cp "$root"/examples/set123a.fasta "$root"/examples/votes.dat "$root"/examples/iris4.dat \
   "$root"/examples/sim11.dat "$work/data/"
head -n 12 "$root/examples/set123a.fasta" >"$work/data/tinyseq.fasta"
head -n 6 "$root/examples/votes.dat" >"$work/data/tinybin.dat"
head -n 6 "$root/examples/iris4.dat" >"$work/data/tinycat.dat"
head -n 6 "$root/examples/sim11.dat" >"$work/data/tinyreal.dat"

# model data tinydata
models=(
  "ProteinSequence set123a.fasta tinyseq.fasta"
  "HDBern votes.dat tinybin.dat"
  "HDGBern iris4.dat tinycat.dat"
  "kmeans2 sim11.dat tinyreal.dat"
  "mclust2 sim11.dat tinyreal.dat"
)
heuristics=(OA JN JN2 DA DA2 SR SR2 UX UX2 UXf UXf2 rBHS2)
cases="$work/cases"
: >"$cases"
for m in "${models[@]}"; do
  read -r model data tiny <<<"$m"
  for c in integrated classi mixture; do
    for mode in exact reference fast; do
      x=""; [ "$mode" = fast ] && x="-x"
      for h in "${heuristics[@]}"; do
        for k in 0 1 3; do
          echo "$mode|-m $model -f $data -k $k -h $h -i 15 -c $c -q $x" >>"$cases"
        done
      done
      for k in 0 2; do
        echo "$mode|-m $model -f $tiny -k $k -h EN -B 1 -c $c $x" >>"$cases"
      done
    done
  done
  # The specified options alone, and the further ones together.
  echo "exact|-m $model -f $data -k 0 -h UX2 -B 1 -c integrated -a 1.5 -l lab" >>"$cases"
  echo "exact|-m $model -f $data -k 2 -h OA -B 1 -c integrated" >>"$cases"
  echo "exact|-m $model -f $data -k 0 -h SR2 -i 40 -c integrated -s 7 -d 3" >>"$cases"
  echo "exact|-m $model -f $data -k 0 -h rBHS2 -i 25 -c integrated -s 9 -d 1 -q -x" >>"$cases"
  # Heated chains, whose copies share the model's data.
  echo "exact|-m $model -f $data -k 0 -h SR2 -i 15 -c integrated -q -T 3 -j 2" >>"$cases"
  echo "reference|-m $model -f $data -k 0 -h OA -i 10 -c integrated -q -T 3 -j 2" >>"$cases"
  # Every start, seeded.
  for z in tree boot average random; do
    echo "exact|-m $model -f $data -k 0 -h OA -i 10 -c integrated -q -s 5 -Z $z" >>"$cases"
  done
done
# MATCH=REGEX keeps only the runs whose command line matches (a quick check of one area).
if [ -n "${MATCH:-}" ]; then
  grep -E -- "$MATCH" "$cases" >"$cases.kept" || true
  mv "$cases.kept" "$cases"
fi

compare_case() {  # index line
  local i="$1" line="$2" mode args
  mode="${line%%|*}"
  args="${line#*|}"
  # shellcheck disable=SC2086
  (run_one "$old" "$work/old/$i" "$mode" $args)
  # shellcheck disable=SC2086
  (run_one "$new" "$work/new/$i" "$mode" $args)
  if diff -r "$work/old/$i" "$work/new/$i" >/dev/null; then
    echo "same"
  else
    echo "DIFF [$mode] $args"
    diff -r "$work/old/$i" "$work/new/$i" | head -n 6 | sed 's/^/    /'
  fi
  rm -rf "$work/old/$i" "$work/new/$i"
}
export -f compare_case
export old new work
# Data files are linked in per run and removed after it, so only outputs are compared.
run_one() {  # binary outdir mode args...
  local exe="$1" dir="$2" mode="$3"
  shift 3
  mkdir -p "$dir" && ln -s "$work"/data/* "$dir/" && cd "$dir" || return
  local status=0
  if [ "$mode" = reference ]; then
    VORNAK_SCORING=reference timeout 900 "$exe" "$@" >stdout 2>/dev/null || status=$?
  else
    timeout 900 "$exe" "$@" >stdout 2>/dev/null || status=$?
  fi
  echo "$status" >status
  for f in "$work"/data/*; do rm -f "$(basename "$f")"; done
  # Builds before the refused-run rule kept a refused run's log as STEM.log.
  for f in *.failed.log; do [ -e "$f" ] && mv "$f" "${f%.failed.log}.log"; done
  for f in *.log stdout; do
    [ -f "$f" ] && sed -i -E -e '/^(Started at|Finished in) /d' -e "s#$exe#vornak#g" "$f"
  done
  return 0
}
export -f run_one

results="$work/results"
nl -ba -w1 -s'|' "$cases" |
  xargs -P "$jobs" -d '\n' -I{} bash -c 'l="{}"; compare_case "${l%%|*}" "${l#*|}"' >"$results"
total=$(wc -l <"$results")
same=$(grep -c '^same$' "$results")
grep -v '^same$' "$results"
echo "$same of $total runs identical"
[ "$same" -eq "$total" ]
