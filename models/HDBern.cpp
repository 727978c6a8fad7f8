#include "models/HDBern.h"

#include <algorithm>
#include <cmath>

#include "io/Console.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"
#include "stats/Arrays.h"

template <int W>
CategoricalColumns<W>::CategoricalColumns(const std::string& modelName,
                                          const std::string& dataFileName,
                                          std::istream& priorStream, std::ostream& _logFile,
                                          double _scale)
    : muPrior(priorStream, _logFile), logFile(_logFile) {
  if (muPrior.dimension != W)
    Files::fail(logFile, "Bad prior text: " + modelName + " needs " + Text::n2s(W) +
                         " categories, not " + Text::n2s(muPrior.dimension));
  MatrixReader::readData<int>(dataFileName, n, T, sequence, vout());
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++)
      if (sequence[i][t] < 0 || sequence[i][t] >= W)
        Files::fail(logFile, "Bad " + modelName + " data file " + dataFileName + ": row " +
                             Text::n2s(i + 1) + ", column " + Text::n2s(t + 1) + " holds " +
                             Text::n2s(sequence[i][t]) + ", outside 0.." + Text::n2s(W - 1));
  scale = _scale;
  count_.assign(static_cast<size_t>(T) * W, 0);
  ones_.assign(T, 0);
  members_.assign(n, 0);
  muScorer_.reset(muPrior, n);
}

template <int W>
int CategoricalColumns<W>::getCount(const int* z, int j, int* count) const {
  std::fill(count, count + static_cast<size_t>(T) * W, 0);
  int members = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != j) continue;
    members++;
    const int* row = sequence[i];
    for (int t = 0; t < T; t++) count[t * W + row[t]]++;
  }
  return members;
}

template <int W>
int CategoricalColumns<W>::countFast(const int* z, int j, int* count) const {
  // Local copies: a store through the counts could otherwise alias n and T.
  const int rows = n;
  const int columns = T;
  if constexpr (W != 2) {
    std::fill(count, count + static_cast<size_t>(columns) * W, 0);
    int members = 0;
    for (int i = 0; i < rows; i++) {
      if (z[i] != j) continue;
      members++;
      const int* row = sequence[i];
      for (int t = 0; t < columns; t++) count[t * W + row[t]]++;
    }
    return members;
  } else {
    int* list = members_.data();
    int members = 0;
    for (int i = 0; i < rows; i++) {
      list[members] = i;
      members += z[i] == j;
    }
    // Block of columns by block: the block's sums stay in registers over all members.
    int* ones = ones_.data();
    const int block = 16;
    int t0 = 0;
    for (; t0 + block <= columns; t0 += block) {
      int sum[block] = {};
      for (int s = 0; s < members; s++) {
        const int* row = sequence[list[s]] + t0;
        for (int u = 0; u < block; u++) sum[u] += row[u];
      }
      for (int u = 0; u < block; u++) ones[t0 + u] = sum[u];
    }
    for (int t = t0; t < columns; t++) ones[t] = 0;
    for (int s = 0; s < members; s++) {
      const int* row = sequence[list[s]];
      for (int t = t0; t < columns; t++) ones[t] += row[t];
    }
    for (int t = 0; t < columns; t++) {
      count[2 * t] = members - ones[t];
      count[2 * t + 1] = ones[t];
    }
    return members;
  }
}

template <int W>
double CategoricalColumns<W>::getClusterFit(const int* z, int j) const {
  if (scoring == ScoringMode::Reference) return clusterFitReference(z, j);
  return clusterFitFast(z, j);
}

template <int W>
double CategoricalColumns<W>::getClassificationLik(const int* z, int j) const {
  if (scoring == ScoringMode::Reference) return classificationLikReference(z, j);
  return classificationLikFast(z, j);
}

template <int W>
double CategoricalColumns<W>::getMixtureLik(const int* z, int k) const {
  if (scoring == ScoringMode::Reference) return mixtureLikReference(z, k);
  return mixtureLikFast(z, k);
}

