#!/usr/bin/env bash
# Speed and scale against a peer sampler and at large n, on generated data with fixed seeds:
#   a. OA mclust2 k=0, 1000 x 5 mixture of four correlated Gaussians, vornak -q -x against
#      bayesm's rDPGibbs (through Rscript) with the same number of sweeps: ms per sweep, and the
#      adjusted Rand index of each final clustering against the generating labels;
#   b. OA HDBern k=0 T=50 at n = 1,000, 10,000, 50,000 with -q: ms per sweep, peak memory;
#   c. UX2 ProteinSequence, aligned length 200, 4 families, n = 2,000 and 20,000 with -q: ms
#      per iteration, peak memory;
#   d. -q changes no output file but the log.
# Repetitions alternate the tools; figures are medians. Nothing is installed: a missing Rscript
# or bayesm skips the peer. When -q does not quieten the log yet (it then grows by n^2 numbers
# per sweep), the workloads above n = 2,000 are skipped; a stem without "_x" means -x is not
# there yet and the runs go on without it.
#
# usage: bench/peers.sh [--quick] [--reps N]
#   --quick   small sizes and few sweeps, for trying the script out
#   --reps N  repetitions per measurement (default 3)
# VORNAK=/path/to/vornak uses that binary instead of building build-peers/ (Release).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
reps=3 quick=0
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --reps) reps="${2:?--reps needs a number}"; shift ;;
    *) echo "usage: bench/peers.sh [--quick] [--reps N]" >&2; exit 2 ;;
  esac
  shift
done

if [ "$quick" = 1 ]; then
  peer_sweeps=20 hd_sizes=(300 1000 3000) hd_B=1 ux_sizes=(200 600) ux_B=0
else
  peer_sweeps=1000 hd_sizes=(1000 10000 50000) hd_B=1 ux_sizes=(2000 20000) ux_B=1
fi
# A tree move at n = 20,000 may take minutes: one iteration there.
ux_big_B=0 ux_big_n=5000
# Without a working -q, runs above this n would write gigabytes of log.
loud_max_n=2000

if [ -n "${VORNAK:-}" ]; then
  vornak="$VORNAK"
else
  build="$root/build-peers"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORNAK_TESTS=OFF >/dev/null &&
    cmake --build "$build" -j2 --target vornak >/dev/null || { echo "build failed" >&2; exit 1; }
  vornak="$build/vornak"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
gen() { python3 "$root/bench/gen_data.py" "$@"; }

gnu_time=0
/usr/bin/time -f %M -o /dev/null true 2>/dev/null && gnu_time=1

