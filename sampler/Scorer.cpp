#include "sampler/Scorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/Failure.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "sampler/ClusterStats.h"

namespace {
// Labels the model sees for the two groups of a restricted split; every other observation
// carries kOutside, which no cluster score selects.
const int kGroup0 = 1000;
const int kGroup1 = 2000;
const int kOutside = -1;
}  // namespace

Scorer::Scorer(Observable& model, FitnessZType criterion, int k, double logalpha,
               ScoringMode mode, std::ostream& logFile)
    : ob_(&model),
      fitnessZType_(criterion),
      mode_(mode),
      n_(model.n),
      infmix_(k <= 0),
      prior_(makePartitionPrior(model.n, k, logalpha, mode)),
      logFile_(logFile),
      fitCache_(model.n),
      classiCache_(model.n),
      sizes_(model.n + 2),
      keys_(model.n + 2) {
  model.scoring = mode;
}

void Scorer::setInverseTemperature(double beta) {
  if (!(beta > 0 && beta <= 1))
    failRun(logFile_, Failure::Internal,
            "Scorer: the inverse temperature must lie in (0, 1]: " + Text::n2s(beta));
  beta_ = beta;
}

void Scorer::selectColumns(double p) {
  if (ob_->columnStatsSize() <= 0 || fitnessZType_ != INTEGRATED)
    failRun(logFile_, Failure::Internal,
            "Scorer: column selection needs column terms and the integrated criterion");
  columns_ = std::make_unique<ColumnSelection>(*ob_, p);
  columnSums_.assign(ob_->T, 0);
}

double Scorer::logLikChange(const int* zold, int kold, const int* znew, int knew) const {
  columns_->partitionSums(znew, knew, columnSums_.data());
  const double after = columns_->combine(columnSums_.data());
  columns_->partitionSums(zold, kold, columnSums_.data());
  return after - columns_->combine(columnSums_.data());
}

double Scorer::partitionLogPrior(const int* sizes, int k) const {
  if (!infmix_ && k != prior_->fixedK())
    failRun(logFile_, Failure::Internal,
            "PartitionSampler::getTotalLik(). number of clusters " + Text::n2s(k) +
                " differs from the fixed k " + Text::n2s(prior_->fixedK()));
  return prior_->logPrior(sizes, k);
}


bool Scorer::scoresPerCluster() const {
  return mode_ != ScoringMode::Reference &&
         (fitnessZType_ == INTEGRATED || fitnessZType_ == CLASSIFICATION);
}

Scorer::StatsKind Scorer::modelStatsKind() const {
  if (mode_ == ScoringMode::Reference) return StatsKind::None;
  if (ob_->momentsSize() > 0) return StatsKind::Moments;
  if (ob_->statsSize() > 0) return StatsKind::Counts;
  return StatsKind::None;
}

// Additive statistics serve the integrated score only, and under column selection only
// through the column terms.
Scorer::StatsKind Scorer::statsKind() const {
  return fitnessZType_ == INTEGRATED && !columns_ ? modelStatsKind() : StatsKind::None;
}

int Scorer::widthOf(StatsKind kind) const {
  return kind == StatsKind::Moments ? ob_->momentsSize()
         : kind == StatsKind::Counts ? ob_->statsSize()
                                     : 0;
}

bool Scorer::sameScore(double a, double b) const {
  if (mode_ != ScoringMode::Fast) return std::memcmp(&a, &b, sizeof a) == 0;
  return a == b || std::fabs(a - b) <= 1e-9 * (1.0 + std::fabs(b));
}

double Scorer::cachedScore(const int* z, int j, const ClusterKey& key, FitnessZType type) const {
  ScoreCache& cache = type == INTEGRATED ? fitCache_ : classiCache_;
  double value;
  if (cache.find(key, value)) {
#ifndef NDEBUG
    // Debug builds check the memo against a fresh score now and then.
    if (++cacheHits_ % 61 == 0) {
      double fresh =
          type == INTEGRATED ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
      if (!sameScore(value, fresh))
        failRun(logFile_, Failure::Internal,
                "PartitionSampler: internal error: memoised cluster score " + Text::n2s(value) +
                    " differs from a fresh one " + Text::n2s(fresh));
    }
#endif
    return value;
  }
  value = type == INTEGRATED ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
  cache.store(key, value);
  return value;
}

double Scorer::getClusterFit(const int* z, int j) const {
  if (mode_ == ScoringMode::Reference) return ob_->getClusterFit(z, j);
  ClusterKey key;
  for (int i = 0; i < n_; i++)
    if (z[i] == j) key ^= fitCache_.key(i);
  return cachedScore(z, j, key, INTEGRATED);
}

