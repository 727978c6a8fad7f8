// runSummary as a front end calls it: output bytes on tiny draws worked by hand, the posterior
// of draws sampled from an exactly known distribution, and bad input and usage.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "summary/loss.h"
#include "summary/summary.h"
#include "support/TempDir.h"
#include "support/run_exe.h"
#include "tests/summary/fixtures.h"

namespace {

ExeResult summarise(const TempDir& dir, const std::vector<std::string>& args) {
  return runInChild(dir.path, [&] { return runSummary(args, std::cout, std::cerr); });
}

std::map<std::string, std::string> snapshot(const TempDir& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path))
    files[entry.path().filename().string()] =
        entry.is_directory() ? "(folder)" : dir.read(entry.path().filename().string());
  return files;
}

// Three items. Chain 1 keeps its last 2 of 4 lines, chain 2 its last of 2 (burn-in 0.5):
// d1 = {0,1}{2}, d2 = {0}{1,2}, d3 = {0}{1}{2}.
const char* const kChain1 = "10 -5.5 1 0 0 0\n20 -4.25 2 0 0 1\n30 -3 2 0 0 1\n40 -3.5 2 0 1 1\n";
const char* const kChain2 = "10 -6 3 0 1 2\n20 -3 3 0 1 2\n";

TEST(SummaryRun, FilesOfTinyDrawsWorkedByHand) {
  TempDir dir;
  dir.write("a.draws", kChain1);
  dir.write("b.draws", kChain2);
  ExeResult run = summarise(dir, {"-o", "a", "a.draws", "b.draws"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // VI in bits between d1 and d2: sizes 2,1 | 1,2, cells all 1: (2 + 2 - 0) / 3 = 4/3; between
  // d3 and d1 or d2: (0 + 2 - 0) / 3 = 2/3. Expected VI of d1 and of d2: (4/3 + 2/3) / 3 = 2/3;
  // of d3: (2/3 + 2/3) / 3 = 4/9; of one cluster: VI to d1 or d2 (3 log2 3 + 2 - 4) / 3 =
  // 0.918, to d3 log2 3, mean 1.14; of {0,2}{1}: (4/3 + 4/3 + 2/3) / 3 = 10/9. So the estimate
  // is d3 itself, every item alone.
  EXPECT_EQ(dir.read("a.estimate"), "0 1 2 \n");
  // Together: 0 and 1 in d1 only, 1 and 2 in d2 only.
  EXPECT_EQ(dir.read("a.psm"), "1 0.333333 0\n0.333333 1 0.333333\n0 0.333333 1\n");
  // An item alone in the estimate: the probability that it is alone. Item 1 is alone in d2
  // and d3, item 2 in d3, item 3 in d1 and d3.
  const std::string expected =
      "quantity\tchain\titem\tvalue\n"
      "n\tall\t\t3\n"
      "chains\tall\t\t2\n"
      "draws\t1\t\t2\n"
      "draws\t2\t\t1\n"
      "loss\tall\t\tvi\n"
      "posterior_k\tall\t2\t0.6666666667\n"
      "posterior_k\tall\t3\t0.3333333333\n"
      "expected_loss\tall\testimate\t0.4444444444\n"
      "expected_loss\tall\tbest_draw\t0.4444444444\n"
      "cluster_size\tall\t0\t1\n"
      "cluster_size\tall\t1\t1\n"
      "cluster_size\tall\t2\t1\n"
      "mate_probability\tall\t1\t0.6666666667\n"
      "mate_probability\tall\t2\t0.3333333333\n"
      "mate_probability\tall\t3\t0.6666666667\n"
      "ess\t1\tscore\tNA\n"
      "ess\t1\tk\tNA\n"
      "ess\t2\tscore\tNA\n"
      "ess\t2\tk\tNA\n"
      "rhat\tall\tscore\tNA\n"
      "rhat\tall\tk\tNA\n"
      // Chain 1's own estimate is d1 or d2 (equal loss), chain 2's d3: no pair agrees.
      "ari\tall\t1-2\t0\n"
      // No start in the names; chain 1's best kept score -3 (k 2), chain 2's -3 (k 3): one
      // mode, led by chain 1, every chain in the estimate.
      "start\t1\t\tnone\n"
      "best_score\t1\t\t-3\n"
      "mode\t1\t\t1\n"
      "in_estimate\t1\t\t1\n"
      "start\t2\t\tnone\n"
      "best_score\t2\t\t-3\n"
      "mode\t2\t\t1\n"
      "in_estimate\t2\t\t1\n"
      "mode_score\tall\t1\t-3\n"
      "mode_k\tall\t1\t2\n"
      "mode_log_odds\tall\t1\t0\n"
      "warning\tall\t\tonly 2 draws kept in chain 1: too few for an effective sample size of "
      "the score\n"
      "warning\tall\t\tonly 2 draws kept in chain 1: too few for an effective sample size of k\n"
      "warning\tall\t\tonly 1 draw kept in chain 2: too few for an effective sample size of "
      "the score\n"
      "warning\tall\t\tonly 1 draw kept in chain 2: too few for an effective sample size of k\n"
      "warning\tall\t\tR-hat needs at least 4 draws kept in every chain; the shortest chain "
      "kept 1\n";
  EXPECT_EQ(dir.read("a.summary.tsv"), expected);
  EXPECT_TRUE(dir.exists("a.svg"));
  EXPECT_NE(run.out.find("expected loss 0.444444; best draw 0.444444 (chain 2, iteration 20)"),
            std::string::npos) << run.out;

  // Binder: share of the 3 pairs on which two partitions disagree. d3 against d1 or d2: 1/3;
  // expected loss of d3 (1/3 + 1/3 + 0) / 3 = 2/9, of d1 or d2 (0 + 2/3 + 1/3) / 3 = 1/3.
  run = summarise(dir, {"--loss", "binder", "-o", "bin", "a.draws", "b.draws"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(dir.read("bin.estimate"), "0 1 2 \n");
  const std::string tsv = dir.read("bin.summary.tsv");
  EXPECT_NE(tsv.find("loss\tall\t\tbinder\n"), std::string::npos);
  EXPECT_NE(tsv.find("expected_loss\tall\testimate\t0.2222222222\n"
                     "expected_loss\tall\tbest_draw\t0.2222222222\n"),
            std::string::npos) << tsv;
}

TEST(SummaryRun, AlphaFromTheFilesBesideTheDraws) {
  TempDir dir;
  dir.write("a.draws", kChain1);
  dir.write("b.draws", kChain2);
  // Kept: chain 1's iterations 30 and 40, chain 2's iteration 20 (burn-in 0.5); the lines of
  // earlier iterations are dropped with their draws.
  dir.write("a.alpha", "10 100\n20 50\n30 1\n40 3\n");
  dir.write("b.alpha", "10 100\n20 2\n");
  ExeResult run = summarise(dir, {"-o", "s", "a.draws", "b.draws"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Mean (1 + 2 + 3) / 3 = 2; sorted 1 2 3, quantile positions 0.05 and 1.95: 1.05 and 2.95.
  EXPECT_NE(dir.read("s.summary.tsv")
                .find("alpha\tall\tmean\t2\nalpha\tall\tq2.5\t1.05\nalpha\tall\tq97.5\t2.95\n"),
            std::string::npos)
      << dir.read("s.summary.tsv");
  EXPECT_NE(run.out.find("\nConcentration alpha (3 draws from the .alpha files of 2 chains): "
                         "posterior mean 2, 95% interval 1.05 to 2.95\n"),
            std::string::npos)
      << run.out;
  // Without an alpha file, no alpha figure.
  dir.write("c.draws", kChain2);
  run = summarise(dir, {"-o", "u", "c.draws"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(dir.read("u.summary.tsv").find("alpha"), std::string::npos);
  EXPECT_EQ(run.out.find("Concentration alpha"), std::string::npos);
  // A malformed line is named with its file and line.
  dir.write("b.alpha", "10 100\n20 -2\n");
  run = summarise(dir, {"-o", "v", "a.draws", "b.draws"});
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.err, "b.alpha, line 2: alpha is not a positive number: -2\n");
}

// Column selection: chain 1 has 4 draws lines, chain 2 has 2, so the chains' .columns weigh 4
// and 2. Column 1: (4 x 0.9 + 2 x 0.6) / 6 = 0.8; column 2: (4 x 0.25 + 2 x 1) / 6 = 0.5;
// column 3: (4 x 0.1 + 2 x 0.4) / 6 = 0.2. P from .pdraws after the burn-in, as alpha's.
TEST(SummaryRun, ColumnsAndPFromTheFilesBesideTheDraws) {
  TempDir dir;
  dir.write("a.draws", kChain1);
  dir.write("b.draws", kChain2);
  dir.write("a.columns", "1 0.9\n2 0.25\n3 0.1\n");
  dir.write("b.columns", "1 0.6\n2 1\n3 0.4\n");
  dir.write("a.pdraws", "10 0.5\n20 0.5\n30 0.2\n40 0.4\n");
  dir.write("b.pdraws", "10 0.9\n20 0.3\n");
  ExeResult run = summarise(dir, {"-o", "s", "a.draws", "b.draws"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string tsv = dir.read("s.summary.tsv");
  // P kept: 0.2, 0.4 and 0.3: mean 0.3; quantiles at 0.05 and 1.95 of 0.2 0.3 0.4.
  EXPECT_NE(tsv.find("column_probability\tall\t1\t0.8\ncolumn_probability\tall\t2\t0.5\n"
                     "column_probability\tall\t3\t0.2\nP\tall\tmean\t0.3\nP\tall\tq2.5\t0.205\n"
                     "P\tall\tq97.5\t0.395\n"),
            std::string::npos)
      << tsv;
  // Selected: probability 0.5 or more, the most probable first.
  EXPECT_NE(run.out.find("\nColumn selection (the .columns files of 2 chains): 2 of 3 columns "
                         "clustered with probability at least 0.5:\n  column 1  0.8000\n"
                         "  column 2  0.5000\nPrior probability P of a clustered column (3 draws "
                         "from the .pdraws files of 2 chains): posterior mean 0.3, 95% interval "
                         "0.205 to 0.395\n"),
            std::string::npos)
      << run.out;
  // The same probabilities for a caller with the file names only.
  const auto direct = summary::columnProbabilities({dir.file("a.draws"), dir.file("b.draws")});
  ASSERT_EQ(direct.size(), 3u);
  const double expected[3] = {0.8, 0.5, 0.2};
  for (int t = 0; t < 3; t++) {
    EXPECT_EQ(direct[t].column, t + 1);
    EXPECT_NEAR(direct[t].probability, expected[t], 1e-15);
  }
  // An empty columns file (a run without draws) counts for nothing.
  dir.write("b.columns", "");
  ASSERT_EQ(summarise(dir, {"-o", "e", "a.draws", "b.draws"}).status, 0);
  EXPECT_NE(dir.read("e.summary.tsv").find("column_probability\tall\t1\t0.9\n"),
            std::string::npos);
  // Without the files, no column figure.
  dir.write("c.draws", kChain2);
  run = summarise(dir, {"-o", "u", "c.draws"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(dir.read("u.summary.tsv").find("column_probability"), std::string::npos);
  EXPECT_EQ(run.out.find("Column selection"), std::string::npos);
  EXPECT_TRUE(summary::columnProbabilities({dir.file("c.draws")}).empty());
  // Malformed files are named with their line.
  struct Bad {
    const char* columns;
    const char* pdraws;
    const char* err;
  } bad[] = {
      {"1 0.6\n2 1.5\n3 0.4\n", "10 0.9\n", "b.columns, line 2: not COLUMN PROBABILITY: \"2 1.5\"\n"},
      {"1 0.6\n3 1\n", "10 0.9\n", "b.columns, line 2: column 3 out of order\n"},
      {"1 0.6\n2 1\n", "10 0.9\n", "b.columns has 2 columns, the first 3\n"},
      {"1 0.6\n2 1\n3 0\n", "10 0.9\n20 x\n", "b.pdraws, line 2: P is not a positive number: x\n"},
  };
  for (const Bad& b : bad) {
    dir.write("b.columns", b.columns);
    dir.write("b.pdraws", b.pdraws);
    run = summarise(dir, {"-o", "v", "a.draws", "b.draws"});
    EXPECT_EQ(run.status, 255);
    EXPECT_EQ(run.err, b.err);
  }
}

TEST(SummaryRun, LabelsInAnyOrderAndBurnInZero) {
  // The same three draws written with other label names give the same files.
  TempDir dir;
  dir.write("a.draws", "1 -1 2 0 0 1\n2 -1 2 0 1 1\n3 -2 3 0 1 2\n");
  dir.write("b.draws", "1 -1 2 1 1 0\n2 -1 2 2 0 0\n3 -2 3 2 0 1\n");
  ASSERT_EQ(summarise(dir, {"--burn", "0", "a.draws"}).status, 0);
  ASSERT_EQ(summarise(dir, {"--burn", "0", "b.draws"}).status, 0);
  EXPECT_EQ(dir.read("a.estimate"), dir.read("b.estimate"));
  EXPECT_EQ(dir.read("a.psm"), dir.read("b.psm"));
  EXPECT_EQ(dir.read("a.summary.tsv"), dir.read("b.summary.tsv"));
  EXPECT_NE(dir.read("a.summary.tsv").find("draws\t1\t\t3\n"), std::string::npos);
}

TEST(SummaryRun, OutputsOfAnEarlierSummaryAreReplacedWholly) {
  TempDir dir;
  dir.write("a.draws", kChain1);
  dir.write("a.estimate", "old\n");
  dir.write("a.psm", std::string(100000, 'x'));
  const ExeResult run = summarise(dir, {"a.draws"});
  ASSERT_EQ(run.status, 0);
  // Said on standard error, naming the files that were there.
  EXPECT_EQ(run.err, "vornak-summary: replaced the files of an earlier summary: a.estimate a.psm\n");
  EXPECT_NE(dir.read("a.estimate"), "old\n");
  EXPECT_EQ(dir.read("a.psm").find('x'), std::string::npos);
  for (const auto& file : snapshot(dir))
    EXPECT_EQ(file.first.find(".tmp"), std::string::npos) << file.first;
}

// Mean probability that an item shares a cluster with its estimate mates, from the exact
// similarity matrix; for an item alone, the exact probability that it is alone.
std::vector<double> exactMates(const summary_test::Exact& exact, const std::vector<int>& estimate) {
  const int n = static_cast<int>(estimate.size());
  std::vector<double> out(n, 0.0);
  for (size_t p = 0; p < exact.partitions.size(); p++) {
    const auto& z = exact.partitions[p];
    for (int i = 0; i < n; i++) {
      int mates = 0, together = 0, withAny = 0;
      for (int j = 0; j < n; j++) {
        if (j == i) continue;
        withAny += z[j] == z[i];
        if (estimate[j] == estimate[i]) {
          mates++;
          together += z[j] == z[i];
        }
      }
      out[i] += exact.probability[p] * (mates ? double(together) / mates : withAny == 0);
    }
  }
  return out;
}

TEST(SummaryRun, PosteriorOfDrawsFromAKnownDistribution) {
  // Two chains of 20,000 independent draws from the exact posterior over the 52 partitions
  // of 5 items: the posterior on k and the similarity matrix must agree within 4.5 standard
  // errors, R-hat must be near 1 and each chain's effective sample size near its length.
  const auto exact = summary_test::exactPosterior({0, 0.3, 0.5, 1.4, 1.6});
  const int n = 5;
  const size_t perChain = 20000;
  TempDir dir;
  summary_test::writeDraws(dir.file("a.draws"), exact, summary_test::sampleIndices(exact, perChain, 21));
  summary_test::writeDraws(dir.file("b.draws"), exact, summary_test::sampleIndices(exact, perChain, 22));
  ExeResult run = summarise(dir, {"--burn", "0", "-o", "s", "a.draws", "b.draws"});
  ASSERT_EQ(run.status, 0) << run.err;
  const double draws = 2.0 * perChain;
  auto within = [&](double observed, double p, const std::string& what) {
    double se = std::sqrt(p * (1 - p) / draws);
    EXPECT_NEAR(observed, p, 4.5 * se + 1e-9) << what;
  };

  std::map<std::string, double> rows;  // "quantity chain item" -> value
  std::istringstream tsv(dir.read("s.summary.tsv"));
  std::string line;
  std::getline(tsv, line);
  while (std::getline(tsv, line)) {
    std::vector<std::string> field;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) field.push_back(cell);
    ASSERT_EQ(field.size(), 4u) << line;
    ASSERT_NE(field[0], "warning") << line;
    if (field[0] != "loss" && field[0] != "start") rows[field[0] + " " + field[1] + " " + field[2]] = std::stod(field[3]);
  }

  std::map<int, double> k;
  std::vector<double> psm(n * n, 0.0);
  for (size_t p = 0; p < exact.partitions.size(); p++) {
    const auto& z = exact.partitions[p];
    k[blockCount(z)] += exact.probability[p];
    for (int i = 0; i < n; i++)
      for (int j = 0; j < n; j++) psm[i * n + j] += exact.probability[p] * (z[i] == z[j]);
  }
  for (const auto& kp : k) within(rows.at("posterior_k all " + std::to_string(kp.first)), kp.second, "k");

  std::istringstream matrix(dir.read("s.psm"));
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      double value;
      ASSERT_TRUE(matrix >> value);
      within(value, psm[i * n + j], "p " + std::to_string(i) + " " + std::to_string(j));
    }

  std::vector<int> estimate;
  std::istringstream labels(dir.read("s.estimate"));
  for (int label; labels >> label;) estimate.push_back(label);
  ASSERT_EQ(estimate.size(), static_cast<size_t>(n));
  const std::vector<double> mates = exactMates(exact, estimate);
  for (int i = 0; i < n; i++)
    EXPECT_NEAR(rows.at("mate_probability all " + std::to_string(i + 1)), mates[i], 0.02);

  EXPECT_LE(rows.at("expected_loss all estimate"), rows.at("expected_loss all best_draw"));
  for (const char* trace : {"score", "k"}) {
    EXPECT_LT(rows.at(std::string("rhat all ") + trace), 1.01);
    for (const char* chain : {"1", "2"}) {
      double ess = rows.at(std::string("ess ") + chain + " " + trace);
      EXPECT_GT(ess, 0.85 * perChain) << trace;
      EXPECT_LT(ess, 1.15 * perChain) << trace;
    }
  }
  EXPECT_NEAR(rows.at("ari all 1-2"), 1, 1e-12);
  EXPECT_NE(run.out.find("No warnings."), std::string::npos) << run.out;
}

TEST(SummaryRun, LargeNSkipsTheSimilarityMatrix) {
  const int n = 5001;
  TempDir dir;
  std::string text;
  for (int d = 0; d < 3; d++) {
    std::vector<int> z(n);
    for (int i = 0; i < n; i++) z[i] = (i + d) % 7 < 3 ? 0 : 1;
    text += summary_test::drawsLine(d, -1.0 * d, summary::firstAppearance(z.data(), n));
  }
  dir.write("big.draws", text);
  ExeResult run = summarise(dir, {"--burn", "0", "big.draws"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(dir.exists("big.psm"));
  EXPECT_NE(run.out.find("n = 5001 is above 5000: no similarity matrix file (big.psm)"),
            std::string::npos) << run.out;
  EXPECT_TRUE(dir.exists("big.svg"));
  EXPECT_EQ(dir.read("big.estimate").size(), 2u * n + 1);
}

struct BadCase {
  const char* what;
  std::map<std::string, std::string> files;
  std::vector<std::string> args;
  std::string line;  // the one line on standard error
};

TEST(SummaryRun, DefaultPrefixNamesEveryChain) {
  const struct {
    std::vector<std::string> files;
    const char* prefix;
  } cases[] = {
      {{"v_k0_OA_p_a0_B4_s1.draws"}, "v_k0_OA_p_a0_B4_s1"},
      {{"v_k0_OA_p_a0_B4_s1.draws", "v_k0_OA_p_a0_B4_s2.draws"}, "v_k0_OA_p_a0_B4_2chains"},
      {{"v_k0_OA_p_a0_B4_s1.draws", "v_k0_OA_p_a0_B4_s12.draws", "v_k0_OA_p_a0_B4_s3.draws"},
       "v_k0_OA_p_a0_B4_3chains"},
      {{"sub/x_s1.draws", "sub/x_s2.draws"}, "sub/x_2chains"},
      {{"sub/a.draws", "sub/b.draws"}, "sub/2chains"},
      {{"a.draws", "b.draws"}, "2chains"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    for (const auto& file : c.files) dir.write(file, kChain1);
    ASSERT_EQ(summarise(dir, c.files).status, 0) << c.prefix;
    for (const char* suffix : {".estimate", ".summary.tsv", ".psm", ".svg"})
      EXPECT_TRUE(dir.exists(c.prefix + std::string(suffix))) << c.prefix << suffix;
    // Several chains are not named after the first.
    const std::string first = c.files[0].substr(0, c.files[0].size() - 6);
    if (c.files.size() > 1) {
      EXPECT_FALSE(dir.exists(first + ".estimate")) << c.prefix;
    }
  }
}

TEST(SummaryRun, ReportNumbersItemsAndClustersFromOne) {
  TempDir dir;
  dir.write("a.draws", kChain1);
  dir.write("b.draws", kChain2);
  const ExeResult run = summarise(dir, {"a.draws", "b.draws"});
  ASSERT_EQ(run.status, 0);
  // The estimate puts every item alone (see the worked test above): item i is in cluster i.
  for (const char* line : {"    item 1 (cluster 1): ", "    item 3 (cluster 3): "})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  EXPECT_EQ(run.out.find("(cluster 0)"), std::string::npos) << run.out;
}

TEST(SummaryRun, HeatMapCaptionSaysWhatACellIs) {
  const struct {
    int n;
    const char* caption;
  } cases[] = {{3, "3 x 3 cells; one cell per pair of items"},
               {450, "300 x 300 cells; each the mean over a block of about 1.5 x 1.5 items"}};
  for (const auto& c : cases) {
    TempDir dir;
    std::string draws;
    for (int line = 1; line <= 2; line++) {
      draws += std::to_string(line) + " -1 2";
      for (int i = 0; i < c.n; i++) draws += i < c.n / 2 ? " 0" : " 1";
      draws += "\n";
    }
    dir.write("a.draws", draws);
    ASSERT_EQ(summarise(dir, {"a.draws"}).status, 0);
    const std::string svg = dir.read("a.svg");
    EXPECT_NE(svg.find(c.caption), std::string::npos) << c.n;
    if (c.n < 300) {
      EXPECT_EQ(svg.find("block"), std::string::npos);
    }
  }
}

TEST(SummaryRun, DevicesAndFifosAreRefusedUnread) {
  // /dev/zero has no line end: read, it never ends. A time limit guards the test.
  TempDir dir;
  const ExeResult run = runInChild(dir.path, [] {
    alarm(30);
    return runSummary({"/dev/zero"}, std::cout, std::cerr);
  });
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.err, "Cannot read draws file: /dev/zero: it is a device, not a regular file\n");
  ASSERT_EQ(mkfifo(dir.file("f.draws").c_str(), 0600), 0);
  const ExeResult fifo = runInChild(dir.path, [] {
    alarm(30);
    return runSummary({"f.draws"}, std::cout, std::cerr);
  });
  EXPECT_EQ(fifo.status, 255);
  EXPECT_EQ(fifo.err, "Cannot read draws file: f.draws: it is a FIFO, not a regular file\n");
}

TEST(SummaryRun, BadInputStopsWithOneLineAndTouchesNoFile) {
  const std::string good = "1 -1.5 2 0 1 0\n2 -1.25 1 0 0 0\n";
  const std::vector<BadCase> cases = {
      {"missing file", {}, {"nope.draws"}, "Cannot read draws file: nope.draws"},
      {"folder", {{"d.draws/x", ""}}, {"d.draws"},
       "Cannot read draws file: d.draws: it is a folder, not a regular file"},
      {"empty file", {{"e.draws", ""}}, {"e.draws"}, "No draws in file: e.draws"},
      {"label not a number", {{"a.draws", "1 -1 2 0 1 0\n2 -1 2 0 x 1\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 2: label is not a whole number: x"},
      {"negative label", {{"a.draws", "1 -1 2 0 1 -1\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: label outside 0..2: -1"},
      {"label too large", {{"a.draws", "1 -1 2 0 1 3\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: label outside 0..2: 3"},
      {"score not finite", {{"a.draws", "1 nan 2 0 1 0\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: score is not a finite number: nan"},
      {"iteration not whole", {{"a.draws", "1.5 -1 2 0 1 0\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: iteration is not a whole number: 1.5"},
      {"k not whole", {{"a.draws", "1 -1 two 0 1 0\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: cluster count is not a whole number: two"},
      {"k disagrees", {{"a.draws", good + "3 -1 3 0 1 1\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 3: the labels form 2 clusters, but K is: 3"},
      {"short line", {{"a.draws", good + "3 -1 2 0 1\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 3: expected 3 labels as on line 1, found: 2"},
      {"no labels", {{"a.draws", "1 -1 1\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: no labels after the cluster count: 1"},
      {"blank line", {{"a.draws", good + "\n" + good}}, {"a.draws"},
       "Malformed draws line: a.draws line 3: empty line: \"\""},
      {"chains of different n", {{"a.draws", good}, {"b.draws", "1 -1 1 0 0 0 0\n"}},
       {"a.draws", "b.draws"}, "Chains of different n: b.draws has 4 items, a.draws has 3"},
      {"burn 1", {{"a.draws", good}}, {"--burn", "1", "a.draws"},
       "Burn-in fraction outside [0, 1): 1"},
      {"burn negative", {{"a.draws", good}}, {"--burn", "-0.1", "a.draws"},
       "Burn-in fraction outside [0, 1): -0.1"},
      {"burn nan", {{"a.draws", good}}, {"--burn", "nan", "a.draws"},
       "Burn-in fraction outside [0, 1): nan"},
      {"burn not a number", {{"a.draws", good}}, {"--burn", "half", "a.draws"},
       "Burn-in fraction is not a number: half"},
      {"unknown loss", {{"a.draws", good}}, {"--loss", "VI", "a.draws"},
       "Unknown loss (use vi or binder): VI"},
      {"same file twice", {{"a.draws", good}}, {"a.draws", "a.draws"},
       "Draws file given twice: a.draws"},
      // Under another name it would pass for a second chain in perfect agreement.
      {"same file by another name", {{"a.draws", good}}, {"--burn", "0", "a.draws", "./a.draws"},
       "Draws file given twice: ./a.draws is the same file as a.draws"},
      // Their range overflows a double: the figures and the picture's scales would be NaN.
      {"scores too large", {{"a.draws", "1 1e308 2 0 1 0\n2 -1e308 2 0 1 0\n"}}, {"a.draws"},
       "Malformed draws line: a.draws line 1: score outside -1e100..1e100, too large for the "
       "figures: 1e+308"},
      // No line is longer than a line of n labels can be (80 + 12 n characters).
      {"line too long", {{"a.draws", good + "3 -1 1" + std::string(2000, ' ') + " 0 0 0\n"}},
       {"a.draws"},
       "Malformed draws line: a.draws line 3: longer than 116 characters, starting: 3 -1 1" +
           std::string(34, ' ') + "..."},
      {"empty prefix", {{"a.draws", good}}, {"-o", "", "a.draws"}, "Output prefix is empty: \"\""},
      {"output over an input", {{"p.svg", good}}, {"-o", "p", "p.svg"},
       "Output would replace a draws file: p.svg"},
      {"output folder missing", {{"a.draws", good}}, {"-o", "no/such", "a.draws"},
       "Fail to write no/such.estimate"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& file : c.files) {
      std::filesystem::create_directories(std::filesystem::path(dir.file(file.first)).parent_path());
      dir.write(file.first, file.second);
    }
    dir.write("a.estimate", "earlier estimate\n");
    dir.write("p.summary.tsv", "earlier summary\n");
    const auto before = snapshot(dir);
    ExeResult run = summarise(dir, c.args);
    EXPECT_EQ(run.status, 255) << c.what;
    EXPECT_EQ(run.err, c.line + "\n") << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(snapshot(dir), before) << c.what;
  }
}

TEST(SummaryRun, UsageProblemsPrintTheUsageText) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "No draws file given"},
      {{"--burn"}, "Option --burn needs a value"},
      {{"a.draws", "-o"}, "Option -o needs a value"},
      {{"--frobnicate", "a.draws"}, "Unknown option: --frobnicate"},
      {{"-b", "0.2", "a.draws"}, "Unknown option: -b"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ExeResult run = summarise(dir, c.first);
    EXPECT_EQ(run.status, 2) << c.second;
    EXPECT_EQ(run.err, c.second + "\n" + summaryUsage());
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(snapshot(dir).empty()) << c.second;
  }
  TempDir dir;
  ExeResult help = summarise(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, summaryHelp());
  EXPECT_NE(summaryUsage().find("vornak-summary [--burn FRACTION] [--loss vi|binder] [-o PREFIX] "
                                "A.draws [B.draws ...]"),
            std::string::npos);
}

}  // namespace
