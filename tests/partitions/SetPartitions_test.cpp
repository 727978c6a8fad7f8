// Every partition of n items into k clusters as label rows, and their count.
#include "partitions/SetPartitions.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using Rows = std::vector<std::vector<int>>;

Rows split(const std::vector<int>& flat, int n) {
  Rows rows;
  for (size_t r = 0; r * n < flat.size(); r++)
    rows.emplace_back(flat.begin() + r * n, flat.begin() + (r + 1) * n);
  return rows;
}

// Stirling numbers of the second kind by their recurrence, independent of the enumerator.
double stirling(int n, int k) {
  if (n == 0 && k == 0) return 1;
  if (n == 0 || k == 0) return 0;
  return k * stirling(n - 1, k) + stirling(n - 1, k - 1);
}

TEST(MyPartitions, WorkedListsInOrder) {
  struct Case {
    int n, k;
    Rows rows;
  };
  const Case cases[] = {
      {3, 2, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}},
      {4, 2,
       {{0, 0, 1, 0}, {0, 0, 0, 1}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 1, 1, 0}, {0, 0, 1, 1},
        {0, 1, 0, 1}}},
      {4, 3,
       {{0, 1, 2, 0}, {0, 0, 1, 2}, {0, 1, 0, 2}, {1, 0, 2, 0}, {1, 0, 0, 2}, {1, 2, 0, 0}}},
      {5, 1, {{0, 0, 0, 0, 0}}},
      {5, 5, {{0, 1, 2, 3, 4}}},
      {1, 1, {{0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("n=" + std::to_string(c.n) + " k=" + std::to_string(c.k));
    double ways = -1;
    const std::vector<int> flat = SetPartitions::partitions(c.n, c.k, ways, true, false);
    EXPECT_EQ(ways, static_cast<double>(c.rows.size()));
    EXPECT_EQ(split(flat, c.n), c.rows);
  }
}

TEST(MyPartitions, CountsAreStirlingAndBellNumbers) {
  struct Case {
    int n, k;
    double ways;
  };
  // Hand-known values: S(6,3) = 15 + 60 + 15 over the shapes (4,1,1), (3,2,1), (2,2,2).
  const Case cases[] = {{6, 3, 90},   {5, 2, 15},     {5, 3, 25},      {7, 3, 301},
                        {8, 4, 1701}, {10, 5, 42525}, {12, 6, 1323652}, {3, 3, 1}};
  for (const Case& c : cases) {
    double ways = -1;
    EXPECT_TRUE(SetPartitions::partitions(c.n, c.k, ways, false, false).empty());
    EXPECT_EQ(ways, c.ways) << "n=" << c.n << " k=" << c.k;
  }
  const double bell[] = {1, 1, 2, 5, 15, 52, 203, 877, 4140, 21147, 115975};
  for (int n = 1; n <= 10; n++) {
    double total = 0;
    for (int k = 1; k <= n; k++) {
      double ways = 0;
      SetPartitions::partitions(n, k, ways, false, false);
      total += ways;
    }
    EXPECT_EQ(total, bell[n]) << "n=" << n;
  }
}

// Every row is a distinct partition into exactly k non-empty clusters, with label 0 on a
// largest cluster, labels by non-increasing size and equal sizes by smallest member; rows
// are grouped by size multiset in ascending lexicographic order of the sorted sizes.
TEST(MyPartitions, RowsAreDistinctCanonicalPartitions) {
  for (int n = 1; n <= 7; n++)
    for (int k = 1; k <= n; k++) {
      SCOPED_TRACE("n=" + std::to_string(n) + " k=" + std::to_string(k));
      double ways = 0;
      const Rows rows = split(SetPartitions::partitions(n, k, ways, true, false), n);
      ASSERT_EQ(static_cast<double>(rows.size()), stirling(n, k));
      EXPECT_EQ(ways, stirling(n, k));
      std::set<std::vector<int>> blockSets;  // partitions as sets of blocks, label-free
      std::vector<int> previousShape;
      for (const auto& row : rows) {
        std::vector<int> sizes(k, 0), first(k, -1);
        for (int i = 0; i < n; i++) {
          ASSERT_GE(row[i], 0);
          ASSERT_LT(row[i], k);
          if (sizes[row[i]]++ == 0) first[row[i]] = i;
        }
        for (int j = 0; j < k; j++) ASSERT_GT(sizes[j], 0);
        for (int j = 1; j < k; j++) {
          EXPECT_GE(sizes[j - 1], sizes[j]);
          if (sizes[j - 1] == sizes[j]) {
            EXPECT_LT(first[j - 1], first[j]);
          }
        }
        const std::vector<int> shape(sizes.rbegin(), sizes.rend());  // ascending
        EXPECT_LE(previousShape, shape);
        previousShape = shape;
        std::vector<int> byFirst(n);  // relabel by first occurrence: canonical form
        std::vector<int> map(k, -1);
        int next = 0;
        for (int i = 0; i < n; i++) {
          if (map[row[i]] < 0) map[row[i]] = next++;
          byFirst[i] = map[row[i]];
        }
        blockSets.insert(byFirst);
      }
      EXPECT_EQ(blockSets.size(), rows.size());
    }
}

TEST(MyPartitions, NoPartitionForImpossibleCounts) {
  const int cases[][2] = {{3, 4}, {3, 0}, {0, 1}, {2, -1}};
  for (const auto& c : cases) {
    double ways = -1;
    EXPECT_TRUE(SetPartitions::partitions(c[0], c[1], ways, true, false).empty());
    EXPECT_EQ(ways, 0) << "n=" << c[0] << " k=" << c[1];
  }
}

// With zero parts allowed the count covers every partition into at most k clusters, and a
// listing holds each of them once.
TEST(MyPartitions, AtMostKClustersWhenZerosAllowed) {
  struct Case {
    int n, k;
    double ways;
  };
  const Case cases[] = {{6, 3, 1 + 31 + 90}, {4, 4, 15}, {3, 5, 5}, {5, 2, 1 + 15}};
  for (const Case& c : cases) {
    SCOPED_TRACE("n=" + std::to_string(c.n) + " k=" + std::to_string(c.k));
    double ways = 0;
    const Rows rows = split(SetPartitions::partitions(c.n, c.k, ways, true, true), c.n);
    EXPECT_EQ(ways, c.ways);
    ASSERT_EQ(static_cast<double>(rows.size()), c.ways);
    std::set<std::vector<int>> distinct;
    for (const auto& row : rows) {
      std::vector<int> byFirst(c.n), map(c.k, -1);
      int next = 0;
      for (int i = 0; i < c.n; i++) {
        ASSERT_GE(row[i], 0);
        ASSERT_LT(row[i], c.k);
        if (map[row[i]] < 0) map[row[i]] = next++;
        byFirst[i] = map[row[i]];
      }
      distinct.insert(byFirst);
    }
    EXPECT_EQ(distinct.size(), rows.size());
  }
}

}  // namespace
