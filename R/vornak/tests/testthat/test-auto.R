# vornak(x) with data only: the kind of x chooses the settings, the chains run until they
# agree or the time is up, and the fit describes its clusters.

rscript <- function() file.path(R.home("bin"), "Rscript")

# Runs an R script in a new Rscript process under a time limit; gives its standard output.
run_script <- function(lines, seconds = 120) {
  skip_if(!nzchar(Sys.which("timeout")), "no timeout command to bound a new R session")
  script <- tempfile(fileext = ".R")
  writeLines(lines, script)
  out <- tempfile()
  status <- system2("timeout", c(seconds, rscript(), "--vanilla", script), stdout = out,
                    stderr = paste0(out, ".err"))
  list(status = status, stdout = readLines(out, warn = FALSE),
       stderr = readLines(paste0(out, ".err"), warn = FALSE))
}

# The settings the native recommender gives x with the data alone (the arguments' defaults).
recommended_for <- function(x, chains = 4, ...) {
  dir <- tempfile()
  dir.create(dir)
  file <- vornak:::write_data(x, dir)
  a <- utils::modifyList(list(model = NULL, k = 0, heuristic = "OA", criterion = "integrated",
                              quiet = TRUE), list(...))
  vornak:::choose_settings(file.path(dir, file), vornak:::given_words(a, FALSE, NULL), TRUE,
                           chains)
}

test_that("the kind of the data chooses the recommended settings", {
  binary <- matrix(c(1, 1, 0, 0, 1, NA, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0), 6)
  seqs <- c(a = "ACDEFG", b = "ACDEFG", c = "ACDEFH", d = "WWYYVV", e = "WWYYVA", f = "WWYYVV")
  fasta <- tempfile(fileext = ".fasta")
  writeLines(c("", "  ", paste0(">", names(seqs), " family\n", substr(seqs, 1, 3), "\n",
                                substr(seqs, 4, 6))), fasta)
  matrix_file <- tempfile(fileext = ".dat")
  write.table(binary * 3, matrix_file, row.names = FALSE, col.names = FALSE)
  many <- matrix(rnorm(40), 20)
  cases <- list(
    list(x = binary, kind = "binary", options = "-m HDBern -p flat -h OA -T 4"),
    list(x = binary * 3, kind = "levels", options = "-m HDGBern -p levels -h OA"),
    list(x = matrix_file, kind = "levels", options = "-m HDGBern -p levels -h OA"),
    list(x = binary == 1, kind = "binary", options = "-m HDBern -p flat -h OA -T 4"),
    list(x = binary * 20, kind = "real", options = "-m mclust2 -p 1 -h OA -x"),
    list(x = many, kind = "real", options = "-m mvn -p 1 -h OA -x"),
    list(x = as.data.frame(many), kind = "real", options = "-m mvn -p 1 -h OA -x"),
    # A missing cell, a column of one value, or fewer than five rows per (columns + 1): the
    # diagonal model; 15 rows of 2 columns are just enough for the full one.
    list(x = replace(many, 3, NA), kind = "real", options = "-m mclust2 -p 1 -h OA -x"),
    list(x = cbind(many, 7), kind = "real", options = "-m mclust2 -p 1 -h OA -x"),
    list(x = many[1:14, ], kind = "real", options = "-m mclust2 -p 1 -h OA -x"),
    list(x = many[1:15, ], kind = "real", options = "-m mvn -p 1 -h OA -x"),
    list(x = seqs, kind = "sequences", options = "-m ProteinSequence -p shared -h OA -Z tree"),
    list(x = fasta, kind = "sequences", options = "-m ProteinSequence -p shared -h OA -Z tree"))
  for (case in cases) {
    choice <- recommended_for(case$x)
    expect_identical(choice$kind, case$kind, info = case$options)
    text <- paste(choice$words, collapse = " ")
    expect_true(startsWith(text, paste(case$options, "-c integrated -k 0 -q")), info = text)
  }
  expect_identical(vornak:::data_of(fasta), seqs)
  expect_null(vornak:::data_of(list(1, 2)))
  expect_error(vornak(list(1, 2), minutes = 0.05), "'x' must be a numeric matrix")
})

