#include <gtest/gtest.h>

#include <sstream>

#include "stats/Arrays.h"
#include "stats/rvgs.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kPoints = {0.0, 0.3, 1.4, 1.6, 2.9};

// Samples the partition once per sweep: with a fixed k a singleton adds no trace point,
// so trace points would over-weight partitions with fewer singletons.
std::map<std::vector<int>, long> sweepFrequencies(PartitionSampler& sampler, int sweeps) {
  std::map<std::vector<int>, long> counts;
  OneAtATime sweep(sampler.state.n, sampler.debug);
  for (int s = 0; s < sweeps; s++) {
    stepOn(sweep, sampler);
    counts[canonical(sampler.state.zold.data(), sampler.state.n)]++;
  }
  return counts;
}

struct Case {
  int k;
  double logalpha;
  FitnessZType criterion;
  bool quiet = false;  // no debug lines: labels drawn from the candidates' estimates
};

class OneAtATimeInvariance : public ::testing::TestWithParam<Case> {};

TEST_P(OneAtATimeInvariance, MatchesExactDistribution) {
  const Case c = GetParam();
  TinyModel model(kPoints);
  NullStream log;
  PartitionSampler sampler(c.k, model.n, c.criterion, &model, c.logalpha, log, "OA");
  sampler.debug.enabled = !c.quiet;
  _rng.initialize(2);
  sampler.initZ("");
  auto exact = exactDistribution(sampler, allSetPartitions(model.n, c.k));
  auto counts = sweepFrequencies(sampler, 60000);
  EXPECT_LT(totalVariation(exact, counts), 0.02);
}

INSTANTIATE_TEST_SUITE_P(FixedAndOpenK, OneAtATimeInvariance,
                         ::testing::Values(Case{2, 0.0, INTEGRATED}, Case{3, 0.0, INTEGRATED},
                                           Case{0, 0.0, INTEGRATED}, Case{0, 1.2, INTEGRATED},
                                           Case{0, 0.0, CLASSIFICATION}, Case{2, 0.0, MIXTURE},
                                           Case{3, 0.0, INTEGRATED, true},
                                           Case{0, 1.2, INTEGRATED, true},
                                           Case{0, 0.0, CLASSIFICATION, true}));

// Sampler over the fixed points with a given current partition.
struct Fixture {
  TinyModel model{kPoints};
  std::ostringstream log;
  PartitionSampler sampler;
  OneAtATime sweep;
  Fixture(int k, std::vector<int> z)
      : sampler(k, 5, INTEGRATED, &model, 0.0, log, "OA"), sweep(5, sampler.debug) {
    sampler.state.setPartition(z, *std::max_element(z.begin(), z.end()) + 1);
  }
  void oneAtATime() { stepOn(sweep, sampler); }
};

int lineCount(const std::string& text) {
  return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(OneAtATime, FixedKNeverMovesASingletonAndLogsTwoLinesPerVisit) {
  // Observation 4 is alone: it is skipped, the other four write two lines each.
  Fixture f(2, {0, 0, 0, 0, 1});
  _rng.initialize(2);
  f.oneAtATime();
  EXPECT_EQ(f.sampler.state.zold[4], 1);
  EXPECT_EQ(f.sampler.state.kold, 2);
  EXPECT_EQ(lineCount(f.log.str()), 8);
  EXPECT_EQ(f.sampler.state.previousLikCount,
            4);  // one trace point per visited observation, none for 4
}

TEST(OneAtATime, FixedSingleClusterDrawsNothing) {
  Fixture f(1, {0, 0, 0, 0, 0});
  _rng.initialize(2);
  f.sampler.state.previousLik = f.sampler.scorer.getTotalLik(f.sampler.state.zold.data(), 1);
  f.oneAtATime();
  mersenne fresh;
  fresh.initialize(2);
  EXPECT_EQ(myunif_rand(), fresh.runif());  // the stream did not move
  EXPECT_EQ(lineCount(f.log.str()), 10);
  EXPECT_EQ(f.sampler.state.previousLikCount, 5);
  EXPECT_EQ(f.sampler.state.acceptanceCnt, 0);
}

TEST(OneAtATime, CandidateScoresUseTheSameLabelRange) {
  // Open k, observation 0 in a cluster of two: candidates 0, 1 and the new label 2, each
  // scored with k = 3, so candidates that leave a label empty keep it in the range.
  Fixture f(0, {0, 0, 1, 1, 1});
  _rng.initialize(2);
  f.oneAtATime();
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
    EXPECT_NEAR(scores[j], f.sampler.scorer.getTotalLik(candidates[j], 3), 1e-4) << j;
}

TEST(OneAtATime, RelabelAfterMerge) {
  Fixture f(0, {0, 1, 2, 2, 1});
  std::vector<int> z = {0, 1, 2, 2, 1};
  OneAtATime::relabelAfterMerge(z.data(), 5, 3, 2);  // the highest label: nothing changes
  EXPECT_EQ(z, (std::vector<int>{0, 1, 2, 2, 1}));
  z = {0, 0, 2, 2, 1};  // label 1 emptied... then refilled by observation 4
  std::vector<int> w = {0, 0, 2, 2, 0};  // cluster 1 empty: members of 2 take label 1
  OneAtATime::relabelAfterMerge(w.data(), 5, 3, 1);
  EXPECT_EQ(w, (std::vector<int>{0, 0, 1, 1, 0}));
}

TEST(OneAtATime, OpenKKeepsLabelsContiguousAndCountersInStep) {
  Fixture f(0, {0, 1, 2, 3, 4});
  _rng.initialize(7);
  for (int s = 0; s < 200; s++) {
    f.log.str("");
    f.oneAtATime();
    std::vector<int> sizes(f.sampler.state.kold);
    EXPECT_EQ(Arrays::table(f.sampler.state.zold.data(), 5, sizes.data(), f.sampler.state.kold),
              f.sampler.state.kold);
    EXPECT_EQ(f.sampler.state.acceptanceCnt, f.sampler.state.acceptanceCntOA);
  }
  EXPECT_GT(f.sampler.state.acceptanceCnt, 0);
}

}  // namespace

