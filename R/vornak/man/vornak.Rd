\name{vornak}
\alias{vornak}
\alias{vornak_interrupt}
\title{Cluster Observations by MCMC over Partitions}
\description{
  Runs Markov chains of the \command{vornak} search over the partitions of the
  observations in \code{x}, in a folder of their own, and returns their draws, the best
  and final partitions, the score traces and a description of the estimated clusters as an
  object of class \code{"vornak"}, with \code{print},
  \code{\link[=summary.vornak]{summary}}, \code{\link[=plot.vornak]{plot}} and
  \code{\link[=as.mcmc.list.vornak]{as.mcmc.list}} methods. \code{vornak(x)} with the data
  alone chooses the settings recommended for the kind of data and runs several chains until
  they agree. See \code{\link{getting-answers}} for a complete analysis.
}
\usage{
vornak(x, model, k = 0, heuristic = "OA", iterations = NULL, minutes = NULL,
       prior = NULL, alpha = 1, criterion = "integrated", seed = 2, chains = NULL,
       thin = NULL, start = NULL, quiet = TRUE, dir = tempfile("vornak"),
       label = NULL, B = NULL, columns = NULL, heated = NULL, threads = NULL,
       fast = NULL, progress = getOption("vornak.progress", interactive()),
       rhat = 1.01, ess = 400, cl = NULL, classes = NULL, id = NULL,
       separator = NULL, decimal_comma = FALSE)
}
\arguments{
  \item{x}{the data: a numeric matrix or data frame, one row per observation
    (\code{"kmeans2"}, \code{"mclust2"}, \code{"mvn"}, \code{"diagonal"}); a matrix of 0/1
    (\code{"HDBern"}) or of whole numbers 0 to 19 (\code{"HDGBern"}, or \code{"ordinal"} for
    ordered levels); a character vector of aligned sequences, named or
    not (\code{"ProteinSequence"}; ASCII residues only, and no control characters in
    sequences or names); or the path of a data file: a FASTA alignment, a matrix of numbers in the program's
    format, or a table (comma, tab, semicolon or blank separated, quoted as in RFC 4180,
    with or without a header row and a column of row names), read as \command{vornak-fit}
    reads it. Factor and character columns of a data frame or table are not clustered:
    the first one with unique values gives the row names, those with few values are
    offered as \code{classes}, the others are left out, each said in a message.
    Reals are written with 17 significant digits, so the run sees exactly the values of
    \code{x}; row and column names are never written as data.}
  \item{model}{observation model: \code{"mclust2"}, \code{"mvn"} (full-covariance Gaussian
    clusters), \code{"diagonal"} (as \code{"mclust2"} with a prior set per column, for wide
    data), \code{"kmeans2"}, \code{"HDBern"}, \code{"HDGBern"}, \code{"ordinal"} (binomial
    profiles over ordered levels) or \code{"ProteinSequence"}. When missing, the kind of \code{x} chooses it and the other
    recommended settings (see \sQuote{Data alone}).}
  \item{k}{number of clusters; \code{0} leaves it open (Dirichlet-process prior). This and
    the other numbers are checked by the program, whose line is the error.}
  \item{heuristic}{the move of each iteration: \code{"OA"} (a one-at-a-time Gibbs sweep),
    \code{"JN"}, \code{"DA"}, \code{"SR"}, \code{"UX"}, \code{"UXf"}, \code{"rBHS2"},
    \code{"CM"} (merges of clusters that score well together, and splits), or
    one of them followed by \code{"2"} where the program offers it; \code{"PS"}, the
    parallel sweep (HDBern, HDGBern, mclust2; see docs/parallel-sweep.md). \code{"EN"} (list every
    partition) draws nothing and is refused here: use the command-line program or the
    \code{.C} entry below.}
  \item{iterations}{number of iterations of each chain, any whole number.}
  \item{minutes}{stop each chain after this many minutes (a whole number). A search needs
    \code{iterations}, \code{B} or \code{minutes}; with several, the first reached ends
    it. Without \code{model}, \code{iterations} and \code{B}: the longest the chains run
    before they agree, any positive number, default 10.}
  \item{prior}{component prior: \code{"bg"} (default), \code{"flat"}, \code{"cloud9"},
    \code{"shared"} for \code{"ProteinSequence"}; \code{"flat"} (default), \code{"point5"},
    \code{"point05"}, \code{"point005"}, \code{"levels"}, \code{"shared"} for \code{"HDBern"}
    and \code{"HDGBern"}; \code{"flat"} (default) or \code{"jeffreys"} for \code{"ordinal"};
    a positive number for \code{"mclust2"}, \code{"mvn"} and \code{"diagonal"} (default 1).
    \code{NULL} takes the default.}
  \item{alpha}{concentration of the Dirichlet (process) prior on the partition.}
  \item{criterion}{\code{"integrated"} (the parameters integrated out), \code{"classi"} or
    \code{"mixture"}.}
  \item{seed}{seed of the first chain's random generator, a whole number from 1 to
    4294967295; chain \eqn{i} uses \code{seed + i - 1}. Equal settings and seeds give equal
    files.}
  \item{chains}{number of independent chains: 1 by default, 4 or the number of processors,
    whichever is larger, without \code{model}. Where the platform forks (Linux, macOS) they
    run at once in separate processes through the \pkg{parallel} package, one after another
    otherwise (or on \code{cl}).}
  \item{thin}{keep a draw after every \code{thin}-th iteration. By default about 1000 draws
    are kept per chain (every 10th iteration for a run bounded by minutes only).}
  \item{start}{a starting partition (one label of any kind per observation) or the path of
    a file holding one; \code{"tree"} starts from the best cut of the data's linkage tree
    (the program's \option{-Z tree}); \code{NULL} without \code{model} gives each chain its own start, from the
    same recommender as \command{vornak-fit}: chain 1 the tree's best cut, chain 2 a tree over
    a bootstrap of the columns, chain 3 the average-linkage tree, later chains bootstraps
    (\option{-Z tree}, \option{boot}, \option{average}; above 5000 observations the same
    trees over a sample of 2000 observations, \option{sample}, \option{sample-boot},
    \option{sample-average}); with \code{model}, a random start.}
  \item{quiet}{\code{TRUE} keeps the log short: no per-move debug lines.}
  \item{dir}{folder of the run's files, created if needed; by default a new temporary
    folder, so nothing is written to the working folder.}
  \item{label}{text added to the file names (no blanks or slashes, not starting with
    \code{-}).}
  \item{B}{run at most \eqn{10^B} iterations, as the program's \option{-B}.}
  \item{columns}{column selection, as the program's \option{-V}: the prior probability,
    strictly between 0 and 1, that a column is clustered (\code{"ProteinSequence"},
    \code{"HDBern"}, \code{"HDGBern"}, integrated criterion). Each chain then also writes
    its columns' mean probabilities of being clustered, named in \code{fit$files} under
    \code{"columns"}.}
  \item{heated}{chains in all per run, the kept cold one included, as the program's
    \option{-T}: from 2, each run also moves heated copies that exchange partitions with
    the cold chain, which helps it leave a basin; \code{1} is the plain run.}
  \item{threads}{at most this many threads per run for its heated copies, as the program's
    \option{-j}; by default the processors shared among the chains, \code{max(1, processors
    / chains)}. The files are the same whatever it is.}
  \item{fast}{\code{TRUE} passes the program's \option{-x} (fast arithmetic); \code{NULL}
    means \code{FALSE}, or the recommended setting without \code{model}.}
  \item{progress}{\code{TRUE} reports elapsed time, iterations, the best score, R-hat and
    ESS through \code{\link{message}} while the chains run; by default only in an
    interactive session.}
  \item{rhat, ess}{the chains agree when the R-hat of the score and of \eqn{k} is at most
    \code{rhat} and the bulk ESS of both, summed over the chains, at least \code{ess}
    (each chain's first half of draws left out), every chain's ESS is at least 100, no
    chain's score is constant, every chain's best kept score lies within 2 log units (or the
    chains' median spread of the score, when larger) of the best any chain kept, and the
    chains of that best mode came from at least two different starts. \code{print} says when
    they did not agree and which chains ended how far below.}
  \item{cl}{a cluster of the \pkg{parallel} package (\code{makePSOCKcluster}, possibly
    spanning machines) whose workers run the chains; each worker needs the package
    installed. The draws come back as data and are written into \code{dir}.}
  \item{classes}{known classes to compare the estimate with (never used by the search):
    the name of a column of \code{x} (a data frame or table file), or one label per
    observation. The fit then holds \code{classes}: the confusion table, the adjusted Rand
    index and the variation of information (bits).}
  \item{id}{the column of row names of a table file (by default detected: a first column
    with an empty name, or of text with unique values).}
  \item{separator}{of a table file: \code{"comma"}, \code{"tab"}, \code{"semicolon"} or
    \code{"blanks"} (by default detected from its first line).}
  \item{decimal_comma}{\code{TRUE} reads cells like \code{5,1} of a table file as 5.1.}
}
\details{
  Each chain is the command-line program's run with the options \option{-m -f -k -h -c -a
  -s -d} and, as given, \option{-q -i -B -t -p -z -l}; its files are named by the program's
  rule (data file name, then the settings and the seed), see \code{fit$files}. The data are
  written into \code{dir} as \file{data.dat} or \file{data.fasta} (a file path is copied
  there under its own name).

  Names of models, heuristics, priors and criteria are checked by the native side, which
  also names the files: a setting it refuses is an R error with its line before any chain
  runs. A heuristic that lists partitions instead of drawing them (\code{"EN"}) is refused
  here; run it with the program or \code{vornak_R_main}.

  While the chains run, an interactive session shows a progress line through
  \code{message()} (\code{progress}; \code{options(vornak.progress = TRUE)} or \code{FALSE}
  sets its default). What the program prints comes as messages too, so
  \code{suppressMessages()} silences a run and nothing reaches standard output. A failure (bad data, an unknown prior, existing files
  in \code{dir}) is an R error with the program's one-line message.

  An interrupt (Ctrl-C, or Esc in a graphical console) stops every chain after its current
  move; the chains write their files as at a normal end, and \code{vornak} signals a
  condition of class \code{"vornak_interrupt"} (also an \code{"error"}), whose fields
  \code{dir} and \code{fit} hold the folder and the result read from the files so far. The
  session goes on. Forked chains whose session ends (SIGTERM, say) stop as after a SIGTERM of
  their own, writing their files; none runs on.
}
\section{Data alone}{
  Without \code{model}, the kind of \code{x} chooses the settings, the same table as the
  \command{vornak-fit} program's (each overridable by its argument):
  \tabular{ll}{
    aligned sequences (a character vector, or a file whose first non-blank byte is
    \code{>}) \tab \code{ProteinSequence}, prior \code{"shared"}, \code{start = "tree"}\cr
    matrix of 0 and 1 \tab \code{HDBern}, prior \code{"flat"}, \code{heated = 4}\cr
    matrix of whole numbers 0 to 19, some above 1 \tab \code{HDGBern}, prior
    \code{"levels"}\cr
    any other numeric matrix \tab \code{mvn}, prior 1, \code{fast = TRUE}; when a cell is
    missing, a column holds a single value or there are fewer than 5 rows per (columns + 1):
    \code{mclust2}, prior 1, \code{fast = TRUE}; but with fewer than 5 rows per (columns +
    1) and 10 or more columns: \code{diagonal}, prior 1, \code{fast = TRUE}, \code{start =
    "tree"}\cr
  }
  Missing cells (\code{NA}) do not count towards the kind. A cell is a whole number when it
  is written as one: a file whose cells read \code{1.0} is a real matrix (the models of whole
  numbers would refuse it), while a numeric matrix or data frame of 0 and 1 is written as
  whole numbers. A file may start with a UTF-8 byte-order mark. The table and these rules are
  the \command{vornak-fit} program's own: both ask the same code. With \code{model} given,
  nothing is recommended and the arguments are the settings; still, a model that cannot read
  the data (\code{"ProteinSequence"} on a matrix, \code{"HDBern"} on levels) is refused
  before any chain starts. Heated chains (\code{heated} above 1) get \code{threads = max(1, processors
  / chains)} unless \code{threads} is given. Heated chains combine with
  \code{columns} and the priors on alpha and P. The heuristic is \code{"OA"}, k
  is open, the trace keeps a point every \code{thin} iterations (\option{-e}). Unless
  \code{iterations} or \code{B} is given, the chains run until they agree (see
  \code{rhat}, \code{ess}) or \code{minutes} pass: the session reads their draws files
  every few seconds and then stops them as an interrupt would, so each writes its files.
  \code{fit$choice} holds the settings chosen and \code{fit$stop} how the run ended
  (\code{by}: \code{"agreement"} or \code{"limit"}), after how many seconds and the last
  agreement figures. A single chain never agrees and runs to the limit. On a cluster
  (\code{cl}) the chains run in rounds of about a tenth of the time allowed, each going on
  from its last partition with a new seed, until they agree. Where the platform does not
  fork, the chains run one after another up to the whole minute after \code{minutes}.
}
\value{
  An object of class \code{"vornak"}, a list with:
  \item{final}{integer matrix, one row per chain: the final partition of each chain.}
  \item{best}{integer vector: the partition with the highest score visited by any chain,
    \code{best_score} its score, \code{best_chain} its chain; \code{best_by_chain} has
    each chain's best.}
  \item{draws}{integer matrix, one row per kept draw (the chains one after another), one
    column per observation; \code{draw_info} is a data frame with the \code{chain},
    \code{iteration}, \code{score} and number of clusters \code{k} of each row.}
  \item{score}{list, per chain, of the score trace expanded from the run-length
    \file{.save} file: one value per trace point (per visited observation for \code{"OA"},
    per move otherwise), the start first.}
  \item{k}{list, per chain, of the number of clusters of each kept draw.}
  \item{estimate, membership, clusters}{from the summary with its defaults (when the chains
    kept draws): the point estimate; each observation's membership probability for its
    cluster (the mean posterior probability of sharing a cluster with its cluster-mates in
    the estimate); and \code{clusters$table} (each cluster's size and mean membership
    probability) with \code{clusters$profile}: per-cluster column means (real data),
    shares of 1s (0/1 data), a levels-by-columns matrix of level frequencies per cluster
    (whole numbers) or the consensus sequence per cluster.}
  \item{names, observations, classes, column_probability}{the observations' names (row
    names of a matrix, data frame or table, sequence names, else their numbers); a data
    frame of \code{name}, \code{cluster} and \code{membership} per observation (as
    \file{clusters.csv} of \command{vornak-fit}); with \code{classes}, the comparison
    (\code{table}, \code{adjusted_rand}, \code{variation_of_information}, \code{unlabelled});
    with \code{columns}, each column's probability of being clustered (mean over chains).}
  \item{columns}{with column selection (argument \code{columns}) and kept draws: a data frame
    with each \code{column}'s posterior \code{probability} of being clustered (the chains'
    \file{.columns} files averaged) and whether it is \code{selected} (0.5 or more);
    \code{NULL} otherwise.}
  \item{data, kind, choice, stop}{the data as R holds them (a file is read), their kind
    (\code{"real"}, \code{"binary"}, \code{"levels"}, \code{"sequences"}), the settings
    chosen without \code{model} (else \code{NULL}) and how the run ended.}
  \item{n, settings, status, dir, files, call}{the number of observations, the settings
    (seeds included), \code{"completed"}, \code{"stopped"} (by agreement or the limit) or
    \code{"interrupted"} per chain, the run folder,
    the matrix of file paths (one row per chain; columns \code{log}, \code{save},
    \code{finalz}, \code{best}, \code{draws}) and the call.}
  Partitions are labelled 1, 2, \dots{} in order of first appearance; the files keep the
  program's 0-based labels.
}
\section{The native entry}{
  The routine \code{vornak_R_main} of the package is the program's run for R's \code{.C}
  interface, each string followed by its length in bytes; it writes into the working
  folder and always uses the integrated criterion and \eqn{\log\alpha = 0}:
  \preformatted{.C("vornak_R_main", "sim11.dat", 9L, "", 0L, "", 0L, "OA", 2L, "", 0L,
   "mclust2", 7L, 3L, 1L, -1L, PACKAGE = "vornak")
# data, label, start, heuristic, prior, model, k, B, minutes}
}
\seealso{\code{\link{summary.vornak}}, \code{\link{plot.vornak}},
  \code{\link{getting-answers}}}
\examples{
fit <- vornak(iris[, 1:4], model = "mclust2", k = 0, heuristic = "OA",
              iterations = 100, seed = 1)
fit
table(fit$best, iris$Species)
head(fit$draw_info)

# Data alone: settings for their kind, chains until they agree (a few seconds at most here).
fit_auto <- vornak(iris[, 1:4], minutes = 0.1, chains = 2)
fit_auto$choice$model
fit_auto$clusters$table

votes <- system.file("extdata", "votes.dat", package = "vornak")
fit_votes <- vornak(votes, model = "HDBern", k = 0, iterations = 200, thin = 2)
fit_votes$best
}
\keyword{cluster}
