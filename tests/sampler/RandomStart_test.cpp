// The random start with a fixed k: the expected length of the plain redraw loop, the
// switch to a direct draw above the bound, and the law of that direct draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <vector>

#include "sampler/RandomStart.h"
#include "stats/Arrays.h"
#include "stats/rvgs.h"
#include "support/TinyModel.h"

namespace {

// k^n / (k! S(n,k)) from the Stirling recurrence S(i,j) = j S(i-1,j) + S(i-1,j-1), whose terms
// are all positive: a reference that shares nothing with the alternating sum under test.
long double exactRounds(int n, int k) {
  std::vector<std::vector<long double>> S(n + 1, std::vector<long double>(k + 1, 0));
  S[0][0] = 1;
  for (int i = 1; i <= n; i++)
    for (int j = 1; j <= k; j++) S[i][j] = j * S[i - 1][j] + S[i - 1][j - 1];
  long double logRatio = n * std::log(static_cast<long double>(k)) -
                         std::lgamma(static_cast<long double>(k) + 1) - std::log(S[n][k]);
  return std::exp(logRatio);
}

TEST(RandomStart, ExpectedRedrawRoundsMatchStirlingNumbers) {
  const double cap = kMaxRedrawRounds;
  int below = 0, above = 0;
  for (int n = 1; n <= 60; n++)
    for (int k = 1; k <= n; k++) {
      SCOPED_TRACE(testing::Message() << "n=" << n << " k=" << k);
      const long double exact = exactRounds(n, k);
      (exact <= cap ? below : above)++;
      EXPECT_NEAR(expectedRedrawRounds(n, k, cap) / exact, 1.0, 1e-9);
    }
  EXPECT_GT(below, 100);
  EXPECT_GT(above, 100);
  // Worked values: 4^4 / 4! and the two sides of the bound at n = 36.
  EXPECT_NEAR(expectedRedrawRounds(4, 4, cap), 256.0 / 24, 1e-12);
  EXPECT_NEAR(expectedRedrawRounds(36, 28, cap), 674594.2630859, 1e-3);
  EXPECT_GT(expectedRedrawRounds(36, 29, cap), cap);
}

// The chance that n uniform labels use all k, by the number of labels in use after each
// draw (a Markov chain), with its distribution kept only where it is not negligible.
long double chanceOfEveryLabel(int n, int k) {
  std::vector<long double> p(k + 1, 0);
  p[0] = 1;
  for (int m = 1; m <= n; m++) {
    for (int d = std::min(m, k); d >= 1; d--) p[d] = p[d] * d / k + p[d - 1] * (k - d + 1) / k;
    p[0] = 0;
  }
  return p[k];
}

TEST(RandomStart, ExpectedRedrawRoundsOfLargeInputsAroundTheBound) {
  // n k above 4e6 takes the bounds and the alternating sum; 8,000 observations cross the
  // bound between k = 1,600 and 1,720.
  const double cap = kMaxRedrawRounds;
  int below = 0, above = 0;
  for (int k = 1600; k <= 1720; k += 40) {
    SCOPED_TRACE(k);
    const long double exact = 1 / chanceOfEveryLabel(8000, k);
    const double got = expectedRedrawRounds(8000, k, cap);
    if (exact <= cap) {
      below++;
      EXPECT_NEAR(got / exact, 1.0, 1e-5);
    } else {
      above++;
      EXPECT_GT(got, cap);
      EXPECT_LE(got, exact * 1.01);
    }
  }
  EXPECT_GT(below, 0);
  EXPECT_GT(above, 0);
  EXPECT_NEAR(expectedRedrawRounds(100000, 10, cap), 1.0, 1e-12);
  EXPECT_GT(expectedRedrawRounds(32767, 32767, cap), cap);
  EXPECT_GT(expectedRedrawRounds(40000, 32767, cap), cap);
}

// Pearson's statistic of counts over equally likely outcomes, against the 1e-4 tail of the
// chi-square law (Wilson-Hilferty).
void expectUniform(const std::map<std::vector<int>, int>& counts, int outcomes, int draws) {
  EXPECT_EQ(static_cast<int>(counts.size()), outcomes);
  const double expected = static_cast<double>(draws) / outcomes;
  double statistic = 0;
  for (const auto& c : counts) statistic += (c.second - expected) * (c.second - expected) / expected;
  const double df = outcomes - 1;
  const double z = 3.719;
  const double critical = df * std::pow(1 - 2 / (9 * df) + z * std::sqrt(2 / (9 * df)), 3);
  EXPECT_LT(statistic, critical) << "chi-square with " << df << " degrees of freedom";
}

TEST(RandomStart, DirectDrawIsUniformOverLabellingsThatUseEveryCluster) {
  // k! S(n,k) labellings each: 4! S(4,4) = 24, 2! S(6,2) = 62, 3! S(5,3) = 150,
  // 3! S(7,3) = 1806.
  const struct {
    int n, k, outcomes;
  } cases[] = {{4, 4, 24}, {6, 2, 62}, {5, 3, 150}, {7, 3, 1806}};
  _rng.initialize(11);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "n=" << c.n << " k=" << c.k);
    const int draws = 60 * c.outcomes;
    std::map<std::vector<int>, int> counts;
    std::vector<int> labels(c.n);
    for (int d = 0; d < draws; d++) {
      drawLabelsUsingEveryCluster(c.n, c.k, labels.data());
      counts[labels]++;
    }
    for (const auto& entry : counts) {
      std::vector<int> sizes(c.k, 0);
      for (int label : entry.first) {
        ASSERT_GE(label, 0);
        ASSERT_LT(label, c.k);
        sizes[label]++;
      }
      for (int size : sizes) EXPECT_GT(size, 0);
    }
    expectUniform(counts, c.outcomes, draws);
  }
}

