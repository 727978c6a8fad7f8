// The tree-guided split-merge move and its neighbourhoods; see TreeGuided.h.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "sampler/moves/TreeGuided.h"
#include "io/Failure.h"
#include "io/Interrupt.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "io/Files.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "cluster/LinkageTree.h"
#include "stats/rvgs.h"

namespace {

// Merge pairs after a split (k + 1 labels) and among the k labels of a partition.
int pairCount(int k) { return k * (k + 1) / 2; }
int mergeCount(int k) { return k * (k - 1) / 2; }

// Tree splits of a cluster of m members: internal nodes 3-m..-1 (the root and its child
// -(m-2) would repeat a split), then, with leaves, the leaves 0..m-1. Split number s
// (0-based) is node s + 3 - m throughout, which also covers m = 2 (leaf 1 only).
int treeSplitCount(int m, bool includeLeafNode) {
  return std::max(0, m * (includeLeafNode ? 2 : 1) - 3);
}
int treeSplitNode(int s, int m) { return s + 3 - m; }

// log(2^(m-1) - 1), the unordered two-group splits of m members; -inf below two members.
double logSplitCount(int m) {
  if (m < 2) return kLogZero;
  if (m - 1 <= 1000) return std::log(std::pow(2.0, m - 1) - 1.0);
  return (m - 1) * std::log(2.0) + std::log1p(-std::pow(2.0, -(m - 1)));
}

void membersOf(const int* z, int n, int label, std::vector<int>& members) {
  members.clear();
  for (int i = 0; i < n; i++)
    if (z[i] == label) members.push_back(i);
}

bool isUndoPair(int row, int col, int k, int toSplit) { return row == k && col == toSplit; }

}  // namespace

TreeGuidedSplitMerge::TreeGuidedSplitMerge(int n, bool infmix, TreeMoveSettings settings,
                                           DebugLog debug)
    : Move(debug),
      flatHeuristicProb(settings.flat == FlatProposal::Always),
      includeLeafNode(settings.includeLeafNode),
      control_heuristic_p(settings.control_heuristic_p),
      n(n),
      infmix(infmix),
      flat_(settings.flat),
      znew_(n) {}

void TreeGuidedSplitMerge::useDistances(const Observable& model,
                                        const std::vector<int>& positions) {
  distanceModel_ = &model;
  positions_ = positions;
  trees_.clear();
}

// ---------------------------------------------------------------------------------------
// Steps and tree splits

bool TreeGuidedSplitMerge::splitMerge(const int* z, int k, int toSplit,
                                      const std::vector<int>& split, int j1, int j2, int* targetZ,
                                      bool checkReverse) const {
  const bool record = checkReverse && j1 != -1;
  std::vector<int> members, groups;  // the merged cluster; group 1 came from j1
  // The label that moves into the one freed by the merge: the new half after a split, the
  // last label after a pure merge. A pure split keeps its new label k.
  int vacated = -1;
  if (j1 != -1) vacated = toSplit != -1 ? k : k - 1;
  int c = 0;
  for (int i = 0; i < n; i++) {
    int label = z[i];
    if (label == toSplit && split[c++] == 1) label = k;
    if (label == j1) {
      label = j2;
      if (record) {
        members.push_back(i);
        groups.push_back(1);
      }
    } else if (label == j2 && record) {
      members.push_back(i);
      groups.push_back(0);
    }
    if (label == vacated) label = j1;
    targetZ[i] = label;
  }
  if (!record) return true;
  int whichnode;
  return ishsplit(groups, members, whichnode);
}

// whichnode ends at the matching node, or at the last node tried (3 - m when none is).
bool TreeGuidedSplitMerge::ishsplit(const std::vector<int>& split, const std::vector<int>& members,
                                int& whichnode) const {
  const int m = static_cast<int>(members.size());
  const int count = treeSplitCount(m, includeLeafNode);
  whichnode = treeSplitNode(0, m);
  if (count == 0) return false;
  const std::vector<Node>& tree = completeTree(members);
  std::vector<int> nodeSplit(m);
  for (int s = 0; s < count; s++) {
    whichnode = treeSplitNode(s, m);
    std::fill(nodeSplit.begin(), nodeSplit.end(), 0);
    LinkageTree::getSplit(tree.data(), whichnode, nodeSplit);
    if (Arrays::compareArray(nodeSplit, split, m)) return true;
  }
  return false;
}

