#include "sampler/PartitionSampler.h"

#include <cmath>
#include <algorithm>
#include <cstring>

#include "stats/MathPlus.h"
#include "io/RunError.h"
#include "io/U.h"

PartitionSampler::PartitionSampler(int k, int n, FitnessZType fitnessZType, Observable* ob,
                                   double logalpha, std::ostream& logFile,
                                   const std::string& heuristics)
    : n(n),
      kold(k),
      zold(n),
      znew(n),
      clusterSizes0(n + 1),
      infmix(k <= 0),
      piPrior(static_cast<short>(k > 0 ? k : 1)),
      logalpha(logalpha),
      ob(ob),
      fitnessZType(fitnessZType),
      heuristics(heuristics),
      logFile(logFile),
      sizes_(n + 2),
      keys_(n + 2),
      fitCache_(n),
      classiCache_(n),
      logMean_(n + 2) {
  if (infmix) kold = 1;
  // Only the tree-guided moves read distances; other searches never pay for n x n.
  if (usesDistances(heuristics)) distanceMatrix = Matrix<double>(n, n);
  // The Dirichlet-process normaliser depends on n and alpha only.
  double alpha = std::exp(logalpha);
  for (int i = 1; i <= n; i++) dpNormaliser_ += std::log(alpha + i - 1);
  // Integers up to n + k cover every argument of both partition priors.
  const int largest = n + (k > 0 ? k : 0) + 1;
  lgammaInt_.resize(largest + 1);
  for (int s = 0; s <= largest; s++) lgammaInt_[s] = MathPlus::mylgamma(s);
  piPriorLbeta_ = MathPlus::lbeta(piPrior.alpha.data(), piPrior.dimension, true);
}

bool PartitionSampler::usesDistances(const std::string& heuristics) {
  return heuristics == "UX" || heuristics == "UX2" || heuristics == "UXf" ||
         heuristics == "UXf2" || heuristics == "rBHS2" || heuristics == "SR" ||
         heuristics == "SR2";
}

double PartitionSampler::partitionLogPrior(const int* sizes, int k) const {
  if (!infmix) {
    if (k != piPrior.dimension)
      U::fail(logFile, "PartitionSampler::getTotalLik(). number of clusters " + U::n2s(k) +
                           " differs from the fixed k " + U::n2s(piPrior.dimension));
#ifdef VORNAK_REFERENCE_SCORING
    return piPrior.logIntegratedLik(sizes);
#else
    // piPrior.logIntegratedLik with every parameter 1: 1 + size is a whole number, so the
    // log-gammas come from the table; sums run in the same order as there.
    double out = 0, alphaSum = 0;
    for (int j = 0; j < k; j++) {
      const double posterior = 1.0 + sizes[j];
      out += lgammaInt_[1 + sizes[j]];
      alphaSum += posterior;
    }
    return (out - MathPlus::mylgamma(alphaSum)) - piPriorLbeta_;
#endif
  }
  int nonEmpty = 0;
  double lgammaSum = 0;
  for (int j = 0; j < k; j++) {
    if (sizes[j] != 0) nonEmpty++;
    lgammaSum += lgammaInt_[sizes[j]];
  }
  return nonEmpty * logalpha + lgammaSum - dpNormaliser_;
}

bool PartitionSampler::scoresPerCluster() const {
#ifdef VORNAK_REFERENCE_SCORING
  return false;
#else
  return fitnessZType == INTEGRATED || fitnessZType == CLASSIFICATION;
#endif
}

double PartitionSampler::cachedScore(const int* z, int j, const ClusterKey& key,
                                     FitnessZType type) const {
  ScoreCache& cache = type == INTEGRATED ? fitCache_ : classiCache_;
  double value;
  if (cache.find(key, value)) {
#ifndef NDEBUG
    // Debug builds check the memo against a fresh score now and then.
    if (++cacheHits_ % 61 == 0) {
      double fresh = type == INTEGRATED ? ob->getClusterFit(z, j) : ob->getClassificationLik(z, j);
      if (std::memcmp(&fresh, &value, sizeof value) != 0)
        U::fail(logFile, "PartitionSampler: internal error: memoised cluster score " +
                             U::n2s(value) + " differs from a fresh one " + U::n2s(fresh));
    }
#endif
    return value;
  }
  value = type == INTEGRATED ? ob->getClusterFit(z, j) : ob->getClassificationLik(z, j);
  cache.store(key, value);
  return value;
}

double PartitionSampler::getClusterFit(const int* z, int j) const {
#ifdef VORNAK_REFERENCE_SCORING
  return ob->getClusterFit(z, j);
#else
  ClusterKey key;
  for (int i = 0; i < n; i++)
    if (z[i] == j) key ^= fitCache_.key(i);
  return cachedScore(z, j, key, INTEGRATED);
#endif
}

double PartitionSampler::getTotalLik(const int* z, int k) const {
  if (static_cast<int>(sizes_.size()) < k) {
    sizes_.resize(k);
    keys_.resize(k);
  }
  switch (fitnessZType) {
    case INTEGRATED:
    case CLASSIFICATION: {
      const bool integrated = fitnessZType == INTEGRATED;
      double lik = 0;
#ifdef VORNAK_REFERENCE_SCORING
      for (int j = 0; j < k; j++)
        lik += integrated ? ob->getClusterFit(z, j) : ob->getClassificationLik(z, j);
      if (integrated) U::table(z, n, sizes_.data(), k);
#else
      // One pass collects every cluster's member key and size.
      const ScoreCache& cache = integrated ? fitCache_ : classiCache_;
      for (int j = 0; j < k; j++) {
        keys_[j] = ClusterKey();
        sizes_[j] = 0;
      }
      for (int i = 0; i < n; i++) {
        keys_[z[i]] ^= cache.key(i);
        sizes_[z[i]]++;
      }
      for (int j = 0; j < k; j++) lik += cachedScore(z, j, keys_[j], fitnessZType);
#endif
      return integrated ? lik + partitionLogPrior(sizes_.data(), k) : lik;
    }
    case MIXTURE:
      return ob->getMixtureLik(z, k);
  }
  std::string line = "fitnessZType not yet implemented for: " + U::n2s(static_cast<int>(fitnessZType));
  logFile << line << '\n';
  logFile.flush();
  throw RunError(line);
}

