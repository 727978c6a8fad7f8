#include "models/HDBern.h"

#include <algorithm>
#include <cmath>

#include "io/Console.h"
#include "io/Files.h"
#include "io/MatrixReader.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "stats/MathPlus.h"

template <int W>
CategoricalColumns<W>::CategoricalColumns(const std::string& modelName,
                                          const std::string& dataFileName,
                                          std::istream& priorStream, std::ostream& _logFile,
                                          double _scale)
    : muPrior(priorStream, _logFile), logFile(_logFile) {
  if (muPrior.dimension != W)
    Files::fail(logFile, "Bad prior text: " + modelName + " needs " + Text::n2s(W) +
                         " categories, not " + Text::n2s(muPrior.dimension));
  std::string marker;
  levels_ = (priorStream >> marker) && marker == "levels";
  MatrixReader::readData<int>(dataFileName, n, T, sequence, vout(), &missing_);
  for (int i = 0; i < n; i++)
    for (int t = 0; t < T; t++)
      if (!isMissing(sequence[i][t]) && (sequence[i][t] < 0 || sequence[i][t] >= W))
        Files::fail(logFile, "Bad " + modelName + " data file " + dataFileName + ": row " +
                             Text::n2s(i + 1) + ", column " + Text::n2s(t + 1) + " holds " +
                             Text::n2s(sequence[i][t]) + ", outside 0.." + Text::n2s(W - 1));
  MatrixReader::noteMissing(logFile, missing_, static_cast<long>(n) * T);
  scale = _scale;
  count_.assign(static_cast<size_t>(T) * W, 0);
  ones_.assign(T, 0);
  members_.assign(n, 0);
  muScorer_.reset(muPrior, n);
  if (levels_) setUpLevels();
}

template <int W>
void CategoricalColumns<W>::setUpLevels() {
  // The prior text is the symmetric Dirichlet of the pseudo-count.
  pseudoCount_ = muPrior.alpha[0][0];
  levelsSeen_.assign(T, 0);
  std::vector<char> seen(W);
  for (int t = 0; t < T; t++) {
    std::fill(seen.begin(), seen.end(), 0);
    for (int i = 0; i < n; i++)
      if (!isMissing(sequence[i][t])) seen[sequence[i][t]] = 1;
    for (int w = 0; w < W; w++) levelsSeen_[t] += seen[w];
  }
  const double a = pseudoCount_;
  countTerm_.resize(static_cast<size_t>(n) + 1);
  for (int c = 0; c <= n; c++) countTerm_[c] = MathPlus::mylgamma(a + c) - MathPlus::mylgamma(a);
  // One row of totals per level count that occurs, while the rows fit in 32 MB; beyond that
  // the totals are computed as needed, to the same bits.
  totalRow_.assign(W + 1, -1);
  int rows = 0;
  for (int t = 0; t < T; t++) {
    const int L = levelsSeen_[t];
    if (L >= 2 && totalRow_[L] < 0) totalRow_[L] = rows++;
  }
  if (static_cast<long>(rows) * (n + 1) > (1L << 22)) {
    std::fill(totalRow_.begin(), totalRow_.end(), -1);
    rows = 0;
  }
  totalTerm_.resize(static_cast<size_t>(rows) * (n + 1));
  for (int L = 2; L <= W; L++)
    if (totalRow_[L] >= 0) {
      double* row = &totalTerm_[static_cast<size_t>(totalRow_[L]) * (n + 1)];
      for (int m = 0; m <= n; m++)
        row[m] = MathPlus::mylgamma(L * a) - MathPlus::mylgamma(L * a + m);
    }
  int informative = 0;
  for (int t = 0; t < T; t++) informative += levelsSeen_[t] >= 2;
  logFile << "Prior by levels seen: per column a symmetric Dirichlet(" << a
          << ") over the levels that occur in it; " << informative << " of " << T
          << " columns have two or more\n";
}

template <int W>
double CategoricalColumns<W>::levelsTotalTerm(int levels, int total) const {
  const int row = totalRow_[levels];
  if (row >= 0) return totalTerm_[static_cast<size_t>(row) * (n + 1) + total];
  const double a = pseudoCount_;
  return MathPlus::mylgamma(levels * a) - MathPlus::mylgamma(levels * a + total);
}

template <int W>
double CategoricalColumns<W>::levelsColumnFit(const int* count, int t) const {
  const int levels = levelsSeen_[t];
  // One level seen: every cluster has it with probability 1.
  if (levels < 2) return 0;
  // Unseen levels count 0 in every cluster and add countTerm_[0] = 0.
  int total = 0;
  double fit = 0;
  for (int w = 0; w < W; w++) {
    total += count[w];
    fit += countTerm_[count[w]];
  }
  return fit + levelsTotalTerm(levels, total);
}

template <int W>
double CategoricalColumns<W>::columnsFit(const int* count, bool reference) const {
  double fit = 0;
  if (levels_) {
    for (int t = 0; t < T; t++) fit += levelsColumnFit(count + t * W, t);
  } else if (reference) {
    for (int t = 0; t < T; t++) fit += muPrior.logIntegratedLik(count + t * W);
  } else {
    for (int t = 0; t < T; t++) fit += muScorer_.logIntegratedLik(count + t * W);
  }
  return scale * fit;
}

