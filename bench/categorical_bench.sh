#!/usr/bin/env bash
# Compares the component priors of HDBern and HDGBern (flat, point5, point05, point005,
# levels) on generated latent-class data and on R's categorical example sets (mlbench's Zoo,
# Soybean and HouseVotes84, the last two with missing cells), two seeded chains each, beside
# Mclust and flexmix when R has them. Prints k, the ARI of each chain's best partition against
# the known classes, both best scores and the seconds per chain. Installs nothing.
#
# usage: bench/categorical_bench.sh [BUILD_DIR] [ITERATIONS]   (defaults: build, 300)
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
iterations=${2:-300}
vornak=$build/vornak
[ -x "$vornak" ] || { echo "no $vornak: build first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# name model file labels
sets=()
python3 "$here/gen_latent.py" 300 20 4 3 0 lc4.dat lc4.labels && sets+=("lc4 HDGBern")
python3 "$here/gen_latent.py" 300 30 3 5 0.1 lc3na.dat lc3na.labels && sets+=("lc3na HDGBern")
python3 "$here/gen_latent.py" 240 25 3 2 0 bin3.dat bin3.labels && sets+=("bin3 HDBern")
have_r=no
if command -v Rscript > /dev/null && Rscript -e 'quit(status = !requireNamespace("mlbench", quietly = TRUE))' 2> /dev/null; then
  Rscript --vanilla - <<'R'
suppressPackageStartupMessages(library(mlbench))
put <- function(frame, name, classes) {
  codes <- sapply(frame, function(column) as.integer(factor(column)) - 1L)
  write.table(codes, paste0(name, ".dat"), row.names = FALSE, col.names = FALSE, quote = FALSE)
  writeLines(as.character(as.integer(factor(classes))), paste0(name, ".labels"))
}
data(Zoo); put(Zoo[, names(Zoo) != "type"], "zoo", Zoo$type)
data(Soybean); put(Soybean[, -1], "soybean", Soybean$Class)
data(HouseVotes84); put(HouseVotes84[, -1], "votes84", HouseVotes84$Class)
R
  sets+=("zoo HDGBern" "soybean HDGBern" "votes84 HDBern")
  have_r=yes
else
  echo "skipped Zoo, Soybean, HouseVotes84: Rscript or mlbench (Debian r-cran-mlbench) missing"
fi

printf '%-8s %-8s %6s %-9s %7s %13s %23s %6s\n' data model "NA%" prior k ARI "best scores" "s/ch"
for entry in "${sets[@]}"; do
  set -- $entry
  name=$1 model=$2
  shape=$(awk '{ c += NF; for (i = 1; i <= NF; i++) m += $i == "NA" } END { printf "%.1f", 100 * m / c }' "$name.dat")
  for prior in flat point5 point05 point005 levels; do
    ks="" aris="" bests=""
    start=$(date +%s.%N)
    for seed in 1 2; do
      "$vornak" -m "$model" -f "$name.dat" -k 0 -h SR2 -i "$iterations" -c integrated \
        -p "$prior" -s "$seed" -q > /dev/null 2>&1
      stem=${name}_k0_SR2_p${prior}_a0_i${iterations}_s${seed}
      if [ ! -s "$stem.best" ]; then ks+="?/" aris+="?/" bests+="?/"; continue; fi
      read -r ari k < <(python3 "$here/ari.py" "$name.labels" <(tail -n 1 "$stem.best"))
      ks+="$k/" aris+="$ari/"
      bests+="$(sed -n 's/^best score \([^ ]*\).*/\1/p' "$stem.log" | awk '{ printf "%.1f", $1 }')/"
    done
    secs=$(echo "($(date +%s.%N) - $start) / 2" | bc -l)
    printf '%-8s %-8s %6s %-9s %7s %13s %23s %6.1f\n' "$name" "$model" "$shape" "$prior" \
      "${ks%/}" "${aris%/}" "${bests%/}" "$secs"
  done
  if [ "$have_r" = yes ] || command -v Rscript > /dev/null; then
    Rscript --vanilla - "$name" <<'R' 2> /dev/null || echo "$name: peers failed"
name <- commandArgs(TRUE)[1]
x <- as.matrix(read.table(paste0(name, ".dat"), na.strings = "NA"))
truth <- scan(paste0(name, ".labels"), quiet = TRUE)
ari <- function(found) {
  tab <- table(truth, found); pairs <- function(m) sum(m * (m - 1) / 2)
  expected <- pairs(rowSums(tab)) * pairs(colSums(tab)) / pairs(length(truth))
  top <- (pairs(rowSums(tab)) + pairs(colSums(tab))) / 2
  (pairs(tab) - expected) / (top - expected)
}
line <- function(peer, found, secs)
  cat(sprintf("%-8s %-8s %6s %-9s %7d %13.3f %23s %6.1f\n", name, peer, "", "", length(unique(found)),
              ari(found), "", secs))
if (anyNA(x)) {
  cat(sprintf("%-8s peers skipped: they take no missing cells\n", name))
} else {
  if (requireNamespace("mclust", quietly = TRUE)) {
    suppressPackageStartupMessages(library(mclust))  # Mclust calls its own functions unqualified
    t <- system.time(fit <- Mclust(x, verbose = FALSE))[["elapsed"]]
    if (!is.null(fit)) line("Mclust", fit$classification, t)
  } else cat(name, "Mclust skipped: r-cran-mclust missing\n")
  if (requireNamespace("flexmix", quietly = TRUE) && all(x %in% c(0, 1))) {
    set.seed(1)
    t <- system.time(fits <- flexmix::stepFlexmix(x ~ 1, k = 1:8, nrep = 3, verbose = FALSE,
                                                  model = flexmix::FLXMCmvbinary()))[["elapsed"]]
    best <- flexmix::getModel(fits, "BIC")
    line("flexmix", flexmix::clusters(best), t)
  }
}
R
  fi
done
