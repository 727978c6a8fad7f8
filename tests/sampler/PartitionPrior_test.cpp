// The partition priors: values against worked numbers, every ratio against differences of
// log priors, a changed alpha against a fresh prior, and tiny alphas against the small-alpha
// limit, here and through the whole program.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "sampler/PartitionPrior.h"
#include "stats/MathPlus.h"
#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

double logSum(const std::vector<double>& values) {
  double top = -INFINITY, total = 0;
  for (double v : values) top = std::max(top, v);
  for (double v : values) total += std::exp(v - top);
  return top + std::log(total);
}

TEST(PartitionPrior, DirichletProcessIsTheChineseRestaurant) {
  // alpha 2 on three observations: alpha^K prod (size - 1)! / (2 * 3 * 4).
  DirichletProcessPrior prior(3, std::log(2.0));
  const struct {
    std::vector<int> sizes;
    double p;
  } cases[] = {{{3}, 2.0 * 2 / 24}, {{2, 1}, 4.0 / 24}, {{1, 2}, 4.0 / 24},
               {{1, 1, 1}, 8.0 / 24}, {{2, 0, 1}, 4.0 / 24}};
  for (const auto& c : cases)
    EXPECT_NEAR(prior.logPrior(c.sizes.data(), static_cast<int>(c.sizes.size())), std::log(c.p),
                1e-13);
  // A partial partition: two observations, one cluster: alpha 1! / (2 * 3).
  const int two[1] = {2};
  EXPECT_NEAR(prior.logPrior(two, 1), std::log(2.0 / 6), 1e-13);
}

TEST(PartitionPrior, FixedKIsADirichletMultinomialOverLabellings) {
  // Every labelling of five observations with three labels (empty labels included): the
  // probabilities add up to 1; sizes (3, 2, 0) give Gamma(3) 3! 2! 0! / Gamma(8).
  for (ScoringMode mode : {ScoringMode::Exact, ScoringMode::Reference}) {
    FixedKDirichletPrior prior(5, 3, mode);
    std::vector<double> all;
    for (int code = 0; code < 243; code++) {
      int sizes[3] = {0, 0, 0};
      for (int i = 0, c = code; i < 5; i++, c /= 3) sizes[c % 3]++;
      all.push_back(prior.logPrior(sizes, 3));
    }
    EXPECT_NEAR(logSum(all), 0.0, 1e-12);
    const int sizes[3] = {3, 2, 0};
    EXPECT_NEAR(prior.logPrior(sizes, 3), std::log(2.0 * 6 * 2 / 5040), 1e-13);
    EXPECT_EQ(prior.fixedK(), 3);
  }
}

// Each ratio is the difference of two log priors, for every prior.
struct PriorCase {
  const char* name;
  std::function<std::unique_ptr<PartitionPrior>()> make;
};

class PriorRatios : public ::testing::TestWithParam<PriorCase> {};

