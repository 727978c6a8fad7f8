// The one-at-a-time sweep's candidate totals under column selection: per current cluster its
// statistics and quantised column terms, and per column their sum over clusters, so that a
// candidate (observation i moved from its cluster to label j) costs one statistics update
// per changed cluster and one pass over the columns, and allocates nothing once warm.
#pragma once
#include <cstdint>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"

class ColumnCandidates {
 public:
  // The current clusters of state, counted afresh.
  void start(const Scorer& scorer, const ChainState& state);
  // The total score of the current partition with i at label j (k labels), as
  // Scorer::getTotalLik gives it, bit for bit. Labels 0..k-1 in turn for each i.
  double total(int i, int j, int k);
  // After every candidate of i: i moved from label from to label to, and the state followed
  // (emptied and lastLabel as ChainState::moveObservation reported them).
  void moved(int i, int from, int to, int emptied, int lastLabel);

 private:
  int64_t* termsOf(std::vector<int64_t>& blocks, int label);
  int* statsOf(int label);
  // The terms of cluster m with i added (sign +1) or taken out (-1) into out.
  void changedTerms(int m, int i, int sign, int64_t* out);

  const Scorer* scorer_ = nullptr;
  const ChainState* state_ = nullptr;
  const ColumnSelection* columns_ = nullptr;
  int T_ = 0, width_ = 0;
  std::vector<int> stats_;        // per label, width_ ints
  std::vector<int64_t> terms_;    // per label, T_ quantised terms
  std::vector<int64_t> sums_;     // T_: the current partition's column sums
  double lik_ = 0;                // its log-likelihood
  std::vector<int64_t> minus_;    // T_: i's cluster without i
  std::vector<int64_t> plus_;     // per label, T_: the label with i added
  std::vector<int64_t> candidate_;  // T_
  std::vector<int> scratch_;      // width_
  std::vector<int> sizes_;        // of a candidate's labels
};
