# Sourced by the benches that run beside R's peers (real_bench.sh, fit_bench.sh); needs $root.

# Exports each named R data set (bench/peer_real.R) into NAME.dat and, when R knows its groups,
# NAME.labels, and prints "NAME NAME.dat LABELS" for each ("-" labels: groups unknown).
# banknote and diabetes come from mclust: skipped unless have_mclust is 1.
export_r_sets() {
  local r labels
  for r in "$@"; do
    if [ "$r" = banknote ] || [ "$r" = diabetes ]; then [ "${have_mclust:-0}" = 1 ] || continue; fi
    Rscript "$root/bench/peer_real.R" export "$r" "$r.dat" "$r.labels" >/dev/null 2>&1 ||
      { echo "$r: could not be exported from R, skipped" >&2; continue; }
    labels="$r.labels"
    [ -f "$labels" ] || labels="-"
    echo "$r $r.dat $labels"
  done
}

ari() {  # LABELS FOUND -> "ARI K" (ARI "-" without labels)
  if [ "$1" = "-" ]; then
    echo "- $(tr -s ' \n' '\n\n' <"$2" | grep -v '^$' | sort -u | wc -l)"
  else
    python3 "$root/bench/ari.py" "$1" "$2"
  fi
}