std::vector<Node> TreeGuidedSplitMerge::getTree(const std::vector<int>& members,
                                            const std::string& method) const {
  Node* (*linkage)(int, double**) = nullptr;
  if (method == "complete")
    linkage = completeLinkage;
  else if (method == "average")
    linkage = averageLinkage;
  else if (method == "single")
    linkage = singleLinkage;
  else
    Files::fail(chainOut(), "LatentClass::getTree(): this method not supported: " + method);

  // The linkage routine works in place on this scratch lower triangle, filled with the
  // distances it needs only.
  const int m = static_cast<int>(members.size());
  std::vector<double> scratch(static_cast<size_t>(m) * (m - 1) / 2 + 1);
  std::vector<double*> rows(m);
  const int length = static_cast<int>(positions_.size());
  for (int i = 0; i < m; i++) {
    checkInterrupt();
    rows[i] = scratch.data() + static_cast<size_t>(i) * (i - 1) / 2;
    for (int j = 0; j < i; j++)
      rows[i][j] = length == 0
                       ? distanceModel_->pairwiseDistance(members[i], members[j])
                       : distanceModel_->pairwiseDistance(members[i], members[j], length,
                                                          positions_.data());
  }
  std::unique_ptr<Node[]> tree(linkage(m, rows.data()));
  if (!tree) return {};
  return std::vector<Node>(tree.get(), tree.get() + (m - 1));
}

const std::vector<Node>& TreeGuidedSplitMerge::completeTree(
    const std::vector<int>& members) const {
  for (const auto& entry : trees_)
    if (entry.first == members) return entry.second;
  trees_.emplace_back(members, getTree(members, "complete"));
  return trees_.back().second;
}

void TreeGuidedSplitMerge::randomSplit(std::vector<int>& split) const {
  // Both groups must be non-empty, which one member cannot satisfy.
  if (split.size() < 2)
    Files::fail(debug_.out, "PartitionSampler::randomSplit(): a split needs at least two members");
  bool hasZero, hasOne;
  do {
    hasZero = hasOne = false;
    for (int& entry : split) {
      entry = myunif_rand() < 0.5 ? 0 : 1;
      if (entry == 0)
        hasZero = true;
      else
        hasOne = true;
    }
  } while (!(hasZero && hasOne));
}

// ---------------------------------------------------------------------------------------
// Neighbourhoods

double TreeGuidedSplitMerge::uniformNeighbourhoodSize(const int* z, int k,
                                             double* logSplitsByComponent) const {
  std::vector<int> sizes(k);
  Arrays::table(z, n, sizes.data(), k);
  for (int j = 0; j < k; j++) logSplitsByComponent[j] = logSplitCount(sizes[j]);
  // With a fixed number of clusters the undo pair is not a step.
  const int pairs = pairCount(k) - (infmix ? 0 : 1);
  return MathPlus::logSumExp(logSplitsByComponent, k) + std::log(static_cast<double>(pairs));
}

std::vector<double> TreeGuidedSplitMerge::treeNeighbourhood(Scorer& scorer, const int* z, int k,
                                                       int& size) {
  std::vector<int> sizes(k);
  Arrays::table(z, n, sizes.data(), k);
  int splitCount = 0;
  for (int j = 0; j < k; j++) splitCount += treeSplitCount(sizes[j], includeLeafNode);
  const int pairs = pairCount(k);
  const int merges = mergeCount(k);
  size = merges + splitCount * pairs;
  std::vector<double> table(size, kLogZero);
  int row, col;

  if (flatHeuristicProb) {
    const double count = infmix ? size : (pairs - 1.0) * splitCount;
    const double logp = -std::log(count);
    int d = 0;
    for (int j = 0; j < k; j++)
      for (int s = treeSplitCount(sizes[j], includeLeafNode); s > 0; s--)
        for (int q = 0; q < pairs; q++, d++) {
          MathPlus::getRowCol(q, row, col);
          if (infmix || !isUndoPair(row, col, k, j)) table[d] = logp;
        }
    if (infmix)
      for (; d < size; d++) table[d] = logp;
  } else {
    if (TreePieces::applies(scorer))
      scoreTableFromPieces(scorer, z, k, sizes.data(), table);
    else
      scoreTableWhole(scorer, z, k, sizes.data(), table);
    // Steps are weighed by the tempered target.
    for (double& entry : table) entry = scorer.tempered(entry);
  }

  if (debug_.enabled) {
    for (int b = 0; b < splitCount; b++)
      Text::printArray(table.data() + static_cast<size_t>(b) * pairs, pairs, debug_.out, true);
    Text::printArray(table.data() + static_cast<size_t>(splitCount) * pairs, merges, debug_.out, true);
  }
  return table;
}

