# Run by test_r_entry.sh with its work folder, which holds tiny.dat and the console's files
# in console/. Every check is counted; the script fails at the end if any failed.
work <- commandArgs(trailingOnly = TRUE)[1]
suppressPackageStartupMessages(library(vornak))

failures <- 0L
check <- function(ok, what) {
  if (!isTRUE(ok)) {
    failures <<- failures + 1L
    cat("FAIL:", what, "\n")
  }
}
contents <- function(path) readBin(path, "raw", file.size(path))
same_as_console <- function(file) {
  reference <- file.path(work, "console", file)
  file.exists(file) && file.exists(reference) && identical(contents(file), contents(reference))
}
fresh_folder <- function(name) {
  folder <- file.path(work, name)
  dir.create(folder)
  file.copy(file.path(work, "tiny.dat"), folder)
  setwd(folder)
}
error_of <- function(expr) tryCatch({ expr; NA_character_ }, error = conditionMessage)
# The error message of expr, or NA; what the run prints is kept off the test's output.
quiet_error <- function(expr) {
  message <- NA_character_
  invisible(capture.output(message <- error_of(expr)))
  message
}

# Names by the naming rule: data name before its dot, k, heuristic, mclust2's default prior
# 1, log(alpha) 0, and for a search its B.
search <- "tiny_k2_OA_p1_a0_B1"
listing <- "tiny_k2_EN_p1_a0"

# vornak() runs the console's run with the words it documents; console-wrapper/ holds the
# console's files for the same words (test_r_entry.sh).
same_as_wrapper_console <- function(path) {
  reference <- file.path(work, "console-wrapper", basename(path))
  file.exists(path) && file.exists(reference) && identical(contents(path), contents(reference))
}
fresh_folder("wrapper")
messages <- character(0)
fit <- withCallingHandlers(
  vornak(file.path(work, "tiny.dat"), "mclust2", 2, "OA", B = 1, dir = "run"),
  message = function(m) {
    messages <<- c(messages, conditionMessage(m))
    invokeRestart("muffleMessage")
  })
check(inherits(fit, "vornak"), "vornak() returns a fit")
check(any(grepl(paste0("fileStem: ", search), messages)), "run messages come as messages")
for (kind in c("save", "finalz"))
  check(same_as_wrapper_console(fit$files[1, kind]),
        paste("vornak() search:", kind, "equals the console's"))
first <- lapply(fit$files[1, c("save", "finalz")], contents)
again <- suppressMessages(vornak(file.path(work, "tiny.dat"), "mclust2", 2, "OA", B = 1))
check(identical(lapply(again$files[1, c("save", "finalz")], contents), first),
      "a repeated call gives the same files")

# The native routine by name, each string read for exactly its given byte count: the bytes
# after the count must be ignored, and a count of 0 gives an empty setting.
fresh_folder("raw")
got <- quiet_error(.C("vornak_R_main", "tiny.dat.unused", 8L, "label-unused", 0L, "", 0L,
                      "OAxx", 2L, "", 0L, "mclust2 and more", 7L, 2L, 1L, -1L, PACKAGE = "vornak"))
check(is.na(got), paste("raw .C search runs, got", got))
got <- quiet_error(.C("vornak_R_main", "tiny.dat", 8L, "", 0L, "", 0L, "EN", 2L, "", 0L,
                      "mclust2", 7L, 2L, -1L, -1L, PACKAGE = "vornak"))
check(is.na(got), paste("raw .C listing runs, got", got))
for (file in c(paste0(search, c(".save", ".finalz")), paste0(listing, ".save")))
  check(same_as_console(file), paste("raw .C call:", file, "equals the console's"))

# Every setting of the R function reaches its place: label, start and minutes too.
fresh_folder("all-settings")
invisible(file.copy(file.path(work, "start.z"), "."))
fit <- suppressMessages(vornak("tiny.dat", "mclust2", 2, "OA", B = 1, minutes = 9999,
                               label = "lab", start = "start.z", dir = "."))
for (kind in c("save", "finalz"))
  check(same_as_wrapper_console(fit$files[1, kind]),
        paste("vornak() with every setting:", kind, "equals the console's"))

# Failures become R errors carrying the run's message, and the session goes on.
fresh_folder("failures")
failure_cases <- list(
  list(call = quote(.C("vornak_R_main", "absent.dat", 10L, "", 0L, "", 0L, "OA", 2L, "", 0L,
                       "mclust2", 7L, 2L, 1L, -1L, PACKAGE = "vornak")),
       message = "Fail to read absent.dat"),
  list(call = quote(.C("vornak_R_main", "tiny.dat", 8L, "", 0L, "", 0L, "OA", 2L, "", 0L,
                       "nosuchmodel", 11L, 2L, 1L, -1L, PACKAGE = "vornak")),
       message = "main(). model not recognized: nosuchmodel"),
  list(call = quote(.C("vornak_R_main", "absent2.dat", 11L, "", 0L, "", 0L, "EN", 2L, "", 0L,
                       "mclust2", 7L, 2L, -1L, -1L, PACKAGE = "vornak")),
       message = "Fail to read absent2.dat"))
# The native routine reads nothing beyond the strings it is given: lengths that do not fit
# them are refused with an R error instead of ending the session or reading other memory.
raw_call <- function(data, length)
  .C("vornak_R_main", data, length, "", 0L, "", 0L, "EN", 2L, "", 0L, "mclust2", 7L, 2L, -1L,
     -1L, PACKAGE = "vornak")
failure_cases <- c(failure_cases, list(
  list(call = quote(raw_call(character(0), 0L)),
       message = "vornak_R_main: no text for dataFile (an empty vector?)"),
  list(call = quote(raw_call("tiny.dat2", 2000000000L)),
       message = "vornak_R_main: length for dataFile beyond its text of 9 bytes: 2000000000"),
  list(call = quote(raw_call("tiny.dat2", 100000L)),
       message = "vornak_R_main: length for dataFile beyond its text of 9 bytes: 100000"),
  list(call = quote(raw_call("tiny.dat", -3L)),
       message = "vornak_R_main: negative length for dataFile: -3"),
  list(call = quote(.C("vornak_R_main", "somedir", 7L, "", 0L, "", 0L, "OA", 2L, "", 0L,
                       "HDBern", 6L, 0L, 1L, -1L, PACKAGE = "vornak")),
       message = "Fail to read somedir: it is a folder, not a regular file")))
dir.create("somedir")
for (case in failure_cases) {
  got <- quiet_error(eval(case$call))
  check(identical(got, case$message),
        paste0(deparse(case$call)[1], ": message '", case$message, "', got '", got, "'"))
}
# The files of the earlier search block a repeat in the same folder.
setwd(file.path(work, "wrapper"))
got <- quiet_error(suppressMessages(
  vornak(file.path(work, "tiny.dat"), "mclust2", 2, "OA", B = 1, dir = "run")))
check(grepl(paste0("^File already exists: ", search, ".*[.]log$"), got),
      paste("an existing log stops the run, got", got))

# After all those errors, a run in the same process still gives the console's files.
fresh_folder("after")
invisible(capture.output(.C("vornak_R_main", "tiny.dat", 8L, "", 0L, "", 0L, "OA", 2L, "", 0L,
                            "mclust2", 7L, 2L, 1L, -1L, PACKAGE = "vornak")))
for (file in paste0(search, c(".save", ".finalz")))
  check(same_as_console(file), paste("after failures:", file, "equals the console's"))

if (failures > 0L) {
  cat(failures, "check(s) failed\n")
  quit(status = 1)
}
cat("R entry: all checks passed\n")
