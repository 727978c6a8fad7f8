#include "models/mvn.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "io/Files.h"
#include "io/Text.h"
#include "stats/MathPlus.h"

namespace {

const double kLogPi = 1.1447298858494002;

// log of the multivariate gamma function of dimension d at a.
double logMultiGamma(int d, double a) {
  double out = d * (d - 1) / 4.0 * kLogPi;
  for (int j = 0; j < d; j++) out += MathPlus::mylgamma(a - j / 2.0);
  return out;
}

// Log determinant of the symmetric d x d matrix a (row-major), overwritten in its lower
// triangle by its Cholesky factor; NaN when a is not positive definite.
double choleskyLogDet(double* a, int d) {
  double logDet = 0;
  for (int j = 0; j < d; j++) {
    double* rowJ = a + static_cast<size_t>(j) * d;
    double pivot = rowJ[j];
    for (int p = 0; p < j; p++) pivot -= rowJ[p] * rowJ[p];
    if (!(pivot > 0)) return std::numeric_limits<double>::quiet_NaN();
    const double root = std::sqrt(pivot);
    rowJ[j] = root;
    logDet += std::log(pivot);
    for (int i = j + 1; i < d; i++) {
      double* rowI = a + static_cast<size_t>(i) * d;
      double v = rowI[j];
      for (int p = 0; p < j; p++) v -= rowI[p] * rowJ[p];
      rowI[j] = v / root;
    }
  }
  return logDet;
}

}  // namespace

MvnData::MvnData(const std::string& dataFileName, std::istream& priorStream,
                 std::ostream& logFile, double scale)
    : RealData(dataFileName, logFile, scale, false) {
  const int d = T;
  if (n < 2)
    Files::fail(logFile, "Bad mvn data file " + dataFileName +
                         ": 1 row, the prior needs at least 2 for the covariances");
  std::string token;
  priorStream >> token;
  char* end = nullptr;
  const double c = std::strtod(token.c_str(), &end);
  if (token.empty() || *end != '\0' || !std::isfinite(c) || c <= 0)
    Files::fail(logFile, "mvn: prior is not a positive finite number: " + token);

  // The rows are kept less their mean, the prior mean: sums stay small and the prior
  // mean drops out of every formula.
  std::vector<double> mean(d, 0.0), variance(d, 0.0);
  for (int i = 0; i < n; i++)
    for (int t = 0; t < d; t++) mean[t] += data[i][t];
  for (int t = 0; t < d; t++) mean[t] /= n;
  for (int i = 0; i < n; i++)
    for (int t = 0; t < d; t++) {
      data[i][t] -= mean[t];
      variance[t] += data[i][t] * data[i][t];
    }
  mu0.resize(d);
  for (int t = 0; t < d; t++) {
    mu0[t] = origin[t] + mean[t];
    variance[t] /= n - 1;
    // A column without variance would make the prior scale singular and every score
    // infinite. Values equal up to rounding are a constant column; values that differ yet
    // whose squared deviations underflow (near 1e-300) are not, and are named as such.
    if (!(variance[t] > 0)) {
      double low = data[0][t], high = data[0][t];
      for (int i = 1; i < n; i++) {
        low = std::min(low, data[i][t]);
        high = std::max(high, data[i][t]);
      }
      const double magnitude = std::max(std::fabs(low + mu0[t]), std::fabs(high + mu0[t]));
      const std::string column = "Bad mvn data file " + dataFileName + ": column " + Text::n2s(t + 1);
      if (!(high - low > 1e-12 * magnitude))
        Files::fail(logFile, column + " is constant, the prior scale needs spread in every column");
      Files::fail(logFile, column + " spans only " + Text::n2s(high - low) +
                           ", too little for its variance in double precision: scale the column");
    }
  }
  nu0 = d + 2.0;
  kappa0 = 0.01;
  // The prior expects a cluster's covariance to be the data's variances (with nu0 = d + 2 its
  // mean is psi0), but weighs that as d + 2 rows only, so that tighter clusters soon show:
  // on the bench's sets smaller scales (0.25, 0.1 of the variances) split the known groups.
  // The diagonal, not the full covariance: the data's correlations are mostly those between
  // the clusters' centres, and a full matrix is singular for columns that are combinations
  // of others.
  const double factor = 1 / std::pow(c, 2.0 / d);
  psi0.assign(static_cast<size_t>(d) * d, 0.0);
  for (int t = 0; t < d; t++) psi0[static_cast<size_t>(t) * d + t] = variance[t] * factor;
  std::vector<double> factor0 = psi0;
  logDetPsi0 = choleskyLogDet(factor0.data(), d);
  if (!std::isfinite(logDetPsi0))
    Files::fail(logFile, "mvn: prior gives a prior scale with log determinant " +
                         Text::n2s(logDetPsi0) + ", not finite: " + token);

  sizeTerm.resize(n + 1);
  const double priorPart = -logMultiGamma(d, nu0 / 2) + nu0 / 2 * logDetPsi0;
  for (int m = 0; m <= n; m++) {
    const double kappaN = kappa0 + m, nuN = nu0 + m;
    sizeTerm[m] = -(m * d / 2.0) * kLogPi + logMultiGamma(d, nuN / 2) + priorPart +
                   d / 2.0 * (std::log(kappa0) - std::log(kappaN));
  }

  logFile << "Hyperpriors (normal-inverse-Wishart)\n"
          << "mu0 (the data mean):";
  for (int t = 0; t < d; t++) logFile << ' ' << mu0[t];
  logFile << "\nkappa0: " << kappa0 << '\n'
          << "nu0 (d + 2): " << nu0 << '\n'
          << "Psi0 (diagonal: the data variances / c^(2/d), c = " << c << "):";
  for (int t = 0; t < d; t++) logFile << ' ' << psi0[static_cast<size_t>(t) * d + t];
  logFile << "\n\n";
}

