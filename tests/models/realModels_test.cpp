// The real-valued models kmeans2 and mclust2: cluster scores, mclust2's hyperparameters and
// its parameter line, the Euclidean distances, and the inputs and operations they refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "stats/rvgs.h"
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
  EXPECT_EQ(model->mu0, std::vector<double>{1.0});
  EXPECT_EQ(model->lambda, 0.01);
  EXPECT_EQ(model->alpha, 1.5);
  EXPECT_DOUBLE_EQ(model->beta, 0.5);
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
    EXPECT_EQ(model->alpha, 2.0);
    EXPECT_EQ(model->mu0, (std::vector<double>{1.0, 2.0}));
    EXPECT_DOUBLE_EQ(model->beta, c.beta);
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

TEST(RealModels, OperationsNotOffered) {
  TempDir dir;
  std::string file = dir.write("m.txt", "0\n1\n");
  const int z[2] = {0, 0};
  struct Case {
    const char* line;
    std::function<void(const Observable&)> call;
  };
  std::ostringstream log;
  std::stringstream prior("1");
  CaptureStdout quiet;
  kmeans2 k(file, log, 1000.0);
  mclust2 m(file, prior, log, 1.0);
  const std::pair<const Observable*, Case> cases[] = {
      {&k, {"kmeans2::getClassificationLik not implmented",
            [&](const Observable& o) { o.getClassificationLik(z, 0); }}},
      {&k, {"kmeans2::getMixtureLik not implmented",
            [&](const Observable& o) { o.getMixtureLik(z, 1); }}},
      {&m, {"mclust2::getClassificationLik not implmented",
            [&](const Observable& o) { o.getClassificationLik(z, 0); }}},
      {&m, {"mclust2::getMixtureLik not implmented",
            [&](const Observable& o) { o.getMixtureLik(z, 1); }}},
  };
  for (const auto& [model, c] : cases) {
    log.str("");
    std::string out = modeltest::expectRunError([&] { c.call(*model); }, c.line);
    EXPECT_EQ(log.str(), std::string(c.line) + "\n");
    EXPECT_EQ(out, "");
  }
}

TEST(mclust2, ComponentParameterLine) {
  TempDir dir;
  std::string file = dir.write("m.txt", "0\n1\n2\n");
  std::ostringstream log;
  auto model = buildMclust(file, "1", log);
  const int z[3] = {0, 0, 1};
  {
    std::ofstream out(dir.path("p.txt"));
    _rng.initialize(7);
    model->writeComponentParam(z, 2, out);
  }
  // The same draws by hand, in order: per cluster one gamma then one normal variate.
  _rng.initialize(7);
  std::ostringstream expected;
  expected << "Inf 2 ";
  struct Cluster {
    double lambdaNew, alphaNew, betaNew, mean;
  };
  const Cluster clusters[] = {
      {2.01, 2.5, 0.5 + 1 * (0.5 - 0.25) + 1 * (0.01 / 2.01) * 0.25, (0.01 + 2 * 0.5) / 2.01},
      {1.01, 2.0, 0.5 + 0.5 * (0.01 / 1.01) * 1.0, (0.01 + 2.0) / 1.01},
  };
  for (const Cluster& c : clusters) {
    double tao = rGamma(c.alphaNew, false) / c.betaNew;
    double mu = rNormal(c.mean, c.lambdaNew / tao);
    expected << mu << " " << tao << "  " << "      ";
  }
  expected << '\n';
  std::ifstream in(dir.path("p.txt"));
  std::stringstream written;
  written << in.rdbuf();
  EXPECT_EQ(written.str(), expected.str());

  std::ofstream out(dir.path("q.txt"));
  log.str("");
  std::string printed = modeltest::expectRunError(
      [&] { model->writeComponentParam(z, 3, out); },
      "mclust2::writeComponentParam: this should not happen");
  EXPECT_EQ(log.str(), "mclust2::writeComponentParam: this should not happen\n");
  EXPECT_EQ(printed, "");
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
