#include "models/HDBern.h"

#include <algorithm>
#include <cmath>

#include "U/Console.h"
#include "U/U.h"

template <int W>
CategoricalColumns<W>::CategoricalColumns(const std::string& modelName,
                                          const std::string& dataFileName,
                                          std::istream& priorStream, std::ostream& _logFile,
                                          double _scale)
    : muPrior(priorStream, _logFile), logFile(_logFile) {
  if (muPrior.dimension != W)
    U::fail(logFile, "Bad prior text: " + modelName + " needs " + U::n2s(W) +
                         " categories, not " + U::n2s(muPrior.dimension));
  U::readData<int>(dataFileName, n, T, sequence, vout());
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++)
      if (sequence[i][t] < 0 || sequence[i][t] >= W)
        U::fail(logFile, "Bad " + modelName + " data file " + dataFileName + ": row " +
                             U::n2s(i + 1) + ", column " + U::n2s(t + 1) + " holds " +
                             U::n2s(sequence[i][t]) + ", outside 0.." + U::n2s(W - 1));
  scale = _scale;
  count_.assign(static_cast<size_t>(T) * W, 0);
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
double CategoricalColumns<W>::getClusterFit(const int* z, int j) const {
  int clusterSize = getCount(z, j, count_.data());
  if (clusterSize == 0) return 0;
  double fit = 0;
  for (int t = 0; t < T; t++) fit += muPrior.logIntegratedLik(&count_[static_cast<size_t>(t) * W]);
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::getClassificationLik(const int* z, int j) const {
  int clusterSize = getCount(z, j, count_.data());
  if (clusterSize == 0) return 0;
  double fit = 0;
  for (size_t cell = 0; cell < count_.size(); cell++) {
    int c = count_[cell];
    if (c > 0) fit += c * std::log(static_cast<double>(c) / clusterSize);
  }
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::getMixtureLik(const int* z, int k) const {
  const size_t tableSize = static_cast<size_t>(T) * W;
  if (static_cast<int>(clusterSizes_.size()) < k) {
    clusterSizes_.resize(k);
    clusterCounts_.resize(tableSize * k);
  }
  U::table(z, n, clusterSizes_.data(), k);
  // One pass fills every cluster's table: the same counts as getCount per label.
  std::fill(clusterCounts_.begin(), clusterCounts_.begin() + tableSize * k, 0);
  for (int i = 0; i < n; i++) {
    int* count = &clusterCounts_[tableSize * z[i]];
    const int* row = sequence[i];
    for (int t = 0; t < T; t++) count[t * W + row[t]]++;
  }

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
