// The close-pair split-merge move "CM"; see CloseSplitMerge.h.
#include "sampler/moves/CloseSplitMerge.h"

#include <algorithm>
#include <cmath>

#include "io/Interrupt.h"
#include "sampler/moves/SplitMerge.h"
#include "sampler/moves/SplitMergeParts.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "stats/rvgs.h"

using namespace splitmerge;

namespace {

// One of 0..count-1, each with probability 1/count.
int uniformIndex(int count) {
  const int d = static_cast<int>(myunif_rand() * count);
  return std::min(d, count - 1);
}

}  // namespace

CloseSplitMerge::CloseSplitMerge(int n, int scans, DebugLog debug)
    : Move(debug), scans_(scans), znew_(n) {}

void CloseSplitMerge::setPiece(const Scorer& scorer, int j, const std::vector<int>& list) {
  ClusterKey key;
  for (int i : list) key ^= scorer.memo(INTEGRATED).key(i);
  keys_[j] = key;
  fits_[j] = scorer.listScore(list.data(), static_cast<int>(list.size()), key);
}

void CloseSplitMerge::usePartition(const Scorer& scorer, const std::vector<int>& z, int k) {
  pieces_.resize(k);
  keys_.resize(k);
  fits_.resize(k);
  row_.resize(k);
  for (auto& piece : pieces_) piece.clear();
  for (int i = 0; i < static_cast<int>(z.size()); i++) pieces_[z[i]].push_back(i);
  for (int j = 0; j < k; j++) setPiece(scorer, j, pieces_[j]);
}

void CloseSplitMerge::weighPartners(const Scorer& scorer, int a) {
  const int k = static_cast<int>(pieces_.size());
  const int sizeA = static_cast<int>(pieces_[a].size());
  for (int x = 0; x < k; x++) {
    if (x == a) {
      row_[x] = kLogZero;
      continue;
    }
    unionList_.assign(pieces_[a].begin(), pieces_[a].end());
    unionList_.insert(unionList_.end(), pieces_[x].begin(), pieces_[x].end());
    const double merged = scorer.listScore(unionList_.data(), static_cast<int>(unionList_.size()),
                                           keys_[a] ^ keys_[x]);
    const int sizeX = static_cast<int>(pieces_[x].size());
    row_[x] = scorer.tempered(merged - fits_[a] - fits_[x] +
                              scorer.prior().logMergeRatio(sizeA, sizeX, k));
  }
}

double CloseSplitMerge::logPairProbability(const Scorer& scorer, int a, int b) {
  const int k = static_cast<int>(pieces_.size());
  weighPartners(scorer, a);
  const double ab = row_[b] - MathPlus::logSumExp(row_.data(), k);
  weighPartners(scorer, b);
  const double ba = row_[a] - MathPlus::logSumExp(row_.data(), k);
  const double both[2] = {ab, ba};
  return MathPlus::logSumExp(both, 2) - std::log(static_cast<double>(k));
}

void CloseSplitMerge::launch(const Scorer& scorer, int i1, int i2, const std::vector<int>& zold) {
  const int c1 = zold[i1], c2 = zold[i2];
  members_.assign({i1, i2});
  zlaunch_.assign({0, 1});
  unionList_.clear();
  for (int i = 0; i < static_cast<int>(zold.size()); i++)
    if ((zold[i] == c1 || zold[i] == c2) && i != i1 && i != i2) unionList_.push_back(i);
  const int others = static_cast<int>(unionList_.size());
  if (others == 0) return;
  order_.resize(others);
  RandomPlus::SampleWithoutReplacement(others, others, order_.data(), true);
  int sizes[2] = {1, 1};
  double logMean[2];
  for (int p = 0; p < others; p++) {
    checkInterrupt();
    members_.push_back(unionList_[order_[p]]);
    zlaunch_.push_back(0);
    for (int g = 0; g < 2; g++) {
      zlaunch_.back() = g;
      logMean[g] = restrictedWeight(scorer, sizes[g], scorer.getRestrictedIntLik(members_, zlaunch_));
    }
    const int d = RandomPlus::drawGeneralizedBern(logMean, 2);
    zlaunch_.back() = d;
    sizes[d]++;
  }
}