TEST_P(PriorRatios, AreDifferencesOfLogPriors) {
  const auto prior = GetParam().make();
  const int k = prior->fixedK() > 0 ? prior->fixedK() : 4;
  std::mt19937 random(5);
  for (int trial = 0; trial < 200; trial++) {
    // Sizes of k labels adding up to 9 (open k: some labels empty).
    std::vector<int> sizes(k, 0);
    for (int i = 0; i < 9; i++) sizes[random() % k]++;
    int clusters = 0;
    for (int s : sizes) clusters += s > 0;
    const double before = prior->logPrior(sizes.data(), k);
    for (int from = 0; from < k; from++) {
      if (sizes[from] == 0) continue;
      for (int to = 0; to < k; to++) {
        if (to == from) continue;
        std::vector<int> after = sizes;
        after[from]--;
        after[to]++;
        EXPECT_NEAR(prior->logMoveRatio(sizes[from], sizes[to], clusters),
                    prior->logPrior(after.data(), k) - before, 1e-11);
      }
    }
    // Join weights: adding a tenth observation anywhere changes the prior by the weight
    // plus a term common to every label.
    std::vector<double> common;
    for (int to = 0; to < k; to++) {
      std::vector<int> after = sizes;
      after[to]++;
      common.push_back(prior->logPrior(after.data(), k) - before -
                       prior->logJoinWeight(sizes[to], clusters));
    }
    for (double c : common) EXPECT_NEAR(c, common[0], 1e-11);
    // A split of one label's members into an empty label, and the merge back (with a fixed
    // k the labels stay, one of them empty).
    for (int from = 0; from < k; from++) {
      const int empty = static_cast<int>(std::find(sizes.begin(), sizes.end(), 0) - sizes.begin());
      if (sizes[from] < 2 || empty == k) continue;
      for (int size1 = 1; size1 < sizes[from]; size1++) {
        std::vector<int> after = sizes;
        after[from] = size1;
        after[empty] = sizes[from] - size1;
        const double change = prior->logPrior(after.data(), k) - before;
        EXPECT_NEAR(prior->logSplitRatio(sizes[from], size1, clusters), change, 1e-11);
        EXPECT_NEAR(prior->logMergeRatio(size1, sizes[from] - size1, clusters + 1), -change,
                    1e-11);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Priors, PriorRatios,
    ::testing::Values(
        PriorCase{"DP_alpha1", [] { return makePartitionPrior(10, 0, 0.0, ScoringMode::Exact); }},
        PriorCase{"DP_small", [] { return makePartitionPrior(10, 0, -2.3, ScoringMode::Exact); }},
        PriorCase{"DP_tiny", [] { return makePartitionPrior(10, 0, -30, ScoringMode::Exact); }},
        PriorCase{"FixedK", [] { return makePartitionPrior(10, 4, 0.0, ScoringMode::Exact); }},
        PriorCase{"FixedKReference",
                  [] { return makePartitionPrior(10, 3, 0.0, ScoringMode::Reference); }}),
    [](const ::testing::TestParamInfo<PriorCase>& info) { return info.param.name; });

TEST(PartitionPrior, ChangedAlphaEqualsAFreshPriorBitForBit) {
  const int sizes[4] = {3, 0, 2, 1};
  for (double to : {-1.3, 2.0, -40.0}) {
    DirichletProcessPrior changed(6, 0.0);
    const double before = changed.logPrior(sizes, 4);
    changed.setLogAlpha(to);
    DirichletProcessPrior fresh(6, to);
    EXPECT_EQ(changed.logPrior(sizes, 4), fresh.logPrior(sizes, 4)) << to;
    EXPECT_EQ(changed.logalpha(), to);
    EXPECT_NE(changed.logPrior(sizes, 4), before) << to;
  }
}

// log(alpha + i - 1) summed over i = 1..n, alpha's part kept: logalpha, then
// log(i - 1) + log1p(alpha / (i - 1)) in long double.
long double preciseNormaliser(int n, double logalpha) {
  const long double alpha = std::exp(static_cast<long double>(logalpha));
  long double sum = logalpha;
  for (int i = 2; i <= n; i++)
    sum += std::log(static_cast<long double>(i - 1)) + std::log1p(alpha / (i - 1));
  return sum;
}

TEST(PartitionPrior, TinyAlphaKeepsItsContribution) {
  // The plain log(alpha + i - 1) reads alpha + 1 - 1: at -35 it is off by 0.05 per score,
  // from about -37 on it is log 0 and every score infinite.
  const int sizes[3] = {3, 2, 1};
  for (double logalpha : {-13.0, -14.0, -20.0, -35.0, -40.0, -300.0, -700.0}) {
    DirichletProcessPrior prior(6, logalpha);
    const long double expected = 3.0L * logalpha + std::lgamma(3.0L) + std::lgamma(2.0L) -
                                 preciseNormaliser(6, logalpha);
    EXPECT_TRUE(std::isfinite(prior.logPrior(sizes, 3))) << logalpha;
    EXPECT_NEAR(prior.logPrior(sizes, 3), static_cast<double>(expected),
                1e-12 * std::fabs(static_cast<double>(expected)) + 2e-10)
        << logalpha;
    EXPECT_NEAR(prior.normaliser(6), static_cast<double>(preciseNormaliser(6, logalpha)),
                1e-12 * std::fabs(logalpha) + 2e-10)
        << logalpha;
  }
}

// ---------------------------------------------------------------------------------------
// Through the whole program: an enumeration lists each partition's score, whose change
// from -a 0 to a tiny alpha is known exactly: (K - 1) logalpha + log n in the small-alpha
// limit (alpha^K / alpha against 1 / n). Searches complete.

const std::string kMatrix = "0 1 1 0\n1 0 0 1\n0 0 1 1\n1 1 0 0\n1 1 1 0\n";

std::vector<double> saveScores(const TempDir& dir) {
  std::vector<double> scores;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
    if (entry.path().extension() != ".save") continue;
    std::ifstream in(entry.path());
    std::string line;
    while (scores.size() < 1000 && std::getline(in, line)) scores.push_back(std::stod(line));
  }
  return scores;
}

// A search or listing that completes exits with status 1.
const int kCompleted = 1;

ExeResult runVornak(const TempDir& dir, const std::vector<std::string>& args) {
  // A time limit keeps a stuck run from holding the test.
  std::vector<std::string> words = {"60", VORNAK_EXE, "-m", "HDBern", "-f", "m.txt", "-c",
                                    "integrated"};
  words.insert(words.end(), args.begin(), args.end());
  return runExe(words, dir.path, "/usr/bin/timeout");
}

TEST(TinyAlpha, EnumeratedScoresMoveByTheLimitOfThePrior) {
  // Partitions of five listed by K = 1..5: S(5, K) = 1, 15, 25, 10, 1 of them.
  const int perK[5] = {1, 15, 25, 10, 1};
  for (const std::string fast : {"", "-x"}) {
    std::vector<double> base;
    for (const std::string a : {"0", "-35", "-40", "-700"}) {
      TempDir dir;
      dir.write("m.txt", kMatrix);
      std::vector<std::string> args = {"-k", "0", "-h", "EN", "-B", "1", "-a", a};
      if (!fast.empty()) args.push_back(fast);
      const ExeResult run = runVornak(dir, args);
      ASSERT_EQ(run.status, kCompleted) << a << fast << ": " << run.err;
      const std::vector<double> scores = saveScores(dir);
      ASSERT_EQ(scores.size(), 52u) << a << fast;
      if (a == "0") {
        base = scores;
        continue;
      }
      const double logalpha = std::stod(a);
      size_t line = 0;
      for (int K = 1; K <= 5; K++)
        for (int p = 0; p < perK[K - 1]; p++, line++)
          EXPECT_NEAR(scores[line] - base[line], (K - 1) * logalpha + std::log(5.0),
                      2e-6 * std::max(1.0, std::fabs(scores[line])))
              << a << fast << " partition " << line;
    }
  }
}

TEST(TinyAlpha, SearchesComplete) {
  for (const std::string fast : {"", "-x"})
    for (const std::string a : {"-40", "-700"}) {
      TempDir dir;
      dir.write("m.txt", kMatrix);
      std::vector<std::string> args = {"-k", "0", "-h", "SR2", "-B", "2", "-a", a};
      if (!fast.empty()) args.push_back(fast);
      const ExeResult run = runVornak(dir, args);
      EXPECT_EQ(run.status, kCompleted) << a << fast << ": " << run.err;
      const std::vector<double> scores = saveScores(dir);
      ASSERT_FALSE(scores.empty()) << a << fast;
      for (double s : scores) EXPECT_TRUE(std::isfinite(s)) << a << fast;
    }
}

// A fixed-k start must use all k labels: labels 0 and k - 1 alone would run with two
// clusters while the log speaks of k.
TEST(FixedKStart, WithEmptyLabelsIsRefusedBeforeAnySearch) {
  TempDir dir;
  dir.write("m.txt", kMatrix);
  dir.write("z.txt", "0 0 3 3 3\n");
  const ExeResult run = runVornak(dir, {"-k", "4", "-h", "UX", "-B", "1", "-z", "z.txt"});
  EXPECT_EQ(run.status, 255);
  // The failure line goes to standard output, as every refusal of the start file.
  EXPECT_NE(run.out.find("\nBad start partition file z.txt: it has 2 clusters with gaps in "
                         "their labels 0..3 but -k is 4\n"),
            std::string::npos)
      << run.out;
  EXPECT_TRUE(saveScores(dir).empty());
}

}  // namespace
