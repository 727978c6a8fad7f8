# Runs the chains of a fit: in forked processes watched from this session, on the workers of
# a parallel cluster, or one after another here; reports progress through message() and,
# when asked, stops the chains once they agree or the time is up.

# R-hat and summed bulk ESS of score and k over the complete lines of the draws files so far
# (the first burn share of each chain left out), the fewest iterations any chain reached and
# the best score.
agreement <- function(files, burn = 0.5) {
  result <- .Call(vornak_R_agreement, enc2native(unname(files)), as.double(burn))
  if (result$status != 0L) stop(result$error, call. = FALSE)
  values <- result$values
  attr(values, "verdict") <- result$verdict
  values
}

# vornak-fit's rule: one mode reached from two starts, no chain stuck, every chain's ESS at
# least 100 (the native side's "conditions"), then R-hat and the summed ESS within the rule; or
# every chain on one partition reached from two starts (conditions 2), with rule$ess draws kept.
agreed <- function(a, rule) {
  if (a[["chains"]] >= 2 && isTRUE(a[["conditions"]] == 2)) return(a[["chains"]] * a[["kept"]] >= rule$ess)
  a[["chains"]] >= 2 && isTRUE(a[["conditions"]] == 1) &&
    isTRUE(a[["rhat_score"]] <= rule$rhat && a[["rhat_k"]] <= rule$rhat &&
             a[["ess_score"]] >= rule$ess && a[["ess_k"]] >= rule$ess)
}

number_text <- function(x, digits) if (is.finite(x)) formatC(x, digits = digits, format = "f") else "-"

progress_text <- function(seconds, a, total) {
  sprintf("vornak: %.0f s, %s%s iterations, best score %s, R-hat score %s k %s, ESS score %s k %s",
          seconds, int_text(a[["iterations"]]), if (total > 0) paste0(" of ", int_text(total)) else "",
          if (is.finite(a[["best_score"]])) format(a[["best_score"]], digits = 8) else "-",
          number_text(a[["rhat_score"]], 3), number_text(a[["rhat_k"]], 3),
          number_text(a[["ess_score"]], 0), number_text(a[["ess_k"]], 0))
}

# What every runner returns beside the chains' outcomes: how the run ended ("agreement",
# "limit", "length" or "interrupt"), its seconds and the last agreement figures.
run_end <- function(by, started, files, control) {
  a <- tryCatch(agreement(files, control$burn), error = function(e) NULL)
  end <- list(by = by, seconds = as.numeric(difftime(Sys.time(), started, units = "secs")),
              agreement = a)
  if (control$progress && !is.null(a))
    message("\r", progress_text(end$seconds, a, control$total), "; ",
            switch(by, agreement = "the chains agree", limit = "time is up, the chains disagree",
                   interrupt = "interrupted", "done"))
  end
}

# Chains in forked processes, polled from here. A forked chain is given this session's id:
# once the session is gone, it stops as after a SIGTERM of its own. An interrupt here is passed
# on to the chains, which stop as after a Ctrl-C; however this function ends, no chain runs on.
run_forked <- function(word_list, files, control) {
  chains <- length(word_list)
  parent <- Sys.getpid()
  started <- Sys.time()
  jobs <- list()
  pending <- integer(0)
  on.exit(end_chains(jobs[pending]), add = TRUE)
  for (i in seq_len(chains)) {
    jobs[[i]] <- parallel::mcparallel({
      # What the chain says is captured; R's own line on an interrupt stays off the console.
      sink(file(nullfile(), "w"), type = "message")
      result <- run_chain(word_list[[i]], FALSE, "", 0, parent)
      # With its session gone nobody collects the result, and a fork waits for that before it
      # exits: the chain's files are complete, so it ends here.
      if (.Call(vornak_R_parent) != parent) tools::pskill(Sys.getpid(), tools::SIGTERM)
      result
    }, silent = FALSE)
    pending <- c(pending, i)
  }
  pids <- vapply(jobs, function(job) job$pid, numeric(1))
  results <- vector("list", chains)
  stop_by <- NULL
  interrupted <- FALSE
  rule <- control$stop
  repeat {
    seconds <- as.numeric(difftime(Sys.time(), started, units = "secs"))
    wait <- min(5, max(0.5, seconds / 30))
    step <- tryCatch({
      got <- parallel::mccollect(jobs[pending], wait = FALSE, timeout = wait)
      for (pid in names(got)) results[match(as.numeric(pid), pids)] <- list(got[[pid]])
      pending <- pending[!as.character(pids[pending]) %in% names(got)]
      if (length(pending) > 0L && is.null(stop_by) && (control$progress || !is.null(rule))) {
        a <- agreement(files, control$burn)
        seconds <- as.numeric(difftime(Sys.time(), started, units = "secs"))
        if (control$progress)
          message("\r", progress_text(seconds, a, control$total), appendLF = FALSE)
        if (!is.null(rule)) {
          if (agreed(a, rule)) stop_by <- "agreement"
          else if (seconds >= 60 * rule$minutes) stop_by <- "limit"
          if (!is.null(stop_by)) tools::pskill(pids[pending], tools::SIGINT)
        }
      }
      "ok"
    }, interrupt = function(e) "interrupt")
    if (identical(step, "interrupt") && !interrupted) {
      interrupted <- TRUE
      tools::pskill(pids[pending], tools::SIGINT)
    }
    if (length(pending) == 0L) break
  }
  results <- lapply(seq_len(chains), function(i) {
    r <- results[[i]]
    if (is.list(r) && !is.null(r$status)) return(r)
    # A chain whose R code was cut short itself: its files say how far it went.
    list(status = if (interrupted || !is.null(stop_by)) 130L else 255L, output = "",
         messages = "", error = paste("chain", i, "ended without a result:",
                                      paste(format(r), collapse = " ")))
  })
  by <- if (interrupted) "interrupt" else if (is.null(stop_by)) "length" else stop_by
  list(results = results, end = run_end(by, started, files, control))
}