test_that("R and vornak-fit recommend the same model for each small file of the shared table", {
  table <- utils::read.delim("kinds.tsv", header = FALSE, comment.char = "#", quote = "",
                             col.names = c("name", "model", "text"), colClasses = "character")
  expect_gte(nrow(table), 8L)
  for (i in seq_len(nrow(table))) {
    text <- gsub("|", "\n", table$text[i], fixed = TRUE)
    bytes <- charToRaw(text)
    if (startsWith(text, "<BOM>")) bytes <- c(as.raw(c(0xef, 0xbb, 0xbf)), charToRaw(substring(text, 6)))
    file <- tempfile(fileext = ".dat")
    writeBin(bytes, file)
    choice <- recommended_for(file)
    expect_identical(choice$words[2], table$model[i], info = table$name[i])
  }
  # Cells written 1.0 run a real model, which reads them (the models of whole numbers do not).
  file <- tempfile(fileext = ".dat")
  writeLines(c("1.0 0", "0 1.0", "1.0 1.0", "0 0"), file)
  fit <- quiet_fit(file, minutes = 0.02, chains = 2)
  expect_identical(fit$settings$model, "mclust2")
  expect_gt(nrow(fit$draws), 0L)
})

test_that("the recommender's rules hold for R's arguments", {
  binary <- matrix(c(1, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 1), 6)
  words <- function(...) recommended_for(binary, ...)$words
  # Heated chains share the processors: -j from the chains, unless threads is given.
  cores <- parallel::detectCores()
  expect_identical(vornak:::word_value(words(chains = 2), "-j"),
                   as.character(max(1L, cores %/% 2L)))
  expect_identical(vornak:::word_value(words(chains = 2, threads = 3), "-j"), "3")
  # Column selection keeps the recommended heated chains, which the program combines with it.
  expect_identical(vornak:::word_value(words(columns = 0.5), "-T"), "4")
  fit <- quiet_fit(binary, columns = 0.5, minutes = 0.02, chains = 2)
  expect_gt(nrow(fit$draws), 0L)
  # A changed model takes its own prior; a model that cannot read the data is refused.
  expect_identical(vornak:::word_value(words(model = "mclust2"), "-p"), "1")
  expect_error(vornak(binary, "ProteinSequence", iterations = 3),
               "-m ProteinSequence reads a FASTA alignment, but the data are a matrix of 0 and 1")
  # fast = FALSE takes the recommended -x out.
  expect_false("-x" %in% recommended_for(matrix(rnorm(40), 20), fast = FALSE)$words)
})

test_that("data alone run every kind with its settings until agreement or the limit", {
  seqs <- c(a = "ACDEFG", b = "ACDEFG", c = "ACDEFH", d = "WWYYVV", e = "WWYYVA", f = "WWYYVV")
  binary <- matrix(c(1, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 1), 6)
  sixteen <- cbind(c(seq(0, 0.7, 0.1), seq(5, 5.7, 0.1)), c(seq(0.3, -0.4, -0.1), seq(5.2, 4.5, -0.1)))
  cases <- list(
    list(x = sixteen, stem = "_k0_OA_p1_a0_t2_s5_e10_Zboot_x.draws", model = "mvn"),
    list(x = two_groups, stem = "_k0_OA_p1_a0_t2_s5_e10_Zboot_x.draws", model = "mclust2"),
    list(x = binary, stem = "_k0_OA_pflat_a0_t2_s5_e10_Zboot_T4.draws", model = "HDBern"),
    list(x = binary * 3, stem = "_k0_OA_plevels_a0_t2_s5_e10_Zboot.draws", model = "HDGBern"),
    list(x = seqs, stem = "_k0_OA_pshared_a0_t2_s5_e10_Zboot.draws", model = "ProteinSequence"))
  for (case in cases) {
    fit <- quiet_fit(case$x, minutes = 0.03, chains = 2, seed = 4)
    expect_identical(fit$settings$model, case$model, info = case$model)
    expect_true(endsWith(fit$files[2, "draws"], case$stem), info = fit$files[2, "draws"])
    expect_true(fit$stop$by %in% c("agreement", "limit"), info = case$model)
    expect_true(all(fit$status %in% c("stopped", "completed")), info = case$model)
    expect_gt(nrow(fit$draws), 0L)
    expect_identical(fit$choice$model, case$model)
  }
})

