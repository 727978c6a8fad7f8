# The data as R reads them back for the fit's description, and what a fit says about each of
# its clusters. The kind of the data and the settings recommended for it are the native
# recommender's (see choose_settings), the same as the vornak-fit program's.

# Bytes that may precede the first record of a FASTA file.
blank_bytes <- as.raw(c(0x20, 0x09, 0x0d, 0x0a))

# Named aligned sequences from a FASTA file: every line after a header, joined.
read_fasta <- function(path) {
  lines <- readLines(path, warn = FALSE)
  lines <- lines[nzchar(trimws(lines))]
  header <- startsWith(lines, ">")
  record <- cumsum(header)
  sequences <- vapply(split(lines[!header], factor(record[!header], seq_len(sum(header)))),
                      function(parts) paste(trimws(parts), collapse = ""), "")
  stats::setNames(unname(sequences), sub("^>[[:space:]]*([^[:space:]]*).*$", "\\1", lines[header]))
}

# x as R data: sequences (named character vector) or a numeric matrix; a file is read as the
# program reads it (a first non-blank byte '>' makes it FASTA). NULL when it cannot be read.
data_of <- function(x) {
  tryCatch({
    if (is_single_string(x)) {
      head <- readBin(x, "raw", min(file.size(x), 65536))
      head <- head[!head %in% blank_bytes]
      if (length(head) > 0L && head[1] == charToRaw(">")) return(read_fasta(x))
      x <- as.matrix(utils::read.table(x, na.strings = "NA", colClasses = "numeric"))
      dimnames(x) <- NULL
      return(x)
    }
    if (is.character(x)) return(x)
    if (is.data.frame(x)) x <- as.matrix(x)
    if (!is.matrix(x) || !(is.numeric(x) || is.logical(x))) return(NULL)
    storage.mode(x) <- "double"
    x
  }, error = function(e) NULL, warning = function(w) NULL)
}

# Per cluster of the estimate: its size and mean membership probability, and its profile:
# column means (real data), shares of 1s (binary), level frequencies (one levels-by-columns
# matrix per cluster) or the consensus sequence.
describe_clusters <- function(data, kind, estimate, membership) {
  clusters <- seq_len(max(estimate))
  table <- data.frame(cluster = clusters, size = tabulate(estimate, length(clusters)),
                      membership = as.vector(tapply(membership, factor(estimate, clusters),
                                                    mean)))
  if (is.null(data)) return(list(table = table, profile = NULL))
  rows <- lapply(clusters, function(g) which(estimate == g))
  profile <- switch(kind,
    sequences = {
      residues <- do.call(rbind, strsplit(data, "", fixed = TRUE))
      vapply(rows, function(r) paste(apply(residues[r, , drop = FALSE], 2, function(column)
        names(which.max(table(column)))), collapse = ""), "")
    },
    levels = {
      levels <- seq(0, max(data, na.rm = TRUE))
      lapply(rows, function(r) {
        shares <- apply(data[r, , drop = FALSE], 2, function(column)
          tabulate(factor(column, levels), length(levels)) / max(1, sum(!is.na(column))))
        dimnames(shares) <- list(level = levels, column = colnames(data))
        shares
      })
    },
    do.call(rbind, lapply(rows, function(r) colMeans(data[r, , drop = FALSE], na.rm = TRUE))))
  if (is.matrix(profile)) dimnames(profile) <- list(clusters, colnames(data))
  else names(profile) <- clusters
  list(table = table, profile = profile)
}
