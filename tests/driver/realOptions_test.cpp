// Whole-program tests of what came with the full-covariance model: a run of mvn under each
// criterion, the prior on alpha (-A: its log line and its .alpha file beside .draws), the
// scaling of real columns (-S) and the warning about columns of very different spreads.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

// Ten rows of three columns in two tilted groups; the third column is 1000 times wider.
const char* const kRows =
    "0.1 0.2 100\n0.5 0.6 -300\n1.0 1.1 250\n1.4 1.6 -50\n2.0 1.9 400\n"
    "5.0 3.1 -200\n5.4 3.6 150\n6.1 4.0 -350\n6.5 4.6 300\n7.0 5.1 0\n";

ExeResult run(const TempDir& dir, const std::string& line) {
  return runExe(fields(line), dir.path);
}

TEST(MvnProgram, RunsUnderTheIntegratedCriterionAndRefusesTheOthers) {
  TempDir dir;
  dir.write("r.dat", kRows);
  const ExeResult ok = run(dir, "-m mvn -f r.dat -k 0 -h UX2 -c integrated -i 20 -d 5 -q");
  ASSERT_EQ(ok.status, 1) << ok.out << ok.err;
  EXPECT_EQ(lines(dir.read("r_k0_UX2_p1_a0_i20.draws")).size(), 4u);
  EXPECT_NE(dir.read("r_k0_UX2_p1_a0_i20.log").find("\nHyperpriors (normal-inverse-Wishart)\n"),
            std::string::npos);
  for (const char* criterion : {"classi", "mixture"}) {
    SCOPED_TRACE(criterion);
    const ExeResult refused =
        run(dir, std::string("-m mvn -f r.dat -k 2 -h OA -i 5 -l no -c ") + criterion);
    EXPECT_EQ(refused.status, 255);
    const std::string operation = std::string(criterion) == "classi" ? "getClassificationLik"
                                                                     : "getMixtureLik";
    const std::string line = "mvn::" + operation + " not implmented\n";
    const std::string log =
        dir.read(std::string("r_k2_OA_p1_a0_i5_") + criterion + "no.failed.log");
    ASSERT_GE(log.size(), line.size());
    EXPECT_EQ(log.substr(log.size() - line.size()), line);
  }
}

TEST(AlphaPrior, DrawsAlphaAfterEveryIterationIntoItsOwnFile) {
  TempDir dir;
  dir.write("r.dat", kRows);
  const ExeResult result =
      run(dir, "-m mvn -f r.dat -k 0 -h OA -c integrated -i 30 -d 3 -q -A 2,0.5 -a 1");
  ASSERT_EQ(result.status, 1) << result.out << result.err;
  const std::string stem = "r_k0_OA_p1_a1_i30_A2,0.5";
  EXPECT_NE(dir.read(stem + ".log").find(
                "\nPrior on alpha (-A): Gamma with shape 2 and rate 0.5 (mean 4); alpha starts "
                "at 2.71828 (-a) and is drawn after every iteration\n"),
            std::string::npos);
  const std::vector<std::string> draws = lines(dir.read(stem + ".draws"));
  const std::vector<std::string> alphas = lines(dir.read(stem + ".alpha"));
  ASSERT_EQ(draws.size(), 10u);
  ASSERT_EQ(alphas.size(), 10u);
  double previous = 0;
  int changes = 0;
  for (size_t l = 0; l < alphas.size(); l++) {
    const std::vector<std::string> a = fields(alphas[l]);
    ASSERT_EQ(a.size(), 2u) << alphas[l];
    // The same kept iterations as the draws, alpha a positive number with 17 digits.
    EXPECT_EQ(a[0], fields(draws[l])[0]);
    const double alpha = std::stod(a[1]);
    EXPECT_GT(alpha, 0);
    changes += alpha != previous;
    previous = alpha;
  }
  EXPECT_EQ(changes, 10);
  // Without -d nothing is kept.
  ASSERT_EQ(run(dir, "-m mvn -f r.dat -k 0 -h OA -c integrated -i 5 -q -A 2,0.5").status, 1);
  EXPECT_FALSE(dir.exists("r_k0_OA_p1_a0_i5_A2,0.5.alpha"));
}