mvn::mvn(const std::string& dataFileName, std::istream& priorStream, std::ostream& _logFile,
         double _scale)
    : mvn(std::make_shared<const MvnData>(dataFileName, priorStream, _logFile, _scale), _scale) {}

mvn::mvn(std::shared_ptr<const MvnData> data, double _scale)
    : RealRows(data, _scale), data_(std::move(data)), p_(*data_) {
  work_.mean.assign(T, 0.0);
  work_.matrix.assign(static_cast<size_t>(T) * T, 0.0);
  work_.moments.assign(static_cast<size_t>(T) + static_cast<size_t>(T) * (T + 1) / 2, 0.0);
}

std::unique_ptr<Observable> mvn::copyForChain() const {
  auto copy = std::make_unique<mvn>(data_, scale);
  copy->scoring = scoring;
  return copy;
}

double mvn::scoreFromPosteriorScale(double* psiN, int members) const {
  const double logDet = choleskyLogDet(psiN, T);
  if (std::isnan(logDet)) return -std::numeric_limits<double>::infinity();
  return scale * (p_.sizeTerm[members] - (p_.nu0 + members) / 2 * logDet);
}

double mvn::getClusterFit(const int* z, int j) const {
  if (scoring == ScoringMode::Fast) return momentsFit(z, j);
  int* list = work_.members.data();
  return scoreList(list, listMembers(z, static_cast<short>(j), list));
}

// Members in ascending order: their mean, then the scatter about it (two passes, no
// cancellation), then psiN = p_.psi0 + scatter + p_.kappa0 m / (p_.kappa0 + m) mean mean'.
double mvn::scoreList(const int* list, int members) const {
  if (members == 0) return 0;
  const int d = T;
  double* mean = work_.mean.data();
  for (int t = 0; t < d; t++) mean[t] = 0;
  for (int k = 0; k < members; k++) {
    const double* row = data[list[k]];
    for (int t = 0; t < d; t++) mean[t] += row[t];
  }
  for (int t = 0; t < d; t++) mean[t] /= members;
  double* psiN = work_.matrix.data();
  const double shrunk = p_.kappa0 * members / (p_.kappa0 + members);
  for (int a = 0; a < d; a++)
    for (int b = 0; b <= a; b++)
      psiN[static_cast<size_t>(a) * d + b] =
          p_.psi0[static_cast<size_t>(a) * d + b] + shrunk * mean[a] * mean[b];
  for (int k = 0; k < members; k++) {
    const double* row = data[list[k]];
    for (int a = 0; a < d; a++) {
      const double ya = row[a] - mean[a];
      double* out = psiN + static_cast<size_t>(a) * d;
      for (int b = 0; b <= a; b++) out[b] += ya * (row[b] - mean[b]);
    }
  }
  return scoreFromPosteriorScale(psiN, members);
}

int mvn::momentsSize() const {
  return scoring == ScoringMode::Fast ? T + T * (T + 1) / 2 : 0;
}

void mvn::addToMoments(int i, double* moments, int sign) const {
  const double* row = data[i];
  const int d = T;
  double* outer = moments + d;
  for (int a = 0; a < d; a++) {
    moments[a] += sign * row[a];
    const double ya = sign * row[a];
    for (int b = 0; b <= a; b++) *outer++ += ya * row[b];
  }
}

// psiN = p_.psi0 + (sum of outer products) - sum sum' / (p_.kappa0 + m): the same matrix as above,
// since the prior mean is 0 in the stored coordinates.
double mvn::scoreMoments(const double* moments, int members) const {
  if (members == 0) return 0;
  const int d = T;
  const double* sum = moments;
  const double* outer = moments + d;
  const double inverse = 1.0 / (p_.kappa0 + members);
  double* psiN = work_.matrix.data();
  for (int a = 0; a < d; a++)
    for (int b = 0; b <= a; b++)
      psiN[static_cast<size_t>(a) * d + b] =
          p_.psi0[static_cast<size_t>(a) * d + b] + *outer++ - sum[a] * sum[b] * inverse;
  return scoreFromPosteriorScale(psiN, members);
}
