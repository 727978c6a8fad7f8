// Scores of partitions: the criterion's cluster scores through the model, the partition prior
// (Dirichlet process for an open k, symmetric Dirichlet(1) for a fixed k), the memo of cluster
// scores by member set, and the incremental scores of the one-at-a-time sweep. Every score
// a move uses comes from here; the scoring mode decides whether the fast paths are taken.
#pragma once
#include <cstdint>
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

  // One-at-a-time candidates, which differ from the current partition in two clusters at
  // most, scored from the current clusters' scores (integrated and classification criteria,
  // not in the reference mode).
  bool scoresPerCluster() const;
  // Keys, scores and additive statistics of the current clusters, counted afresh (once per
  // sweep: the fast mode's moments drift no further than one sweep's updates). The state's
  // member lists must be current.
  void refreshCurrentScores(const ChainState& state);
  // Observation i moved from label from to label to and the state has followed
  // (ChainState::moveObservation); when a cluster was emptied, the highest label lastLabel
  // moved into it. Keys, statistics and scores follow in O(T + k).
  void observationMoved(const ChainState& state, int i, int from, int to, int emptied,
                        int lastLabel);
  // Total score of the current partition with observation i moved to label j, k labels;
  // candidate holds that partition. Called for j = 0..k-1 in turn for each observation.
  double candidateTotal(const ChainState& state, const int* candidate, int i, int j, int k);

  // Candidates of the tree neighbourhood assembled from pieces, without a pass over all n
  // per candidate: pieces 0..k-1 are the clusters of a base partition, pieces k and k+1 the
  // groups 1 and 0 of a split of one of them. Offered for the integrated criterion outside
  // the reference mode when the model has additive statistics, moments or member lists.
  bool scoresPieces() const;
  void setBasePieces(const int* z, int k) const;
  // Members of base cluster j, ascending.
  const std::vector<int>& basePieceMembers(int j) const { return pieceMembers_[j]; }
  // group: 0 or 1 per member of basePieceMembers(j).
  void setSplitPieces(int j, const std::vector<int>& group) const;
  // getTotalLik of the partition whose label L (0..k-1) holds piece first[L] joined with
  // piece second[L] (-1: none), bit for bit.
  double piecesTotal(const int* first, const int* second, int k) const;

 private:
  // Which additive statistics the scorer keeps per cluster.
  enum class StatsKind { None, Counts, Moments };
  // What the model offers in this mode; what the criterion lets the scorer use of it; the
  // values per cluster of a kind.
  StatsKind modelStatsKind() const;
  StatsKind statsKind() const;
  int widthOf(StatsKind kind) const;
  // Whether two scores of one member set agree: bit for bit, or in the fast mode to within
  // 1e-9 relative (drift of the moments).
  bool sameScore(double a, double b) const;
  // Score of the members listed (any order unless sorted), through the statistics, the
  // member lists or, failing both, a scratch partition; memoised under key.
  double scoreListed(const int* list, int members, bool sorted, const ClusterKey& key) const;
  // Fresh score of the listed members by the model, for debug checks.
  double freshScore(const int* list, int members) const;
  // The statistics helpers, for counts (V = int) and moments (V = double) alike.
  template <class V>
  double changedFromStats(const std::vector<V>& cur, std::vector<V>& scratch, int m, int i,
                          int sign, int members) const;
  template <class V>
  void countStats(const ChainState& state, std::vector<V>& cur) const;
  template <class V>
  void moveStats(std::vector<V>& cur, int i, int from, int to, int emptied, int lastLabel) const;
  template <class V>
  double listedFromStats(std::vector<V>& scratch, int width, const int* list, int members) const;
  template <class V>
  void setPieceStats(std::vector<V>& blocks, int width, int piece,
                     const std::vector<int>& list) const;
  template <class V>
  double unionFromStats(const std::vector<V>& blocks, std::vector<V>& scratch, int width, int a,
                        int b, int members) const;
