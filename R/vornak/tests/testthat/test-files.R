# The readers on files written by hand in the formats the program writes.
write_lines <- function(lines) {
  path <- tempfile()
  writeLines(lines, path)
  path
}

test_that("the run-length score trace is expanded, the start first", {
  save <- write_lines(c("        -37.275  2 4 ", "-37.27497382 3", "-38.5 1", "-34.25 2"))
  expect_identical(vornak:::read_score_trace(save),
                   c(-37.27497382, -37.27497382, -37.27497382, -38.5, -34.25, -34.25))
  # A single fixed cluster: one line, its score and 0.
  expect_identical(vornak:::read_score_trace(write_lines("-32.98822594 0")), -32.98822594)
})

test_that("partitions are relabelled 1, 2, ... in order of first appearance", {
  expect_identical(vornak:::read_partition(write_lines("2 2 0 1 0 ")), c(1L, 1L, 2L, 3L, 2L))
  expect_null(vornak:::read_partition(tempfile()))
})

test_that("draw lines give iteration, score, k and labels; ragged files are refused", {
  draws <- write_lines(c("2 -10.5 2 0 0 1", "4 -9.25 3 0 1 2"))
  d <- vornak:::read_draws(draws, n = 3)
  expect_identical(d, matrix(c(2, -10.5, 2, 0, 0, 1, 4, -9.25, 3, 0, 1, 2), 2, byrow = TRUE))
  expect_error(vornak:::read_draws(write_lines("2 -10.5 2 0 0"), n = 3), "6 numbers")
})

test_that("the engine's files become the summary object", {
  prefix <- tempfile("summary")
  tab <- c("quantity\tchain\titem\tvalue", "n\tall\t\t4", "chains\tall\t\t2",
           "draws\t1\t\t10", "draws\t2\t\t10", "loss\tall\t\tvi",
           "posterior_k\tall\t3\t0.25", "posterior_k\tall\t2\t0.75",
           "expected_loss\tall\testimate\t0.1", "expected_loss\tall\tbest_draw\t0.2",
           "cluster_size\tall\t0\t2", "cluster_size\tall\t1\t2",
           "mate_probability\tall\t1\t1", "mate_probability\tall\t2\t0.9",
           "mate_probability\tall\t3\t0.8", "mate_probability\tall\t4\t0.6",
           "ess\t1\tscore\t50", "ess\t1\tk\t60", "ess\t2\tscore\t55", "ess\t2\tk\t65",
           "rhat\tall\tscore\t1.2", "rhat\tall\tk\t1.001", "ari\tall\t1-2\t0.5",
           "warning\tall\t\tR-hat of score is 1.2, above 1.01")
  writeLines(tab, paste0(prefix, ".summary.tsv"))
  writeLines("1 1 0 0", paste0(prefix, ".estimate"))
  writeLines(c("1 1 0 0", "1 1 0.1 0", "0 0.1 1 0.6", "0 0 0.6 1"), paste0(prefix, ".psm"))
  s <- vornak:::read_summary(prefix, "text\n", 4, "vi", 0.5)
  expect_identical(s$posterior_k, c(`2` = 0.75, `3` = 0.25))
  expect_identical(s$estimate, c(1L, 1L, 2L, 2L))
  expect_identical(s$expected_loss, c(estimate = 0.1, best_draw = 0.2))
  expect_equal(s$uncertainty, c(0, 0.1, 0.2, 0.4))
  expect_identical(s$ess, data.frame(chain = c("1", "2"), score = c(50, 55), k = c(60, 65)))
  expect_identical(s$rhat, c(score = 1.2, k = 1.001))
  expect_identical(s$ari, c(`1-2` = 0.5))
  expect_identical(s$warnings, "R-hat of score is 1.2, above 1.01")
  expect_identical(s$psm[3, 4], 0.6)
  expect_output(print(s), "^text$")
})