void TreeGuidedSplitMerge::scoreTableWhole(const Scorer& scorer, const int* z, int k,
                                           const int* sizes, std::vector<double>& table) const {
  const int pairs = pairCount(k);
  const int merges = mergeCount(k);
  std::vector<int> scratch(n), members, nodeSplit;
  const std::vector<int> noSplit;
  int d = 0, row, col;
  for (int j = 0; j < k; j++) {
    const int m = sizes[j];
    const int count = treeSplitCount(m, includeLeafNode);
    if (count == 0) continue;
    membersOf(z, n, j, members);
    const std::vector<Node>& tree = completeTree(members);
    for (int s = 0; s < count; s++) {
      checkInterrupt();
      nodeSplit.assign(m, 0);
      LinkageTree::getSplit(tree.data(), treeSplitNode(s, m), nodeSplit);
      for (int q = 0; q < pairs; q++, d++) {
        MathPlus::getRowCol(q, row, col);
        if (!isUndoPair(row, col, k, j)) {
          splitMerge(z, k, j, nodeSplit, row, col, scratch.data(), false);
          table[d] = scorer.getTotalLik(scratch.data(), k);
        } else if (infmix) {
          splitMerge(z, k, j, nodeSplit, -1, -1, scratch.data(), false);
          table[d] = scorer.getTotalLik(scratch.data(), k + 1);
        }
      }
    }
  }
  if (infmix)
    for (int q = 0; q < merges; q++, d++) {
      MathPlus::getRowCol(q, row, col);
      splitMerge(z, k, -1, noSplit, row, col, scratch.data(), false);
      table[d] = scorer.getTotalLik(scratch.data(), k - 1);
    }
}

// The partitions splitMerge writes, described by the pieces each label holds: base
// clusters 0..k-1, the split cluster's group 1 as piece k and its group 0 as piece k + 1.
// Every candidate then costs O(k) plus the clusters the memo has not met.
void TreeGuidedSplitMerge::scoreTableFromPieces(Scorer& scorer, const int* z, int k,
                                                const int* sizes, std::vector<double>& table) {
  const int pairs = pairCount(k);
  const int merges = mergeCount(k);
  TreePieces::Base base = pieces_.base(scorer, z, k);
  std::vector<int> first(k + 1), second(k + 1), nodeSplit;
  int d = 0, row, col;
  for (int j = 0; j < k; j++) {
    const int m = sizes[j];
    const int count = treeSplitCount(m, includeLeafNode);
    if (count == 0) continue;
    const std::vector<Node>& tree = completeTree(base.members(j));
    // After the split, label j holds group 0 and the new label k group 1.
    auto piece = [&](int label) { return label == j ? k + 1 : label; };
    for (int s = 0; s < count; s++) {
      checkInterrupt();
      nodeSplit.assign(m, 0);
      LinkageTree::getSplit(tree.data(), treeSplitNode(s, m), nodeSplit);
      TreePieces::Split split = base.split(j, nodeSplit);
      for (int q = 0; q < pairs; q++, d++) {
        MathPlus::getRowCol(q, row, col);
        if (!isUndoPair(row, col, k, j)) {
          // Label row joins label col; the new label k takes row's place.
          for (int label = 0; label < k; label++) {
            first[label] = piece(label);
            second[label] = -1;
          }
          second[col] = piece(row);
          if (row < k) first[row] = k;
          table[d] = split.total(first.data(), second.data(), k);
        } else if (infmix) {
          for (int label = 0; label <= k; label++) {
            first[label] = piece(label);
            second[label] = -1;
          }
          table[d] = split.total(first.data(), second.data(), k + 1);
        }
      }
    }
  }
  if (infmix)
    for (int q = 0; q < merges; q++, d++) {
      MathPlus::getRowCol(q, row, col);
      // Label row joins label col; the last label takes row's place.
      for (int label = 0; label < k - 1; label++) {
        first[label] = label;
        second[label] = -1;
      }
      second[col] = row;
      if (row < k - 1) first[row] = k - 1;
      table[d] = base.total(first.data(), second.data(), k - 1);
    }
}

