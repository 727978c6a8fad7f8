// The close-pair split-merge move "CM": its merge pair probabilities, its invariance (the
// partitions of five or six observations visited with their exact probabilities under
// exp(beta * total score)) for 1-D points, a categorical and a real model, heated or not, and
// a two-mode alignment where one-at-a-time sweeps never leave the worse mode and CM reaches
// the best one.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "models/HDBern.h"
#include "models/PriorStrings.h"
#include "models/ProteinSequence.h"
#include "models/diagonal.h"
#include "sampler/moves/CloseSplitMerge.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/RowModels.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kFive = {0.0, 0.3, 1.4, 1.6, 2.9};
const std::vector<double> kSix = {0.0, 0.3, 1.4, 1.6, 2.9, 3.3};

// Counts of the partitions after each of iterations steps (each followed by two sweeps
// when sweeps), from the sampler's current partition.
std::map<std::vector<int>, long> runCM(PartitionSampler& sampler, bool sweeps, long iterations) {
  CloseSplitMerge move(sampler.state.n, 2, sampler.debug);
  return chainCounts(sampler, move, sweeps, iterations);
}

TEST(CloseSplitMerge, PairProbabilitiesSumToOneAndFavourClosePairs) {
  // Pairs of a partition of five points into k = 2..5 clusters: the probabilities of all
  // pairs add up to one, and of the clusters {0.0} and {0.3}, {2.9}, the near pair is more
  // likely than the far one.
  TinyModel model(kFive);
  NullStream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0.0, log, "CM");
  CloseSplitMerge move(model.n, 2, sampler.debug);
  const std::vector<std::vector<int>> partitions = {
      {0, 1, 2, 2, 3}, {0, 0, 1, 1, 1}, {0, 1, 2, 3, 4}, {0, 1, 1, 2, 0}};
  for (double beta : {1.0, 0.3}) {
    sampler.scorer.setInverseTemperature(beta);
    for (const auto& z : partitions) {
      const int k = blockCount(z);
      move.usePartition(sampler.scorer, z, k);
      double total = 0;
      for (int a = 0; a < k; a++)
        for (int b = a + 1; b < k; b++) {
          const double p = std::exp(move.logPairProbability(sampler.scorer, a, b));
          EXPECT_DOUBLE_EQ(p, std::exp(move.logPairProbability(sampler.scorer, b, a)));
          total += p;
        }
      EXPECT_NEAR(total, 1.0, 1e-12) << ::testing::PrintToString(z) << " beta " << beta;
    }
    move.usePartition(sampler.scorer, {0, 1, 2, 2, 3}, 4);
    EXPECT_GT(move.logPairProbability(sampler.scorer, 0, 1),
              move.logPairProbability(sampler.scorer, 0, 3) + 1.0);
  }
}

// ---------------------------------------------------------------------------------------
// Invariance on 1-D points. The move alone is what sees a wrong ratio (a dropped pair
// probability or anchor term moves it to 0.1 or more); the "2" form checks the combination.

struct PointCase {
  const std::vector<double>* points;
  double logalpha;
  double beta;
  bool sweeps;
  long iterations;
};

std::ostream& operator<<(std::ostream& os, const PointCase& c) {
  return os << "n " << c.points->size() << " logalpha " << c.logalpha << " beta " << c.beta
            << (c.sweeps ? " CM2" : " CM");
}

class CloseSplitMergeInvariance : public ::testing::TestWithParam<PointCase> {};

TEST_P(CloseSplitMergeInvariance, MatchesExactDistribution) {
  const PointCase c = GetParam();
  TinyModel model(*c.points);
  NullStream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, c.logalpha, log, "CM");
  sampler.scorer.setInverseTemperature(c.beta);
  const auto exact = exactDistribution(sampler, allSetPartitions(model.n, 0), c.beta);
  _rng.initialize(3);
  sampler.initZ("");
  EXPECT_LT(totalVariation(exact, runCM(sampler, c.sweeps, c.iterations)), 0.03);
}

INSTANTIATE_TEST_SUITE_P(Points, CloseSplitMergeInvariance,
                         ::testing::Values(PointCase{&kFive, 0.0, 1.0, false, 200000},
                                           PointCase{&kFive, -0.8, 1.0, false, 200000},
                                           PointCase{&kSix, 1.1, 0.4, false, 200000},
                                           PointCase{&kFive, 0.5, 1.0, true, 40000}));

// ---------------------------------------------------------------------------------------
// A categorical (HDGBern) and a real (diagonal) model, scored fast by the sampler and
// enumerated in the reference mode.

enum class Model { Categorical, Real };

std::unique_ptr<Observable> build(Model kind, const std::string& file, ScoringMode mode) {
  if (kind == Model::Real) return rowModel<diagonal>(file, "1", mode);
  std::string prior = "1 20\n1\n";
  for (int m = 0; m < 20; m++) prior += "0.5 ";
  return rowModel<HDGBern>(file, prior, mode);
}

