#include "report/principal.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace report {

void symmetricEigen(std::vector<double> a, int d, std::vector<double>& values,
                    std::vector<double>& vectors) {
  const size_t size = static_cast<size_t>(d);
  std::vector<double> v(size * size, 0.0);  // v[i * d + j]: component i of eigenvector j
  for (size_t i = 0; i < size; i++) v[i * size + i] = 1;
  auto at = [&](std::vector<double>& m, size_t i, size_t j) -> double& { return m[i * size + j]; };
  for (int sweep = 0; sweep < 100; sweep++) {
    double off = 0, diagonal = 0;
    for (size_t i = 0; i < size; i++) {
      diagonal += at(a, i, i) * at(a, i, i);
      for (size_t j = i + 1; j < size; j++) off += at(a, i, j) * at(a, i, j);
    }
    if (off <= 1e-30 * diagonal || off == 0) break;
    for (size_t p = 0; p < size; p++)
      for (size_t q = p + 1; q < size; q++) {
        const double apq = at(a, p, q);
        if (apq == 0) continue;
        // The rotation that zeroes a[p][q] (the smaller angle, for stability).
        const double theta = (at(a, q, q) - at(a, p, p)) / (2 * apq);
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (size_t r = 0; r < size; r++) {
          const double arp = at(a, r, p), arq = at(a, r, q);
          at(a, r, p) = c * arp - s * arq;
          at(a, r, q) = s * arp + c * arq;
        }
        for (size_t r = 0; r < size; r++) {
          const double apr = at(a, p, r), aqr = at(a, q, r);
          at(a, p, r) = c * apr - s * aqr;
          at(a, q, r) = s * apr + c * aqr;
        }
        for (size_t r = 0; r < size; r++) {
          const double vrp = at(v, r, p), vrq = at(v, r, q);
          at(v, r, p) = c * vrp - s * vrq;
          at(v, r, q) = s * vrp + c * vrq;
        }
      }
  }
  std::vector<size_t> order(size);
  std::iota(order.begin(), order.end(), size_t(0));
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    return at(a, x, x) != at(a, y, y) ? at(a, x, x) > at(a, y, y) : x < y;
  });
  values.assign(size, 0.0);
  vectors.assign(size * size, 0.0);
  for (size_t j = 0; j < size; j++) {
    values[j] = at(a, order[j], order[j]);
    for (size_t i = 0; i < size; i++) vectors[j * size + i] = at(v, i, order[j]);
  }
}

void leadingEigen(const std::vector<double>& a, int d, std::vector<double>& values,
                  std::vector<double>& vectors) {
  const size_t size = static_cast<size_t>(d);
  // Two fixed start vectors that no eigenvector is orthogonal to but by accident.
  std::vector<double> x(2 * size), y(2 * size);
  for (size_t t = 0; t < size; t++) {
    x[t] = std::sin(1.0 + t);
    x[size + t] = std::cos(2.0 * t + 0.5);
  }
  auto orthonormalise = [&](std::vector<double>& m) {
    for (size_t j = 0; j < 2; j++) {
      double* col = m.data() + j * size;
      if (j == 1) {
        const double along = std::inner_product(col, col + size, m.data(), 0.0);
        for (size_t t = 0; t < size; t++) col[t] -= along * m[t];
      }
      const double norm = std::sqrt(std::inner_product(col, col + size, col, 0.0));
      for (size_t t = 0; t < size; t++) col[t] = norm > 0 ? col[t] / norm : (t == j ? 1.0 : 0.0);
    }
  };
  orthonormalise(x);
  // Each iteration costs 2 d^2: a bound on the work keeps a wide matrix to seconds, at the
  // price of precision where the leading eigenvalues lie close (a picture, not a figure).
  const double work = 2.0 * size * size;
  const int iterations = static_cast<int>(std::max(50.0, std::min(5000.0, 1e9 / work)));
  for (int iteration = 0; iteration < iterations; iteration++) {
    for (size_t j = 0; j < 2; j++)
      for (size_t s = 0; s < size; s++)
        y[j * size + s] = std::inner_product(x.begin() + j * size, x.begin() + (j + 1) * size,
                                             a.begin() + s * size, 0.0);
    orthonormalise(y);
    double change = 0;
    for (size_t t = 0; t < 2 * size; t++) change = std::max(change, std::fabs(y[t] - x[t]));
    x.swap(y);
    if (change < 1e-12) break;
  }
  // The best pair within the subspace found: the eigenpairs of a projected onto it.
  std::vector<double> ax(2 * size);
  for (size_t j = 0; j < 2; j++)
    for (size_t s = 0; s < size; s++)
      ax[j * size + s] = std::inner_product(x.begin() + j * size, x.begin() + (j + 1) * size,
                                            a.begin() + s * size, 0.0);
  std::vector<double> small(4);
  for (size_t i = 0; i < 2; i++)
    for (size_t j = 0; j < 2; j++)
      small[i * 2 + j] = std::inner_product(x.begin() + i * size, x.begin() + (i + 1) * size,
                                            ax.begin() + j * size, 0.0);
  std::vector<double> rotation;
  symmetricEigen(small, 2, values, rotation);
  vectors.assign(2 * size, 0.0);
  for (size_t j = 0; j < 2; j++)
    for (size_t t = 0; t < size; t++)
      vectors[j * size + t] = rotation[j * 2] * x[t] + rotation[j * 2 + 1] * x[size + t];
}

