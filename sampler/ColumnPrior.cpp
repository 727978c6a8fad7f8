#include "sampler/ColumnPrior.h"

#include <cmath>

#include "stats/rvgs.h"

double ColumnPrior::step(Scorer& scorer, const ChainState& state) {
  ColumnSelection& columns = *scorer.columns();
  const int T = columns.columns();
  sums_.resize(T);
  relevance_.resize(T);
  columns.partitionSums(state.zold.data(), state.kold, sums_.data());
  columns.relevance(sums_.data(), relevance_.data());
  int clustered = 0;
  for (int t = 0; t < T; t++) clustered += myunif_rand() < relevance_[t];
  // Beta(a + clustered, b + background) as G1 / (G1 + G2), from the logs of the gammas.
  const double logG1 = rGamma(a_ + clustered, true);
  const double logG2 = rGamma(b_ + (T - clustered), true);
  double p = 1.0 / (1.0 + std::exp(logG2 - logG1));
  // P must stay strictly inside (0, 1): both states keep a finite log weight.
  const double lowest = 1e-300, highest = std::nextafter(1.0, 0.0);
  p = p < lowest ? lowest : p > highest ? highest : p;
  columns.setP(p);
  return p;
}
