#include "models/diagonal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "io/Files.h"
#include "io/Text.h"
#include "stats/MathPlus.h"

namespace {
const double kTwoPi = 6.283185307179586;
}

DiagonalNormalData::DiagonalNormalData(const std::string& dataFileName, std::istream& priorStream,
                                       std::ostream& logFile, double scale)
    : DiagonalData(dataFileName, logFile, scale, false) {
  if (n < 2)
    Files::fail(logFile, "Bad diagonal data file " + dataFileName +
                         ": 1 row, the prior needs at least 2 for the variances");
  std::string token;
  priorStream >> token;
  char* end = nullptr;
  const double c = std::strtod(token.c_str(), &end);
  if (token.empty() || *end != '\0' || !std::isfinite(c) || c <= 0)
    Files::fail(logFile, "diagonal: prior is not a positive finite number: " + token);
  const double factor = 1 / (2 * std::pow(c, 2.0 / T));

  // Each column's variance about its average (the prior mean), from its seen values.
  beta.assign(T, 0.0);
  alphaLogBeta.assign(T, 0.0);
  double sumAlphaLogBeta = 0;
  for (int t = 0; t < T; t++) {
    double squares = 0;
    int seen = 0;
    for (int i = 0; i < n; i++) {
      if (isMissing(data[i][t])) continue;
      const double x = data[i][t] - center[t];
      squares += x * x;
      seen++;
    }
    if (seen < 2 || !(squares > 0)) continue;  // says nothing about the clusters
    beta[t] = squares / (seen - 1) * factor;
    if (!(beta[t] > 0) || !(beta[t] <= std::numeric_limits<double>::max() / 4))
      Files::fail(logFile, "diagonal: prior gives column " + Text::n2s(t + 1) +
                           " the prior rate " + Text::n2s(beta[t]) +
                           ", too far from 1 for finite scores: " + token);
    alphaLogBeta[t] = alpha * std::log(beta[t]);
    sumAlphaLogBeta += alphaLogBeta[t];
    used++;
  }
  if (used == 0)
    Files::fail(logFile, "Bad diagonal data file " + dataFileName +
                         ": every column is constant, the prior needs some spread");

  columnPart.resize(n + 1);
  sizeTerm.resize(n + 1);
  for (int m = 0; m <= n; m++) {
    const double lambdaNew = lambda + m, alphaNew = alpha + m / 2.0;
    columnPart[m] = -(m / 2.0) * std::log(kTwoPi) + 0.5 * std::log(lambda / lambdaNew) +
                    MathPlus::mylgamma(alphaNew) - MathPlus::mylgamma(alpha);
    sizeTerm[m] = used * columnPart[m] + sumAlphaLogBeta;
  }

  logFile << "Hyperpriors (per column)\n"
          << "lambda: " << lambda << '\n'
          << "alpha: " << alpha << '\n'
          << "beta (each column's variance / (2 c^(2/T)), c = " << c << "):";
  for (int t = 0; t < T; t++) logFile << ' ' << beta[t];
  logFile << '\n';
  if (used < T) logFile << T - used << " constant columns left out\n";
  logFile << '\n';
}

diagonal::diagonal(const std::string& dataFileName, std::istream& priorStream,
                   std::ostream& logFile, double _scale)
    : diagonal(std::make_shared<const DiagonalNormalData>(dataFileName, priorStream, logFile,
                                                          _scale),
               _scale) {}

diagonal::diagonal(std::shared_ptr<const DiagonalNormalData> data, double _scale)
    : DiagonalRows(data, _scale), data_(std::move(data)), p_(*data_) {}

std::unique_ptr<Observable> diagonal::copyForChain() const {
  auto copy = std::make_unique<diagonal>(data_, scale);
  copy->scoring = scoring;
  return copy;
}

double diagonal::getClusterFit(const int* z, int j) const {
  if (scoring == ScoringMode::Fast) return momentsFit(z, j);
  int* list = work_.members.data();
  return scoreList(list, listMembers(z, static_cast<short>(j), list));
}

double diagonal::columnTerm(int t, double m, double within, double d) const {
  const double lambdaNew = p_.lambda + m;
  const double betaNew = p_.beta[t] + 0.5 * within + (m / 2.0) * (p_.lambda / lambdaNew) * d * d;
  return p_.columnPart[static_cast<size_t>(m)] + p_.alphaLogBeta[t] -
         (p_.alpha + m / 2.0) * std::log(betaNew);
}

double diagonal::scoreList(const int* list, int members) const {
  if (members == 0) return 0;
  double ll = 0;
  if (missing_ > 0) {
    // Each column from its own seen values; a column none of the members shows adds nothing.
    listColumnSums(data, T, list, members, work_.count.data(), work_.mean.data(),
                   work_.mean2.data());
    for (int t = 0; t < T; t++) {
      const double m = work_.count[t];
      if (m == 0 || p_.beta[t] == 0) continue;
      const double mean = work_.mean[t] / m;
      ll += columnTerm(t, m, std::max(0.0, work_.mean2[t] - work_.mean[t] * mean),
                       mean - p_.center[t]);
    }
    return scale * ll;
  }
  listMeans(list, members, work_.mean.data(), work_.mean2.data());
  const double lambdaNew = p_.lambda + members, half = members / 2.0;
  double logRates = 0;
  for (int t = 0; t < T; t++) {
    if (p_.beta[t] == 0) continue;
    const double mean = work_.mean[t], d = mean - p_.center[t];
    const double within = std::max(0.0, work_.mean2[t] - mean * mean);
    logRates += std::log(p_.beta[t] + half * within + half * (p_.lambda / lambdaNew) * d * d);
  }
  return scale * (p_.sizeTerm[members] - (p_.alpha + half) * logRates);
}

// The same terms from the sums centred at the column averages, the prior means.
double diagonal::scoreMoments(const double* moments, int members) const {
  if (members == 0) return 0;
  const bool counted = missing_ > 0;
  const double lambdaNew = p_.lambda + members, half = members / 2.0;
  double ll = 0, logRates = 0;
  for (int t = 0; t < T; t++) {
    if (p_.beta[t] == 0) continue;
    const double m = counted ? moments[2 * T + t] : members;
    if (m <= 0) continue;
    const double d = moments[t] / m;
    const double within = std::max(0.0, moments[T + t] - moments[t] * d);
    if (counted) {
      ll += columnTerm(t, m, within, d);
    } else {
      logRates += std::log(p_.beta[t] + 0.5 * within + half * (p_.lambda / lambdaNew) * d * d);
    }
  }
  if (counted) return scale * ll;
  return scale * (p_.sizeTerm[members] - (p_.alpha + half) * logRates);
}
