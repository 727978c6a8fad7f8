#include "models/HDBern.h"

#include <algorithm>
#include <cmath>

#include "stats/Arrays.h"

template <int W>
CategoricalColumns<W>::Workspace::Workspace(const Data& data)
    : count(static_cast<size_t>(data.T) * W, 0),
      ones(W == 2 ? data.T : 0, 0),
      members(W == 2 ? data.n : 0, 0),
      muScorer(data.muTables),
      muPrior(data.muPrior) {}

template <int W>
CategoricalColumns<W>::CategoricalColumns(const std::string& dataFileName,
                                          std::istream& priorStream, std::ostream& logFile,
                                          double _scale)
    : CategoricalColumns(std::make_shared<const Data>(dataFileName, priorStream, logFile),
                         _scale) {}

template <int W>
CategoricalColumns<W>::CategoricalColumns(std::shared_ptr<const Data> data, double _scale)
    : data_(std::move(data)), sequence_(data_->sequence), work_(*data_) {
  n = data_->n;
  T = data_->T;
  scale = _scale;
}

template <int W>
std::unique_ptr<Observable> CategoricalColumns<W>::copyForChain() const {
  auto copy = std::make_unique<CategoricalColumns>(data_, scale);
  copy->scoring = scoring;
  return copy;
}

template <int W>
size_t CategoricalColumns<W>::workspaceBytes() const {
  const Workspace& w = work_;
  return sizeof(*this) +
         sizeof(int) * (w.count.capacity() + w.ones.capacity() + w.members.capacity() +
                        w.clusterCounts.capacity() + w.clusterSizes.capacity()) +
         sizeof(double) * (w.shares.capacity() + w.muScorer.scratchSize()) +
         sizeof(double) * (static_cast<size_t>(w.muPrior.mixtureOrder) * (w.muPrior.dimension + 2) +
                           w.muPrior.dimension);
}

template <int W>
double CategoricalColumns<W>::columnsFit(const int* count, bool reference) const {
  double fit = 0;
  if (data_->levels) {
    const LevelsPrior<W>& levels = *data_->levels;
    for (int t = 0; t < T; t++) fit += levels.columnFit(count + t * W, t);
  } else if (reference) {
    for (int t = 0; t < T; t++) fit += work_.muPrior.logIntegratedLik(count + t * W);
  } else {
    for (int t = 0; t < T; t++) fit += work_.muScorer.logIntegratedLik(count + t * W);
  }
  return scale * fit;
}

// Local copies: a store through the counts could otherwise alias n and T.
template <int W>
template <bool missing>
int CategoricalColumns<W>::countRows(const int* z, int j, int* count) const {
  const int rows = n;
  const int columns = T;
  std::fill(count, count + static_cast<size_t>(columns) * W, 0);
  int members = 0;
  for (int i = 0; i < rows; i++) {
    if (z[i] != j) continue;
    members++;
    const int* row = sequence_[i];
    for (int t = 0; t < columns; t++)
      if (!missing || !isMissing(row[t])) count[t * W + row[t]]++;
  }
  return members;
}

template <int W>
int CategoricalColumns<W>::getCount(const int* z, int j, int* count) const {
  return data_->missing > 0 ? countRows<true>(z, j, count) : countRows<false>(z, j, count);
}

template <int W>
int CategoricalColumns<W>::countFast(const int* z, int j, int* count) const {
  if (W != 2 || data_->missing > 0) return getCount(z, j, count);
  const int rows = n;
  const int columns = T;
  int* list = work_.members.data();
  int members = 0;
  for (int i = 0; i < rows; i++) {
    list[members] = i;
    members += z[i] == j;
  }
  // Block of columns by block: the block's sums stay in registers over all members.
  int* ones = work_.ones.data();
  const int block = 16;
  int t0 = 0;
  for (; t0 + block <= columns; t0 += block) {
    int sum[block] = {};
    for (int s = 0; s < members; s++) {
      const int* row = sequence_[list[s]] + t0;
      for (int u = 0; u < block; u++) sum[u] += row[u];
    }
    for (int u = 0; u < block; u++) ones[t0 + u] = sum[u];
  }
  for (int t = t0; t < columns; t++) ones[t] = 0;
  for (int s = 0; s < members; s++) {
    const int* row = sequence_[list[s]];
    for (int t = t0; t < columns; t++) ones[t] += row[t];
  }
  for (int t = 0; t < columns; t++) {
    count[2 * t] = members - ones[t];
    count[2 * t + 1] = ones[t];
  }
  return members;
}

