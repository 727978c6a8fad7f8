# Six points in two well separated groups, and a run folder per test.
two_groups <- matrix(c(0.1, 0.3, -0.2, 0.1, 0.0, -0.1, 4.9, 5.2, 5.3, 4.8, 5.1, 5.0),
                     ncol = 2, byrow = TRUE)

# Inside the session's temporary folder, which R removes at exit.
run_dir <- function() tempfile("vornak-test")

bytes <- function(path) readBin(path, "raw", file.size(path))

quiet_fit <- function(...) suppressMessages(vornak(...))

# Runs run() while a helper process interrupts this session after some seconds; gives the
# vornak_interrupt condition (or what run() returned, had the interrupt missed it).
interrupt_after <- function(seconds, run) {
  parent <- Sys.getpid()
  helper <- parallel::mcparallel({
    Sys.sleep(seconds)
    tools::pskill(parent, tools::SIGINT)
  })
  on.exit(parallel::mccollect(helper))
  tryCatch(run(), vornak_interrupt = function(e) e)
}
