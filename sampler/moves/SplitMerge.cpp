// The split-merge moves "JN", "DA" and "SR" (open k); see SplitMerge.h.
#include <algorithm>
#include <cmath>
#include <vector>

#include "sampler/moves/SplitMerge.h"
#include "sampler/moves/SplitMergeParts.h"
#include "stats/MathPlus.h"
#include "stats/RandomPlus.h"
#include "io/Interrupt.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "stats/rvgs.h"

namespace splitmerge {

// Log prior ratio of splitting a cluster of n into groups of n1 and n - n1 (split), or of
// merging groups of n1 and n - n1 (merge); kold clusters before the move.
double splitMergePriorRatio(const Scorer& scorer, bool split, int n, int n1, int kold) {
  return split ? scorer.prior().logSplitRatio(n, n1, kold)
               : scorer.prior().logMergeRatio(n1, n - n1, kold);
}

// The log target ratio of a proposal: the score ratio heated by the scorer's temperature.
double targetRatio(const Scorer& scorer, double likratio, double priorratio) {
  return scorer.tempered(likratio + priorratio);
}

// Log weight of one member joining a restricted group of size others (the anchor at least)
// whose members score lik: the conditional of the tempered target between the two groups.
double restrictedWeight(const Scorer& scorer, int others, double lik) {
  // Both groups exist, so the number of clusters does not enter the join weight.
  return scorer.tempered(scorer.prior().logJoinWeight(others, 2) + lik);
}

// The log-likelihood ratio of znew, cluster c1 of zold split into c1 and the new label kold,
// to zold: the changed clusters' scores, or the whole partitions' under column selection,
// where the score is no sum over clusters.
double splitLikRatio(const Scorer& scorer, const std::vector<int>& zold,
                     const std::vector<int>& znew, int kold, int c1) {
  if (scorer.columns()) return scorer.columns()->logLikChange(zold.data(), kold, znew.data(), kold + 1);
  return scorer.getClusterFit(znew.data(), kold) + scorer.getClusterFit(znew.data(), c1) -
         scorer.getClusterFit(zold.data(), c1);
}

// The same for znew, clusters c1 and c2 of zold merged (buildMerge).
double mergeLikRatio(const Scorer& scorer, const std::vector<int>& zold,
                     const std::vector<int>& znew, int kold, int c1, int c2) {
  if (scorer.columns()) return scorer.columns()->logLikChange(zold.data(), kold, znew.data(), kold - 1);
  return scorer.getClusterFit(znew.data(), std::min(c1, c2)) -
         scorer.getClusterFit(zold.data(), c1) - scorer.getClusterFit(zold.data(), c2);
}

// znew := zold with clusters c1 and c2 merged into the smaller label; the highest label
// moves into the freed one. Returns the size of c1.
int buildMerge(const std::vector<int>& zold, std::vector<int>& znew, int kold, int c1, int c2) {
  const int merged = std::min(c1, c2);
  const int freed = std::max(c1, c2);
  int sizeC1 = 0;
  for (size_t i = 0; i < zold.size(); i++) {
    if (zold[i] == c1) {
      znew[i] = merged;
      sizeC1++;
    } else if (zold[i] == c2) {
      znew[i] = merged;
    } else if (zold[i] == kold - 1) {
      znew[i] = freed;
    } else {
      znew[i] = zold[i];
    }
  }
  return sizeC1;
}

}  // namespace splitmerge

using namespace splitmerge;

namespace {

// znew := zold with the members in group 1 of zlaunch moved to the new label kold.
// Returns how many moved.
int buildSplit(const std::vector<int>& zold, std::vector<int>& znew, int kold,
               const std::vector<int>& members, const std::vector<int>& zlaunch) {
  znew = zold;
  int moved = 0;
  for (size_t m = 0; m < members.size(); m++)
    if (zlaunch[m] == 1) {
      znew[members[m]] = kold;
      moved++;
    }
  return moved;
}

// Two distinct observations drawn at random, the anchors of a split-merge proposal, and
// their clusters.
struct Anchors {
  int i1, i2, c1, c2;
};

Anchors drawAnchors(const std::vector<int>& zold, int n) {
  int two[2];
  RandomPlus::SampleWithoutReplacement(n, 2, two, true);
  return {two[0], two[1], zold[two[0]], zold[two[1]]};
}

// The two anchors, then a fair coin per other member of their cluster(s), in index order.
// zsplit (when given) receives each member's true side: 0 for c1, 1 otherwise.
void randomLaunch(const std::vector<int>& zold, int i1, int i2, std::vector<int>& members,
                  std::vector<int>& zlaunch, std::vector<int>* zsplit) {
  const int c1 = zold[i1], c2 = zold[i2];
  for (int i = 0; i < static_cast<int>(zold.size()); i++) {
    int side;
    if (i == i1) {
      zlaunch.push_back(0);
      side = 0;
    } else if (i == i2) {
      zlaunch.push_back(1);
      side = 1;
    } else if (zold[i] == c1 || zold[i] == c2) {
      zlaunch.push_back(myunif_rand() >= 0.5 ? 1 : 0);
      side = zold[i] != c1 ? 1 : 0;
    } else {
      continue;
    }
    if (zsplit) zsplit->push_back(side);
    members.push_back(i);
  }
}

}  // namespace

