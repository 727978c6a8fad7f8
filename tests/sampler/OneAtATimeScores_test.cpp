// The one-at-a-time candidate scores: each visit yields, in label order, the totals that
// scoring every candidate partition whole gives, bit for bit, also after moves; a move is
// taken only from a visit that scored every candidate.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "io/RunError.h"
#include "sampler/moves/OneAtATimeScores.h"
#include "support/TinyModel.h"

namespace {

TEST(OneAtATimeScores, VisitsYieldTheWholeScoresInLabelOrder) {
  for (int kFixed : {0, 3}) {
    TinyModel model({0.0, 0.3, 1.4, 1.6, 2.9, 3.3});
    std::ostringstream log;
    PartitionSampler sampler(kFixed, model.n, INTEGRATED, &model, -0.4, log, "OA");
    ChainState& state = sampler.state;
    state.setPartition({0, 0, 1, 1, 2, 2}, 3);
    state.listMembers();
    OneAtATimeScores scores;
    OneAtATimeScores::Sweep sweep = scores.start(sampler.scorer, state);
    ASSERT_TRUE(sweep.incremental());
    std::vector<int> candidate = state.zold;
    // Observation i moves to label (i + 1) % k after its visit.
    for (int i = 0; i < model.n; i++) {
      const int k = kFixed > 0 ? kFixed : state.kold + (state.clusterSizes0[state.zold[i]] > 1);
      OneAtATimeScores::Visit visit = sweep.visit(candidate.data(), i, k);
      for (int j = 0; j < k; j++) {
        ASSERT_FALSE(visit.done());
        const double got = visit.next();
        EXPECT_EQ(candidate[i], j);
        const double want = sampler.scorer.getTotalLik(candidate.data(), k);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
            << "k " << kFixed << " i " << i << " j " << j << ": " << got << " against " << want;
      }
      EXPECT_TRUE(visit.done());
      const int from = state.zold[i], to = (from + 1) % k, lastLabel = state.kold - 1;
      if (kFixed > 0 && state.clusterSizes0[from] == 1) {
        candidate[i] = from;  // a fixed-k singleton stays
        continue;
      }
      const int emptied = state.moveObservation(i, to);
      visit.moved(from, to, emptied, lastLabel);
      candidate = state.zold;
    }
  }
}

TEST(OneAtATimeScores, AMoveBeforeEveryCandidateIsScoredIsRefused) {
  TinyModel model({0.0, 0.3, 1.4, 1.6});
  std::ostringstream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0.0, log, "OA");
  sampler.state.setPartition({0, 0, 1, 1}, 2);
  sampler.state.listMembers();
  OneAtATimeScores scores;
  OneAtATimeScores::Sweep sweep = scores.start(sampler.scorer, sampler.state);
  std::vector<int> candidate = sampler.state.zold;
  OneAtATimeScores::Visit visit = sweep.visit(candidate.data(), 0, 3);
  visit.next();
  visit.next();
  const int emptied = sampler.state.moveObservation(0, 1);
  EXPECT_THROW(visit.moved(0, 1, emptied, 1), RunError);
}

}  // namespace
