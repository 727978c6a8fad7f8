test_that("reals reach the native side exactly and names are never data", {
  dir <- run_dir()
  dir.create(dir)
  x <- data.frame(a = c(pi, -1 / 3, 1e-300, 123456789.123456789), b = c(exp(1), 0, -0, 2^-40),
                  row.names = c("first", "second", "third", "fourth"))
  name <- vornak:::write_data(x, "mclust2", dir)
  back <- as.matrix(read.table(file.path(dir, name)))
  expect_identical(unname(back), unname(as.matrix(x)))
  expect_false(any(grepl("first|a|b", readLines(file.path(dir, name)))))
})

test_that("the data are checked against the model", {
  dir <- run_dir()
  dir.create(dir)
  cases <- list(
    list(x = matrix(c(0, 1, 2, 1), 2), model = "HDBern", error = "from 0 to 1"),
    list(x = matrix(c(0, 20), 1), model = "HDGBern", error = "from 0 to 19"),
    list(x = matrix(c(0.5, 1), 1), model = "HDBern", error = "whole numbers"),
    list(x = matrix(c(1, NA), 1), model = "mclust2", error = "missing or infinite"),
    list(x = matrix(c(1, Inf), 1), model = "kmeans2", error = "missing or infinite"),
    list(x = data.frame(a = 1:2, b = c("u", "v")), model = "mclust2", error = "not: b"),
    list(x = c("AC-D", "ACD"), model = "ProteinSequence", error = "aligned"),
    list(x = "no/such/file.dat", model = "mclust2", error = "existing data file"),
    list(x = list(1, 2), model = "mclust2", error = "numeric matrix"))
  for (case in cases)
    expect_error(vornak:::write_data(case$x, case$model, dir), case$error, info = case$model)
})

test_that("binary matrices are written as integers and sequences as FASTA", {
  dir <- run_dir()
  dir.create(dir)
  name <- vornak:::write_data(matrix(c(TRUE, FALSE, FALSE, TRUE), 2), "HDBern", dir)
  expect_identical(readLines(file.path(dir, name)), c("1 0", "0 1"))
  name <- vornak:::write_data(c(one = "AC-D", "two words" = "ACCD"), "ProteinSequence", dir)
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
  expect_identical(vornak:::write_data(two_groups, "mclust2", dir), "data.dat")
  expect_identical(vornak:::write_data(two_groups, "mclust2", dir), "data.dat")
  expect_error(vornak:::write_data(two_groups + 1, "mclust2", dir), "exists with other contents")
  expect_identical(unname(as.matrix(read.table(file.path(dir, "data.dat")))), two_groups)
})
