#include "sampler/ChainState.h"

#include <algorithm>
#include <cmath>

#include "stats/Arrays.h"

ChainState::ChainState(int n, int k)
    : n(n), infmix(k <= 0), kold(k <= 0 ? 1 : k), zold(n), clusterSizes0(n + 1), bestZ(n) {}

void ChainState::accept(const std::vector<int>& z, int kchange) {
  acceptanceCnt += 1;
  Arrays::copyArray(z.data(), zold.data(), n);
  kold += kchange;
  Arrays::table(zold.data(), n, clusterSizes0.data(), kold);
}

int ChainState::moveObservation(int i, int to) {
  acceptanceCnt += 1;
  const int from = zold[i];
  if (static_cast<int>(members.size()) < kold + 1) members.resize(kold + 1);
  std::vector<int>& left = members[from];
  left.erase(std::lower_bound(left.begin(), left.end(), i));
  std::vector<int>& joined = members[to];
  joined.insert(std::lower_bound(joined.begin(), joined.end(), i), i);
  zold[i] = to;
  if (to == kold) clusterSizes0[to] = 0;  // entries past kold are stale
  clusterSizes0[from]--;
  clusterSizes0[to]++;
  if (to == kold) kold++;
  if (!infmix || clusterSizes0[from] > 0) return -1;
  // The highest label moves into the emptied one.
  const int last = kold - 1;
  if (from != last) {
    for (int m : members[last]) zold[m] = from;
    members[from].swap(members[last]);
    clusterSizes0[from] = clusterSizes0[last];
  }
  members[last].clear();
  clusterSizes0[last] = 0;
  kold--;
  return from;
}

void ChainState::listMembers() {
  if (static_cast<int>(members.size()) < kold + 1) members.resize(kold + 1);
  for (std::vector<int>& list : members) list.clear();
  for (int i = 0; i < n; i++) members[zold[i]].push_back(i);
}

void ChainState::setPartition(const std::vector<int>& z, int k) {
  Arrays::copyArray(z.data(), zold.data(), n);
  kold = k;
  Arrays::table(zold.data(), n, clusterSizes0.data(), kold);
}

void ChainState::startTrace(double score) {
  previousLik = score;
  previousLikCount = 1;
  bestScore = score;
  bestK = kold;
  Arrays::copyArray(zold.data(), bestZ.data(), n);
}

void ChainState::noteBest(double score) {
  if (!(score > bestScore)) return;
  bestScore = score;
  bestK = kold;
  Arrays::copyArray(zold.data(), bestZ.data(), n);
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

void ChainState::exchangePartition(ChainState& other) {
  zold.swap(other.zold);
  std::swap(kold, other.kold);
  clusterSizes0.swap(other.clusterSizes0);
  members.swap(other.members);
}
