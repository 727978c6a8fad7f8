# What vornak() hands the native side: its words and its data, and who checks what.

test_that("ranges are the native side's, with its lines", {
  cases <- list(
    list(change = list(k = -1), line = "main(). k must be 0 or a number of clusters from 1 to 32767: -1"),
    list(change = list(k = 40000), line = "main(). k must be 0 or a number of clusters from 1 to 32767: 40000"),
    list(change = list(seed = 2^32), line = "main(). -s must be a whole number from 1 to 4294967295: 4294967296"),
    list(change = list(seed = 2^32 - 1, chains = 2),
         line = "main(). -s must be a whole number from 1 to 4294967295: 4294967296"),
    list(change = list(thin = 0), line = "main(). -d must be a whole number of iterations, 1 or more: 0"),
    list(change = list(iterations = -1, B = NULL),
         line = "main(). -i must be a whole number of iterations, 0 or more: -1"),
    list(change = list(B = 19), line = "main(). B too large, 10 to its power does not fit in 64 bits: 19"),
    list(change = list(heated = 0), line = "main(). -T must be a number of chains from 1 to 64: 0"),
    list(change = list(heated = 2, threads = 0),
         line = "main(). -j must be a number of threads from 1 to 1024: 0"))
  for (case in cases) {
    settings <- modifyList(list(x = two_groups, model = "mclust2", k = 2, B = 1), case$change)
    if ("B" %in% names(case$change) && is.null(case$change$B)) settings$B <- NULL
    expect_error(suppressMessages(do.call(vornak, settings)), case$line, fixed = TRUE,
                 info = case$line)
  }
  # R's own checks remain for what only R can get wrong: the types.
  expect_error(vornak(two_groups, "mclust2", k = 2.5, B = 1), "'k' must be a single whole number")
  expect_error(vornak(two_groups, "mclust2", k = 2, B = 1, chains = 65), "'chains' must be")
})

test_that("control characters and non-ASCII residues are refused in R", {
  dir <- run_dir()
  dir.create(dir)
  cases <- list(
    list(x = c("AB\n>x\nCD", "AB\n>y\nCD"), error = "sequence 1 of 'x' holds a control character"),
    list(x = c("ACDE", "AC\rE"), error = "sequence 2 of 'x' holds a control character"),
    list(x = c("ACDE", "AC\tE"), error = "sequence 2 of 'x' holds a control character"),
    list(x = c("ACD\u00c9", "ACDF", "ACDE"), error = "sequence 1 of 'x' holds a character that is not ASCII"),
    list(x = c(a = "ACDE", "b\n>c" = "ACDF"), error = "the name of sequence 2 holds a control character"),
    list(x = c(a = "ACDE", "b\001" = "ACDF"), error = "the name of sequence 2 holds a control character"))
  for (case in cases)
    expect_error(vornak:::write_data(case$x, dir), case$error, fixed = TRUE, info = case$error)
  expect_identical(list.files(dir), character(0))
  expect_error(vornak(c("AB\n>x\nCD", "AB\n>y\nCD"), model = "ProteinSequence", iterations = 10),
               "control character")
})

test_that("data and start files whose names spell options stay files", {
  for (name in c("-z", "-x", "-k", "-q")) {
    folder <- tempfile()
    dir.create(folder)
    path <- file.path(folder, name)
    write.table(two_groups, path, row.names = FALSE, col.names = FALSE)
    start <- file.path(folder, "-f")
    writeLines("0 0 0 1 1 1", start)
    fit <- quiet_fit(path, "mclust2", k = 2, iterations = 3, thin = 1, start = start)
    # Not fast arithmetic (-x adds _x to the stem), not a quiet flag eaten as a file.
    expect_identical(basename(fit$files[1, "draws"]), "_k2_OA_p1_a0_i3_s2.draws", info = name)
    expect_identical(fit$n, 6L, info = name)
  }
  expect_identical(vornak:::file_word("-x"), "./-x")
  expect_identical(vornak:::file_word("data.dat"), "data.dat")
  expect_error(vornak(two_groups, "mclust2", k = 2, B = 1, label = "-x"), "not starting with '-'")
})

