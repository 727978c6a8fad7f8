\name{getting-answers}
\alias{getting-answers}
\alias{getting_answers}
\title{Getting Answers: a Complete Analysis with vornak}
\description{
  From data to answers: how many clusters there are, which partition to report, how sure
  that answer is, and whether the chains agree. The example uses the small two-variable
  data set \file{sim11.dat} shipped with the package (30 observations); the same steps
  serve \code{iris[, 1:4]} or your own matrix.
}
\section{0. Or give the data alone}{
  \preformatted{fit <- vornak(x)          # settings for the kind of x, chains until they agree
fit$choice; fit$stop      # what was chosen, and whether the chains agreed in time
fit$clusters$table        # sizes and mean membership probabilities
fit$clusters$profile      # per-cluster means, shares of 1s, level frequencies or consensus
plot(fit, "clusters")     # the data coloured by cluster}
  The chains run for at most \code{minutes} (default 10) and stop as soon as R-hat of the
  score and of \eqn{k} is at most 1.01 and their summed bulk ESS at least 400.
}
\section{1. Run several chains}{
  \preformatted{x <- as.matrix(read.table(system.file("extdata", "sim11.dat",
                                          package = "vornak")))
fit <- vornak(x, model = "mclust2", k = 0, heuristic = "OA",
              iterations = 2000, chains = 2, seed = 1)
fit}
  \code{k = 0} leaves the number of clusters open. Two chains from different seeds run at
  once; each keeps about 1000 draws (\code{thin}). The files are in \code{fit$dir}.
}
\section{2. Summarise}{
  \preformatted{s <- summary(fit)      # first half of each chain left out as burn-in
s                       # the engine's report
s$posterior_k           # how many clusters?
s$estimate              # which partition? (minimises the expected VI loss)
s$expected_loss         # the estimate's loss beside the best draw's
s$uncertainty           # how sure, observation by observation
s$rhat; s$ess           # did the chains mix and agree?}
  R-hat close to 1 (at most 1.01) and effective sample sizes of 100 or more say the chains
  agree and ran long enough; the summary's text warns otherwise: then run longer
  (\code{iterations}) or more chains. Observations with a high uncertainty sit between
  clusters.
}
\section{3. Look}{
  \preformatted{plot(fit, summary = s)}
  The score traces should level off and overlap between chains; the heat map shows blocks
  along the diagonal for well-separated clusters and pale off-diagonal bands for the
  uncertain observations. \code{s$files["svg"]} is the same picture for a web browser.
}
\section{4. More diagnostics}{
  \preformatted{if (requireNamespace("coda", quietly = TRUE))
  coda::gelman.diag(coda::as.mcmc.list(fit))}
}
\section{5. Stop early}{
  Ctrl-C (or Esc) stops the chains; they keep their files, and the partial fit is in the
  condition: \preformatted{fit <- tryCatch(vornak(x, "mclust2", iterations = 1e7),
  vornak_interrupt = function(e) e$fit)}
}
\seealso{\code{\link{vornak}}, \code{\link{summary.vornak}}, \code{\link{plot.vornak}}}
\examples{
x <- as.matrix(read.table(system.file("extdata", "sim11.dat", package = "vornak")))
fit <- vornak(x, model = "mclust2", k = 0, heuristic = "OA",
              iterations = 2000, chains = 2, seed = 1)
fit
s <- summary(fit)
s
s$posterior_k
s$estimate
round(s$uncertainty, 2)
plot(fit, summary = s)
if (requireNamespace("coda", quietly = TRUE))
  coda::gelman.diag(coda::as.mcmc.list(fit))
}
\keyword{cluster}
