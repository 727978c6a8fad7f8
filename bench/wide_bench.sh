#!/usr/bin/env bash
# Wide real data (few rows, many columns) with known groups: vornak-fit with its defaults (and
# any settings named in SETTINGS) beside R's Mclust (its default models and G 1:9).
# Sets (bench/gen_wide.py, seed 11): n = 60..200 rows in 3..5 groups 2 sd apart, d = 50..1000
# columns, the groups told apart by every column or by a share of them.
# Printed per set and tool: clusters, adjusted Rand index, wall seconds (bench/fit_sets.sh).
#
# usage: bench/wide_bench.sh [--quick] [--minutes M]
#   --quick       the two smallest sets and a 0.5-minute limit, for trying the script out
#   --minutes M   vornak-fit's limit per set (default 2)
# FIT=/path/to/vornak-fit uses that binary instead of building build-bench/ (Release).
# SETTINGS="default|-m mclust2|-m diagonal" runs vornak-fit once per '|'-separated item
# ("default": the recommended settings; anything else: engine letters given after the data).
# PEERS="Mclust" (or "") chooses the peers; a peer that is not installed is skipped with a line.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/bench/fit_sets.sh"
parse_options wide_bench.sh "$@"
IFS='|' read -r -a settings <<<"${SETTINGS:-default}"
fit_binary
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
mclust=0
[[ " ${PEERS-Mclust} " == *" Mclust "* ]] && have_r_package mclust && mclust=1

# n d groups share-of-telling-columns
sets=("60 50 3 1" "60 1000 3 1" "120 200 4 1" "200 500 5 1" "100 200 3 0.2" "150 1000 3 0.1")
[ "$quick" = 1 ] && sets=("60 50 3 1" "100 200 3 0.2")
print_header
for s in "${sets[@]}"; do
  read -r n d groups share <<<"$s"
  name="n${n}_d${d}_g${groups}_s${share}"
  python3 "$root/bench/gen_wide.py" "$n" "$d" "$groups" "$share" "$name.dat" "$name.lab" 11
  for setting in "${settings[@]}"; do run_fit "$name" "$setting"; done
  [ "$mclust" = 1 ] && run_peer "$name" Mclust "$root/bench/peer_real.R" mclust "$name.dat" peer.z
done