test_that("the chains stop once they agree, or at the limit when they cannot", {
  # An ESS no run of seconds reaches: the limit ends it, after its time.
  fit <- quiet_fit(two_groups, minutes = 0.03, chains = 2, ess = 1e9)
  expect_identical(fit$stop$by, "limit")
  expect_gte(fit$stop$seconds, 0.03 * 60)
  expect_identical(unname(fit$status), c("stopped", "stopped"))
  expect_output(print(fit), "stopped at the time limit")
  # Agreement is whatever the chains' files say once they have stopped.
  fit <- quiet_fit(two_groups, minutes = 0.5, chains = 2, ess = 10)
  again <- vornak:::agreement(fit$files[, "draws"])
  expect_identical(fit$stop$agreement, again)
  if (fit$stop$by == "agreement") {
    expect_true(vornak:::agreed(again, list(rhat = 1.01, ess = 10)))
    expect_output(print(fit), "stopped once the chains agreed")
  }
  # A chain's draws stay whole lines, numbered by their iterations.
  expect_true(all(diff(fit$draw_info$iteration[fit$draw_info$chain == 1]) == 10))
  expect_error(vornak(two_groups, minutes = -1), "'minutes' must be a positive number")
  expect_error(vornak(two_groups, minutes = 1, ess = 0), "'ess' must be a positive number")
  # A model given keeps the whole minutes of the program's -t.
  expect_error(vornak(two_groups, "mclust2", minutes = 0.5), "'minutes' must be a single whole")
})

test_that("an interrupt stops chains run until agreement and keeps their files", {
  skip_on_os("windows")
  # Never agreeing, the run would last a minute without the interrupt.
  condition <- interrupt_after(2, function() quiet_fit(iris[, 1:4], minutes = 1, chains = 2,
                                                       ess = 1e9))
  expect_s3_class(condition, "vornak_interrupt")
  expect_identical(unname(condition$fit$status), c("interrupted", "interrupted"))
  expect_identical(condition$fit$stop$by, "interrupt")
  for (log in condition$fit$files[, "log"])
    expect_match(tail(readLines(log), 1), "^Run interrupted by signal 2 after iteration")
})

test_that("the agreement of draws files is the native one's", {
  dir <- tempfile()
  dir.create(dir)
  a <- file.path(dir, c("a.draws", "b.draws"))
  writeLines(sprintf("%d %g 2 0 0 1", 1:8, c(-5, -4, -5, -4, -5, -4, -5, -4)), a[1])
  writeLines(sprintf("%d %g 2 0 0 1", 1:8, c(-4, -5, -4, -5, -4, -5, -4, -5)), a[2])
  got <- vornak:::agreement(a, 0)
  expect_identical(unname(got[c("chains", "kept", "iterations", "best_score")]), c(2, 8, 8, -4))
  # k is the same constant in both: it agrees, with every draw counted.
  expect_identical(unname(got[c("rhat_k", "ess_k")]), c(1, 16))
  # Two chains of 8 draws: too few for vornak-fit's rule, whatever R-hat says.
  expect_identical(unname(got[c("conditions", "modes")]), c(0, 1))
  expect_identical(attr(got, "verdict"), "")
  # A line still being written is left for later; a line that is not a draw is an error.
  cat("9 -4", file = a[1], append = TRUE)
  expect_identical(vornak:::agreement(a, 0)[["kept"]], 8)
  writeLines("x y z", a[2])
  expect_error(vornak:::agreement(a, 0), "Malformed draws line")
})

test_that("the fit describes its clusters and each observation's membership", {
  fit <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 400, thin = 2, chains = 2)
  s <- summary(fit)
  expect_identical(fit$estimate, s$estimate)
  expect_equal(fit$membership, 1 - s$uncertainty)
  groups <- list(1:3, 4:6)
  expect_identical(fit$clusters$table$size, c(3L, 3L))
  expect_equal(fit$clusters$table$membership,
               vapply(groups, function(g) mean(fit$membership[g]), 1))
  expect_equal(unname(fit$clusters$profile),
               rbind(colMeans(two_groups[1:3, ]), colMeans(two_groups[4:6, ])))
  # Shares of 1s, level frequencies and consensus, worked by hand.
  estimate <- c(1L, 1L, 2L, 2L)
  binary <- matrix(c(1, 1, 0, NA, 0, 1, 1, 1), 4)
  expect_identical(vornak:::describe_clusters(binary, "binary", estimate, rep(1, 4))$profile,
                   matrix(c(1, 0, 0.5, 1), 2, dimnames = list(c("1", "2"), NULL)))
  levels <- vornak:::describe_clusters(matrix(c(0, 2, 2, 2), 4), "levels", estimate,
                                       c(1, 0.5, 1, 1))
  expect_identical(unname(levels$profile[["1"]][, 1]), c(0.5, 0, 0.5))
  expect_identical(unname(levels$profile[["2"]][, 1]), c(0, 0, 1))
  expect_identical(levels$table$membership, c(0.75, 1))
  seqs <- c("ACD", "ACE", "WCE", "WYE")
  expect_identical(unname(vornak:::describe_clusters(seqs, "sequences", c(1L, 1L, 1L, 2L),
                                                     rep(1, 4))$profile), c("ACE", "WYE"))
})

