// Missing cells (NA) in the matrix models: the reader's NA, a cell integrated out of the
// categorical models exactly, the real models scoring each column from its seen values, the
// same scores from every scoring path, and distances over the columns two rows share.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "io/MatrixReader.h"
#include "io/RunError.h"
#include "models/HDBern.h"
#include "models/PriorStrings.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "models/mvn.h"
#include "stats/MathPlus.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

template <class Model>
std::unique_ptr<Model> build(const std::string& file, const std::string& prior,
                             std::ostream& log) {
  std::stringstream priorStream(prior);
  CaptureStdout quiet;
  return std::make_unique<Model>(file, priorStream, log, 1.0);
}

std::unique_ptr<kmeans2> buildKmeans(const std::string& file, std::ostream& log) {
  CaptureStdout quiet;
  return std::make_unique<kmeans2>(file, log, 1.0);
}

TEST(MissingCells, TheReaderTakesNaOnlyWhenAskedAndCountsIt) {
  TempDir dir;
  const std::string file = dir.write("m.txt", "1 NA 3\nNA NA 0\n");
  std::ostringstream log;
  CaptureStdout quiet;
  int rows = 0, columns = 0;
  Matrix<int> ints;
  long missing = -1;
  MatrixReader::readData<int>(file, rows, columns, ints, log, &missing);
  EXPECT_EQ(missing, 3);
  EXPECT_EQ(ints[0][0], 1);
  EXPECT_TRUE(isMissing(ints[0][1]));
  EXPECT_TRUE(isMissing(ints[1][0]));
  EXPECT_EQ(ints[1][2], 0);
  Matrix<double> reals;
  MatrixReader::readData<double>(file, rows, columns, reals, log, &missing);
  EXPECT_EQ(missing, 3);
  EXPECT_TRUE(std::isnan(reals[1][1]));
  EXPECT_EQ(reals[0][2], 3.0);
  // Only the literal NA: other spellings are words like any other.
  for (const char* text : {"1 na\n", "1 N/A\n", "1 NaN\n", "1 NA1\n"}) {
    const std::string other = dir.write("o.txt", text);
    EXPECT_THROW(MatrixReader::readData<double>(other, rows, columns, reals, log, &missing),
                 RunError)
        << text;
  }
  std::ostringstream refusedLog;
  const std::string refusal =
      "Bad matrix file " + file + ", line 1: NA, a missing cell, which this model does not accept";
  modeltest::expectRunError(
      [&] { MatrixReader::readData<int>(file, rows, columns, ints, refusedLog); }, refusal);
  // The full-covariance model cannot leave a cell out of its column alone.
  modeltest::expectRunError([&] { build<mvn>(file, "1", refusedLog); }, refusal);
}

// A column-independent model with a prior that does not depend on the data integrates a cell
// out exactly: the sum over the cell's values of exp(score) is exp(score with the cell NA).
template <class Model>
void expectCellIntegratedOut(const std::string& prior, int levels) {
  TempDir dir;
  // Row 1, column 2 is the cell; a second NA (row 3, column 0) is missing throughout.
  const std::vector<std::string> rows = {"0 1 1", "1 1 X", "0 0 1", "NA 1 0"};
  auto text = [&](const std::string& cell) {
    std::string out;
    for (const std::string& row : rows) {
      std::string r = row;
      const auto at = r.find('X');
      if (at != std::string::npos) r.replace(at, 1, cell);
      out += r + "\n";
    }
    return out;
  };
  std::ostringstream log;
  auto missing = build<Model>(dir.write("na.txt", text("NA")), prior, log);
  const std::vector<std::vector<int>> partitions = {{0, 0, 0, 0}, {0, 0, 1, 0}, {1, 0, 1, 1}};
  for (const auto& z : partitions) {
    const int j = z[1];  // the cluster holding the cell
    std::vector<double> filled;
    for (int v = 0; v < levels; v++) {
      std::ostringstream valueLog;
      filled.push_back(build<Model>(dir.write("v.txt", text(std::to_string(v))), prior, valueLog)
                           ->getClusterFit(z.data(), j));
    }
    const double marginal = MathPlus::logSumExp(filled.data(), levels);
    EXPECT_NEAR(missing->getClusterFit(z.data(), j), marginal, 1e-10) << prior << " " << z[2];
    // The other cluster does not hold the cell: the same score whatever its value.
    if (z[2] != j) {
      std::ostringstream valueLog;
      EXPECT_DOUBLE_EQ(missing->getClusterFit(z.data(), z[2]),
                       build<Model>(dir.write("v.txt", text("0")), prior, valueLog)
                           ->getClusterFit(z.data(), z[2]));
    }
  }
  EXPECT_NE(log.str().find("Missing cells (NA): 2 of 12, each left out of its column's "
                           "statistics\n"),
            std::string::npos)
      << log.str();
}

