// Column selection (-V P): each column is either clustered (scored per cluster) or background
// (scored once over all observations), clustered with prior probability P. With the column
// states summed out a partition's log-likelihood is, per column, the log of
// P exp(sum over clusters of the column's terms) + (1 - P) exp(background term).
#pragma once
#include <cstdint>
#include <vector>

#include "models/Observable.h"

class ColumnSelection {
 public:
  // The model must offer column terms (columnStatsSize() > 0); p in (0, 1).
  ColumnSelection(const Observable& model, double p);

  double p() const { return p_; }
  // A new prior probability (between iterations: the moves' caches hold no term of it).
  void setP(double p);
  int columns() const { return T_; }
  int statsWidth() const { return width_; }
  const Observable& model() const { return *model_; }

  // Column terms are kept in fixed point, units of 2^-32 nats: sums over clusters are then
  // exact and independent of their order, so a sum kept up to date move by move equals the
  // sum taken afresh, bit for bit.
  static int64_t quantize(double term);
  // The quantised column terms of a cluster from its statistics.
  void clusterTerms(const int* stats, int members, int64_t* terms) const;
  // Per column, the sum of the quantised terms of every cluster of z (labels 0..k-1).
  void partitionSums(const int* z, int k, int64_t* sums) const;
  // The log-likelihood of a partition whose per-column sums are given.
  double combine(const int64_t* sums) const;
  // The log-likelihood (no partition prior) of partition z with labels 0..k-1, and that of
  // znew less that of zold.
  double logLik(const int* z, int k) const;
  double logLikChange(const int* zold, int kold, const int* znew, int knew) const;
  // Per column, the probability of being clustered given those sums.
  void relevance(const int64_t* sums, double* out) const;

 private:
  const Observable* model_;
  int n_, T_, width_;
  double p_ = 0.5, logP_ = 0, log1mP_ = 0;
  std::vector<int64_t> background_;   // T quantised terms of all observations as one cluster
  mutable std::vector<double> terms_;  // T
  mutable std::vector<int> stats_;     // k blocks of width_
  mutable std::vector<int> sizes_;     // k
  mutable std::vector<int64_t> sums_;  // T, of logLik
};
