// The random distance matrix: how many positions it draws, that they are distinct and in
// range, that one draw serves the whole matrix, and that every cell is filled.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "models/Observable.h"
#include "stats/rvgs.h"

namespace {

// Records the positions of each call and answers with a value that names the cell.
class RecordingModel : public Observable {
 public:
  mutable std::vector<std::vector<int>> calls;
  RecordingModel(int rows, int positions) {
    n = rows;
    T = positions;
  }
  double getClusterFit(const int*, int) const override { return 0; }
  double getClassificationLik(const int*, int) const override { return 0; }
  double getMixtureLik(const int*, int) const override { return 0; }
  void writeComponentParam(const int*, int, std::ofstream&) const override {}
  double pairwiseDistance(int i1, int i2) const override { return 100 * i1 + i2; }
  double pairwiseDistance(int i1, int i2, int length, const int* positions) const override {
    calls.emplace_back(positions, positions + length);
    return 100 * i1 + i2;
  }
};

TEST(RandomDistanceMatrix, PositionCounts) {
  struct Case {
    int T, positions;
  };
  const Case cases[] = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {7, 1}, {8, 2}, {10, 2}, {40, 10}};
  _rng.initialize(3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.T);
    RecordingModel model(3, c.T);
    Matrix<double> d(3, 3, -1.0);
    model.getRandomDistanceMatrix(d);
    ASSERT_EQ(model.calls.size(), 9u);  // every ordered pair, the diagonal included
    for (const std::vector<int>& call : model.calls) EXPECT_EQ(call, model.calls[0]);
    const std::vector<int>& positions = model.calls[0];
    EXPECT_EQ(static_cast<int>(positions.size()), c.positions);
    std::set<int> distinct(positions.begin(), positions.end());
    EXPECT_EQ(distinct.size(), positions.size());
    for (int p : positions) {
      EXPECT_GE(p, 0);
      EXPECT_LT(p, c.T);
    }
    for (int i = 0; i < 3; i++)
      for (int j = 0; j < 3; j++) EXPECT_EQ(d[i][j], 100 * i + j);
  }
}

TEST(RandomDistanceMatrix, EachCallDrawsAfresh) {
  _rng.initialize(11);
  RecordingModel model(1, 40);
  Matrix<double> d(1, 1);
  std::set<std::vector<int>> subsets;
  for (int call = 0; call < 5; call++) {
    model.calls.clear();
    model.getRandomDistanceMatrix(d);
    subsets.insert(model.calls[0]);
  }
  // Five draws of 10 of 40 positions all alike would have probability far below 1e-30.
  EXPECT_GT(subsets.size(), 1u);
}

}  // namespace
