// The split-merge moves JN, DA and SR: invariance of exp(total score) on five observations,
// labels and draw counts of single proposals, the restricted scan, and the debug lines.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "stats/Arrays.h"
#include "stats/RandomPlus.h"
#include "stats/rvgs.h"
#include "sampler/moves/SplitMerge.h"
#include "support/TinyModel.h"

namespace {

using MakeMove = std::unique_ptr<Move> (*)(int n, DebugLog debug);
template <class M>
std::unique_ptr<Move> make(int n, DebugLog debug) {
  return std::make_unique<M>(n, debug);
}
const MakeMove kJN = make<JainNealSplitMerge>, kDA = make<SequentialSplitMerge>,
               kSR = make<RandomSplitMerge>;
const std::vector<double> kPoints = {0.0, 0.3, 1.4, 1.6, 2.9};

// ---------------------------------------------------------------------------------------
// Invariance: a long run of a move alone (or with the two sweeps of its "2" form) visits the
// partitions of five observations with the exact probabilities. The move-alone runs are the
// ones that see a wrong acceptance ratio (a flipped prior sign or a dropped proposal term
// moves them to a distance of 0.1 or more, against about 0.01 when right); in the "2" forms
// the sweeps would reach the target on their own, so they check the combination only. No
// "2" form runs under the classification criterion: there the sweeps score without the
// partition prior while the moves keep it, so the pair has no common target.

struct InvarianceCase {
  const char* name;
  MakeMove move;
  double logalpha;
  FitnessZType criterion;
  bool sweeps;  // the "2" form: two one-at-a-time sweeps after each move
  int iterations;
};

void PrintTo(const InvarianceCase& c, std::ostream* os) {
  *os << c.name << " logalpha " << c.logalpha << " criterion " << c.criterion;
}

class SplitMergeInvariance : public ::testing::TestWithParam<InvarianceCase> {};

TEST_P(SplitMergeInvariance, MatchesExactDistribution) {
  const InvarianceCase c = GetParam();
  TinyModel model(kPoints);
  NullStream log;
  PartitionSampler sampler(0, model.n, c.criterion, &model, c.logalpha, log, c.name);
  // The moves score clusters with getClusterFit and always use the Dirichlet-process prior
  // ratio, so whatever the criterion, they target the integrated posterior.
  PartitionSampler target(0, model.n, INTEGRATED, &model, c.logalpha, log, c.name);
  auto exact = exactDistribution(target, allSetPartitions(model.n, 0));
  _rng.initialize(2);
  sampler.initZ("");
  const std::unique_ptr<Move> move = c.move(model.n, sampler.debug);
  const auto counts = chainCounts(sampler, *move, c.sweeps, c.iterations);
  EXPECT_LT(totalVariation(exact, counts), 0.03);
}

INSTANTIATE_TEST_SUITE_P(
    OpenK, SplitMergeInvariance,
    ::testing::Values(
        InvarianceCase{"JN", kJN, 0.0, INTEGRATED, false, 250000},
        InvarianceCase{"JN", kJN, -0.8, INTEGRATED, false, 250000},
        InvarianceCase{"JN", kJN, 1.1, CLASSIFICATION, false, 250000},
        InvarianceCase{"JN2", kJN, 0.0, INTEGRATED, true, 40000},
        InvarianceCase{"DA", kDA, 0.0, INTEGRATED, false, 250000},
        InvarianceCase{"DA", kDA, 1.1, CLASSIFICATION, false, 250000},
        InvarianceCase{"DA2", kDA, -0.8, INTEGRATED, true, 40000},
        InvarianceCase{"SR", kSR, 0.0, INTEGRATED, false, 250000},
        InvarianceCase{"SR", kSR, -0.8, CLASSIFICATION, false, 250000},
        InvarianceCase{"SR2", kSR, 1.1, INTEGRATED, true, 40000}),
    [](const ::testing::TestParamInfo<InvarianceCase>& info) {
      return std::string(info.param.name) + "_" + std::to_string(info.index);
    });

// ---------------------------------------------------------------------------------------
// Single moves on a chosen partition with a chosen pair of anchors.

// TinyModel, or with flat set a model whose every cluster scores 0, so that the acceptance
// ratio holds only the prior and proposal terms.
struct ScoredModel : TinyModel {
  bool flat;
  ScoredModel(std::vector<double> points, bool flat) : TinyModel(std::move(points)), flat(flat) {}
  double getClusterFit(const int* z, int j) const override {
    return flat ? 0.0 : TinyModel::getClusterFit(z, j);
  }
};

struct Fixture {
  ScoredModel model;
  std::ostringstream log;
  PartitionSampler sampler;
  Fixture(const std::vector<int>& z, double logalpha, std::vector<double> points = kPoints,
          bool flat = false)
      : model(std::move(points), flat),
        sampler(0, model.n, INTEGRATED, &model, logalpha, log, "JN") {
    sampler.state.setPartition(z, *std::max_element(z.begin(), z.end()) + 1);
  }
  // One step of the move the factory builds.
  void step(MakeMove makeMove) { stepOn(*makeMove(model.n, sampler.debug), sampler); }
  std::vector<std::string> logLines() const {
    std::vector<std::string> lines;
    std::istringstream in(log.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
};

// A seed after which the first two draws of a move pick anchors (i1, i2).
uint32_t seedForPair(int n, int i1, int i2, uint32_t from = 1) {
  for (uint32_t seed = from;; seed++) {
    _rng.initialize(seed);
    int two[2];
    RandomPlus::SampleWithoutReplacement(n, 2, two, true);
    if (two[0] == i1 && two[1] == i2) return seed;
  }
}

// How many uniforms were drawn since _rng was seeded with seed (draws one more to tell).
int uniformsDrawnSince(uint32_t seed) {
  const double next = myunif_rand();
  mersenne fresh;
  fresh.initialize(seed);
  for (int count = 0; count < 10000; count++)
    if (fresh.runif() == next) return count;
  return -1;
}

struct MoveName {
  const char* name;
  MakeMove move;
};
const MoveName kMoves[] = {{"JN", kJN},
                           {"DA", kDA},
                           {"SR", kSR}};

TEST(SplitMergeMoves, DrawOnlyWhatTheirProposalNeeds) {
  // JN: pair + launch coin per non-anchor + 5 scans of one draw per non-anchor + the final
  // scan of a split (the merge's scan is virtual) + acceptance. DA: pair + allocation order
  // of n + one per allocated member of a split + acceptance. SR: pair + launch + acceptance.
  struct Case {
    std::vector<int> z;
    int i1, i2;
    int jn, da, sr;
  } cases[] = {
      {{0, 0, 0, 0, 0}, 1, 3, 2 + 3 + 15 + 3 + 1, 2 + 5 + 3 + 1, 2 + 3 + 1},  // split of 5
      {{0, 0, 1, 1, 2}, 0, 2, 2 + 2 + 10 + 0 + 1, 2 + 5 + 0 + 1, 2 + 2 + 1},  // merge 2 + 2
      {{0, 1, 0, 2, 2}, 0, 2, 2 + 0 + 0 + 0 + 1, 2 + 5 + 0 + 1, 2 + 0 + 1},  // split of 2
      {{0, 1, 2, 2, 2}, 1, 0, 2 + 0 + 0 + 0 + 1, 2 + 5 + 0 + 1, 2 + 0 + 1},  // two singletons
  };
  for (const Case& c : cases) {
    const int expected[3] = {c.jn, c.da, c.sr};
    for (int m = 0; m < 3; m++) {
      Fixture f(c.z, 0.0);
      const uint32_t seed = seedForPair(5, c.i1, c.i2);
      _rng.initialize(seed);
      f.step(kMoves[m].move);
      EXPECT_EQ(uniformsDrawnSince(seed), expected[m])
          << kMoves[m].name << " on " << ::testing::PrintToString(c.z);
    }
  }
}

TEST(SplitMergeMoves, KeepLabelsContiguous) {
  // logalpha +50 forces splits and -50 forces merges (the other sign forces rejection).
  // A merge gives the smaller label; the highest label moves into the larger one unless it
  // is one of the two. A split sends i2's group to the new label kold.
  const std::vector<double> two = {0.0, 0.3};
  struct Case {
    std::vector<double> points;
    std::vector<int> z;
    int i1, i2;
    double logalpha;
    std::vector<int> expected;
  } cases[] = {
      {kPoints, {0, 1, 2, 2, 1}, 0, 4, -50, {0, 0, 1, 1, 0}},  // merge 0+1, 2 moves to 1
      {kPoints, {0, 1, 2, 2, 1}, 4, 0, -50, {0, 0, 1, 1, 0}},  // i1 in the larger label
      {kPoints, {0, 1, 2, 2, 1}, 1, 3, -50, {0, 1, 1, 1, 1}},  // larger label is kold-1
      {kPoints, {0, 1, 2, 2, 1}, 2, 0, -50, {0, 1, 0, 0, 1}},  // merge 0+2, 2 is kold-1
      {kPoints, {0, 1, 2, 2, 1}, 0, 4, +50, {0, 1, 2, 2, 1}},  // merge rejected
      {kPoints, {0, 1, 0, 2, 2}, 2, 0, +50, {3, 1, 0, 2, 2}},  // cluster of two: i2 alone
      {kPoints, {0, 1, 0, 2, 2}, 0, 2, +50, {0, 1, 3, 2, 2}},
      {kPoints, {0, 1, 0, 2, 2}, 0, 2, -50, {0, 1, 0, 2, 2}},  // split rejected
      {two, {0, 0}, 1, 0, +50, {1, 0}},                         // n = 2
      {two, {0, 0}, 0, 1, +50, {0, 1}},
      {two, {1, 0}, 0, 1, -50, {0, 0}},
      {two, {0, 1}, 1, 0, -50, {0, 0}},
  };
  for (const Case& c : cases)
    for (const MoveName& m : kMoves) {
      Fixture f(c.z, c.logalpha, c.points);
      _rng.initialize(seedForPair(static_cast<int>(c.z.size()), c.i1, c.i2));
      f.step(m.move);
      const std::string where = std::string(m.name) + " on " + ::testing::PrintToString(c.z) +
                                " anchors " + std::to_string(c.i1) + "," + std::to_string(c.i2);
      EXPECT_EQ(f.sampler.state.zold, c.expected) << where;
      const int k = *std::max_element(c.expected.begin(), c.expected.end()) + 1;
      EXPECT_EQ(f.sampler.state.kold, k) << where;
      EXPECT_EQ(f.sampler.state.acceptanceCnt, c.expected == c.z ? 0 : 1) << where;
      std::vector<int> sizes(k);
      Arrays::table(c.expected.data(), static_cast<int>(c.expected.size()), sizes.data(), k);
      for (int j = 0; j < k; j++) EXPECT_EQ(f.sampler.state.clusterSizes0[j], sizes[j]) << where;
    }
}

TEST(SplitMergeMoves, SplitKeepsEachAnchorInItsOwnGroup) {
  for (const MoveName& m : kMoves)
    for (uint32_t seed = 1; seed <= 30; seed++) {
      Fixture f({0, 0, 0, 0, 0}, +50);
      _rng.initialize(seed);
      int two[2];
      RandomPlus::SampleWithoutReplacement(5, 2, two, true);
      _rng.initialize(seed);
      f.step(m.move);
      ASSERT_EQ(f.sampler.state.kold, 2) << m.name << " seed " << seed;
      EXPECT_EQ(f.sampler.state.zold[two[0]], 0) << m.name << " seed " << seed;
      EXPECT_EQ(f.sampler.state.zold[two[1]], 1) << m.name << " seed " << seed;
    }
}

TEST(SplitMergeMoves, AcceptOnlyWhenExpOfRatioExceedsTheUniform) {
  // Flat scores, n = 2, one cluster: every move proposes the split of a cluster of two, whose
  // ratio is exactly logalpha. Pick logalpha with exp(logalpha) equal to the acceptance draw.
  const int drawsBefore[3] = {2, 2 + 2, 2};  // JN, DA (allocation order of 2), SR
  for (int m = 0; m < 3; m++) {
    uint32_t seed = 0;
    double tie = 0;
    for (uint32_t s = 1; s < 1000 && seed == 0; s++) {
      mersenne fresh;
      fresh.initialize(s);
      for (int d = 0; d < drawsBefore[m]; d++) fresh.runif();
      const double u = fresh.runif();
      double x = std::log(u);
      for (int step = 0; step < 4; step++) x = std::nextafter(x, -1e9);
      for (int step = 0; step < 8 && seed == 0; step++, x = std::nextafter(x, 1e9))
        if (std::exp(x) == u && std::exp(std::nextafter(x, 1e9)) > u) {
          seed = s;
          tie = x;
        }
    }
    ASSERT_NE(seed, 0u) << kMoves[m].name;
    Fixture tied({0, 0}, tie, {0.0, 0.3}, true);
    _rng.initialize(seed);
    tied.step(kMoves[m].move);
    EXPECT_EQ(tied.sampler.state.kold, 1) << kMoves[m].name << ": exp(r) equal to u must reject";
    Fixture above({0, 0}, std::nextafter(tie, 1e9), {0.0, 0.3}, true);
    _rng.initialize(seed);
    above.step(kMoves[m].move);
    EXPECT_EQ(above.sampler.state.kold, 2) << kMoves[m].name;
  }
}

TEST(SplitMergeMoves, OneObservationDoesNothing) {
  for (const MoveName& m : kMoves) {
    Fixture f({0}, 0.0, {1.0});
    _rng.initialize(2);
    f.step(m.move);
    EXPECT_EQ(uniformsDrawnSince(2), 0) << m.name;
    EXPECT_EQ(f.log.str(), "") << m.name;
    EXPECT_EQ(f.sampler.state.kold, 1) << m.name;
    EXPECT_EQ(f.sampler.state.acceptanceCnt, 0) << m.name;
  }
}

// ---------------------------------------------------------------------------------------
// The restricted scan and the score of a two-group split, on observations 0.0, 0.3, 1.4
// (and the rest of kPoints). Cluster score F(S) = -SS(S) + 0.7|S| - 0.5 log(1 + |S|).

const double kLog2 = std::log(2.0), kLog3 = std::log(3.0);
const double kF0 = 0.7 - 0.5 * kLog2;              // any single point
const double kF01 = -0.045 + 1.4 - 0.5 * kLog3;    // {0.0, 0.3}
const double kF12 = -0.605 + 1.4 - 0.5 * kLog3;    // {0.3, 1.4}
// Observation 1 between anchors 0 and 2: staying with 0 beats moving by exp(0.56).
const double kLogStay = -std::log(1 + std::exp(-0.56));
const double kLogMove = -std::log(1 + std::exp(0.56));

TEST(RestrictedIntLik, ScoresOnlyTheTwoGroups) {
  Fixture f({0, 0, 0, 0, 0}, 0.0);
  EXPECT_NEAR(f.sampler.scorer.getRestrictedIntLik({0, 1, 2}, {0, 1, 1}), kF0 + kF12, 1e-12);
  EXPECT_NEAR(f.sampler.scorer.getRestrictedIntLik({0, 1, 2}, {0, 0, 1}), kF01 + kF0, 1e-12);
  EXPECT_NEAR(f.sampler.scorer.getRestrictedIntLik({1, 4}, {1, 0}), 2 * kF0, 1e-12);
  EXPECT_EQ(f.log.str(), "");
}

TEST(RestrictedIntLik, AnEntryOtherThanZeroOrOneIsLoggedAndLeftOut) {
  Fixture f({0, 0, 0, 0, 0}, 0.0);
  EXPECT_NEAR(f.sampler.scorer.getRestrictedIntLik({0, 1, 2}, {0, 2, 1}), 2 * kF0, 1e-12);
  EXPECT_EQ(f.log.str(), "PartitionSampler::getrestrictedIntLik(). something wrong with split.\n");
  // The next split is scored afresh.
  EXPECT_NEAR(f.sampler.scorer.getRestrictedIntLik({0, 1, 2}, {0, 0, 1}), kF01 + kF0, 1e-12);
}

TEST(RestrictedGibbsScan, AnchorsAloneMeanNothingToScan) {
  Fixture f({0, 1, 0, 2, 2}, 0.0);
  for (bool virtualScan : {false, true}) {
    std::vector<int> zlaunch = {0, 1};
    _rng.initialize(2);
    EXPECT_EQ(JainNealSplitMerge::restrictedGibbsScan(f.sampler.scorer, {0, 2}, zlaunch, 0, 2,
                                                      virtualScan, {0, 1}),
              0.0);
    EXPECT_EQ(zlaunch, (std::vector<int>{0, 1}));
    EXPECT_EQ(uniformsDrawnSince(2), 0);
  }
}

TEST(RestrictedGibbsScan, VirtualScanIsForcedToTheGivenSplitWithoutDrawing) {
  Fixture f({0, 0, 0, 0, 0}, 0.0);
  struct Case {
    std::vector<int> zlaunch, zsplit;
    double logProb;
  } cases[] = {
      {{0, 0, 1}, {0, 1, 1}, kLogMove},
      {{0, 0, 1}, {0, 0, 1}, kLogStay},
      {{0, 1, 1}, {0, 0, 1}, kLogStay},  // from group 1 back to 0: the same choice
      {{0, 1, 1}, {0, 1, 1}, kLogMove},
  };
  for (const Case& c : cases) {
    std::vector<int> zlaunch = c.zlaunch;
    _rng.initialize(2);
    EXPECT_NEAR(JainNealSplitMerge::restrictedGibbsScan(f.sampler.scorer, {0, 1, 2}, zlaunch, 0, 2,
                                                        true, c.zsplit),
                c.logProb, 1e-12);
    EXPECT_EQ(zlaunch, c.zsplit);
    EXPECT_EQ(uniformsDrawnSince(2), 0);
  }
  // Five members, anchors 1 and 3: every other member lands on its zsplit side.
  std::vector<int> zlaunch = {1, 0, 0, 1, 0};
  const std::vector<int> zsplit = {0, 0, 1, 1, 1};
  _rng.initialize(2);
  const double logProb = JainNealSplitMerge::restrictedGibbsScan(f.sampler.scorer, {0, 1, 2, 3, 4},
                                                                 zlaunch, 1, 3, true, zsplit);
  EXPECT_EQ(zlaunch, zsplit);
  EXPECT_LT(logProb, 0);
  EXPECT_EQ(uniformsDrawnSince(2), 0);
}

TEST(RestrictedGibbsScan, RealScanDrawsOncePerNonAnchorAndReturnsTheChoiceLogProbability) {
  Fixture f({0, 0, 0, 0, 0}, 0.0);
  int moved = 0;
  for (uint32_t seed = 1; seed <= 40; seed++) {
    std::vector<int> zlaunch = {0, 0, 1};
    _rng.initialize(seed);
    const double logProb = JainNealSplitMerge::restrictedGibbsScan(f.sampler.scorer, {0, 1, 2},
                                                                   zlaunch, 0, 2, false, {});
    EXPECT_EQ(uniformsDrawnSince(seed), 1);
    EXPECT_EQ(zlaunch[0], 0);
    EXPECT_EQ(zlaunch[2], 1);
    EXPECT_NEAR(logProb, zlaunch[1] == 1 ? kLogMove : kLogStay, 1e-12);
    moved += zlaunch[1];
  }
  EXPECT_GT(moved, 0);
  EXPECT_LT(moved, 40);
}

// ---------------------------------------------------------------------------------------
// The debug lines of DA and SR. Anchors 0.0 and 1.4 alone in a cluster of two: splitting
// gains F({0.0}) + F({1.4}) - F({0.0, 1.4}) = 0.98 - log 2 + 0.5 log 3 = 0.836159. Merging
// the singletons 0.3 and 0.0 gains F({0.0, 0.3}) - 2 F({x}) = -0.045 + log 2 - 0.5 log 3
// = 0.098841. With logalpha 0.5 the prior ratio is +-0.5 and no proposal term arises.

TEST(DahlLog, WritesThePartitionsAndTheRatioLine) {
  struct Case {
    std::vector<int> z;
    int i1, i2;
    std::vector<std::string> lines;
  } cases[] = {
      {{0, 1, 0, 2, 2},
       2,
       0,
       {"zold: 0 1 0 2 2 ", "znew: 3 1 0 2 2 ",
        "split, likratio: 0.836159, priorratio: 0.5, proposalratio: 0, r: 1.33616"}},
      {{0, 1, 2, 2, 2},
       1,
       0,
       {"zold: 0 1 2 2 2 ", "znew: 0 0 1 1 1 ",
        "merge, likratio: 0.098841, priorratio: -0.5, proposalratio: 0, r: -0.401159"}},
  };
  for (const Case& c : cases) {
    Fixture f(c.z, 0.5);
    _rng.initialize(seedForPair(5, c.i1, c.i2));
    f.step(kDA);
    EXPECT_EQ(f.logLines(), c.lines);
  }
}

TEST(DahlLog, ThreeLinesWhetherAcceptedOrNot) {
  const std::regex ratio(
      "(split|merge), likratio: \\S+, priorratio: \\S+, proposalratio: \\S+, r: \\S+");
  for (double logalpha : {-50.0, 50.0})
    for (uint32_t seed = 1; seed <= 10; seed++) {
      Fixture f({0, 0, 1, 1, 1}, logalpha);
      _rng.initialize(seed);
      f.step(kDA);
      auto lines = f.logLines();
      ASSERT_EQ(lines.size(), 3u);
      EXPECT_EQ(lines[0], "zold: 0 0 1 1 1 ");
      EXPECT_EQ(lines[1].rfind("znew: ", 0), 0u);
      EXPECT_TRUE(std::regex_match(lines[2], ratio)) << lines[2];
    }
}

TEST(InfMixSRLog, WritesTheProposalAndTheRatios) {
  // exp(r): exp(1.33616) = 3.8044 and exp(-0.401159) = 0.669544.
  struct Case {
    std::vector<int> z;
    int i1, i2;
    std::vector<std::string> lines;
  } cases[] = {
      {{0, 1, 0, 2, 2}, 2, 0, {"3 1 0 2 2 ", "0.836159    0.5    0    3.8044"}},
      {{0, 1, 2, 2, 2}, 1, 0, {"0 0 1 1 1 ", "0.098841    -0.5    0    0.669544"}},
  };
  for (const Case& c : cases) {
    Fixture f(c.z, 0.5);
    _rng.initialize(seedForPair(5, c.i1, c.i2));
    f.step(kSR);
    EXPECT_EQ(f.logLines(), c.lines);
  }
}

TEST(InfMixSRLog, RandomSplitOfThreeCostsLogTwo) {
  // Whichever side observation 2 falls on, the split of three is 2 + 1: the prior ratio is
  // 0.5 + lnG(2) + lnG(1) - lnG(3) = 0.5 - log 2 and the forward proposal 1/2.
  std::set<std::string> proposals;
  uint32_t seed = 0;
  for (int run = 0; run < 10; run++) {
    seed = seedForPair(5, 0, 1, seed + 1);
    Fixture f({0, 0, 0, 1, 1}, 0.5);
    _rng.initialize(seed);
    f.step(kSR);
    auto lines = f.logLines();
    ASSERT_EQ(lines.size(), 2u);
    proposals.insert(lines[0]);
    std::istringstream values(lines[1]);
    double likratio, priorratio, proposalratio, expR;
    values >> likratio >> priorratio >> proposalratio >> expR;
    EXPECT_NEAR(priorratio, 0.5 - kLog2, 1e-5);
    EXPECT_NEAR(proposalratio, -kLog2, 1e-5);
    EXPECT_NEAR(expR, std::exp(likratio + priorratio - proposalratio), 1e-4 * expR);
  }
  EXPECT_EQ(proposals.size(), 2u);  // observation 2 went with each anchor at least once
}

// ---------------------------------------------------------------------------------------
// Through the run loop: each iteration adds one trace point after the move, plus n per sweep
// of the "2" forms (an open-k sweep visits every observation).

TEST(SplitMergeRun, TraceCountsLogLinesAndFinalPartition) {
  char dirTemplate[] = "/tmp/vornak_smrun_XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  const int iterations = 30, n = 5;
  struct Case {
    const char* heuristics;
    long tracePoints;
    int daLines;  // "zold: " lines of the sequential move
  } cases[] = {
      {"JN", iterations, 0},         {"JN2", iterations * (1 + 2 * n), 0},
      {"DA", iterations, iterations}, {"DA2", iterations * (1 + 2 * n), iterations},
      {"SR", iterations, 0},         {"SR2", iterations * (1 + 2 * n), 0},
  };
  for (const Case& c : cases) {
    TinyModel model(kPoints);
    std::ostringstream log;
    PartitionSampler sampler(0, n, INTEGRATED, &model, 0.3, log, c.heuristics);
    _rng.initialize(2);
    sampler.initZ("");
    const std::string stem = dir + "/run_" + c.heuristics;
    sampler.run(iterations, 60, stem);

    std::ifstream save(stem + ".save");
    std::string first;
    std::getline(save, first);
    long total = 0;
    double score;
    long count;
    while (save >> score >> count) total += count;
    EXPECT_EQ(total, 1 + c.tracePoints) << c.heuristics;
    EXPECT_NEAR(score, sampler.scorer.getTotalLik(sampler.state.zold.data(), sampler.state.kold),
                1e-8)
        << c.heuristics;

    std::ifstream finalz(stem + ".finalz");
    std::vector<int> z;
    for (int label; finalz >> label;) z.push_back(label);
    EXPECT_EQ(z, sampler.state.zold) << c.heuristics;
    std::vector<int> sizes(sampler.state.kold);
    EXPECT_EQ(Arrays::table(z.data(), n, sizes.data(), sampler.state.kold), sampler.state.kold)
        << c.heuristics;

    const std::string text = log.str();
    int daLines = 0;
    for (size_t at = text.find("zold: "); at != std::string::npos; at = text.find("zold: ", at + 1))
      daLines++;
    EXPECT_EQ(daLines, c.daLines) << c.heuristics;
    EXPECT_NE(text.find("Iter 30\n"), std::string::npos) << c.heuristics;
    for (const char* suffix : {".save", ".finalz"}) std::remove((stem + suffix).c_str());
  }
  rmdir(dir.c_str());
}

}  // namespace
