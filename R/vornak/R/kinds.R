# The kind of the data, the settings recommended for each kind (the same table as the
# vornak-fit program's) and what a fit says about each of its clusters.

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

# "sequences", "binary" (every cell 0 or 1), "levels" (whole numbers 0..19, some above 1) or
# "real"; missing cells do not count.
data_kind <- function(data) {
  if (is.character(data)) return("sequences")
  cells <- data[!is.na(data)]
  if (length(cells) > 0L && all(cells == 0 | cells == 1)) return("binary")
  if (length(cells) > 0L && all(cells == round(cells) & cells >= 0 & cells <= 19)) return("levels")
  "real"
}

# The kind a model reads, for a fit whose model was given.
model_kind <- function(model) {
  switch(model, ProteinSequence = "sequences", HDBern = "binary", HDGBern = "levels", "real")
}

# Full covariances want complete rows, no column of a single value and at least five rows per
# (columns + 1); other real data get the diagonal model.
suits_mvn <- function(data) {
  constant <- apply(data, 2, function(column) length(unique(column[!is.na(column)])) < 2L)
  !anyNA(data) && !any(constant) && nrow(data) >= 5L * (ncol(data) + 1L)
}

# The recommended settings of a kind.
recommended <- function(kind, data) {
  switch(kind,
         sequences = list(model = "ProteinSequence", prior = "bg", heated = 1, fast = FALSE,
                          tree = TRUE),
         binary = list(model = "HDBern", prior = "flat", heated = 4, fast = FALSE, tree = FALSE),
         levels = list(model = "HDGBern", prior = "levels", heated = 1, fast = FALSE,
                       tree = FALSE),
         real = list(model = if (suits_mvn(data)) "mvn" else "mclust2",
                     prior = "1", heated = 1, fast = TRUE, tree = FALSE))
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
