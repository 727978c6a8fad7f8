# R's readers on the fixture files the C++ reader is tested on (tests/formats/fixtures in the
# checkout; tests/formats/formats_test.cpp reads the same files).
fixture_dir <- function() {
  here <- normalizePath(testthat::test_path(), mustWork = FALSE)
  file.path(dirname(dirname(dirname(dirname(here)))), "tests", "formats", "fixtures")
}

test_that("the draws and partition fixtures read as the C++ reader reads them", {
  dir <- fixture_dir()
  skip_if_not(dir.exists(dir), "not run from a checkout: the shared fixtures are not at hand")
  expect_identical(vornak:::read_draws(file.path(dir, "two_lines.draws"), n = 3),
                   matrix(c(2, -10.5, 2, 0, 0, 1, 4, -9.25, 3, 0, 1, 2), 2, byrow = TRUE))
  # Labels as written; the object relabels them in order of first appearance.
  relabel <- vornak:::read_draws(file.path(dir, "relabel.draws"), n = 3)
  expect_identical(relabel[, 1:3], matrix(c(7, -3.5, 2, 8, -3.25, 3), 2, byrow = TRUE))
  expect_identical(vornak:::relabel(relabel[2, 4:6]), c(1L, 2L, 3L))
  expect_error(vornak:::read_draws(file.path(dir, "ragged.draws"), n = 3), "6 numbers")
  expect_identical(vornak:::read_partition(file.path(dir, "partition.finalz")),
                   c(1L, 1L, 2L, 3L, 2L))
})
