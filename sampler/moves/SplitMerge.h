// Split-merge moves that change the number of clusters by one (open k only): restricted
// Gibbs ("JN"), sequentially allocated ("DA") and uniformly random splits ("SR"). Each draws
// two anchors; a shared cluster is proposed for a split, two clusters for a merge. Clusters
// score by the integrated criterion and the partition prior's split/merge ratio, whatever
// the criterion; the acceptance ratio and the restricted scans use the scorer's tempered
// target. Nothing happens on fewer than two observations.
#pragma once
#include <vector>

#include "sampler/moves/Move.h"

// Shared by the three: the proposal buffer.
class SplitMergeMove : public Move {
 public:
  SplitMergeMove(int n, DebugLog debug) : Move(debug), znew_(n) {}

 protected:
  std::vector<int> znew_;
};

// Draws: the anchor pair, a launch coin per other member, five restricted scans of one draw
// per non-anchor, the final scan of a split (a merge's is virtual), the acceptance.
class JainNealSplitMerge : public SplitMergeMove {
 public:
  using SplitMergeMove::SplitMergeMove;
  void step(ChainState& state, Scorer& scorer) override;
  // One restricted Gibbs scan over the non-anchor members, each between the two groups of
  // zlaunch; returns the log probability of the choices made. A virtual scan draws nothing
  // and forces every member to its side in zsplit.
  static double restrictedGibbsScan(const Scorer& scorer, const std::vector<int>& members,
                                    std::vector<int>& zlaunch, int i1, int i2,
                                    bool virtualproposal, const std::vector<int>& zsplit);
};

// Draws: the anchor pair, an allocation order of all n, one per allocated member of a split,
// the acceptance. Writes "zold: ", "znew: " and the ratio line.
class SequentialSplitMerge : public SplitMergeMove {
 public:
  using SplitMergeMove::SplitMergeMove;
  void step(ChainState& state, Scorer& scorer) override;
};

// Draws: the anchor pair, a fair coin per other member of the cluster(s), the acceptance.
// Writes the proposal and the ratio line.
class RandomSplitMerge : public SplitMergeMove {
 public:
  using SplitMergeMove::SplitMergeMove;
  void step(ChainState& state, Scorer& scorer) override;
};
