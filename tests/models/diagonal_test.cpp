// The diagonal model: each column's normal-gamma prior set from that column alone (shape 3/2,
// rate the column's variance / 2 at c = 1), so that a column's scale only shifts every score
// alike and adding columns does not make the prior surer of tight clusters. Scores by hand,
// against mclust2 where both must agree (one column), and the fast mode against the exact one.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/diagonal.h"
#include "models/mclust2.h"
#include "models/refusals.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"

namespace {

std::unique_ptr<diagonal> build(const std::string& file, ScoringMode mode = ScoringMode::Exact,
                                const char* prior = "1") {
  static std::ostringstream sink;
  CaptureStdout quiet;
  std::stringstream priorText(prior);
  auto model = std::make_unique<diagonal>(file, priorText, sink, 1.0);
  model->scoring = mode;
  return model;
}

// Rows whose column t holds f_t(0), f_t(1), f_t(2) for the given columns.
std::string threeRows(const std::vector<std::pair<double, double>>& scaleShift) {
  std::ostringstream out;
  for (int i = 0; i < 3; i++) {
    for (size_t t = 0; t < scaleShift.size(); t++)
      out << (t ? " " : "") << scaleShift[t].first * i + scaleShift[t].second;
    out << '\n';
  }
  return out.str();
}

// One column 0, 1, 2: lambda 0.01, alpha 1.5, beta 0.5. All three rows: lambda' 3.01,
// alpha' 3, beta' 0.5 + 1 = 1.5, so -1.5 log(2 pi) + 0.5 log(0.01 / 3.01) + lgamma(3)
// - lgamma(1.5) + 1.5 log 0.5 - 3 log 1.5 = -7.052557. Row 2 alone: lambda' 1.01, alpha' 2,
// beta' = 0.5 + 0.5 (0.01 / 1.01) 1 = 0.504950: -2.778848.
const double kAllThree = -7.052557, kRowTwo = -2.778848;

TEST(Diagonal, ScoresByHand) {
  TempDir dir;
  const std::vector<int> all = {0, 0, 0}, rowTwo = {1, 1, 0};
  struct Case {
    const char* name;
    std::vector<std::pair<double, double>> columns;
    double allThree, rowTwoAlone;
  } cases[] = {
      {"one column", {{1, 0}}, kAllThree, kRowTwo},
      // Ten times the values and a shift: the same terms less m log 10 (the density's units).
      {"a scaled copy", {{1, 0}, {10, 5}}, 2 * kAllThree - 3 * std::log(10.0),
       2 * kRowTwo - std::log(10.0)},
      // A constant column says nothing and is left out.
      {"a constant column", {{1, 0}, {0, 7}}, kAllThree, kRowTwo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.write("r.dat", threeRows(c.columns));
    for (ScoringMode mode : {ScoringMode::Reference, ScoringMode::Exact, ScoringMode::Fast}) {
      auto model = build(dir.file("r.dat"), mode);
      EXPECT_NEAR(model->getClusterFit(all.data(), 0), c.allThree, 1e-6);
      EXPECT_NEAR(model->getClusterFit(rowTwo.data(), 0), c.rowTwoAlone, 1e-6);
      EXPECT_EQ(model->getClusterFit(all.data(), 1), 0.0);  // an empty label
    }
  }
}

// On one column it is mclust2 (whose shape (T + 2) / 2 and rate summed variances / 2T are
// then 3/2 and the variance / 2), for any prior number c.
TEST(Diagonal, IsMclust2OnOneColumn) {
  TempDir dir;
  dir.write("r.dat", "0.3\n1.9\n-0.4\n2.2\n0.8\n");
  const std::vector<std::vector<int>> partitions = {{0, 0, 0, 0, 0}, {0, 1, 0, 1, 0}, {0, 1, 2, 1, 0}};
  for (const char* c : {"1", "0.2", "7"}) {
    auto model = build(dir.file("r.dat"), ScoringMode::Exact, c);
    std::ostringstream sink;
    std::stringstream prior(c);
    CaptureStdout quiet;
    mclust2 reference(dir.file("r.dat"), prior, sink, 1.0);
    for (const auto& z : partitions)
      for (int j = 0; j < 3; j++)
        EXPECT_NEAR(model->getClusterFit(z.data(), j), reference.getClusterFit(z.data(), j), 1e-9) << c;
  }
}

// The fault it mends: mclust2's prior grows with the columns. Fifty copies of one column score
// fifty times one column here, so a cluster's evidence per column stays what it was.
TEST(Diagonal, ColumnsAddUpWithoutChangingTheirPrior) {
  TempDir dir;
  const std::vector<double> values = {0.3, 1.9, -0.4, 2.2, 0.8};
  std::ostringstream one, fifty;
  for (double v : values) {
    one << v << '\n';
    for (int t = 0; t < 50; t++) fifty << (t ? " " : "") << v;
    fifty << '\n';
  }
  dir.write("one.dat", one.str());
  dir.write("fifty.dat", fifty.str());
  auto single = build(dir.file("one.dat"));
  auto wide = build(dir.file("fifty.dat"));
  const std::vector<int> z = {0, 1, 0, 1, 0};
  for (int j = 0; j < 2; j++)
    EXPECT_NEAR(wide->getClusterFit(z.data(), j), 50 * single->getClusterFit(z.data(), j), 1e-7);
}

TEST(Diagonal, MissingCellsAreLeftOutOfTheirColumn) {
  TempDir dir;
  // Column 2 misses row 1's cell: its term is that of the seen values 0 and 2 alone.
  dir.write("na.dat", "0 0\n1 NA\n2 2\n");
  dir.write("seen.dat", "0\n2\n");
  dir.write("first.dat", "0\n1\n2\n");
  const std::vector<int> all = {0, 0, 0}, seen = {0, 0};
  for (ScoringMode mode : {ScoringMode::Exact, ScoringMode::Fast}) {
    auto withNA = build(dir.file("na.dat"), mode);
    const double expected = build(dir.file("first.dat"))->getClusterFit(all.data(), 0) +
                            build(dir.file("seen.dat"))->getClusterFit(seen.data(), 0);
    EXPECT_NEAR(withNA->getClusterFit(all.data(), 0), expected, 1e-9);
  }
}

TEST(Diagonal, RefusesDataWithoutAPrior) {
  expectRefusals(
      {
          {"1 2\n", "1", "1 row, the prior needs at least 2"},
          {"1 2\n1 2\n1 2\n", "1", "every column is constant"},
          {"1 2\n2 3\n", "0", "diagonal: prior is not a positive finite number: 0"},
          {"1 2\n2 3\n", "x", "diagonal: prior is not a positive finite number: x"},
          {"1\n2\n", "1e200", "too far from 1 for finite scores: 1e200"},
      },
      [](const std::string& file, const char* prior) { build(file, ScoringMode::Exact, prior); });
}

}  // namespace
