# Runs bayesm's rDPGibbs on a whitespace-separated matrix for a number of sweeps with the
# package's default priors, and prints the CPU seconds the sampler call took (R's start-up and
# reading the data excluded). The last draw's clustering goes to ZFILE, one label a line.
# usage: Rscript peer_rdpgibbs.R DATA SWEEPS ZFILE
args <- commandArgs(trailingOnly = TRUE)
suppressPackageStartupMessages(library(bayesm))
y <- as.matrix(read.table(args[1]))
sweeps <- as.integer(args[2])
set.seed(2)
used <- system.time(
  out <- rDPGibbs(Prior = list(), Data = list(y = y),
                  Mcmc = list(R = sweeps, keep = 1, nprint = 0))
)
seconds <- used[["user.self"]] + used[["sys.self"]]
writeLines(as.character(out$nmix$zdraw[sweeps, ]), args[3])
cat(sprintf("%.6f\n", seconds))
