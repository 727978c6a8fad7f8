#include "sampler/ChainState.h"

#include <cmath>

#include "io/U.h"

ChainState::ChainState(int n, int k)
    : n(n), infmix(k <= 0), kold(k <= 0 ? 1 : k), zold(n), clusterSizes0(n + 1), bestZ(n) {}

void ChainState::accept(const std::vector<int>& z, int kchange) {
  acceptanceCnt += 1;
  U::copyArray(z.data(), zold.data(), n);
  kold += kchange;
  U::table(zold.data(), n, clusterSizes0.data(), kold);
}

void ChainState::setPartition(const std::vector<int>& z, int k) {
  U::copyArray(z.data(), zold.data(), n);
  kold = k;
  U::table(zold.data(), n, clusterSizes0.data(), kold);
}

void ChainState::startTrace(double score) {
  previousLik = score;
  previousLikCount = 1;
  bestScore = score;
  bestK = kold;
  U::copyArray(zold.data(), bestZ.data(), n);
}

void ChainState::noteBest(double score) {
  if (!(score > bestScore)) return;
  bestScore = score;
  bestK = kold;
  U::copyArray(zold.data(), bestZ.data(), n);
}

void ChainState::trace(double score) {
  if (!std::isfinite(score)) throw NonFiniteScore{score};
  noteBest(score);
  if (score == previousLik) {
    previousLikCount += 1;
    return;
  }
  if (traceSink) traceSink->runEnded(previousLik, previousLikCount);
  previousLik = score;
  previousLikCount = 1;
}
