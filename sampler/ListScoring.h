// Scores of member sets given as lists rather than as labels of a partition: the two groups
// of a restricted split (split-merge moves), through the model's additive statistics, its
// member lists or, failing both, a scratch partition; memoised in the scorer's memo. The
// scratch of these const calls lives here, one per scorer.
#pragma once
#include <vector>

#include "sampler/ScoreCache.h"

class Scorer;

class ListScoring {
 public:
  // See Scorer::getRestrictedIntLik and Scorer::freshScore.
  double restrictedIntLik(const Scorer& scorer, const std::vector<int>& members,
                          const std::vector<int>& split);
  double fresh(const Scorer& scorer, const int* list, int members);
  // See Scorer::listScore.
  double listed(const Scorer& scorer, const int* list, int members, const ClusterKey& key);
  // See Scorer::memberScore.
  double listed(const Scorer& scorer, const std::vector<int>& sorted);

 private:
  // Score of the members listed (any order unless sorted); memoised under key.
  double scoreListed(const Scorer& scorer, const int* list, int members, bool sorted,
                     const ClusterKey& key);
  template <class V>
  double listedFromStats(const Scorer& scorer, std::vector<V>& scratch, int width,
                         const int* list, int members);

  std::vector<int> restrictedZ_;     // scratch partition, all kOutside between calls
  std::vector<int> groupLists_[2];   // the two groups of a restricted split
  std::vector<int> statsScratch_;
  std::vector<double> momentsScratch_;
  std::vector<int> listScratch_;
};