TEST(MissingCells, CategoricalCellsAreIntegratedOutExactly) {
  expectCellIntegratedOut<HDBern>(HDBernFlatPriorString, 2);
  expectCellIntegratedOut<HDBern>(HDBernPoint05PriorString, 2);
  expectCellIntegratedOut<HDGBern>("1 20\n1\n0.3 0.3 0.3 0.3 0.3 0.3 0.3 0.3 0.3 0.3 0.3 0.3 0.3 "
                                   "0.3 0.3 0.3 0.3 0.3 0.3 0.3 ",
                                   20);
}

TEST(MissingCells, CategoricalCriteriaUseEachColumnsSeenCount) {
  TempDir dir;
  std::ostringstream log;
  // Column 0 of the cluster {0, 1, 2}: 0, 0, NA; column 1: 1, 0, 1.
  auto model = build<HDBern>(dir.write("m.txt", "0 1\n0 0\nNA 1\n1 1\n"), HDBernFlatPriorString,
                             log);
  const int z[4] = {0, 0, 0, 1};
  // Column 0: counts (2, 0) of 2 seen -> 2 log 1 = 0; column 1: (1, 2) -> log 1/3 + 2 log 2/3.
  EXPECT_NEAR(model->getClassificationLik(z, 0), std::log(1.0 / 3) + 2 * std::log(2.0 / 3),
              1e-12);
  // Integrated: column 0 (2, 0) -> 2! 0! / 3! = 1/3; column 1 (1, 2) -> 1! 2! / 4! = 1/12.
  EXPECT_NEAR(model->getClusterFit(z, 0), std::log(1.0 / 3) + std::log(1.0 / 12), 1e-12);
  // Mixture, k = 2: cluster 0 has shares (1, 0) and (1/3, 2/3), cluster 1 (row 3) (0, 1) and
  // (0, 1); weights 3/4 and 1/4. Row 2 (NA, 1): 3/4 * 2/3 + 1/4 * 1 = 3/4.
  // Row 0 (0, 1): 3/4 * 1 * 2/3 = 1/2; row 1 (0, 0): 3/4 * 1 * 1/3 = 1/4; row 3 (1, 1): 1/4.
  EXPECT_NEAR(model->getMixtureLik(z, 2),
              std::log(0.5) + std::log(0.25) + std::log(0.75) + std::log(0.25), 1e-12);
}

TEST(MissingCells, RealModelsScoreEachColumnFromItsSeenValues) {
  TempDir dir;
  // A row missing everywhere leaves a one-column model as if it were not there.
  std::ostringstream log;
  auto withRow = build<mclust2>(dir.write("a.txt", "0\nNA\n1\n2\n"), "1", log);
  EXPECT_EQ(withRow->shared().mu0, std::vector<double>{1.0});
  EXPECT_DOUBLE_EQ(withRow->shared().beta, 0.5);
  const int all[4] = {0, 0, 0, 0};
  EXPECT_NEAR(withRow->getClusterFit(all, 0), -7.052557, 1e-6);  // the three seen values

  // Two columns, the second seen twice in the cluster {0, 1, 2}: mu0 (1, 11), alpha 2, beta
  // (1 + 2) / 4. Column 0: m 3, spread 2 about mu0 -> -6.943417; column 1: m 2, spread 2 about
  // mu0 -> -6.050594. Cluster {1, 2}: column 0 holds 1, 2; column 1 holds 12: -7.189898.
  auto model = build<mclust2>(dir.write("b.txt", "0 10\n1 NA\n2 12\n"), "1", log);
  EXPECT_EQ(model->shared().mu0, (std::vector<double>{1.0, 11.0}));
  EXPECT_DOUBLE_EQ(model->shared().beta, 0.75);
  const int z0[3] = {0, 0, 0};
  const int z1[3] = {0, 1, 1};
  EXPECT_NEAR(model->getClusterFit(z0, 0), -12.994010, 1e-6);
  EXPECT_NEAR(model->getClusterFit(z1, 1), -7.189898, 1e-6);

  // kmeans2: column 0 of {0, 1, 2} holds 0, 2 (NA) -> 2; column 1 holds 0, 3, 6 -> 18.
  auto kmeans = buildKmeans(dir.write("k.txt", "0 0\n2 3\nNA 6\n"), log);
  EXPECT_DOUBLE_EQ(kmeans->getClusterFit(z0, 0), -20.0);
}

