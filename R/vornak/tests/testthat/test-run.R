test_that("a run writes only into its folder and returns the fit", {
  before <- list.files(getwd(), all.files = TRUE)
  fit <- quiet_fit(two_groups, "mclust2", k = 2, heuristic = "OA", B = 1)
  expect_identical(list.files(getwd(), all.files = TRUE), before)
  expect_s3_class(fit, "vornak")
  expect_true(startsWith(fit$dir, normalizePath(tempdir())))
  expect_true(all(file.exists(fit$files[1, c("log", "save", "finalz")])))
  # The two groups are found, and the best partition scores the trace's maximum.
  expect_identical(fit$best, c(1L, 1L, 1L, 2L, 2L, 2L))
  expect_identical(fit$final[1, ], fit$best)
  expect_identical(fit$best_score, max(fit$score[[1]]))
  expect_output(print(fit), "best score .*2 clusters; sizes 3 3")
})

test_that("the full-covariance model finds the two groups", {
  fit <- quiet_fit(two_groups, "mvn", k = 0, heuristic = "OA", B = 2, seed = 3)
  expect_identical(fit$best, c(1L, 1L, 1L, 2L, 2L, 2L))
  expect_true(any(grepl("normal-inverse-Wishart", readLines(fit$files[1, "log"]))))
})

test_that("the OA score trace has the start, then one point per visited observation", {
  # With k open every observation is visited: 10 sweeps over 6.
  fit <- quiet_fit(two_groups, "mclust2", k = 0, B = 1)
  expect_length(fit$score[[1]], 1 + 10 * 6)
  save <- readLines(fit$files[1, "save"])
  expect_identical(fit$score[[1]][1], as.numeric(strsplit(trimws(save[2]), " ")[[1]][1]))
})

test_that("the program's messages come through message()", {
  expect_message(vornak(two_groups, "mclust2", k = 2, B = 1), "fileStem: data_k2_OA_p1_a0")
  expect_silent(suppressMessages(vornak(two_groups, "mclust2", k = 2, B = 1)))
  # Standard error too; the failure line itself only once, in the error.
  dir <- run_dir()
  quiet_fit(two_groups, "mclust2", k = 2, B = 1, dir = dir)
  said <- character(0)
  error <- tryCatch(withCallingHandlers(vornak(two_groups, "mclust2", k = 2, B = 1, dir = dir),
                                        message = function(m) {
                                          said <<- c(said, conditionMessage(m))
                                          invokeRestart("muffleMessage")
                                        }), error = conditionMessage)
  expect_identical(error, "File already exists: data_k2_OA_p1_a0_B1_s2.log")
  expect_identical(said, c("fileStem: data_k2_OA_p1_a0_B1_s2\n",
                           paste("data_k2_OA_p1_a0_B1_s2.log blocks this run: it is left from an",
                                 "earlier run with the same file names and may be removed\n")))
})

test_that("equal settings and seeds give equal files", {
  a <- quiet_fit(two_groups, "mclust2", k = 0, B = 2, seed = 7)
  b <- quiet_fit(two_groups, "mclust2", k = 0, B = 2, seed = 7)
  for (kind in c("save", "finalz")) expect_identical(bytes(a$files[1, kind]), bytes(b$files[1, kind]))
})

test_that("failures of the run are R errors with the program's line", {
  expect_error(quiet_fit(two_groups, "mclust2", k = 2, B = 1, prior = "-x"),
               "prior|mclust2", class = "error")
  expect_error(quiet_fit(two_groups, "HDBern", k = 2, B = 1),
               "-m HDBern reads a matrix of 0 and 1, but the data are a real matrix: HDBern",
               fixed = TRUE)
  dir <- run_dir()
  quiet_fit(two_groups, "mclust2", k = 2, B = 1, dir = dir)
  expect_error(quiet_fit(two_groups, "mclust2", k = 2, B = 1, dir = dir),
               "File already exists: data_k2_OA_p1_a0_B1.*\\.log")
  # The session and the native side go on.
  expect_s3_class(quiet_fit(two_groups, "mclust2", k = 2, B = 1), "vornak")
})

test_that("settings are checked before anything runs", {
  base <- list(x = two_groups, model = "mclust2", k = 2, B = 1)
  refused <- list(list(k = 2.5), list(k = -1), list(k = "2"), list(model = "nosuch"),
                  list(B = NULL), list(iterations = -1), list(iterations = 1.5),
                  list(minutes = 1.5), list(seed = 0), list(seed = 2^32), list(chains = 0),
                  list(alpha = 0), list(alpha = NA), list(criterion = "best"),
                  list(thin = 0), list(quiet = NA), list(label = "a b"), list(heuristic = "EN"),
                  list(heuristic = ""), list(dir = c("a", "b")))
  for (change in refused) {
    settings <- modifyList(base, change)
    if ("B" %in% names(change) && is.null(change$B)) settings$B <- NULL
    expect_error(do.call(vornak, settings), info = deparse(change))
  }
})

