// Scores of partitions: the criterion's cluster scores through the model, the partition prior
// (sampler/PartitionPrior.h), the inverse temperature of the target and the memo of cluster
// scores by member set. Every score a move uses comes from here, or from a move's own cache
// built on it; the scoring mode decides whether the fast paths are taken.
#pragma once
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "models/Observable.h"
#include "sampler/ChainConfig.h"
#include "sampler/ColumnSelection.h"
#include "sampler/ListScoring.h"
#include "sampler/ScoreCache.h"
#include "sampler/PartitionPrior.h"

class Scorer {
 public:
  // k <= 0: open number of clusters. The model is not owned; its scoring mode is set to mode.
  Scorer(Observable& model, FitnessZType criterion, int k, double logalpha, ScoringMode mode,
         std::ostream& logFile);
  // A chain's scorer as its configuration says: the above, the criterion's refusal and the
  // column selection.
  Scorer(Observable& model, const ChainConfig& config, std::ostream& logFile);

  const Observable& model() const { return *ob_; }
  FitnessZType criterion() const { return fitnessZType_; }
  ScoringMode mode() const { return mode_; }
  int n() const { return n_; }
  bool infmix() const { return infmix_; }
  // The partition prior: the Dirichlet process for an open k, the symmetric Dirichlet(1)
  // for a fixed k. Its parameters may change between iterations.
  const PartitionPrior& prior() const { return *prior_; }
  PartitionPrior& prior() { return *prior_; }

  // The tempered target: every move samples partitions z with probability proportional to
  // exp(beta * getTotalLik(z)), the whole score (likelihood and prior) heated alike. beta
  // lies in (0, 1]; 1 (the default) is the posterior itself. Scores themselves, and the
  // trace and best partition made of them, stay untempered.
  void setInverseTemperature(double beta);
  double inverseTemperature() const { return beta_; }
  // The log target density, up to a constant, of a partition whose total score is given.
  double tempered(double score) const { return beta_ * score; }

  // Column selection with prior probability p (integrated criterion, a model with column
  // terms): from here on every total combines per-column sums of the clusters' terms with
  // the background terms, and the split-merge moves take their likelihood ratios from
  // totals. Null when not selected.
  void selectColumns(double p);
  const ColumnSelection* columns() const { return columns_.get(); }
  ColumnSelection* columns() { return columns_.get(); }

  // A criterion the model's catalog row leaves out: the run's first score (getTotalLik, the
  // first of every run) ends it with line on the log, and the model is never asked for it.
  void refuseScores(const std::string& line) { refusal_ = line; }

  // Total log score of partition z with labels 0..k-1 under the criterion (plus the
  // partition prior for the integrated criterion).
  double getTotalLik(const int* z, int k) const;
  // Integrated score of the members of label j.
  double getClusterFit(const int* z, int j) const;
  // Integrated scores of the two groups of a split of members (split[m] 0 or 1; any other
  // entry is logged and left out), scored as two clusters.
  double getRestrictedIntLik(const std::vector<int>& members, const std::vector<int>& split) const;
  // Integrated score of the members listed (at least one, any order) whose member key (the
  // XOR of memo(INTEGRATED).key of each) is given; memoised.
  double listScore(const int* list, int members, const ClusterKey& key) const;
  // Integrated score of one non-empty set of members listed in ascending order, memoised.
  double memberScore(const std::vector<int>& sorted) const { return lists_.listed(*this, sorted); }

  // Whether the one-at-a-time sweep may score its candidates from the current clusters'
  // scores (integrated and classification criteria, not in the reference mode).
  bool scoresPerCluster() const;

  // What the moves' own caches (sampler/moves/OneAtATimeScores.h, TreePieces.h) build on.
  // Which additive statistics of the model serve the criterion in this mode, and their
  // values per cluster.
  enum class StatsKind { None, Counts, Moments };
  StatsKind statsKind() const;
  int widthOf(StatsKind kind) const;
  // The memo of cluster scores by member set of a criterion (integrated or classification).
  ScoreCache& memo(FitnessZType type) const {
    return type == INTEGRATED ? memo_.integrated : memo_.classification;
  }
  // Score of cluster j of z, whose member key is given, through the memo of its criterion.
  double cachedScore(const int* z, int j, const ClusterKey& key, FitnessZType type) const;
  // Log prior of a partition with the given sizes of labels 0..k-1; a fixed k refuses any
  // other number of labels.
  double partitionLogPrior(const int* sizes, int k) const;
  // Whether two scores of one member set agree: bit for bit, or in the fast mode to within
  // 1e-9 relative (drift of the moments). For debug checks, with freshScore: the model's
  // score of the listed members.
  bool sameScore(double a, double b) const;
  double freshScore(const int* list, int members) const;
  std::ostream& log() const { return logFile_; }

 private:
  friend class ListScoring;
  StatsKind modelStatsKind() const;

  const Observable* ob_;
  const FitnessZType fitnessZType_;
  const ScoringMode mode_;
  const int n_;
  const bool infmix_;
  std::unique_ptr<PartitionPrior> prior_;
  double beta_ = 1.0;
  std::ostream& logFile_;
  std::string refusal_;  // see refuseScores; "" when the model offers the criterion
  std::unique_ptr<ColumnSelection> columns_;

  // The memo, and scratch of the const scoring calls.
  // The memo of cluster scores by member set, one per criterion that has one.
  struct Memo {
    explicit Memo(int n) : integrated(n), classification(n) {}
    ScoreCache integrated, classification;
    unsigned long hits = 0;  // debug builds check every 61st hit against a fresh score
  };
  mutable Memo memo_;
  // Of getTotalLik, grown to the largest k scored (not n labels: kept small at large n).
  mutable std::vector<int> sizes_;
  mutable std::vector<ClusterKey> keys_;
  mutable ListScoring lists_;             // getRestrictedIntLik, freshScore
};