// Every scoring path gives the score of the reference from scratch, the fast mode's running
// sums to about 1e-12 relative, with cells missing.
TEST(MissingCells, EveryScoringPathAgrees) {
  TempDir dir;
  const std::string real = dir.write("r.txt",
                                     "0.1 NA 2.0\n0.4 1.2 NA\nNA 1.0 2.4\n4.1 3.9 0.3\n"
                                     "3.7 NA 0.1\n4.4 4.0 NA\n");
  const std::string binary = dir.write("b.txt", "0 1 NA\n1 1 0\nNA 0 0\n1 0 1\n0 NA 1\n1 1 1\n");
  std::ostringstream log;
  std::vector<std::unique_ptr<Observable>> models;
  models.push_back(build<mclust2>(real, "1", log));
  models.push_back(buildKmeans(real, log));
  models.push_back(build<HDBern>(binary, HDBernPoint5PriorString, log));
  models.push_back(build<HDBern>(binary, HDBernLevelsPriorString, log));
  const int z[6] = {0, 0, 1, 1, 0, 1};
  for (size_t m = 0; m < models.size(); m++) {
    Observable& model = *models[m];
    for (int j = 0; j < 2; j++) {
      model.scoring = ScoringMode::Reference;
      const double reference = model.getClusterFit(z, j);
      ASSERT_TRUE(std::isfinite(reference)) << m;
      model.scoring = ScoringMode::Exact;
      EXPECT_EQ(model.getClusterFit(z, j), reference) << m << " " << j;
      const int stats = model.statsSize();
      if (stats > 0) {
        std::vector<int> counts(stats, 0);
        int members = 0;
        for (int i = 0; i < 6; i++)
          if (z[i] == j) model.addToStats(i, counts.data(), +1), members++;
        EXPECT_EQ(model.scoreStats(counts.data(), members), reference) << m;
      }
      model.scoring = ScoringMode::Fast;
      EXPECT_NEAR(model.getClusterFit(z, j), reference, 1e-12 * std::fabs(reference)) << m;
      // Adding and taking away a row returns the running sums to the cluster's own.
      const int moments = model.momentsSize();
      if (moments > 0) {
        std::vector<double> sums(moments, 0.0);
        int members = 0;
        for (int i = 0; i < 6; i++)
          if (z[i] == j) model.addToMoments(i, sums.data(), +1), members++;
        model.addToMoments(j == 0 ? 2 : 0, sums.data(), +1);
        model.addToMoments(j == 0 ? 2 : 0, sums.data(), -1);
        EXPECT_NEAR(model.scoreMoments(sums.data(), members), reference,
                    1e-12 * std::fabs(reference))
            << m;
      }
    }
  }
}

TEST(MissingCells, DistancesUseTheColumnsBothRowsShow) {
  TempDir dir;
  std::ostringstream log;
  auto binary = build<HDBern>(dir.write("b.txt", "0 NA 1 1\n1 0 1 NA\nNA NA NA NA\n1 0 1 1\n"),
                              HDBernFlatPriorString, log);
  EXPECT_DOUBLE_EQ(binary->pairwiseDistance(0, 1), 0.5);  // columns 0 and 2: one differs
  EXPECT_DOUBLE_EQ(binary->pairwiseDistance(0, 2), 1.0);  // nothing shared
  const int positions[2] = {1, 3};
  EXPECT_DOUBLE_EQ(binary->pairwiseDistance(1, 3, 2, positions), 0.0);  // column 1 only
  auto real = buildKmeans(dir.write("r.txt", "0 NA 0\n3 5 4\nNA NA 1\n"), log);
  // Columns 0 and 2: 9 + 16 over 2 of 3 columns -> sqrt(25 * 3 / 2).
  EXPECT_DOUBLE_EQ(real->pairwiseDistance(0, 1), std::sqrt(25.0 * 3 / 2));
  // Row 2 shares column 2 with row 0: 1 over 1 of 3 columns.
  EXPECT_DOUBLE_EQ(real->pairwiseDistance(0, 2), std::sqrt(3.0));
}

}  // namespace
