// One chain's counting over the shared matrix of a categorical model: a cluster's members
// into T rows of W outcome counts, by the plain loop or, for W = 2, by one that counts only
// the ones, a block of columns at a time in registers (the same ints). A missing cell is left
// out of its column.
#pragma once
#include <vector>

#include "models/CategoricalData.h"

template <int W>
class CategoricalCounts {
 public:
  // The data must outlive the counter.
  explicit CategoricalCounts(const CategoricalData<W>& data);

  // count: T rows of W outcome counts of cluster j; returns the member count.
  int plain(const int* z, int j, int* count) const;
  int fast(const int* z, int j, int* count);
  // The scratch held, in bytes.
  size_t bytes() const { return sizeof(int) * (ones_.capacity() + members_.capacity()); }

 private:
  template <bool missing>
  int countRows(const int* z, int j, int* count) const;

  const CategoricalData<W>& data_;
  // Scratch of fast (W = 2): per column the ones, and the member list.
  std::vector<int> ones_;     // T
  std::vector<int> members_;  // n
};

extern template class CategoricalCounts<2>;
extern template class CategoricalCounts<20>;
