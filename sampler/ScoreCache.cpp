#include "sampler/ScoreCache.h"

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
  resize(1024);
}

void ScoreCache::resize(size_t capacity) {
  std::vector<Entry> old;
  old.swap(entries_);
  entries_.assign(capacity, Entry());
  mask_ = capacity - 1;
  count_ = 0;
  for (const Entry& e : old)
    if (e.used) store(e.key, e.value);
}

void ScoreCache::store(const ClusterKey& k, double value) {
  // Long runs visit ever new clusters: start afresh rather than grow without bound.
  if (count_ >= limit_) {
    entries_.assign(entries_.size(), Entry());
    count_ = 0;
  } else if (2 * (count_ + 1) > entries_.size()) {
    resize(2 * entries_.size());
  }
  size_t at = slot(k);
  while (entries_[at].used && !(entries_[at].key == k)) at = (at + 1) & mask_;
  if (!entries_[at].used) count_++;
  entries_[at] = Entry{k, value, true};
}
