# print, summary, plot and coda's as.mcmc.list for "vornak" objects. The summary comes from
# the package's native summary engine, the one behind the vornak-summary program.

print.vornak <- function(x, ...) {
  s <- x$settings
  length_text <- c(if (!is.null(s$iterations)) paste(int_text(s$iterations), "iterations"),
                   if (!is.null(s$B)) paste0("10^", s$B, " iterations"),
                   if (!is.null(s$minutes)) paste(s$minutes, "minutes at most"))
  if (isTRUE(s$until_agreement))
    length_text <- paste("until the chains agree,", s$minutes, "minutes at most")
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
  if (!is.null(x$choice))
    cat(sprintf("settings chosen for %s data: %s\n", x$choice$kind, choice_text(x$choice)))
  verdict <- if (!is.null(x$stop$agreement)) attr(x$stop$agreement, "verdict")
  if (!is.null(x$stop) && x$stop$by %in% c("agreement", "limit"))
    cat(sprintf("stopped %s after %.0f s\n", if (x$stop$by == "agreement")
      "once the chains agreed" else if (length(verdict) == 1L && nzchar(verdict))
      paste0("at the time limit: the chains ", verdict) else
      "at the time limit, the chains not yet agreeing",
      x$stop$seconds))
  if (!is.null(x$clusters)) {
    cat("estimate (summary defaults): cluster sizes and mean membership probabilities\n")
    print(x$clusters$table, row.names = FALSE, digits = 3)
  }
  if (!is.null(x$classes)) print_classes(x$classes)
  invisible(x)
}

# The chosen settings as the program's options.
choice_text <- function(choice) paste(choice$words, collapse = " ")

# A prefix no earlier summary of this fit used: the engine does not overwrite files.
summary_prefix <- function(dir) {
  for (i in seq_len(10000L)) {
    prefix <- file.path(dir, if (i == 1L) "summary" else paste0("summary", i))
    if (length(Sys.glob(paste0(prefix, ".*"))) == 0L) return(prefix)
  }
  stop("no free summary file name in ", dir, call. = FALSE)
}

# Runs the engine: args as for the vornak-summary program; stops with its failure line.
run_summary_engine <- function(args, quiet = FALSE) {
  result <- .Call(vornak_R_summary, enc2native(args))
  if (result$status != 0L) stop(sub("\n+$", "", result$error), call. = FALSE)
  if (nzchar(result$error) && !quiet) message(sub("\n+$", "", result$error))
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

# The fit's draws files, or, once they are gone (a fit read back with readRDS in another
# session), the same lines written from the object into a fresh temporary folder; dir is
# where a summary may write.
draws_files <- function(object) {
  files <- object$files[, "draws"]
  if (all(file.exists(files)) && dir.exists(object$dir))
    return(list(files = files, dir = object$dir))
  folder <- tempfile("vornak-draws")
  dir.create(folder)
  paths <- file.path(folder, basename(files))
  info <- object$draw_info
  for (i in seq_along(paths)) {
    rows <- which(info$chain == i)
    labels <- apply(object$draws[rows, , drop = FALSE] - 1L, 1, paste, collapse = " ")
    lines <- if (length(rows) == 0L) character(0) else
      paste(int_text(info$iteration[rows]), sprintf("%.17g", info$score[rows]), info$k[rows],
            labels)
    writeLines(lines, paths[i])
  }
  list(files = paths, dir = folder)
}

summary.vornak <- function(object, burn = 0.5, loss = c("vi", "binder"), ...) {
  summarise(object, burn, match.arg(loss))
}

summarise <- function(object, burn, loss, quiet = FALSE) {
  if (!is.numeric(burn) || length(burn) != 1L || is.na(burn) || burn < 0 || burn >= 1)
    stop("'burn' must be a fraction from 0 up to (not including) 1", call. = FALSE)
  if (nrow(object$draw_info) == 0L) stop("no draws to summarise: the fit kept none", call. = FALSE)
  where <- draws_files(object)
  prefix <- summary_prefix(where$dir)
  text <- run_summary_engine(c("--burn", sprintf("%.17g", burn), "--loss", loss, "-o", prefix,
                               where$files), quiet)
  read_summary(prefix, text, object$n, loss, burn)
}

# The estimate, each observation's membership probability (the mean posterior probability
# of sharing a cluster with its cluster-mates in the estimate) and each cluster's
# description, from the summary with its defaults; a fit without enough draws stays as it is.
describe_fit <- function(fit) {
  s <- tryCatch(summarise(fit, 0.5, "vi", quiet = TRUE), error = function(e) NULL)
  if (is.null(s) || is.null(s$estimate)) return(fit)
  fit$estimate <- s$estimate
  fit$membership <- 1 - s$uncertainty
  fit$clusters <- describe_clusters(fit$data, fit$kind, s$estimate, fit$membership)
  fit$columns <- s$columns
  fit
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
    starts = table$value[table$quantity == "start"],
    modes = modes_table(table),
    estimate_chains = as.integer(table$chain[table$quantity == "in_estimate" & table$value == "1"]),
    psm = psm, files = paths[file.exists(paths)],
    columns = column_table(table), P = table_values(table, "P"))
  class(out) <- "summary.vornak"
  out
}