namespace {

// Each column's mean and standard deviation (n - 1) over its seen cells.
void columnSpreads(const Matrix<double>& data, std::vector<double>& mean, std::vector<double>& sd) {
  const int n = data.rows(), d = data.cols();
  mean.assign(static_cast<size_t>(d), 0.0);
  sd.assign(static_cast<size_t>(d), 0.0);
  std::vector<int> seen(static_cast<size_t>(d), 0);
  for (int i = 0; i < n; i++)
    for (int t = 0; t < d; t++)
      if (!isMissing(data[i][t])) {
        mean[t] += data[i][t];
        seen[t]++;
      }
  for (int t = 0; t < d; t++) mean[t] = seen[t] > 0 ? mean[t] / seen[t] : 0;
  for (int i = 0; i < n; i++)
    for (int t = 0; t < d; t++)
      if (!isMissing(data[i][t])) sd[t] += (data[i][t] - mean[t]) * (data[i][t] - mean[t]);
  for (int t = 0; t < d; t++) sd[t] = seen[t] > 1 ? std::sqrt(sd[t] / (seen[t] - 1)) : 0;
}

}  // namespace

bool spreadsDiffer(const Matrix<double>& data) {
  std::vector<double> mean, sd;
  columnSpreads(data, mean, sd);
  double low = 0, high = 0;
  for (double s : sd)
    if (s > 0 && std::isfinite(s)) {
      low = low > 0 ? std::min(low, s) : s;
      high = std::max(high, s);
    }
  return low > 0 && high > kSpreadRatio * low;
}

Components principalComponents(const Matrix<double>& data, double work, bool standardise) {
  const int n = data.rows(), d = data.cols();
  const size_t size = static_cast<size_t>(d);
  std::vector<double> mean, sd;
  columnSpreads(data, mean, sd);
  std::vector<double> scale(size, 1.0);
  if (standardise)
    for (size_t t = 0; t < size; t++) scale[t] = sd[t] > 0 ? 1 / sd[t] : 1.0;
  auto centred = [&](int i, int t) { return isMissing(data[i][t]) ? 0.0 : (data[i][t] - mean[t]) * scale[t]; };

  std::vector<double> covariance(size * size, 0.0);
  std::vector<double> row(size);
  // Each row adds d^2 / 2 products: above work in all, an evenly spaced subset does.
  Components result;
  result.standardised = standardise;
  const double perRow = 0.5 * size * size;
  result.rowStep = std::max(1, static_cast<int>(std::ceil(n * perRow / work)));
  int used = 0;
  for (int i = 0; i < n; i += result.rowStep, used++) {
    for (int t = 0; t < d; t++) row[t] = centred(i, t);
    for (size_t s = 0; s < size; s++)
      for (size_t t = s; t < size; t++) covariance[s * size + t] += row[s] * row[t];
  }
  const double divisor = used > 1 ? used - 1 : 1;
  for (size_t s = 0; s < size; s++)
    for (size_t t = s; t < size; t++)
      covariance[t * size + s] = covariance[s * size + t] /= divisor;

  for (size_t t = 0; t < size; t++) result.totalVariance += covariance[t * size + t];
  std::vector<double> values, vectors;
  result.jacobi = d <= kJacobiColumns;
  if (result.jacobi)
    symmetricEigen(covariance, d, values, vectors);
  else
    leadingEigen(covariance, d, values, vectors);
  for (int j = 0; j < 2; j++) {
    std::vector<double>& axis = result.axis[j];
    axis.assign(vectors.begin() + j * d, vectors.begin() + (j + 1) * d);
    // A fixed sign, so the same data always give the same picture.
    size_t largest = 0;
    for (size_t t = 1; t < size; t++)
      if (std::fabs(axis[t]) > std::fabs(axis[largest])) largest = t;
    if (axis[largest] < 0)
      for (double& x : axis) x = -x;
    result.variance[j] = std::max(0.0, values[j]);
    result.score[j].assign(static_cast<size_t>(n), 0.0);
    for (int i = 0; i < n; i++)
      for (int t = 0; t < d; t++) result.score[j][i] += centred(i, t) * axis[t];
  }
  return result;
}

}  // namespace report
