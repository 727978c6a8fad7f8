// The point estimate: checked against losses computed pair by pair, every single move, and
// every partition of a few items.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "summary/estimate.h"
#include "tests/summary/fixtures.h"

namespace {

using summary::Loss;
using Partitions = std::vector<std::vector<int>>;

std::vector<const int*> pointers(const Partitions& draws) {
  std::vector<const int*> out;
  for (const auto& d : draws) out.push_back(d.data());
  return out;
}

// The mean loss over the draws, one pair at a time.
double meanLoss(Loss loss, const std::vector<int>& labels, const Partitions& draws) {
  double sum = 0;
  for (const auto& d : draws)
    sum += summary::partitionLoss(loss, labels.data(), d.data(), static_cast<int>(labels.size()));
  return sum / draws.size();
}

// The largest drop of the mean loss that moving one item to another cluster or a new one gives.
double bestSingleMoveGain(Loss loss, const std::vector<int>& labels, const Partitions& draws) {
  const int n = static_cast<int>(labels.size());
  const double now = meanLoss(loss, labels, draws);
  double best = 0;
  for (int i = 0; i < n; i++)
    for (int to = 0; to < n; to++) {  // label n - 1 is free unless all are singletons
      std::vector<int> moved = labels;
      moved[i] = to;
      best = std::max(best, now - meanLoss(loss, moved, draws));
    }
  return best;
}

Partitions sampled(const summary_test::Exact& exact, size_t count, uint32_t seed) {
  Partitions draws;
  for (size_t pick : summary_test::sampleIndices(exact, count, seed))
    draws.push_back(exact.partitions[pick]);
  return draws;
}

const std::vector<std::vector<double>> kPointSets = {
    {0, 0.3, 0.5, 1.4, 1.6, 2.9}, {0, 0.2, 0.4, 0.6, 0.8, 1.0}, {0, 1.5, 1.7, 3.0, 3.1, 3.2}};

TEST(SummaryEstimate, BelowTheBestDrawAtTheLowestLossOfAnyPartition) {
  int seed = 1;
  for (const auto& points : kPointSets)
    for (Loss loss : {Loss::VI, Loss::Binder}) {
      const auto exact = summary_test::exactPosterior(points);
      const Partitions draws = sampled(exact, 400, seed++);
      summary::DrawSet set(pointers(draws), 6);
      const summary::Estimate e = summary::findEstimate(set, loss);

      double bestDraw = std::numeric_limits<double>::infinity();
      for (const auto& d : draws) bestDraw = std::min(bestDraw, meanLoss(loss, d, draws));
      double lowest = std::numeric_limits<double>::infinity();
      for (const auto& z : exact.partitions) lowest = std::min(lowest, meanLoss(loss, z, draws));

      SCOPED_TRACE("points " + std::to_string(points[1]) + " loss " + std::to_string(int(loss)));
      EXPECT_EQ(e.evaluated, set.distinct());
      EXPECT_NEAR(e.bestDrawLoss, bestDraw, 1e-12);
      EXPECT_NEAR(meanLoss(loss, draws[e.bestDraw], draws), bestDraw, 1e-12);
      EXPECT_LE(e.expectedLoss, e.bestDrawLoss);
      EXPECT_NEAR(e.expectedLoss, meanLoss(loss, e.labels, draws), 1e-12);
      EXPECT_NEAR(e.expectedLoss, lowest, 1e-12);
      EXPECT_EQ(e.labels, summary::firstAppearance(e.labels.data(), 6));
    }
}

TEST(SummaryEstimate, ReallocationFromPoorStartsEndsWhereNoMoveHelps) {
  const auto exact = summary_test::exactPosterior(kPointSets[0]);
  const Partitions draws = sampled(exact, 300, 7);
  summary::DrawSet set(pointers(draws), 6);
  const Partitions starts = {{0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5}, {0, 1, 0, 1, 0, 1},
                             {5, 5, 3, 3, 1, 1}};
  for (Loss loss : {Loss::VI, Loss::Binder}) {
    long moves = 0;
    for (const auto& start : starts) {
      std::vector<int> labels = start;
      long made = summary::reallocate(set, loss, labels);
      moves += made;
      if (made > 0) {
        EXPECT_LT(meanLoss(loss, labels, draws), meanLoss(loss, start, draws));
      }
      EXPECT_LT(bestSingleMoveGain(loss, labels, draws), 1e-12);
    }
    EXPECT_GT(moves, 4);
  }
}

TEST(SummaryEstimate, EvenlySpacedDrawsWhenAllPairsCostTooMuch) {
  const auto exact = summary_test::exactPosterior(kPointSets[1]);
  const Partitions draws = sampled(exact, 400, 3);
  summary::DrawSet set(pointers(draws), 6);
  ASSERT_GT(set.distinct(), 20u);
  // Room for 10 candidates: distinct draws 0, d/10, 2d/10, ...
  const double budget = 10.0 * set.distinct() * 6;
  const summary::Estimate e = summary::findEstimate(set, Loss::VI, 5, budget);
  EXPECT_EQ(e.evaluated, 10u);
  double best = std::numeric_limits<double>::infinity();
  for (size_t j = 0; j < 10; j++) {
    const int* z = set.labels(j * set.distinct() / 10);
    best = std::min(best, meanLoss(Loss::VI, std::vector<int>(z, z + 6), draws));
  }
  EXPECT_NEAR(e.bestDrawLoss, best, 1e-12);
  EXPECT_LE(e.expectedLoss, e.bestDrawLoss);
  EXPECT_LT(bestSingleMoveGain(Loss::VI, e.labels, draws), 1e-12);
}

TEST(SummaryEstimate, RecoversTwoClearGroups) {
  // Items 0-9 and 10-19; each draw moves every item to the other group with probability 0.15
  // and, one time in four, sets one item apart. No draw is the truth itself, so the search
  // has to find it.
  mersenne source;
  source.initialize(5);
  Partitions draws;
  for (int d = 0; d < 300; d++) {
    std::vector<int> z(20);
    for (int i = 0; i < 20; i++) z[i] = (i >= 10) != (source.runif() < 0.15);
    if (source.runif() < 0.25) z[static_cast<int>(source.runif() * 20)] = 2;
    draws.push_back(summary::firstAppearance(z.data(), 20));
  }
  std::vector<int> truth(20, 0);
  std::fill(truth.begin() + 10, truth.end(), 1);
  draws.erase(std::remove(draws.begin(), draws.end(), truth), draws.end());
  summary::DrawSet set(pointers(draws), 20);
  for (Loss loss : {Loss::VI, Loss::Binder}) {
    const summary::Estimate e = summary::findEstimate(set, loss);
    EXPECT_EQ(e.labels, truth) << int(loss);
    EXPECT_LT(e.expectedLoss, e.bestDrawLoss) << int(loss);
  }
}

}  // namespace
