#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "stats/DirichletRV.h"
#include "stats/MathPlus.h"
#include "io/Text.h"
#include "stats/Arrays.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Equal as numbers, with NaN equal to NaN and infinities compared exactly.
void expectSame(double actual, double expected, double tolerance) {
  if (std::isnan(expected)) EXPECT_TRUE(std::isnan(actual)) << actual;
  else if (std::isinf(expected)) EXPECT_EQ(actual, expected);
  else EXPECT_NEAR(actual, expected, tolerance);
}

TEST(LogSumExp, Unweighted) {
  const struct {
    std::vector<double> values;
    double expected;
  } cases[] = {
      {{-kInf, -kInf}, -kInf},
      {{kInf, 0}, kInf},
      {{0, kInf}, kInf},
      {{0, 0}, std::log(2.0)},
      {{1000, 1000}, 1000 + std::log(2.0)},
      {{-1000, -1000, -1000}, -1000 + std::log(3.0)},
      {{0, -kInf, 0}, std::log(2.0)},
      {{std::log(1.0), std::log(2.0), std::log(5.0)}, std::log(8.0)},
      {{0, -800}, 0},
      // a single value comes back unchanged, whatever it is
      {{3.5}, 3.5},
      {{kNaN}, kNaN},
      {{kInf}, kInf},
      {{-kInf}, -kInf},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.values));
    expectSame(MathPlus::logSumExp(c.values.data(), static_cast<int>(c.values.size())), c.expected,
               1e-12);
  }
}

TEST(LogSumExp, Weighted) {
  const struct {
    std::vector<double> values, weights;
    double expected;
  } cases[] = {
      {{2.0}, {3.0}, 2.0 + std::log(3.0)},
      {{2.0}, {1.0}, 2.0},
      {{0, std::log(2.0)}, {1.0, 0.5}, std::log(2.0)},
      {{1000, 1000}, {0.25, 0.75}, 1000},
      {{-kInf, -kInf}, {1, 1}, -kInf},
      {{kInf, 1}, {1, 1}, kInf},
      {{std::log(3.0), std::log(4.0)}, {2.0, 0.0}, std::log(6.0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.values));
    expectSame(MathPlus::logSumExp(c.values.data(), static_cast<int>(c.values.size()), c.weights.data()),
               c.expected, 1e-12);
  }
}

TEST(LogSumExp, LogAddExp) {
  const struct {
    double a, b, expected;
  } cases[] = {
      {-kInf, 3.0, 3.0},
      {3.0, -kInf, 3.0},
      {-kInf, -kInf, -kInf},
      {std::log(1.0), std::log(3.0), std::log(4.0)},
      {-745.0, -745.0, -745.0 + std::log(2.0)},
  };
  for (const auto& c : cases) expectSame(MathPlus::logAddExp(c.a, c.b), c.expected, 1e-12);
}

TEST(ArrayHelpers, MaxAndSum) {
  const double withNaNFirst[] = {kNaN, 1.0, 2.0};
  const double withNaNInside[] = {1.0, kNaN, 2.0};
  const double mixed[] = {-3.0, -1.0, -2.0};
  EXPECT_TRUE(std::isnan(Arrays::arraymax(withNaNFirst, 3)));
  EXPECT_EQ(Arrays::arraymax(withNaNInside, 3), 2.0);
  EXPECT_EQ(Arrays::arraymax(mixed, 3), -1.0);
  EXPECT_EQ(Arrays::arraymax(mixed, 1), -3.0);
  const int ints[] = {4, -1, 7};
  EXPECT_EQ(Arrays::sum(ints, 3), 10);
  EXPECT_EQ(Arrays::sum(ints, 1), 4);
  EXPECT_EQ(Arrays::sum(mixed, 3), -6.0);
}

TEST(ArrayHelpers, Table) {
  const struct {
    std::vector<int> z;
    int k;
    std::vector<int> counts;
    int occupied;
  } cases[] = {
      {{0, 2, 2}, 4, {1, 0, 2, 0}, 2},
      {{1, 1, 1, 1}, 2, {0, 4}, 1},
      {{0, 1, 2, 0, 1, 2}, 3, {2, 2, 2}, 3},
      {{}, 2, {0, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.z));
    std::vector<int> counts(c.k, 99);
    EXPECT_EQ(Arrays::table(c.z.data(), static_cast<int>(c.z.size()), counts.data(), c.k),
              c.occupied);
    EXPECT_EQ(counts, c.counts);
    std::vector<int> fromVector(c.k, 99);
    EXPECT_EQ(Arrays::table(c.z, fromVector.data(), c.k), c.occupied);
    EXPECT_EQ(fromVector, c.counts);
    const int* constLabels = c.z.data();
    EXPECT_EQ(Arrays::table(constLabels, static_cast<int>(c.z.size()), counts.data(), c.k),
              c.occupied);
  }
}