double JainNealSplitMerge::restrictedGibbsScan(const Scorer& scorer,
                                               const std::vector<int>& members,
                                               std::vector<int>& zlaunch, int i1, int i2,
                                               bool virtualproposal,
                                               const std::vector<int>& zsplit) {
  int sizes[2] = {0, 0};
  for (int g : zlaunch) sizes[g]++;
  double logProb1 = 0;
  double logMean[2];
  for (size_t m = 0; m < members.size(); m++) {
    checkInterrupt();
    if (members[m] == i1 || members[m] == i2) continue;
    const int g = zlaunch[m];
    // The group's size without m weighs its side.
    logMean[0] =
        restrictedWeight(scorer, sizes[g] - 1, scorer.getRestrictedIntLik(members, zlaunch));
    zlaunch[m] = 1 - g;
    logMean[1] =
        restrictedWeight(scorer, sizes[1 - g], scorer.getRestrictedIntLik(members, zlaunch));
    double logProb;
    if (!virtualproposal) {
      if (RandomPlus::drawGeneralizedBern(logMean, 2, logProb) == 0) zlaunch[m] = g;
    } else if (zsplit[m] == 1 - g) {
      logProb = logMean[1] - MathPlus::logSumExp(logMean, 2);
    } else {
      zlaunch[m] = g;
      logProb = logMean[0] - MathPlus::logSumExp(logMean, 2);
    }
    if (zlaunch[m] != g) {
      sizes[g]--;
      sizes[1 - g]++;
    }
    logProb1 += logProb;
  }
  return logProb1;
}

void JainNealSplitMerge::step(ChainState& state, Scorer& scorer) {
  const int n = state.n, kold = state.kold;
  const std::vector<int>& zold = state.zold;
  std::vector<int>& znew = znew_;
  if (n < 2) return;
  const auto [i1, i2, c1, c2] = drawAnchors(zold, n);
  const bool tosplit = c1 == c2;

  std::vector<int> members, zlaunch, zsplit;
  randomLaunch(zold, i1, i2, members, zlaunch, tosplit ? nullptr : &zsplit);
  const int n_j = static_cast<int>(members.size());
  int n_j1 = 0;

  for (int scan = 0; scan < 5; scan++)
    restrictedGibbsScan(scorer, members, zlaunch, i1, i2, false, zsplit);

  double proposalratio, likratio;
  if (tosplit) {
    const double logforwardq = restrictedGibbsScan(scorer, members, zlaunch, i1, i2, false, zsplit);
    n_j1 = buildSplit(zold, znew, kold, members, zlaunch);
    proposalratio = logforwardq;
    likratio = splitLikRatio(scorer, zold, znew, kold, c1);
  } else {
    n_j1 = buildMerge(zold, znew, kold, c1, c2);
    // A virtual final scan: the chance that a real one would have rebuilt the current split.
    const double logbackwardq = restrictedGibbsScan(scorer, members, zlaunch, i1, i2, true, zsplit);
    proposalratio = 0 - logbackwardq;
    likratio = mergeLikRatio(scorer, zold, znew, kold, c1, c2);
  }
  const double priorratio = splitMergePriorRatio(scorer, tosplit, n_j, n_j1, kold);
  const double r = targetRatio(scorer, likratio, priorratio) - proposalratio;
  if (std::exp(r) > myunif_rand()) state.accept(znew, tosplit ? +1 : -1);
}

