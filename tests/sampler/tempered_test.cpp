// A chain at inverse temperature beta targets exp(beta * total score): every move family,
// run alone (and a "2" form with its sweeps), visits the partitions of five observations
// with the exact tempered probabilities from enumeration.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "io/RunError.h"
#include "sampler/moves/SplitMerge.h"
#include "sampler/moves/TreeGuided.h"
#include "stats/rvgs.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kPoints = {0.0, 0.3, 1.4, 1.6, 2.9};
const double kBeta = 0.5;

// Exact probabilities proportional to exp(beta * getTotalLik).
std::map<std::vector<int>, double> temperedDistribution(const PartitionSampler& sampler, int k,
                                                        double beta) {
  return exactDistribution(sampler, allSetPartitions(sampler.state.n, k), beta);
}

double distance(const std::map<std::vector<int>, double>& a,
                const std::map<std::vector<int>, double>& b) {
  double tv = 0;
  for (const auto& entry : a) tv += std::fabs(entry.second - b.at(entry.first));
  return tv / 2;
}

using MakeMove = std::function<std::unique_ptr<Move>(int n, DebugLog debug)>;

struct TemperedCase {
  const char* name;
  int k;
  MakeMove move;
  bool sweeps;  // two one-at-a-time sweeps after each move
  long iterations;
};

std::ostream& operator<<(std::ostream& os, const TemperedCase& c) {
  return os << c.name << " k=" << c.k;
}

MakeMove tree(bool infmix, FlatProposal flat, bool leaves, double p) {
  return [=](int n, DebugLog debug) {
    return std::make_unique<TreeGuidedSplitMerge>(n, infmix, TreeMoveSettings{flat, leaves, p},
                                                  debug);
  };
}

template <class M>
std::unique_ptr<Move> make(int n, DebugLog debug) {
  return std::make_unique<M>(n, debug);
}

class TemperedInvariance : public ::testing::TestWithParam<TemperedCase> {};

TEST_P(TemperedInvariance, MatchesTheExactTemperedDistribution) {
  const TemperedCase c = GetParam();
  TinyModel model(kPoints);
  NullStream log;
  PartitionSampler sampler(c.k, model.n, INTEGRATED, &model, -0.5, log, "OA");
  sampler.scorer.setInverseTemperature(kBeta);
  const auto exact = temperedDistribution(sampler, c.k, kBeta);
  // Heating changes the target enough for a move that ignores it to fail.
  ASSERT_GT(distance(exact, temperedDistribution(sampler, c.k, 1.0)), 0.1);
  _rng.initialize(3);
  sampler.initZ("");
  const std::unique_ptr<Move> move = c.move(model.n, sampler.debug);
  const auto counts = chainCounts(sampler, *move, c.sweeps, c.iterations);
  EXPECT_LT(totalVariation(exact, counts), 0.03);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, TemperedInvariance,
    ::testing::Values(TemperedCase{"OA", 0, make<OneAtATime>, false, 40000},
                      TemperedCase{"OA", 2, make<OneAtATime>, false, 40000},
                      TemperedCase{"JN", 0, make<JainNealSplitMerge>, false, 150000},
                      TemperedCase{"DA", 0, make<SequentialSplitMerge>, false, 150000},
                      TemperedCase{"SR", 0, make<RandomSplitMerge>, false, 150000},
                      TemperedCase{"SR", 2, tree(false, FlatProposal::Never, false, 0.0), false,
                                   60000},
                      TemperedCase{"UX", 0, tree(true, FlatProposal::Never, true, 0.9), false,
                                   60000},
                      TemperedCase{"UX", 3, tree(false, FlatProposal::Never, true, 0.9), false,
                                   60000},
                      TemperedCase{"UXf", 0, tree(true, FlatProposal::Always, true, 0.9), false,
                                   60000},
                      TemperedCase{"rBHS2", 0, tree(true, FlatProposal::EveryTenth, false, 0.9),
                                   true, 20000},
                      TemperedCase{"JN2", 0, make<JainNealSplitMerge>, true, 20000}));

TEST(Temperature, DefaultsToOneAndRefusesValuesOutsideZeroToOne) {
  TinyModel model(kPoints);
  NullStream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0.0, log, "OA");
  EXPECT_EQ(sampler.scorer.inverseTemperature(), 1.0);
  EXPECT_EQ(sampler.scorer.tempered(-3.25), -3.25);
  for (double bad : {0.0, -0.5, 1.5, std::nan("")})
    EXPECT_THROW(sampler.scorer.setInverseTemperature(bad), RunError) << bad;
  sampler.scorer.setInverseTemperature(0.25);
  EXPECT_EQ(sampler.scorer.tempered(-3.0), -0.75);
  // Scores themselves stay untempered.
  const int z[5] = {0, 0, 1, 1, 1};
  PartitionSampler cold(0, model.n, INTEGRATED, &model, 0.0, log, "OA");
  EXPECT_EQ(sampler.scorer.getTotalLik(z, 2), cold.scorer.getTotalLik(z, 2));
}

}  // namespace
