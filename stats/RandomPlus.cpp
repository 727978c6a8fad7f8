#include "stats/RandomPlus.h"

#include <cmath>
#include <limits>
#include <vector>

#include "stats/Arrays.h"
#include "stats/MathPlus.h"
#include "stats/rvgs.h"

void RandomPlus::rdirichlet(const double* alpha, short categories, double* out, bool Log) {
  for (int i = 0; i < categories; i++) out[i] = rGamma(alpha[i], Log);
  if (Log) {
    double total = MathPlus::logSumExp(out, categories);
    for (int i = 0; i < categories; i++) out[i] -= total;
  } else {
    double total = Arrays::sum(out, categories);
    for (int i = 0; i < categories; i++) out[i] /= total;
  }
}

int RandomPlus::rGeneralizedBern(const double* mean, int dimension) {
  if (dimension == 1) return 0;
  double u = myunif_rand();
  double s = 0;
  int lastPositive = dimension - 1;
  for (int d = 0; d < dimension; d++) {
    s += mean[d];
    if (s > u) return d;
    if (mean[d] > 0) lastPositive = d;
  }
  // Rounding left the running sum at or below u: take the last cell that can occur.
  return lastPositive;
}

namespace {
// The running-sum rule of drawGeneralizedBern over log weights normalised by total.
int pickByRunningSum(const double* logMean0, int numCells, double total, double u) {
  // Same arithmetic as normalising into an array first, without the array.
  double s = 0;
  int lastPositive = numCells - 1;
  for (int j = 0; j < numCells; j++) {
    double p = std::exp(logMean0[j] - total);
    s += p;
    if (s > u) return j;
    if (p > 0) lastPositive = j;
  }
  return lastPositive;
}
}  // namespace

int RandomPlus::drawGeneralizedBern(const double* logMean0, int numCells, double& logProb) {
  double total = MathPlus::logSumExp(logMean0, numCells);
  const int d = numCells == 1 ? 0 : pickByRunningSum(logMean0, numCells, total, myunif_rand());
  logProb = logMean0[d] - total;
  return d;
}

int RandomPlus::drawGeneralizedBernAt(const double* logMean0, int numCells, double u) {
  return pickByRunningSum(logMean0, numCells, MathPlus::logSumExp(logMean0, numCells), u);
}

int RandomPlus::drawGeneralizedBernBounded(const double* approx, int numCells, double maxError,
                                           double u) {
  for (int j = 0; j < numCells; j++)
    if (!std::isfinite(approx[j])) return -1;
  const double total = MathPlus::logSumExp(approx, numCells);
  // Both computations round the normaliser, each exponent and each exp: every weight of
  // one is within a factor exp(+-spread) of the other's, and the running sums (at most
  // about 1) differ by rounding of order numCells ulps more.
  const double eps = std::numeric_limits<double>::epsilon();
  const double spread =
      2 * maxError + (2.0 * numCells + 3200) * eps + 8 * eps * (std::fabs(total) + maxError + 1);
  const double margin = 1.5 * (std::expm1(spread) + (2.0 * numCells + 8) * eps) + 1e-300;
  if (!(margin < 1e-3)) return -1;
  double s = 0;
  for (int j = 0; j < numCells; j++) {
    s += std::exp(approx[j] - total);
    if (s > u - margin) return s > u + margin ? j : -1;
  }
  // The exact sum might end at or below u, where the last possible cell is taken.
  return -1;
}

int RandomPlus::drawGeneralizedBern(const double* logMean0, int numCells) {
  double logProb;
  return drawGeneralizedBern(logMean0, numCells, logProb);
}

template <class T>
void RandomPlus::SampleWithoutReplacement(int n, int k, T* y, bool zeroBased) {
  std::vector<T> x(n);
  for (int i = 0; i < n; i++) x[i] = static_cast<T>(i);
  int m = n;
  for (int i = 0; i < k; i++) {
    int j = static_cast<int>(myunif_rand() * m);
    y[i] = zeroBased ? x[j] : x[j] + 1;
    x[j] = x[--m];
  }
}

template void RandomPlus::SampleWithoutReplacement<int>(int, int, int*, bool);
