#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

#include "stats/RandomPlus.h"
#include "stats/rvgs.h"
#include "support/uniforms.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();

TEST(SampleWithoutReplacement, ReferenceDrawsAndUniformsUsed) {
  struct Case {
    int n, k;
    bool zeroBased;
    std::vector<int> expected;  // after initialize(2)
  };
  // u1 * 5 -> 0, u2 * 4 -> 2 (item 4 moved to slot 0), u3 * 3 -> 1.
  const Case cases[] = {
      {5, 3, true, {0, 2, 1}},
      {5, 3, false, {1, 3, 2}},
      {5, 0, true, {}},
      {1, 1, true, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.n << " " << c.k << " " << c.zeroBased);
    std::vector<int> y(c.k + 1, -7);
    _rng.initialize(2);
    RandomPlus::SampleWithoutReplacement<int>(c.n, c.k, y.data(), c.zeroBased);
    EXPECT_EQ(std::vector<int>(y.begin(), y.begin() + c.k), c.expected);
    EXPECT_EQ(y[c.k], -7) << "wrote past k";
    EXPECT_EQ(uniformsUsed([&] {
                RandomPlus::SampleWithoutReplacement<int>(c.n, c.k, y.data(), c.zeroBased);
              }),
              c.k);
  }
}

TEST(SampleWithoutReplacement, AllItemsGiveAPermutation) {
  _rng.initialize(7);
  for (bool zeroBased : {true, false}) {
    for (int rep = 0; rep < 50; rep++) {
      std::vector<int> y(9);
      RandomPlus::SampleWithoutReplacement<int>(9, 9, y.data(), zeroBased);
      std::sort(y.begin(), y.end());
      std::vector<int> expected(9);
      std::iota(expected.begin(), expected.end(), zeroBased ? 0 : 1);
      ASSERT_EQ(y, expected);
    }
  }
}

TEST(GeneralizedBern, IndexFromProbabilities) {
  // After initialize(2): u1 = 0.18488 < 0.2 -> 0; u2 = 0.70237 >= 0.2 + 0.5 -> 2;
  // u3 = 0.57333 -> 1.
  const double mean[] = {0.2, 0.5, 0.3};
  _rng.initialize(2);
  EXPECT_EQ(RandomPlus::rGeneralizedBern(mean, 3), 0);
  EXPECT_EQ(RandomPlus::rGeneralizedBern(mean, 3), 2);
  EXPECT_EQ(RandomPlus::rGeneralizedBern(mean, 3), 1);
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::rGeneralizedBern(mean, 3); }), 1);
}

TEST(GeneralizedBern, DimensionOneDrawsNothing) {
  const double one[] = {1.0};
  _rng.initialize(2);
  EXPECT_EQ(RandomPlus::rGeneralizedBern(one, 1), 0);
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::rGeneralizedBern(one, 1); }), 0);
  double logProb = 99;
  const double logOne[] = {-3.5};
  EXPECT_EQ(RandomPlus::drawGeneralizedBern(logOne, 1, logProb), 0);
  EXPECT_EQ(logProb, 0.0);
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::drawGeneralizedBern(logOne, 1, logProb); }), 0);
}

TEST(GeneralizedBern, ShortSumFallsBackToLastPossibleIndex) {
  // The probabilities reach only 0.1 while u1 = 0.18: no index passes the running-sum rule,
  // and the last cell with positive probability is returned, never the impossible one.
  const double mean[] = {0.05, 0.05, 0.0};
  _rng.initialize(2);
  EXPECT_EQ(RandomPlus::rGeneralizedBern(mean, 3), 1);
}

TEST(GeneralizedBern, IndexFromUnnormalisedLogWeights) {
  // Weights 2 and 6: probabilities 0.25 and 0.75.
  const double logWeights[] = {std::log(2.0), std::log(6.0)};
  double logProb = 0;
  _rng.initialize(2);
  EXPECT_EQ(RandomPlus::drawGeneralizedBern(logWeights, 2, logProb), 0);  // u1 = 0.18 < 0.25
  EXPECT_NEAR(logProb, std::log(0.25), 1e-15);
  EXPECT_EQ(RandomPlus::drawGeneralizedBern(logWeights, 2, logProb), 1);  // u2 = 0.70
  EXPECT_NEAR(logProb, std::log(0.75), 1e-15);
  EXPECT_EQ(RandomPlus::drawGeneralizedBern(logWeights, 2), 1);  // u3 = 0.57
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::drawGeneralizedBern(logWeights, 2); }), 1);
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::drawGeneralizedBern(logWeights, 2, logProb); }), 1);
}

TEST(GeneralizedBern, ImpossibleCellIsNeverDrawn) {
  const double logWeights[] = {0.0, -kInf, 0.0};
  int counts[3] = {0, 0, 0};
  _rng.initialize(2);
  const int draws = 20000;
  for (int i = 0; i < draws; i++) {
    double logProb = 0;
    int d = RandomPlus::drawGeneralizedBern(logWeights, 3, logProb);
    ASSERT_GE(d, 0);
    ASSERT_LE(d, 2);
    counts[d]++;
    ASSERT_DOUBLE_EQ(logProb, -std::log(2.0));
  }
  EXPECT_EQ(counts[1], 0);
  // Binomial(20000, 1/2) has standard deviation 70.7; 6 of them cannot be exceeded by chance.
  EXPECT_NEAR(counts[0], draws / 2, 425);
}

