// The binary and 20-category matrix models: the three criteria, scale, empty labels, the
// distances and the checks on values and prior width.
#include "models/HDBern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/PriorStrings.h"
#include "models/catalog.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

template <class Model>
std::unique_ptr<Model> build(const std::string& file, const std::string& prior,
                             double scale = 1.0) {
  std::stringstream priorStream(prior);
  std::ostringstream log;
  CaptureStdout quiet;  // the matrix reader reports on standard output
  return std::make_unique<Model>(file, priorStream, log, scale);
}

const std::string flat20 = "1 20\n1\n1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 ";

TEST(HDBern, ScoresOfWorkedClusters) {
  TempDir dir;
  // Column 0: rows 0-2 hold 0, row 3 holds 1. Column 1: 0 1 0 1.
  std::string file = dir.write("m.txt", "0 0\n0 1\n0 0\n1 1\n");
  auto model = build<HDBern>(file, HDBernFlatPriorString);
  ASSERT_EQ(model->n, 4);
  ASSERT_EQ(model->T, 2);
  struct Case {
    std::vector<int> z;
    int j;
    double integrated, classification;
  };
  const Case cases[] = {
      // rows 0-2: column 0 counts (3,0) -> 1/4; column 1 counts (2,1) -> 1/12.
      {{0, 0, 0, 1},
       0,
       std::log(1.0 / 4) + std::log(1.0 / 12),
       0 + 2 * std::log(2.0 / 3) + std::log(1.0 / 3)},
      // all rows: column 0 counts (3,1) -> 3!1!/5! = 1/20 and 3 log 3/4 + log 1/4 = -2.249341;
      // column 1 counts (2,2) -> 2!2!/5! = 1/30.
      {{0, 0, 0, 0}, 0, std::log(1.0 / 20) + std::log(1.0 / 30), -2.249341 + 4 * std::log(0.5)},
      {{0, 1, 1, 1}, 0, 2 * std::log(0.5), 0.0},  // one observation
      {{0, 0, 0, 0}, 1, 0.0, 0.0},                // empty label
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.integrated);
    EXPECT_NEAR(model->getClusterFit(c.z.data(), c.j), c.integrated, 1e-6);
    EXPECT_NEAR(model->getClassificationLik(c.z.data(), c.j), c.classification, 1e-6);
  }

  // A prior of 1/2: counts (3,0) give .5 1.5 2.5 / (1 2 3).
  std::string column = dir.write("c.txt", "0\n0\n0\n");
  const int all[3] = {0, 0, 0};
  EXPECT_NEAR(build<HDBern>(column, HDBernPoint5PriorString)->getClusterFit(all, 0),
              std::log(0.3125), 1e-12);
  EXPECT_NEAR(build<HDBern>(column, HDBernFlatPriorString)->getClusterFit(all, 0), -1.386294, 1e-6);
}