TEST(ArrayHelpers, CompareArrayMatchesSplitsWithOrWithoutSwappedLabels) {
  const struct {
    std::vector<int> a, b;
    int size;
    bool same;
  } cases[] = {
      {{0, 1, 1}, {1, 0, 0}, 3, true},
      {{0, 1, 1}, {0, 1, 1}, 3, true},
      {{0, 1, 1}, {0, 1, 0}, 3, false},
      {{0, 0, 1}, {1, 1, 1}, 3, false},
      {{0, 1, 1}, {1, 0, 1}, 3, false},
      {{0}, {1}, 1, true},
      {{1, 0, 0}, {0, 1, 1}, 1, true},
      {{0, 1, 1, 0}, {1, 0, 0, 0}, 3, true},  // only the first size entries count
  };
  for (const auto& c : cases)
    EXPECT_EQ(Arrays::compareArray(c.a, c.b, c.size), c.same)
        << ::testing::PrintToString(c.a) << " vs " << ::testing::PrintToString(c.b);
}

TEST(ArrayHelpers, CopyAndPrint) {
  const int from[] = {3, 1, 4};
  int to[4] = {0, 0, 0, 9};
  Arrays::copyArray(from, to, 3);
  EXPECT_EQ(std::vector<int>(to, to + 4), (std::vector<int>{3, 1, 4, 9}));

  std::ostringstream out;
  const double values[] = {1.5, 2.0, 1e-7, 1234567.0};
  Text::printArray(values, 4, out, true);
  Text::printArray(from, 3, out, false);
  Text::printArray(from, 0, out, true);
  EXPECT_EQ(out.str(), "1.5 2 1e-07 1.23457e+06 \n3 1 4 \n");

  std::ostringstream matrix;
  const int cells[] = {1, 2, 3, 4, 5, 6};
  Text::print2Dmatrix(cells, 2, 3, matrix);
  EXPECT_EQ(matrix.str(), "1 2 3 \n4 5 6 \n");
}

TEST(ArrayHelpers, Factorial) {
  const struct {
    double a, expected;
  } cases[] = {{5, 120}, {0, 1}, {1, 1}, {2, 2}, {3, 6}, {10, 3628800}, {-3, 1}};
  for (const auto& c : cases) EXPECT_EQ(MathPlus::factorial(c.a), c.expected) << c.a;
}

TEST(MathPlus, GuardedLogGamma) {
  const double pi = std::acos(-1.0);
  const struct {
    double a, expected;
  } cases[] = {
      {0, 0},
      {1, 0},
      {2, 0},
      {0.5, std::log(std::sqrt(pi))},
      {5, std::log(24.0)},
      {-0.5, std::log(2 * std::sqrt(pi))},  // log |Gamma(-1/2)|
      {1e-300, 690.7755278982137},           // -log(1e-300): only exactly 0 is guarded
  };
  for (const auto& c : cases) EXPECT_NEAR(MathPlus::mylgamma(c.a), c.expected, 1e-12) << c.a;
  EXPECT_EQ(MathPlus::mylgamma(0.0), 0.0);
  EXPECT_EQ(MathPlus::mylgamma(-0.0), 0.0);
}

// Heated chains score on several threads: the log-gamma must not write the sign to the
// global signgam (a data race), and must give lgamma's own doubles, bit for bit.
TEST(MathPlus, LogGammaLeavesTheGlobalSignAloneAndKeepsLgammasDoubles) {
  const double values[] = {1e-300, 1e-8, 0.5, 1, 1.5, 2.75, 10, 171.5, 1e6, -0.5, -2.5};
  for (double a : values) {
    const double expected = std::lgamma(a);
#if defined(__GLIBC__)
    signgam = 7;
    EXPECT_EQ(MathPlus::mylgamma(a), expected) << a;
    EXPECT_EQ(signgam, 7) << a;
#else
    EXPECT_EQ(MathPlus::mylgamma(a), expected) << a;
#endif
  }
}

TEST(MathPlus, LogBeta) {
  const double pi = std::acos(-1.0);
  const struct {
    std::vector<double> alpha;
    bool logged;
    double expected;
  } cases[] = {
      {{1, 1}, true, 0},
      {{2, 3}, false, 1.0 / 12},
      {{2, 3}, true, std::log(1.0 / 12)},
      {{0.5, 0.5}, true, std::log(pi)},
      {{1, 1, 1}, true, -std::log(2.0)},  // B(1,1,1) = 1/Gamma(3)
      {{0, 2}, true, 0},                  // a zero parameter contributes nothing
  };
  for (const auto& c : cases)
    EXPECT_NEAR(MathPlus::lbeta(c.alpha.data(), static_cast<int>(c.alpha.size()), c.logged),
                c.expected, 1e-12)
        << ::testing::PrintToString(c.alpha) << " logged " << c.logged;
}

