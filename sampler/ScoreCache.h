// Exact reuse of cluster scores. A cluster's score depends only on its member set, so it is
// memoised under a 128-bit key: the XOR of fixed random keys of its members, which moves
// in O(1) when one observation joins or leaves. The keys come from a private generator so
// the run's random stream is untouched. Entries are dropped wholesale past a size limit.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct ClusterKey {
  uint64_t a = 0;
  uint64_t b = 0;
  ClusterKey& operator^=(const ClusterKey& other) {
    a ^= other.a;
    b ^= other.b;
    return *this;
  }
  friend ClusterKey operator^(ClusterKey left, const ClusterKey& right) { return left ^= right; }
  friend bool operator==(const ClusterKey& x, const ClusterKey& y) { return x.a == y.a && x.b == y.b; }
};

class ScoreCache {
 public:
  explicit ScoreCache(int n, size_t limit = 1 << 20);
  const ClusterKey& key(int i) const { return keys_[i]; }
  bool find(const ClusterKey& k, double& value) const {
    for (size_t at = slot(k);; at = (at + 1) & mask_) {
      const Entry& e = entries_[at];
      if (!e.used) return false;
      if (e.key == k) {
        value = e.value;
        return true;
      }
    }
  }
  void store(const ClusterKey& k, double value);

 private:
  struct Entry {
    ClusterKey key;
    double value = 0;
    bool used = false;
  };
  size_t slot(const ClusterKey& k) const { return static_cast<size_t>(k.a) & mask_; }
  void resize(size_t capacity);

  std::vector<ClusterKey> keys_;
  std::vector<Entry> entries_;  // open addressing, at most half full
  size_t mask_ = 0;
  size_t count_ = 0;
  size_t limit_;
};
