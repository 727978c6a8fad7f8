// Scores of partitions: the criterion's cluster scores through the model, the partition prior
// (Dirichlet process for an open k, symmetric Dirichlet(1) for a fixed k), the memo of cluster
// scores by member set, and the incremental scores of the one-at-a-time sweep. Every score
// a move uses comes from here; the scoring mode decides whether the fast paths are taken.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "models/Observable.h"
#include "sampler/ChainState.h"
#include "sampler/ScoreCache.h"
#include "stats/DirichletRV.h"

class Scorer {
 public:
  // k <= 0: open number of clusters. The model is not owned; its scoring mode is set to mode.
  Scorer(Observable& model, FitnessZType criterion, int k, double logalpha, ScoringMode mode,
         std::ostream& logFile);

  const Observable& model() const { return *ob_; }
  FitnessZType criterion() const { return fitnessZType_; }
  ScoringMode mode() const { return mode_; }
  int n() const { return n_; }
  bool infmix() const { return infmix_; }
  double logalpha() const { return logalpha_; }
  // Fixed k: symmetric Dirichlet(1) over the proportions (dimension 1 for an open k).
  const DirichletRV& piPrior() const { return piPrior_; }

  // Total log score of partition z with labels 0..k-1 under the criterion (plus the
  // partition prior for the integrated criterion).
  double getTotalLik(const int* z, int k) const;
  // Integrated score of the members of label j.
  double getClusterFit(const int* z, int j) const;
  // Integrated scores of the two groups of a split of members (split[m] 0 or 1; any other
  // entry is logged and left out), scored as two clusters.
  double getRestrictedIntLik(const std::vector<int>& members, const std::vector<int>& split) const;

  // One-at-a-time candidates, which differ from the current partition in two clusters at
  // most, scored from the current clusters' scores (integrated and classification criteria,
  // exact mode only).
  bool scoresPerCluster() const;
  // Keys and scores of the current clusters; the additive statistics are counted afresh, or
  // taken as already moved by moveInStats.
  void refreshCurrentScores(const ChainState& state, bool recountStats);
  // Observation i moved from one label to another; when a cluster was emptied, the highest
  // label lastLabel moved into it.
  void moveInStats(int i, int from, int to, int emptied, int lastLabel);
  // Total score of the current partition with observation i moved to label j, k labels;
  // candidate holds that partition.
  double candidateTotal(const ChainState& state, const int* candidate, int i, int j, int k);

 private:
  // Log prior of a partition with the given sizes of labels 0..k-1.
  double partitionLogPrior(const int* sizes, int k) const;
  // Score of cluster j of z, whose member key is given, through the memo of its criterion.
  double cachedScore(const int* z, int j, const ClusterKey& key, FitnessZType type) const;
  // Score of one changed cluster of a one-at-a-time candidate: current cluster m with
  // observation i added (sign +1) or removed (sign -1).
  double changedClusterScore(const ChainState& state, const int* candidate, int m, int i,
                             int sign, const ClusterKey& key);

  const Observable* ob_;
  const FitnessZType fitnessZType_;
  const ScoringMode mode_;
  const int n_;
  const bool infmix_;
  DirichletRV piPrior_;
  const double logalpha_;
  std::ostream& logFile_;

  double dpNormaliser_ = 0;               // sum over i = 1..n of log(alpha + i - 1)
  std::vector<double> lgammaInt_;         // mylgamma(s) for s = 0..n+k+1
  double piPriorLbeta_ = 0;               // log-beta of piPrior's own parameters
  mutable std::vector<int> sizes_;        // scratch of getTotalLik
  mutable std::vector<ClusterKey> keys_;  // scratch of getTotalLik
  mutable ScoreCache fitCache_;           // integrated cluster scores by member set
  mutable ScoreCache classiCache_;        // classification cluster scores by member set
  mutable unsigned long cacheHits_ = 0;
  mutable std::vector<int> restrictedZ_;  // scratch partition of getRestrictedIntLik

  std::vector<ClusterKey> curKey_;  // member keys of the current clusters
  std::vector<double> curFit_;      // scores of the current clusters
  std::vector<int> candidateSizes_;
  int statsSize_ = 0;               // ints of additive statistics per cluster, or 0
  std::vector<int> curStats_;       // statistics of the current clusters
  std::vector<int> statsScratch_;
};
