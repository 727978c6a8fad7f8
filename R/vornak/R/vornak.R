# The R face of vornak: takes data and settings, writes the data for the native side, runs
# one or several chains in a folder of their own and reads their files into a "vornak" object.

is_single_string <- function(x) is.character(x) && length(x) == 1L && !is.na(x)

is_whole_number <- function(x, low = -Inf, high = Inf) {
  is.numeric(x) && length(x) == 1L && !is.na(x) && is.finite(x) && x == round(x) &&
    x >= low && x <= high
}

# R's own type check; the ranges of the values are the native side's (driver/options.cpp).
check_whole <- function(value, name) {
  if (!is_whole_number(value))
    stop(sprintf("'%s' must be a single whole number", name), call. = FALSE)
}

# Bytes below 32 and 127: line breaks, tabs and other control characters (by byte, so that
# the bytes of a UTF-8 character are never taken for one).
control_bytes <- "[\\x00-\\x1f\\x7f]"

# Integers for the command line: never in scientific notation.
int_text <- function(x) format(x, scientific = FALSE, trim = TRUE)

# Puts a file into the run folder from source (a path); an equal file already there is
# kept, a different one is never replaced.
place_file <- function(source, dir, name) {
  target <- file.path(dir, name)
  if (file.exists(target)) {
    same <- normalizePath(source) == normalizePath(target) ||
      identical(unname(tools::md5sum(source)), unname(tools::md5sum(target)))
    if (!same) stop(target, " exists with other contents: choose another 'dir'", call. = FALSE)
  } else if (!file.copy(source, target)) {
    stop("cannot write ", target, call. = FALSE)
  }
  name
}

# Lines written through a scratch file, so that they too go through place_file.
place_lines <- function(lines, dir, name) {
  scratch <- tempfile()
  on.exit(unlink(scratch))
  writeLines(lines, scratch)
  place_file(scratch, dir, name)
}

# Writes x where the native side reads it, in dir, and returns the file's name there. What
# is written follows the type of x alone; whether it suits the model is the native side's
# call. Reals keep all 17 significant digits, so they round-trip exactly (whole numbers print
# as such); row and column names are never written, so they are never read as data.
write_data <- function(x, dir) {
  if (is_single_string(x)) {
    if (!file.exists(x) || dir.exists(x))
      stop("'x' as a single string must be the path of an existing data file: ", x,
           call. = FALSE)
    return(place_file(x, dir, basename(x)))
  }
  if (is.character(x)) {
    if (anyNA(x)) stop("'x' has missing sequences", call. = FALSE)
    # A line break would start a new FASTA record; the reader counts bytes, R characters.
    bad <- grepl(control_bytes, x, perl = TRUE, useBytes = TRUE)
    if (any(bad))
      stop("sequence ", which(bad)[1], " of 'x' holds a control character (a line break, ",
           "tab or other): ", encodeString(x[which(bad)[1]]), call. = FALSE)
    bad <- grepl("[^\\x01-\\x7f]", x, perl = TRUE, useBytes = TRUE)
    if (any(bad))
      stop("sequence ", which(bad)[1], " of 'x' holds a character that is not ASCII: ",
           x[which(bad)[1]], "; residues are ASCII letters, '-' and '*'", call. = FALSE)
    if (length(unique(nchar(x))) != 1L)
      stop("the sequences in 'x' must be aligned: all of one length", call. = FALSE)
    ids <- names(x)
    if (is.null(ids)) ids <- paste0("seq", seq_along(x))
    bad <- grepl(control_bytes, ids, perl = TRUE, useBytes = TRUE)
    if (any(bad))
      stop("the name of sequence ", which(bad)[1], " holds a control character (a line ",
           "break, tab or other): ", encodeString(ids[which(bad)[1]]), call. = FALSE)
    ids <- gsub("[[:space:]]+", "_", ids)
    return(place_lines(paste0(">", ids, "\n", x), dir, "data.fasta"))
  }
  if (is.data.frame(x)) {
    numeric_column <- vapply(x, function(column) is.numeric(column) || is.logical(column),
                             logical(1))
    if (!all(numeric_column))
      stop("every column of 'x' must be numeric; not: ",
           paste(names(x)[!numeric_column], collapse = ", "), call. = FALSE)
    x <- as.matrix(x)
  }
  if (!is.matrix(x) || !(is.numeric(x) || is.logical(x)))
    stop("'x' must be a numeric matrix, a data frame, a character vector of sequences or a ",
         "file path", call. = FALSE)
  if (nrow(x) < 1L || ncol(x) < 1L) stop("'x' has no observations or no variables", call. = FALSE)
  if (any(is.infinite(x))) stop("'x' has infinite values", call. = FALSE)
  # + 0 turns -0 into 0, which the integer readers take too. A missing cell (NA or NaN) is
  # written NA, which the matrix models read as missing and the others refuse.
  cells <- matrix(sprintf("%.17g", as.double(x) + 0), nrow(x))
  cells[is.na(x)] <- "NA"
  lines <- do.call(paste, c(lapply(seq_len(ncol(cells)), function(j) cells[, j]), sep = " "))
  place_lines(lines, dir, "data.dat")
}