template <int W>
double CategoricalColumns<W>::clusterFitReference(const int* z, int j) const {
  int clusterSize = getCount(z, j, count_.data());
  if (clusterSize == 0) return 0;
  double fit = 0;
  for (int t = 0; t < T; t++) fit += muPrior.logIntegratedLik(&count_[static_cast<size_t>(t) * W]);
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::clusterFitFast(const int* z, int j) const {
  int clusterSize = countFast(z, j, count_.data());
  if (clusterSize == 0) return 0;
  double fit = 0;
  const int* count = count_.data();
  for (int t = 0; t < T; t++) fit += muScorer_.logIntegratedLik(count + t * W);
  return scale * fit;
}

template <int W>
int CategoricalColumns<W>::statsSize() const {
  if (scoring == ScoringMode::Reference) return 0;
  return T * W;
}

template <int W>
void CategoricalColumns<W>::addToStats(int i, int* stats, int sign) const {
  const int* row = sequence[i];
  for (int t = 0; t < T; t++) stats[t * W + row[t]] += sign;
}

template <int W>
double CategoricalColumns<W>::scoreStats(const int* stats, int members) const {
  if (members == 0) return 0;
  double fit = 0;
  for (int t = 0; t < T; t++) fit += muScorer_.logIntegratedLik(stats + t * W);
  return scale * fit;
}

template <int W>
void CategoricalColumns<W>::columnTerms(const int* stats, int members, double* terms) const {
  for (int t = 0; t < T; t++)
    terms[t] = members == 0 ? 0.0 : scale * muScorer_.logIntegratedLik(stats + t * W);
}

namespace {
// Sum over the cells of a count table of c log(c / size), empty cells left out.
double classificationSum(const std::vector<int>& count, int clusterSize) {
  double fit = 0;
  for (size_t cell = 0; cell < count.size(); cell++) {
    int c = count[cell];
    if (c > 0) fit += c * std::log(static_cast<double>(c) / clusterSize);
  }
  return fit;
}
}  // namespace

template <int W>
double CategoricalColumns<W>::classificationLikReference(const int* z, int j) const {
  int clusterSize = getCount(z, j, count_.data());
  if (clusterSize == 0) return 0;
  return scale * classificationSum(count_, clusterSize);
}

template <int W>
double CategoricalColumns<W>::classificationLikFast(const int* z, int j) const {
  int clusterSize = countFast(z, j, count_.data());
  if (clusterSize == 0) return 0;
  return scale * classificationSum(count_, clusterSize);
}

template <int W>
void CategoricalColumns<W>::countAll(const int* z, int k) const {
  const size_t tableSize = static_cast<size_t>(T) * W;
  if (static_cast<int>(clusterSizes_.size()) < k) {
    clusterSizes_.resize(k);
    clusterCounts_.resize(tableSize * k);
  }
  Arrays::table(z, n, clusterSizes_.data(), k);
  // One pass fills every cluster's table: the same counts as getCount per label.
  std::fill(clusterCounts_.begin(), clusterCounts_.begin() + tableSize * k, 0);
  for (int i = 0; i < n; i++) {
    int* count = &clusterCounts_[tableSize * z[i]];
    const int* row = sequence[i];
    for (int t = 0; t < T; t++) count[t * W + row[t]]++;
  }
}

template <int W>
double CategoricalColumns<W>::mixtureLikReference(const int* z, int k) const {
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  double fit = 0;
  for (int i = 0; i < n; i++) {
    const int* row = sequence[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = clusterSizes_[j];
      if (size == 0) continue;  // no members: weight 0
      const int* count = &clusterCounts_[tableSize * j];
      double fit_ij = 1;
      for (int t = 0; t < T; t++) fit_ij *= static_cast<double>(count[t * W + row[t]]) / size;
      fit_i += fit_ij * (static_cast<double>(size) / n);
    }
    fit += std::log(fit_i);
  }
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::mixtureLikFast(const int* z, int k) const {
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  if (shares_.size() < tableSize * k) shares_.resize(tableSize * k);
  // The reference's quotients, each computed once.
  for (int j = 0; j < k; j++) {
    const int size = clusterSizes_[j];
    if (size == 0) continue;
    const int* count = &clusterCounts_[tableSize * j];
    double* share = &shares_[tableSize * j];
    for (size_t cell = 0; cell < tableSize; cell++)
      share[cell] = static_cast<double>(count[cell]) / size;
  }
  double fit = 0;
  for (int i = 0; i < n; i++) {
    const int* row = sequence[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = clusterSizes_[j];
      if (size == 0) continue;
      const double* share = &shares_[tableSize * j];
      // Every factor is finite and >= 0, so once the product is 0 it stays +0, and adding
      // +0 * weight to fit_i (itself >= +0) leaves fit_i unchanged: stopping is exact.
      double fit_ij = 1;
      for (int t = 0; t < T && fit_ij != 0; t++) fit_ij *= share[t * W + row[t]];
      if (fit_ij == 0) continue;
      fit_i += fit_ij * (static_cast<double>(size) / n);
    }
    fit += std::log(fit_i);
  }
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::pairwiseDistance(int i1, int i2) const {
  int diff = 0;
  for (int t = 0; t < T; t++)
    if (sequence[i1][t] != sequence[i2][t]) diff++;
  return static_cast<double>(diff) / T;
}

template <int W>
double CategoricalColumns<W>::pairwiseDistance(int i1, int i2, int length,
                                               const int* positions) const {
  int diff = 0;
  for (int s = 0; s < length; s++)
    if (sequence[i1][positions[s]] != sequence[i2][positions[s]]) diff++;
  return static_cast<double>(diff) / length;
}

template class CategoricalColumns<2>;
template class CategoricalColumns<20>;
