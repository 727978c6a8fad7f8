# Data as users have them: delimited files (read by the native reader that vornak-fit uses),
# data frames with factor or character columns, names of rows and columns, known classes to
# compare the estimate with, and the table of observations, clusters and membership
# probabilities.

# Classes of a data frame's column that become numbers.
numeric_like <- function(column) is.numeric(column) || is.logical(column)

# At most this many distinct values, and each on two rows on average: a class column.
few_values <- function(values) {
  distinct <- length(unique(values[!is.na(values)]))
  distinct >= 1L && distinct <= 20L && 2L * distinct <= length(values)
}

# x made ready for write_data: numbers (or sequences, or a file path the engine reads as it
# is), with the names and known classes found on the way and the notes on left-out columns.
# classes: NULL, a column name or one label per observation.
prepare_data <- function(x, classes = NULL, id = NULL, separator = NULL, decimal_comma = FALSE) {
  out <- list(x = x, row_names = NULL, column_names = NULL, classes = NULL, class_source = NULL,
              notes = character(0), table = FALSE)
  class_name <- if (is_single_string(classes)) classes
  if (!is.null(classes) && is.null(class_name) && !is.atomic(classes))
    stop("'classes' must name a column of 'x' or give one label per observation", call. = FALSE)
  if (is_single_string(x)) {
    if (dir.exists(x))
      stop("'x' names a folder, not a data file: ", x, call. = FALSE)
    if (!file.exists(x))
      stop("no data file ", x, " (from ", getwd(), "): 'x' as a single string is the path of ",
           "a FASTA alignment, a matrix of numbers or a CSV/TSV table", call. = FALSE)
    t <- .Call(vornak_R_table, enc2native(x), enc2native(if (is.null(id)) "" else id),
               enc2native(if (is.null(separator)) "" else separator), isTRUE(decimal_comma))
    if (t$status != 0L) stop(sub("--decimal-comma", "decimal_comma = TRUE", t$error, fixed = TRUE),
                             call. = FALSE)
    if (!t$table) {
      if (!is.null(class_name))
        stop("'classes' names a column, but ", x, " has no header row: give one label per ",
             "observation", call. = FALSE)
    } else {
      out$table <- TRUE
      out$x <- t$matrix
      out$row_names <- if (length(t$row_names)) t$row_names
      out$column_names <- if (length(t$column_names)) t$column_names
      text <- t$text_columns
      if (!is.null(class_name)) {
        if (class_name %in% names(text)) {
          out$classes <- text[[class_name]]
          out$classes[out$classes == ""] <- NA
        } else if (class_name %in% out$column_names) {
          # A numeric column of class codes: taken out of the matrix the chains read.
          rows <- strsplit(strsplit(t$matrix, "\n", fixed = TRUE)[[1]], " ", fixed = TRUE)
          at <- match(class_name, out$column_names)
          if (length(out$column_names) < 2L)
            stop("'classes' names the only numeric column of ", x, ": ", class_name, call. = FALSE)
          out$classes <- vapply(rows, `[`, "", at)
          out$classes[out$classes == "NA"] <- NA
          out$x <- paste0(vapply(rows, function(r) paste(r[-at], collapse = " "), ""), "\n",
                          collapse = "")
          out$column_names <- out$column_names[-at]
        } else {
          stop("'classes' names no column of ", x, ": ", class_name,
               if (t$class_columns > 0L) paste0(" (class columns: ",
                 paste(names(text)[seq_len(t$class_columns)], collapse = ", "), ")"), call. = FALSE)
        }
        out$class_source <- paste("column", class_name, "of", x)
      }
      out$notes <- sub("vornak-fit --classes (.*)$", "classes = \"\\1\"", t$notes)
      if (!is.null(class_name))
        out$notes <- out$notes[!startsWith(out$notes, paste0("Column \"", class_name, "\" "))]
    }
  } else if (is.data.frame(x)) {
    if (nrow(x) < 1L || ncol(x) < 1L) stop("'x' has no observations or no variables", call. = FALSE)
    if (is.null(names(x)) || anyNA(names(x))) names(x) <- paste0("V", seq_along(x))
    if (!is.null(class_name)) {
      if (!class_name %in% names(x))
        stop("'classes' names no column of 'x': ", class_name, "; its columns: ",
             paste(names(x), collapse = ", "), call. = FALSE)
      out$classes <- as.character(x[[class_name]])
      out$class_source <- paste("column", class_name)
      x[[class_name]] <- NULL
    }
    if (.row_names_info(x) > 0L) out$row_names <- rownames(x)
    keep <- logical(ncol(x))
    for (j in seq_along(x)) {
      column <- x[[j]]
      name <- names(x)[j]
      if (numeric_like(column) && is.null(dim(column))) {
        keep[j] <- TRUE
      } else if (is.factor(column) || is.character(column)) {
        values <- as.character(column)
        if (is.null(out$row_names) && j == 1L && !anyNA(values) && !anyDuplicated(values)) {
          out$row_names <- values
          out$notes <- c(out$notes, paste0("Row names: column \"", name, "\""))
        } else if (few_values(values)) {
          out$notes <- c(out$notes, paste0(
            "Column \"", name, "\" (", length(unique(values[!is.na(values)])), " values) is not ",
            "clustered; to compare the clusters with it: classes = \"", name, "\""))
        } else {
          out$notes <- c(out$notes, paste0("Column \"", name, "\" left out: text with ",
                                           length(unique(values[!is.na(values)])),
                                           " distinct values"))
        }
      } else {
        stop("column \"", name, "\" of 'x' is of class ", paste(class(column), collapse = "/"),
             ": vornak reads numeric, logical, factor or character columns", call. = FALSE)
      }
    }
    if (!any(keep))
      stop("'x' has no numeric column (columns: ", paste(names(x), collapse = ", "), "): ",
           "vornak clusters numbers; factor and character columns are left out", call. = FALSE)
    out$column_names <- names(x)[keep]
    out$x <- as.matrix(x[keep])
  } else if (is.matrix(x)) {
    out$row_names <- rownames(x)
    out$column_names <- colnames(x)
  } else if (is.character(x)) {
    out$row_names <- names(x)
  } else if (!is.atomic(x) || is.null(x)) {
    stop("'x' must be a numeric matrix, a data frame, a character vector of sequences or a ",
         "file path; it is ", if (is.null(x)) "NULL" else paste0("a ", class(x)[1]), call. = FALSE)
  }
  if (!is.null(classes) && is.null(class_name)) {
    out$classes <- as.character(classes)
    out$class_source <- "the labels given"
  }
  out
}

