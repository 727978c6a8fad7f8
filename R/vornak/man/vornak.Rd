\name{vornak}
\alias{vornak}
\title{Cluster Observations by MCMC Search over Partitions}
\description{
  Runs the search of the \command{vornak} command-line program inside the R session: reads
  the data file, searches over partitions of its observations (or, with heuristic
  \code{"EN"}, scores every partition) and writes the output files into the working
  directory. The run always uses the integrated criterion and \eqn{\log\alpha = 0}.
}
\usage{
vornak(data, model, k, heuristic, B = -1L, minutes = -1L, label = "",
       prior = "", start = "")
}
\arguments{
  \item{data}{path of the data file: a FASTA alignment for \code{"ProteinSequence"}, a
    whitespace-separated matrix with one observation per line for the other models.}
  \item{model}{observation model: \code{"ProteinSequence"}, \code{"HDBern"} (0/1 matrix),
    \code{"HDGBern"} (0..19 matrix), \code{"kmeans2"} or \code{"mclust2"} (real matrices).}
  \item{k}{number of clusters; \code{0} leaves it open (Dirichlet-process prior).}
  \item{heuristic}{search move: \code{"OA"}, \code{"JN"}, \code{"DA"}, \code{"SR"},
    \code{"UX"}, \code{"UXf"}, \code{"rBHS2"}, or one of them followed by \code{"2"} where
    the program offers it; \code{"EN"} lists and scores every partition.}
  \item{B}{run at most \eqn{10^B} iterations; \code{-1} means not given (then 9).}
  \item{minutes}{stop after this many minutes; \code{-1} means not given (then 14400).
    A search needs \code{B} or \code{minutes}; \code{"EN"} needs neither.}
  \item{label}{text added to the output file names.}
  \item{prior}{component prior: \code{"bg"} (default), \code{"flat"}, \code{"cloud9"} for
    \code{"ProteinSequence"}; \code{"flat"} (default), \code{"point5"}, \code{"point05"},
    \code{"point005"} for \code{"HDBern"} and \code{"HDGBern"}; a positive number as text
    for \code{"mclust2"} (default \code{"1"}).}
  \item{start}{file holding a starting partition (one 0-based label per observation);
    \code{""} starts from a random partition.}
}
\details{
  The output files are named like those of the command-line program: the data file name
  up to its first dot, then \code{_k}, \code{k}, \code{_}, the heuristic, \code{_p}, the
  prior, \code{_a0}, and for a search \code{_B} and \code{B}, \code{_t} and
  \code{minutes} (when given) and \code{_} and the label (when not empty); for example
  \code{sim11_k2_OA_p1_a0_B3}. The suffixes are \code{.log} (run log), \code{.save}
  (score trace of a search, or the score of every partition for \code{"EN"}) and
  \code{.finalz} (final partition of a search). Existing files are never replaced: a run
  whose log already exists stops with an error.

  Messages of the run are printed on the R console. A failure (unreadable data file, unknown
  model or prior, existing output file, ...) ends the run with an R error carrying the
  message; the R session goes on. The random generator is seeded with the same constant on
  every call, so equal settings and inputs give equal files.

  A search runs to its end: it cannot be interrupted from R, so bound it with \code{B} or
  \code{minutes}.
}
\value{
  Invisibly, a named character vector with the paths of the files written, among
  \code{log}, \code{save} and \code{finalz}.
}
\examples{
old <- setwd(tempdir())
writeLines(c("0.1 0.2", "0.0 0.1", "5.1 4.9", "5.0 5.2", "4.8 5.1"), "tiny.dat")
files <- vornak("tiny.dat", "mclust2", k = 2, heuristic = "OA", B = 2)
scan(files[["finalz"]])
vornak("tiny.dat", "mclust2", k = 2, heuristic = "EN")
unlink(c("tiny.dat", Sys.glob("tiny_k2_*")))
setwd(old)
}
\keyword{cluster}