# Ends forked chains that are still running: an interrupt first, so they write their files,
# then, after a few seconds, a kill; each is collected so that none is left behind.
end_chains <- function(jobs) {
  if (length(jobs) == 0L) return(invisible())
  pids <- vapply(jobs, function(job) job$pid, numeric(1))
  tools::pskill(pids, tools::SIGINT)
  deadline <- Sys.time() + 5
  while (length(jobs) > 0L && Sys.time() < deadline) {
    got <- parallel::mccollect(jobs, wait = FALSE, timeout = 0.5)
    jobs <- jobs[!as.character(pids) %in% names(got)]
    pids <- pids[!as.character(pids) %in% names(got)]
  }
  if (length(jobs) > 0L) {
    tools::pskill(pids, tools::SIGKILL)
    parallel::mccollect(jobs, wait = FALSE, timeout = 1)
  }
  invisible()
}

# One chain on a cluster's worker: in a scratch folder of its own, with the input files it is
# sent; gives back the native outcome and every file of the run as bytes, by kind. Sent as a
# function of the package's namespace, it loads the package on the worker.
cluster_chain <- function(task) {
  words <- task$words
  inputs <- task$inputs
  work <- tempfile("vornak-worker")
  dir.create(work)
  old <- setwd(work)
  on.exit({
    setwd(old)
    unlink(work, recursive = TRUE)
  })
  for (name in names(inputs)) writeBin(inputs[[name]], name)
  plan <- plan_chain(words)
  result <- run_chain(words, FALSE, "", 0)
  result$contents <- lapply(plan, function(f)
    if (file.exists(f)) readBin(f, "raw", file.size(f)) else NULL)
  result
}

raw_lines <- function(bytes) {
  if (length(bytes) == 0L) return(character(0))
  text <- rawToChar(bytes)
  lines <- strsplit(text, "\n", fixed = TRUE)[[1]]
  lines[nzchar(lines)]
}