# The modes the chains ended in, best first: score, k, log odds against the best, chains.
modes_table <- function(table) {
  value <- function(q) table$value[table$quantity == q]
  if (length(value("mode_score")) == 0L) return(NULL)
  modes <- as.integer(table$item[table$quantity == "mode_score"])
  chain_mode <- table$value[table$quantity == "mode"]
  chain <- table$chain[table$quantity == "mode"]
  data.frame(mode = modes, score = as.numeric(value("mode_score")), k = as.integer(value("mode_k")),
             log_odds = as.numeric(value("mode_log_odds")),
             chains = vapply(modes, function(m) paste(chain[chain_mode == m], collapse = " "), ""),
             stringsAsFactors = FALSE)
}

# Column selection (-V): each column's probability of being clustered, as a data frame with
# whether it counts as selected (0.5 or more); NULL without -V.
column_table <- function(table) {
  p <- table_values(table, "column_probability")
  if (length(p) == 0L) return(NULL)
  data.frame(column = as.integer(names(p)), probability = unname(p),
             selected = unname(p) >= 0.5)
}

print.summary.vornak <- function(x, ...) {
  cat(x$text)
  if (!endsWith(x$text, "\n")) cat("\n")
  invisible(x)
}

plot.vornak <- function(x, summary = NULL, which = 1:4, ...) {
  # plot(fit, "clusters"): the second argument names the picture.
  if (is.character(summary)) {
    which <- summary
    summary <- NULL
  }
  if (identical(which, "clusters")) return(plot_clusters(x, summary))
  if (is.null(summary) && any(3:4 %in% which)) summary <- summary.vornak(x)
  if (is.null(summary) && 1 %in% which && length(x$score) > 1L)
    summary <- tryCatch(summary.vornak(x), error = function(e) NULL)
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
    # Chains that ended apart: each mode's best score, and where the estimate comes from.
    modes <- if (!is.null(summary)) summary$modes
    if (column == "score" && !is.null(modes) && nrow(modes) > 1L) {
      graphics::abline(h = modes$score, lty = 3, col = "red")
      graphics::mtext(sprintf("%d modes; the estimate from chain(s) %s only", nrow(modes),
                              paste(summary$estimate_chains, collapse = ", ")),
                      side = 3, line = 0.2, cex = 0.7, col = "red")
    }
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

# Score and number of clusters of the kept draws, one chain each, for coda. Chains stopped
# once they agree keep different numbers of draws, and coda wants the same iterations in every
# chain: each is cut to the draws all chains have (the shortest chain's), then the first burn
# share of those is left out, as the summary leaves it out.
as.mcmc.list.vornak <- function(x, burn = 0.5, ...) {
  if (!requireNamespace("coda", quietly = TRUE))
    stop("as.mcmc.list() needs the coda package", call. = FALSE)
  if (!is.numeric(burn) || length(burn) != 1L || is.na(burn) || burn < 0 || burn >= 1)
    stop("'burn' must be a fraction from 0 up to (not including) 1", call. = FALSE)
  info <- x$draw_info
  if (nrow(info) == 0L) stop("the fit has no draws", call. = FALSE)
  chains <- split(info, info$chain)
  common <- min(vapply(chains, nrow, integer(1)))
  if (common == 0L) stop("a chain keeps no draw", call. = FALSE)
  skip <- floor(burn * common)
  if (skip >= common) stop("a chain keeps no draw after its burn-in", call. = FALSE)
  coda::mcmc.list(lapply(chains, function(d) {
    d <- d[seq.int(skip + 1L, common), ]
    step <- if (nrow(d) > 1L) d$iteration[2] - d$iteration[1] else 1
    coda::mcmc(cbind(score = d$score, k = d$k), start = d$iteration[1], thin = step)
  }))
}

# The data coloured by the estimate's clusters: real data on the pair of columns or the first
# two principal components, matrices as a heat map of the rows ordered by cluster, sequences
# as the alignment ordered by cluster with each cluster's consensus below its rows. Gives
# what it drew: the estimate, and the points, or the rows in their order (and their labels).
# The residue classes of the report's alignment picture, in its colours.
residue_classes <- data.frame(
  letters = c("AILMFWV", "KR", "DE", "NQST", "C", "G", "P", "HY", "-*."),
  colour = c("#a9c6ea", "#f5b7b1", "#d7bde2", "#c5e8b7", "#f9e79f", "#fad7a0", "#e5e0c0",
             "#a8e0e6", "#f2f2f2"),
  name = c("hydrophobic AILMFWV", "positive KR", "negative DE", "polar NQST", "cysteine C",
           "glycine G", "proline P", "aromatic HY", "gap"),
  stringsAsFactors = FALSE)

residue_class <- function(characters) {
  upper <- toupper(characters)
  class <- rep(1L, length(upper))
  for (r in seq_len(nrow(residue_classes)))
    class[vapply(upper, function(ch) grepl(ch, residue_classes$letters[r], fixed = TRUE),
                 logical(1))] <- r
  class
}

# The rule the report shares: the columns' standard deviations (over their seen cells,
# constant columns left out) differ by more than ten times.
spreads_differ <- function(data) {
  spread <- apply(data, 2, stats::sd, na.rm = TRUE)
  spread <- spread[is.finite(spread) & spread > 0]
  length(spread) > 0L && max(spread) > 10 * min(spread)
}

plot_clusters <- function(x, summary = NULL) {
  data <- x$data
  if (is.null(data)) stop("the fit holds no data to draw", call. = FALSE)
  estimate <- if (!is.null(summary)) summary$estimate else x$estimate
  if (is.null(estimate)) estimate <- summary.vornak(x)$estimate
  groups <- max(estimate)
  colours <- grDevices::hcl.colors(max(groups, 2L), "Dark 3")[seq_len(groups)]
  order <- order(estimate)
  bounds <- cumsum(tabulate(estimate, groups))
  if (x$kind == "real") {
    filled <- apply(data, 2, function(column) {
      column[is.na(column)] <- mean(column, na.rm = TRUE)
      column
    })
    filled <- matrix(filled, nrow(data))
    if (ncol(filled) <= 2L) {
      points <- if (ncol(filled) == 1L) cbind(seq_len(nrow(filled)), filled) else filled
      labels <- if (ncol(filled) == 1L) c("observation", "value") else c("column 1", "column 2")
    } else {
      # The report's rule: standardise when the spreads differ tenfold (units differ).
      standardised <- spreads_differ(data)
      spread <- apply(filled, 2, stats::sd)
      scaled <- if (standardised) sweep(filled, 2, ifelse(spread > 0, apply(data, 2, stats::sd,
                                        na.rm = TRUE), 1), "/") else filled
      pca <- stats::prcomp(scaled)
      points <- pca$x[, 1:2]
      share <- 100 * pca$sdev[1:2]^2 / sum(pca$sdev^2)
      labels <- sprintf("principal component %d (%.1f%%)", 1:2, share)
    }
    graphics::plot(points, col = colours[estimate], pch = 15 + (estimate - 1L) %% 5L,
                   xlab = labels[1], ylab = labels[2], main = "Data coloured by cluster",
                   sub = if (ncol(filled) > 2L) {
                     if (standardised) "columns standardised: their spreads differ more than tenfold"
                     else "columns not standardised: their spreads differ less than tenfold"
                   })
    graphics::legend("topright", paste("cluster", seq_len(groups)), col = colours,
                     pch = 15 + (seq_len(groups) - 1L) %% 5L, bty = "n", cex = 0.8)
    drawn <- list(estimate = estimate, points = points,
                  standardised = ncol(filled) > 2L && standardised)
  } else if (x$kind == "sequences") {
    residues <- do.call(rbind, strsplit(data, "", fixed = TRUE))
    consensus <- do.call(rbind, strsplit(
      describe_clusters(data, "sequences", estimate, estimate * 0)$profile, "", fixed = TRUE))
    rows <- unlist(lapply(seq_len(groups), function(g)
      c(which(estimate == g), nrow(residues) + g)))
    shown <- rbind(residues, consensus)[rows, , drop = FALSE]
    # The report's residue classes and their pale colours; any other character counts as
    # hydrophobic, as the model reads it as A.
    codes <- matrix(residue_class(shown), nrow(shown))
    graphics::image(seq_len(ncol(codes)), seq_len(nrow(codes)), t(codes[nrow(codes):1, ,
                    drop = FALSE]), col = residue_classes$colour, zlim = c(1, nrow(residue_classes)),
                    axes = FALSE, xlab = "alignment column",
                    ylab = "", main = "Alignment ordered by cluster (consensus below each)")
    # Letters where a cell is large enough to read one.
    if (ncol(shown) <= 80L && nrow(shown) <= 60L)
      graphics::text(rep(seq_len(ncol(shown)), each = nrow(shown)), rep(rev(seq_len(nrow(shown))),
                     ncol(shown)), as.vector(shown), cex = min(0.8, 25 / max(ncol(shown), nrow(shown))),
                     family = "mono")
    graphics::legend("bottom", legend = residue_classes$name, fill = residue_classes$colour,
                     ncol = 5L, cex = 0.65, bty = "n", xpd = NA, inset = c(0, -0.32))
    names <- c(if (is.null(names(data))) paste0("seq", seq_along(data)) else names(data),
               paste("consensus", seq_len(groups)))[rows]
    graphics::axis(2, at = rev(seq_along(rows)), labels = names, las = 1, cex.axis = 0.6,
                   tick = FALSE)
    graphics::axis(1)
    ends <- cumsum(tabulate(estimate, groups) + 1L)
    graphics::abline(h = length(rows) - ends[-groups] + 0.5, col = "grey20")
    drawn <- list(estimate = estimate, rows = rows, labels = names)
  } else {
    shown <- data[order, , drop = FALSE]
    graphics::image(seq_len(ncol(shown)), seq_len(nrow(shown)), t(shown[nrow(shown):1, ,
                    drop = FALSE]), col = grDevices::hcl.colors(64, "YlGnBu", rev = TRUE),
                    xlab = "column", ylab = "rows ordered by cluster", axes = FALSE,
                    main = if (x$kind == "binary") "Rows ordered by cluster (dark: 1)"
                           else "Rows ordered by cluster (dark: high levels)")
    graphics::axis(1)
    graphics::abline(h = nrow(shown) - bounds[-groups] + 0.5, col = colours[1], lwd = 2)
    graphics::axis(4, at = nrow(shown) - (bounds - tabulate(estimate, groups) / 2) + 0.5,
                   labels = seq_len(groups), tick = FALSE, las = 1)
    drawn <- list(estimate = estimate, rows = order)
  }
  invisible(drawn)
}
