// The one-at-a-time sweep's candidate scores, from the current clusters' scores, keys and
// additive statistics kept here (a candidate differs from the partition in two clusters at
// most). The call order is in the types: a sweep starts, each observation's visit yields
// its candidates j = 0..k-1 in turn, and only a finished visit reports its move.
#pragma once
#include <cstdint>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"
#include "sampler/moves/ColumnCandidates.h"
#include "sampler/moves/SweepCache.h"

class OneAtATimeScores {
 public:
  class Visit;

  // One sweep over the current partition. Valid while the partition changes only through
  // the moves its visits report.
  class Sweep {
   public:
    // Candidates scored from the current clusters (integrated and classification criteria,
    // not in the reference mode); otherwise each is scored whole.
    bool incremental() const { return incremental_; }
    // Whether a visit may estimate its candidates' totals (estimateAll): in the exact mode,
    // from statistics or member lists, under a prior that bounds its rounding.
    bool estimates() const { return estimates_; }
    // Observation i's candidates among k labels, written one at a time into candidate[i]
    // (the rest of candidate is the current partition).
    Visit visit(int* candidate, int i, int k);

   private:
    friend OneAtATimeScores;
    Sweep(OneAtATimeScores& scores, bool incremental, bool estimates)
        : scores_(&scores), incremental_(incremental), estimates_(estimates) {}
    OneAtATimeScores* scores_;
    bool incremental_;
    bool estimates_;
  };

  class Visit {
   public:
    bool done() const { return j_ == k_; }
    // The total score of the next candidate (labels 0, 1, ... k-1 in turn).
    double next();
    // Instead of next: scores the changed clusters of every candidate and writes into
    // approx[0..k-1] their totals added up in O(1) each, not in the whole score's order;
    // returns a bound on how far any lies from the exact total. Sweeps that estimate only.
    double estimateAll(double* approx);
    // After estimateAll: the exact total of candidate j, as next would have given it (O(k)).
    double exact(int j);
    // After every candidate, the observation moved from label from to label to and the state
    // followed (ChainState::moveObservation); emptied and lastLabel as it returned and as
    // its highest label was. Incremental sweeps only.
    void moved(int from, int to, int emptied, int lastLabel);

   private:
    friend Sweep;
    Visit(OneAtATimeScores& scores, bool incremental, int* candidate, int i, int k)
        : scores_(&scores), incremental_(incremental), candidate_(candidate), i_(i), k_(k) {}
    OneAtATimeScores* scores_;
    bool incremental_;
    int* candidate_;
    int i_, k_;
    int j_ = 0;
  };

  // Starts a sweep of the state's partition scored by scorer: keys, scores and statistics
  // of the current clusters are counted afresh (the fast mode's moments then drift no
  // further than one sweep's updates). The state's member lists must be current.
  Sweep start(Scorer& scorer, const ChainState& state);

 private:
  using StatsKind = Scorer::StatsKind;
  double candidateTotal(int i, int j, int k);
  double candidateTotalFast(int i, int j, int k);
  // Scores the two changed clusters of candidate j != c (c's only for the first such j).
  void scoreCandidate(int i, int j, bool first);
  // The total of candidate j, whose changed clusters are scored, summed in label order as a
  // whole score sums it.
  double wholeTotal(int i, int j, int k);
  double estimateAll(int i, int k, double* approx);
  void observationMoved(int i, int from, int to, int emptied, int lastLabel);
  // Score of one changed cluster of a candidate: current cluster m with observation i added
  // (sign +1) or removed (sign -1).
  double changedClusterScore(int m, int i, int sign, const ClusterKey& key);
  double scoreChangedCluster(int m, int i, int sign, const ClusterKey& key);
  // Observation i alone in the empty label m: scored once per observation.
  double aloneScore(int m, int i, const ClusterKey& key);
  void resetSweepCache(int kold);
  template <class V>
  double changedFromStats(const std::vector<V>& cur, std::vector<V>& scratch, int m, int i,
                          int sign, int members) const;
  template <class V>
  void countStats(std::vector<V>& cur) const;
  template <class V>
  void moveStats(std::vector<V>& cur, int i, int from, int to, int emptied, int lastLabel) const;
#ifndef NDEBUG
  void checkMoments() const;
#endif

  Scorer* scorer_ = nullptr;
  const ChainState* state_ = nullptr;
  int* candidate_ = nullptr;  // of the visit in progress

  std::vector<ClusterKey> curKey_;  // member keys of the current clusters
  std::vector<double> curFit_;      // scores of the current clusters
  std::vector<int> candidateSizes_;
  double fitSum_ = 0, priorBase_ = 0;  // of the current partition with k labels (fast mode)
  SweepCache sweepCache_;  // changed clusters' scores kept from sweep to sweep
  double fitMinus_ = 0;          // the current observation's cluster without it
  std::vector<double> fitPlus_;  // per label, that cluster with the observation added
  std::vector<double> alone_;    // per observation, its score alone, once known
  std::vector<char> aloneKnown_;
  const Scorer* aloneScorer_ = nullptr;  // of the scores in alone_
  StatsKind kind_ = StatsKind::None;
  int statsSize_ = 0;           // values of additive statistics per cluster, or 0
  bool memoCandidates_ = true;  // candidates go through the scorer's memo
  std::vector<int> curStats_;   // counts of the current clusters
  std::vector<int> statsScratch_;
  std::vector<double> curMoments_;  // moments of the current clusters (fast mode)
  std::vector<double> momentsScratch_;
  std::vector<int> listScratch_;  // member list of a candidate cluster
  bool columnMode_ = false;  // column selection: candidates from columns_
  ColumnCandidates columns_;
};
