// The positions tree moves measure distances over: how many are drawn, that they are
// distinct and in range, and that each draw is fresh.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "models/Observable.h"
#include "stats/rvgs.h"

namespace {

class Columns : public Observable {
 public:
  explicit Columns(int positions) {
    n = 1;
    T = positions;
  }
  double getClusterFit(const int*, int) const override { return 0; }
  std::unique_ptr<Observable> copyForChain() const override {
    return std::make_unique<Columns>(T);
  }
  double pairwiseDistance(int, int) const override { return 0; }
  double pairwiseDistance(int, int, int, const int*) const override { return 0; }
};

TEST(DistancePositions, CountsDistinctAndInRange) {
  struct Case {
    int T, positions;
  };
  const Case cases[] = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {7, 1}, {8, 2}, {10, 2}, {40, 10}};
  _rng.initialize(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.T);
    std::vector<int> positions(99, -1);
    Columns(c.T).drawDistancePositions(positions);
    EXPECT_EQ(static_cast<int>(positions.size()), c.positions);
    std::set<int> distinct(positions.begin(), positions.end());
    EXPECT_EQ(distinct.size(), positions.size());
    for (int p : positions) {
      EXPECT_GE(p, 0);
      EXPECT_LT(p, c.T);
    }
  }
}

TEST(DistancePositions, EachCallDrawsAfresh) {
  _rng.initialize(11);
  Columns model(40);
  std::set<std::vector<int>> subsets;
  std::vector<int> positions;
  for (int call = 0; call < 5; call++) {
    model.drawDistancePositions(positions);
    subsets.insert(positions);
  }
  // Five draws of 10 of 40 positions all alike would have probability far below 1e-30.
  EXPECT_GT(subsets.size(), 1u);
}

}  // namespace