# Writes a starting partition (labels of any kind, one per observation) as 0-based labels.
write_start <- function(start, dir) {
  if (is_single_string(start) && file.exists(start)) return(place_file(start, dir, "start.z"))
  if (!is.atomic(start) || length(start) < 1L || anyNA(start))
    stop("'start' must be a partition (one label per observation) or a file path", call. = FALSE)
  place_lines(paste(match(start, unique(start)) - 1L, collapse = " "), dir, "start.z")
}

# A file name as a command-line word: every word is compared with the option names, so a name
# that starts with '-' ("-x", "-z") would act as an option. "./" keeps it a file; other names
# stay as they are, since the file stem is cut at the first dot of the whole name.
file_word <- function(name) if (startsWith(name, "-")) paste0("./", name) else name

# Command-line words of one chain.
chain_words <- function(settings, data_file, start_file, seed) {
  words <- c("-m", settings$model, "-f", file_word(data_file), "-k", int_text(settings$k),
             "-h", settings$heuristic, "-c", settings$criterion,
             "-a", sprintf("%.17g", log(settings$alpha)), "-s", int_text(seed),
             "-d", int_text(settings$thin))
  if (settings$quiet) words <- c(words, "-q")
  if (!is.null(settings$iterations)) words <- c(words, "-i", int_text(settings$iterations))
  if (!is.null(settings$B)) words <- c(words, "-B", int_text(settings$B))
  # Until agreement, R stops the chains; their own limit is a backstop past R's.
  if (!is.null(settings$minutes))
    words <- c(words, "-t", int_text(if (isTRUE(settings$until_agreement))
      ceiling(settings$minutes) + 1 else settings$minutes))
  if (!is.null(settings$prior)) words <- c(words, "-p", settings$prior)
  if (!is.null(start_file)) words <- c(words, "-z", file_word(start_file))
  if (isTRUE(settings$tree)) words <- c(words, "-Z", "tree")
  if (isTRUE(settings$fast)) words <- c(words, "-x")
  if (!is.null(settings$trace_thin)) words <- c(words, "-e", int_text(settings$trace_thin))
  if (!is.null(settings$label)) words <- c(words, "-l", settings$label)
  if (!is.null(settings$columns)) words <- c(words, "-V", sprintf("%.17g", settings$columns))
  if (settings$heated != 1) words <- c(words, "-T", int_text(settings$heated))
  if (!is.null(settings$threads)) words <- c(words, "-j", int_text(settings$threads))
  enc2native(words)
}

# One chain in this process; returns the native outcome: status, output, error and the
# files of the run by kind. A forked chain is given its parent's process id: once that
# process is gone, the chain stops as after a SIGTERM of its own (0: no parent to watch).
run_chain <- function(words, progress, title, total, parent = 0) {
  .Call(vornak_R_run, words, progress, title, as.double(total), as.double(parent))
}

# The files a chain's run will write, named by kind, from the native side's own plan;
# settings it refuses before a run are an R error with its line.
plan_chain <- function(words) {
  plan <- .Call(vornak_R_plan, words)
  if (plan$status != 0L) stop(sub("\n+$", "", plan$error), call. = FALSE)
  plan$files
}

# A number of minutes to run until agreement: any positive number.
check_minutes <- function(minutes) {
  if (!is.numeric(minutes) || length(minutes) != 1L || is.na(minutes) || !is.finite(minutes) ||
      minutes <= 0)
    stop("'minutes' must be a positive number", call. = FALSE)
}