TEST(HDBern, MixtureFit) {
  TempDir dir;
  struct Case {
    const char* name;
    std::string data;
    std::vector<int> z;
    int k;
    double expected;
  };
  const Case cases[] = {
      {"one row per cluster", "0\n1\n", {0, 1}, 2, 2 * std::log(0.5)},
      // Label 1 has no member: it is left out instead of making the value not a number.
      {"empty label below k", "0\n1\n", {0, 2}, 3, 2 * std::log(0.5)},
      {"one cluster equals its classification fit",
       "0 0\n0 1\n0 0\n1 1\n",
       {0, 0, 0, 0},
       1,
       3 * std::log(0.75) + std::log(0.25) + 4 * std::log(0.5)},
      // Clusters {0,1} and {2}: row 0 (0 0) gets 1/2 * 2/3 from cluster 0 and 0 from cluster 1;
      // row 1 (0 1) likewise; row 2 (1 1) gets 0 from cluster 0 and 1 * 1/3 from cluster 1.
      {"two clusters", "0 0\n0 1\n1 1\n", {0, 0, 1}, 2, 2 * std::log(1.0 / 3) + std::log(1.0 / 3)},
      // Rows 0 0 and 0 1 in one cluster and 0 0 in the other: row 0 gets
      // 1 * 1/2 * 2/3 + 1 * 1 * 1/3 = 2/3, row 1 gets 1/3 + 0, row 2 gets 2/3.
      {"overlapping clusters",
       "0 0\n0 1\n0 0\n",
       {0, 0, 1},
       2,
       2 * std::log(2.0 / 3) + std::log(1.0 / 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto model = build<HDBern>(dir.write("m.txt", c.data), HDBernFlatPriorString);
    EXPECT_NEAR(model->getMixtureLik(c.z.data(), c.k), c.expected, 1e-12);
  }

  // The scratch tables grow with k; scores of a smaller k are unchanged afterwards.
  auto model = build<HDBern>(dir.write("m.txt", "0 0\n1 1\n"), HDBernFlatPriorString);
  const int together[2] = {0, 0};
  const int apart[2] = {0, 1};
  const int spread[2] = {3, 0};
  EXPECT_NEAR(model->getMixtureLik(together, 1), 2 * std::log(0.25), 1e-12);
  EXPECT_NEAR(model->getMixtureLik(apart, 2), 2 * std::log(0.5), 1e-12);
  EXPECT_NEAR(model->getMixtureLik(spread, 4), 2 * std::log(0.5), 1e-12);
  EXPECT_NEAR(model->getMixtureLik(together, 1), 2 * std::log(0.25), 1e-12);
}

TEST(HDBern, ScaleMultipliesEveryCriterion) {
  TempDir dir;
  std::string file = dir.write("m.txt", "0 1\n1 1\n0 0\n");
  auto one = build<HDBern>(file, HDBernPoint05PriorString, 1.0);
  auto two = build<HDBern>(file, HDBernPoint05PriorString, 2.0);
  const int z[3] = {0, 0, 1};
  EXPECT_NEAR(two->getClusterFit(z, 0), 2 * one->getClusterFit(z, 0), 1e-12);
  EXPECT_NEAR(two->getClassificationLik(z, 0), 2 * one->getClassificationLik(z, 0), 1e-12);
  EXPECT_NEAR(two->getMixtureLik(z, 2), 2 * one->getMixtureLik(z, 2), 1e-12);
  EXPECT_NE(one->getClusterFit(z, 0), 0.0);
  EXPECT_NE(one->getMixtureLik(z, 2), 0.0);
  EXPECT_EQ(two->scale, 2.0);
}

TEST(HDGBern, TwentyCategories) {
  TempDir dir;
  std::string file = dir.write("g.txt", "7 19\n7 0\n3 19\n");
  auto model = build<HDGBern>(file, flat20);
  struct Case {
    std::vector<int> z;
    int j;
    double integrated, classification;
  };
  const Case cases[] = {
      {{0, 1, 1}, 0, 2 * std::log(1.0 / 20), 0.0},
      // rows 0 and 1: column 0 holds 7 twice (1/20 * 2/21), column 1 holds 19 and 0.
      {{0, 0, 1}, 0, std::log(2.0 / 420) + std::log(1.0 / 420), 2 * std::log(0.5)},
      {{1, 1, 1}, 0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(model->getClusterFit(c.z.data(), c.j), c.integrated, 1e-12);
    EXPECT_NEAR(model->getClassificationLik(c.z.data(), c.j), c.classification, 1e-12);
  }
  // Row 2 (3 19) alone; rows 0 and 1 together: row 0 gets 2/3 * 1 * 1/2, row 1 the same.
  const int z[3] = {0, 0, 1};
  EXPECT_NEAR(model->getMixtureLik(z, 2), 2 * std::log(1.0 / 3) + std::log(1.0 / 3), 1e-12);
}

TEST(HDBern, Distances) {
  TempDir dir;
  auto model =
      build<HDBern>(dir.write("d.txt", "0 1 1 0\n1 0 0 1\n0 1 0 0\n"), HDBernFlatPriorString);
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 0), 0.0);
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 1), 1.0);  // complement
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 2), 0.25);
  const int some[3] = {3, 2, 0};
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 2, 3, some), 1.0 / 3);
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 2, 2, some), 0.5);
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 2, 1, some + 1), 1.0);
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 2, 1, some + 2), 0.0);
}

