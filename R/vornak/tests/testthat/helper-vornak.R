# Six points in two well separated groups, and a run folder per test.
two_groups <- matrix(c(0.1, 0.3, -0.2, 0.1, 0.0, -0.1, 4.9, 5.2, 5.3, 4.8, 5.1, 5.0),
                     ncol = 2, byrow = TRUE)

# Inside the session's temporary folder, which R removes at exit.
run_dir <- function() tempfile("vornak-test")

bytes <- function(path) readBin(path, "raw", file.size(path))

quiet_fit <- function(...) suppressMessages(vornak(...))

# The seed, draws and exact-count options and the summary engine come from the native core;
# until a core has them the tests that need them are skipped, saying why.
native_probe <- local({
  known <- NULL
  function() {
    if (is.null(known)) {
      dir <- tempfile("probe")
      dir.create(dir)
      writeLines(c("0 0", "1 1", "5 5"), file.path(dir, "p.dat"))
      old <- setwd(dir)
      result <- vornak:::run_chain(c("-m", "mclust2", "-f", "p.dat", "-k", "0", "-h", "OA",
                                     "-c", "integrated", "-s", "5", "-d", "1", "-q",
                                     "-i", "3"), FALSE, "", 3)
      setwd(old)
      stem <- vornak:::stem_of(result$output)
      known <<- list(
        draws = !is.na(stem) && grepl("_i3_s5$", stem) &&
          file.exists(file.path(dir, paste0(stem, ".draws"))),
        summary = !grepl("no summary engine", .Call(vornak:::vornak_R_summary, "x")$error))
      unlink(dir, recursive = TRUE)
    }
    known
  }
})
skip_without_draws <- function()
  skip_if_not(native_probe()$draws, "this core has no -s/-d/-i options yet")
skip_without_summary <- function()
  skip_if_not(native_probe()$summary, "this core has no summary engine yet")
