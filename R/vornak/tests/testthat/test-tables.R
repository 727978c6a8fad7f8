# Data as users have them: table files read by the native reader, data frames with factor and
# character columns, names, known classes and the observations' table.

test_that("the agreement figures match values worked by hand", {
  # Contingency 2,1,1: ARI (1 - 1) / (2.5 - 1) = 0; VI = 2 H(a,b) - H(a) - H(b) = 3 - 1 - H(b).
  expect_equal(vornak:::adjusted_rand(c(1, 1, 2, 2), c(1, 1, 1, 2)), 0)
  expect_equal(vornak:::variation_of_information(c(1, 1, 2, 2), c(1, 1, 1, 2)),
               2 - (2 - 0.75 * log2(3)))
  # Crossed halves: (2 - 2.4) / (6 - 2.4).
  expect_equal(vornak:::adjusted_rand(c(1, 1, 1, 2, 2, 2), c(1, 1, 2, 2, 2, 1)), -1 / 9)
  expect_equal(vornak:::adjusted_rand(c(1, 1, 2, 3), c("b", "b", "a", "c")), 1)
  expect_equal(vornak:::variation_of_information(c(1, 1, 2, 3), c("b", "b", "a", "c")), 0)
})

test_that("factor and character columns are named, offered as classes or taken as names", {
  p <- vornak:::prepare_data(iris)
  expect_equal(p$column_names, names(iris)[1:4])
  expect_equal(dim(p$x), c(150L, 4L))
  expect_match(p$notes, "Column \"Species\" \\(3 values\\) is not clustered; .*classes = \"Species\"")
  p <- vornak:::prepare_data(iris, classes = "Species")
  expect_equal(p$classes, as.character(iris$Species))
  expect_length(p$notes, 0)
  x <- data.frame(state = c("Alabama", "Alaska", "Arizona"), murder = c(13.2, 10, 8.1),
                  note = c("x", "y", "z"), stringsAsFactors = FALSE)
  p <- vornak:::prepare_data(x)
  expect_equal(p$row_names, x$state)
  expect_equal(p$column_names, "murder")
  expect_match(p$notes[2], "Column \"note\" left out: text with 3 distinct values")
  expect_equal(vornak:::prepare_data(USArrests)$row_names, rownames(USArrests))
})

test_that("errors name the file or column and say what was expected", {
  cases <- list(
    list(x = "irs.dat", error = "no data file irs.dat .*FASTA alignment, a matrix of numbers or a CSV/TSV table"),
    list(x = data.frame(a = c("u", "v", "w")), error = "'x' has no numeric column \\(columns: a\\)"),
    list(x = data.frame(a = 1:2, when = as.Date(c("2020-01-01", "2020-01-02"))),
         error = "column \"when\" of 'x' is of class Date: vornak reads numeric"),
    list(x = list(1, 2), error = "'x' must be a numeric matrix.*it is a list"))
  for (case in cases)
    expect_error(vornak:::prepare_data(case$x), case$error, info = case$error)
  expect_error(vornak:::prepare_data(iris, classes = "Kind"), "'classes' names no column of 'x': Kind")
  expect_error(vornak("irs.dat"), "no data file irs.dat")
})

test_that("table files are read as vornak-fit reads them", {
  dir <- run_dir()
  dir.create(dir)
  csv <- file.path(dir, "arrests.csv")
  write.csv(USArrests[1:6, ], csv)
  p <- vornak:::prepare_data(csv)
  expect_true(p$table)
  expect_equal(p$row_names, rownames(USArrests)[1:6])
  expect_equal(p$column_names, names(USArrests))
  back <- as.matrix(read.table(text = p$x))
  expect_equal(unname(back), unname(as.matrix(USArrests[1:6, ])))
  eu <- file.path(dir, "eu.csv")
  writeLines(c("a;b", "1,5;2", "2,5;3"), eu)
  expect_error(vornak:::prepare_data(eu), "decimal comma; give decimal_comma = TRUE")
  expect_equal(vornak:::prepare_data(eu, decimal_comma = TRUE)$x, "1.5 2\n2.5 3\n")
  dup <- file.path(dir, "dup.csv")
  writeLines(c("\"\",\"a\"", "\"x\",1", "\"x\",2"), dup)
  expect_error(vornak:::prepare_data(dup), "line 3: identifier \"x\" again")
  # The engine's own matrix format stays as it is.
  plain <- file.path(dir, "plain.dat")
  writeLines(c("1 2", "3 4"), plain)
  expect_false(vornak:::prepare_data(plain)$table)
})

test_that("a fit from a table file carries names, the observations' table and the classes", {
  dir <- run_dir()
  dir.create(dir)
  csv <- file.path(dir, "groups.csv")
  x <- data.frame(name = paste0("p", 1:6), a = two_groups[, 1], b = two_groups[, 2],
                  kind = c("u", "u", "v", "v", "v", "v"))
  write.csv(x, csv, row.names = FALSE)
  fit <- quiet_fit(csv, model = "mclust2", iterations = 200, classes = "kind",
                   dir = file.path(dir, "run"))
  expect_equal(fit$names, x$name)
  expect_equal(names(fit$observations), c("name", "cluster", "membership"))
  expect_equal(fit$observations$name, x$name)
  expect_equal(fit$observations$cluster, fit$estimate)
  expect_equal(sum(fit$classes$table), 6)
  expect_equal(fit$classes$adjusted_rand,
               vornak:::adjusted_rand(fit$estimate, x$kind))
  expect_output(print(fit), "against the known classes \\(column kind of")
})
