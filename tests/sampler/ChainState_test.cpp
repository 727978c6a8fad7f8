// One observation's move applied to the chain state in place of a whole accepted partition:
// labels, sizes and member lists as a recount of the resulting partition gives them.
#include <gtest/gtest.h>

#include <vector>

#include "sampler/ChainState.h"

namespace {

TEST(ChainState, MoveObservationFollowsLabelsSizesAndMembers) {
  const struct {
    const char* what;
    std::vector<int> z;
    int k;  // 0: open number of clusters
    int i, to;
    std::vector<int> wantZ;
    int wantEmptied;
  } cases[] = {
      {"into an existing label", {0, 0, 1, 1, 2}, 0, 1, 1, {0, 1, 1, 1, 2}, -1},
      {"into a new label", {0, 0, 1, 1, 2}, 0, 0, 3, {3, 0, 1, 1, 2}, -1},
      // the highest label moves into the emptied one
      {"emptying a label below the highest", {0, 1, 1, 2, 2}, 0, 0, 2, {0, 1, 1, 0, 0}, 0},
      {"emptying the highest label", {0, 0, 1, 1, 2}, 0, 4, 1, {0, 0, 1, 1, 1}, 2},
      {"emptying into the highest label", {0, 1, 2, 2, 1}, 0, 0, 2, {0, 1, 0, 0, 1}, 0},
      {"fixed k", {0, 0, 1, 1}, 2, 0, 1, {1, 0, 1, 1}, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int n = static_cast<int>(c.z.size());
    int k = 0;
    for (int label : c.z) k = std::max(k, label + 1);
    ChainState state(n, c.k);
    state.setPartition(c.z, k);
    state.listMembers();
    EXPECT_EQ(state.moveObservation(c.i, c.to), c.wantEmptied);
    EXPECT_EQ(state.zold, c.wantZ);
    int wantK = 0;
    for (int label : c.wantZ) wantK = std::max(wantK, label + 1);
    ASSERT_EQ(state.kold, wantK);
    for (int j = 0; j < wantK; j++) {
      std::vector<int> members;
      for (int o = 0; o < n; o++)
        if (c.wantZ[o] == j) members.push_back(o);
      EXPECT_EQ(state.members[j], members) << "label " << j;
      EXPECT_EQ(state.clusterSizes0[j], static_cast<int>(members.size())) << "label " << j;
    }
    EXPECT_EQ(state.acceptanceCnt, 1);
  }
}

TEST(ChainState, NewLabelAfterFewerClustersStartsFromZero) {
  // A merge leaves a stale size past the last label; a new label must not count it.
  ChainState state(4, 0);
  state.setPartition({0, 1, 2, 2}, 3);
  state.accept({0, 1, 1, 1}, -1);
  state.listMembers();
  state.moveObservation(2, 2);
  EXPECT_EQ(state.zold, (std::vector<int>{0, 1, 2, 1}));
  EXPECT_EQ(std::vector<int>(state.clusterSizes0.begin(), state.clusterSizes0.begin() + 3),
            (std::vector<int>{1, 2, 1}));
}

// An exchange between heated chains moves the partitions with everything that describes
// them (sizes, member lists), and nothing of each chain's path (trace, best, counts).
TEST(ChainState, ExchangePartitionSwapsThePartitionsAndKeepsEachChainsPath) {
  ChainState a(5, 0), b(5, 0);
  const std::vector<int> za = {0, 0, 1, 1, 2}, zb = {0, 1, 0, 1, 0};
  a.setPartition(za, 3);
  b.setPartition(zb, 2);
  a.listMembers();
  b.listMembers();
  a.startTrace(-3.0);
  b.startTrace(-8.0);
  a.acceptanceCnt = 4;
  b.acceptanceCnt = 9;
  a.exchangePartition(b);
  EXPECT_EQ(a.zold, zb);
  EXPECT_EQ(a.kold, 2);
  EXPECT_EQ(b.zold, za);
  EXPECT_EQ(b.kold, 3);
  EXPECT_EQ(a.clusterSizes0[0], 3);
  EXPECT_EQ(a.clusterSizes0[1], 2);
  EXPECT_EQ(b.clusterSizes0[0], 2);
  EXPECT_EQ(b.clusterSizes0[2], 1);
  EXPECT_EQ(a.members[0], (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(b.members[2], (std::vector<int>{4}));
  // The paths stay: each chain's best is still its own start.
  EXPECT_EQ(a.bestZ, za);
  EXPECT_EQ(b.bestZ, zb);
  EXPECT_EQ(a.bestScore, -3.0);
  EXPECT_EQ(a.previousLik, -3.0);
  EXPECT_EQ(a.acceptanceCnt, 4);
  EXPECT_EQ(b.acceptanceCnt, 9);
  // Moves go on from the exchanged partition and its member lists.
  EXPECT_EQ(a.moveObservation(4, 1), -1);
  EXPECT_EQ(a.zold, (std::vector<int>{0, 1, 0, 1, 1}));
  EXPECT_EQ(a.members[1], (std::vector<int>{1, 3, 4}));
}

}  // namespace