namespace {

// TinyModel's scores plus offset per member: every partition gains the same n x offset, but
// the rounding bound of the candidates' estimates grows with it, so a large offset leaves
// the estimates undecided and every label is drawn from exact totals.
struct OffsetModel : TinyModel {
  OffsetModel(std::vector<double> points, double offset) : TinyModel(std::move(points)), offset(offset) {}
  double offset;
  double getClusterFit(const int* z, int j) const override {
    int size = 0;
    for (int i = 0; i < n; i++) size += z[i] == j;
    return TinyModel::getClusterFit(z, j) + offset * size;
  }
};

struct RecordedTrace : TraceSink {
  std::vector<std::pair<double, long>> runs;
  void runEnded(double score, long count) override { runs.emplace_back(score, count); }
};

// Drawing labels from estimates, with or without falling back to exact totals, follows the
// chain that draws them from every candidate's exact total step for step.
TEST(OneAtATime, QuietSweepsFollowTheChainOfFullyScoredOnes) {
  for (double offset : {0.0, 1e11, 1e13}) {
    for (int k : {0, 3}) {
      SCOPED_TRACE("offset " + std::to_string(offset) + " k " + std::to_string(k));
      OffsetModel model({0.0, 0.3, 1.4, 1.6, 2.9, 3.0}, offset);
      std::ostringstream scoredLog;
      NullStream quietLog;
      PartitionSampler scored(k, model.n, INTEGRATED, &model, 0.3, scoredLog, "OA");
      PartitionSampler quiet(k, model.n, INTEGRATED, &model, 0.3, quietLog, "OA");
      quiet.debug.enabled = false;
      RecordedTrace scoredTrace, quietTrace;
      scored.state.traceSink = &scoredTrace;
      quiet.state.traceSink = &quietTrace;
      const std::vector<int> start = {0, 1, 2, 0, 1, 2};
      scored.state.setPartition(start, 3);
      quiet.state.setPartition(start, 3);
      // Each chain runs from the same seed in turn.
      std::vector<std::vector<int>> scoredPath, quietPath;
      for (PartitionSampler* sampler : {&scored, &quiet}) {
        OneAtATime sweep(model.n, sampler->debug);
        _rng.initialize(11);
        for (int s = 0; s < 300; s++) {
          sweep.step(sampler->state, sampler->scorer);
          (sampler == &scored ? scoredPath : quietPath).push_back(sampler->state.zold);
          scoredLog.str("");
        }
      }
      EXPECT_EQ(quietPath, scoredPath);
      EXPECT_EQ(quietTrace.runs, scoredTrace.runs);
      EXPECT_GT(scoredTrace.runs.size(), 20u);
      EXPECT_EQ(quiet.state.acceptanceCntOA, scored.state.acceptanceCntOA);
    }
  }
}

}  // namespace
