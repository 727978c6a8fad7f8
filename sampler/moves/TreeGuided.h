// The tree-guided split-merge move ("UX", "UXf", "rBHS2" and their "2" forms; fixed-k "SR"):
// a Metropolis-Hastings step proposing, with probability control_heuristic_p, from the tree
// neighbourhood (splits read off complete-linkage trees over single clusters, combined with
// merge pairs, weighted by score or flat) and otherwise from the uniform neighbourhood (any
// two-group split of any cluster with any merge pair). Each step refreshes the distance
// matrix through the model (T/4 uniforms), then draws the mechanism, the step and the
// acceptance. When the chosen mechanism has nothing to propose, the step logs "no
// split-merge step to propose" and leaves the partition alone after those first two draws.
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "cluster/cluster.h"
#include "io/Matrix.h"
#include "sampler/moves/Move.h"

// When the tree neighbourhood weighs its steps equally instead of by score.
enum class FlatProposal { Never, Always, EveryTenth };

struct TreeMoveSettings {
  FlatProposal flat = FlatProposal::Never;
  bool includeLeafNode = false;      // single members count as tree splits
  double control_heuristic_p = 0.9;  // probability of the tree neighbourhood
};

class TreeGuidedSplitMerge : public Move {
 public:
  // n observations; infmix: open number of clusters.
  TreeGuidedSplitMerge(int n, bool infmix, TreeMoveSettings settings, DebugLog debug);

  void step(ChainState& state, Scorer& scorer) override;

  // Whether this step weighs the tree neighbourhood flat (EveryTenth: steps 10, 20, ...).
  bool flatHeuristicProb = false;
  const bool includeLeafNode;
  const double control_heuristic_p;
  Matrix<double> distanceMatrix;  // n x n, refreshed by every step

  // The partition targetZ reached from z (k labels) by splitting cluster toSplit by split
  // (-1: no split) and merging j1 into j2 (-1: no merge). With checkReverse, whether the
  // merged cluster's groups are a tree split (the tree neighbourhood offers the reverse).
  bool splitMerge(const int* z, int k, int toSplit, const std::vector<int>& split, int j1, int j2,
                  int* targetZ, bool checkReverse) const;
  // Whether split is a tree split of the members; whichnode ends at the matching node, or
  // at the last node tried (3 - m when none is).
  bool ishsplit(const std::vector<int>& split, const std::vector<int>& members,
                int& whichnode) const;
  // Linkage tree over the members (m-1 records); method "complete", "average" or "single".
  std::vector<Node> getTree(const std::vector<int>& members, const std::string& method) const;
  // A uniformly random two-group split with both groups non-empty.
  void randomSplit(std::vector<int>& split) const;
  // Log size of the uniform neighbourhood of z; per cluster the log of its split count.
  double SuMneighborhoodSize(const int* z, int k, double* logSplitsByComponent) const;
  // The tree neighbourhood's log weights: per tree split all merge pairs, then the pure
  // merges; size gets the entry count. Written to the log, a line per split.
  std::vector<double> ShMneighbor(const Scorer& scorer, const int* z, int k, int& size) const;
  // Log probability that the tree neighbourhood of z proposes the step scored lik.
  double getW(const Scorer& scorer, const int* z, int k, double lik) const;
  // Log probability of a step from z of tree probability w under the mixture of the two.
  double w2q(double w, const int* z, int k, bool merge) const;

 private:
  double proposeSuM(const ChainState& state, const Scorer& scorer, bool& hreversible,
                    bool& isSplit);
  double proposeShM(const ChainState& state, const Scorer& scorer, bool& hreversible,
                    bool& isSplit);

  const int n;
  const bool infmix;
  const FlatProposal flat_;
  int aCounter_ = 0;         // step count modulo 10, for FlatProposal::EveryTenth
  int knew_ = 0;             // labels of the proposal
  std::vector<int> znew_;    // the proposal
};
