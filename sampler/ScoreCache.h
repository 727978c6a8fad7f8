// Exact reuse of cluster scores. A cluster's score depends only on its member set, so it is
// memoised under a 128-bit key: the XOR of fixed random keys of its members, which moves
// in O(1) when one observation joins or leaves. The keys come from a private generator so
// the run's random stream is untouched: key i is the generator's draws 2i + 1 and 2i + 2,
// computed when asked (the generator is a counter through a mixing function), so that no
// chain holds n keys. Entries are dropped wholesale past a size limit.
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
  // For n observations (their keys take no memory), at most limit entries.
  explicit ScoreCache(int n, size_t limit = 1 << 20);
  static ClusterKey key(int i) {
    const uint64_t step = 0x9E3779B97F4A7C15ull;
    const uint64_t before = kKeySeed + 2 * static_cast<uint64_t>(i) * step;
    return ClusterKey{mix(before + step), mix(before + 2 * step)};
  }
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
  static constexpr uint64_t kKeySeed = 0x766F726E616Bull;
  // splitmix64's output function.
  static uint64_t mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  struct Entry {
    ClusterKey key;
    double value = 0;
    bool used = false;
  };
  size_t slot(const ClusterKey& k) const { return static_cast<size_t>(k.a) & mask_; }
  void resize(size_t capacity);

  std::vector<Entry> entries_;  // open addressing, at most half full
  size_t mask_ = 0;
  size_t count_ = 0;
  size_t limit_;
};
