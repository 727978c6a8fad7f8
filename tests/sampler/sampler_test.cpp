#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include <random>

#include "stats/Arrays.h"
#include "stats/DirichletRV.h"
#include "stats/MathPlus.h"
#include "io/RunError.h"
#include "stats/rvgs.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

struct Scored {
  TinyModel model;
  std::ostringstream log;
  PartitionSampler sampler;
  Scored(std::vector<double> x, int k, FitnessZType criterion = INTEGRATED, double logalpha = 0,
         const std::string& heuristics = "OA")
      : model(std::move(x)), sampler(k, model.n, criterion, &model, logalpha, log, heuristics) {}
};

TEST(Sampler, ConstructionForOpenAndFixedK) {
  Scored open({0, 1, 2}, 0);
  EXPECT_TRUE(open.sampler.state.infmix);
  EXPECT_EQ(open.sampler.state.kold, 1);
  Scored fixed({0, 1, 2}, 3);
  EXPECT_FALSE(fixed.sampler.state.infmix);
  EXPECT_EQ(fixed.sampler.state.kold, 3);
  EXPECT_EQ(fixed.sampler.scorer.prior().fixedK(), 3);
  EXPECT_EQ(fixed.sampler.state.previousLik, 1.0);
}

TEST(Sampler, PartitionPriors) {
  // Cluster scores are zero-free here, so subtract them to see the prior alone.
  const int z[3] = {0, 0, 1};
  Scored open({0, 1, 2}, 0, INTEGRATED, std::log(2.0));
  double fits = open.model.getClusterFit(z, 0) + open.model.getClusterFit(z, 1);
  // Chinese restaurant with alpha 2: alpha^2 * 1! * 0! / (2 * 3 * 4) = 1/6.
  EXPECT_NEAR(open.sampler.scorer.getTotalLik(z, 2) - fits, std::log(1.0 / 6), 1e-12);
  // Fixed k = 2, sizes (2, 1): Gamma(2) 2! 1! / Gamma(5) = 1/12, whatever alpha says.
  Scored fixed({0, 1, 2}, 2, INTEGRATED, std::log(2.0));
  EXPECT_NEAR(fixed.sampler.scorer.getTotalLik(z, 2) - fits, std::log(1.0 / 12), 1e-12);
  Scored fixedAlpha1({0, 1, 2}, 2, INTEGRATED, 0.0);
  EXPECT_EQ(fixed.sampler.scorer.getTotalLik(z, 2), fixedAlpha1.sampler.scorer.getTotalLik(z, 2));
}

TEST(Sampler, EmptyLabelScoresLikePackedPartitionInOpenK) {
  Scored open({0, 1, 2, 5}, 0, INTEGRATED, 0.7);
  const int withGap[4] = {0, 0, 2, 2};
  const int packed[4] = {0, 0, 1, 1};
  EXPECT_DOUBLE_EQ(open.sampler.scorer.getTotalLik(withGap, 3),
                   open.sampler.scorer.getTotalLik(packed, 2));
}

TEST(Sampler, ClassificationAndMixtureIgnoreThePartitionPrior) {
  const int z[4] = {0, 1, 1, 0};
  for (FitnessZType criterion : {CLASSIFICATION, MIXTURE}) {
    Scored a({0, 1, 2, 5}, 0, criterion, 0.0);
    Scored b({0, 1, 2, 5}, 0, criterion, 3.0);
    Scored c({0, 1, 2, 5}, 2, criterion, 0.0);
    EXPECT_EQ(a.sampler.scorer.getTotalLik(z, 2), b.sampler.scorer.getTotalLik(z, 2));
    EXPECT_EQ(a.sampler.scorer.getTotalLik(z, 2), c.sampler.scorer.getTotalLik(z, 2));
  }
}

