// One chain's evaluation of the mixture criterion of a categorical model: every cluster's
// count tables in one pass over the shared matrix, then per row the mixture of the clusters'
// products of outcome shares. The tables grow with the largest k asked, once.
#pragma once
#include <vector>

#include "models/CategoricalData.h"

template <int W>
class CategoricalMixture {
 public:
  // The data must outlive the evaluator.
  explicit CategoricalMixture(const CategoricalData<W>& data) : data_(data) {}

  // The mixture log-likelihood of labels 0..k-1, unscaled; a label without members has
  // weight 0 and is left out. The plain product of quotients, kept as the yardstick:
  double reference(const int* z, int k);
  // each quotient computed once, products stopped at 0, the same double:
  double fast(const int* z, int k);
  size_t bytes() const;

 private:
  // Fills sizes_ and the first k tables of counts_.
  void countAll(const int* z, int k);
  // From each cluster's shares (count over its column's seen total, 1 for a column none of
  // its members shows); a row's missing cells are left out.
  template <bool missing>
  double fromShares(const int* z, int k);

  const CategoricalData<W>& data_;
  std::vector<int> counts_;     // k tables of T x W
  std::vector<int> sizes_;      // k
  std::vector<double> shares_;  // k tables of T x W
};

extern template class CategoricalMixture<2>;
extern template class CategoricalMixture<20>;
