# The R side of bench/real_bench.sh: writes R's labelled example data as a matrix and a label
# file, and runs the peers on a matrix with their defaults, writing their clustering (one
# label a line) and printing the CPU seconds of the fitting call alone.
# usage: Rscript peer_real.R export NAME DATA LABELS   (iris, faithful, banknote, diabetes)
#        Rscript peer_real.R mclust DATA ZFILE         (Mclust, its default models and G 1:9)
#        Rscript peer_real.R dpgibbs DATA SWEEPS ZFILE (bayesm rDPGibbs, default priors; last draw)
args <- commandArgs(trailingOnly = TRUE)
what <- args[1]
if (what == "export") {
  name <- args[2]
  frame <- switch(name,
    iris = list(x = datasets::iris[, 1:4], g = datasets::iris$Species),
    faithful = list(x = datasets::faithful, g = NULL),
    banknote = { e <- new.env(); utils::data("banknote", package = "mclust", envir = e)
                 list(x = e$banknote[, -1], g = e$banknote$Status) },
    diabetes = { e <- new.env(); utils::data("diabetes", package = "mclust", envir = e)
                 list(x = e$diabetes[, -1], g = e$diabetes$class) },
    stop("unknown data set ", name))
  utils::write.table(format(as.matrix(frame$x), digits = 17), args[3], quote = FALSE,
                     row.names = FALSE, col.names = FALSE)
  if (!is.null(frame$g)) writeLines(as.character(as.integer(factor(frame$g)) - 1L), args[4])
  quit(save = "no")
}
y <- as.matrix(utils::read.table(args[2]))
set.seed(2)
if (what == "mclust") {
  suppressPackageStartupMessages(library(mclust))
  used <- system.time(fit <- Mclust(y, verbose = FALSE))
  writeLines(as.character(fit$classification), args[3])
} else if (what == "dpgibbs") {
  suppressPackageStartupMessages(library(bayesm))
  sweeps <- as.integer(args[3])
  used <- system.time(out <- rDPGibbs(Prior = list(), Data = list(y = y),
                                      Mcmc = list(R = sweeps, keep = 1, nprint = 0)))
  writeLines(as.character(out$nmix$zdraw[sweeps, ]), args[4])
} else {
  stop("unknown task ", what)
}
cat(sprintf("%.6f\n", used[["user.self"]] + used[["sys.self"]]))