void CloseSplitMerge::step(ChainState& state, Scorer& scorer) {
  const int n = state.n, kold = state.kold;
  const std::vector<int>& zold = state.zold;
  if (n < 2) return;
  const bool tosplit = myunif_rand() < 0.5;
  int i1 = 0, i2 = 0;
  double logPair = 0;  // merge: the chance of picking the pair
  if (tosplit) {
    i1 = uniformIndex(n);
    const int size = state.clusterSizes0[zold[i1]];
    if (size < 2) return;
    int skip = uniformIndex(size - 1);
    for (i2 = 0; i2 < n; i2++)
      if (i2 != i1 && zold[i2] == zold[i1] && skip-- == 0) break;
  } else {
    if (kold < 2) return;
    usePartition(scorer, zold, kold);
    const int a = uniformIndex(kold);
    weighPartners(scorer, a);
    const int b = RandomPlus::drawGeneralizedBern(row_.data(), kold);
    logPair = logPairProbability(scorer, a, b);
    const bool aFirst = myunif_rand() < 0.5;
    const std::vector<int>& first = pieces_[aFirst ? a : b];
    const std::vector<int>& second = pieces_[aFirst ? b : a];
    i1 = first[uniformIndex(static_cast<int>(first.size()))];
    i2 = second[uniformIndex(static_cast<int>(second.size()))];
  }
  const int c1 = zold[i1], c2 = zold[i2];
  launch(scorer, i1, i2, zold);
  for (int scan = 0; scan < scans_; scan++)
    JainNealSplitMerge::restrictedGibbsScan(scorer, members_, zlaunch_, i1, i2, false, zsplit_);
  const int m = static_cast<int>(members_.size());
  // The chance of the anchors as a split draws them: one of n, then one of m - 1.
  const double logAnchors = -std::log(static_cast<double>(n)) - std::log(m - 1.0);
  double likratio, priorratio, proposalratio;
  if (tosplit) {
    const double logq =
        JainNealSplitMerge::restrictedGibbsScan(scorer, members_, zlaunch_, i1, i2, false, zsplit_);
    znew_ = zold;
    int moved = 0;
    for (int p = 0; p < m; p++)
      if (zlaunch_[p] == 1) {
        znew_[members_[p]] = kold;
        moved++;
      }
    usePartition(scorer, znew_, kold + 1);
    // The merge back: this pair, the first anchor's cluster by the coin, one member of each.
    const double logBack = logPairProbability(scorer, c1, kold) - std::log(2.0) -
                           std::log(static_cast<double>(m - moved)) -
                           std::log(static_cast<double>(moved));
    proposalratio = logAnchors + logq - logBack;
    likratio = splitLikRatio(scorer, zold, znew_, kold, c1);
    priorratio = splitMergePriorRatio(scorer, true, m, m - moved, kold);
  } else {
    zsplit_.resize(m);
    for (int p = 0; p < m; p++) zsplit_[p] = zold[members_[p]] == c1 ? 0 : 1;
    const double logq =
        JainNealSplitMerge::restrictedGibbsScan(scorer, members_, zlaunch_, i1, i2, true, zsplit_);
    const int size1 = buildMerge(zold, znew_, kold, c1, c2);
    const double logForward = logPair - std::log(2.0) - std::log(static_cast<double>(size1)) -
                              std::log(static_cast<double>(m - size1));
    proposalratio = logForward - (logAnchors + logq);
    likratio = mergeLikRatio(scorer, zold, znew_, kold, c1, c2);
    priorratio = splitMergePriorRatio(scorer, false, m, size1, kold);
  }
  const double r = targetRatio(scorer, likratio, priorratio) - proposalratio;
  if (debug_.enabled)
    debug_.out << "close " << (tosplit ? "split" : "merge") << ", likratio: " << likratio
               << ", priorratio: " << priorratio << ", proposalratio: " << proposalratio
               << ", r: " << r << '\n';
  if (std::exp(r) > myunif_rand()) state.accept(znew_, tosplit ? +1 : -1);
}