TEST(Dirichlet, OneCategoryIsCertain) {
  const double alpha[] = {2.5};
  double out[1];
  _rng.initialize(2);
  RandomPlus::rdirichlet(alpha, 1, out, false);
  EXPECT_EQ(out[0], 1.0);
  RandomPlus::rdirichlet(alpha, 1, out, true);
  EXPECT_EQ(out[0], 0.0);
}

TEST(Dirichlet, NormalisesGammaDrawsTakenInOrder) {
  // Shape 1 gammas are exponentials of one uniform each: e_i = -log(1 - u_i).
  const std::vector<double> u = referenceUniforms(3);
  double e[3], total = 0;
  for (int i = 0; i < 3; i++) total += e[i] = -std::log(1 - u[i]);
  const double alpha[] = {1, 1, 1};
  double out[3];
  for (bool logMode : {false, true}) {
    SCOPED_TRACE(logMode);
    _rng.initialize(2);
    RandomPlus::rdirichlet(alpha, 3, out, logMode);
    for (int i = 0; i < 3; i++)
      EXPECT_NEAR(out[i], logMode ? std::log(e[i] / total) : e[i] / total, 1e-14);
    EXPECT_EQ(uniformsUsed([&] { RandomPlus::rdirichlet(alpha, 3, out, logMode); }), 3);
  }
}

}  // namespace

namespace {

// The exact draw's running sums, as drawGeneralizedBernAt forms them.
std::vector<double> runningSums(const std::vector<double>& logWeights) {
  double top = *std::max_element(logWeights.begin(), logWeights.end());
  double total = 0;
  for (double w : logWeights) total += std::exp(w - top);
  total = top + std::log(total);
  std::vector<double> sums;
  double s = 0;
  for (double w : logWeights) sums.push_back(s += std::exp(w - total));
  return sums;
}

// From estimates within the error given, the bounded draw names the exact draw's index or
// abstains; right beside a boundary it abstains, and away from them it names the index.
TEST(GeneralizedBern, BoundedDrawNamesTheExactDrawOrAbstains) {
  struct Case {
    std::vector<double> logWeights;
    double maxError;
  };
  const Case cases[] = {
      {{-1000.0, -1001.5, -999.2, -1003.0}, 1e-9},
      {{0.0, 0.0, 0.0}, 1e-12},
      {{-5e4, -5e4 + 2.0, -5e4 - 40.0, -5e4 + 0.5, -5e4 + 1.0}, 1e-7},
      {{3.0, -2.0}, 1e-4},
  };
  mersenne stream;
  stream.initialize(5);
  for (const Case& c : cases) {
    const int k = static_cast<int>(c.logWeights.size());
    SCOPED_TRACE(::testing::Message() << "k " << k << " error " << c.maxError);
    const std::vector<double> sums = runningSums(c.logWeights);
    std::vector<double> us;
    for (int t = 0; t < 400; t++) us.push_back(stream.runif());
    for (double s : sums)
      for (double d : {-1e-3, -1e-6, -1e-9, -1e-13, 0.0, 1e-13, 1e-9, 1e-6, 1e-3})
        if (s + d > 0 && s + d < 1) us.push_back(s + d);
    int named = 0;
    for (double u : us) {
      const int exact = RandomPlus::drawGeneralizedBernAt(c.logWeights.data(), k, u);
      // Estimates off by up to the error, in a pattern that moves the boundaries.
      for (double sign : {1.0, -1.0}) {
        std::vector<double> approx = c.logWeights;
        for (int j = 0; j < k; j++) approx[j] += (j % 2 ? sign : -sign) * c.maxError;
        const int bounded = RandomPlus::drawGeneralizedBernBounded(approx.data(), k, c.maxError, u);
        if (bounded >= 0) {
          EXPECT_EQ(bounded, exact) << "u " << u;
          named++;
        }
        for (double s : sums) {
          if (std::fabs(u - s) <= 1e-13) {
            EXPECT_EQ(bounded, -1) << "u " << u << " at " << s;
          }
        }
      }
    }
    // Most uniforms lie far from every boundary.
    EXPECT_GT(named, 600);
  }
}

TEST(GeneralizedBern, BoundedDrawAbstainsOnWeightsThatAreNotFinite) {
  const double withZero[] = {0.0, -kInf, 0.0};
  const double withNaN[] = {0.0, std::nan(""), 0.0};
  EXPECT_EQ(RandomPlus::drawGeneralizedBernBounded(withZero, 3, 1e-12, 0.2), -1);
  EXPECT_EQ(RandomPlus::drawGeneralizedBernBounded(withNaN, 3, 1e-12, 0.2), -1);
  const double plain[] = {0.0, 0.0, 0.0};
  EXPECT_EQ(RandomPlus::drawGeneralizedBernBounded(plain, 3, 1e-12, 0.2), 0);
  EXPECT_EQ(RandomPlus::drawGeneralizedBernBounded(plain, 3, 1.0, 0.2), -1);
  // The draw takes no uniform of its own.
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::drawGeneralizedBernBounded(plain, 3, 1e-12, 0.5); }),
            0);
  EXPECT_EQ(uniformsUsed([&] { RandomPlus::drawGeneralizedBernAt(plain, 3, 0.5); }), 0);
}

}  // namespace
