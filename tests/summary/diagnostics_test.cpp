// R-hat and effective sample size against values worked by hand and values of an independent
// implementation (R's posterior package, 1.4.0): fixed series in the file, and, where R with
// that package is installed, random series sent to it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>
#include <string>

#include "stats/rvgs.h"
#include "summary/diagnostics.h"
#include "support/TempDir.h"

namespace {

using summary::Chains;

TEST(SummaryDiagnostics, NormalQuantileMatchesR) {
  // qnorm(p) in R 4.2.
  const double cases[][2] = {{0.001, -3.0902323061678132}, {0.025, -1.9599639845400538},
                             {0.3, -0.52440051270804067},  {0.5, 0},
                             {0.8, 0.84162123357291441},   {0.975, 1.9599639845400536},
                             {1e-10, -6.3613409024040557}, {1 - 1e-12, 7.0344869100478356}};
  for (const auto& c : cases)
    EXPECT_NEAR(summary::normalQuantile(c[0]), c[1], 1e-14 * (1 + std::fabs(c[1]))) << c[0];
  EXPECT_TRUE(std::isinf(summary::normalQuantile(0)));
  EXPECT_TRUE(std::isnan(summary::normalQuantile(1.5)));
}

TEST(SummaryDiagnostics, RankNormalisationAveragesTies) {
  // Values 10 20 20 30 and 25 over two chains: ranks 1, 2.5, 2.5, 5 | 4 of S = 5, so
  // p = (r - 3/8) / (S + 1/4) = 0.625/5.25, 2.125/5.25, 2.125/5.25, 4.625/5.25 | 3.625/5.25.
  Chains z = summary::rankNormalise({{10, 20, 20, 30}, {25}});
  ASSERT_EQ(z.size(), 2u);
  ASSERT_EQ(z[0].size(), 4u);
  EXPECT_DOUBLE_EQ(z[0][1], z[0][2]);
  EXPECT_DOUBLE_EQ(z[0][0], summary::normalQuantile(0.625 / 5.25));
  EXPECT_DOUBLE_EQ(z[0][3], summary::normalQuantile(4.625 / 5.25));
  EXPECT_DOUBLE_EQ(z[1][0], summary::normalQuantile(3.625 / 5.25));
  // One chain 10 20 20 30: p = 0.625/4.25 (qnorm -1.0491313979639711 in R), 0.5, 0.5, 3.625/4.25.
  Chains one = summary::rankNormalise({{10, 20, 20, 30}});
  EXPECT_NEAR(one[0][0], -1.0491313979639711, 1e-14);
  EXPECT_NEAR(one[0][1], 0, 1e-15);
  EXPECT_NEAR(one[0][3], 1.0491313979639711, 1e-14);
}

TEST(SummaryDiagnostics, SplitDropsTheMiddleOfAnOddChain) {
  Chains split = summary::splitChains({{1, 2, 3, 4, 5}, {6, 7, 8, 9}});
  Chains expected = {{1, 2}, {4, 5}, {6, 7}, {8, 9}};
  EXPECT_EQ(split, expected);
}

TEST(SummaryDiagnostics, BasicRhatWorkedByHand) {
  // Chains 1 2 3 and 2 3 4: means 2 and 3, variances 1 and 1, so W = 1 and
  // B = 3 * var(2, 3) = 1.5; R-hat = sqrt((B / W + 3 - 1) / 3) = sqrt(3.5 / 3).
  EXPECT_DOUBLE_EQ(summary::basicRhat({{1, 2, 3}, {2, 3, 4}}), std::sqrt(3.5 / 3));
  // Identical chains: B = 0, R-hat = sqrt((n - 1) / n).
  EXPECT_DOUBLE_EQ(summary::basicRhat({{1, 2, 4, 8}, {1, 2, 4, 8}}), std::sqrt(0.75));
}

// Chain c (1-based), iteration t = 1..12: sin(1.3 t + c) + 0.05 t c.
Chains fixedSeries() {
  Chains chains(2);
  for (int c = 1; c <= 2; c++)
    for (int t = 1; t <= 12; t++) chains[c - 1].push_back(std::sin(1.3 * t + c) + 0.05 * t * c);
  return chains;
}

TEST(SummaryDiagnostics, FixedSeriesMatchPosteriorPackage) {
  // From R: x <- sapply(1:2, function(c) sin(1.3*(1:12) + c) + 0.05*(1:12)*c);
  // rhat(x); ess_bulk(x[,1]); ess_bulk(x[,2]); rhat_basic(x, split=FALSE); ess_basic(x, split=FALSE)
  Chains x = fixedSeries();
  EXPECT_NEAR(summary::splitRhat(x), 0.97026550475657625, 1e-12);
  EXPECT_NEAR(summary::bulkEss(x[0]), 9.4117512695270431, 1e-10);
  EXPECT_NEAR(summary::bulkEss(x[1]), 7.600210826418067, 1e-10);
  EXPECT_NEAR(summary::basicRhat(x), 0.9762040880238112, 1e-12);
  EXPECT_NEAR(summary::basicEss(x), 15.053237395381407, 1e-10);
  EXPECT_NEAR(summary::basicEss(summary::rankNormalise(summary::splitChains(x))),
              17.218407570060396, 1e-10);  // ess_bulk(x)

  // Traces with ties like k; both per-chain values are capped at draws / (1 / log10(draws)).
  Chains k = {{3, 3, 4, 3, 4, 4, 4, 3, 3, 5, 4, 4, 3}, {4, 4, 4, 5, 4, 3, 4, 4, 4, 4, 5, 4, 4}};
  EXPECT_NEAR(summary::splitRhat(k), 1.0350519051284686, 1e-12);
  EXPECT_NEAR(summary::bulkEss(k[0]), 12.9501749525715, 1e-10);
  EXPECT_NEAR(summary::bulkEss(k[1]), 12.9501749525715, 1e-10);
}

TEST(SummaryDiagnostics, UndefinedAndDivergentCases) {
  EXPECT_TRUE(std::isnan(summary::splitRhat({{2, 2, 2, 2}, {2, 2, 2, 2}})));
  EXPECT_TRUE(std::isnan(summary::bulkEss({5, 5, 5, 5, 5, 5, 5, 5})));
  EXPECT_TRUE(std::isnan(summary::bulkEss({1, 2, 3, 4, 5})));  // halves of 2: too short
  EXPECT_TRUE(std::isnan(summary::splitRhat({{1, 2, 3}, {4, 5, 6}})));  // halves of 1
  // Each chain constant, but at different values: the chains certainly disagree.
  EXPECT_TRUE(std::isinf(summary::splitRhat({{3, 3, 3, 3}, {4, 4, 4, 4}})));
}

// AR(1) chains with a given correlation and chain offsets, from a fixed seed; `round` makes
// ties as a k trace has them.
Chains autoregressive(int chains, int length, double rho, double offset, bool round,
                      uint32_t seed) {
  mersenne source;
  source.initialize(seed);
  Chains out(chains);
  for (int c = 0; c < chains; c++) {
    double x = 0;
    for (int t = 0; t < length; t++) {
      double u1 = source.runif(), u2 = source.runif();
      double normal = std::sqrt(-2 * std::log(u1)) * std::cos(6.283185307179586 * u2);
      x = rho * x + normal;
      double v = x + c * offset;
      out[c].push_back(round ? std::floor(v) : v);
    }
  }
  return out;
}

TEST(SummaryDiagnostics, RandomSeriesMatchPosteriorPackageWhenInstalled) {
  if (std::system("Rscript -e 'quit(status = !requireNamespace(\"posterior\", quietly = TRUE))' "
                  ">/dev/null 2>&1") != 0)
    GTEST_SKIP() << "Rscript with the posterior package not found: cross-check skipped";
  struct Case {
    int chains, length;
    double rho, offset;
    bool round;
  };
  const Case cases[] = {{2, 200, 0.5, 0, false},  {4, 101, 0.9, 0.3, false},
                        {3, 300, -0.3, 0, false}, {2, 150, 0.7, 1.0, true},
                        {1, 57, 0.2, 0, true}};
  // Every case to a file, then one R session computes all of them.
  TempDir dir;
  std::vector<Chains> series;
  for (const Case& c : cases) {
    series.push_back(autoregressive(c.chains, c.length, c.rho, c.offset, c.round,
                                    static_cast<uint32_t>(11 + series.size())));
    std::ofstream file(dir.file("x" + std::to_string(series.size()) + ".txt"));
    file.precision(17);
    for (int t = 0; t < c.length; t++) {
      for (int k = 0; k < c.chains; k++) file << (k ? " " : "") << series.back()[k][t];
      file << '\n';
    }
  }
  std::string script =
      "suppressMessages(library(posterior)); for (f in 1:" + std::to_string(series.size()) +
      ") { x <- as.matrix(read.table(sprintf('" + dir.path + "/x%d.txt', f))); "
      "cat(sprintf('%.17g', c(if (ncol(x) > 1) rhat(x) else NA, "
      "apply(x, 2, function(v) suppressWarnings(ess_bulk(v))))), sep = '\\n') }";
  std::string command = "Rscript -e \"" + script + "\" > " + dir.file("r.txt") + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(dir.file("r.txt"));
  for (size_t s = 0; s < series.size(); s++) {
    const Chains& x = series[s];
    std::vector<double> r;
    std::string word;
    for (size_t k = 0; k <= x.size() && in >> word; k++) r.push_back(word == "NA" ? NAN : std::stod(word));
    ASSERT_EQ(r.size(), x.size() + 1) << "case " << s;
    if (x.size() > 1) {
      EXPECT_NEAR(summary::splitRhat(x), r[0], 1e-10) << "case " << s;
    }
    for (size_t k = 0; k < x.size(); k++)
      EXPECT_NEAR(summary::bulkEss(x[k]), r[k + 1], 1e-8 * r[k + 1]) << "case " << s << " chain " << k;
  }
}

}  // namespace