test_that("a start partition of any labels is given to the run", {
  fit <- quiet_fit(two_groups, "mclust2", k = 2, B = 0, start = c("u", "u", "v", "u", "u", "u"))
  expect_identical(readLines(file.path(fit$dir, "start.z")), "0 0 1 0 0 0")
  # The trace's first line has the cluster sizes of the start.
  expect_match(readLines(fit$files[1, "save"])[1], "  5 1 ?$")
})

test_that("an interrupt stops the run, keeps its files and signals vornak_interrupt", {
  skip_on_os("windows")
  started <- Sys.time()
  condition <- interrupt_after(1.5, function() quiet_fit(iris[, 1:4], "mclust2", k = 0, B = 7))
  expect_s3_class(condition, "vornak_interrupt")
  expect_lt(as.numeric(difftime(Sys.time(), started, units = "secs")), 60)
  expect_match(conditionMessage(condition), "interrupted by signal 2 after iteration")
  expect_s3_class(condition$fit, "vornak")
  expect_identical(unname(condition$fit$status), "interrupted")
  expect_length(condition$fit$final[1, ], 150L)
  log <- readLines(condition$fit$files[1, "log"])
  expect_match(log[length(log)], "^Run interrupted by signal 2 after iteration [0-9]+$")
  # The session is usable and the next run is not taken for interrupted.
  expect_identical(unname(quiet_fit(two_groups, "mclust2", k = 2, B = 1)$status), "completed")
})

test_that("any whole number of iterations, kept every thin-th, and a seed in the names", {
  fit <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 37, thin = 5, seed = 11)
  expect_match(fit$files[1, "draws"], "data_k0_OA_p1_a0_i37_s11\\.draws$")
  expect_identical(fit$draw_info$iteration, seq(5, 35, by = 5))
  expect_identical(nrow(fit$draws), 7L)
  expect_identical(fit$k[[1]], apply(fit$draws, 1, max))
  expect_length(fit$score[[1]], 1 + 37 * 6)
  expect_true(max(fit$score[[1]]) >= max(fit$draw_info$score))
  other <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 37, thin = 5, seed = 12)
  expect_false(identical(fit$score[[1]], other$score[[1]]))
})

test_that("chains run with seeds seed, seed + 1, ... and each keeps its draws", {
  fit <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 40, thin = 4, chains = 3, seed = 5)
  expect_identical(fit$settings$seeds, c(5, 6, 7))
  expect_true(all(endsWith(fit$files[, "draws"], paste0("_i40_s", 5:7, ".draws"))))
  expect_identical(as.vector(table(fit$draw_info$chain)), c(10L, 10L, 10L))
  # The forked chains equal the same seeds run one by one in this process.
  single <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 40, thin = 4, seed = 6)
  expect_identical(bytes(fit$files[2, "draws"]), bytes(single$files[1, "draws"]))
  expect_identical(fit$best_score, max(unlist(fit$score)))
})

test_that("as.mcmc.list gives coda one chain per run, coda attached or not, burn-in left out", {
  skip_if_not_installed("coda")
  fit <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 40, thin = 4, chains = 2)
  expect_false("package:coda" %in% search())
  everything <- as.mcmc.list(fit, burn = 0)
  expect_identical(coda::as.mcmc.list(fit, burn = 0), everything)
  expect_length(everything, 2L)
  expect_identical(coda::varnames(everything), c("score", "k"))
  expect_identical(stats::start(everything), 4)
  expect_identical(coda::thin(everything), 4)
  expect_identical(as.vector(everything[[2]][, "k"]), as.double(fit$k[[2]]))
  # By default the first half of each chain's 10 draws goes, as in the summary: 5 are left,
  # from iteration 24 on.
  kept <- as.mcmc.list(fit)
  expect_identical(coda::niter(kept), 5L)
  expect_identical(stats::start(kept), 24)
  expect_identical(as.vector(kept[[1]][, "score"]),
                   fit$draw_info$score[fit$draw_info$chain == 1][6:10])
  # Seven draws less a third: floor(7 / 3) = 2 go.
  odd <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 35, thin = 5)
  expect_identical(stats::start(as.mcmc.list(odd, burn = 1 / 3)), 15)
  expect_error(as.mcmc.list(fit, burn = 1), "'burn' must be a fraction")
})

