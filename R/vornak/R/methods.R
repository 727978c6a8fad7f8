# print, summary, plot and coda's as.mcmc.list for "vornak" objects. The summary comes from
# the package's native summary engine, the one behind the vornak-summary program.

print.vornak <- function(x, ...) {
  s <- x$settings
  length_text <- c(if (!is.null(s$iterations)) paste(int_text(s$iterations), "iterations"),
                   if (!is.null(s$B)) paste0("10^", s$B, " iterations"),
                   if (!is.null(s$minutes)) paste(s$minutes, "minutes at most"))
  cat(sprintf("vornak fit: %d observations, model %s, heuristic %s, k %s, %s\n", x$n, s$model,
              s$heuristic, if (s$k == 0L) "open" else s$k, paste(length_text, collapse = ", ")))
  cat(sprintf("%d chain(s), seeds %s; %s\n", s$chains, paste(s$seeds, collapse = ", "),
              paste(sprintf("%s %s", names(x$status), x$status), collapse = ", ")))
  cat(sprintf("best score %.10g (chain %d), %d clusters; sizes %s\n", x$best_score, x$best_chain,
              max(x$best), paste(tabulate(x$best), collapse = " ")))
  cat(sprintf("final partitions: %s clusters\n",
              paste(apply(x$final, 1, max), collapse = ", ")))
  cat(sprintf("%s draws kept per chain (every %s iterations); files in %s\n",
              paste(unique(lengths(x$k)), collapse = "/"), format(s$thin, scientific = FALSE),
              x$dir))
  invisible(x)
}

# A prefix no earlier summary of this fit used: the engine does not overwrite files.
summary_prefix <- function(dir) {
  for (i in seq_len(10000L)) {
    prefix <- file.path(dir, if (i == 1L) "summary" else paste0("summary", i))
    if (length(Sys.glob(paste0(prefix, ".*"))) == 0L) return(prefix)
  }
  stop("no free summary file name in ", dir, call. = FALSE)
}

# Runs the engine: args as for the vornak-summary program; stops with its failure line.
run_summary_engine <- function(args) {
  result <- .Call(vornak_R_summary, enc2native(args))
  if (result$status != 0L) stop(sub("\n+$", "", result$error), call. = FALSE)
  if (nzchar(result$error)) message(sub("\n+$", "", result$error))
  result$output
}

table_values <- function(table, what, chain = NULL) {
  rows <- table[table$quantity == what & (is.null(chain) | table$chain %in% chain), ]
  stats::setNames(suppressWarnings(as.numeric(rows$value)), rows$item)
}

# Sizes named by the estimate's labels as R counts them (the files count from 0).
cluster_sizes <- function(table) {
  sizes <- table_values(table, "cluster_size")
  names(sizes) <- as.integer(names(sizes)) + 1L
  sizes
}

summary.vornak <- function(object, burn = 0.5, loss = c("vi", "binder"), ...) {
  loss <- match.arg(loss)
  if (!is.numeric(burn) || length(burn) != 1L || is.na(burn) || burn < 0 || burn >= 1)
    stop("'burn' must be a fraction from 0 up to (not including) 1", call. = FALSE)
  draws <- object$files[, "draws"]
  missing <- draws[!file.exists(draws)]
  if (length(missing) > 0L)
    stop("no draws to summarise: ", paste(missing, collapse = ", "), " not found", call. = FALSE)
  prefix <- summary_prefix(object$dir)
  text <- run_summary_engine(c("--burn", sprintf("%.17g", burn), "--loss", loss, "-o", prefix,
                               draws))
  read_summary(prefix, text, object$n, loss, burn)
}

# The engine's files under prefix, as the "summary.vornak" object.
read_summary <- function(prefix, text, n, loss, burn) {
  paths <- paste0(prefix, c(".estimate", ".psm", ".svg", ".summary.tsv"))
  names(paths) <- c("estimate", "psm", "svg", "table")
  table <- utils::read.delim(paths[["table"]], colClasses = "character", quote = "",
                             na.strings = character(0), comment.char = "")
  estimate <- read_partition(paths[["estimate"]])
  psm <- if (file.exists(paths[["psm"]])) unname(as.matrix(utils::read.table(paths[["psm"]])))
  mate <- table_values(table, "mate_probability")
  uncertainty <- rep(NA_real_, n)
  uncertainty[as.integer(names(mate))] <- 1 - mate
  chains <- setdiff(unique(table$chain[table$quantity == "ess"]), "all")
  ess <- do.call(rbind, lapply(chains, function(ch) {
    v <- table_values(table, "ess", ch)
    data.frame(chain = ch, score = unname(v["score"]), k = unname(v["k"]))
  }))
  posterior_k <- table_values(table, "posterior_k")
  out <- list(
    text = text, table = table, loss = loss, burn = burn,
    posterior_k = posterior_k[order(as.numeric(names(posterior_k)))],
    estimate = estimate,
    expected_loss = table_values(table, "expected_loss"),
    cluster_size = cluster_sizes(table),
    uncertainty = uncertainty,
    ess = ess,
    rhat = table_values(table, "rhat"),
    ari = table_values(table, "ari"),
    warnings = table$value[table$quantity == "warning"],
    psm = psm, files = paths[file.exists(paths)])
  class(out) <- "summary.vornak"
  out
}