# The adjusted Rand index of two labelings (1: the same grouping, about 0: chance).
adjusted_rand <- function(a, b) {
  pairs <- function(v) sum(v * (v - 1) / 2)
  joint <- pairs(table(a, b))
  rows <- pairs(table(a))
  cols <- pairs(table(b))
  expected <- if (length(a) > 1L) rows * cols / pairs(length(a)) else 0
  most <- (rows + cols) / 2
  if (most == expected) return(1)
  (joint - expected) / (most - expected)
}

# The variation of information of two labelings in bits (0: the same grouping).
variation_of_information <- function(a, b) {
  p <- table(a, b) / length(a)
  pa <- rowSums(p)
  pb <- colSums(p)
  cells <- which(p > 0, arr.ind = TRUE)
  pij <- p[cells]
  -sum(pij * (log2(pij / pa[cells[, 1]]) + log2(pij / pb[cells[, 2]])))
}

# The estimate against known classes: the confusion table and the two figures, over the
# observations whose class is known.
compare_classes <- function(estimate, classes, source) {
  known <- !is.na(classes) & classes != ""
  list(source = source, table = table(cluster = estimate[known], class = classes[known]),
       adjusted_rand = adjusted_rand(estimate[known], classes[known]),
       variation_of_information = variation_of_information(estimate[known], classes[known]),
       unlabelled = sum(!known))
}

# The names, the observations' table, the comparison with the classes and, with column
# selection, each column's probability of being clustered (the mean over the chains' .columns
# files).
add_tables <- function(fit, prepared) {
  n <- fit$n
  names <- if (!is.null(prepared$row_names) && length(prepared$row_names) == n) prepared$row_names
           else as.character(seq_len(n))
  fit$names <- names
  fit$column_names <- prepared$column_names
  if (!is.null(fit$estimate))
    fit$observations <- data.frame(name = names, cluster = fit$estimate,
                                   membership = fit$membership, stringsAsFactors = FALSE)
  if (!is.null(prepared$classes) && !is.null(fit$estimate)) {
    if (length(prepared$classes) != n)
      stop("'classes' has ", length(prepared$classes), " labels where 'x' has ", n,
           " observations", call. = FALSE)
    fit$classes <- compare_classes(fit$estimate, prepared$classes, prepared$class_source)
  }
  if ("columns" %in% colnames(fit$files)) {
    files <- fit$files[, "columns"]
    files <- files[file.exists(files) & file.size(files) > 0]
    if (length(files) > 0L) {
      values <- lapply(files, function(f) utils::read.table(f, col.names = c("column", "p")))
      p <- Reduce(`+`, lapply(values, `[[`, "p")) / length(values)
      column <- values[[1]]$column
      fit$column_probability <- data.frame(
        column = if (!is.null(prepared$column_names) && length(prepared$column_names) == length(p))
          prepared$column_names else as.character(column),
        clustered = p, stringsAsFactors = FALSE)
    }
  }
  fit
}

print_classes <- function(classes) {
  cat(sprintf("against the known classes (%s): adjusted Rand index %.3f, variation of information %.3f bits%s\n",
              classes$source, classes$adjusted_rand, classes$variation_of_information,
              if (classes$unlabelled > 0L) sprintf(" (%d without a class left out)", classes$unlabelled) else ""))
  print(classes$table)
}