TEST(Sampler, AcceptCopiesAndRecounts) {
  Scored s({0, 1, 2, 5}, 0);
  s.sampler.state.setPartition({0, 0, 1, 1}, 2);
  s.sampler.state.accept({0, 0, 0, 0}, -1);
  EXPECT_EQ(s.sampler.state.zold, (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(s.sampler.state.kold, 1);
  EXPECT_EQ(s.sampler.state.clusterSizes0[0], 4);
  EXPECT_EQ(s.sampler.state.acceptanceCnt, 1);
  s.sampler.state.accept({0, 0, 0, 0}, 0);
  EXPECT_EQ(s.sampler.state.kold, 1);
  EXPECT_EQ(s.sampler.state.acceptanceCnt, 2);
}

TEST(InitialPartition, FromFile) {
  TempDir dir;
  dir.write("z", "2 0 1\n1\n\n");
  Scored s({0, 1, 2, 3}, 0);
  s.sampler.initZ(dir.file("z"));
  EXPECT_EQ(s.sampler.state.zold, (std::vector<int>{2, 0, 1, 1}));
  EXPECT_EQ(s.sampler.state.kold, 3);
  EXPECT_EQ(std::vector<int>(s.sampler.state.clusterSizes0.begin(),
                             s.sampler.state.clusterSizes0.begin() + 3),
            (std::vector<int>{1, 2, 1}));
  EXPECT_NE(s.log.str().find("  read " + dir.file("z") + "\n"), std::string::npos);

  dir.write("gap", "0 2 2 0");
  Scored g({0, 1, 2, 3}, 0);
  g.sampler.initZ(dir.file("gap"));
  EXPECT_EQ(g.sampler.state.kold, 3);
  EXPECT_EQ(g.sampler.state.clusterSizes0[1], 0);
}

TEST(InitialPartition, RejectsBadFiles) {
  TempDir dir;
  struct Case {
    std::string text;
    int k;
    std::string message;
  } cases[] = {
      {"0 1 1", 0, "holds 3 labels for 4 observations"},
      {"0 1 -1 0", 0, "label of observation 3 is not in 0..3: -1"},
      {"0 1 x 0", 0, "label of observation 3 is not a number: x"},
      {"0 1 1.5 0", 0, "label of observation 3 is not a number: 1.5"},
      {"0 9 1 0", 0, "label of observation 2 is not in 0..3: 9"},
      {"0 1 2 0", 2, "it has 3 clusters but -k is 2"},
      // two clusters, labelled 0 and 3: the gap is named, not a count of 4
      {"0 3 3 0", 2, "it has 2 clusters with gaps in their labels 0..3 but -k is 2"},
      {"0 3 1 0", 2, "it has 3 clusters with gaps in their labels 0..3 but -k is 2"},
      // the top label is k - 1, but only two of the k labels hold members
      {"0 3 3 0", 4, "it has 2 clusters with gaps in their labels 0..3 but -k is 4"},
      {"2 3 3 0", 4, "it has 3 clusters with gaps in their labels 0..3 but -k is 4"},
  };
  for (const Case& c : cases) {
    dir.write("z", c.text);
    Scored s({0, 1, 2, 3}, c.k);
    try {
      s.sampler.initZ(dir.file("z"));
      ADD_FAILURE() << c.text;
    } catch (const RunError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Bad start partition file " + dir.file("z") + ": " + c.message);
    }
  }
  // Content after the n labels, and NUL bytes, are named with their line.
  const struct {
    std::string text;
    std::string message;
  } lineCases[] = {
      {"0 1 1 0 1\n", ", line 1: text after the labels of the 4 observations: 1"},
      {"0 1\n1 0\n\n junk\n", ", line 4: text after the labels of the 4 observations: junk"},
      {"0 1 1 0\n" + std::string(60, '7') + "\n",
       ", line 2: text after the labels of the 4 observations: " + std::string(40, '7') + "..."},
      {std::string("0 1\n1") + '\0' + " 0\n", ", line 2: holds a NUL byte"},
  };
  for (const auto& c : lineCases) {
    SCOPED_TRACE(c.text);
    dir.write("z", c.text);
    Scored s({0, 1, 2, 3}, 0);
    try {
      s.sampler.initZ(dir.file("z"));
      ADD_FAILURE();
    } catch (const RunError& e) {
      EXPECT_EQ(std::string(e.what()), "Bad start partition file " + dir.file("z") + c.message);
    }
  }
  Scored missing({0, 1}, 0);
  EXPECT_THROW(missing.sampler.initZ(dir.file("none")), RunError);
  EXPECT_NE(missing.log.str().find("Fail to read " + dir.file("none")), std::string::npos);
}

TEST(InitialPartition, RandomFixedKFillsEveryCluster) {
  Scored s({0, 1, 2, 3}, 4);
  _rng.initialize(2);
  s.sampler.initZ("");
  std::vector<int> sorted = s.sampler.state.zold;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3}));
}

TEST(InitialPartition, RandomFixedKRedrawsWholeVectorUntilNoneEmpty) {
  // Replays the draws: n uniforms per attempt, the first attempt without an empty cluster wins.
  Scored s({0, 1, 2}, 2);
  _rng.initialize(5);
  s.sampler.initZ("");
  mersenne replay;
  replay.initialize(5);
  std::vector<int> z(3);
  for (;;) {
    for (int& label : z) label = static_cast<int>(replay.runif() * 2);
    if (std::count(z.begin(), z.end(), 0) > 0 && std::count(z.begin(), z.end(), 1) > 0) break;
  }
  EXPECT_EQ(s.sampler.state.zold, z);
  EXPECT_EQ(myunif_rand(), replay.runif());
}