// ---------------------------------------------------------------------------------------
// The tree-guided move
//
// When there is no step to propose -- a fixed number of clusters whose tree table has no
// finite weight (no tree split, or a single cluster whose only pair is the undo pair), or
// a uniform neighbourhood of size zero (a fixed single cluster, or every observation
// alone) -- the proposal returns log 0 without drawing and the move ends unchanged, after
// writing "no split-merge step to propose" to the log. It consumes the draws of the
// distance refresh and the mechanism choice only: no table, split, pair or acceptance draw.
// Staying put when the chosen mechanism offers nothing leaves the mixture proposal
// density of every real step as computed, so the chain stays reversible.

void TreeGuidedSplitMerge::step(ChainState& state, Scorer& scorer) {
  if (flat_ == FlatProposal::EveryTenth) {
    aCounter_ = (aCounter_ + 1) % 10;
    flatHeuristicProb = aCounter_ == 0;
  }
  const int kold = state.kold;
  const std::vector<int>& zold = state.zold;
  std::vector<int> positions;
  scorer.model().drawDistancePositions(positions);
  useDistances(scorer.model(), positions);

  bool hreversible = false;
  bool split = false;
  const double u = myunif_rand();
  const double logforwardq = (u < control_heuristic_p || n == kold)
                                 ? proposeShM(state, scorer, hreversible, split)
                                 : proposeSuM(state, scorer, hreversible, split);
  if (logforwardq == kLogZero) {
    if (debug_.enabled) debug_.out << "no split-merge step to propose" << '\n';
    return;
  }
  const int knew = knew_;
  const std::vector<int>& znew = znew_;
  if (debug_.enabled) {
    Text::printArray(zold.data(), n, debug_.out, true);
    Text::printArray(znew.data(), n, debug_.out, true);
  }

  const double oldlik = scorer.getTotalLik(zold.data(), kold);
  const double newlik = scorer.getTotalLik(znew.data(), knew);
  const double w = hreversible ? treeProposalLogProb(scorer, znew.data(), knew, oldlik) : kLogZero;
  // The reverse of a pure split is a pure merge.
  const double logbackwardq = mixedProposalLogProb(w, znew.data(), knew, split);
  const double r = scorer.tempered(newlik - oldlik) - (logforwardq - logbackwardq);
  if (debug_.enabled)
    debug_.out << oldlik << "    " << newlik << "    " << logforwardq << "    " << logbackwardq
               << "    " << std::exp(r) << '\n';
  if (std::exp(r) > myunif_rand()) state.accept(znew, knew - kold);
}

double TreeGuidedSplitMerge::proposeSuM(const ChainState& state, Scorer& scorer,
                                        bool& hreversible, bool& isSplit) {
  const int kold = state.kold;
  const std::vector<int>& zold = state.zold;
  const std::vector<int>& clusterSizes0 = state.clusterSizes0;
  std::vector<int>& znew = znew_;
  int& knew = knew_;
  const double p = control_heuristic_p;
  knew = kold;
  hreversible = false;
  std::vector<double> logSplitsByComponent(kold);
  const double lsize = uniformNeighbourhoodSize(zold.data(), kold, logSplitsByComponent.data());
  if (lsize == kLogZero) return kLogZero;
  const double v = -lsize;

  const int toSplit = RandomPlus::drawGeneralizedBern(logSplitsByComponent.data(), kold);
  std::vector<int> componentsplit(clusterSizes0[toSplit], 0);
  randomSplit(componentsplit);
  int row, col;
  MathPlus::getRowCol(rUniform(0, pairCount(kold) - 1), row, col);
  if (isUndoPair(row, col, kold, toSplit)) {
    if (infmix) {
      isSplit = true;
      row = col = -1;
      knew = kold + 1;
    } else {
      // kold >= 2 here (a single fixed cluster has no step), so a redraw ends.
      while (isUndoPair(row, col, kold, toSplit))
        MathPlus::getRowCol(rUniform(0, pairCount(kold) - 1), row, col);
    }
  }

  double w = kLogZero;
  if (p != 0) {
    hreversible =
        splitMerge(zold.data(), kold, toSplit, componentsplit, row, col, znew.data(), true);
    std::vector<int> members;
    membersOf(zold.data(), n, toSplit, members);
    int whichnode;
    // The tree proposal offers this step too when its split is a tree split.
    if (ishsplit(componentsplit, members, whichnode))
      w = treeProposalLogProb(scorer, zold.data(), kold, scorer.getTotalLik(znew.data(), knew));
  } else {
    splitMerge(zold.data(), kold, toSplit, componentsplit, row, col, znew.data(), false);
  }
  return MathPlus::logAddExp(std::log(p) + w, std::log(1 - p) + v);
}

