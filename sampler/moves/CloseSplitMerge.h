// A split-merge move (open k) whose merges pair clusters by closeness: "CM". A merge picks
// a cluster a at random and a partner b with probability proportional to the tempered
// target ratio of merging a with b, so clusters whose union scores well are tried first,
// however far apart their members sit in the data. Its reverse, a split, picks an
// observation, a second one of its cluster, and allocates the others sequentially in a
// random order; some restricted Gibbs scans follow and the last one's probability enters
// the ratio (the launch depends only on the cluster and the anchors, so a merge rebuilds its
// two clusters through the same scans). Every term of the ratio is exact: the pair's
// probability is computed in the partition before a merge and after a split.
//
// Draws: a coin (split or merge). Split: the first anchor (one of n), the second (one of
// its cluster's others), the allocation order and one draw per allocated member, one per
// member per scan, the acceptance. Merge: the first cluster, the partner, a coin for which
// holds the first anchor, the two anchors, the allocation order, the allocation and
// intermediate scans as a split's (the final scan is virtual), the acceptance. A split of a
// singleton, or a merge with one cluster, stops after its first draws.
#pragma once
#include <vector>

#include "sampler/moves/Move.h"
#include "sampler/ScoreCache.h"

class CloseSplitMerge : public Move {
 public:
  // scans: restricted Gibbs scans between the sequential launch and the final scan.
  CloseSplitMerge(int n, int scans, DebugLog debug);
  void step(ChainState& state, Scorer& scorer) override;

  // Log probability that a merge from the partition whose clusters are pieces() picks the
  // pair {a, b} (either order). Pieces are set by usePartition.
  double logPairProbability(const Scorer& scorer, int a, int b);
  // The pieces: the clusters of z (k labels).
  void usePartition(const Scorer& scorer, const std::vector<int>& z, int k);

 private:
  // Log weights of merging a with each piece (log 0 for a itself), into row_.
  void weighPartners(const Scorer& scorer, int a);
  // Members of the union of the two anchors' clusters, anchors first, the rest in a random
  // order, allocated sequentially between the anchors' groups (zlaunch, aligned).
  void launch(const Scorer& scorer, int i1, int i2, const std::vector<int>& zold);
  void setPiece(const Scorer& scorer, int j, const std::vector<int>& list);

  int scans_;
  std::vector<int> znew_;
  std::vector<std::vector<int>> pieces_;  // member lists
  std::vector<ClusterKey> keys_;
  std::vector<double> fits_;
  std::vector<double> row_;
  std::vector<int> unionList_;
  std::vector<int> members_, zlaunch_, zsplit_, order_;
};