TEST(CloseSplitMerge, MatchesExactDistributionOfCategoricalAndRealModels) {
  struct Case {
    Model model;
    const char* rows;
    double beta;
  } cases[] = {
      {Model::Categorical, "0 1 3 2\n0 1 4 2\n2 3 3 2\n2 3 3 7\n5 3 1 2\n0 1 1 2\n", 1.0},
      {Model::Categorical, "0 1 3 2\n0 1 4 2\n2 3 3 2\n2 3 3 7\n5 3 1 2\n", 0.5},
      {Model::Real, "0.0 0.2 5\n0.3 -0.1 4\n1.4 0.9 6\n1.6 1.2 5\n2.9 2.1 3\n3.2 2.0 4\n", 1.0},
      {Model::Real, "0.0 0.2 5\n0.3 -0.1 4\n1.4 0.9 6\n1.6 1.2 5\n2.9 2.1 3\n", 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    TempDir dir;
    dir.write("rows.dat", c.rows);
    auto targetModel = build(c.model, dir.file("rows.dat"), ScoringMode::Reference);
    auto model = build(c.model, dir.file("rows.dat"), ScoringMode::Fast);
    NullStream log;
    PartitionSampler target(0, targetModel->n, INTEGRATED, targetModel.get(), 0.0, log, "CM",
                            ScoringMode::Reference);
    const auto exact = exactDistribution(target, allSetPartitions(targetModel->n, 0), c.beta);
    PartitionSampler sampler(0, model->n, INTEGRATED, model.get(), 0.0, log, "CM",
                             ScoringMode::Fast);
    sampler.scorer.setInverseTemperature(c.beta);
    _rng.initialize(8);
    sampler.initZ("");
    EXPECT_LT(totalVariation(exact, runCM(sampler, false, 150000)), 0.03);
  }
}

// ---------------------------------------------------------------------------------------
// Two modes of six aligned sequences: three share residue A and three residue C at 52
// sites, all six share W at two. Two clusters (the best) score about 12 nats above one
// cluster, and every partition one observation away from one cluster scores some 45 nats
// below it, so a one-at-a-time sweep started there never leaves it.

std::string twoModeAlignment() {
  std::string fasta;
  for (int i = 0; i < 6; i++)
    fasta += ">s" + std::to_string(i) + "\n" + std::string(52, i < 3 ? 'A' : 'C') + "WW\n";
  return fasta;
}

TEST(CloseSplitMerge, LeavesTheWorseOfTwoAlignmentModesWhereSweepsStay) {
  TempDir dir;
  dir.write("two.fasta", twoModeAlignment());
  std::ostringstream modelLog;
  std::stringstream prior(ProteinSequenceFlatPriorString);
  std::unique_ptr<ProteinSequence> model;
  {
    CaptureStdout quiet;
    model = std::make_unique<ProteinSequence>(dir.file("two.fasta"), prior, modelLog);
  }
  NullStream log;
  PartitionSampler sampler(0, model->n, INTEGRATED, model.get(), 0.0, log, "CM");
  const auto partitions = allSetPartitions(model->n, 0);
  const auto exact = exactDistribution(sampler, partitions);
  const std::vector<int> one(6, 0), two = {0, 0, 0, 1, 1, 1};
  const double scoreOne = sampler.scorer.getTotalLik(one.data(), 1);
  const double scoreTwo = sampler.scorer.getTotalLik(two.data(), 2);
  // The fixture is what it claims: the gap, and the barrier around one cluster.
  EXPECT_GT(scoreTwo - scoreOne, 10.0);
  EXPECT_LT(scoreTwo - scoreOne, 15.0);
  for (int i = 0; i < 6; i++) {
    std::vector<int> alone(6, 0);
    alone[i] = 1;
    EXPECT_LT(sampler.scorer.getTotalLik(alone.data(), 2), scoreOne - 30.0);
  }
  struct Run {
    bool closeMoves;  // CM2; otherwise OA alone
    double maxTotalVariation, minTotalVariation;
  } runs[] = {{false, 2.0, 0.99}, {true, 0.01, 0.0}};
  for (const Run& r : runs) {
    SCOPED_TRACE(r.closeMoves ? "CM2" : "OA");
    _rng.initialize(5);
    sampler.state.setPartition(one, 1);
    OneAtATime sweep(6, sampler.debug);
    const auto counts = r.closeMoves ? runCM(sampler, true, 20000)
                                     : chainCounts(sampler, sweep, true, 20000);
    const double tv = totalVariation(exact, counts);
    EXPECT_LT(tv, r.maxTotalVariation);
    EXPECT_GE(tv, r.minTotalVariation);
  }
}

}  // namespace
