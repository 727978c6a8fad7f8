#include "sampler/Scorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/Failure.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "sampler/ClusterStats.h"

Scorer::Scorer(Observable& model, FitnessZType criterion, int k, double logalpha,
               ScoringMode mode, std::ostream& logFile)
    : ob_(&model),
      fitnessZType_(criterion),
      mode_(mode),
      n_(model.n),
      infmix_(k <= 0),
      prior_(makePartitionPrior(model.n, k, logalpha, mode)),
      logFile_(logFile),
      memo_(model.n) {
  model.scoring = mode;
}

Scorer::Scorer(Observable& model, const ChainConfig& config, std::ostream& logFile)
    : Scorer(model, config.criterion, config.k, config.logalpha, config.scoring, logFile) {
  if (!config.criterionRefusal.empty()) refuseScores(config.criterionRefusal);
  if (config.selectsColumns()) selectColumns(config.columnP);
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
  ScoreCache& cache = memo(type);
  double value;
  if (cache.find(key, value)) {
#ifndef NDEBUG
    // Debug builds check the memo against a fresh score now and then.
    if (++memo_.hits % 61 == 0) {
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
    if (z[i] == j) key ^= memo_.integrated.key(i);
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
    const double lik = columns_->logLik(z, k);
    Arrays::table(z, n_, sizes_.data(), k);
    return lik + partitionLogPrior(sizes_.data(), k);
  }
  const bool integrated = fitnessZType_ == INTEGRATED;
  double lik = 0;
  if (mode_ == ScoringMode::Reference) {
    for (int j = 0; j < k; j++)
      lik += integrated ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
    if (integrated) Arrays::table(z, n_, sizes_.data(), k);
  } else {
    // One pass collects every cluster's member key and size.
    const ScoreCache& cache = memo(fitnessZType_);
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
  return lists_.fresh(*this, list, members);
}

double Scorer::listScore(const int* list, int members, const ClusterKey& key) const {
  return lists_.listed(*this, list, members, key);
}

double Scorer::getRestrictedIntLik(const std::vector<int>& members,
                                   const std::vector<int>& split) const {
  return lists_.restrictedIntLik(*this, members, split);
}