template <int W>
int CategoricalColumns<W>::countCluster(const int* z, int j, bool reference) const {
  int* count = work_.count.data();
  return reference ? getCount(z, j, count) : countFast(z, j, count);
}

template <int W>
double CategoricalColumns<W>::integrated(const int* z, int j, bool reference) const {
  if (countCluster(z, j, reference) == 0) return 0;
  return columnsFit(work_.count.data(), reference);
}

template <int W>
double CategoricalColumns<W>::classification(const int* z, int j, bool reference) const {
  if (countCluster(z, j, reference) == 0) return 0;
  return scale * classificationSum(work_.count.data());
}

template <int W>
double CategoricalColumns<W>::getClusterFit(const int* z, int j) const {
  return integrated(z, j, scoring == ScoringMode::Reference);
}

template <int W>
double CategoricalColumns<W>::getClassificationLik(const int* z, int j) const {
  return classification(z, j, scoring == ScoringMode::Reference);
}

template <int W>
double CategoricalColumns<W>::getMixtureLik(const int* z, int k) const {
  if (scoring == ScoringMode::Reference) return mixtureLikReference(z, k);
  return mixtureLikFast(z, k);
}

template <int W>
int CategoricalColumns<W>::statsSize() const {
  if (scoring == ScoringMode::Reference) return 0;
  return T * W;
}

template <int W>
void CategoricalColumns<W>::addToStats(int i, int* stats, int sign) const {
  const int* row = sequence_[i];
  if (data_->missing > 0) {
    for (int t = 0; t < T; t++)
      if (!isMissing(row[t])) stats[t * W + row[t]] += sign;
    return;
  }
  for (int t = 0; t < T; t++) stats[t * W + row[t]] += sign;
}

template <int W>
double CategoricalColumns<W>::scoreStats(const int* stats, int members) const {
  if (members == 0) return 0;
  return columnsFit(stats, false);
}

template <int W>
void CategoricalColumns<W>::columnTerms(const int* stats, int members, double* terms) const {
  for (int t = 0; t < T; t++) {
    if (members == 0) {
      terms[t] = 0.0;
    } else if (data_->levels) {
      terms[t] = scale * data_->levels->columnFit(stats + t * W, t);
    } else {
      terms[t] = scale * work_.muScorer.logIntegratedLik(stats + t * W);
    }
  }
}

// Without missing cells every column's total is the cluster size, so one loop serves both.
template <int W>
double CategoricalColumns<W>::classificationSum(const int* count) const {
  double fit = 0;
  for (int t = 0; t < T; t++) {
    const int* column = count + t * W;
    int total = 0;
    for (int w = 0; w < W; w++) total += column[w];
    for (int w = 0; w < W; w++)
      if (column[w] > 0) fit += column[w] * std::log(static_cast<double>(column[w]) / total);
  }
  return fit;
}

template <int W>
void CategoricalColumns<W>::countAll(const int* z, int k) const {
  Workspace& w = work_;
  const size_t tableSize = static_cast<size_t>(T) * W;
  if (static_cast<int>(w.clusterSizes.size()) < k) {
    w.clusterSizes.resize(k);
    w.clusterCounts.resize(tableSize * k);
    w.shares.resize(tableSize * k);
  }
  Arrays::table(z, n, w.clusterSizes.data(), k);
  // One pass fills every cluster's table: the same counts as getCount per label.
  std::fill(w.clusterCounts.begin(), w.clusterCounts.begin() + tableSize * k, 0);
  for (int i = 0; i < n; i++) {
    int* count = &w.clusterCounts[tableSize * z[i]];
    const int* row = sequence_[i];
    for (int t = 0; t < T; t++)
      if (!isMissing(row[t])) count[t * W + row[t]]++;
  }
}

