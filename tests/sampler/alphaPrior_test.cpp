// The Gamma prior on alpha (-A): the step of alpha alone leaves alpha's conditional given the
// number of clusters invariant, and the joint chain of partition and alpha (a move, then the
// step) visits the partitions of five observations with their marginal probabilities, alpha
// integrated numerically over its prior, and alpha with its posterior mean.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <map>
#include <memory>
#include <vector>

#include "sampler/PartitionPrior.h"
#include "sampler/moves/SplitMerge.h"
#include "stats/rvgs.h"
#include "support/TinyModel.h"

namespace {

// Integrals over alpha = e^u of Gamma(alpha; shape, rate) alpha^K Gamma(alpha) / Gamma(alpha + n)
// (the Dirichlet-process prior of a partition with K clusters, less its product of
// Gamma(size)), and of alpha times it: trapezoids on a fine grid of u.
struct AlphaIntegral {
  double logMass = 0;    // log of the integral, up to a constant common to every K
  double meanAlpha = 0;  // the mean of alpha under the normalised integrand
};

AlphaIntegral integrate(double shape, double rate, int clusters, int n) {
  const double lo = -40, hi = 8, step = 1e-3;
  std::vector<double> logs;
  for (double u = lo; u <= hi; u += step) {
    const double alpha = std::exp(u);
    logs.push_back((shape + clusters) * u - rate * alpha + std::lgamma(alpha) -
                   std::lgamma(alpha + n));
  }
  double top = logs[0];
  for (double v : logs) top = std::max(top, v);
  double mass = 0, first = 0;
  for (size_t g = 0; g < logs.size(); g++) {
    const double w = std::exp(logs[g] - top) * (g == 0 || g + 1 == logs.size() ? 0.5 : 1.0);
    mass += w;
    first += w * std::exp(lo + g * step);
  }
  return {top + std::log(mass * step), first / mass};
}

struct Case {
  const char* move;
  double shape, rate;
  long iterations;
  double maxTotalVariation;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
  return os << c.move << " Gamma(" << c.shape << ", " << c.rate << ")";
}

class AlphaPriorChain : public ::testing::TestWithParam<Case> {};

TEST_P(AlphaPriorChain, PartitionsAndAlphaFollowTheirExactMarginals) {
  const Case c = GetParam();
  TinyModel model({0.0, 0.4, 1.1, 1.5, 2.6});
  const int n = model.n;
  NullStream log;
  PartitionSampler sampler(0, n, INTEGRATED, &model, 0.0, log, c.move);
  // Exact: p(z) proportional to exp(cluster scores) prod Gamma(size) times the integral over
  // alpha for its number of clusters.
  std::map<std::vector<int>, double> exact;
  double exactAlpha = 0, total = 0;
  std::map<int, AlphaIntegral> byK;
  for (int k = 1; k <= n; k++) byK[k] = integrate(c.shape, c.rate, k, n);
  std::vector<double> logWeights;
  const auto partitions = allSetPartitions(n, 0);
  for (const auto& z : partitions) {
    const int k = blockCount(z);
    double w = byK[k].logMass;
    for (int j = 0; j < k; j++) {
      int size = 0;
      for (int label : z) size += label == j;
      w += model.getClusterFit(z.data(), j) + std::lgamma(size);
    }
    logWeights.push_back(w);
  }
  for (size_t p = 0; p < partitions.size(); p++) total += std::exp(logWeights[p]);
  for (size_t p = 0; p < partitions.size(); p++) {
    const double prob = std::exp(logWeights[p]) / total;
    exact[partitions[p]] = prob;
    exactAlpha += prob * byK[blockCount(partitions[p])].meanAlpha;
  }

  _rng.initialize(11);
  sampler.initZ("");
  auto& process = dynamic_cast<DirichletProcessPrior&>(sampler.scorer.prior());
  const GammaAlphaPrior prior(c.shape, c.rate);
  std::unique_ptr<Move> move;
  if (std::string(c.move) == "OA")
    move = std::make_unique<OneAtATime>(n, sampler.debug);
  else
    move = std::make_unique<JainNealSplitMerge>(n, sampler.debug);
  std::map<std::vector<int>, long> counts;
  double alphaSum = 0;
  for (long it = 0; it < c.iterations; it++) {
    stepOn(*move, sampler);
    int clusters = 0;
    for (int j = 0; j < sampler.state.kold; j++) clusters += sampler.state.clusterSizes0[j] > 0;
    prior.step(process, clusters, n);
    counts[canonical(sampler.state.zold.data(), n)]++;
    alphaSum += std::exp(process.logalpha());
  }
  EXPECT_LT(totalVariation(exact, counts), c.maxTotalVariation);
  EXPECT_NEAR(alphaSum / c.iterations, exactAlpha, 0.04 * exactAlpha);
  // The partition prior at a fixed alpha would give other frequencies: the test can tell.
  PartitionSampler fixed(0, n, INTEGRATED, &model, std::log(c.shape / c.rate), log, c.move);
  EXPECT_GT(totalVariation(exactDistribution(fixed, partitions), counts),
            c.maxTotalVariation);
}

INSTANTIATE_TEST_SUITE_P(Moves, AlphaPriorChain,
                         ::testing::Values(Case{"OA", 2.0, 1.0, 80000, 0.02},
                                           Case{"OA", 1.0, 0.2, 80000, 0.02},
                                           Case{"JN", 3.0, 2.0, 200000, 0.03}));

// The step alone, at a fixed number of clusters: alpha's draws have the mean and variance of
// its conditional, Gamma(alpha; shape, rate) alpha^K Gamma(alpha) / Gamma(alpha + n).
TEST(AlphaPriorStep, LeavesTheConditionalOfAlphaInvariant) {
  const struct {
    double shape, rate;
    int clusters, n;
  } cases[] = {{2, 1, 3, 10}, {1, 0.1, 1, 50}, {0.5, 2, 7, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.clusters);
    const AlphaIntegral exact = integrate(c.shape, c.rate, c.clusters, c.n);
    // The conditional's second moment from the integral with one more alpha.
    const double meanSquare =
        exact.meanAlpha * integrate(c.shape + 1, c.rate, c.clusters, c.n).meanAlpha;
    DirichletProcessPrior process(c.n, 0.0);
    const GammaAlphaPrior prior(c.shape, c.rate);
    _rng.initialize(3);
    double sum = 0, squares = 0;
    const int draws = 200000;
    for (int d = 0; d < draws; d++) {
      prior.step(process, c.clusters, c.n);
      const double alpha = std::exp(process.logalpha());
      sum += alpha;
      squares += alpha * alpha;
    }
    const double mean = sum / draws;
    EXPECT_NEAR(mean, exact.meanAlpha, 0.02 * exact.meanAlpha);
    EXPECT_NEAR(squares / draws - mean * mean, meanSquare - exact.meanAlpha * exact.meanAlpha,
                0.05 * (meanSquare - exact.meanAlpha * exact.meanAlpha));
  }
}

}  // namespace
