#include "models/mclust2.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "stats/MathPlus.h"
#include "io/Files.h"
#include "io/Text.h"

namespace {
const double kTwoPi = 6.283185307179586;
}

Mclust2Data::Mclust2Data(const std::string& dataFileName, std::istream& priorStream,
                         std::ostream& logFile, double scale)
    : DiagonalData(dataFileName, logFile, scale) {
  std::vector<double> count(T, 0.0), mean2(T, 0.0);
  if (n < 2)
    Files::fail(logFile, "Bad mclust2 data file " + dataFileName +
                         ": 1 row, the prior needs at least 2 for the variances");
  lambda = 0.01;
  alpha = (T + 2) / 2.0;
  beta = 0;
  if (missing > 0) {
    // The same from each column's seen values; a column seen fewer than twice adds nothing.
    std::vector<int> all(n);
    for (int i = 0; i < n; i++) all[i] = i;
    mu0.assign(T, 0.0);
    listColumnSums(data, T, all.data(), n, count.data(), mu0.data(), mean2.data());
    for (int t = 0; t < T; t++) {
      const double m = count[t];
      if (m == 0) continue;
      mu0[t] /= m;
      mean2[t] /= m;
      if (m >= 2) beta += (mean2[t] - mu0[t] * mu0[t]) * m / (m - 1);
    }
  } else {
    // Overall averages and averages of squares.
    mu0.assign(T, 0.0);
    for (int i = 0; i < n; i++)
      for (int t = 0; t < T; t++) {
        mu0[t] += data[i][t];
        mean2[t] += data[i][t] * data[i][t];
      }
    for (int t = 0; t < T; t++) {
      mu0[t] /= n;
      mean2[t] /= n;
    }
    for (int t = 0; t < T; t++) beta += (mean2[t] - mu0[t] * mu0[t]) * n / (n - 1);
  }

  std::string token;
  priorStream >> token;
  char* end = nullptr;
  double c = std::strtod(token.c_str(), &end);
  if (token.empty() || *end != '\0' || !std::isfinite(c) || c <= 0)
    Files::fail(logFile, "mclust2: prior is not a positive finite number: " + token);
  // No spread at all would make every score log(0) - log(0).
  if (!(beta > 0))
    Files::fail(logFile, "Bad mclust2 data file " + dataFileName +
                         ": every column is constant, the prior needs some spread");
  beta /= 2.0 * T * std::pow(c, 2.0 / T);
  // A rate of 0 or near the largest double makes the scores infinite or NaN; the data's
  // share of every cluster's rate is bounded by the reader's check of the sums of squares.
  if (!(beta > 0) || !(beta <= std::numeric_limits<double>::max() / 4))
    Files::fail(logFile, "mclust2: prior gives the prior rate beta " + Text::n2s(beta) +
                         ", too " + (beta > 0 ? "large" : "small") +
                         " for finite scores: " + token);

  sizeTerm.resize(n + 1);
  for (int members = 0; members <= n; members++) sizeTerm[members] = sizePart(members);

  logFile << "Hyperpriors\n"
          << "lambda: " << lambda << '\n'
          << "alpha: " << alpha << '\n'
          << "beta: " << beta << '\n'
          << '\n';
}

mclust2::mclust2(const std::string& dataFileName, std::istream& priorStream,
                 std::ostream& _logFile, double _scale)
    : mclust2(std::make_shared<const Mclust2Data>(dataFileName, priorStream, _logFile, _scale),
              _scale) {}

mclust2::mclust2(std::shared_ptr<const Mclust2Data> data, double _scale)
    : DiagonalRows(data, _scale), data_(std::move(data)), p_(*data_) {}

std::unique_ptr<Observable> mclust2::copyForChain() const {
  auto copy = std::make_unique<mclust2>(data_, scale);
  copy->scoring = scoring;
  return copy;
}

int mclust2::getMean(const int* z, short int j, double* mean, double* mean2) const {
  for (int t = 0; t < T; t++) mean[t] = mean2[t] = 0;
  int members = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != j) continue;
    members++;
    for (int t = 0; t < T; t++) {
      mean[t] += data[i][t];
      mean2[t] += data[i][t] * data[i][t];
    }
  }
  if (members > 0)
    for (int t = 0; t < T; t++) {
      mean[t] /= members;
      mean2[t] /= members;
    }
  return members;
}

double mclust2::betaNew(int t, int members, double mean, double mean2, double lambdaNew) const {
  double half = members / 2.0;
  double d = mean - p_.mu0[t];
  return p_.beta + half * (mean2 - mean * mean) + half * (p_.lambda / lambdaNew) * d * d;
}

double Mclust2Data::sizePart(int members) const {
  double lambdanew = lambda + members;
  double alphanew = alpha + members / 2.0;
  return -(members / 2.0) * std::log(kTwoPi) + 0.5 * std::log(lambda / lambdanew) +
         MathPlus::mylgamma(alphanew) - MathPlus::mylgamma(alpha) + alpha * std::log(beta);
}