test_that("plot(fit, 'clusters') draws the data by cluster for every kind", {
  pdf(NULL)
  on.exit(dev.off(), add = TRUE)
  real <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 200, thin = 2, chains = 2)
  shown <- plot(real, "clusters")
  expect_identical(shown$estimate, real$estimate)
  expect_identical(unname(shown$points), unname(two_groups))
  wide <- quiet_fit(iris[1:30, 1:4], "mclust2", k = 0, iterations = 50)
  shown <- plot(wide, "clusters")
  # Spreads within tenfold (0.11 to 0.38): the covariance's components, as in the report.
  expect_false(shown$standardised)
  expect_equal(unname(shown$points), unname(prcomp(iris[1:30, 1:4])$x[, 1:2]))
  units <- cbind(iris[1:30, 1:3], grams = iris[1:30, 4] * 1000)
  shown <- plot(quiet_fit(units, "mclust2", k = 0, iterations = 50), "clusters")
  expect_true(shown$standardised)
  expect_equal(unname(shown$points), unname(prcomp(units, scale. = TRUE)$x[, 1:2]))
  expect_true(vornak:::spreads_differ(cbind(c(0, 1, 2), c(0, 11, 22))))
  expect_false(vornak:::spreads_differ(cbind(c(0, 1, 2), c(0, 9, 18), 5)))
  binary <- matrix(c(1, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 0, 1), 6)
  heat <- quiet_fit(binary, "HDBern", iterations = 200, thin = 2, chains = 2)
  shown <- plot(heat, "clusters")
  expect_identical(shown$rows, order(heat$estimate))
  seqs <- c(a = "ACDEFG", b = "ACDEFG", c = "ACDEFH", d = "WWYYVV", e = "WWYYVA", f = "WWYYVV")
  aligned <- quiet_fit(seqs, "ProteinSequence", iterations = 200, thin = 2, chains = 2)
  shown <- plot(aligned, "clusters")
  # Each cluster's rows, then its consensus.
  expect_identical(shown$labels[length(shown$labels)], paste("consensus", max(aligned$estimate)))
  expect_identical(sum(startsWith(shown$labels, "consensus")), max(aligned$estimate))
  expect_length(shown$labels, 6L + max(aligned$estimate))
  expect_identical(vornak:::residue_class(c("a", "K", "-", "h", "X", "*")), c(1L, 2L, 9L, 8L, 1L, 9L))
})

test_that("fast = TRUE is the program's -x", {
  exact <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 30, thin = 3)
  fast <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 30, thin = 3, fast = TRUE)
  expect_identical(basename(fast$files[1, "draws"]), "data_k0_OA_p1_a0_i30_s2_x.draws")
  expect_identical(basename(exact$files[1, "draws"]), "data_k0_OA_p1_a0_i30_s2.draws")
  expect_equal(fast$score[[1]][1], exact$score[[1]][1], tolerance = 1e-6)
  expect_error(vornak(two_groups, "mclust2", iterations = 3, fast = "yes"),
               "'fast' must be TRUE or FALSE")
})

test_that("a fit read back in a new session gives its summary, plots and coda draws", {
  skip_on_os("windows")
  fit <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 400, thin = 2, chains = 2)
  s <- summary(fit)
  saved <- tempfile(fileext = ".rds")
  saveRDS(fit, saved)
  unlink(fit$dir, recursive = TRUE)
  expect_false(dir.exists(fit$dir))
  result <- tempfile(fileext = ".rds")
  run <- run_script(c(
    "suppressPackageStartupMessages(library(vornak))",
    sprintf("fit <- readRDS('%s')", saved),
    "s <- summary(fit)",
    "pdf(NULL); plot(fit); plot(fit, 'clusters'); invisible(dev.off())",
    "chains <- if (requireNamespace('coda', quietly = TRUE)) as.mcmc.list(fit)",
    sprintf(paste0("saveRDS(list(posterior_k = s$posterior_k, estimate = s$estimate, ",
                   "ess = s$ess, chains = chains, folder = dirname(s$files[['table']])), '%s')"),
            result)))
  expect_identical(run$status, 0L, info = paste(run$stderr, collapse = "\n"))
  back <- readRDS(result)
  expect_identical(back$posterior_k, s$posterior_k)
  expect_identical(back$estimate, s$estimate)
  expect_equal(back$ess, s$ess)
  expect_false(identical(back$folder, fit$dir))
  if (requireNamespace("coda", quietly = TRUE))
    expect_identical(back$chains, as.mcmc.list(fit))
})

