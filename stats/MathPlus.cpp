#include "stats/MathPlus.h"

#include <cmath>
#include <limits>

#include "stats/Arrays.h"

double MathPlus::mylgamma(double a) {
  if (a == 0) return 0.0;
#if defined(__GLIBC__) || defined(__APPLE__)
  // lgamma writes the sign to the global signgam, a data race between heated chains;
  // lgamma_r computes the same value with the sign kept local.
  int sign;
  return lgamma_r(a, &sign);
#else
  return std::lgamma(a);
#endif
}

double MathPlus::lbeta(const double* alpha, int m, bool logged) {
  double out = 0;
  double alphaSum = 0;
  for (int i = 0; i < m; i++) {
    out += mylgamma(alpha[i]);
    alphaSum += alpha[i];
  }
  double value = out - mylgamma(alphaSum);
  return logged ? value : std::exp(value);
}

void MathPlus::getRowCol(int seqno, int& row, int& col) {
  int s = seqno + 1;
  row = static_cast<int>(std::floor(std::sqrt(2.0 * s)));
  col = s - row * (row + 1) / 2 - 1;
  if (col < 0)
    col += row;
  else
    row += 1;
}

namespace {
double dirichletLogDensity(const double* point, bool pointIsLog, const double* alpha,
                           short categories) {
  double S = 0;
  for (int i = 0; i < categories; i++) S += alpha[i];
  double lgammaSum = 0;
  for (int i = 0; i < categories; i++) lgammaSum += MathPlus::mylgamma(alpha[i]);
  double kernel = 0;
  for (int i = 0; i < categories; i++)
    kernel += (alpha[i] - 1) * (pointIsLog ? point[i] : std::log(point[i]));
  double value = MathPlus::mylgamma(S) - lgammaSum + kernel;
  return value;
}
}  // namespace

double StatPlus::ddirichlet(const double* x, const double* alpha, short categories,
                            bool logOutput) {
  double v = dirichletLogDensity(x, false, alpha, categories);
  return logOutput ? v : std::exp(v);
}

double StatPlus::ddirichlet_log(const double* logx, const double* alpha, short categories,
                                bool logOutput) {
  double v = dirichletLogDensity(logx, true, alpha, categories);
  return logOutput ? v : std::exp(v);
}

double MathPlus::logSumExp(const double* logValues, int howMany, const double* weights) {
  if (howMany == 1) return logValues[0] + std::log(weights[0]);
  double maximum = Arrays::arraymax(logValues, howMany);
  if (maximum == -std::numeric_limits<double>::infinity()) return maximum;
  if (maximum == std::numeric_limits<double>::infinity()) return maximum;
  double result = 0;
  for (int i = 0; i < howMany; i++) result += std::exp(logValues[i] - maximum) * weights[i];
  return maximum + std::log(result);
}

double MathPlus::logSumExp(const double* logValues, int howMany) {
  if (howMany == 1) return logValues[0];
  double maximum = Arrays::arraymax(logValues, howMany);
  if (maximum == -std::numeric_limits<double>::infinity()) return maximum;
  if (maximum == std::numeric_limits<double>::infinity()) return maximum;
  double result = 0;
  for (int i = 0; i < howMany; i++) result += std::exp(logValues[i] - maximum) * 1.0;
  return maximum + std::log(result);
}

double MathPlus::logAddExp(double logV1, double logV2) {
  double pair[2] = {logV1, logV2};
  return logSumExp(pair, 2);
}

double MathPlus::factorial(double a) { return a > 1 ? a * factorial(a - 1) : 1; }
