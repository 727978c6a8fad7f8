// The Beta prior on the column selection's P (-W A,B): after every iteration an exact Gibbs
// step draws each column's state (clustered or background) given the partition and P, then
// P given the states from its Beta posterior, and the scorer takes the new P.
#pragma once
#include <cstdint>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"

class ColumnPrior {
 public:
  // shape a, b > 0; the scorer must select columns.
  ColumnPrior(double a, double b) : a_(a), b_(b) {}
  // Draws T uniforms and two gamma variates; returns the new P.
  double step(Scorer& scorer, const ChainState& state);

 private:
  double a_, b_;
  std::vector<int64_t> sums_;
  std::vector<double> relevance_;
};
