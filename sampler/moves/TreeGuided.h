// The tree-guided split-merge move ("UX", "UXf", "rBHS2" and their "2" forms; fixed-k "SR"):
// a Metropolis-Hastings step on the scorer's tempered target, proposing, with probability
// control_heuristic_p, from the tree neighbourhood (splits read off complete-linkage trees
// over single clusters, combined with merge pairs, weighted by tempered score or flat) and
// otherwise from the uniform neighbourhood (any two-group split of any cluster with any
// merge pair). Each step draws the positions its distances are measured over (T/4
// uniforms), then the mechanism, the step and the acceptance. Distances are computed only
// within the clusters a tree is built over, when it is built: memory O(m^2) for the
// largest such cluster of m members, no n x n matrix. When the chosen mechanism has
// nothing to propose, the step logs "no split-merge step to propose" and leaves the
// partition alone after those first two draws.
#pragma once
#include <deque>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cluster/cluster.h"
#include "models/Observable.h"
#include "sampler/moves/Move.h"
#include "sampler/moves/TreePieces.h"

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

  // Trees from now on measure distances through model over the positions listed (all
  // positions when empty); trees built before are forgotten. Each step sets its own.
  void useDistances(const Observable& model, const std::vector<int>& positions);

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
  // The complete-linkage tree over the members (ascending), built once per step.
  const std::vector<Node>& completeTree(const std::vector<int>& members) const;
  // A uniformly random two-group split with both groups non-empty.
  void randomSplit(std::vector<int>& split) const;
  // Log size of the uniform neighbourhood of z; per cluster the log of its split count.
  double uniformNeighbourhoodSize(const int* z, int k, double* logSplitsByComponent) const;
  // The tree neighbourhood's log weights (flat, or the tempered scores of the steps): per
  // tree split all merge pairs, then the pure merges; size gets the entry count. Written to
  // the log, a line per split.
  std::vector<double> treeNeighbourhood(Scorer& scorer, const int* z, int k, int& size);
  // Log probability that the tree neighbourhood of z proposes the step scored lik
  // (untempered).
  double treeProposalLogProb(Scorer& scorer, const int* z, int k, double lik);
  // Log probability of a step from z of tree probability w under the mixture of the two.
  double mixedProposalLogProb(double w, const int* z, int k, bool merge) const;

 private:
  double proposeSuM(const ChainState& state, Scorer& scorer, bool& hreversible, bool& isSplit);
  double proposeShM(const ChainState& state, Scorer& scorer, bool& hreversible, bool& isSplit);
  // The scored tree table, candidates written out and scored whole (the general way), or
  // assembled from pieces.
  void scoreTableWhole(const Scorer& scorer, const int* z, int k, const int* sizes,
                       std::vector<double>& table) const;
  void scoreTableFromPieces(Scorer& scorer, const int* z, int k, const int* sizes,
                            std::vector<double>& table);

  const int n;
  const bool infmix;
  const FlatProposal flat_;
  int aCounter_ = 0;         // step count modulo 10, for FlatProposal::EveryTenth
  int knew_ = 0;             // labels of the proposal
  std::vector<int> znew_;    // the proposal
  const Observable* distanceModel_ = nullptr;
  std::vector<int> positions_;  // of the distances; empty: all
  TreePieces pieces_;           // the scored table's candidates from pieces
  // Complete-linkage trees of this step by member list: clusters recur in the tables of
  // the current and the proposed partition.
  mutable std::deque<std::pair<std::vector<int>, std::vector<Node>>> trees_;
};