#ifndef NDEBUG
  void checkMoments(const ChainState& state) const;
#endif

  // Log prior of a partition with the given sizes of labels 0..k-1.
  double partitionLogPrior(const int* sizes, int k) const;
  // Score of cluster j of z, whose member key is given, through the memo of its criterion.
  double cachedScore(const int* z, int j, const ClusterKey& key, FitnessZType type) const;
  // Score of one changed cluster of a one-at-a-time candidate: current cluster m with
  // observation i added (sign +1) or removed (sign -1).
  double changedClusterScore(const ChainState& state, const int* candidate, int m, int i,
                             int sign, const ClusterKey& key);
  double scoreChangedCluster(const ChainState& state, const int* candidate, int m, int i,
                             int sign, const ClusterKey& key);
  // The one-at-a-time scores of observation i added to (or taken out of) label m, kept
  // while the cluster stays as it was: stamped with the label's version, which changes
  // with its member key.
  void resetSweepCache(int kold);
  void noteClusterChanged(int label);

  const Observable* ob_;
  const FitnessZType fitnessZType_;
  const ScoringMode mode_;
  const int n_;
  const bool infmix_;
  DirichletRV piPrior_;
  const double logalpha_;
  std::ostream& logFile_;
  std::string refusal_;  // see refuseScores; "" when the model offers the criterion

  double dpNormaliser_ = 0;               // sum over i = 1..n of log(alpha + i - 1)
  std::vector<double> lgammaInt_;         // mylgamma(s) for s = 0..n+k+1
  double piPriorLbeta_ = 0;               // log-beta of piPrior's own parameters
  mutable std::vector<int> sizes_;        // scratch of getTotalLik
  mutable std::vector<ClusterKey> keys_;  // scratch of getTotalLik
  mutable ScoreCache fitCache_;           // integrated cluster scores by member set
  mutable ScoreCache classiCache_;        // classification cluster scores by member set
  mutable unsigned long cacheHits_ = 0;
  mutable std::vector<int> restrictedZ_;  // scratch partition of getRestrictedIntLik
  mutable std::vector<int> groupLists_[2];  // the two groups of getRestrictedIntLik

  std::vector<ClusterKey> curKey_;  // member keys of the current clusters
  std::vector<double> curFit_;      // scores of the current clusters
  std::vector<int> candidateSizes_;
  double candidateTotalFast(const ChainState& state, const int* candidate, int i, int j, int k);
  double fitSum_ = 0, priorBase_ = 0;  // of the current partition with k labels (fast mode)
  int sweepWidth_ = 0;                 // labels per observation in the sweep cache, or 0
  std::vector<double> plusValue_, minusValue_;
  std::vector<uint64_t> plusStamp_, minusStamp_, version_;
  std::vector<ClusterKey> versionKey_;  // the member key each label's version belongs to
  uint64_t versionCounter_ = 0;
  double fitMinus_ = 0;             // the current observation's cluster without it
  std::vector<double> fitPlus_;     // per label, that cluster with the observation added
  StatsKind kind_ = StatsKind::None;
  int statsSize_ = 0;                 // values of additive statistics per cluster, or 0
  bool memoCandidates_ = true;        // one-at-a-time candidates go through the memo
  std::vector<int> curStats_;         // counts of the current clusters
  mutable std::vector<int> statsScratch_;
  std::vector<double> curMoments_;    // moments of the current clusters (fast mode)
  mutable std::vector<double> momentsScratch_;
  mutable std::vector<int> listScratch_;  // member list of a candidate cluster

  // Pieces of the tree neighbourhood (see setBasePieces).
  mutable int pieceBase_ = 0;  // k of the base partition
  mutable std::vector<ClusterKey> pieceKey_;
  mutable std::vector<int> pieceSize_;
  mutable std::vector<std::vector<int>> pieceMembers_;
  mutable std::vector<int> pieceStats_;
  mutable std::vector<double> pieceMoments_;
};
