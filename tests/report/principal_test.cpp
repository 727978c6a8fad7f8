// Principal components on data whose axes are known, and the eigen-solvers behind them on
// matrices built from known eigenpairs, by both methods.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <vector>

#include "report/principal.h"

namespace {

// |<a, b>| for unit vectors: 1 when they span the same line.
double alignment(const std::vector<double>& a, const std::vector<double>& b) {
  return std::fabs(std::inner_product(a.begin(), a.end(), b.begin(), 0.0));
}

TEST(Principal, pointsAlongAKnownLineGiveThatAxisAndItsVariance) {
  // Also with the covariance of every other row (a budget of 16 products for 4.5 per row of 7):
  // rows 1, 3, 5, 7 hold t = -3, -1, 1, 3 and s = 0.5, -0.5, -0.5, 0.5, again uncorrelated.
  struct Budget {
    double work;
    int step;
    double varianceT, varianceS;
  };
  const Budget budgets[] = {{report::kCovarianceWork, 1, 28.0 / 6, 1.0 / 6}, {16, 2, 20.0 / 3, 1.0 / 3}};
  for (const Budget& b : budgets) {
    SCOPED_TRACE(b.step);
    // t u + s w with u = (1, 2, 2) / 3 and w = (2, 1, -2) / 3 orthonormal, t and s uncorrelated.
    const double u[3] = {1.0 / 3, 2.0 / 3, 2.0 / 3}, w[3] = {2.0 / 3, 1.0 / 3, -2.0 / 3};
    const double t[7] = {-3, -2, -1, 0, 1, 2, 3}, s[7] = {0.5, 0, -0.5, 0, -0.5, 0, 0.5};
    Matrix<double> data(7, 3);
    for (int i = 0; i < 7; i++)
      for (int c = 0; c < 3; c++) data[i][c] = 10 * (c + 1) + t[i] * u[c] + s[i] * w[c];
    const report::Components pc = report::principalComponents(data, b.work);
    EXPECT_TRUE(pc.jacobi);
    EXPECT_EQ(pc.rowStep, b.step);
    // The sign puts the largest part positive: u itself (its first largest part is 2/3).
    for (int c = 0; c < 3; c++) EXPECT_NEAR(pc.axis[0][c], u[c], 1e-12);
    EXPECT_NEAR(alignment(pc.axis[1], {w[0], w[1], w[2]}), 1, 1e-12);
    EXPECT_NEAR(pc.variance[0], b.varianceT, 1e-12);
    EXPECT_NEAR(pc.variance[1], b.varianceS, 1e-12);
    EXPECT_NEAR(pc.totalVariance, b.varianceT + b.varianceS, 1e-12);
    for (int i = 0; i < 7; i++) {
      EXPECT_NEAR(pc.score[0][i], t[i], 1e-12);
      EXPECT_NEAR(std::fabs(pc.score[1][i]), std::fabs(s[i]), 1e-12);
    }
  }
}

TEST(Principal, missingCellCountsAsItsColumnMean) {
  Matrix<double> full(4, 3), gap(4, 3);
  const double rows[4][3] = {{0, 0, 1}, {2, 1, 0}, {4, 3, 2}, {6, 4, 1}};
  for (int i = 0; i < 4; i++)
    for (int c = 0; c < 3; c++) full[i][c] = gap[i][c] = rows[i][c];
  // Row 3's second cell gone; in full, the seen cells' mean (0 + 1 + 4) / 3 stands there.
  gap[2][1] = std::nan("");
  full[2][1] = 5.0 / 3;
  const report::Components a = report::principalComponents(full), b = report::principalComponents(gap);
  for (int c = 0; c < 3; c++) EXPECT_NEAR(a.axis[0][c], b.axis[0][c], 1e-12);
  for (int i = 0; i < 4; i++) EXPECT_NEAR(a.score[0][i], b.score[0][i], 1e-12);
}

// A = 5 u u' + 2 w w' + 0.1 I, u the normalised ones, w the normalised alternating signs.
std::vector<double> knownMatrix(int d, std::vector<double>& u, std::vector<double>& w) {
  u.assign(d, 1 / std::sqrt(d));
  w.assign(d, 0.0);
  for (int i = 0; i < d; i++) w[i] = (i % 2 ? -1 : 1) / std::sqrt(d);
  std::vector<double> a(static_cast<size_t>(d) * d, 0.0);
  for (int i = 0; i < d; i++)
    for (int j = 0; j < d; j++) a[i * d + j] = 5 * u[i] * u[j] + 2 * w[i] * w[j] + (i == j ? 0.1 : 0);
  return a;
}

TEST(Principal, bothSolversFindTheLeadingPairsOfAKnownMatrix) {
  struct Case {
    int d;
    bool jacobi;
  };
  for (const Case c : {Case{4, true}, Case{10, true}, Case{10, false}, Case{80, false}}) {
    SCOPED_TRACE(std::to_string(c.d) + (c.jacobi ? " Jacobi" : " subspace"));
    std::vector<double> u, w, values, vectors;
    const std::vector<double> a = knownMatrix(c.d, u, w);
    if (c.jacobi)
      report::symmetricEigen(a, c.d, values, vectors);
    else
      report::leadingEigen(a, c.d, values, vectors);
    ASSERT_GE(values.size(), 2u);
    EXPECT_NEAR(values[0], 5.1, 1e-9);
    EXPECT_NEAR(values[1], 2.1, 1e-9);
    if (c.jacobi) {
      for (int j = 2; j < c.d; j++) EXPECT_NEAR(values[j], 0.1, 1e-9);
    }
    EXPECT_NEAR(alignment({vectors.begin(), vectors.begin() + c.d}, u), 1, 1e-9);
    EXPECT_NEAR(alignment({vectors.begin() + c.d, vectors.begin() + 2 * c.d}, w), 1, 1e-9);
  }
}

TEST(Principal, manyColumnsUseSubspaceIteration) {
  const int d = report::kJacobiColumns + 5;
  // Columns 0 mod 3 hold t, columns 1 mod 3 a small s uncorrelated with t, the rest nothing.
  const double s[6] = {0.1, -0.1, 0, 0, -0.1, 0.1};
  Matrix<double> data(6, d);
  for (int i = 0; i < 6; i++)
    for (int c = 0; c < d; c++) data[i][c] = c % 3 == 0 ? i - 2.5 : c % 3 == 1 ? s[i] : 0;
  const report::Components pc = report::principalComponents(data);
  EXPECT_FALSE(pc.jacobi);
  // The first axis: the columns c = 0 mod 3, equally.
  const int along = (d + 2) / 3;
  for (int c = 0; c < d; c++) EXPECT_NEAR(pc.axis[0][c], c % 3 == 0 ? 1 / std::sqrt(along) : 0, 1e-6);
}

}  // namespace
