#!/usr/bin/env bash
# Builds vornak and clusters the bundled example data; results land in out/example/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Parallel jobs: CMAKE_BUILD_PARALLEL_LEVEL when set, else the number of processors.
jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$jobs" --target vornak
rm -rf "$root/out/example" && mkdir -p "$root/out/example" && cd "$root/out/example"
cp "$root"/examples/*.dat "$root"/examples/*.fasta "$root"/examples/*.species .
# A completed run exits with status 1; anything else is a failure.
vornak() {
  local status=0
  "$root/build/vornak" "$@" || status=$?
  [ "$status" -eq 1 ] || { echo "vornak failed with status $status" >&2; exit 1; }
}
vornak -m HDBern -f votes.dat -k 0 -h OA -B 2 -c integrated -l demo
vornak -m mclust2 -f sim11.dat -k 3 -h OA -B 2 -c integrated
# Open number of clusters on iris; compare the .finalz with iris.species.
vornak -m mclust2 -f iris.dat -k 0 -h UX2 -B 2 -c integrated
vornak -m HDGBern -f iris4.dat -k 0 -h OA -B 3 -p point05 -c integrated
vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 2 -c integrated
echo
echo "Results in $PWD:"
ls