TEST(InitialPartition, RandomOpenKIsAContiguousReproduciblePartition) {
  Scored a({0, 1, 2, 3, 4, 5, 6, 7}, 0, INTEGRATED, 0.5);
  Scored b({0, 1, 2, 3, 4, 5, 6, 7}, 0, INTEGRATED, 0.5);
  _rng.initialize(2);
  a.sampler.initZ("");
  _rng.initialize(2);
  b.sampler.initZ("");
  EXPECT_EQ(a.sampler.state.zold, b.sampler.state.zold);
  std::vector<int> sizes(a.sampler.state.kold);
  EXPECT_EQ(Arrays::table(a.sampler.state.zold.data(), 8, sizes.data(), a.sampler.state.kold),
            a.sampler.state.kold);
  Scored one({3}, 0);
  one.sampler.initZ("");
  EXPECT_EQ(one.sampler.state.zold, std::vector<int>{0});
  EXPECT_EQ(one.sampler.state.kold, 1);
}

TEST(InitialPartition, RandomOpenKFollowsTheChineseRestaurant) {
  // n = 3, alpha = 1: P(all together) = 1/3, P(all apart) = 1/6, each pair 1/6.
  std::map<std::vector<int>, int> counts;
  _rng.initialize(3);
  const int draws = 30000;
  for (int d = 0; d < draws; d++) {
    Scored s({0, 1, 2}, 0);
    s.sampler.initZ("");
    counts[canonical(s.sampler.state.zold.data(), 3)]++;
  }
  const std::pair<std::vector<int>, double> expected[] = {
      {{0, 0, 0}, 1.0 / 3}, {{0, 1, 2}, 1.0 / 6}, {{0, 0, 1}, 1.0 / 6}, {{0, 1, 0}, 1.0 / 6}};
  for (const auto& e : expected) EXPECT_NEAR(counts[e.first] / double(draws), e.second, 0.015);
}

// The run loop's files, on runs whose scores are worked out by hand.
TEST(RunLoop, SingleFixedClusterWritesOneLineAndAllZeros) {
  TempDir dir;
  Scored s({0, 1, 2}, 1);
  s.sampler.initZ("");
  s.sampler.run(100, 10, dir.file("r"));
  // One cluster {0,1,2}: -2 + 2.1 - 0.5 log 4; the fixed-k prior of one cluster is 0.
  EXPECT_EQ(dir.read("r.save"), "-0.5931471806 0\n");
  EXPECT_EQ(dir.read("r.finalz"), "0 0 0 \n");
}

TEST(RunLoop, ChainThatNeverMovesWritesOneRunLengthLine) {
  // Two singletons with k = 2: the sweep skips both, so nothing is ever traced.
  // Score: 2 (0.7 - 0.5 log 2) - log 6 = -1.08490665 (10 significant digits).
  TempDir dir;
  Scored s({0, 1}, 2);
  _rng.initialize(2);
  s.sampler.initZ("");
  s.sampler.run(3, 10, dir.file("r"));
  EXPECT_EQ(dir.read("r.save"), "        -1.08491  1 1 \n-1.08490665 1\n");
  const std::string log = s.log.str();
  EXPECT_NE(log.find("Iter 1\nIter 2\nIter 3\n"), std::string::npos);
  EXPECT_NE(log.find("acceptance rate for        overall: 0\n"
                     "next line prints idx, acceptanceRatio\n3 0\n"),
            std::string::npos);
}

TEST(RunLoop, TimeLimitOfZeroStopsAfterTheFirstIteration) {
  TempDir dir;
  Scored s({0, 1, 5}, 0);
  _rng.initialize(2);
  s.sampler.initZ("");
  s.sampler.run(1000, 0, dir.file("r"));
  const std::string log = s.log.str();
  EXPECT_NE(log.find("\n    Iterations completed within allowed time (0 min): 1\n"),
            std::string::npos);
  EXPECT_EQ(log.find("Iter 2"), std::string::npos);
  EXPECT_NE(log.find("\n1 "), std::string::npos);  // completed iterations on the last line
}

TEST(RunLoop, RunLengthCountsAddUpToOnePlusTracePoints) {
  TempDir dir;
  Scored s({0, 0.2, 1.5, 1.6, 3}, 0);
  _rng.initialize(2);
  s.sampler.initZ("");
  s.sampler.run(40, 10, dir.file("r"));
  std::istringstream save(dir.read("r.save"));
  std::string first;
  std::getline(save, first);
  EXPECT_EQ(first.substr(0, 8), "        ");
  long total = 0;
  double score;
  long count;
  double previous = NAN;
  while (save >> score >> count) {
    EXPECT_NE(score, previous);  // a line is written only when the score changes
    previous = score;
    total += count;
  }
  EXPECT_EQ(total, 1 + 5 * 40);  // "OA" traces every observation of every sweep
  EXPECT_EQ(s.sampler.state.acceptanceCnt, s.sampler.state.acceptanceCntOA);
  // The last trace value is the final partition's score.
  std::vector<int> finalz;
  std::istringstream labels(dir.read("r.finalz"));
  for (int label; labels >> label;) finalz.push_back(label);
  EXPECT_EQ(finalz, s.sampler.state.zold);
  EXPECT_NEAR(previous, s.sampler.scorer.getTotalLik(finalz.data(), s.sampler.state.kold), 1e-8);
}