double TreeGuidedSplitMerge::proposeShM(const ChainState& state, Scorer& scorer,
                                        bool& hreversible, bool& isSplit) {
  const int kold = state.kold;
  const std::vector<int>& zold = state.zold;
  const std::vector<int>& clusterSizes0 = state.clusterSizes0;
  std::vector<int>& znew = znew_;
  int& knew = knew_;
  knew = kold;
  hreversible = false;
  int size = 0;
  double w;
  int d;
  {
    const std::vector<double> table = treeNeighbourhood(scorer, zold.data(), kold, size);
    if (size == 0 || MathPlus::logSumExp(table.data(), size) == kLogZero) return kLogZero;
    d = RandomPlus::drawGeneralizedBern(table.data(), size, w);
  }

  const int pairs = pairCount(kold);
  const int merges = mergeCount(kold);
  bool merge = false;
  int row, col;
  if (d >= size - merges) {
    merge = true;
    if (debug_.enabled) debug_.out << "merge" << '\n';
    knew = kold - 1;
    MathPlus::getRowCol(merges + d - size, row, col);
    const std::vector<int> noSplit;
    hreversible = splitMerge(zold.data(), kold, -1, noSplit, row, col, znew.data(), true);
  } else {
    const int whichSplit = d / pairs + 1;
    int toSplit = -1, cursor = 0, splitsHere = 0;
    do {
      toSplit++;
      splitsHere = treeSplitCount(clusterSizes0[toSplit], includeLeafNode);
      cursor += splitsHere;
    } while (cursor < whichSplit);
    const int whichNode = whichSplit - (cursor - splitsHere) - 1;
    const int m = clusterSizes0[toSplit];

    std::vector<int> members;
    membersOf(zold.data(), n, toSplit, members);
    std::vector<int> split(m, 0);
    {
      const std::vector<Node>& thetree = completeTree(members);
      LinkageTree::getSplit(thetree.data(), treeSplitNode(whichNode, m), split);
    }
    MathPlus::getRowCol(d % pairs, row, col);
    if (!isUndoPair(row, col, kold, toSplit)) {
      if (debug_.enabled) debug_.out << "splitmerge" << '\n';
      hreversible = splitMerge(zold.data(), kold, toSplit, split, row, col, znew.data(), true);
    } else {
      if (debug_.enabled) debug_.out << "split" << '\n';
      isSplit = true;
      knew = kold + 1;
      hreversible = splitMerge(zold.data(), kold, toSplit, split, -1, -1, znew.data(), true);
    }
  }
  return mixedProposalLogProb(w, zold.data(), kold, merge);
}

double TreeGuidedSplitMerge::treeProposalLogProb(Scorer& scorer, const int* z, int k, double lik) {
  int size = 0;
  const std::vector<double> table = treeNeighbourhood(scorer, z, k, size);
  // No valid neighbour: the target cannot come from the tree proposal.
  if (size == 0) return kLogZero;
  // Every valid entry of a flat table holds the same value.
  if (flatHeuristicProb) return table[0];
  const double total = MathPlus::logSumExp(table.data(), size);
  if (total == kLogZero) return kLogZero;
  return scorer.tempered(lik) - total;
}

double TreeGuidedSplitMerge::mixedProposalLogProb(double w, const int* z, int k, bool merge) const {
  const double p = control_heuristic_p;
  // Only the tree proposal merges; with every observation alone it is the only one used.
  if (merge) return k == n ? w : std::log(p) + w;
  std::vector<double> logSplitsByComponent(k);
  const double lsize = uniformNeighbourhoodSize(z, k, logSplitsByComponent.data());
  const double v = lsize == kLogZero ? kLogZero : -lsize;
  return MathPlus::logAddExp(std::log(p) + w, std::log(1 - p) + v);
}
