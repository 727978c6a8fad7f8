#include <gtest/gtest.h>

#include <sstream>

#include "stats/rvgs.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kPoints = {0.0, 0.3, 1.4, 1.6, 2.9};

// Samples the partition once per sweep: with a fixed k a singleton adds no trace point,
// so trace points would over-weight partitions with fewer singletons.
std::map<std::vector<int>, long> sweepFrequencies(PartitionSampler& sampler, int sweeps) {
  std::map<std::vector<int>, long> counts;
  for (int s = 0; s < sweeps; s++) {
    sampler.oneAtATime();
    counts[canonical(sampler.zold.data(), sampler.n)]++;
  }
  return counts;
}

struct Case {
  int k;
  double logalpha;
  FitnessZType criterion;
};

class OneAtATimeInvariance : public ::testing::TestWithParam<Case> {};

TEST_P(OneAtATimeInvariance, MatchesExactDistribution) {
  const Case c = GetParam();
  TinyModel model(kPoints);
  NullStream log;
  PartitionSampler sampler(c.k, model.n, c.criterion, &model, c.logalpha, log, "OA");
  _rng.initialize(2);
  sampler.initZ("");
  auto exact = exactDistribution(sampler, allSetPartitions(model.n, c.k));
  auto counts = sweepFrequencies(sampler, 60000);
  EXPECT_LT(totalVariation(exact, counts), 0.02);
}

INSTANTIATE_TEST_SUITE_P(FixedAndOpenK, OneAtATimeInvariance,
                         ::testing::Values(Case{2, 0.0, INTEGRATED}, Case{3, 0.0, INTEGRATED},
                                           Case{0, 0.0, INTEGRATED}, Case{0, 1.2, INTEGRATED},
                                           Case{0, 0.0, CLASSIFICATION}, Case{2, 0.0, MIXTURE}));

// Sampler over the fixed points with a given current partition.
struct Fixture {
  TinyModel model{kPoints};
  std::ostringstream log;
  PartitionSampler sampler;
  Fixture(int k, std::vector<int> z)
      : sampler(k, 5, INTEGRATED, &model, 0.0, log, "OA") {
    sampler.zold = z;
    sampler.kold = *std::max_element(z.begin(), z.end()) + 1;
    U::table(sampler.zold.data(), 5, sampler.clusterSizes0.data(), sampler.kold);
  }
};

int lineCount(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(OneAtATime, FixedKNeverMovesASingletonAndLogsTwoLinesPerVisit) {
  // Observation 4 is alone: it is skipped, the other four write two lines each.
  Fixture f(2, {0, 0, 0, 0, 1});
  _rng.initialize(2);
  f.sampler.oneAtATime();
  EXPECT_EQ(f.sampler.zold[4], 1);
  EXPECT_EQ(f.sampler.kold, 2);
  EXPECT_EQ(lineCount(f.log.str()), 8);
  EXPECT_EQ(f.sampler.preivousLikCount, 4);  // one trace point per visited observation, none for 4
}

TEST(OneAtATime, FixedSingleClusterDrawsNothing) {
  Fixture f(1, {0, 0, 0, 0, 0});
  _rng.initialize(2);
  f.sampler.previousLik = f.sampler.getTotalLik(f.sampler.zold.data(), 1);
  f.sampler.oneAtATime();
  mersenne fresh;
  fresh.initialize(2);
  EXPECT_EQ(myunif_rand(), fresh.runif());  // the stream did not move
  EXPECT_EQ(lineCount(f.log.str()), 10);
  EXPECT_EQ(f.sampler.preivousLikCount, 5);
  EXPECT_EQ(f.sampler.acceptanceCnt, 0);
}

TEST(OneAtATime, CandidateScoresUseTheSameLabelRange) {
  // Open k, observation 0 in a cluster of two: candidates 0, 1 and the new label 2, each
  // scored with k = 3, so candidates that leave a label empty keep it in the range.
  Fixture f(0, {0, 0, 1, 1, 1});
  _rng.initialize(2);
  f.sampler.oneAtATime();
  std::istringstream lines(f.log.str());
  std::string zLine, scoreLine;
  std::getline(lines, zLine);
  std::getline(lines, scoreLine);
  EXPECT_EQ(zLine, "0 0 1 1 1 ");
  std::vector<double> scores;
  std::istringstream values(scoreLine);
  for (double v; values >> v;) scores.push_back(v);
  ASSERT_EQ(scores.size(), 3u);
  const int candidates[3][5] = {{0, 0, 1, 1, 1}, {1, 0, 1, 1, 1}, {2, 0, 1, 1, 1}};
  for (int j = 0; j < 3; j++)
    EXPECT_NEAR(scores[j], f.sampler.getTotalLik(candidates[j], 3), 1e-4) << j;
}

TEST(OneAtATime, RelabelAfterMerge) {
  Fixture f(0, {0, 1, 2, 2, 1});
  std::vector<int> z = {0, 1, 2, 2, 1};
  f.sampler.relabelAfterMerge(z.data(), 3, 2);  // the highest label: nothing changes
  EXPECT_EQ(z, (std::vector<int>{0, 1, 2, 2, 1}));
  z = {0, 0, 2, 2, 1};  // label 1 emptied... then refilled by observation 4
  std::vector<int> w = {0, 0, 2, 2, 0};  // cluster 1 empty: members of 2 take label 1
  f.sampler.relabelAfterMerge(w.data(), 3, 1);
  EXPECT_EQ(w, (std::vector<int>{0, 0, 1, 1, 0}));
}

TEST(OneAtATime, OpenKKeepsLabelsContiguousAndCountersInStep) {
  Fixture f(0, {0, 1, 2, 3, 4});
  _rng.initialize(7);
  for (int s = 0; s < 200; s++) {
    f.log.str("");
    f.sampler.oneAtATime();
    std::vector<int> sizes(f.sampler.kold);
    EXPECT_EQ(U::table(f.sampler.zold.data(), 5, sizes.data(), f.sampler.kold), f.sampler.kold);
    EXPECT_EQ(f.sampler.znew, f.sampler.zold);
    EXPECT_EQ(f.sampler.acceptanceCnt, f.sampler.acceptanceCntOA);
  }
  EXPECT_GT(f.sampler.acceptanceCnt, 0);
}

}  // namespace
