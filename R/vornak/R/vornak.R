# The R face of vornak: checks the settings, hands them to the native entry point with their
# byte lengths, and returns the paths of the files the run wrote.

is_single_string <- function(x) is.character(x) && length(x) == 1L && !is.na(x)

is_whole_number <- function(x) {
  is.numeric(x) && length(x) == 1L && !is.na(x) && is.finite(x) && x == round(x) &&
    abs(x) <= .Machine$integer.max
}

# The stem of the output file names, by the rule of the command-line program with the
# integrated criterion and log(alpha) 0: data name up to its first dot, then the settings.
file_stem <- function(data, model, k, heuristic, B, minutes, label, prior) {
  if (model == "mclust2" && prior == "") prior <- "1"
  stem <- paste0(sub("[.].*$", "", data), "_k", k, "_", heuristic, "_p", prior, "_a0")
  if (heuristic != "EN") {
    if (B != -1L) stem <- paste0(stem, "_B", B)
    if (minutes != -1L) stem <- paste0(stem, "_t", minutes)
    if (label != "") stem <- paste0(stem, "_", label)
  }
  stem
}

vornak <- function(data, model, k, heuristic, B = -1L, minutes = -1L, label = "",
                   prior = "", start = "") {
  for (name in c("data", "model", "heuristic", "label", "prior", "start")) {
    if (!is_single_string(get(name)))
      stop(sprintf("'%s' must be a single string", name), call. = FALSE)
  }
  for (name in c("data", "model", "heuristic")) {
    if (get(name) == "") stop(sprintf("'%s' must not be empty", name), call. = FALSE)
  }
  for (name in c("k", "B", "minutes")) {
    if (!is_whole_number(get(name)))
      stop(sprintf("'%s' must be a single whole number", name), call. = FALSE)
  }
  k <- as.integer(k)
  B <- as.integer(B)
  minutes <- as.integer(minutes)
  if (k < 0L) stop("'k' must be 0 (open number of clusters) or a positive number", call. = FALSE)
  if (heuristic != "EN" && B == -1L && minutes == -1L)
    stop("a search needs 'B' (10^B iterations) or 'minutes', or both", call. = FALSE)

  # The native side reads exactly the given number of bytes of each string, in the native
  # encoding that .C hands over.
  data <- enc2native(path.expand(data))
  start <- if (start == "") start else enc2native(path.expand(start))
  label <- enc2native(label)
  heuristic <- enc2native(heuristic)
  prior <- enc2native(prior)
  model <- enc2native(model)
  bytes <- function(x) nchar(x, type = "bytes")

  .C(vornak_R_main,
     data, bytes(data), label, bytes(label), start, bytes(start),
     heuristic, bytes(heuristic), prior, bytes(prior), model, bytes(model),
     k, B, minutes)

  stem <- file_stem(data, model, k, heuristic, B, minutes, label, prior)
  files <- paste0(stem, c(log = ".log", save = ".save", finalz = ".finalz"))
  names(files) <- c("log", "save", "finalz")
  invisible(files[file.exists(files)])
}
