// The prior of the word "shared": per column, a cluster's category probabilities are drawn
// from a mixture of Dirichlets whose mean is the column's own profile, its frequencies over
// all rows, and whose concentrations are the prior text's (component k's is the sum of its
// parameters; its weight is its weight). A cluster that shows the column's usual mix scores
// about what the whole data would give it, so a cluster pays for itself only where its
// profile differs from the rest. The profiles are counted once, when the data are read.
// Categories a column never shows have no mass; a column showing one category scores 0.
#pragma once
#include <ostream>
#include <vector>

#include "io/Matrix.h"
#include "stats/MixtureDirichletRV.h"

class ColumnProfilePrior {
 public:
  // The marker word ending a prior text that asks for this prior.
  static constexpr const char* kMarker = "shared";

  // counts: T rows of W category counts over all rows (columnCounts). Writes one line about
  // itself to log.
  ColumnProfilePrior(const MixtureDirichletRV& concentrations, const std::vector<int>& counts,
                     int T, int W, std::ostream& log);
  // Column t's log marginal for the first W of count's entries; allocates nothing.
  double columnFit(const int* count, int t) const;
  int columns() const { return T_; }

 private:
  int T_ = 0, W_ = 0, K_ = 0;
  std::vector<double> logWeight_;     // K
  std::vector<double> concentration_; // K
  std::vector<double> lgammaConcentration_;  // K
  std::vector<double> alpha_;         // T x W x K: concentration x frequency
  std::vector<double> lgammaAlpha_;   // T x W x K
  std::vector<char> informative_;     // T: two or more categories seen
};

// Per column t of sequence (n rows of T codes), the counts of codes 0..W-1 (other codes,
// such as a gap or a missing cell, are not counted), into T rows of W.
std::vector<int> columnCounts(const Matrix<uint8_t>& sequence, int n, int T, int W);