void PartitionSampler::refreshCurrentScores(bool recountStats) {
  const ScoreCache& cache = fitnessZType == INTEGRATED ? fitCache_ : classiCache_;
  // Additive statistics serve the integrated score only.
  statsSize_ = fitnessZType == INTEGRATED ? ob->statsSize() : 0;
  if (statsSize_ > 0) {
    statsScratch_.resize(statsSize_);
    if (recountStats) {
      curStats_.assign(static_cast<size_t>(kold + 1) * statsSize_, 0);
      for (int i = 0; i < n; i++)
        ob->addToStats(i, curStats_.data() + static_cast<size_t>(zold[i]) * statsSize_, +1);
    } else {
      curStats_.resize(static_cast<size_t>(kold + 1) * statsSize_, 0);
#ifndef NDEBUG
      std::vector<int> fresh(curStats_.size(), 0);
      for (int i = 0; i < n; i++)
        ob->addToStats(i, fresh.data() + static_cast<size_t>(zold[i]) * statsSize_, +1);
      if (fresh != curStats_)
        U::fail(logFile, "PartitionSampler: internal error: cluster statistics out of step");
#endif
    }
  }
  curKey_.assign(kold + 1, ClusterKey());
  curFit_.resize(kold + 1);
  for (int i = 0; i < n; i++) curKey_[zold[i]] ^= cache.key(i);
  for (int m = 0; m < kold; m++) curFit_[m] = cachedScore(zold.data(), m, curKey_[m], fitnessZType);
  // Label kold is empty in zold; its score is the model's score of an empty label.
  curFit_[kold] = cachedScore(zold.data(), kold, ClusterKey(), fitnessZType);
  candidateSizes_.resize(kold + 1);
}

void PartitionSampler::moveInStats(int i, int from, int to, int emptied, int lastLabel) {
  if (statsSize_ == 0) return;
  const size_t S = static_cast<size_t>(statsSize_);
  if (curStats_.size() < (static_cast<size_t>(to) + 2) * S) curStats_.resize((to + 2) * S, 0);
  ob->addToStats(i, curStats_.data() + from * S, -1);
  ob->addToStats(i, curStats_.data() + to * S, +1);
  if (emptied >= 0 && emptied != lastLabel) {
    // The highest label took the emptied one.
    std::copy(curStats_.begin() + lastLabel * S, curStats_.begin() + (lastLabel + 1) * S,
              curStats_.begin() + emptied * S);
    std::fill(curStats_.begin() + lastLabel * S, curStats_.begin() + (lastLabel + 1) * S, 0);
  }
}

double PartitionSampler::changedClusterScore(int m, int i, int sign, const ClusterKey& key) {
  if (statsSize_ == 0) return cachedScore(znew.data(), m, key, fitnessZType);
  double value;
  if (fitCache_.find(key, value)) return value;
  // A miss costs one statistics update instead of a pass over the data.
  const int* stats = curStats_.data() + static_cast<size_t>(m) * statsSize_;
  std::copy(stats, stats + statsSize_, statsScratch_.begin());
  ob->addToStats(i, statsScratch_.data(), sign);
  const int members = (m < kold ? clusterSizes0[m] : 0) + sign;
  value = ob->scoreStats(statsScratch_.data(), members);
#ifndef NDEBUG
  const double fresh = ob->getClusterFit(znew.data(), m);
  if (std::memcmp(&fresh, &value, sizeof value) != 0)
    U::fail(logFile, "PartitionSampler: internal error: cluster score from statistics " +
                         U::n2s(value) + " differs from a fresh one " + U::n2s(fresh));
#endif
  fitCache_.store(key, value);
  return value;
}

double PartitionSampler::candidateTotal(int i, int j, int k) {
  const int c = zold[i];
  double lik = 0;
  if (j == c) {
    for (int m = 0; m < k; m++) lik += curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? clusterSizes0[m] : 0;
  } else {
    const ScoreCache& cache = fitnessZType == INTEGRATED ? fitCache_ : classiCache_;
    const ClusterKey& ki = cache.key(i);
    // znew has i at j, so a model call scores exactly these two changed clusters.
    const double fitMinus = changedClusterScore(c, i, -1, curKey_[c] ^ ki);
    const double fitPlus = changedClusterScore(j, i, +1, curKey_[j] ^ ki);
    for (int m = 0; m < k; m++) lik += m == c ? fitMinus : m == j ? fitPlus : curFit_[m];
    for (int m = 0; m < k; m++) candidateSizes_[m] = m < kold ? clusterSizes0[m] : 0;
    candidateSizes_[c]--;
    candidateSizes_[j]++;
  }
  return fitnessZType == INTEGRATED ? lik + partitionLogPrior(candidateSizes_.data(), k) : lik;
}

void PartitionSampler::accept(int kchange) {
  acceptanceCnt += 1;
  U::copyArray(znew.data(), zold.data(), n);
  kold += kchange;
  U::table(zold.data(), n, clusterSizes0.data(), kold);
}
