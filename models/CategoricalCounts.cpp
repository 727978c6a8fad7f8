#include "models/CategoricalCounts.h"

#include <algorithm>

template <int W>
CategoricalCounts<W>::CategoricalCounts(const CategoricalData<W>& data)
    : data_(data), ones_(W == 2 ? data.T : 0, 0), members_(W == 2 ? data.n : 0, 0) {}

// Local copies: a store through the counts could otherwise alias n and T.
template <int W>
template <bool missing>
int CategoricalCounts<W>::countRows(const int* z, int j, int* count) const {
  const int rows = data_.n;
  const int columns = data_.T;
  const Matrix<uint8_t>& sequence = data_.sequence;
  std::fill(count, count + static_cast<size_t>(columns) * W, 0);
  int members = 0;
  for (int i = 0; i < rows; i++) {
    if (z[i] != j) continue;
    members++;
    const uint8_t* row = sequence[i];
    for (int t = 0; t < columns; t++)
      if (!missing || !isMissing(row[t])) count[t * W + row[t]]++;
  }
  return members;
}

template <int W>
int CategoricalCounts<W>::plain(const int* z, int j, int* count) const {
  return data_.missing > 0 ? countRows<true>(z, j, count) : countRows<false>(z, j, count);
}

template <int W>
int CategoricalCounts<W>::fast(const int* z, int j, int* count) {
  if (W != 2 || data_.missing > 0) return plain(z, j, count);
  const int rows = data_.n;
  const int columns = data_.T;
  const Matrix<uint8_t>& sequence = data_.sequence;
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
      const uint8_t* row = sequence[list[s]] + t0;
      for (int u = 0; u < block; u++) sum[u] += row[u];
    }
    for (int u = 0; u < block; u++) ones[t0 + u] = sum[u];
  }
  for (int t = t0; t < columns; t++) ones[t] = 0;
  for (int s = 0; s < members; s++) {
    const uint8_t* row = sequence[list[s]];
    for (int t = t0; t < columns; t++) ones[t] += row[t];
  }
  for (int t = 0; t < columns; t++) {
    count[2 * t] = members - ones[t];
    count[2 * t + 1] = ones[t];
  }
  return members;
}

template class CategoricalCounts<2>;
template class CategoricalCounts<20>;