void SequentialSplitMerge::step(ChainState& state, Scorer& scorer) {
  const int n = state.n, kold = state.kold;
  const std::vector<int>& zold = state.zold;
  std::vector<int>& znew = znew_;
  if (n < 2) return;
  if (debug_.enabled) {
    debug_.out << "zold: ";
    Text::printArray(zold.data(), n, debug_.out, true);
  }

  const auto [i1, i2, c1, c2] = drawAnchors(zold, n);
  std::vector<int> n_scrambled(n);
  RandomPlus::SampleWithoutReplacement(n, n, n_scrambled.data(), true);
  const bool tosplit = c1 == c2;

  std::vector<int> members = {i1, i2};
  std::vector<int> zlaunch = {0, 1};
  int clusterSizes[2] = {1, 1};  // groups so far, before the member being allocated
  double logMean[2];
  double logq = 0;  // split: forward; merge: backward
  double likratio;
  Arrays::copyArray(zold.data(), znew.data(), n);
  // Member i joins the launch; logMean gets its weight on either side.
  auto weighMember = [&](int i) {
    members.push_back(i);
    zlaunch.push_back(0);
    logMean[0] =
        restrictedWeight(scorer, clusterSizes[0], scorer.getRestrictedIntLik(members, zlaunch));
    zlaunch.back() = 1;
    logMean[1] =
        restrictedWeight(scorer, clusterSizes[1], scorer.getRestrictedIntLik(members, zlaunch));
  };
  if (tosplit) {
    znew[i2] = kold;
    for (int p = 0; p < n; p++) {
      checkInterrupt();
      const int i = n_scrambled[p];
      if (zold[i] != c1 || i == i1 || i == i2) continue;
      weighMember(i);
      double logProb1;
      const int d = RandomPlus::drawGeneralizedBern(logMean, 2, logProb1);
      zlaunch.back() = d;
      if (d == 1) znew[i] = kold;
      clusterSizes[d]++;
      logq += logProb1;
    }
    likratio = splitLikRatio(scorer, zold, znew, kold, c1);
  } else {
    buildMerge(zold, znew, kold, c1, c2);
    for (int p = 0; p < n; p++) {
      checkInterrupt();
      const int i = n_scrambled[p];
      if ((zold[i] != c1 && zold[i] != c2) || i == i1 || i == i2) continue;
      weighMember(i);
      // The member's true side, with no draw: the pass that would rebuild the two clusters.
      const int g = zold[i] == c1 ? 0 : 1;
      logq += logMean[g] - MathPlus::logSumExp(logMean, 2);
      zlaunch.back() = g;
      clusterSizes[g]++;
    }
    likratio = mergeLikRatio(scorer, zold, znew, kold, c1, c2);
  }
  if (debug_.enabled) {
    debug_.out << "znew: ";
    Text::printArray(znew.data(), n, debug_.out, true);
  }

  const double proposalratio = tosplit ? logq : 0 - logq;
  const int n_j = clusterSizes[0] + clusterSizes[1];
  const int n_j1 = clusterSizes[0];
  const double priorratio = splitMergePriorRatio(scorer, tosplit, n_j, n_j1, kold);
  const double r = targetRatio(scorer, likratio, priorratio) - proposalratio;
  if (debug_.enabled)
    debug_.out << (tosplit ? "split" : "merge") << ", likratio: " << likratio
               << ", priorratio: " << priorratio << ", proposalratio: " << proposalratio
               << ", r: " << r << '\n';
  if (std::exp(r) > myunif_rand()) state.accept(znew, tosplit ? +1 : -1);
}

void RandomSplitMerge::step(ChainState& state, Scorer& scorer) {
  const int n = state.n, kold = state.kold;
  const std::vector<int>& zold = state.zold;
  const std::vector<int>& clusterSizes0 = state.clusterSizes0;
  std::vector<int>& znew = znew_;
  if (n < 2) return;
  const auto [i1, i2, c1, c2] = drawAnchors(zold, n);
  std::vector<int> members, zlaunch;
  randomLaunch(zold, i1, i2, members, zlaunch, nullptr);  // merges draw the coins too
  const int n_j = static_cast<int>(members.size());
  int n_j1 = 0;
  const bool tosplit = c1 == c2;

  const double log2 = std::log(2.0);
  double proposalratio, likratio;
  if (tosplit) {
    // Each of the size - 2 other members fell on either side with probability 1/2.
    const double logforwardq = (2 - clusterSizes0[c1]) * log2;
    n_j1 = buildSplit(zold, znew, kold, members, zlaunch);
    proposalratio = logforwardq;
    likratio = splitLikRatio(scorer, zold, znew, kold, c1);
  } else {
    n_j1 = buildMerge(zold, znew, kold, c1, c2);
    const double logbackwardq = (2 - clusterSizes0[c1] - clusterSizes0[c2]) * log2;
    proposalratio = 0 - logbackwardq;
    likratio = mergeLikRatio(scorer, zold, znew, kold, c1, c2);
  }
  const double priorratio = splitMergePriorRatio(scorer, tosplit, n_j, n_j1, kold);
  const double r = targetRatio(scorer, likratio, priorratio) - proposalratio;
  if (debug_.enabled) {
    Text::printArray(znew.data(), n, debug_.out, true);
    debug_.out << likratio << "    " << priorratio << "    " << proposalratio << "    "
               << std::exp(r) << '\n';
  }
  if (std::exp(r) > myunif_rand()) state.accept(znew, tosplit ? +1 : -1);
}
