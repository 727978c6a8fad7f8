#!/usr/bin/env bash
# Ordinal scores (small whole numbers, many levels) with known groups: vornak-fit with its
# defaults and the settings named in SETTINGS, beside R's Mclust (the scores as reals) and
# flexmix (independent Poisson columns, k 1..6 by BIC).
# Sets (bench/gen_ordinal.py, seed 3): groups of discretised normals on 5, 7 and 10 levels,
# and 683 rows of nine 1..10 scores in two classes.
# Printed per set and tool: clusters, adjusted Rand index, wall seconds (bench/fit_sets.sh).
#
# usage: bench/ordinal_bench.sh [--quick] [--minutes M]
#   --quick       the smallest set and a 0.5-minute limit, for trying the script out
#   --minutes M   vornak-fit's limit per set (default 2)
# FIT=/path/to/vornak-fit uses that binary instead of building build-bench/ (Release).
# SETTINGS (default "default|-m HDGBern -p levels|-m HDGBern -p flat|-m ordinal"): vornak-fit
# once per '|'-separated item ("default": the recommended settings; else engine letters).
# PEERS="Mclust flexmix" (or fewer) chooses the peers; one not installed is skipped with a line.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/fit_sets.sh"
parse_options ordinal_bench.sh "$@"
IFS='|' read -r -a settings <<<"${SETTINGS:-default|-m HDGBern -p levels|-m HDGBern -p flat|-m ordinal}"
fit_binary
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
peers="${PEERS-Mclust flexmix}" mclust=0 flexmix=0
[[ " $peers " == *" Mclust "* ]] && have_r_package mclust && mclust=1
[[ " $peers " == *" flexmix "* ]] && have_r_package flexmix && flexmix=1

# "groups N T K L", or "scores"
sets=("groups 200 10 3 5" "groups 300 8 4 7" "groups 150 12 3 10" "scores")
[ "$quick" = 1 ] && sets=("groups 200 10 3 5")
print_header
for s in "${sets[@]}"; do
  name="$(echo "$s" | tr ' ' '_')"
  read -r -a generator <<<"$s"
  python3 "$root/bench/gen_ordinal.py" "${generator[0]}" "${generator[@]:1}" "$name.dat" "$name.lab" 3
  for setting in "${settings[@]}"; do run_fit "$name" "$setting"; done
  [ "$mclust" = 1 ] && run_peer "$name" Mclust "$root/bench/peer_real.R" mclust "$name.dat" peer.z
  [ "$flexmix" = 1 ] && run_peer "$name" flexmix "$root/bench/peer_ordinal.R" "$name.dat" peer.z
done
