# The R peer of bench/ordinal_bench.sh: flexmix's mixture of independent Poisson columns
# (FLXMCmvpois, a count model that respects order) for k = 1..6, three starts each, the
# model of least BIC; writes its clustering (one label a line) and prints the CPU seconds.
# usage: Rscript peer_ordinal.R DATA ZFILE
args <- commandArgs(trailingOnly = TRUE)
suppressPackageStartupMessages(library(flexmix))
y <- as.matrix(utils::read.table(args[1]))
set.seed(2)
used <- system.time({
  fits <- stepFlexmix(y ~ 1, model = FLXMCmvpois(), k = 1:6, nrep = 3, verbose = FALSE)
  best <- getModel(fits, "BIC")
})
writeLines(as.character(clusters(best)), args[2])
cat(sprintf("%.6f\n", used[["user.self"]] + used[["sys.self"]]))
