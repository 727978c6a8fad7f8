#include "sampler/PartitionPrior.h"

#include <cmath>
#include <limits>

#include "stats/MathPlus.h"
#include "stats/rvgs.h"

namespace {

std::vector<double> lgammaTable(int largest) {
  std::vector<double> table(largest + 1);
  for (int s = 0; s <= largest; s++) table[s] = MathPlus::mylgamma(s);
  return table;
}

// Below this alpha, log(alpha + i - 1) is taken as log(i - 1) + log1p(alpha / (i - 1)) (and
// logalpha for i = 1). The plain form rounds alpha + i first: for i = 1 that costs up to
// 2^-53 / alpha in the log (all of alpha below 2^-53, giving log 0), for i > 1 at most
// 2^-52 relative. From 1e-6 up the plain form's error stays below 1.2e-10, under what the
// ten significant digits of the outputs show of a score beyond 1 in size, and runs with
// the usual alphas keep their bits.
const double kPlainAlpha = 1e-6;

}  // namespace

double PartitionPrior::logPriorMagnitude(int, int) const {
  return std::numeric_limits<double>::infinity();
}

// ---------------------------------------------------------------------------------------
// Dirichlet process

DirichletProcessPrior::DirichletProcessPrior(int n, double logalpha)
    : n_(n), lgamma_(lgammaTable(n + 1)), normaliser_(n + 1, 0.0) {
  setLogAlpha(logalpha);
}

void DirichletProcessPrior::setLogAlpha(double logalpha) {
  logalpha_ = logalpha;
  const double alpha = std::exp(logalpha);
  const bool plain = alpha >= kPlainAlpha;
  normaliser_[0] = 0;
  for (int i = 1; i <= n_; i++) {
    const double term =
        plain    ? std::log(alpha + i - 1)
        : i == 1 ? logalpha
                 : std::log(static_cast<double>(i - 1)) + std::log1p(alpha / (i - 1));
    normaliser_[i] = normaliser_[i - 1] + term;
  }
}

double DirichletProcessPrior::logPrior(const int* sizes, int k) const {
  int nonEmpty = 0, m = 0;
  double lgammaSum = 0;
  for (int j = 0; j < k; j++) {
    if (sizes[j] != 0) nonEmpty++;
    lgammaSum += lgamma_[sizes[j]];
    m += sizes[j];
  }
  return nonEmpty * logalpha_ + lgammaSum - normaliser_[m];
}

// Gamma(a) Gamma(b) <= Gamma(a + b) for a, b >= 1: the log-gammas of the sizes add up to at
// most that of their sum, and none is negative.
double DirichletProcessPrior::logPriorMagnitude(int m, int k) const {
  return lgamma_[m] + k * std::fabs(logalpha_) + std::fabs(normaliser_[m]);
}

double DirichletProcessPrior::logJoinWeight(int size, int) const {
  return size == 0 ? logalpha_ : std::log(static_cast<double>(size));
}

double DirichletProcessPrior::logMoveRatio(int fromSize, int toSize, int) const {
  const int nonEmpty = (fromSize > 1) - 1 + (toSize == 0);
  return nonEmpty * logalpha_ + (lgamma_[fromSize - 1] - lgamma_[fromSize]) +
         (lgamma_[toSize + 1] - lgamma_[toSize]);
}

// log of alpha * Gamma(size1) * Gamma(size - size1) / Gamma(size).
double DirichletProcessPrior::logSplitRatio(int size, int size1, int) const {
  return logalpha_ + lgamma_[size1] + lgamma_[size - size1] - lgamma_[size];
}

void GammaAlphaPrior::step(DirichletProcessPrior& prior, int clusters, int n) const {
  const double alpha = std::exp(prior.logalpha());
  // log eta, eta ~ Beta(alpha + 1, n) as G1 / (G1 + G2).
  const double logG1 = rGamma(alpha + 1, true);
  const double logG2 = rGamma(n, true);
  const double logEta = logG1 - MathPlus::logAddExp(logG1, logG2);
  const double rate = rate_ - logEta;
  // Odds of the component with shape + K: (shape + K - 1) / (n (rate - log eta)).
  const double odds = (shape_ + clusters - 1) / (n * rate);
  const bool upper = myunif_rand() * (1 + odds) < odds;
  const double shape = shape_ + clusters - (upper ? 0 : 1);
  prior.setLogAlpha(rGamma(shape, true) - std::log(rate));
}

// ---------------------------------------------------------------------------------------
// Fixed k, symmetric Dirichlet(1)

FixedKDirichletPrior::FixedKDirichletPrior(int n, int k, ScoringMode mode)
    : k_(k),
      reference_(mode == ScoringMode::Reference),
      dirichlet_(static_cast<short>(k)),
      lgamma_(lgammaTable(n + 1)),
      lbeta_(MathPlus::lbeta(dirichlet_.alpha.data(), dirichlet_.dimension, true)) {}

double FixedKDirichletPrior::logPrior(const int* sizes, int k) const {
  if (reference_) return dirichlet_.logIntegratedLik(sizes);
  // DirichletRV::logIntegratedLik with every parameter 1: 1 + size is a whole number, so the
  // log-gammas come from the table; sums run in the same order as there.
  double out = 0, alphaSum = 0;
  for (int j = 0; j < k; j++) {
    const double posterior = 1.0 + sizes[j];
    out += lgamma_[1 + sizes[j]];
    alphaSum += posterior;
  }
  return (out - MathPlus::mylgamma(alphaSum)) - lbeta_;
}

// As for the Dirichlet process, over 1 + size: the sum of the log-gammas and the log-gamma of
// their arguments' sum m + k are each at most log Gamma(m + k).
double FixedKDirichletPrior::logPriorMagnitude(int m, int k) const {
  return 2 * MathPlus::mylgamma(static_cast<double>(m) + k) + std::fabs(lbeta_);
}

double FixedKDirichletPrior::logJoinWeight(int size, int) const {
  return std::log(static_cast<double>(size + 1));
}

double FixedKDirichletPrior::logMoveRatio(int fromSize, int toSize, int) const {
  return (lgamma_[fromSize] - lgamma_[fromSize + 1]) + (lgamma_[toSize + 2] - lgamma_[toSize + 1]);
}

double FixedKDirichletPrior::logSplitRatio(int size, int size1, int) const {
  return (lgamma_[size1 + 1] + lgamma_[size - size1 + 1]) - (lgamma_[size + 1] + lgamma_[1]);
}

std::unique_ptr<PartitionPrior> makePartitionPrior(int n, int k, double logalpha,
                                                   ScoringMode mode) {
  if (k <= 0) return std::make_unique<DirichletProcessPrior>(n, logalpha);
  return std::make_unique<FixedKDirichletPrior>(n, k, mode);
}