TEST(MathPlus, TriangleIndexExamples) {
  const struct {
    int seqno, row, col;
  } cases[] = {{0, 1, 0}, {1, 2, 0}, {2, 2, 1}, {3, 3, 0}, {4, 3, 1},
               {5, 3, 2}, {6, 4, 0}, {9, 4, 3}, {10, 5, 0}, {4949, 99, 98}};
  for (const auto& c : cases) {
    int row = -1, col = -1;
    MathPlus::getRowCol(c.seqno, row, col);
    EXPECT_EQ(std::make_pair(row, col), std::make_pair(c.row, c.col)) << c.seqno;
  }
}

TEST(MathPlus, TriangleIndexVisitsEveryPairOnce) {
  for (int n : {2, 3, 7, 60, 300}) {
    SCOPED_TRACE(n);
    std::set<std::pair<int, int>> seen;
    for (int seqno = 0; seqno < n * (n - 1) / 2; seqno++) {
      int row = -1, col = -1;
      MathPlus::getRowCol(seqno, row, col);
      ASSERT_GT(row, col);
      ASSERT_GE(col, 0);
      ASSERT_LT(row, n);
      ASSERT_EQ(row * (row - 1) / 2 + col, seqno);
      ASSERT_TRUE(seen.insert({row, col}).second) << "pair visited twice at " << seqno;
    }
    EXPECT_EQ(static_cast<int>(seen.size()), n * (n - 1) / 2);
  }
}

TEST(StatPlus, DirichletDensity) {
  const struct {
    std::vector<double> x, alpha;
    double expectedLog;
  } cases[] = {
      {{0.3, 0.7}, {1, 1}, 0},                                 // uniform on the simplex
      {{0.5, 0.5}, {2, 2}, std::log(1.5)},                     // 3! * 0.5 * 0.5
      {{0.2, 0.3, 0.5}, {2, 1, 1}, std::log(2 * 3 * 0.2)},     // Gamma(4)/Gamma(2) * x1
      {{0.25, 0.75}, {0.5, 0.5}, -std::log(std::acos(-1.0) * std::sqrt(0.25 * 0.75))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.x));
    short d = static_cast<short>(c.x.size());
    std::vector<double> logx;
    for (double v : c.x) logx.push_back(std::log(v));
    EXPECT_NEAR(StatPlus::ddirichlet(c.x.data(), c.alpha.data(), d, true), c.expectedLog, 1e-12);
    EXPECT_NEAR(StatPlus::ddirichlet(c.x.data(), c.alpha.data(), d, false),
                std::exp(c.expectedLog), 1e-12);
    EXPECT_NEAR(StatPlus::ddirichlet_log(logx.data(), c.alpha.data(), d, true), c.expectedLog,
                1e-12);
    EXPECT_NEAR(StatPlus::ddirichlet_log(logx.data(), c.alpha.data(), d, false),
                std::exp(c.expectedLog), 1e-12);
  }
}

TEST(DirichletRV, IntegratedLikelihoodOfCounts) {
  const struct {
    std::vector<double> alpha;
    std::vector<int> counts;
    double expected;
  } cases[] = {
      {{1, 1}, {1, 0}, std::log(0.5)},
      {{1, 1}, {2, 1}, std::log(1.0 / 12)},
      {{0.5, 0.5}, {2, 0}, std::log(0.375)},
      {{0.5, 0.5}, {0, 0}, 0},
      {{1, 1, 1}, {1, 1, 1}, std::log(1.0 / 60)},  // Gamma(3) / Gamma(6)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.alpha) + " " + ::testing::PrintToString(c.counts));
    DirichletRV prior(static_cast<short>(c.alpha.size()), c.alpha.data());
    EXPECT_NEAR(prior.logIntegratedLik(c.counts.data()), c.expected, 1e-12);
  }
  EXPECT_EQ(DirichletRV(2, 0.5).logIntegratedLik(std::vector<int>{0, 0}.data()), 0.0);
}

TEST(DirichletRV, CopiesAreIndependentAndPosteriorAddsCounts) {
  DirichletRV prior(3, 0.5);
  DirichletRV posterior = prior;
  const int counts[] = {2, 0, 5};
  posterior.setWithCountsPrior(counts, prior);
  EXPECT_EQ(posterior.alpha, (std::vector<double>{2.5, 0.5, 5.5}));
  EXPECT_EQ(prior.alpha, (std::vector<double>{0.5, 0.5, 0.5}));
  DirichletRV flat(4);
  EXPECT_EQ(flat.dimension, 4);
  EXPECT_EQ(flat.alpha, (std::vector<double>(4, 1.0)));
}

}  // namespace