double Scorer::getTotalLik(const int* z, int k) const {
  if (!refusal_.empty()) failRun(logFile_, Failure::ModelOperation, refusal_);
  if (static_cast<int>(sizes_.size()) < k) {
    sizes_.resize(k);
    keys_.resize(k);
  }
  if (fitnessZType_ == MIXTURE) return ob_->getMixtureLik(z, k);
  if (columns_) {
    columns_->partitionSums(z, k, columnSums_.data());
    Arrays::table(z, n_, sizes_.data(), k);
    return columns_->combine(columnSums_.data()) + partitionLogPrior(sizes_.data(), k);
  }
  const bool integrated = fitnessZType_ == INTEGRATED;
  double lik = 0;
  if (mode_ == ScoringMode::Reference) {
    for (int j = 0; j < k; j++)
      lik += integrated ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
    if (integrated) Arrays::table(z, n_, sizes_.data(), k);
  } else {
    // One pass collects every cluster's member key and size.
    const ScoreCache& cache = integrated ? fitCache_ : classiCache_;
    for (int j = 0; j < k; j++) {
      keys_[j] = ClusterKey();
      sizes_[j] = 0;
    }
    for (int i = 0; i < n_; i++) {
      keys_[z[i]] ^= cache.key(i);
      sizes_[z[i]]++;
    }
    for (int j = 0; j < k; j++) lik += cachedScore(z, j, keys_[j], fitnessZType_);
  }
  return integrated ? lik + partitionLogPrior(sizes_.data(), k) : lik;
}

double Scorer::freshScore(const int* list, int members) const {
  if (static_cast<int>(restrictedZ_.size()) != n_) restrictedZ_.assign(n_, kOutside);
  for (int m = 0; m < members; m++) restrictedZ_[list[m]] = kGroup0;
  const double fresh = ob_->getClusterFit(restrictedZ_.data(), kGroup0);
  for (int m = 0; m < members; m++) restrictedZ_[list[m]] = kOutside;
  return fresh;
}

template <class V>
double Scorer::listedFromStats(std::vector<V>& scratch, int width, const int* list,
                               int members) const {
  scratch.assign(width, V());
  for (int m = 0; m < members; m++) clusterstats::add(*ob_, list[m], scratch.data(), +1);
  return clusterstats::score(*ob_, scratch.data(), members);
}

double Scorer::scoreListed(const int* list, int members, bool sorted, const ClusterKey& key) const {
  double value;
  if (fitCache_.find(key, value)) return value;
  const StatsKind kind = modelStatsKind();
  if (kind == StatsKind::Counts) {
    value = listedFromStats(statsScratch_, widthOf(kind), list, members);
  } else if (kind == StatsKind::Moments) {
    value = listedFromStats(momentsScratch_, widthOf(kind), list, members);
  } else if (ob_->scoresMemberLists()) {
    if (sorted) {
      value = ob_->scoreMembers(list, members);
    } else {
      listScratch_.assign(list, list + members);
      std::sort(listScratch_.begin(), listScratch_.end());
      value = ob_->scoreMembers(listScratch_.data(), members);
    }
  } else {
    value = freshScore(list, members);
  }
#ifndef NDEBUG
  const double fresh = freshScore(list, members);
  if (!sameScore(value, fresh))
    failRun(logFile_, Failure::Internal,
            "PartitionSampler: internal error: cluster score from a member list " +
                Text::n2s(value) + " differs from a fresh one " + Text::n2s(fresh));
#endif
  fitCache_.store(key, value);
  return value;
}

double Scorer::getRestrictedIntLik(const std::vector<int>& members,
                                   const std::vector<int>& split) const {
  if (mode_ == ScoringMode::Reference) {
    // The scratch stays all kOutside between calls, so a call touches only its members.
    if (static_cast<int>(restrictedZ_.size()) != n_) restrictedZ_.assign(n_, kOutside);
    for (size_t m = 0; m < members.size(); m++) {
      if (split[m] == 0 || split[m] == 1)
        restrictedZ_[members[m]] = split[m] == 0 ? kGroup0 : kGroup1;
      else
        logFile_ << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
    }
    const double fit = getClusterFit(restrictedZ_.data(), kGroup0) +
                       getClusterFit(restrictedZ_.data(), kGroup1);
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
      logFile_ << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
      continue;
    }
    key[g] ^= fitCache_.key(members[m]);
    std::vector<int>& list = groupLists_[g];
    if (!list.empty() && list.back() > members[m]) sorted[g] = false;
    list.push_back(members[m]);
  }
  double fit[2];
  for (int g = 0; g < 2; g++)
    fit[g] = scoreListed(groupLists_[g].data(), static_cast<int>(groupLists_[g].size()),
                         sorted[g], key[g]);
  return fit[0] + fit[1];
}

