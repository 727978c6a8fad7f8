# Reading the files of a run into the "vornak" object.

# Labels in order of first appearance, from 1: the files' 0-based labels, as R users count.
relabel <- function(z) match(z, unique(z))

read_partition <- function(path) {
  if (!file.exists(path)) return(NULL)
  z <- scan(path, what = integer(), quiet = TRUE)
  if (length(z) == 0L) NULL else relabel(z)
}

# The .save trace is run-length: after a first line with the start's score and cluster sizes,
# each line holds a score and how many trace points in a row had it. A run with a single
# fixed cluster writes one line, its score and 0.
read_score_trace <- function(path) {
  if (!file.exists(path)) return(numeric(0))
  read_score_trace_text(readLines(path, warn = FALSE))
}

read_score_trace_text <- function(lines) {
  if (length(lines) == 0L) return(numeric(0))
  if (length(lines) == 1L) return(as.numeric(strsplit(trimws(lines), "[[:space:]]+")[[1]][1]))
  fields <- strsplit(trimws(lines[-1]), "[[:space:]]+")
  score <- as.numeric(vapply(fields, `[`, "", 1L))
  count <- as.numeric(vapply(fields, `[`, "", 2L))
  rep(score, count)
}

# Lines "ITER SCORE K L1..Ln" with 0-based labels.
read_draws <- function(path, n) {
  if (!file.exists(path) || file.size(path) == 0) return(NULL)
  values <- scan(path, what = numeric(), quiet = TRUE)
  width <- n + 3L
  if (length(values) %% width != 0L)
    stop("cannot read ", path, ": lines do not hold ", width, " numbers", call. = FALSE)
  matrix(values, ncol = width, byrow = TRUE)
}

# Builds the object from the files of every chain, named by kind as the native plan gave
# them (one vector per chain); NULL when a chain left no partition.
read_fit <- function(dir, plans, results, settings, call) {
  kinds <- names(plans[[1]])
  files <- t(vapply(plans, function(p) file.path(dir, p[kinds]), character(length(kinds))))
  dimnames(files) <- list(paste0("chain", seq_along(plans)), kinds)
  final <- lapply(files[, "finalz"], read_partition)
  if (any(vapply(final, is.null, logical(1)))) return(NULL)
  n <- length(final[[1]])
  best <- lapply(seq_along(plans), function(i) {
    b <- read_partition(files[i, "best"])
    if (is.null(b)) final[[i]] else b
  })
  score <- lapply(files[, "save"], read_score_trace)
  draw_list <- lapply(files[, "draws"], read_draws, n = n)
  draws <- do.call(rbind, lapply(draw_list, function(d) {
    if (is.null(d)) return(matrix(integer(0), 0L, n))
    labels <- d[, -(1:3), drop = FALSE]
    storage.mode(labels) <- "integer"
    labels + 1L
  }))
  draw_info <- do.call(rbind, lapply(seq_along(draw_list), function(i) {
    d <- draw_list[[i]]
    if (is.null(d)) d <- matrix(numeric(0), 0L, 3L)
    data.frame(chain = rep(i, nrow(d)), iteration = d[, 1], score = d[, 2],
               k = as.integer(d[, 3]))
  }))
  k_trace <- lapply(seq_along(draw_list), function(i) draw_info$k[draw_info$chain == i])
  top <- vapply(score, function(s) if (length(s)) max(s) else -Inf, numeric(1))
  winner <- which.max(top)
  status <- ifelse(vapply(results, function(r) r$status, integer(1)) >= 128L,
                   "interrupted", "completed")
  names(score) <- names(k_trace) <- names(status) <- rownames(files)
  fit <- list(
    final = do.call(rbind, final), best = best[[winner]], best_score = top[[winner]],
    best_chain = winner, best_by_chain = do.call(rbind, best), draws = draws,
    draw_info = draw_info, score = score, k = k_trace, n = n, settings = settings,
    status = status, dir = dir, files = files, call = call)
  dimnames(fit$final) <- dimnames(fit$best_by_chain) <- list(rownames(files), NULL)
  class(fit) <- "vornak"
  fit
}