// The plain product of quotients per row and cluster, kept as the yardstick of the other.
template <int W>
double CategoricalColumns<W>::mixtureLikReference(const int* z, int k) const {
  if (data_->missing > 0) return mixtureFromShares<true>(z, k);
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  double fit = 0;
  for (int i = 0; i < n; i++) {
    const int* row = sequence_[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = work_.clusterSizes[j];
      if (size == 0) continue;  // no members: weight 0
      const int* count = &work_.clusterCounts[tableSize * j];
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
  if (data_->missing > 0) return mixtureFromShares<true>(z, k);
  return mixtureFromShares<false>(z, k);
}

// Each quotient computed once. Without missing cells a column's total is the cluster size,
// so the shares are the reference's quotients.
template <int W>
template <bool missing>
double CategoricalColumns<W>::mixtureFromShares(const int* z, int k) const {
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  const int* sizes = work_.clusterSizes.data();
  for (int j = 0; j < k; j++) {
    if (sizes[j] == 0) continue;
    const int* count = &work_.clusterCounts[tableSize * j];
    double* share = &work_.shares[tableSize * j];
    for (int t = 0; t < T; t++) {
      int total = 0;
      for (int w = 0; w < W; w++) total += count[t * W + w];
      // A column none of the members shows tells nothing: its factor is 1.
      for (int w = 0; w < W; w++)
        share[t * W + w] = total > 0 ? static_cast<double>(count[t * W + w]) / total : 1.0;
    }
  }
  double fit = 0;
  for (int i = 0; i < n; i++) {
    const int* row = sequence_[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = sizes[j];
      if (size == 0) continue;
      const double* share = &work_.shares[tableSize * j];
      // Every factor is finite and >= 0, so once the product is 0 it stays +0, and adding
      // +0 * weight to fit_i (itself >= +0) leaves fit_i unchanged: stopping is exact.
      double fit_ij = 1;
      for (int t = 0; t < T && fit_ij != 0; t++)
        if (!missing || !isMissing(row[t])) fit_ij *= share[t * W + row[t]];
      if (fit_ij == 0) continue;
      fit_i += fit_ij * (static_cast<double>(size) / n);
    }
    fit += std::log(fit_i);
  }
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::pairwiseDistance(int i1, int i2) const {
  if (data_->missing > 0) return sharedDistance(i1, i2, T, nullptr);
  int diff = 0;
  for (int t = 0; t < T; t++)
    if (sequence_[i1][t] != sequence_[i2][t]) diff++;
  return static_cast<double>(diff) / T;
}

template <int W>
double CategoricalColumns<W>::sharedDistance(int i1, int i2, int length,
                                             const int* positions) const {
  int diff = 0, shared = 0;
  for (int s = 0; s < length; s++) {
    const int t = positions ? positions[s] : s;
    const int a = sequence_[i1][t], b = sequence_[i2][t];
    if (isMissing(a) || isMissing(b)) continue;
    shared++;
    diff += a != b;
  }
  // Rows that share no seen column are as far apart as rows can be.
  return shared > 0 ? static_cast<double>(diff) / shared : 1.0;
}

template <int W>
double CategoricalColumns<W>::pairwiseDistance(int i1, int i2, int length,
                                               const int* positions) const {
  if (data_->missing > 0) return sharedDistance(i1, i2, length, positions);
  int diff = 0;
  for (int s = 0; s < length; s++)
    if (sequence_[i1][positions[s]] != sequence_[i2][positions[s]]) diff++;
  return static_cast<double>(diff) / length;
}

template class CategoricalColumns<2>;
template class CategoricalColumns<20>;
