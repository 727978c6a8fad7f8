#include "sampler/Scorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/Failure.h"
#include "io/U.h"
#include "stats/MathPlus.h"

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
      piPrior_(static_cast<short>(k > 0 ? k : 1)),
      logalpha_(logalpha),
      logFile_(logFile),
      sizes_(model.n + 2),
      keys_(model.n + 2),
      fitCache_(model.n),
      classiCache_(model.n) {
  model.scoring = mode;
  // The Dirichlet-process normaliser depends on n and alpha only.
  const double alpha = std::exp(logalpha);
  for (int i = 1; i <= n_; i++) dpNormaliser_ += std::log(alpha + i - 1);
  // Integers up to n + k cover every argument of both partition priors.
  const int largest = n_ + (k > 0 ? k : 0) + 1;
  lgammaInt_.resize(largest + 1);
  for (int s = 0; s <= largest; s++) lgammaInt_[s] = MathPlus::mylgamma(s);
  piPriorLbeta_ = MathPlus::lbeta(piPrior_.alpha.data(), piPrior_.dimension, true);
}

double Scorer::partitionLogPrior(const int* sizes, int k) const {
  if (!infmix_) {
    if (k != piPrior_.dimension)
      failRun(logFile_, Failure::Internal,
              "PartitionSampler::getTotalLik(). number of clusters " + U::n2s(k) +
                  " differs from the fixed k " + U::n2s(piPrior_.dimension));
    if (mode_ == ScoringMode::Reference) return piPrior_.logIntegratedLik(sizes);
    // piPrior.logIntegratedLik with every parameter 1: 1 + size is a whole number, so the
    // log-gammas come from the table; sums run in the same order as there.
    double out = 0, alphaSum = 0;
    for (int j = 0; j < k; j++) {
      const double posterior = 1.0 + sizes[j];
      out += lgammaInt_[1 + sizes[j]];
      alphaSum += posterior;
    }
    return (out - MathPlus::mylgamma(alphaSum)) - piPriorLbeta_;
  }
  int nonEmpty = 0;
  double lgammaSum = 0;
  for (int j = 0; j < k; j++) {
    if (sizes[j] != 0) nonEmpty++;
    lgammaSum += lgammaInt_[sizes[j]];
  }
  return nonEmpty * logalpha_ + lgammaSum - dpNormaliser_;
}

