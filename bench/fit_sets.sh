# Shared by bench/wide_bench.sh and bench/ordinal_bench.sh (sourced, not run): vornak-fit and
# the R peers on generated sets with known groups, one printed line per set and tool with the
# estimate's number of clusters, its adjusted Rand index against the known groups
# (bench/ari.py) and the wall seconds of the whole fit.
# The caller sets root, parses its options with parse_options and runs from a scratch folder.

# --quick (quick=1, minutes 0.5) and --minutes M (default 2); $1 is the script's name.
parse_options() {
  local script="$1"
  shift
  minutes=2 quick=0
  while [ $# -gt 0 ]; do
    case "$1" in
      --quick) quick=1 minutes=0.5 ;;
      --minutes) minutes="${2:?--minutes needs a number}"; shift ;;
      *) echo "usage: bench/$script [--quick] [--minutes M]" >&2; exit 2 ;;
    esac
    shift
  done
}

# The vornak-fit to measure: $FIT, else a Release build in build-bench/.
fit_binary() {
  if [ -n "${FIT:-}" ]; then
    fit="$FIT"
    return
  fi
  local build="$root/build-bench"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$build" -j2 --target vornak vornak-fit >/dev/null ||
    { echo "build failed" >&2; exit 1; }
  fit="$build/vornak-fit"
}

# Whether Rscript loads the R package $1; says so when it does not.
have_r_package() {
  if command -v Rscript >/dev/null && Rscript -e "library($1)" >/dev/null 2>&1; then
    return 0
  fi
  echo "skipped: the R package $1 is not installed (apt-get install r-cran-$1)"
  return 1
}

print_header() { printf '%-24s %-34s %3s %7s %8s\n' set tool k ARI seconds; }

# One line for tool $2 on set $1 from the clustering file $3, timed from $4.
print_result() {
  local ari k seconds
  seconds=$(echo "$(date +%s.%N) - $4" | bc)
  read -r ari k < <(python3 "$root/bench/ari.py" "$1.lab" "$3")
  printf '%-24s %-34s %3s %7s %8.1f\n' "$1" "$2" "$k" "$ari" "$seconds"
}

# vornak-fit on set $1 (files $1.dat, $1.lab) with the engine letters of $2 ("default": none).
run_fit() {
  local name="$1" setting="$2" start words=()
  [ "$setting" != default ] && read -r -a words <<<"$setting"
  start=$(date +%s.%N)
  if "$fit" "$name.dat" -o "fit_$name" --minutes "$minutes" "${words[@]}" >fit.txt 2>&1; then
    print_result "$name" "vornak-fit $setting" "fit_$name/summary.estimate" "$start"
  else
    printf '%-24s %-34s failed: %s\n' "$name" "vornak-fit $setting" "$(tail -1 fit.txt)"
  fi
  rm -rf "fit_$name"
}

# A peer: set $1, printed name $2, then the Rscript arguments (the clustering goes to peer.z).
run_peer() {
  local name="$1" tool="$2" start
  shift 2
  start=$(date +%s.%N)
  if Rscript "$@" >/dev/null 2>&1; then
    print_result "$name" "$tool" peer.z "$start"
  else
    printf '%-24s %-34s failed\n' "$name" "$tool"
  fi
}
