# The library CMake builds, loaded into R with dyn.load: its vornak_R_main runs like the
# package's, and a failure is an R error carrying the run's line, after which R goes on.
#   Rscript cmake_library.R LIBRARY DATA_FILE
args <- commandArgs(trailingOnly = TRUE)
library_path <- normalizePath(args[1])
data <- normalizePath(args[2])
work <- tempfile("r-library")
dir.create(work)
setwd(work)
invisible(file.copy(data, "sim11.dat"))
dll <- dyn.load(library_path)

failures <- 0L
check <- function(ok, what) {
  if (!isTRUE(ok)) {
    failures <<- failures + 1L
    cat("FAIL:", what, "\n")
  }
}
entry <- function(data, model, k, heuristic, B)
  .C("vornak_R_main", data, nchar(data, "bytes"), "", 0L, "", 0L, heuristic,
     nchar(heuristic, "bytes"), "", 0L, model, nchar(model, "bytes"), as.integer(k),
     as.integer(B), -1L, PACKAGE = dll[["name"]])
error_of <- function(expr) tryCatch({ expr; NA_character_ }, error = conditionMessage)

cases <- list(
  list(data = "absent.dat", model = "mclust2", message = "Fail to read absent.dat"),
  list(data = "sim11.dat", model = "nosuchmodel", message = "main(). model not recognized: nosuchmodel"))
for (case in cases) {
  got <- error_of(invisible(capture.output(entry(case$data, case$model, 2, "OA", 1))))
  check(identical(got, case$message),
        sprintf("%s/%s: expected an R error '%s', got '%s'", case$data, case$model,
                case$message, got))
}
# The entry reads nothing beyond the strings it is handed: lengths that do not fit them, and
# a folder as the data file (it used to escape as a C++ exception and end R), are R errors.
raw <- function(data, length, model = "mclust2", k = 2L)
  .C("vornak_R_main", data, length, "", 0L, "", 0L, "OA", 2L, "", 0L, model,
     nchar(model, "bytes"), k, 1L, -1L, PACKAGE = dll[["name"]])
dir.create("somedir")
raw_cases <- list(
  list(call = quote(raw(character(0), 0L)),
       message = "vornak_R_main: no text for dataFile (an empty vector?)"),
  list(call = quote(raw("sim11.dat", 2000000000L)),
       message = "vornak_R_main: length for dataFile beyond its text of 9 bytes: 2000000000"),
  list(call = quote(raw("sim11.dat", 100000L)),
       message = "vornak_R_main: length for dataFile beyond its text of 9 bytes: 100000"),
  list(call = quote(raw("sim11.dat", -1L)),
       message = "vornak_R_main: negative length for dataFile: -1"),
  list(call = quote(raw("somedir", 7L, "HDBern", 0L)),
       message = "Fail to read somedir: it is a folder, not a regular file"))
for (case in raw_cases) {
  got <- error_of(invisible(capture.output(eval(case$call))))
  check(identical(got, case$message),
        sprintf("%s: expected an R error '%s', got '%s'", deparse(case$call), case$message, got))
}
got <- error_of(invisible(capture.output(entry("sim11.dat", "mclust2", 3, "OA", 1))))
check(is.na(got), paste("a good run after the failures, got", got))
check(file.exists("sim11_k3_OA_p1_a0_B1.finalz"), "the good run wrote its partition")
check(length(scan("sim11_k3_OA_p1_a0_B1.finalz", quiet = TRUE)) == 30L,
      "the partition has one label per observation")

if (failures > 0L) {
  cat(failures, "check(s) failed\n")
  quit(status = 1)
}
cat("CMake-built R library: all checks passed\n")
