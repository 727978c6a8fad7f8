#include "PartitionSampler/ScoreCache.h"

namespace {
uint64_t splitmix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}
}  // namespace

ScoreCache::ScoreCache(int n, size_t limit) : keys_(n), limit_(limit) {
  uint64_t state = 0x766F726E616Bull;
  for (ClusterKey& k : keys_) {
    k.a = splitmix64(state);
    k.b = splitmix64(state);
  }
}

void ScoreCache::store(const ClusterKey& k, double value) {
  // Long runs visit ever new clusters: start afresh rather than grow without bound.
  if (values_.size() >= limit_) values_.clear();
  values_.emplace(k, value);
}