TEST(RunLoop, ZeroIterationsReportZeroRates) {
  TempDir dir;
  Scored s({0, 1, 5}, 0, INTEGRATED, 0, "UX2");
  s.sampler.initZ("");
  s.sampler.run(0, 10, dir.file("r"));
  const std::string log = s.log.str();
  EXPECT_NE(log.find("acceptance rate for non-oneatatime: 0\n"), std::string::npos);
  EXPECT_NE(log.find("acceptance rate for     oneatatime: 0\n"), std::string::npos);
  EXPECT_NE(log.find("\n0 0\n"), std::string::npos);
  EXPECT_EQ(log.find("nan"), std::string::npos);
}

TEST(RunLoop, UnknownHeuristicStopsInTheFirstIteration) {
  TempDir dir;
  Scored s({0, 1, 5}, 0, INTEGRATED, 0, "UW");
  s.sampler.initZ("");
  EXPECT_THROW(s.sampler.run(10, 10, dir.file("r")), RunError);
  const std::string log = s.log.str();
  EXPECT_NE(log.find("Iter 1\nPartitionSampler::allIterations(). heuristics not supported: UW\n"),
            std::string::npos);
  // The trace it had begun is removed, so that it blocks no rerun; the search never started.
  EXPECT_FALSE(dir.exists("r.save"));
  EXPECT_FALSE(s.sampler.searchStarted);
}

TEST(RunLoop, ExistingTraceIsNeverReplaced) {
  TempDir dir;
  dir.write("r.save", "keep");
  Scored s({0, 1, 5}, 0);
  s.sampler.initZ("");
  EXPECT_THROW(s.sampler.run(10, 10, dir.file("r")), RunError);
  EXPECT_EQ(dir.read("r.save"), "keep");
  EXPECT_NE(s.log.str().find("File already exists: " + dir.file("r.save")), std::string::npos);
}

}  // namespace

namespace {

TEST(RunLoop, CheckpointEveryHourEvenWhenAnIterationSpansTheMark) {
  // Each clock reading moves 61 minutes on: every iteration is past the next hour mark.
  TempDir dir;
  Scored s({0, 1, 5}, 0);
  time_t fake = 1000000;
  s.sampler.wallClock = [&fake] { return fake += 61 * 60; };
  s.sampler.initZ("");
  s.sampler.run(3, 100000, dir.file("r"));
  const std::string log = s.log.str();
  const std::string line = "  write " + dir.file("r.finalz") + "\n";
  size_t writes = 0;
  for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) writes++;
  EXPECT_EQ(writes, 3u + 1u);  // three checkpoints and the final write
  EXPECT_FALSE(dir.exists("r.finalz.tmp"));
}

}  // namespace

namespace {

TEST(Sampler, TotalScoreEqualsTheFromScratchSumBitForBit) {
  // The memoised path must reproduce: sum of cluster fits in label order, plus the prior.
  std::mt19937 random(3);
  for (int k : {0, 2, 4}) {
    Scored s({0, 0.4, 1.1, 2.5, 2.7, 4.0, 5.5, 6.1}, k, INTEGRATED, 0.3);
    const int labels = k > 0 ? k : 5;
    for (int trial = 0; trial < 300; trial++) {
      std::vector<int> z(8);
      for (int& label : z) label = static_cast<int>(random() % labels);
      double expected = 0;
      for (int j = 0; j < labels; j++) expected += s.model.getClusterFit(z.data(), j);
      std::vector<int> sizes(labels);
      Arrays::table(z.data(), 8, sizes.data(), labels);
      double prior;
      if (k > 0) {
        prior = DirichletRV(static_cast<short>(k)).logIntegratedLik(sizes.data());
      } else {
        int nonEmpty = 0;
        double lgammaSum = 0, normaliser = 0;
        for (int size : sizes) {
          nonEmpty += size > 0;
          lgammaSum += MathPlus::mylgamma(size);
        }
        for (int i = 1; i <= 8; i++) normaliser += std::log(std::exp(0.3) + i - 1);
        prior = nonEmpty * 0.3 + lgammaSum - normaliser;
      }
      expected += prior;
      // Twice: the second call is answered from remembered cluster scores.
      for (int call = 0; call < 2; call++)
        EXPECT_EQ(s.sampler.scorer.getTotalLik(z.data(), labels), expected);
    }
  }
}

}  // namespace