# Runs a command in a fresh folder holding the given inputs; sets secs (CPU seconds, user +
# system, from getrusage: steadier than wall time on a machine shared with other jobs), rss_mb
# (peak resident memory, from GNU time when there is one) and out (its standard output). A
# vornak run must end with status 1, any other command with 0.
measure() {
  local dir="$1" inputs="$2"
  shift 2
  rm -rf "$dir" && mkdir "$dir" && cp $inputs "$dir/"
  local wrap=() usage status
  [ "$gnu_time" = 1 ] && wrap=(/usr/bin/time -f %M -o "$work/rss")
  usage=$(cd "$dir" && python3 -c '
import resource, subprocess, sys
with open(sys.argv[1], "w") as out, open(sys.argv[2], "w") as err:
    status = subprocess.call(sys.argv[3:], stdout=out, stderr=err)
u = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%.4f %d %d" % (u.ru_utime + u.ru_stime, u.ru_maxrss, status))
' "$work/out" "$work/err" "${wrap[@]}" "$@")
  read -r secs rss_kb status <<<"$usage"
  [ "$gnu_time" = 1 ] && rss_kb=$(tail -n 1 "$work/rss")
  rss_mb=$(awk -v k="$rss_kb" 'BEGIN {printf "%.0f", k / 1024}')
  out=$(cat "$work/out")
  local expected=0
  [ "$1" = "$vornak" ] && expected=1
  if [ "$status" != "$expected" ]; then
    echo "  run failed (status $status): $* in $dir: $(tail -n 2 "$work/out" "$work/err" | tr '\n' ' ')" >&2
    return 1
  fi
  return 0
}
median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN {print (v != "-" && v != "" && v + 0 <= t + 0) ? "met" : "MISSED"}'; }
row() { printf '%-31s %-21s %6s %10s %8s %6s  %s\n' "$@"; }

# Does -q keep the per-observation lines out of the log? A 60-row OA sweep writes 60 numbers
# per visited row without it.
gen binary 60 10 3 probe.dat
measure loud probe.dat "$vornak" -m HDBern -f probe.dat -k 0 -h OA -B 1 -c integrated
measure quiet probe.dat "$vornak" -m HDBern -f probe.dat -k 0 -h OA -B 1 -c integrated -q
long_lines() { awk 'NF >= 60 {c++} END {print c + 0}' "$1"/*.log; }
if [ "$(long_lines quiet)" = 0 ] && [ "$(long_lines loud)" -gt 0 ]; then
  quiet_ok=1
  echo "-q quietens the log"
else
  quiet_ok=0
  echo "-q not effective (the log still has $(long_lines quiet) per-observation lines):" \
    "workloads above n = $loud_max_n are skipped and the logs of the others are timed too"
fi
measure fastx probe.dat "$vornak" -m HDBern -f probe.dat -k 0 -h OA -B 1 -c integrated -x
if grep -q '^fileStem: .*_x' <<<"$out"; then x_ok=1 && echo "-x available"; else
  x_ok=0 && echo "-x not available (the stem has no _x): vornak runs in exact mode"; fi
q=""; [ "$quiet_ok" = 1 ] && q="-q"
echo "CPU time and peak memory by $([ "$gnu_time" = 1 ] && echo "GNU time" || echo "getrusage of the child")"
echo

# Median CPU seconds of a vornak run without iterations (reading, setup, writing files), to
# take away from the timed runs.
setup_secs() {
  local inputs="$1"
  shift
  local s=()
  for ((r = 0; r < reps; r++)); do
    measure setup "$inputs" "$vornak" "$@" -B -2 || return 1
    s+=("$secs")
  done
  printf '%s\n' "${s[@]}" | median
}

row workload tool n "ms/unit" "peak MB" ratio note
row -------- ---- - ------- ------- ----- ----

# a. Peer comparison.
gen gauss 1000 5 4 mix.dat mix.lab
have_r=0
if ! command -v Rscript >/dev/null; then
  echo "Rscript not found: the rDPGibbs peer is skipped (apt-get install r-base-core r-cran-bayesm)"
elif ! Rscript -e 'quit(status = !requireNamespace("bayesm", quietly = TRUE))' >/dev/null 2>&1; then
  echo "R package bayesm not found: the rDPGibbs peer is skipped (apt-get install r-cran-bayesm)"
else
  have_r=1
fi
timing_sweeps=$peer_sweeps
# Without -q, 1,000 logged sweeps are 2 GB each: time 100, and run 1,000 once for the index.
[ "$quiet_ok" = 0 ] && [ "$peer_sweeps" -gt 100 ] && timing_sweeps=100
B=$(awk -v s="$timing_sweeps" 'BEGIN {printf "%d", log(s) / log(10) + 0.5}')
margs=(-m mclust2 -f mix.dat -k 0 -h OA -c integrated $q)
[ "$x_ok" = 1 ] && margs+=(-x)
setup=$(setup_secs mix.dat "${margs[@]}")
vt=() vm=() rt=() rm_=()
for ((r = 0; r < reps; r++)); do
  measure vornak-mix mix.dat "$vornak" "${margs[@]}" -B "$B" && vt+=("$secs") && vm+=("$rss_mb")
  if [ "$have_r" = 1 ]; then
    measure peer-mix mix.dat Rscript "$root/bench/peer_rdpgibbs.R" mix.dat "$timing_sweeps" z.txt &&
      rt+=("$(tail -n 1 <<<"$out")") rm_+=("$rss_mb")
  fi
done
v_ms=$(printf '%s\n' "${vt[@]}" | median | awk -v s="$setup" -v n="$timing_sweeps" \
  '{printf "%.3f", ($1 - s) * 1000 / n}')
ari_note() {
  local dir="$1" z
  z=$(ls "$dir"/*.best 2>/dev/null | head -n 1)
  [ -n "$z" ] || z=$(ls "$dir"/*.finalz "$dir"/z.txt 2>/dev/null | head -n 1)
  python3 "$root/bench/ari.py" mix.lab "$z" |
    awk -v s="$peer_sweeps" '{printf "ARI %s with %d clusters after %d sweeps", $1, $2, s}'
}
if [ "$timing_sweeps" = "$peer_sweeps" ]; then
  v_ari=$(ari_note vornak-mix)
else
  free_gb=$(df -Pk . | awk 'NR == 2 {printf "%d", $4 / 1048576}')
  if [ "$free_gb" -ge 10 ]; then
    measure vornak-mix mix.dat "$vornak" "${margs[@]}" -B 3 && v_ari=$(ari_note vornak-mix)
    rm -f vornak-mix/*.log
  else
    v_ari="ARI skipped: a logged 1,000-sweep run needs 2 GB, $free_gb GB free"
  fi
fi
xnote=$([ "$x_ok" = 1 ] && echo "-x" || echo "no -x")
qnote=$([ "$quiet_ok" = 1 ] && echo "-q" || echo "full log")
row "a. OA mclust2 k=0 d=5 (/sweep)" "vornak $qnote $xnote" 1000 "$v_ms" \
  "$(printf '%s\n' "${vm[@]}" | median)" "" "$timing_sweeps sweeps; $v_ari"
if [ "$have_r" = 1 ] && [ ${#rt[@]} -gt 0 ]; then
  r_ms=$(printf '%s\n' "${rt[@]}" | median | awk -v n="$timing_sweeps" '{printf "%.3f", $1 * 1000 / n}')
  if [ "$timing_sweeps" = "$peer_sweeps" ]; then r_ari=$(ari_note peer-mix); else
    measure peer-mix mix.dat Rscript "$root/bench/peer_rdpgibbs.R" mix.dat "$peer_sweeps" z.txt
    r_ari=$(ari_note peer-mix)
  fi
  row "" "bayesm rDPGibbs" 1000 "$r_ms" "$(printf '%s\n' "${rm_[@]}" | median)" \
    "$(ratio "$v_ms" "$r_ms")" "vornak/peer, target <= 0.5: $(verdict "$(ratio "$v_ms" "$r_ms")" 0.5); $r_ari"
  echo "  models: vornak = DP(alpha 1) mixture, per-axis normal-gamma (no correlation), collapsed;" \
    "peer = DP mixture of full-covariance normals, normal-inverse-Wishart base, priors on alpha" \
    "and the base (bayesm defaults), data scaled; peer time = the rDPGibbs call in R"
fi

# b. and c. Scale.
scale() {
  local label="$1" B="$2" unit="$3" file="$4" model="$5" base_ms="" base_n n
  shift 5
  for n in "$@"; do
    if [ "$quiet_ok" = 0 ] && [ "$n" -gt "$loud_max_n" ]; then
      row "$label" "vornak" "$n" - - - "skipped: -q not effective, the log would grow by n^2 per sweep"
      continue
    fi
    local args=($model -f "$file" -c integrated $q)
    case "$file" in
      *.dat) gen binary "$n" 50 5 "$file" ;;
      *.fasta) gen protein "$n" 200 4 "$file" ;;
    esac
    local setup t=() m=()
    [ "$unit" = iter ] && [ "$n" -gt "$ux_big_n" ] && B=$ux_big_B
    setup=$(setup_secs "$file" "${args[@]}") || continue
    for ((r = 0; r < reps; r++)); do
      measure scale "$file" "$vornak" "${args[@]}" -B "$B" && t+=("$secs") && m+=("$rss_mb")
    done
    [ ${#t[@]} -gt 0 ] || continue
    local units ms note=""
    units=$(awk -v b="$B" 'BEGIN {printf "%d", 10 ^ b}')
    ms=$(printf '%s\n' "${t[@]}" | median | awk -v s="$setup" -v u="$units" \
      '{printf "%.3f", ($1 - s) * 1000 / u}')
    if [ -z "$base_ms" ]; then base_ms=$ms base_n=$n; else
      note="x$(ratio "$ms" "$base_ms") time for x$(ratio "$n" "$base_n") n"; fi
    ms_at[$n]=$ms mb_at[$n]=$(printf '%s\n' "${m[@]}" | median)
    row "$label (/$unit)" "vornak $qnote" "$n" "$ms" "$(printf '%s\n' "${m[@]}" | median)" "" \
      "$units ${unit}s, setup $(awk -v s="$setup" 'BEGIN {printf "%.2f", s}') s${note:+; $note}"
  done
}
# Reports a target on the figures of sizes a and b: time growth, or peak MB of b.
target() {
  local what="$1" a="$2" b="$3" limit="$4" v
  if [ "$what" = time ]; then
    [ -n "${ms_at[$a]:-}" ] && [ -n "${ms_at[$b]:-}" ] && v=$(ratio "${ms_at[$b]}" "${ms_at[$a]}")
    echo "  target: time x$limit at most from n=$a to $b: ${v:+x$v, }$([ -n "${v:-}" ] && verdict "$v" "$limit" || echo "not measured")"
  else
    v=${mb_at[$b]:-}
    echo "  target: n=$b under $limit MB: ${v:+$v MB, }$([ -n "$v" ] && verdict "$v" "$limit" || echo "not measured")"
  fi
}
declare -A ms_at mb_at
scale "b. OA HDBern k=0 T=50" "$hd_B" sweep hd.dat "-m HDBern -k 0 -h OA" "${hd_sizes[@]}"
target time "${hd_sizes[0]}" "${hd_sizes[1]}" 12
target memory "" "${hd_sizes[2]}" 2048
ms_at=() mb_at=()
scale "c. UX2 Protein L=200" "$ux_B" iter ux.fasta "-m ProteinSequence -k 0 -h UX2" \
  "${ux_sizes[@]}"
target memory "" "${ux_sizes[1]}" 1024

# d. -q leaves every file but the log as it is.
echo
gen gauss 200 5 4 small.dat
gen protein 60 200 4 small.fasta
same=yes
for w in "-m mclust2 -f small.dat -k 0 -h OA -B 1" "-m ProteinSequence -f small.fasta -k 0 -h UX2 -B 1"; do
  measure plain "small.dat small.fasta" "$vornak" $w -c integrated
  measure quietrun "small.dat small.fasta" "$vornak" $w -c integrated -q
  files=$(cd plain && ls | grep -v -e '\.log$' -e '^small\.')
  [ "$files" = "$(cd quietrun && ls | grep -v -e '\.log$' -e '^small\.')" ] || same="NO (file names differ)"
  for f in $files; do cmp -s "plain/$f" "quietrun/$f" || same="NO ($f differs with -q)"; done
done
echo "d. -q changes no file but the log (OA mclust2 n=200, UX2 protein n=60): $same" \
  "$([ "$quiet_ok" = 0 ] && echo "(-q not effective yet, so trivially)")"
[ "${same%% *}" = yes ]
