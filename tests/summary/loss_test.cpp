// Losses between partitions and the adjusted Rand index against values worked by hand, and the
// merging of equal draws.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "summary/loss.h"

namespace {

using summary::Loss;

struct LossCase {
  std::vector<int> a, b;
  double vi, binder;  // bits; share of pairs
};

TEST(SummaryLoss, HandWorkedValues) {
  // VI = [sum_a n_a log2 n_a + sum_b m_b log2 m_b - 2 sum_ab n_ab log2 n_ab] / n.
  const LossCase cases[] = {
      // {0,1}{2,3} against {0,1,2}{3}: sizes 2,2 | 3,1; cells 2,1,1:
      // VI = (4 + 3 log2 3 - 4) / 4; pairs 02, 12, 23 disagree: 3 of 6.
      {{0, 0, 1, 1}, {0, 0, 0, 1}, 3 * std::log2(3.0) / 4, 0.5},
      // The same with other label names.
      {{1, 1, 0, 0}, {2, 2, 2, 3}, 3 * std::log2(3.0) / 4, 0.5},
      {{0, 0, 1, 1}, {0, 0, 1, 1}, 0, 0},
      // One cluster against singletons: VI = 4 log2 4 / 4; every pair disagrees.
      {{0, 0, 0, 0}, {0, 1, 2, 3}, 2, 1},
      // {0,1}{2,3} against {0,2}{1,3}: cells all 1, VI = (4 + 4) / 4; pairs 01 23 02 13: 4 of 6.
      {{0, 0, 1, 1}, {0, 1, 0, 1}, 2, 4.0 / 6},
      // {0,1}{2} against {0}{1,2}: VI = (2 + 2 - 0) / 3; pairs 01 and 12 disagree: 2 of 3.
      {{0, 0, 1}, {0, 1, 1}, 4.0 / 3, 2.0 / 3},
      {{0}, {0}, 0, 0},
  };
  for (const auto& c : cases) {
    const int n = static_cast<int>(c.a.size());
    EXPECT_NEAR(summary::partitionLoss(Loss::VI, c.a.data(), c.b.data(), n), c.vi, 1e-14);
    EXPECT_NEAR(summary::partitionLoss(Loss::VI, c.b.data(), c.a.data(), n), c.vi, 1e-14);
    EXPECT_NEAR(summary::partitionLoss(Loss::Binder, c.a.data(), c.b.data(), n), c.binder, 1e-14);
    EXPECT_NEAR(summary::partitionLoss(Loss::Binder, c.b.data(), c.a.data(), n), c.binder, 1e-14);
  }
}

TEST(SummaryLoss, AdjustedRandIndex) {
  struct Case {
    std::vector<int> a, b;
    double ari;
  };
  const Case cases[] = {
      // Together-pairs in both: 01, 45 -> 2; in a: 3 + 3 = 6; in b: 1 + 1 + 1 = 3; of 15 pairs.
      // Expected 6 * 3 / 15 = 1.2, maximum (6 + 3) / 2 = 4.5: (2 - 1.2) / (4.5 - 1.2).
      {{0, 0, 0, 1, 1, 1}, {0, 0, 1, 1, 2, 2}, 0.8 / 3.3},
      // None shared; 2 and 2 of 6 pairs: expected 4 / 6, maximum 2: (0 - 2/3) / (2 - 2/3).
      {{0, 0, 1, 1}, {0, 1, 0, 1}, -0.5},
      {{0, 1, 1, 2}, {2, 0, 0, 1}, 1},
      {{0, 0, 0}, {0, 0, 0}, 1},
      {{0, 1, 2}, {0, 1, 2}, 1},
      {{0, 0, 0}, {0, 1, 2}, 0},
  };
  for (const auto& c : cases)
    EXPECT_NEAR(summary::adjustedRand(c.a.data(), c.b.data(), static_cast<int>(c.a.size())), c.ari,
                1e-14);
}

TEST(SummaryLoss, EqualDrawsAreMergedAndExpectedLossIsTheirMean) {
  const std::vector<std::vector<int>> draws = {
      {0, 0, 1, 1}, {0, 1, 1, 1}, {0, 0, 1, 1}, {0, 1, 2, 3}, {0, 0, 1, 1}, {0, 1, 1, 1}};
  std::vector<const int*> pointers;
  for (const auto& d : draws) pointers.push_back(d.data());
  summary::DrawSet set(pointers, 4);
  ASSERT_EQ(set.distinct(), 3u);
  EXPECT_EQ(set.total(), 6);
  EXPECT_EQ(set.weight(0), 3);
  EXPECT_EQ(set.weight(1), 2);
  EXPECT_EQ(set.weight(2), 1);
  EXPECT_EQ(set.firstIndex(2), 3u);
  EXPECT_EQ(set.clusters(2), 4);
  const std::vector<int> estimate = {0, 0, 0, 1};
  for (Loss loss : {Loss::VI, Loss::Binder}) {
    double mean = 0;
    for (const auto& d : draws) mean += summary::partitionLoss(loss, estimate.data(), d.data(), 4);
    EXPECT_NEAR(summary::expectedLoss(set, loss, estimate.data()), mean / draws.size(), 1e-14);
  }
}

}  // namespace