double mclust2::getClusterFit(const int* z, int j) const {
  if (scoring == ScoringMode::Reference) return clusterFitReference(z, j);
  if (scoring == ScoringMode::Fast) return momentsFit(z, j);
  return clusterFitFast(z, j);
}

double mclust2::clusterFitReference(const int* z, int j) const {
  if (missing_ > 0) return clusterFitFast(z, j);
  int members = getMean(z, static_cast<short>(j), work_.mean.data(), work_.mean2.data());
  if (members == 0) return 0;
  double lambdanew = p_.lambda + members;
  double alphanew = p_.alpha + members / 2.0;
  double ll = 0;
  for (int t = 0; t < T; t++) {
    double betanew = betaNew(t, members, work_.mean[t], work_.mean2[t], lambdanew);
    ll += -(members / 2.0) * std::log(kTwoPi) + 0.5 * std::log(p_.lambda / lambdanew) +
          MathPlus::mylgamma(alphanew) - MathPlus::mylgamma(p_.alpha) + p_.alpha * std::log(p_.beta) -
          alphanew * std::log(betanew);
  }
  return scale * ll;
}

double mclust2::clusterFitFast(const int* z, int j) const {
  int* list = work_.members.data();
  return scoreList(list, listMembers(z, static_cast<short>(j), list));
}

double mclust2::columnTerm(double m, double within, double d) const {
  const double lambdanew = p_.lambda + m;
  const double alphanew = p_.alpha + m / 2.0;
  const double betanew = p_.beta + 0.5 * within + (m / 2.0) * (p_.lambda / lambdanew) * d * d;
  return -(m / 2.0) * std::log(kTwoPi) + 0.5 * std::log(p_.lambda / lambdanew) +
         MathPlus::mylgamma(alphanew) - MathPlus::mylgamma(p_.alpha) + p_.alpha * std::log(p_.beta) -
         alphanew * std::log(betanew);
}

// Each column from its own seen values; a column none of the members shows adds nothing.
double mclust2::scoreListMissing(const int* list, int members) const {
  listColumnSums(data, T, list, members, work_.count.data(), work_.mean.data(), work_.mean2.data());
  double ll = 0;
  for (int t = 0; t < T; t++) {
    const double m = work_.count[t];
    if (m == 0) continue;
    const double mean = work_.mean[t] / m;
    ll += columnTerm(m, std::max(0.0, work_.mean2[t] - work_.mean[t] * mean), mean - p_.mu0[t]);
  }
  return scale * ll;
}

double mclust2::scoreList(const int* list, int members) const {
  if (members == 0) return 0;
  if (missing_ > 0) return scoreListMissing(list, members);
  listMeans(list, members, work_.mean.data(), work_.mean2.data());
  double lambdanew = p_.lambda + members;
  double alphanew = p_.alpha + members / 2.0;
  const double sizePart = p_.sizeTerm[members];
  double ll = 0;
  for (int t = 0; t < T; t++) {
    double betanew = betaNew(t, members, work_.mean[t], work_.mean2[t], lambdanew);
    ll += sizePart - alphanew * std::log(betanew);
  }
  return scale * ll;
}

// The same terms from the centred sums: the mean's distance from p_.mu0 (the centre) is the
// centred average, the within-cluster spread the centred sum of squares less m times it
// squared.
double mclust2::scoreMoments(const double* moments, int members) const {
  if (members == 0) return 0;
  if (missing_ > 0) {
    // Centred at p_.mu0, the seen values' average.
    double ll = 0;
    for (int t = 0; t < T; t++) {
      const double m = moments[2 * T + t];
      if (m <= 0) continue;
      const double d = moments[t] / m;
      ll += columnTerm(m, std::max(0.0, moments[T + t] - moments[t] * d), d);
    }
    return scale * ll;
  }
  const double* sum = moments;
  const double* sum2 = moments + T;
  const double lambdanew = p_.lambda + members;
  const double alphanew = p_.alpha + members / 2.0;
  const double sizePart = p_.sizeTerm[members];
  const double half = members / 2.0;
  // One log of the product of the rates instead of one per dimension; the product is
  // logged and restarted before it can leave the range of a double.
  double logRates = 0, product = 1;
  for (int t = 0; t < T; t++) {
    const double d = sum[t] / members;
    const double within = std::max(0.0, sum2[t] - sum[t] * d);
    const double rate = p_.beta + 0.5 * within + half * (p_.lambda / lambdanew) * d * d;
    if (rate > 1e100 || rate < 1e-100) {
      logRates += std::log(rate);
      continue;
    }
    product *= rate;
    if (product > 1e200 || product < 1e-200) {
      logRates += std::log(product);
      product = 1;
    }
  }
  logRates += std::log(product);
  return scale * (T * sizePart - alphanew * logRates);
}
