#include "stats/RandomPlus.h"

#include <cmath>
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

int RandomPlus::drawGeneralizedBern(const double* logMean0, int numCells, double& logProb) {
  double total = MathPlus::logSumExp(logMean0, numCells);
  int d;
  if (numCells == 1) {
    d = 0;
  } else {
    // Same arithmetic as normalising into an array first, without the array.
    double u = myunif_rand();
    double s = 0;
    d = -1;
    int lastPositive = numCells - 1;
    for (int j = 0; j < numCells; j++) {
      double p = std::exp(logMean0[j] - total);
      s += p;
      if (s > u) {
        d = j;
        break;
      }
      if (p > 0) lastPositive = j;
    }
    if (d < 0) d = lastPositive;
  }
  logProb = logMean0[d] - total;
  return d;
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