TEST(AlphaPrior, AnExistingAlphaFileBlocksTheRun) {
  TempDir dir;
  dir.write("r.dat", kRows);
  dir.write("r_k0_OA_p1_a0_i5_A1,1.alpha", "old\n");
  const ExeResult result = run(dir, "-m mvn -f r.dat -k 0 -h OA -c integrated -i 5 -d 1 -A 1,1");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(result.out,
            "\nfileStem: r_k0_OA_p1_a0_i5_A1,1\nFile already exists: r_k0_OA_p1_a0_i5_A1,1.alpha\n");
  EXPECT_FALSE(dir.exists("r_k0_OA_p1_a0_i5_A1,1.log"));
  EXPECT_EQ(dir.read("r_k0_OA_p1_a0_i5_A1,1.alpha"), "old\n");
}

TEST(Scaling, StandardisesRealColumnsAndSaysSo) {
  TempDir dir;
  dir.write("r.dat", kRows);
  // The standardised data written out by hand scores like -S on the data as read.
  std::vector<std::vector<double>> rows;
  for (const std::string& line : lines(kRows)) {
    std::vector<double> row;
    for (const std::string& w : fields(line)) row.push_back(std::stod(w));
    rows.push_back(row);
  }
  std::ostringstream scaled;
  scaled.precision(17);
  for (size_t t = 0; t < 3; t++) {
    double mean = 0, squares = 0;
    for (const auto& row : rows) mean += row[t] / rows.size();
    for (const auto& row : rows) squares += (row[t] - mean) * (row[t] - mean);
    for (auto& row : rows) row[t] = (row[t] - mean) / std::sqrt(squares / (rows.size() - 1));
  }
  for (const auto& row : rows) scaled << row[0] << ' ' << row[1] << ' ' << row[2] << '\n';
  dir.write("s.dat", scaled.str());
  for (const char* model : {"mclust2", "kmeans2", "mvn"}) {
    SCOPED_TRACE(model);
    const std::string options = std::string("-m ") + model + " -k 2 -h OA -c integrated -i 10 -q";
    const ExeResult byOption = run(dir, options + " -f r.dat -S -l " + model);
    const ExeResult byHand = run(dir, options + " -f s.dat -l " + model);
    ASSERT_EQ(byOption.status, 1) << byOption.out;
    ASSERT_EQ(byHand.status, 1) << byHand.out;
    const std::string prior = std::string(model) == "kmeans2" ? "" : "1";
    const std::string stem = "_k2_OA_p" + prior + "_a0_i10";
    const std::string optionLog = dir.read("r" + stem + "_S_" + model + ".log");
    EXPECT_NE(optionLog.find("\nColumns standardised (-S): each centred at its mean and divided "
                             "by its standard deviation (a constant column only centred)\n"),
              std::string::npos);
    const std::vector<std::string> a = lines(dir.read("r" + stem + "_S_" + model + ".save"));
    const std::vector<std::string> b = lines(dir.read("s" + stem + "_" + model + ".save"));
    ASSERT_EQ(a.size(), b.size());
    // Scores agree to the trace's ten digits but for the last rounding of the scaled text.
    for (size_t l = 0; l < a.size(); l++) {
      const std::vector<std::string> x = fields(a[l]), y = fields(b[l]);
      ASSERT_EQ(x.size(), y.size());
      EXPECT_NEAR(std::stod(x[0]), std::stod(y[0]), 1e-6 * (1 + std::fabs(std::stod(y[0]))));
    }
    // The scaled run warns of nothing.
    EXPECT_EQ(byOption.err.find("warning"), std::string::npos) << byOption.err;
  }
  const ExeResult binary = run(dir, "-m HDBern -f r.dat -k 2 -h OA -c integrated -i 2 -S");
  EXPECT_EQ(binary.status, 255);
}

TEST(Scaling, WarnsOfColumnsOfVeryDifferentSpreadsWithoutChangingAFile) {
  const struct {
    const char* model;
    const char* rows;
    bool warns;
  } cases[] = {
      {"kmeans2", kRows, true},
      {"mclust2", kRows, true},
      // mvn scales its prior per column
      {"mvn", kRows, false},
      // spreads 1 and about 50: within the factor
      {"mclust2", "0 0\n1 50\n2 100\n3 20\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.rows);
    TempDir dir;
    dir.write("r.dat", c.rows);
    const ExeResult result =
        run(dir, std::string("-m ") + c.model + " -f r.dat -k 2 -h OA -c integrated -i 3");
    ASSERT_EQ(result.status, 1) << result.out;
    EXPECT_EQ(result.err.find("warning: the columns' standard deviations differ by a factor of ") !=
                  std::string::npos,
              c.warns)
        << result.err;
    if (c.warns) {
      EXPECT_NE(result.err.find("a factor of 148.07 (column 3: 256.255, column 2: 1.73064); the "
                                "widest columns decide the clusters: -S standardises them\n"),
                std::string::npos)
          << result.err;
    }
  }
}

}  // namespace
