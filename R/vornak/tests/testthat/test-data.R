test_that("reals reach the native side exactly and names are never data", {
  dir <- run_dir()
  dir.create(dir)
  x <- data.frame(a = c(pi, -1 / 3, 1e-300, 123456789.123456789), b = c(exp(1), 0, -0, 2^-40),
                  row.names = c("first", "second", "third", "fourth"))
  name <- vornak:::write_data(x, dir)
  back <- as.matrix(read.table(file.path(dir, name)))
  expect_identical(unname(back), unname(as.matrix(x)))
  expect_false(any(grepl("first|a|b", readLines(file.path(dir, name)))))
})

test_that("data R cannot write are refused in R, data the model cannot read natively", {
  dir <- run_dir()
  dir.create(dir)
  cases <- list(
    list(x = matrix(c(1, Inf), 1), error = "infinite values"),
    list(x = matrix(c(-Inf, 1), 1), error = "infinite values"),
    list(x = data.frame(a = 1:2, b = c("u", "v")), error = "not: b"),
    list(x = c("AC-D", "ACD"), error = "aligned"),
    list(x = c("ACDE", "AC"), error = "(sequence 2 has 2 characters where the first has 4); align them first, e.g. mafft --auto in.fa"),
    list(x = c("AC-D", NA), error = "missing sequences"),
    list(x = "no/such/file.dat", error = "existing data file"),
    list(x = tempdir(), error = "existing data file"),
    list(x = matrix(numeric(0), 0, 2), error = "no observations"),
    list(x = list(1, 2), error = "numeric matrix"))
  for (case in cases)
    expect_error(vornak:::write_data(case$x, dir), case$error, fixed = TRUE, info = case$error)
  unaligned <- tempfile(fileext = ".fa")
  writeLines(c(">a", "ACDE", ">b", "AC"), unaligned)
  # Data the model cannot read are refused by the native recommender before any chain runs.
  native <- list(
    list(x = unaligned, model = "ProteinSequence",
         error = "the sequences are not aligned (sequence 2 has 2 characters where the first has 4, and none has a gap): align them first, e.g. mafft --auto in.fa > aligned.fa"),
    list(x = matrix(c(0, 1, 2, 1), 2), model = "HDBern",
         error = "-m HDBern reads a matrix of 0 and 1, but the data are a matrix of whole numbers 0 to 19: HDBern"),
    list(x = matrix(c(0, 20), 1), model = "HDGBern",
         error = "-m HDGBern reads a matrix of whole numbers 0 to 19, but the data are a real matrix: HDGBern"),
    list(x = matrix(c(0.5, 1), 1), model = "HDBern",
         error = "-m HDBern reads a matrix of 0 and 1, but the data are a real matrix: HDBern"))
  for (case in native)
    expect_error(quiet_fit(case$x, case$model, k = 1, iterations = 1), case$error,
                 fixed = TRUE, info = case$model)
})

test_that("missing cells reach the native side as NA and are left out of their columns", {
  dir <- run_dir()
  dir.create(dir)
  name <- vornak:::write_data(matrix(c(1, NA, NaN, 0.5), 2), dir)
  expect_identical(readLines(file.path(dir, name)), c("1 NA", "NA 0.5"))
  x <- two_groups
  x[2, 1] <- NA
  fit <- quiet_fit(x, "mclust2", k = 2, iterations = 2, dir = run_dir())
  log <- readLines(fit$files[1, "log"])
  expect_true(any(log == "Missing cells (NA): 1 of 12, each left out of its column's statistics"))
})

test_that("binary matrices are written as integers and sequences as FASTA", {
  dir <- run_dir()
  dir.create(dir)
  name <- vornak:::write_data(matrix(c(TRUE, FALSE, FALSE, TRUE), 2), dir)
  expect_identical(readLines(file.path(dir, name)), c("1 0", "0 1"))
  name <- vornak:::write_data(c(one = "AC-D", "two words" = "ACCD"), dir)
  expect_identical(readLines(file.path(dir, name)), c(">one", "AC-D", ">two_words", "ACCD"))
})

test_that("a data frame and the same values in a file give the same run", {
  from_frame <- quiet_fit(as.data.frame(two_groups), "mclust2", k = 2, B = 1, dir = run_dir())
  file <- tempfile(fileext = ".dat")
  writeLines(c("0.1 0.3", "-0.2 0.1", "0.0 -0.1", "4.9 5.2", "5.3 4.8", "5.1 5.0"), file)
  from_file <- quiet_fit(file, "mclust2", k = 2, B = 1, dir = run_dir())
  for (kind in c("save", "finalz"))
    expect_identical(bytes(from_frame$files[1, kind]), bytes(from_file$files[1, kind]),
                     info = kind)
})

test_that("a run folder's data file is reused when equal and never replaced", {
  dir <- run_dir()
  dir.create(dir)
  expect_identical(vornak:::write_data(two_groups, dir), "data.dat")
  expect_identical(vornak:::write_data(two_groups, dir), "data.dat")
  expect_error(vornak:::write_data(two_groups + 1, dir), "exists with other contents")
  expect_identical(unname(as.matrix(read.table(file.path(dir, "data.dat")))), two_groups)
})

test_that("every kind of x runs under its model, row names never read", {
  seqs <- c(a = "ACDEFG", b = "ACDEFG", c = "ACDEFH", d = "WWYYVV", e = "WWYYVA", f = "WWYYVV")
  fasta <- tempfile(fileext = ".fasta")
  writeLines(paste0(">", names(seqs), "\n", seqs), fasta)
  binary <- matrix(c(1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0), 6)
  frame <- as.data.frame(two_groups, row.names = paste("flower", 1:6))
  cases <- list(
    list(x = two_groups, model = "mclust2", first = "0.10000000000000001 0.29999999999999999"),
    list(x = frame, model = "kmeans2", first = "0.10000000000000001 0.29999999999999999"),
    list(x = binary, model = "HDBern", first = "1 0 1"),
    list(x = binary * 19L, model = "HDGBern", first = "19 0 19"),
    list(x = seqs, model = "ProteinSequence", first = ">a"),
    list(x = fasta, model = "ProteinSequence", first = ">a"))
  for (case in cases) {
    fit <- quiet_fit(case$x, case$model, k = 0, iterations = 4, thin = 2)
    data <- file.path(fit$dir, fit$settings$data)
    expect_identical(readLines(data)[1], case$first, info = case$model)
    expect_identical(fit$n, 6L, info = case$model)
    expect_identical(nrow(fit$draws), 2L, info = case$model)
  }
  # Sequences given in R and the same ones in a file give the same chain.
  from_vector <- quiet_fit(seqs, "ProteinSequence", iterations = 4, thin = 1)
  from_file <- quiet_fit(fasta, "ProteinSequence", iterations = 4, thin = 1)
  expect_identical(bytes(from_vector$files[1, "draws"]), bytes(from_file$files[1, "draws"]))
})