print.summary.vornak <- function(x, ...) {
  cat(x$text)
  if (!endsWith(x$text, "\n")) cat("\n")
  invisible(x)
}

plot.vornak <- function(x, summary = NULL, which = 1:4, ...) {
  if (is.null(summary) && any(3:4 %in% which)) summary <- summary.vornak(x)
  chains <- length(x$score)
  colours <- grDevices::hcl.colors(max(chains, 2L), "Dark 3")[seq_len(chains)]
  old <- graphics::par(mfrow = c(2, 2), mar = c(4, 4, 2.5, 1))
  on.exit(graphics::par(old))
  info <- x$draw_info
  burn <- if (is.null(summary)) 0.5 else summary$burn
  # Where the summary's burn-in ends in each chain: the iteration of its first kept draw.
  burn_end <- vapply(split(info$iteration, info$chain), function(it)
    it[min(length(it), floor(burn * length(it)) + 1L)], numeric(1))
  trace_panel <- function(column, label, title, type, pad = 0) {
    if (nrow(info) == 0L) {
      graphics::plot.new()
      graphics::title(paste0(title, ": no draws"))
      return(invisible())
    }
    graphics::plot(NA, xlim = range(info$iteration), ylim = range(info[[column]]) + c(-pad, pad),
                   xlab = "iteration", ylab = label, main = title)
    for (i in seq_len(chains)) {
      rows <- info$chain == i
      graphics::lines(info$iteration[rows], info[[column]][rows], type = type, col = colours[i])
    }
    if (burn > 0) graphics::abline(v = burn_end, lty = 2, col = "grey40")
    if (chains > 1L) graphics::legend("bottomright", names(x$score), col = colours, lty = 1,
                                      bty = "n", cex = 0.8)
  }
  if (1 %in% which)
    trace_panel("score", "score", "Score of the draws (dashed: end of burn-in)", "l")
  if (2 %in% which) trace_panel("k", "clusters", "Clusters per draw", "s", pad = 0.5)
  if (3 %in% which) {
    p <- summary$posterior_k
    graphics::barplot(p, names.arg = names(p), xlab = "clusters", ylab = "posterior probability",
                      main = "Posterior on the number of clusters", col = "grey60",
                      ylim = c(0, 1))
  }
  if (4 %in% which) {
    psm <- summary$psm
    if (is.null(psm)) {
      graphics::plot.new()
      graphics::title("Similarity matrix not written (too many observations)")
    } else {
      order <- order(summary$estimate)
      n <- nrow(psm)
      graphics::image(seq_len(n), seq_len(n), psm[order, order][, n:1], zlim = c(0, 1),
                      col = grDevices::hcl.colors(64, "YlOrRd", rev = TRUE), axes = FALSE,
                      xlab = "observation (ordered by the estimate)", ylab = "",
                      main = "Posterior similarity")
      bounds <- cumsum(table(summary$estimate)) + 0.5
      graphics::abline(v = bounds, h = n + 1 - bounds, col = "grey30", lwd = 0.5)
    }
  }
  invisible(summary)
}

# coda's generic, reachable without attaching coda; with coda attached either one serves.
as.mcmc.list <- function(x, ...) {
  if (!requireNamespace("coda", quietly = TRUE))
    stop("as.mcmc.list() needs the coda package", call. = FALSE)
  coda::as.mcmc.list(x, ...)
}

# Score and number of clusters of the kept draws, one chain each, for coda.
as.mcmc.list.vornak <- function(x, ...) {
  if (!requireNamespace("coda", quietly = TRUE))
    stop("as.mcmc.list() needs the coda package", call. = FALSE)
  info <- x$draw_info
  if (nrow(info) == 0L) stop("the fit has no draws", call. = FALSE)
  coda::mcmc.list(lapply(split(info, info$chain), function(d) {
    step <- if (nrow(d) > 1L) d$iteration[2] - d$iteration[1] else 1
    coda::mcmc(cbind(score = d$score, k = d$k), start = d$iteration[1], thin = step)
  }))
}
