// The one-at-a-time candidate scores: each visit yields, in label order, the totals that
// scoring every candidate partition whole gives, bit for bit, also after moves; a move is
// taken only from a visit that scored every candidate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
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

// Estimates lie within the bound the visit gives, which stays small, and the exact total of
// each candidate after them is the whole score bit for bit.
TEST(OneAtATimeScores, EstimatesLieWithinTheirBoundAndExactTotalsAreWholeScores) {
  struct Case {
    int k;
    double logalpha;
    FitnessZType criterion;
  };
  const Case cases[] = {{0, 0.0, INTEGRATED},  {0, -9.0, INTEGRATED},    {0, 4.0, INTEGRATED},
                        {3, 0.0, INTEGRATED},  {0, 0.0, CLASSIFICATION}, {2, 0.0, INTEGRATED}};
  for (const Case& c : cases) {
    TinyModel model({0.0, 0.3, 1.4, 1.6, 2.9, 3.3});
    std::ostringstream log;
    PartitionSampler sampler(c.k, model.n, c.criterion, &model, c.logalpha, log, "OA");
    ChainState& state = sampler.state;
    const int labels = c.k > 0 ? c.k : 3;
    std::vector<int> start(model.n);
    for (int i = 0; i < model.n; i++) start[i] = i * labels / model.n;
    state.setPartition(start, labels);
    state.listMembers();
    OneAtATimeScores scores;
    OneAtATimeScores::Sweep sweep = scores.start(sampler.scorer, state);
    ASSERT_TRUE(sweep.estimates());
    std::vector<int> candidate = state.zold;
    std::vector<double> approx(model.n + 1);
    for (int i = 0; i < model.n; i++) {
      SCOPED_TRACE("k " + std::to_string(c.k) + " alpha " + std::to_string(c.logalpha) +
                   " i " + std::to_string(i));
      const int k = c.k > 0 ? c.k : state.kold + (state.clusterSizes0[state.zold[i]] > 1);
      OneAtATimeScores::Visit visit = sweep.visit(candidate.data(), i, k);
      const double error = visit.estimateAll(approx.data());
      EXPECT_TRUE(visit.done());
      EXPECT_GT(error, 0.0);
      EXPECT_LT(error, 1e-10);
      for (int j = 0; j < k; j++) {
        const double exact = visit.exact(j);
        candidate[i] = j;
        const double whole = sampler.scorer.getTotalLik(candidate.data(), k);
        EXPECT_EQ(std::memcmp(&exact, &whole, sizeof exact), 0) << j << ": " << exact;
        EXPECT_LE(std::fabs(approx[j] - exact), error) << j;
      }
      const int from = state.zold[i], to = (from + 1) % k, lastLabel = state.kold - 1;
      if (c.k > 0 && state.clusterSizes0[from] == 1) {
        candidate[i] = from;
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
