#include "models/HDBern.h"

#include <algorithm>
#include <cmath>


template <int W>
CategoricalColumns<W>::Workspace::Workspace(const Data& data)
    : count(static_cast<size_t>(data.T) * W, 0),
      counts(data),
      mixture(data),
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
         sizeof(int) * w.count.capacity() + w.counts.bytes() + w.mixture.bytes() +
         sizeof(double) * w.muScorer.scratchSize() +
         sizeof(double) * (static_cast<size_t>(w.muPrior.mixtureOrder) * (w.muPrior.dimension + 2) +
                           w.muPrior.dimension);
}

template <int W>
double CategoricalColumns<W>::columnsFit(const int* count, bool reference) const {
  double fit = 0;
  if (data_->levels) {
    const LevelsPrior<W>& levels = *data_->levels;
    for (int t = 0; t < T; t++) fit += levels.columnFit(count + t * W, t);
  } else if (data_->profile) {
    const ColumnProfilePrior& profile = *data_->profile;
    for (int t = 0; t < T; t++) fit += profile.columnFit(count + t * W, t);
  } else if (reference) {
    for (int t = 0; t < T; t++) fit += work_.muPrior.logIntegratedLik(count + t * W);
  } else {
    for (int t = 0; t < T; t++) fit += work_.muScorer.logIntegratedLik(count + t * W);
  }
  return scale * fit;
}

template <int W>
int CategoricalColumns<W>::getCount(const int* z, int j, int* count) const {
  return work_.counts.plain(z, j, count);
}

template <int W>
int CategoricalColumns<W>::countCluster(const int* z, int j, bool reference) const {
  int* count = work_.count.data();
  return reference ? work_.counts.plain(z, j, count) : work_.counts.fast(z, j, count);
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
  const uint8_t* row = sequence_[i];
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
    } else if (data_->profile) {
      terms[t] = scale * data_->profile->columnFit(stats + t * W, t);
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
double CategoricalColumns<W>::mixtureLikReference(const int* z, int k) const {
  return scale * work_.mixture.reference(z, k);
}

template <int W>
double CategoricalColumns<W>::mixtureLikFast(const int* z, int k) const {
  return scale * work_.mixture.fast(z, k);
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
    const uint8_t a = sequence_[i1][t], b = sequence_[i2][t];
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
