#include "sampler/ListScoring.h"

#include <algorithm>

#include "io/Failure.h"
#include "io/Text.h"
#include "sampler/ClusterStats.h"
#include "sampler/Scorer.h"

namespace {
// Labels the model sees for the two groups of a restricted split; every other observation
// carries kOutside, which no cluster score selects.
const int kGroup0 = 1000;
const int kGroup1 = 2000;
const int kOutside = -1;
}  // namespace

double ListScoring::fresh(const Scorer& scorer, const int* list, int members) {
  if (static_cast<int>(restrictedZ_.size()) != scorer.n()) restrictedZ_.assign(scorer.n(), kOutside);
  for (int m = 0; m < members; m++) restrictedZ_[list[m]] = kGroup0;
  const double score = scorer.model().getClusterFit(restrictedZ_.data(), kGroup0);
  for (int m = 0; m < members; m++) restrictedZ_[list[m]] = kOutside;
  return score;
}

double ListScoring::listed(const Scorer& scorer, const std::vector<int>& sorted) {
  const int members = static_cast<int>(sorted.size());
  if (scorer.mode() == ScoringMode::Reference) return fresh(scorer, sorted.data(), members);
  ClusterKey key;
  for (int i : sorted) key ^= scorer.memo(INTEGRATED).key(i);
  return scoreListed(scorer, sorted.data(), members, true, key);
}

template <class V>
double ListScoring::listedFromStats(const Scorer& scorer, std::vector<V>& scratch, int width,
                                    const int* list, int members) {
  scratch.assign(width, V());
  for (int m = 0; m < members; m++) clusterstats::add(scorer.model(), list[m], scratch.data(), +1);
  return clusterstats::score(scorer.model(), scratch.data(), members);
}

double ListScoring::scoreListed(const Scorer& scorer, const int* list, int members, bool sorted,
                                const ClusterKey& key) {
  double value;
  if (scorer.memo(INTEGRATED).find(key, value)) return value;
  const Scorer::StatsKind kind = scorer.modelStatsKind();
  if (kind == Scorer::StatsKind::Counts) {
    value = listedFromStats(scorer, statsScratch_, scorer.widthOf(kind), list, members);
  } else if (kind == Scorer::StatsKind::Moments) {
    value = listedFromStats(scorer, momentsScratch_, scorer.widthOf(kind), list, members);
  } else if (scorer.model().scoresMemberLists()) {
    if (sorted) {
      value = scorer.model().scoreMembers(list, members);
    } else {
      listScratch_.assign(list, list + members);
      std::sort(listScratch_.begin(), listScratch_.end());
      value = scorer.model().scoreMembers(listScratch_.data(), members);
    }
  } else {
    value = fresh(scorer, list, members);
  }
#ifndef NDEBUG
  const double recount = fresh(scorer, list, members);
  if (!scorer.sameScore(value, recount))
    failRun(scorer.log(), Failure::Internal,
            "PartitionSampler: internal error: cluster score from a member list " +
                Text::n2s(value) + " differs from a fresh one " + Text::n2s(recount));
#endif
  scorer.memo(INTEGRATED).store(key, value);
  return value;
}

double ListScoring::listed(const Scorer& scorer, const int* list, int members,
                           const ClusterKey& key) {
  if (scorer.mode() == ScoringMode::Reference) return fresh(scorer, list, members);
  return scoreListed(scorer, list, members, false, key);
}

double ListScoring::restrictedIntLik(const Scorer& scorer, const std::vector<int>& members,
                                     const std::vector<int>& split) {
  if (scorer.mode() == ScoringMode::Reference) {
    // The scratch stays all kOutside between calls, so a call touches only its members.
    if (static_cast<int>(restrictedZ_.size()) != scorer.n()) restrictedZ_.assign(scorer.n(), kOutside);
    for (size_t m = 0; m < members.size(); m++) {
      if (split[m] == 0 || split[m] == 1)
        restrictedZ_[members[m]] = split[m] == 0 ? kGroup0 : kGroup1;
      else
        scorer.log() << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
    }
    const double fit = scorer.getClusterFit(restrictedZ_.data(), kGroup0) +
                       scorer.getClusterFit(restrictedZ_.data(), kGroup1);
    for (int i : members) restrictedZ_[i] = kOutside;
    return fit;
  }
  // Member keys and lists of the two groups, without a pass over all n.
  ClusterKey key[2];
  groupLists_[0].clear();
  groupLists_[1].clear();
  bool sorted[2] = {true, true};
  for (size_t m = 0; m < members.size(); m++) {
    const int g = split[m];
    if (g != 0 && g != 1) {
      scorer.log() << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
      continue;
    }
    key[g] ^= scorer.memo(INTEGRATED).key(members[m]);
    std::vector<int>& list = groupLists_[g];
    if (!list.empty() && list.back() > members[m]) sorted[g] = false;
    list.push_back(members[m]);
  }
  double fit[2];
  for (int g = 0; g < 2; g++)
    fit[g] = scoreListed(scorer, groupLists_[g].data(), static_cast<int>(groupLists_[g].size()),
                         sorted[g], key[g]);
  return fit[0] + fit[1];
}