TEST(HDBern, RejectsValuesOutsideTheCategories) {
  TempDir dir;
  struct Case {
    bool twenty;
    std::string data;
    std::string where;
  };
  const Case cases[] = {
      {false, "0 1 1\n1 0 2\n", "row 2, column 3 holds 2, outside 0..1"},
      {false, "-1 0\n", "row 1, column 1 holds -1, outside 0..1"},
      {true, "0 19\n20 0\n", "row 2, column 1 holds 20, outside 0..19"},
      {true, "5 -3\n", "row 1, column 2 holds -3, outside 0..19"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    std::string file = dir.write("v.txt", c.data);
    std::string line = std::string("Bad ") + (c.twenty ? "HDGBern" : "HDBern") + " data file " +
                       file + ": " + c.where;
    std::stringstream priorStream(c.twenty ? flat20 : HDBernFlatPriorString);
    std::ostringstream log;
    std::string out = modeltest::expectRunError(
        [&] {
          if (c.twenty)
            HDGBern(file, priorStream, log, 1.0);
          else
            HDBern(file, priorStream, log, 1.0);
        },
        line);
    EXPECT_EQ(log.str(), line + "\n");
    EXPECT_NE(out.find(line + "\n"), std::string::npos);
  }

  std::string file = dir.write("ok.txt", "0 1\n");
  std::stringstream wide(flat20), narrow(HDBernFlatPriorString);
  std::ostringstream log;
  modeltest::expectRunError([&] { HDBern(file, wide, log, 1.0); },
                            "Bad prior text: HDBern needs 2 categories, not 20");
  modeltest::expectRunError([&] { HDGBern(file, narrow, log, 1.0); },
                            "Bad prior text: HDGBern needs 20 categories, not 2");
  std::stringstream broken("1 2 1 1");
  modeltest::expectRunError([&] { HDBern(file, broken, log, 1.0); },
                            "Bad prior text: parameter 2 of component 1 missing");
}

// -p levels: each column's Dirichlet(1) spreads over the levels seen in that column only.
TEST(LevelsPrior, WorkedColumnsFromThePriorName) {
  TempDir dir;
  // Column 0 shows levels 0 and 3; column 1 only 7; column 2 shows 2, 5 and 9.
  const std::string file = dir.write("g.txt", "0 7 2\n3 7 5\n3 7 9\n0 7 2\n");
  std::stringstream text;
  std::string name = "levels";
  ASSERT_TRUE(findModel("HDGBern")->writePriorText(name, text));
  std::ostringstream log;
  std::unique_ptr<Observable> model;
  {
    CaptureStdout quiet;
    model = findModel("HDGBern")->make(file, text, log);
  }
  EXPECT_NE(log.str().find("Prior by levels seen: per column a symmetric Dirichlet(1) over the "
                           "levels that occur in it; 2 of 3 columns have two or more\n"),
            std::string::npos)
      << log.str();
  struct Case {
    std::vector<int> z;
    double expected;
  } cases[] = {
      // Rows 0-2: column 0 (1, 2) over 2 levels -> 1! 2! / 4! = 1/12; column 1 adds 0;
      // column 2 (1, 1, 1) over 3 levels -> 2! / 5! = 1/60.
      {{0, 0, 0, 1}, std::log(1.0 / 12) + std::log(1.0 / 60)},
      // Rows 0 and 3: column 0 (2, 0) -> 1! 2! / 3! = 1/3; column 2 (2, 0, 0) -> 2! 2! / 4!.
      {{0, 1, 1, 0}, std::log(1.0 / 3) + std::log(1.0 / 6)},
  };
  for (const Case& c : cases)
    for (ScoringMode mode : {ScoringMode::Reference, ScoringMode::Exact}) {
      model->scoring = mode;
      EXPECT_NEAR(model->getClusterFit(c.z.data(), 0), c.expected, 1e-12);
    }
}

TEST(LevelsPrior, BinaryColumnsShowingBothLevelsScoreAsFlat) {
  TempDir dir;
  auto levels = build<HDBern>(dir.write("a.txt", "0 1\n1 1\n1 0\n0 0\n"),
                              HDBernLevelsPriorString);
  auto flat = build<HDBern>(dir.path("a.txt"), HDBernFlatPriorString);
  const int z[4] = {0, 0, 1, 0};
  for (int j = 0; j < 2; j++) EXPECT_NEAR(levels->getClusterFit(z, j), flat->getClusterFit(z, j), 1e-12);
  // A constant column is certain under levels, but costs log 1/(m + 1) under flat.
  auto constant = build<HDBern>(dir.write("c.txt", "0 1\n1 1\n1 1\n"), HDBernLevelsPriorString);
  auto constantFlat = build<HDBern>(dir.path("c.txt"), HDBernFlatPriorString);
  const int all[3] = {0, 0, 0};
  EXPECT_NEAR(constant->getClusterFit(all, 0), std::log(2.0 / 24), 1e-12);  // column 0 (1, 2)
  EXPECT_NEAR(constantFlat->getClusterFit(all, 0), std::log(2.0 / 24) + std::log(1.0 / 4), 1e-12);
}

}  // namespace
