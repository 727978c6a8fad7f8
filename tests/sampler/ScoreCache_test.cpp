#include <gtest/gtest.h>

#include <cmath>

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
