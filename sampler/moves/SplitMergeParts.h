// Pieces the split-merge moves share (SplitMerge.cpp, CloseSplitMerge.cpp): prior, target and
// likelihood ratios of one split or merge, the restricted join weight and the merged labels.
#pragma once
#include <vector>

#include "sampler/Scorer.h"

namespace splitmerge {

// Log prior ratio of splitting a cluster of n into groups of n1 and n - n1 (split), or of
// merging groups of n1 and n - n1 (merge); kold clusters before the move.
double splitMergePriorRatio(const Scorer& scorer, bool split, int n, int n1, int kold);
// The log target ratio of a proposal: the score ratio heated by the scorer's temperature.
double targetRatio(const Scorer& scorer, double likratio, double priorratio);
// Log weight of one member joining a restricted group of size others (the anchor at least)
// whose members score lik.
double restrictedWeight(const Scorer& scorer, int others, double lik);
// Log-likelihood ratio of znew (cluster c1 of zold split into c1 and label kold) to zold.
double splitLikRatio(const Scorer& scorer, const std::vector<int>& zold,
                     const std::vector<int>& znew, int kold, int c1);
// The same for znew, clusters c1 and c2 of zold merged (buildMerge).
double mergeLikRatio(const Scorer& scorer, const std::vector<int>& zold,
                     const std::vector<int>& znew, int kold, int c1, int c2);
// znew := zold with clusters c1 and c2 merged into the smaller label; the highest label
// moves into the freed one. Returns the size of c1.
int buildMerge(const std::vector<int>& zold, std::vector<int>& znew, int kold, int c1, int c2);

}  // namespace splitmerge