check_flag <- function(value, name) {
  if (!is.logical(value) || length(value) != 1L || is.na(value))
    stop(sprintf("'%s' must be TRUE or FALSE", name), call. = FALSE)
}

vornak <- function(x, model, k = 0, heuristic = "OA", iterations = NULL, minutes = NULL,
                   prior = NULL, alpha = 1, criterion = "integrated", seed = 2, chains = NULL,
                   thin = NULL, start = NULL, quiet = TRUE, dir = tempfile("vornak"),
                   label = NULL, B = NULL, columns = NULL, heated = NULL, threads = NULL,
                   fast = NULL, progress = getOption("vornak.progress", interactive()),
                   rhat = 1.01, ess = 400, cl = NULL) {
  call <- match.call()
  # Without a model the data's kind chooses the recommended settings; what is given stays.
  chosen <- NULL
  if (missing(model) || is.null(model)) {
    data <- data_of(x)
    if (is.null(data))
      stop("'x' must be a numeric matrix, a data frame, a character vector of sequences or ",
           "the path of a readable data file to choose a model for it", call. = FALSE)
    kind <- data_kind(data)
    chosen <- c(list(kind = kind), recommended(kind, data))
    model <- chosen$model
    if (is.null(prior)) prior <- chosen$prior
    if (is.null(heated)) heated <- chosen$heated
    if (is.null(fast)) fast <- chosen$fast
    if (is.null(start) && chosen$tree) start <- "tree"
    if (is.null(chains)) {
      cores <- parallel::detectCores()
      chains <- max(4L, if (is.na(cores)) 1L else cores)
    }
  }
  until_agreement <- !is.null(chosen) && is.null(iterations) && is.null(B)
  if (is.null(chains)) chains <- 1
  if (is.null(heated)) heated <- 1
  if (is.null(fast)) fast <- FALSE
  # Names of models, heuristics, priors and criteria are the native side's to check.
  for (name in c("model", "heuristic", "criterion"))
    if (!is_single_string(get(name)) || get(name) == "")
      stop(sprintf("'%s' must be a single string", name), call. = FALSE)
  check_whole(k, "k")
  if (!is.null(iterations)) check_whole(iterations, "iterations")
  if (!is.null(B)) check_whole(B, "B")
  if (until_agreement) {
    if (is.null(minutes)) minutes <- 10
    check_minutes(minutes)
  } else if (!is.null(minutes)) {
    check_whole(minutes, "minutes")
  }
  if (is.null(iterations) && is.null(B) && is.null(minutes))
    stop("a search needs 'iterations' or 'minutes', or both", call. = FALSE)
  if (!is.null(prior)) {
    if (is.numeric(prior) && length(prior) == 1L) prior <- sprintf("%.17g", prior)
    if (!is_single_string(prior) || prior == "")
      stop("'prior' must be a single string (or a number for mclust2)", call. = FALSE)
  }
  if (!is.numeric(alpha) || length(alpha) != 1L || is.na(alpha) || !is.finite(alpha) ||
      alpha <= 0)
    stop("'alpha' must be a positive number", call. = FALSE)
  check_whole(chains, "chains")
  if (chains < 1 || chains > 64)
    stop("'chains' must be a whole number from 1 to 64", call. = FALSE)
  check_whole(seed, "seed")
  check_whole(heated, "heated")
  if (!is.null(threads)) check_whole(threads, "threads")
  length_known <- if (!is.null(iterations)) iterations else if (!is.null(B)) 10^B else NA
  if (is.null(thin)) thin <- if (is.na(length_known)) 10 else max(1, length_known %/% 1000)
  check_whole(thin, "thin")
  check_flag(quiet, "quiet")
  check_flag(fast, "fast")
  check_flag(progress, "progress")
  for (name in c("rhat", "ess"))
    if (!is.numeric(get(name)) || length(get(name)) != 1L || is.na(get(name)) || get(name) <= 0)
      stop(sprintf("'%s' must be a positive number", name), call. = FALSE)
  if (!is.null(cl) && !inherits(cl, "cluster"))
    stop("'cl' must be a cluster of the parallel package (makePSOCKcluster, ...)", call. = FALSE)
  # A label that starts with '-' would also act as the option it spells.
  if (!is.null(label) && (!is_single_string(label) || grepl("[/[:space:]]|^-", label)))
    stop("'label' must be a single string without spaces or slashes, not starting with '-'",
         call. = FALSE)
  if (!is_single_string(dir)) stop("'dir' must be a single string", call. = FALSE)
  # Its range and the models it applies to are the native side's to check.
  if (!is.null(columns) && (!is.numeric(columns) || length(columns) != 1L || is.na(columns)))
    stop("'columns' must be a single number", call. = FALSE)

  dir.create(dir, showWarnings = FALSE, recursive = TRUE)
  if (!dir.exists(dir)) stop("cannot create the folder ", dir, call. = FALSE)
  dir <- normalizePath(dir)
  data_file <- write_data(x, dir)
  # "tree" (when no file of that name is at hand) is the start built from the data's tree.
  tree <- identical(start, "tree") && !file.exists("tree")
  start_file <- if (is.null(start) || tree) NULL else write_start(start, dir)

  settings <- list(model = model, k = k, heuristic = heuristic,
                   iterations = iterations, B = B, minutes = minutes, prior = prior,
                   alpha = alpha, criterion = criterion, seeds = seed + seq_len(chains) - 1,
                   chains = as.integer(chains), thin = thin, quiet = quiet, label = label,
                   start = start_file, data = data_file, columns = columns, heated = heated,
                   threads = threads, fast = fast, tree = tree,
                   until_agreement = until_agreement,
                   trace_thin = if (is.null(chosen)) NULL else thin)
  word_list <- lapply(settings$seeds, function(s) chain_words(settings, data_file, start_file, s))
  old <- setwd(dir)
  on.exit(setwd(old), add = TRUE)
  files <- lapply(word_list, plan_chain)
  if (!all(vapply(files, function(f) "draws" %in% names(f), logical(1))))
    stop("heuristic ", heuristic, " lists partitions and keeps no draws: run it with the ",
         "command-line program or the .C entry vornak_R_main (see ?vornak)", call. = FALSE)
  control <- list(progress = progress, total = if (is.na(length_known)) 0 else length_known,
                  burn = 0.5, dir = dir,
                  stop = if (until_agreement) list(minutes = minutes, rhat = rhat, ess = ess))
  draws <- file.path(dir, vapply(files, function(f) f[["draws"]], ""))
  ran <- if (!is.null(cl)) run_cluster(cl, settings, files, control)
         else if (.Platform$OS.type == "unix") run_forked(word_list, draws, control)
         else run_here(word_list, draws, control)
  setwd(old)
  results <- ran$results

  # Standard output, then standard error, less the failure line that the error or condition
  # below carries.
  for (r in results) for (text in c(r$output, r$messages)) {
    lines <- strsplit(text, "\n", fixed = TRUE)[[1]]
    lines <- lines[nzchar(lines) & lines != r$error]
    if (length(lines) > 0L) message(paste(lines, collapse = "\n"))
  }
  status <- vapply(results, function(r) r$status, integer(1))
  failed <- which(status != 0L & status < 128L | status > 128L + 64L)
  if (length(failed) > 0L) stop(results[[failed[1]]]$error, call. = FALSE)

  # Chains this session stopped because they agreed or their time was up ended as asked.
  stopped <- ran$end$by %in% c("agreement", "limit")
  fit <- read_fit(dir, files, results, settings, call)
  if (!is.null(fit)) {
    if (stopped) fit$status[] <- ifelse(status >= 128L, "stopped", "completed")
    fit$choice <- chosen
    fit$stop <- ran$end
    fit$kind <- if (is.null(chosen)) model_kind(model) else chosen$kind
    fit$data <- data_of(x)
    if (!any(status >= 128L) || stopped) fit <- describe_fit(fit)
  }
  if (any(status >= 128L) && !stopped) {
    fit_text <- if (is.null(fit)) "" else " The partial result is in the condition's 'fit'."
    condition <- structure(
      class = c("vornak_interrupt", "error", "condition"),
      list(message = paste0("vornak was interrupted: ", results[[which(status >= 128L)[1]]]$error,
                            ". Its files are kept in ", dir, ".", fit_text),
           call = call, dir = dir, fit = fit))
    stop(condition)
  }
  if (is.null(fit))
    stop("no chain left a partition within the time given: allow more 'minutes'", call. = FALSE)
  fit
}
