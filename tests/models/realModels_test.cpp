// The real-valued models kmeans2 and mclust2: cluster scores, mclust2's hyperparameters, the
// Euclidean distances, the inputs they refuse, and scores that ignore a column's offset.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

std::unique_ptr<kmeans2> buildKmeans(const std::string& file, double scale = 1000.0) {
  std::ostringstream log;
  CaptureStdout quiet;
  return std::make_unique<kmeans2>(file, log, scale);
}

std::unique_ptr<mclust2> buildMclust(const std::string& file, const std::string& prior,
                                     std::ostream& log, double scale = 1.0) {
  std::stringstream priorStream(prior);
  CaptureStdout quiet;
  return std::make_unique<mclust2>(file, priorStream, log, scale);
}

TEST(kmeans2, ClusterFit) {
  TempDir dir;
  auto model = buildKmeans(dir.write("k.txt", "0 0\n2 0\n5 5\n5 5\n1 3\n"));
  struct Case {
    std::vector<int> z;
    int j;
    double expected;
  };
  const Case cases[] = {
      {{0, 0, 1, 1, 2}, 0, -2000},  // mean (1, 0), sum of squares 2
      {{0, 0, 1, 1, 2}, 1, 0},      // identical rows
      {{0, 0, 1, 1, 2}, 2, 0},      // one observation
      {{0, 0, 1, 1, 2}, 3, 0},      // empty label
      // rows (0,0), (2,0), (1,3): mean (1,1), squares 1+1 + 1+1 + 0+4
      {{0, 0, 1, 1, 0}, 0, -8000},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(model->getClusterFit(c.z.data(), c.j), c.expected);
  const int z[5] = {0, 0, 1, 1, 2};
  EXPECT_DOUBLE_EQ(buildKmeans(dir.path("k.txt"), 1.0)->getClusterFit(z, 0), -2.0);
}

TEST(mclust2, HyperparametersAndClusterFit) {
  TempDir dir;
  std::string file = dir.write("m.txt", "0\n1\n2\n");
  std::ostringstream log;
  auto model = buildMclust(file, "1", log);
  EXPECT_EQ(model->shared().mu0, std::vector<double>{1.0});
  EXPECT_EQ(model->shared().lambda, 0.01);
  EXPECT_EQ(model->shared().alpha, 1.5);
  EXPECT_DOUBLE_EQ(model->shared().beta, 0.5);
  EXPECT_EQ(log.str(), "Hyperpriors\nlambda: 0.01\nalpha: 1.5\nbeta: 0.5\n\n");

  struct Case {
    std::vector<int> z;
    int j;
    double expected;
  };
  const Case cases[] = {
      {{0, 0, 0}, 0, -7.052557},  // lambda' 3.01, alpha' 3, beta' 1.5
      {{0, 0, 1}, 1, -2.778848},  // lambda' 1.01, alpha' 2, beta' 0.504950
      {{0, 0, 0}, 1, 0.0},        // empty label
  };
  for (const Case& c : cases) EXPECT_NEAR(model->getClusterFit(c.z.data(), c.j), c.expected, 1e-6);
  std::ostringstream log2;
  const int all[3] = {0, 0, 0};
  EXPECT_NEAR(buildMclust(file, "1", log2, 2.0)->getClusterFit(all, 0), 2 * -7.052557, 2e-6);
}

TEST(mclust2, PriorNumberDividesBeta) {
  TempDir dir;
  // Columns with unbiased variances 1 and 4: summed 5, divided by 2T = 4 when c = 1.
  std::string file = dir.write("m.txt", "0 0\n1 2\n2 4\n");
  struct Case {
    std::string prior;
    double beta;
  };
  const Case cases[] = {{"1", 1.25}, {"2", 0.625}, {"  4\n", 0.3125}, {"0.5", 2.5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prior);
    std::ostringstream log;
    auto model = buildMclust(file, c.prior, log);
    EXPECT_EQ(model->shared().alpha, 2.0);
    EXPECT_EQ(model->shared().mu0, (std::vector<double>{1.0, 2.0}));
    EXPECT_DOUBLE_EQ(model->shared().beta, c.beta);
    std::ostringstream expected;
    expected << "Hyperpriors\nlambda: 0.01\nalpha: 2\nbeta: " << c.beta << "\n\n";
    EXPECT_EQ(log.str(), expected.str());
  }
}

TEST(mclust2, RejectsBadPriorsAndSingleRows) {
  TempDir dir;
  std::string file = dir.write("m.txt", "0\n1\n2\n");
  for (const char* prior : {"0", "-1", "abc", "", " ", "inf", "nan", "1e999", "2x"}) {
    SCOPED_TRACE(prior);
    std::string token = std::string(prior) == " " ? "" : prior;
    std::string line = "mclust2: prior is not a positive finite number: " + token;
    std::ostringstream log;
    std::stringstream priorStream(prior);
    std::string out =
        modeltest::expectRunError([&] { mclust2 m(file, priorStream, log, 1.0); }, line);
    EXPECT_EQ(log.str(), line + "\n");
    EXPECT_NE(out.find(line + "\n"), std::string::npos);
  }
  std::string single = dir.write("one.txt", "1 2 3\n");
  std::ostringstream log;
  std::stringstream one("1");
  modeltest::expectRunError(
      [&] { mclust2 m(single, one, log, 1.0); },
      "Bad mclust2 data file " + single + ": 1 row, the prior needs at least 2 for the variances");
  std::string constant = dir.write("flat.txt", "1 5\n1 5\n1 5\n");
  std::stringstream c("1");
  modeltest::expectRunError([&] { mclust2 m(constant, c, log, 1.0); },
                            "Bad mclust2 data file " + constant +
                                ": every column is constant, the prior needs some spread");
}

// Rows of three columns around (i mod 3), each value a multiple of 1/1024 within 2 of it, so
// that offset + value is a double exactly (and in the text) up to an offset of 1e9.
std::string offsetRows(double offset) {
  std::string text;
  unsigned state = 12345;
  char number[64];
  for (int i = 0; i < 90; i++) {
    for (int t = 0; t < 3; t++) {
      state = state * 1103515245u + 12345u;
      const double value = i % 3 + static_cast<int>((state >> 8) % 4097 - 2048) / 1024.0;
      std::snprintf(number, sizeof number, "%.10f ", offset + value);
      text += number;
    }
    text += '\n';
  }
  return text;
}

// Sum of the cluster scores of z (labels 0..k-1).
double partitionScore(const Observable& model, const std::vector<int>& z, int k) {
  double total = 0;
  for (int j = 0; j < k; j++) total += model.getClusterFit(z.data(), j);
  return total;
}

// Mean of squares less squared mean loses every digit of a column far from 0 against its
// spread; each column is taken as an offset from its mean first, in every scoring mode.
TEST(RealModels, ScoresDoNotDependOnAColumnOffset) {
  TempDir dir;
  std::vector<int> byRow(90), together(90, 0);
  for (int i = 0; i < 90; i++) byRow[i] = i % 3;
  const ScoringMode modes[] = {ScoringMode::Exact, ScoringMode::Reference, ScoringMode::Fast};
  auto build = [&](bool mclust, double offset, ScoringMode mode) {
    char name[64];
    std::snprintf(name, sizeof name, "o%g.txt", offset);
    const std::string file = dir.write(name, offsetRows(offset));
    std::unique_ptr<RealRows> model;
    std::ostringstream log;
    if (mclust)
      model = buildMclust(file, "1", log);
    else
      model = buildKmeans(file);
    model->scoring = mode;
    return model;
  };
  for (bool mclust : {false, true}) {
    for (ScoringMode mode : modes) {
      const auto plain = build(mclust, 0, mode);
      const double byRow0 = partitionScore(*plain, byRow, 3);
      const double together0 = partitionScore(*plain, together, 1);
      for (double offset : {1e6, 1e7, 1e8, 3e8, 1e9, -1e9}) {
        SCOPED_TRACE(std::string(mclust ? "mclust2" : "kmeans2") + " mode " +
                     std::to_string(static_cast<int>(mode)) + " offset " + std::to_string(offset));
        const auto shifted = build(mclust, offset, mode);
        EXPECT_NEAR(partitionScore(*shifted, byRow, 3), byRow0, 1e-9 * std::fabs(byRow0));
        EXPECT_NEAR(partitionScore(*shifted, together, 1), together0,
                    1e-9 * std::fabs(together0));
      }
    }
    // The exact mode stays the reference's double bit for bit, offset or not.
    for (double offset : {0.0, 1e7, 1e9}) {
      const auto exact = build(mclust, offset, ScoringMode::Exact);
      const auto reference = build(mclust, offset, ScoringMode::Reference);
      for (int j = 0; j < 3; j++) {
        const double a = exact->getClusterFit(byRow.data(), j);
        const double b = reference->getClusterFit(byRow.data(), j);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << offset << " " << j;
      }
    }
  }
}

// Only a column far from 0 against its spread is shifted: any other keeps the values as read,
// so its scores keep their doubles. A constant column away from 0 is shifted to exact zeros.
TEST(RealModels, OnlyColumnsFarFromZeroAreShifted) {
  TempDir dir;
  // Column means 400.5, 2000.5, 0 and 7 with spread 0.5, 0.5, 0.5 and 0: ratios 801 (kept),
  // 4001 (shifted), 0 and a constant.
  const std::string file =
      dir.write("s.txt", "400 2000 -0.5 7\n401 2001 0.5 7\n400 2000 -0.5 7\n401 2001 0.5 7\n");
  auto model = buildKmeans(file);
  EXPECT_EQ(model->origin, (std::vector<double>{0, 2000.5, 0, 7}));
  EXPECT_EQ(model->data[0][0], 400.0);
  EXPECT_EQ(model->data[1][1], 0.5);
  EXPECT_EQ(model->data[1][3], 0.0);
  const int z[4] = {0, 0, 0, 0};
  EXPECT_DOUBLE_EQ(model->getClusterFit(z, 0), -1000.0 * 3);
  // mclust2 refuses only a true zero spread: a constant column far out no longer counts.
  std::ostringstream log;
  const std::string far = dir.write("f.txt", "1e8 5\n1e8 5\n100000000.5 5\n");
  // Unbiased variances 1/12 and 0, summed and divided by 2T = 4.
  EXPECT_NEAR(buildMclust(far, "1", log)->shared().beta, 1.0 / 48, 1e-12);
}

TEST(RealModels, EuclideanDistances) {
  TempDir dir;
  std::string file = dir.write("d.txt", "0 0 1\n3 4 1\n3 -4 0\n");
  std::ostringstream log;
  auto k = buildKmeans(file);
  auto m = buildMclust(file, "1", log);
  for (const Observable* model : {static_cast<const Observable*>(k.get()),
                                  static_cast<const Observable*>(m.get())}) {
    EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 1), 5.0);
    EXPECT_DOUBLE_EQ(model->pairwiseDistance(1, 1), 0.0);
    EXPECT_DOUBLE_EQ(model->pairwiseDistance(1, 2), std::sqrt(65.0));
    const int positions[2] = {1, 2};
    EXPECT_DOUBLE_EQ(model->pairwiseDistance(1, 2, 1, positions), 8.0);
    EXPECT_DOUBLE_EQ(model->pairwiseDistance(2, 1, 1, positions + 1), 1.0);
    EXPECT_DOUBLE_EQ(model->pairwiseDistance(1, 2, 2, positions), std::sqrt(65.0));
  }
}

}  // namespace
