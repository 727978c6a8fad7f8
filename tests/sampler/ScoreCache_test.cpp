#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "sampler/ScoreCache.h"

namespace {

ClusterKey keyOf(const ScoreCache& cache, std::initializer_list<int> members) {
  ClusterKey key;
  for (int i : members) key ^= cache.key(i);
  return key;
}

TEST(ScoreCache, KeysDependOnTheMemberSetOnly) {
  ScoreCache cache(6);
  EXPECT_TRUE(keyOf(cache, {0, 3, 5}) == keyOf(cache, {5, 0, 3}));
  EXPECT_FALSE(keyOf(cache, {0, 3, 5}) == keyOf(cache, {0, 3}));
  // One member joining or leaving moves the key by that member's key.
  EXPECT_TRUE((keyOf(cache, {0, 3}) ^ cache.key(5)) == keyOf(cache, {0, 3, 5}));
  EXPECT_TRUE(keyOf(cache, {}) == ClusterKey());
}

// Keys are computed when asked, not held: key i must be the private generator's draws 2i + 1
// and 2i + 2 (splitmix64 from its fixed seed, run here step by step), whatever the order of
// asking, so that memoised scores and runs keep their keys.
TEST(ScoreCache, KeyIsTheGeneratorsPairOfDraws) {
  uint64_t state = 0x766F726E616Bull;
  auto draw = [&state] {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  std::vector<ClusterKey> drawn(1000);
  for (ClusterKey& k : drawn) {
    k.a = draw();
    k.b = draw();
  }
  for (const int i : {999, 0, 1, 500, 2, 998})
    EXPECT_TRUE(ScoreCache::key(i) == drawn[static_cast<size_t>(i)]) << "key " << i;
}

TEST(ScoreCache, StoresFindsAndGrows) {
  ScoreCache cache(64);
  double value = 0;
  EXPECT_FALSE(cache.find(ClusterKey(), value));
  cache.store(ClusterKey(), -0.0);  // the empty cluster is a key like any other
  ASSERT_TRUE(cache.find(ClusterKey(), value));
  EXPECT_TRUE(std::signbit(value));
  // Every subset of the first 12 observations, far beyond the starting capacity.
  for (int set = 1; set < 4096; set++) {
    ClusterKey key;
    for (int i = 0; i < 12; i++)
      if (set >> i & 1) key ^= cache.key(i);
    cache.store(key, set * 0.5);
  }
  for (int set = 1; set < 4096; set++) {
    ClusterKey key;
    for (int i = 0; i < 12; i++)
      if (set >> i & 1) key ^= cache.key(i);
    ASSERT_TRUE(cache.find(key, value)) << set;
    EXPECT_EQ(value, set * 0.5);
  }
}

TEST(ScoreCache, StartsAfreshPastItsLimit) {
  ScoreCache cache(8, 3);
  for (int i = 0; i < 3; i++) cache.store(cache.key(i), i);
  double value;
  EXPECT_TRUE(cache.find(cache.key(0), value));
  cache.store(cache.key(3), 3);  // the fourth entry clears the rest
  EXPECT_FALSE(cache.find(cache.key(0), value));
  ASSERT_TRUE(cache.find(cache.key(3), value));
  EXPECT_EQ(value, 3);
}

}  // namespace
