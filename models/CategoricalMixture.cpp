#include "models/CategoricalMixture.h"

#include <algorithm>
#include <cmath>

#include "stats/Arrays.h"

template <int W>
size_t CategoricalMixture<W>::bytes() const {
  return sizeof(int) * (counts_.capacity() + sizes_.capacity()) +
         sizeof(double) * shares_.capacity();
}

template <int W>
void CategoricalMixture<W>::countAll(const int* z, int k) {
  const int n = data_.n;
  const int T = data_.T;
  const size_t tableSize = static_cast<size_t>(T) * W;
  if (static_cast<int>(sizes_.size()) < k) {
    sizes_.resize(k);
    counts_.resize(tableSize * k);
    shares_.resize(tableSize * k);
  }
  Arrays::table(z, n, sizes_.data(), k);
  // One pass fills every cluster's table: the same counts as a count per label.
  std::fill(counts_.begin(), counts_.begin() + tableSize * k, 0);
  for (int i = 0; i < n; i++) {
    int* count = &counts_[tableSize * z[i]];
    const uint8_t* row = data_.sequence[i];
    for (int t = 0; t < T; t++)
      if (!isMissing(row[t])) count[t * W + row[t]]++;
  }
}

template <int W>
double CategoricalMixture<W>::reference(const int* z, int k) {
  if (data_.missing > 0) return fromShares<true>(z, k);
  const int n = data_.n;
  const int T = data_.T;
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  double fit = 0;
  for (int i = 0; i < n; i++) {
    const uint8_t* row = data_.sequence[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = sizes_[j];
      if (size == 0) continue;  // no members: weight 0
      const int* count = &counts_[tableSize * j];
      double fit_ij = 1;
      for (int t = 0; t < T; t++) fit_ij *= static_cast<double>(count[t * W + row[t]]) / size;
      fit_i += fit_ij * (static_cast<double>(size) / n);
    }
    fit += std::log(fit_i);
  }
  return fit;
}

template <int W>
double CategoricalMixture<W>::fast(const int* z, int k) {
  if (data_.missing > 0) return fromShares<true>(z, k);
  return fromShares<false>(z, k);
}

// Without missing cells a column's total is the cluster size, so the shares are the
// reference's quotients.
template <int W>
template <bool missing>
double CategoricalMixture<W>::fromShares(const int* z, int k) {
  const int n = data_.n;
  const int T = data_.T;
  const size_t tableSize = static_cast<size_t>(T) * W;
  countAll(z, k);
  const int* sizes = sizes_.data();
  for (int j = 0; j < k; j++) {
    if (sizes[j] == 0) continue;
    const int* count = &counts_[tableSize * j];
    double* share = &shares_[tableSize * j];
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
    const uint8_t* row = data_.sequence[i];
    double fit_i = 0;
    for (int j = 0; j < k; j++) {
      const int size = sizes[j];
      if (size == 0) continue;
      const double* share = &shares_[tableSize * j];
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
  return fit;
}

template class CategoricalMixture<2>;
template class CategoricalMixture<20>;