struct Started {
  TinyModel model;
  std::ostringstream log;
  PartitionSampler sampler;
  Started(int n, int k) : model(points(n)), sampler(k, n, INTEGRATED, &model, 0, log, "OA") {
    _rng.initialize(2);
    sampler.initZ("");
  }
  static std::vector<double> points(int n) {
    std::vector<double> x(n);
    for (int i = 0; i < n; i++) x[i] = 0.1 * i;
    return x;
  }
};

TEST(RandomStart, RedrawLoopUpToTheBoundDirectDrawBeyond) {
  // 36 observations: k = 28 needs 674,594 rounds on average and keeps the plain loop,
  // uniform for uniform; k = 29 needs 3.5 million and is drawn directly, with a log line.
  Started loop(36, 28);
  mersenne replay;
  replay.initialize(2);
  std::vector<int> z(36);
  for (bool full = false; !full;) {
    std::vector<int> sizes(28, 0);
    for (int& label : z) sizes[label = static_cast<int>(replay.runif() * 28)]++;
    full = std::count(sizes.begin(), sizes.end(), 0) == 0;
  }
  EXPECT_EQ(loop.sampler.state.zold, z);
  EXPECT_EQ(loop.log.str().find("Random start"), std::string::npos);

  for (int k : {29, 36}) {
    SCOPED_TRACE(k);
    Started direct(36, k);
    EXPECT_EQ(direct.sampler.state.kold, k);
    std::vector<int> sizes(k, 0);
    EXPECT_EQ(Arrays::table(direct.sampler.state.zold.data(), 36, sizes.data(), k), k);
    for (int j = 0; j < k; j++) EXPECT_EQ(direct.sampler.state.clusterSizes0[j], sizes[j]);
    EXPECT_NE(direct.log.str().find("Random start: redrawing all labels until no cluster is "
                                    "empty would take more than "),
              std::string::npos);
    EXPECT_NE(direct.log.str().find("(the bound is 1e+06), so the labels are drawn directly, "
                                    "uniformly among those that use all " +
                                    std::to_string(k) + " clusters\n"),
              std::string::npos);
  }
}

}  // namespace