test_that("a run in a script prints nothing on standard output, progress only when asked", {
  skip_on_os("windows")
  quiet <- run_script(c("library(vornak)",
                        "fit <- vornak(matrix(c(0, 0.1, 0.2, 5, 5.1, 5.2), 6, 1), minutes = 0.02,",
                        "              chains = 2)"))
  expect_identical(quiet$status, 0L, info = paste(quiet$stderr, collapse = "\n"))
  expect_identical(quiet$stdout, character(0))
  expect_false(any(grepl("vornak: [0-9]+ s", quiet$stderr)))
  shown <- run_script(c("library(vornak)",
                        "fit <- vornak(matrix(c(0, 0.1, 0.2, 5, 5.1, 5.2), 6, 1), minutes = 0.02,",
                        "              chains = 2, progress = TRUE)"))
  expect_identical(shown$stdout, character(0))
  expect_true(any(grepl("vornak: [0-9]+ s, [0-9]+ iterations", shown$stderr)))
})

test_that("chains run on the workers of a parallel cluster", {
  skip_on_os("windows")
  cl <- tryCatch(parallel::makePSOCKcluster(2), error = function(e) NULL)
  skip_if(is.null(cl), "a local PSOCK cluster cannot start")
  on.exit(parallel::stopCluster(cl), add = TRUE)
  ready <- tryCatch(all(unlist(parallel::clusterEvalQ(cl, requireNamespace("vornak",
                                                                           quietly = TRUE)))),
                    error = function(e) FALSE)
  skip_if_not(ready, "the workers cannot load the package")
  forked <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 40, thin = 4, chains = 3)
  remote <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 40, thin = 4, chains = 3,
                      cl = cl)
  # Same seeds, same words: the same files, now in this session's folder.
  for (kind in c("draws", "save", "finalz", "best"))
    for (i in 1:3)
      expect_identical(bytes(remote$files[i, kind]), bytes(forked$files[i, kind]),
                       info = paste(kind, i))
  expect_identical(remote$best, forked$best)
  # Until agreement: rounds, each chain going on from where it stopped.
  rounds <- quiet_fit(two_groups, minutes = 0.03, chains = 2, cl = cl)
  expect_true(rounds$stop$by %in% c("agreement", "limit"))
  for (i in 1:2) {
    iterations <- rounds$draw_info$iteration[rounds$draw_info$chain == i]
    expect_true(all(diff(iterations) == 10), info = i)
  }
  expect_identical(nrow(rounds$final), 2L)
  expect_error(vornak(two_groups, "mclust2", iterations = 3, cl = "localhost"),
               "'cl' must be a cluster")
})

test_that("coda takes the draws of chains that kept different numbers of them", {
  skip_if_not_installed("coda")
  # Chain 1 kept 6 draws, chain 2 kept 4, every 10 iterations: the common draws are the
  # first 4 of each, iterations 10 to 40; half of them are the burn-in.
  fit <- structure(list(draw_info = data.frame(
    chain = c(rep(1L, 6), rep(2L, 4)), iteration = c(seq(10, 60, 10), seq(10, 40, 10)),
    score = c(-6, -5, -4, -3, -2, -1, -16, -15, -14, -13), k = c(1L, 2L, 3L, 4L, 5L, 6L,
                                                                 2L, 2L, 3L, 3L))),
    class = "vornak")
  chains <- as.mcmc.list(fit)
  expect_identical(coda::nchain(chains), 2L)
  expect_identical(unname(stats::start(chains)), 30)
  expect_identical(unname(stats::end(chains)), 40)
  expect_equal(unname(as.matrix(chains[[1]])[, "score"]), c(-4, -3))
  expect_equal(unname(as.matrix(chains[[2]])[, "k"]), c(3, 3))
  expect_identical(nrow(as.matrix(as.mcmc.list(fit, burn = 0)[[1]])), 4L)
  # An automatic fit, whose chains are stopped at agreement or the limit, goes to coda whole.
  auto <- quiet_fit(two_groups, minutes = 0.03, chains = 3)
  chains <- as.mcmc.list(auto)
  kept <- min(table(auto$draw_info$chain))
  expect_identical(coda::niter(chains), as.integer(kept - floor(kept / 2)))
  expect_length(coda::gelman.diag(chains, autoburnin = FALSE)$psrf[, 1], 2L)
})