test_that("coda's effective sizes of the kept draws agree with the summary's", {
  skip_if_not_installed("coda")
  fit <- quiet_fit(iris[, 1:4], "mclust2", k = 0, iterations = 1500, thin = 3, chains = 2,
                   seed = 3)
  coda_ess <- coda::effectiveSize(as.mcmc.list(fit))[["score"]]
  own <- sum(summary(fit)$ess$score)
  # Different estimators of the same quantity on the same 250 draws per chain; with the
  # burn-in counted coda's figure would be about twice as large.
  expect_gt(coda_ess / own, 0.4)
  expect_lt(coda_ess / own, 2.5)
  expect_lte(coda_ess, 500 + 1e-6)
})

test_that("summary and plot say what the draws say", {
  fit <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 400, thin = 2, chains = 2)
  s <- summary(fit)
  expect_s3_class(s, "summary.vornak")
  # The posterior on k is the share of the kept draws (the second half of each chain).
  kept <- do.call(rbind, lapply(split(fit$draw_info, fit$draw_info$chain),
                                function(d) d[-seq_len(nrow(d) %/% 2), ]))
  expect_equal(s$posterior_k, c(prop.table(table(kept$k))), ignore_attr = "dim")
  expect_identical(s$estimate, c(1L, 1L, 1L, 2L, 2L, 2L))
  expect_identical(s$cluster_size, c(`1` = 3, `2` = 3))
  expect_lte(s$expected_loss[["estimate"]], s$expected_loss[["best_draw"]])
  expect_identical(dim(s$psm), c(6L, 6L))
  expect_true(all(diag(s$psm) == 1))
  expect_named(s$rhat, c("score", "k"), ignore.order = TRUE)
  expect_identical(nrow(s$ess), 2L)
  expect_true(all(file.exists(s$files)))
  expect_output(print(s))
  # A second summary does not overwrite the first one's files.
  again <- summary(fit, loss = "binder")
  expect_false(any(again$files %in% s$files))
  pdf(NULL)
  on.exit(dev.off(), add = TRUE)
  expect_identical(plot(fit, summary = s), s)
  expect_s3_class(plot(fit), "summary.vornak")
})

test_that("names and files come from the native side, which refuses before any chain runs", {
  expect_error(quiet_fit(two_groups, "nosuch", iterations = 2),
               "main(). model not recognized: nosuch", fixed = TRUE)
  dir <- run_dir()
  expect_error(quiet_fit(two_groups > 1, "HDBern", prior = "nosuch", iterations = 2, dir = dir),
               "main(). prior not recognized: nosuch", fixed = TRUE)
  expect_error(quiet_fit(two_groups > 1, "mclust2", k = 2, heuristic = "EN", iterations = 2,
                         dir = dir), "heuristic EN lists partitions and keeps no draws")
  expect_identical(list.files(dir), "data.dat")
  # A data file's own name, even one the stem rule cuts at its first dot, leads the stems.
  file <- file.path(tempfile(), ".hidden.dat")
  dir.create(dirname(file))
  write.table(two_groups, file, row.names = FALSE, col.names = FALSE)
  fit <- quiet_fit(file, "mclust2", k = 2, iterations = 3, thin = 1, seed = 4)
  expect_identical(basename(fit$files[1, ]),
                   paste0("_k2_OA_p1_a0_i3_s4.", c("log", "save", "finalz", "best", "draws")))
  expect_true(all(file.exists(fit$files)))
})

test_that("progress comes as messages when asked, and not otherwise", {
  said <- function(progress, chains = 1) {
    text <- character(0)
    withCallingHandlers(vornak(two_groups, "mclust2", iterations = 2000, chains = chains,
                               progress = progress),
                        message = function(m) {
                          text <<- c(text, conditionMessage(m))
                          invokeRestart("muffleMessage")
                        })
    text[grepl("^\rvornak: ", text)]
  }
  shown <- said(TRUE, chains = 2)
  expect_gte(length(shown), 1L)
  expect_match(shown, "^\rvornak: [0-9]+ s, [0-9]+ of 2000 iterations, best score ")
  expect_length(said(FALSE), 0L)
  old <- options(vornak.progress = TRUE)
  on.exit(options(old))
  expect_gte(length(said(getOption("vornak.progress"))), 1L)
  # Messages only: suppressMessages() silences a run that shows its progress.
  expect_silent(suppressMessages(vornak(two_groups, "mclust2", iterations = 200, progress = TRUE)))
  expect_error(vornak(two_groups, "mclust2", iterations = 2, progress = NA),
               "'progress' must be TRUE or FALSE")
})

test_that("columns far from 0 score as they do near it", {
  near <- quiet_fit(iris[, 1:4], "mclust2", iterations = 10)
  far <- quiet_fit(iris[, 1:4] + 1e9, "mclust2", iterations = 10)
  # 1e9 + x holds x to about 1e-7 only: the scores agree to that, not to every digit.
  expect_equal(far$score[[1]], near$score[[1]], tolerance = 1e-6)
})