bool Scorer::scoresPerCluster() const {
  return mode_ != ScoringMode::Reference &&
         (fitnessZType_ == INTEGRATED || fitnessZType_ == CLASSIFICATION);
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
      if (std::memcmp(&fresh, &value, sizeof value) != 0)
        failRun(logFile_, Failure::Internal,
                "PartitionSampler: internal error: memoised cluster score " + U::n2s(value) +
                    " differs from a fresh one " + U::n2s(fresh));
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
  if (static_cast<int>(sizes_.size()) < k) {
    sizes_.resize(k);
    keys_.resize(k);
  }
  if (fitnessZType_ == MIXTURE) return ob_->getMixtureLik(z, k);
  const bool integrated = fitnessZType_ == INTEGRATED;
  double lik = 0;
  if (mode_ == ScoringMode::Reference) {
    for (int j = 0; j < k; j++)
      lik += integrated ? ob_->getClusterFit(z, j) : ob_->getClassificationLik(z, j);
    if (integrated) U::table(z, n_, sizes_.data(), k);
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

double Scorer::getRestrictedIntLik(const std::vector<int>& members,
                                   const std::vector<int>& split) const {
  // The scratch stays all kOutside between calls, so a call touches only its members.
  if (static_cast<int>(restrictedZ_.size()) != n_) restrictedZ_.assign(n_, kOutside);
  ClusterKey key0, key1;  // member keys of the two groups, without a pass over all n
  for (size_t m = 0; m < members.size(); m++) {
    if (split[m] == 0) {
      restrictedZ_[members[m]] = kGroup0;
      key0 ^= fitCache_.key(members[m]);
    } else if (split[m] == 1) {
      restrictedZ_[members[m]] = kGroup1;
      key1 ^= fitCache_.key(members[m]);
    } else {
      logFile_ << "PartitionSampler::getrestrictedIntLik(). something wrong with split." << '\n';
    }
  }
  const double fit = mode_ == ScoringMode::Reference
                         ? getClusterFit(restrictedZ_.data(), kGroup0) +
                               getClusterFit(restrictedZ_.data(), kGroup1)
                         : cachedScore(restrictedZ_.data(), kGroup0, key0, INTEGRATED) +
                               cachedScore(restrictedZ_.data(), kGroup1, key1, INTEGRATED);
  for (int i : members) restrictedZ_[i] = kOutside;
  return fit;
}

void Scorer::refreshCurrentScores(const ChainState& state, bool recountStats) {
  const int kold = state.kold;
  const std::vector<int>& zold = state.zold;
  const ScoreCache& cache = fitnessZType_ == INTEGRATED ? fitCache_ : classiCache_;
  // Additive statistics serve the integrated score only.
  statsSize_ = fitnessZType_ == INTEGRATED ? ob_->statsSize() : 0;
  if (statsSize_ > 0) {
    statsScratch_.resize(statsSize_);
    if (recountStats) {
      curStats_.assign(static_cast<size_t>(kold + 1) * statsSize_, 0);
      for (int i = 0; i < n_; i++)
        ob_->addToStats(i, curStats_.data() + static_cast<size_t>(zold[i]) * statsSize_, +1);
    } else {
      curStats_.resize(static_cast<size_t>(kold + 1) * statsSize_, 0);
#ifndef NDEBUG
      std::vector<int> fresh(curStats_.size(), 0);
      for (int i = 0; i < n_; i++)
        ob_->addToStats(i, fresh.data() + static_cast<size_t>(zold[i]) * statsSize_, +1);
      if (fresh != curStats_)
        failRun(logFile_, Failure::Internal,
                "PartitionSampler: internal error: cluster statistics out of step");
#endif
    }
  }
  curKey_.assign(kold + 1, ClusterKey());
  curFit_.resize(kold + 1);
  for (int i = 0; i < n_; i++) curKey_[zold[i]] ^= cache.key(i);
  for (int m = 0; m < kold; m++)
    curFit_[m] = cachedScore(zold.data(), m, curKey_[m], fitnessZType_);
  // Label kold is empty in zold; its score is the model's score of an empty label.
  curFit_[kold] = cachedScore(zold.data(), kold, ClusterKey(), fitnessZType_);
  candidateSizes_.resize(kold + 1);
}

void Scorer::moveInStats(int i, int from, int to, int emptied, int lastLabel) {
  if (statsSize_ == 0) return;
  const size_t S = static_cast<size_t>(statsSize_);
  if (curStats_.size() < (static_cast<size_t>(to) + 2) * S) curStats_.resize((to + 2) * S, 0);
  ob_->addToStats(i, curStats_.data() + from * S, -1);
  ob_->addToStats(i, curStats_.data() + to * S, +1);
  if (emptied >= 0 && emptied != lastLabel) {
    // The highest label took the emptied one.
    std::copy(curStats_.begin() + lastLabel * S, curStats_.begin() + (lastLabel + 1) * S,
              curStats_.begin() + emptied * S);
    std::fill(curStats_.begin() + lastLabel * S, curStats_.begin() + (lastLabel + 1) * S, 0);
  }
}

double Scorer::changedClusterScore(const ChainState& state, const int* candidate, int m, int i,
                                   int sign, const ClusterKey& key) {
  if (statsSize_ == 0) return cachedScore(candidate, m, key, fitnessZType_);
  double value;
  if (fitCache_.find(key, value)) return value;
  // A miss costs one statistics update instead of a pass over the data.
  const int* stats = curStats_.data() + static_cast<size_t>(m) * statsSize_;
  std::copy(stats, stats + statsSize_, statsScratch_.begin());
  ob_->addToStats(i, statsScratch_.data(), sign);
  const int members = (m < state.kold ? state.clusterSizes0[m] : 0) + sign;
  value = ob_->scoreStats(statsScratch_.data(), members);
#ifndef NDEBUG
  const double fresh = ob_->getClusterFit(candidate, m);
  if (std::memcmp(&fresh, &value, sizeof value) != 0)
    failRun(logFile_, Failure::Internal,
            "PartitionSampler: internal error: cluster score from statistics " + U::n2s(value) +
                " differs from a fresh one " + U::n2s(fresh));
#endif
  fitCache_.store(key, value);
  return value;
}

double Scorer::candidateTotal(const ChainState& state, const int* candidate, int i, int j,
                              int k) {
  const int c = state.zold[i];
  const int kold = state.kold;
  double lik = 0;
  if (j == c) {
    for (int m = 0; m < k; m++) lik += curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
  } else {
    const ScoreCache& cache = fitnessZType_ == INTEGRATED ? fitCache_ : classiCache_;
    const ClusterKey& ki = cache.key(i);
    // The candidate has i at j, so a model call scores exactly these two changed clusters.
    const double fitMinus = changedClusterScore(state, candidate, c, i, -1, curKey_[c] ^ ki);
    const double fitPlus = changedClusterScore(state, candidate, j, i, +1, curKey_[j] ^ ki);
    for (int m = 0; m < k; m++) lik += m == c ? fitMinus : m == j ? fitPlus : curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? state.clusterSizes0[m] : 0;
    candidateSizes_[c]--;
    candidateSizes_[j]++;
  }
  return fitnessZType_ == INTEGRATED ? lik + partitionLogPrior(candidateSizes_.data(), k) : lik;
}