template <int W>
int CategoricalColumns<W>::getCount(const int* z, int j, int* count) const {
  std::fill(count, count + static_cast<size_t>(T) * W, 0);
  int members = 0;
  for (int i = 0; i < n; i++) {
    if (z[i] != j) continue;
    members++;
    const int* row = sequence[i];
    if (missing_ > 0) {
      for (int t = 0; t < T; t++)
        if (!isMissing(row[t])) count[t * W + row[t]]++;
    } else {
      for (int t = 0; t < T; t++) count[t * W + row[t]]++;
    }
  }
  return members;
}

template <int W>
int CategoricalColumns<W>::countFast(const int* z, int j, int* count) const {
  if (missing_ > 0) return getCount(z, j, count);
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
  return columnsFit(count_.data(), true);
}

template <int W>
double CategoricalColumns<W>::clusterFitFast(const int* z, int j) const {
  int clusterSize = countFast(z, j, count_.data());
  if (clusterSize == 0) return 0;
  return columnsFit(count_.data(), false);
}

template <int W>
int CategoricalColumns<W>::statsSize() const {
  if (scoring == ScoringMode::Reference) return 0;
  return T * W;
}

template <int W>
void CategoricalColumns<W>::addToStats(int i, int* stats, int sign) const {
  const int* row = sequence[i];
  if (missing_ > 0) {
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
    } else if (levels_) {
      terms[t] = scale * levelsColumnFit(stats + t * W, t);
    } else {
      terms[t] = scale * muScorer_.logIntegratedLik(stats + t * W);
    }
  }
}

template <int W>
double CategoricalColumns<W>::classificationSum(const int* count, int clusterSize) const {
  double fit = 0;
  if (missing_ > 0) {
    for (int t = 0; t < T; t++) {
      const int* column = count + t * W;
      int total = 0;
      for (int w = 0; w < W; w++) total += column[w];
      for (int w = 0; w < W; w++)
        if (column[w] > 0) fit += column[w] * std::log(static_cast<double>(column[w]) / total);
    }
    return fit;
  }
  const size_t cells = static_cast<size_t>(T) * W;
  for (size_t cell = 0; cell < cells; cell++) {
    int c = count[cell];
    if (c > 0) fit += c * std::log(static_cast<double>(c) / clusterSize);
  }
  return fit;
}

template <int W>
double CategoricalColumns<W>::classificationLikReference(const int* z, int j) const {
  int clusterSize = getCount(z, j, count_.data());
  if (clusterSize == 0) return 0;
  return scale * classificationSum(count_.data(), clusterSize);
}

template <int W>
double CategoricalColumns<W>::classificationLikFast(const int* z, int j) const {
  int clusterSize = countFast(z, j, count_.data());
  if (clusterSize == 0) return 0;
  return scale * classificationSum(count_.data(), clusterSize);
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
    for (int t = 0; t < T; t++)
      if (!isMissing(row[t])) count[t * W + row[t]]++;
  }
}

template <int W>
double CategoricalColumns<W>::mixtureLikMissing(const int* z, int k) const {
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  if (shares_.size() < tableSize * k) shares_.resize(tableSize * k);
  // A cluster's estimate per column rests on its members seen there; a column none of them
  // shows tells nothing, so its factor is 1.
  for (int j = 0; j < k; j++) {
    if (clusterSizes_[j] == 0) continue;
    const int* count = &clusterCounts_[tableSize * j];
    double* share = &shares_[tableSize * j];
    for (int t = 0; t < T; t++) {
      int total = 0;
      for (int w = 0; w < W; w++) total += count[t * W + w];
      for (int w = 0; w < W; w++)
        share[t * W + w] = total > 0 ? static_cast<double>(count[t * W + w]) / total : 1.0;
    }
  }
  double fit = 0;
  for (int i = 0; i < n; i++) {
    const int* row = sequence[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = clusterSizes_[j];
      if (size == 0) continue;
      const double* share = &shares_[tableSize * j];
      double fit_ij = 1;
      for (int t = 0; t < T; t++)
        if (!isMissing(row[t])) fit_ij *= share[t * W + row[t]];
      fit_i += fit_ij * (static_cast<double>(size) / n);
    }
    fit += std::log(fit_i);
  }
  return scale * fit;
}

template <int W>
double CategoricalColumns<W>::mixtureLikReference(const int* z, int k) const {
  if (missing_ > 0) return mixtureLikMissing(z, k);
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
  if (missing_ > 0) return mixtureLikMissing(z, k);
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
  if (missing_ > 0) return sharedDistance(i1, i2, T, nullptr);
  int diff = 0;
  for (int t = 0; t < T; t++)
    if (sequence[i1][t] != sequence[i2][t]) diff++;
  return static_cast<double>(diff) / T;
}

template <int W>
double CategoricalColumns<W>::sharedDistance(int i1, int i2, int length,
                                             const int* positions) const {
  int diff = 0, shared = 0;
  for (int s = 0; s < length; s++) {
    const int t = positions ? positions[s] : s;
    const int a = sequence[i1][t], b = sequence[i2][t];
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
  if (missing_ > 0) return sharedDistance(i1, i2, length, positions);
  int diff = 0;
  for (int s = 0; s < length; s++)
    if (sequence[i1][positions[s]] != sequence[i2][positions[s]]) diff++;
  return static_cast<double>(diff) / length;
}

template class CategoricalColumns<2>;
template class CategoricalColumns<20>;