# Chains on the workers of a parallel cluster. With a length, each runs once; to run until
# agreement, they run in rounds, each chain going on from its last partition with a new seed,
# and the parent joins the rounds' files (draws numbered on) in its own folder.
run_cluster <- function(cl, settings, files, control) {
  chains <- length(files)
  started <- Sys.time()
  rule <- control$stop
  input <- function(name) {
    path <- file.path(control$dir, name)
    stats::setNames(list(readBin(path, "raw", file.size(path))), name)
  }
  data_input <- input(settings$data)
  done <- numeric(chains)
  best_score <- rep(-Inf, chains)
  finals <- vector("list", chains)
  iterations <- if (is.null(rule)) NULL else 20 * settings$thin
  round <- 0L
  results <- NULL
  repeat {
    round <- round + 1L
    round_settings <- settings
    if (!is.null(rule)) {
      round_settings$iterations <- iterations
      round_settings$minutes <- NULL
      if (round > 1L) round_settings$tree <- FALSE
    }
    tasks <- lapply(seq_len(chains), function(i) {
      inputs <- data_input
      start <- settings$start
      if (round > 1L) {
        start <- "start.z"
        inputs[[start]] <- charToRaw(paste0(paste(finals[[i]], collapse = " "), "\n"))
      } else if (!is.null(start)) {
        inputs <- c(inputs, input(start))
      }
      seed <- settings$seeds[i] + (round - 1) * chains
      list(words = chain_words(round_settings, settings$data, start, seed, i), inputs = inputs)
    })
    round_started <- Sys.time()
    results <- parallel::clusterApplyLB(cl, tasks, cluster_chain)
    round_seconds <- as.numeric(difftime(Sys.time(), round_started, units = "secs"))
    for (i in seq_len(chains)) {
      r <- results[[i]]
      if (!is.list(r) || is.null(r$status)) stop("chain ", i, " failed on its worker: ",
                                                   paste(format(r), collapse = " "), call. = FALSE)
      if (r$status != 0L && r$status < 128L) break
      trace <- read_score_trace_text(raw_lines(r$contents$save))
      join_round(r$contents, files[[i]], control$dir, round, done[i],
                 length(trace) > 0L && max(trace) > best_score[i])
      finals[[i]] <- scan(file.path(control$dir, files[[i]][["finalz"]]), integer(), quiet = TRUE)
      best_score[i] <- max(best_score[i], if (length(trace)) max(trace) else -Inf)
      done[i] <- done[i] + if (is.null(iterations)) 0 else iterations
    }
    if (is.null(rule) || any(vapply(results, function(r) r$status != 0L, logical(1)))) break
    a <- agreement(file.path(control$dir, vapply(files, `[[`, "", "draws")), control$burn)
    seconds <- as.numeric(difftime(Sys.time(), started, units = "secs"))
    if (control$progress) message("\r", progress_text(seconds, a, 0), appendLF = FALSE)
    if (agreed(a, rule)) return(cluster_end("agreement", results, started, files, control))
    left <- 60 * rule$minutes - seconds
    if (left <= 0) return(cluster_end("limit", results, started, files, control))
    # Rounds of about a tenth of the time allowed, never past its end.
    target <- min(left, max(2, 6 * rule$minutes))
    iterations <- settings$thin * max(1, round(iterations * target / max(round_seconds, 0.1) /
                                                 settings$thin))
  }
  cluster_end("length", results, started, files, control)
}

cluster_end <- function(by, results, started, files, control) {
  paths <- file.path(control$dir, vapply(files, `[[`, "", "draws"))
  list(results = lapply(results, function(r) r[setdiff(names(r), "contents")]),
       end = run_end(by, started, paths, control))
}

# Adds one round's files of a chain to the parent's: draws numbered on from the iterations
# already done, the trace and log appended (the trace's start line only once), the best
# partition kept when its round scored best, every other file replaced.
join_round <- function(contents, names, dir, round, offset, better) {
  for (kind in names(names)) {
    bytes <- contents[[kind]]
    if (is.null(bytes)) next
    path <- file.path(dir, names[[kind]])
    if (round == 1L) {
      writeBin(bytes, path)
      next
    }
    if (kind == "draws") {
      lines <- raw_lines(bytes)
      fields <- regmatches(lines, regexpr(" ", lines), invert = TRUE)
      renumbered <- vapply(fields, function(f)
        paste(int_text(as.numeric(f[1]) + offset), f[2]), "")
      cat(renumbered, file = path, sep = "\n", append = TRUE)
    } else if (kind == "save") {
      cat(raw_lines(bytes)[-1], file = path, sep = "\n", append = TRUE)
    } else if (kind == "log") {
      cat(raw_lines(bytes), file = path, sep = "\n", append = TRUE)
    } else if (kind != "best" || better) {
      writeBin(bytes, path)
    }
  }
}

# Chains one after another in this process, where the platform cannot fork; the native
# progress bar is their progress.
run_here <- function(word_list, files, control) {
  started <- Sys.time()
  chains <- length(word_list)
  titles <- if (chains == 1L) "" else sprintf("chain %d/%d ", seq_len(chains), chains)
  results <- lapply(seq_len(chains), function(i)
    run_chain(word_list[[i]], control$progress, titles[i], control$total))
  by <- if (any(vapply(results, function(r) r$status >= 128L, logical(1)))) "interrupt" else "length"
  list(results = results, end = run_end(by, started, files, control))
}
