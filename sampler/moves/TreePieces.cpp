#include "sampler/moves/TreePieces.h"

#include <algorithm>

#include "io/Failure.h"
#include "io/Text.h"
#include "sampler/ClusterStats.h"

bool TreePieces::applies(const Scorer& scorer) {
  return scorer.statsKind() != Scorer::StatsKind::None ||
         (scorer.criterion() == INTEGRATED && scorer.mode() != ScoringMode::Reference &&
          scorer.model().scoresMemberLists());
}

TreePieces::Split TreePieces::Base::split(int j, const std::vector<int>& group) {
  pieces_->split(j, group);
  return Split(*pieces_);
}

template <class V>
void TreePieces::setStats(std::vector<V>& blocks, int width, int piece,
                          const std::vector<int>& list) const {
  const size_t need = static_cast<size_t>(base_ + 2) * width;
  if (blocks.size() < need) blocks.resize(need);
  V* block = blocks.data() + static_cast<size_t>(piece) * width;
  std::fill(block, block + width, V());
  for (int i : list) clusterstats::add(scorer_->model(), i, block, +1);
}

TreePieces::Base TreePieces::base(Scorer& scorer, const int* z, int k) {
  scorer_ = &scorer;
  const ScoreCache& memo = scorer.memo(INTEGRATED);
  base_ = k;
  key_.assign(k + 2, ClusterKey());
  size_.assign(k + 2, 0);
  if (static_cast<int>(members_.size()) < k + 2) members_.resize(k + 2);
  for (std::vector<int>& list : members_) list.clear();
  for (int i = 0; i < scorer.n(); i++) {
    key_[z[i]] ^= memo.key(i);
    members_[z[i]].push_back(i);
  }
  const Scorer::StatsKind kind = scorer.statsKind();
  for (int j = 0; j < k; j++) {
    size_[j] = static_cast<int>(members_[j].size());
    if (kind == Scorer::StatsKind::Counts) setStats(stats_, scorer.widthOf(kind), j, members_[j]);
    if (kind == Scorer::StatsKind::Moments)
      setStats(moments_, scorer.widthOf(kind), j, members_[j]);
  }
  return Base(*this);
}

void TreePieces::split(int j, const std::vector<int>& group) {
  const int k = base_;
  const ScoreCache& memo = scorer_->memo(INTEGRATED);
  const std::vector<int>& members = members_[j];
  for (int piece : {k, k + 1}) {
    key_[piece] = ClusterKey();
    members_[piece].clear();
  }
  for (size_t m = 0; m < members.size(); m++) {
    const int piece = group[m] == 1 ? k : k + 1;
    key_[piece] ^= memo.key(members[m]);
    members_[piece].push_back(members[m]);
  }
  size_[k] = static_cast<int>(members_[k].size());
  size_[k + 1] = static_cast<int>(members_[k + 1].size());
  const Scorer::StatsKind kind = scorer_->statsKind();
  if (kind == Scorer::StatsKind::Counts) {
    // Counts are exact: the rest of the cluster is its counts less the group's.
    const int width = scorer_->widthOf(kind);
    setStats(stats_, width, k, members_[k]);
    const int* whole = stats_.data() + static_cast<size_t>(j) * width;
    const int* one = stats_.data() + static_cast<size_t>(k) * width;
    int* rest = stats_.data() + static_cast<size_t>(k + 1) * width;
    for (int v = 0; v < width; v++) rest[v] = whole[v] - one[v];
  } else if (kind == Scorer::StatsKind::Moments) {
    setStats(moments_, scorer_->widthOf(kind), k, members_[k]);
    setStats(moments_, scorer_->widthOf(kind), k + 1, members_[k + 1]);
  }
}

template <class V>
double TreePieces::unionFromStats(const std::vector<V>& blocks, std::vector<V>& scratch,
                                  int width, int a, int b, int members) const {
  const V* x = blocks.data() + static_cast<size_t>(a) * width;
  scratch.assign(x, x + width);
  if (b >= 0) {
    const V* y = blocks.data() + static_cast<size_t>(b) * width;
    for (int v = 0; v < width; v++) scratch[v] += y[v];
  }
  return clusterstats::score(scorer_->model(), scratch.data(), members);
}

double TreePieces::total(const int* first, const int* second, int labels, bool withSplit) {
  Scorer& scorer = *scorer_;
  ScoreCache& memo = scorer.memo(INTEGRATED);
  if (static_cast<int>(sizes_.size()) < labels) sizes_.resize(labels);
  const Scorer::StatsKind kind = scorer.statsKind();
  const int pieces = withSplit ? base_ + 2 : base_;
  double lik = 0;
  for (int label = 0; label < labels; label++) {
    const int a = first[label], b = second[label];
    if (a >= pieces || b >= pieces)
      failRun(scorer.log(), Failure::Internal,
              "TreePieces: a candidate uses a split's piece without a split");
    const ClusterKey key = b < 0 ? key_[a] : key_[a] ^ key_[b];
    const int members = size_[a] + (b < 0 ? 0 : size_[b]);
    sizes_[label] = members;
    double value;
    if (!memo.find(key, value)) {
      if (kind == Scorer::StatsKind::Counts) {
        value = unionFromStats(stats_, statsScratch_, scorer.widthOf(kind), a, b, members);
      } else if (kind == Scorer::StatsKind::Moments) {
        value = unionFromStats(moments_, momentsScratch_, scorer.widthOf(kind), a, b, members);
      } else {
        const std::vector<int>& x = members_[a];
        listScratch_.resize(members);
        if (b < 0) {
          std::copy(x.begin(), x.end(), listScratch_.begin());
        } else {
          const std::vector<int>& y = members_[b];
          std::merge(x.begin(), x.end(), y.begin(), y.end(), listScratch_.begin());
        }
        value = scorer.model().scoreMembers(listScratch_.data(), members);
      }
#ifndef NDEBUG
      listScratch_.assign(members_[a].begin(), members_[a].end());
      if (b >= 0) listScratch_.insert(listScratch_.end(), members_[b].begin(), members_[b].end());
      const double fresh = scorer.freshScore(listScratch_.data(), members);
      if (!scorer.sameScore(value, fresh))
        failRun(scorer.log(), Failure::Internal,
                "PartitionSampler: internal error: cluster score from pieces " + Text::n2s(value) +
                    " differs from a fresh one " + Text::n2s(fresh));
#endif
      memo.store(key, value);
    }
    lik += value;
  }
  return lik + scorer.partitionLogPrior(sizes_.data(), labels);
}
