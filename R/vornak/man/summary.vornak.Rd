\name{summary.vornak}
\alias{summary.vornak}
\alias{print.summary.vornak}
\alias{print.vornak}
\title{Posterior Summary of a vornak Fit}
\description{
  Summarises the kept draws of every chain with the engine of the \command{vornak-summary}
  program: the posterior on the number of clusters, a point estimate of the partition that
  minimises the posterior expected loss, its expected loss beside that of the best draw,
  the estimate's cluster sizes, each observation's uncertainty, the posterior similarity
  matrix, effective sample sizes and, with two or more chains, R-hat and the agreement of
  the chains' estimates.
}
\usage{
\method{summary}{vornak}(object, burn = 0.5, loss = c("vi", "binder"), ...)
\method{print}{summary.vornak}(x, ...)
\method{print}{vornak}(x, ...)
}
\arguments{
  \item{object}{a fit returned by \code{\link{vornak}}.}
  \item{burn}{share of each chain's draws left out at its start.}
  \item{loss}{the loss of the point estimate: variation of information (\code{"vi"}) or
    Binder's loss.}
  \item{x}{a summary, or a fit.}
  \item{...}{not used.}
}
\details{
  The engine writes its files into the fit's folder, under the prefix \file{summary} (then
  \file{summary2}, \dots{} for later calls; \code{vornak} itself makes the first, for the
  fit's cluster description); \code{print} shows the text the program prints. A fit whose
  folder is gone (read back with \code{readRDS} in another session) is summarised from the
  draws it holds, written into a new temporary folder, where the summary's files go. A warning line is part of the text when R-hat exceeds 1.01 or an effective
  sample size is below 100, when the chains ended in different modes, and when the chains
  that reached the best mode all started from one partition. Chains in different modes: the
  estimate, the posterior on \eqn{k} and the uncertainties come from the chains of the best
  mode alone and are conditional on that mode; the text says so.
}
\value{
  An object of class \code{"summary.vornak"}, a list with
  \item{posterior_k}{posterior probability of each number of clusters (named by it).}
  \item{estimate}{the point estimate, labels 1, 2, \dots{} in order of first appearance.}
  \item{expected_loss}{expected loss of the estimate and of the best draw.}
  \item{cluster_size}{sizes of the estimate's clusters, named by the engine's labels.}
  \item{uncertainty}{per observation, 1 minus its posterior probability of sharing a
    cluster with its cluster-mates in the estimate.}
  \item{ess, rhat, ari}{effective sample sizes of the score and \eqn{k} traces per chain;
    rank-normalised split R-hat of both across chains; adjusted Rand index between the
    chains' estimates.}
  \item{starts, modes, estimate_chains}{each chain's start (the engine's \code{-Z} word, or
    \code{"-"}); the modes the chains ended in, best first (\code{score}, \code{k},
    \code{log_odds} against the best, \code{chains}); the chains whose draws make the
    estimate.}
  \item{columns, P}{with column selection: the data frame of each column's probability of
    being clustered (as \code{columns} of \code{\link{vornak}}'s fit, else \code{NULL}), and
    P's posterior mean and 2.5 and 97.5 \% quantiles from the \file{.pdraws} files (runs with a
    prior on P; else empty).}
  \item{psm}{posterior similarity matrix (\code{NULL} above 5000 observations).}
  \item{warnings, table, text, files, loss, burn}{the engine's warnings, its whole table
    (columns \code{quantity}, \code{chain}, \code{item}, \code{value}), its text, the paths
    of its files (\code{estimate}, \code{psm}, \code{svg}, \code{table}) and the settings.}
}
\seealso{\code{\link{vornak}}, \code{\link{plot.vornak}}, \code{\link{getting-answers}}}
\examples{
fit <- vornak(iris[, 1:4], model = "mclust2", k = 0, iterations = 200, chains = 2)
s <- summary(fit)
s
s$posterior_k
table(s$estimate, iris$Species)
}
\keyword{cluster}