test_that("forked chains stop once the session that forked them is killed", {
  skip_on_os("windows")
  # B = 9 would run for days and an ESS of 10^9 is never reached; one minute bounds a chain
  # that fails to notice.
  calls <- c(explicit = "vornak(iris[, 1:4], 'mclust2', B = 9, minutes = 1, chains = 2, thin = 1000, dir = '%s')",
             until_agreement = "vornak(iris[, 1:4], minutes = 1, chains = 2, ess = 1e9, dir = '%s')")
  for (case in names(calls)) {
    dir <- tempfile("orphans")
    dir.create(dir)
    script <- file.path(dir, "session.R")
    writeLines(c("library(vornak)",
                 sprintf("writeLines(as.character(Sys.getpid()), '%s')", file.path(dir, "pid")),
                 sprintf(calls[[case]], file.path(dir, "run"))), script)
    system2("timeout", c("120", file.path(R.home("bin"), "Rscript"), "--vanilla", script),
            wait = FALSE, stdout = FALSE, stderr = FALSE)
    wait_for <- function(seconds, ready) {
      deadline <- Sys.time() + seconds
      while (!ready() && Sys.time() < deadline) Sys.sleep(0.1)
      ready()
    }
    logs <- function() list.files(file.path(dir, "run"), "\\.log$", full.names = TRUE)
    saves <- function() list.files(file.path(dir, "run"), "\\.save$", full.names = TRUE)
    expect_true(wait_for(60, function() length(saves()) == 2L && all(file.size(saves()) > 0)),
                info = case)
    session <- as.integer(readLines(file.path(dir, "pid")))
    chains <- as.integer(system2("ps", c("-o", "pid=", "--ppid", session), stdout = TRUE))
    expect_length(chains, 2L)
    tools::pskill(session, tools::SIGTERM)
    ended <- function() {
      done <- vapply(logs(), function(log) {
        lines <- readLines(log, warn = FALSE)
        length(lines) > 0L &&
          grepl("^Run interrupted by signal 15 after iteration", lines[length(lines)])
      }, logical(1))
      length(done) == 2L && all(done)
    }
    expect_true(wait_for(20, ended), info = case)
    # Ended: no such process, or one that only waits to be reaped.
    running <- function(p) {
      state <- suppressWarnings(system2("ps", c("-o", "stat=", "-p", p), stdout = TRUE))
      length(state) > 0L && !startsWith(trimws(state[1]), "Z")
    }
    gone <- function() !any(vapply(chains, running, logical(1)))
    expect_true(wait_for(10, gone), info = case)
    # Whatever happened, nothing of this test runs on.
    for (p in chains) tools::pskill(p, tools::SIGKILL)
    for (log in logs())
      expect_identical(file.exists(sub("\\.log$", ".finalz", log)), TRUE, info = case)
  }
})

test_that("columns is the program's -V, its range and models checked natively", {
  x <- matrix(c(0, 0, 1, 0), nrow = 2, byrow = TRUE)
  fit <- suppressMessages(vornak(x, "HDBern", k = 2, iterations = 3, thin = 1, columns = 0.5))
  # Two rows apart, flat prior: column 1 (0, 1) is clustered with probability 0.6, column 2
  # (0, 0) with 3/7 (the worked case of the program's tests).
  expect_identical(readLines(fit$files[1, "columns"]), c("1 0.6", "2 0.428571"))
  # The fit and its summary carry them, column 1 selected (0.5 or more).
  expected <- data.frame(column = 1:2, probability = c(0.6, 0.428571), selected = c(TRUE, FALSE))
  expect_equal(fit$columns, expected)
  expect_equal(summary(fit)$columns, expected)
  expect_error(suppressMessages(vornak(x, "HDBern", k = 2, iterations = 3, columns = 1.5)),
               "main(). -V must be a number between 0 and 1, both excluded: 1.5", fixed = TRUE)
  expect_error(suppressMessages(vornak(two_groups, "mclust2", k = 2, iterations = 3, columns = 0.5)),
               "-V selects the columns of ProteinSequence, HDBern, HDGBern, ordinal only, not of mclust2",
               fixed = TRUE)
  expect_error(vornak(x, "HDBern", iterations = 3, columns = "a"), "'columns' must be a single number")
})

test_that("heated chains are the program's -T, whatever the thread cap", {
  a <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 20, thin = 2, heated = 3, threads = 1)
  b <- quiet_fit(two_groups, "mclust2", k = 0, iterations = 20, thin = 2, heated = 3, threads = 2)
  expect_identical(basename(a$files[1, "draws"]), "data_k0_OA_p1_a0_i20_s2_T3.draws")
  expect_identical(readLines(a$files[1, "draws"]), readLines(b$files[1, "draws"]))
  log <- readLines(a$files[1, "log"])
  expect_true(any(startsWith(log, "Heated chains (-T 3): inverse temperatures 1 0.7 0.49")))
})
