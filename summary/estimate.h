// The point estimate: the partition of lowest posterior expected loss that a greedy search
// finds, started from the draws of lowest expected loss, moving one item at a time to
// another cluster or a new one while a move lowers the loss.
#pragma once
#include <vector>

#include "summary/loss.h"

namespace summary {

struct Estimate {
  std::vector<int> labels;   // in order of first appearance
  double expectedLoss = 0;
  double bestDrawLoss = 0;   // the lowest expected loss among the draws evaluated
  size_t bestDraw = 0;       // that draw's position in the DrawSet's input list
  size_t evaluated = 0;      // distinct draws whose expected loss was computed
  int starts = 0;            // draws the search started from
};

// Distinct draws whose expected losses are computed: all of them while
// distinct^2 * n <= pairBudget, else an evenly spaced subset of pairBudget / (distinct * n).
constexpr double kPairBudget = 4e9;

// Runs the search from the `starts` draws of lowest expected loss and keeps the best result;
// its expected loss is never above that of the best draw evaluated. Time O(distinct^2 * n)
// for the draws' losses (capped by pairBudget) plus, per sweep, O(the estimate clusters met
// in each item's draw clusters), at most O(n * distinct * clusters); memory O(n * distinct).
Estimate findEstimate(const DrawSet& draws, Loss loss, int starts = 5,
                      double pairBudget = kPairBudget);

// Moves single items of labels (in 0..n-1) while a move to another cluster or a new one
// lowers the expected loss by more than rounding; returns the number of moves made.
long reallocate(const DrawSet& draws, Loss loss, std::vector<int>& labels);

}  // namespace summary
