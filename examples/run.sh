#!/usr/bin/env bash
# Builds vornak, vornak-summary and vornak-fit, runs two independent chains on the bundled votes
# data, summarises them, runs the other bundled examples, then lets vornak-fit answer for iris
# in one command (chains until they agree, a report page); results land in out/example/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Parallel jobs: CMAKE_BUILD_PARALLEL_LEVEL when set, else the number of processors.
jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$jobs" --target vornak vornak-summary vornak-fit
rm -rf "$root/out/example" && mkdir -p "$root/out/example" && cd "$root/out/example"
cp "$root"/examples/*.dat "$root"/examples/*.csv "$root"/examples/*.fasta "$root"/examples/*.species .
# A completed run exits with status 1; anything else is a failure.
vornak() {
  local status=0
  "$root/build/vornak" "$@" || status=$?
  [ "$status" -eq 1 ] || { echo "vornak failed with status $status" >&2; exit 1; }
}
# Two chains that differ only in their seed, a quiet log, one draw every 10 iterations.
for seed in 1 2; do
  vornak -m HDBern -f votes.dat -k 0 -h OA -B 4 -c integrated -s "$seed" -q -d 10
done
"$root/build/vornak-summary" -o votes_summary \
  votes_k0_OA_p_a0_B4_s1.draws votes_k0_OA_p_a0_B4_s2.draws
vornak -m mclust2 -f sim11.dat -k 3 -h OA -B 2 -c integrated -q
# Open number of clusters on iris; compare the .finalz with iris.species.
vornak -m mclust2 -f iris.dat -k 0 -h UX2 -B 2 -c integrated -q
vornak -m HDGBern -f iris4.dat -k 0 -h OA -B 3 -p point05 -c integrated -q
vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 2 -c integrated -q
# One command from a spreadsheet's table to a report: settings chosen from the data, chains
# until they agree, the clusters compared with the species the search never sees.
"$root/build/vornak-fit" iris.csv --classes Species -o iris_fit --minutes 2
echo
echo "Results in $PWD:"
ls
echo
echo "Point estimate of the votes partition: $PWD/votes_summary.estimate"
echo "Picture (open it in a browser):        $PWD/votes_summary.svg"
echo "vornak-fit's report on iris:           $PWD/iris_fit/report.html"
