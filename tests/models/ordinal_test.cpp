// The ordinal model: per cluster and column a binomial over the column's levels with a Beta
// prior, integrated out. Scores by hand from Beta functions and binomial coefficients, the
// levels taken from each column's own range, and the statistics paths against the plain one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/ordinal.h"
#include "models/refusals.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"

namespace {

std::unique_ptr<ordinal> build(const std::string& file, const char* prior = "1 1",
                               ScoringMode mode = ScoringMode::Exact) {
  static std::ostringstream sink;
  CaptureStdout quiet;
  std::stringstream priorText(prior);
  auto model = std::make_unique<ordinal>(file, priorText, sink, 1.0);
  model->scoring = mode;
  return model;
}

TEST(Ordinal, ScoresByHand) {
  TempDir dir;
  const std::vector<int> all = {0, 0, 0}, rowOne = {1, 0, 1}, rowTwo = {1, 1, 0};
  struct Case {
    const char* name;
    const char* rows;
    const char* prior;
    const std::vector<int>* z;
    double expected;
  } cases[] = {
      // Levels 0..2 (N = 2). All three, Beta(1, 1): successes 3, failures 3, coefficients
      // C(2,0) C(2,1) C(2,2) = 2: log 2 + log B(4, 4) - log B(1, 1) = log(2 / 140).
      {"all three", "0\n1\n2\n", "1 1", &all, std::log(2.0 / 140)},
      // The row of level 2 alone: B(3, 1) = 1/3.
      {"level 2 alone", "0\n1\n2\n", "1 1", &rowTwo, std::log(1.0 / 3)},
      // Levels 3..5 are levels 0..2 of that column.
      {"shifted levels", "3\n4\n5\n", "1 1", &all, std::log(2.0 / 140)},
      // Beta(1/2, 1/2), the row of level 1 alone: 2 B(3/2, 3/2) / B(1/2, 1/2) = 2 (pi/8) / pi.
      {"jeffreys", "0\n1\n2\n", "0.5 0.5", &rowOne, std::log(0.25)},
      // Two columns add; a column of one level adds nothing.
      {"two columns", "0 7\n1 7\n2 7\n", "1 1", &all, std::log(2.0 / 140)},
      {"a missing cell", "0 0\n1 NA\n2 2\n", "1 1", &all,
       // column 2 from its seen values 0 and 2 (N = 2): C(2,0) C(2,2) B(3, 3) = 1/30.
       std::log(2.0 / 140) + std::log(1.0 / 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.write("r.dat", c.rows);
    for (ScoringMode mode : {ScoringMode::Reference, ScoringMode::Exact}) {
      auto model = build(dir.file("r.dat"), c.prior, mode);
      EXPECT_NEAR(model->getClusterFit(c.z->data(), 0), c.expected, 1e-12);
    }
  }
}

// Statistics, column terms and the plain count give the same doubles.
TEST(Ordinal, StatisticsScoreAsThePlainCount) {
  TempDir dir;
  dir.write("r.dat", "1 5 0\n3 5 2\n10 1 NA\n4 4 1\n1 2 2\n7 3 0\n");
  auto model = build(dir.file("r.dat"));
  ASSERT_EQ(model->statsSize(), 3 * 20);
  const std::vector<int> z = {0, 1, 0, 1, 1, 0};
  for (int j = 0; j < 2; j++) {
    std::vector<int> stats(model->statsSize(), 0);
    int members = 0;
    for (int i = 0; i < model->n; i++)
      if (z[i] == j) {
        model->addToStats(i, stats.data(), +1);
        members++;
      }
    const double plain = model->getClusterFit(z.data(), j);
    const double fromStats = model->scoreStats(stats.data(), members);
    EXPECT_EQ(std::memcmp(&plain, &fromStats, sizeof plain), 0);
    std::vector<double> terms(model->T);
    model->columnTerms(stats.data(), members, terms.data());
    EXPECT_NEAR(terms[0] + terms[1] + terms[2], plain, 1e-12);
  }
  EXPECT_EQ(build(dir.file("r.dat"), "1 1", ScoringMode::Reference)->statsSize(), 0);
}

TEST(Ordinal, DistanceIsTheMeanDifferenceInUnitsOfEachRange) {
  TempDir dir;
  // Ranges 9 and 4; rows 1 and 2 differ by 9 and 2: (1 + 0.5) / 2.
  dir.write("r.dat", "1 0\n10 2\n5 4\n");
  auto model = build(dir.file("r.dat"));
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 1), 0.75);
  const int second[] = {1};
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 1, 1, second), 0.5);
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(2, 2), 0.0);
}

TEST(Ordinal, RefusesWhatItCannotRead) {
  expectRefusals(
      {
          {"1 2\n3 20\n", "1 1", "row 2, column 2 holds 20, outside 0..19"},
          {"1 2\n3 -1\n", "1 1", "row 2, column 2 holds -1, outside 0..19"},
          {"1 2\n3 4\n", "1", "ordinal: prior is not two positive finite numbers: 1"},
          {"1 2\n3 4\n", "1 0", "ordinal: prior is not two positive finite numbers: 1 0"},
      },
      [](const std::string& file, const char* prior) { build(file, prior); });
}

}  // namespace
