\name{plot.vornak}
\alias{plot.vornak}
\alias{as.mcmc.list.vornak}
\alias{as.mcmc.list}
\title{Plots and coda Diagnostics of a vornak Fit}
\description{
  \code{plot} draws, with base graphics, the score and the number of clusters of the kept
  draws of every chain (the summary's burn-in marked), the posterior on the number of clusters, and the posterior similarity matrix as a
  heat map ordered by the point estimate (its clusters marked). \code{as.mcmc.list} gives
  the score and number of clusters of the kept draws, one chain each, to the \pkg{coda}
  package (when it is installed); the package's \code{as.mcmc.list} hands any object to
  \pkg{coda}'s generic, so it works whether or not \pkg{coda} is attached.
}
\usage{
\method{plot}{vornak}(x, summary = NULL, which = 1:4, ...)
\method{as.mcmc.list}{vornak}(x, ...)
as.mcmc.list(x, ...)
}
\arguments{
  \item{x}{a fit returned by \code{\link{vornak}}.}
  \item{summary}{its \code{\link[=summary.vornak]{summary}}; made with the defaults when
    \code{NULL} and a panel needs it.}
  \item{which}{the panels: 1 score of the draws, 2 clusters per draw, 3 posterior on the number
    of clusters, 4 similarity heat map.}
  \item{...}{not used.}
}
\value{
  \code{plot}: the summary, invisibly. \code{as.mcmc.list}: a \code{coda::mcmc.list}.
}
\seealso{\code{\link{vornak}}, \code{\link{summary.vornak}}}
\examples{
fit <- vornak(iris[, 1:4], model = "mclust2", k = 0, iterations = 200, chains = 2)
plot(fit)
if (requireNamespace("coda", quietly = TRUE)) {
  draws <- as.mcmc.list(fit)
  coda::effectiveSize(draws)
}
}
\keyword{hplot}
