#include "models/ordinal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "io/Console.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"
#include "stats/MathPlus.h"

namespace {

bool positiveNumber(const std::string& token, double& value) {
  char* end = nullptr;
  value = std::strtod(token.c_str(), &end);
  return !token.empty() && *end == '\0' && std::isfinite(value) && value > 0;
}

double logBeta(double a, double b) {
  return MathPlus::mylgamma(a) + MathPlus::mylgamma(b) - MathPlus::mylgamma(a + b);
}

}  // namespace

OrdinalData::OrdinalData(const std::string& dataFileName, std::istream& priorStream,
                         std::ostream& logFile) {
  std::string first, second;
  priorStream >> first >> second;
  if (!positiveNumber(first, a) || !positiveNumber(second, b))
    Files::fail(logFile, "ordinal: prior is not two positive finite numbers: " + first + " " +
                         second);
  logBetaPrior = logBeta(a, b);
  MatrixReader::Outside outside;
  MatrixReader::readLevels(dataFileName, W, n, T, sequence, outside, vout(), &missing);
  if (outside.found)
    Files::fail(logFile, "Bad ordinal data file " + dataFileName + ": row " +
                         Text::n2s(outside.row) + ", column " + Text::n2s(outside.column) +
                         " holds " + Text::n2s(outside.value) + ", outside 0.." + Text::n2s(W - 1));
  low.assign(T, W);
  span.assign(T, 0);
  std::vector<int> high(T, -1);
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++) {
      if (isMissing(sequence[i][t])) continue;
      const int v = sequence[i][t];
      low[t] = std::min(low[t], v);
      high[t] = std::max(high[t], v);
    }
  MatrixReader::noteMissing(logFile, missing, static_cast<long>(n) * T);
  logChoose.assign(static_cast<size_t>(T) * W, 0.0);
  int informative = 0;
  for (int t = 0; t < T; t++) {
    if (high[t] < 0) low[t] = 0;  // never seen
    span[t] = std::max(0, high[t] - low[t]);
    informative += span[t] > 0;
    for (int v = low[t]; v <= high[t]; v++) {
      const int y = v - low[t];
      logChoose[static_cast<size_t>(t) * W + v] = MathPlus::mylgamma(span[t] + 1.0) -
                                                  MathPlus::mylgamma(y + 1.0) -
                                                  MathPlus::mylgamma(span[t] - y + 1.0);
    }
  }
  logFile << "Ordinal prior: per cluster and column a binomial over the column's levels, its p "
          << "Beta(" << a << ", " << b << "); " << informative << " of " << T
          << " columns have two or more levels\n";
}

ordinal::ordinal(const std::string& dataFileName, std::istream& priorStream,
                 std::ostream& logFile, double _scale)
    : ordinal(std::make_shared<const OrdinalData>(dataFileName, priorStream, logFile), _scale) {}

ordinal::ordinal(std::shared_ptr<const OrdinalData> data, double _scale)
    : data_(std::move(data)), d_(*data_),
      count_(static_cast<size_t>(d_.T) * OrdinalData::W, 0) {
  n = d_.n;
  T = d_.T;
  scale = _scale;
}

std::unique_ptr<Observable> ordinal::copyForChain() const {
  auto copy = std::make_unique<ordinal>(data_, scale);
  copy->scoring = scoring;
  return copy;
}

size_t ordinal::workspaceBytes() const { return sizeof(*this) + sizeof(int) * count_.capacity(); }

double ordinal::columnFit(const int* count, int t) const {
  const int span = d_.span[t];
  if (span == 0) return 0;
  const int low = d_.low[t];
  const double* logChoose = &d_.logChoose[static_cast<size_t>(t) * OrdinalData::W];
  long members = 0, sum = 0;
  double fit = 0;
  for (int v = low; v <= low + span; v++) {
    const int c = count[v];
    if (c == 0) continue;
    members += c;
    sum += static_cast<long>(c) * (v - low);
    fit += c * logChoose[v];
  }
  if (members == 0) return 0;
  const double failures = static_cast<double>(members * span - sum);
  return fit + logBeta(d_.a + static_cast<double>(sum), d_.b + failures) - d_.logBetaPrior;
}

double ordinal::getClusterFit(const int* z, int j) const {
  std::fill(count_.begin(), count_.end(), 0);
  int members = 0;
  for (int i = 0; i < n; i++)
    if (z[i] == j) {
      addToStats(i, count_.data(), +1);
      members++;
    }
  return scoreStats(count_.data(), members);
}

int ordinal::statsSize() const {
  return scoring == ScoringMode::Reference ? 0 : T * OrdinalData::W;
}

void ordinal::addToStats(int i, int* stats, int sign) const {
  const uint8_t* row = d_.sequence[i];
  for (int t = 0; t < T; t++)
    if (!isMissing(row[t])) stats[t * OrdinalData::W + row[t]] += sign;
}

double ordinal::scoreStats(const int* stats, int members) const {
  if (members == 0) return 0;
  double fit = 0;
  for (int t = 0; t < T; t++) fit += columnFit(stats + t * OrdinalData::W, t);
  return scale * fit;
}

void ordinal::columnTerms(const int* stats, int members, double* terms) const {
  for (int t = 0; t < T; t++)
    terms[t] = members == 0 ? 0.0 : scale * columnFit(stats + t * OrdinalData::W, t);
}

double ordinal::pairwiseDistance(int i1, int i2, int length, const int* positions) const {
  double sum = 0;
  int shared = 0;
  for (int s = 0; s < length; s++) {
    const int t = positions ? positions[s] : s;
    const uint8_t x = d_.sequence[i1][t], y = d_.sequence[i2][t];
    if (isMissing(x) || isMissing(y)) continue;
    shared++;
    if (d_.span[t] > 0) sum += std::abs(x - y) / static_cast<double>(d_.span[t]);
  }
  // Rows that share no seen column are as far apart as rows can be.
  return shared > 0 ? sum / shared : 1.0;
}

double ordinal::pairwiseDistance(int i1, int i2) const {
  return pairwiseDistance(i1, i2, T, nullptr);
}
