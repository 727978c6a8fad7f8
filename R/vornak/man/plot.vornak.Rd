\name{plot.vornak}
\alias{plot.vornak}
\alias{as.mcmc.list.vornak}
\alias{as.mcmc.list}
\title{Plots and coda Diagnostics of a vornak Fit}
\description{
  \code{plot} draws, with base graphics, the score and the number of clusters of the kept
  draws of every chain (the summary's burn-in marked), the posterior on the number of
  clusters, and the posterior similarity matrix as a heat map ordered by the point estimate
  (its clusters marked); \code{plot(fit, "clusters")} draws the data coloured by the
  estimated cluster. \code{as.mcmc.list} gives the score and number of clusters of the kept
  draws after the burn-in, one chain each, to the \pkg{coda} package (when it is installed);
  the package's \code{as.mcmc.list} hands any object to \pkg{coda}'s generic, so it works
  whether or not \pkg{coda} is attached. Chains stopped once they agree keep different
  numbers of draws, while \pkg{coda} wants the same iterations in every chain: each chain is
  cut to the draws every chain has (as many as the shortest chain's), and the burn-in is taken
  from those. Both work from the object alone, also after
  \code{saveRDS} and \code{readRDS} in another session.
}
\usage{
\method{plot}{vornak}(x, summary = NULL, which = 1:4, ...)
\method{as.mcmc.list}{vornak}(x, burn = 0.5, ...)
as.mcmc.list(x, ...)
}
\arguments{
  \item{x}{a fit returned by \code{\link{vornak}}.}
  \item{summary}{its \code{\link[=summary.vornak]{summary}}; made with the defaults when
    \code{NULL} and a panel needs it. A character string here is taken as \code{which}.}
  \item{which}{the panels: 1 score of the draws (chains that ended in different modes: a
    dotted line at each mode's best score, and which chains the estimate comes from), 2 clusters per draw, 3 posterior on the number
    of clusters, 4 similarity heat map; or \code{"clusters"}: the data coloured by cluster
    (real data: the two columns, or the first two principal components of the scaled
    columns, missing cells at their column's mean; matrices of 0/1 or levels: a heat map of
    the rows ordered by cluster; sequences: the alignment ordered by cluster, each cluster's
    consensus below its rows).}
  \item{burn}{share of the draws every chain has (the shortest chain's number) left out at
    their start (\code{0} keeps them all).}
  \item{...}{not used.}
}
\value{
  \code{plot}: the summary, invisibly; with \code{"clusters"}, what was drawn: a list of
  the \code{estimate} and the \code{points}, or the \code{rows} in their order (and
  their \code{labels} for sequences). \code{as.mcmc.list}: a \code{coda::mcmc.list}.
}
\seealso{\code{\link{vornak}}, \code{\link{summary.vornak}}}
\examples{
fit <- vornak(iris[, 1:4], model = "mclust2", k = 0, iterations = 200, chains = 2)
plot(fit)
plot(fit, "clusters")
if (requireNamespace("coda", quietly = TRUE)) {
  draws <- as.mcmc.list(fit)
  coda::effectiveSize(draws)
}
}
\keyword{hplot}
