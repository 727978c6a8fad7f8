#include "sampler/ScoreCache.h"

ScoreCache::ScoreCache(int, size_t limit) : limit_(limit) { resize(1024); }

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
