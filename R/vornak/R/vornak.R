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

# Text written through a scratch file, as it stands.
place_text <- function(text, dir, name) {
  scratch <- tempfile()
  on.exit(unlink(scratch))
  writeChar(text, scratch, eos = NULL, useBytes = TRUE)
  place_file(scratch, dir, name)
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
    if (length(unique(nchar(x))) != 1L) {
      other <- which(nchar(x) != nchar(x[1]))[1]
      stop("the sequences in 'x' must be aligned: all of one length (sequence ", other, " has ",
           nchar(x[other]), " characters where the first has ", nchar(x[1]), ")",
           if (!any(grepl("[-*.]", x))) paste0("; align them first, e.g. ", align_command,
                                              " (Debian package mafft)"), call. = FALSE)
    }
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

# A letter and its value taken out of a list of words.
drop_letter <- function(words, letter) {
  at <- which(words == letter)
  if (length(at) == 0L) words else words[-c(at, at + 1L)]
}

# Command-line words of one chain: the settings the native recommender chose, then the run's
# own (data, alpha, seed, thinning, length, start, label).
chain_words <- function(settings, data_file, start_file, seed, chain = NULL) {
  words <- settings$words
  if (!isTRUE(settings$tree)) words <- drop_letter(words, "-Z")
  # Each chain its own start, from the native recommender, unless a start file is given.
  start_word <- if (!is.null(chain) && is.null(start_file) && chain <= length(settings$starts))
    settings$starts[[chain]] else ""
  if (nzchar(start_word)) words <- c(drop_letter(words, "-Z"), "-Z", start_word)
  words <- c(words, "-f", file_word(data_file), "-a", sprintf("%.17g", log(settings$alpha)),
             "-s", int_text(seed), "-d", int_text(settings$thin))
  if (!is.null(settings$iterations)) words <- c(words, "-i", int_text(settings$iterations))
  if (!is.null(settings$B)) words <- c(words, "-B", int_text(settings$B))
  # Until agreement, R stops the chains; their own limit is a backstop past R's.
  if (!is.null(settings$minutes))
    words <- c(words, "-t", int_text(if (isTRUE(settings$until_agreement))
      ceiling(settings$minutes) + 1 else settings$minutes))
  if (!is.null(start_file)) words <- c(words, "-z", file_word(start_file))
  if (!is.null(settings$trace_thin)) words <- c(words, "-e", int_text(settings$trace_thin))
  if (!is.null(settings$label)) words <- c(words, "-l", settings$label)
  enc2native(words)
}

# The engine words of R's settings arguments, and the letters withdrawn (a flag set FALSE, a
# start of one's own in place of the tree's).
given_words <- function(a, tree, start_file) {
  words <- c(if (!is.null(a$model)) c("-m", a$model), "-k", int_text(a$k), "-h", a$heuristic,
             "-c", a$criterion, if (!is.null(a$prior)) c("-p", a$prior),
             if (!is.null(a$heated)) c("-T", int_text(a$heated)),
             if (!is.null(a$threads)) c("-j", int_text(a$threads)),
             if (isTRUE(a$fast)) "-x", if (a$quiet) "-q", if (tree) c("-Z", "tree"),
             if (!is.null(a$columns)) c("-V", sprintf("%.17g", a$columns)))
  without <- c(if (isFALSE(a$fast)) "-x", if (!a$quiet) "-q", if (!is.null(start_file)) "-Z")
  list(words = as.character(words), without = as.character(without))
}

# The aligner the refusal of unaligned sequences names, as vornak-fit does.
align_command <- "mafft --auto in.fa > aligned.fa"

# The settings of every chain from the native recommender, the same code as vornak-fit's: the
# data file's kind, the recommended settings (when recommend) under the given words, the
# refusals and the threads of heated chains. A refusal is an R error with its line.
choose_settings <- function(data_file, given, recommend, chains) {
  choice <- .Call(vornak_R_recommend, enc2native(data_file), enc2native(given$words),
                  enc2native(given$without), recommend, as.double(chains))
  if (choice$status != 0L) stop(choice$error, call. = FALSE)
  choice
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

# R's own type checks of vornak()'s arguments; the ranges of the values are the native
# side's. Gives the arguments with their defaults filled in.
check_arguments <- function(a) {
  if (is.null(a$chains)) a$chains <- if (a$auto) 0 else 1
  # Names of models, heuristics, priors and criteria are the native side's to check.
  for (name in c(if (!a$auto) "model", "heuristic", "criterion"))
    if (!is_single_string(a[[name]]) || a[[name]] == "")
      stop(sprintf("'%s' must be a single string", name), call. = FALSE)
  check_whole(a$k, "k")
  if (!is.null(a$iterations)) check_whole(a$iterations, "iterations")
  if (!is.null(a$B)) check_whole(a$B, "B")
  if (a$until_agreement) {
    if (is.null(a$minutes)) a$minutes <- 10
    check_minutes(a$minutes)
  } else if (!is.null(a$minutes)) {
    check_whole(a$minutes, "minutes")
  }
  if (is.null(a$iterations) && is.null(a$B) && is.null(a$minutes))
    stop("a search needs 'iterations' or 'minutes', or both", call. = FALSE)
  if (!is.null(a$prior)) {
    if (is.numeric(a$prior) && length(a$prior) == 1L) a$prior <- sprintf("%.17g", a$prior)
    if (!is_single_string(a$prior) || a$prior == "")
      stop("'prior' must be a single string (or a number for mclust2)", call. = FALSE)
  }
  if (!is.numeric(a$alpha) || length(a$alpha) != 1L || is.na(a$alpha) || !is.finite(a$alpha) ||
      a$alpha <= 0)
    stop("'alpha' must be a positive number", call. = FALSE)
  check_whole(a$chains, "chains")
  if ((a$chains < 1 && !a$auto) || a$chains < 0 || a$chains > 64)
    stop("'chains' must be a whole number from 1 to 64", call. = FALSE)
  check_whole(a$seed, "seed")
  if (!is.null(a$heated)) check_whole(a$heated, "heated")
  if (!is.null(a$threads)) check_whole(a$threads, "threads")
  a$length_known <- if (!is.null(a$iterations)) a$iterations else if (!is.null(a$B)) 10^a$B else NA
  if (is.null(a$thin)) a$thin <- if (is.na(a$length_known)) 10 else max(1, a$length_known %/% 1000)
  check_whole(a$thin, "thin")
  check_flag(a$quiet, "quiet")
  if (!is.null(a$fast)) check_flag(a$fast, "fast")
  check_flag(a$progress, "progress")
  for (name in c("rhat", "ess"))
    if (!is.numeric(a[[name]]) || length(a[[name]]) != 1L || is.na(a[[name]]) || a[[name]] <= 0)
      stop(sprintf("'%s' must be a positive number", name), call. = FALSE)
  if (!is.null(a$cl) && !inherits(a$cl, "cluster"))
    stop("'cl' must be a cluster of the parallel package (makePSOCKcluster, ...)", call. = FALSE)
  # A label that starts with '-' would also act as the option it spells.
  if (!is.null(a$label) && (!is_single_string(a$label) || grepl("[/[:space:]]|^-", a$label)))
    stop("'label' must be a single string without spaces or slashes, not starting with '-'",
         call. = FALSE)
  if (!is_single_string(a$dir)) stop("'dir' must be a single string", call. = FALSE)
  # Its range and the models it applies to are the native side's to check.
  if (!is.null(a$columns) && (!is.numeric(a$columns) || length(a$columns) != 1L ||
                              is.na(a$columns)))
    stop("'columns' must be a single number", call. = FALSE)
  a
}

# Runs the chains of the settings in dir: forked, on a cluster or here; gives the runner's
# result and the files of each chain, named by kind.
run_chains <- function(settings, a, dir) {
  word_list <- lapply(seq_along(settings$seeds), function(i)
    chain_words(settings, settings$data, settings$start, settings$seeds[i], i))
  old <- setwd(dir)
  on.exit(setwd(old), add = TRUE)
  files <- lapply(word_list, plan_chain)
  if (!all(vapply(files, function(f) "draws" %in% names(f), logical(1))))
    stop("heuristic ", a$heuristic, " lists partitions and keeps no draws: run it with the ",
         "command-line program or the .C entry vornak_R_main (see ?vornak)", call. = FALSE)
  control <- list(progress = a$progress, total = if (is.na(a$length_known)) 0 else a$length_known,
                  burn = 0.5, dir = dir,
                  stop = if (a$until_agreement) list(minutes = a$minutes, rhat = a$rhat,
                                                     ess = a$ess))
  draws <- file.path(dir, vapply(files, function(f) f[["draws"]], ""))
  ran <- if (!is.null(a$cl)) run_cluster(a$cl, settings, files, control)
         else if (.Platform$OS.type == "unix") run_forked(word_list, draws, control)
         else run_here(word_list, draws, control)
  c(ran, list(files = files))
}

# The chains' messages, their failure as an R error, their files read into the "vornak"
# object, and an interrupt as a "vornak_interrupt" condition.
finish_fit <- function(ran, settings, choice, x, call) {
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
  fit <- read_fit(settings$dir, ran$files, results, settings, call)
  if (!is.null(fit)) {
    if (stopped) fit$status[] <- ifelse(status >= 128L, "stopped", "completed")
    fit$choice <- choice
    fit$stop <- ran$end
    fit$kind <- settings$kind
    fit$data <- data_of(x)
    if (!any(status >= 128L) || stopped) fit <- describe_fit(fit)
  }
  if (any(status >= 128L) && !stopped) {
    fit_text <- if (is.null(fit)) "" else " The partial result is in the condition's 'fit'."
    condition <- structure(
      class = c("vornak_interrupt", "error", "condition"),
      list(message = paste0("vornak was interrupted: ", results[[which(status >= 128L)[1]]]$error,
                            ". Its files are kept in ", settings$dir, ".", fit_text),
           call = call, dir = settings$dir, fit = fit))
    stop(condition)
  }
  if (is.null(fit))
    stop("no chain left a partition within the time given: allow more 'minutes'", call. = FALSE)
  fit
}

vornak <- function(x, model, k = 0, heuristic = "OA", iterations = NULL, minutes = NULL,
                   prior = NULL, alpha = 1, criterion = "integrated", seed = 2, chains = NULL,
                   thin = NULL, start = NULL, quiet = TRUE, dir = tempfile("vornak"),
                   label = NULL, B = NULL, columns = NULL, heated = NULL, threads = NULL,
                   fast = NULL, progress = getOption("vornak.progress", interactive()),
                   rhat = 1.01, ess = 400, cl = NULL, classes = NULL, id = NULL,
                   separator = NULL, decimal_comma = FALSE) {
  call <- match.call()
  # Without a model the data's kind chooses the recommended settings; what is given stays.
  auto <- missing(model) || is.null(model)
  a <- check_arguments(list(
    auto = auto, model = if (!auto) model, k = k, heuristic = heuristic,
    iterations = iterations, minutes = minutes, prior = prior, alpha = alpha,
    criterion = criterion, seed = seed, chains = chains, thin = thin, quiet = quiet, dir = dir,
    label = label, B = B, columns = columns, heated = heated, threads = threads, fast = fast,
    progress = progress, rhat = rhat, ess = ess, cl = cl,
    until_agreement = auto && is.null(iterations) && is.null(B)))

  dir.create(a$dir, showWarnings = FALSE, recursive = TRUE)
  if (!dir.exists(a$dir)) stop("cannot create the folder ", a$dir, call. = FALSE)
  dir <- normalizePath(a$dir)
  prepared <- prepare_data(x, classes, id, separator, decimal_comma)
  for (note in prepared$notes) message(note)
  data_file <- if (prepared$table) place_text(prepared$x, dir, "data.dat") else write_data(prepared$x, dir)
  # "tree" (when no file of that name is at hand) is the start built from the data's tree.
  tree <- identical(start, "tree") && !file.exists("tree")
  start_file <- if (is.null(start) || tree) NULL else write_start(start, dir)
  choice <- choose_settings(file.path(dir, data_file), given_words(a, tree, start_file), auto,
                            a$chains)

  settings <- list(words = choice$words, model = choice$words[match("-m", choice$words) + 1L],
                   kind = choice$kind, k = k, heuristic = heuristic,
                   iterations = iterations, B = B, minutes = a$minutes, prior = a$prior,
                   alpha = alpha, criterion = criterion,
                   seeds = seed + seq_len(choice$chains) - 1, chains = choice$chains,
                   thin = a$thin, quiet = quiet, label = label, start = start_file,
                   data = data_file, dir = dir, columns = columns,
                   heated = as.integer(max(1, as.numeric(word_value(choice$words, "-T", 1)))),
                   threads = threads, fast = "-x" %in% choice$words,
                   tree = "-Z" %in% choice$words, starts = choice$starts,
                   until_agreement = a$until_agreement,
                   trace_thin = if (auto) a$thin)
  ran <- run_chains(settings, a, dir)
  fit <- finish_fit(ran, settings,
                    if (auto) list(kind = choice$kind, model = settings$model, words = choice$words),
                    if (prepared$table) file.path(dir, data_file) else prepared$x, call)
  add_tables(fit, prepared)
}

# The value of a letter in a list of words, or default when it is absent.
word_value <- function(words, letter, default = NULL) {
  at <- match(letter, words)
  if (is.na(at)) default else words[at + 1L]
}
