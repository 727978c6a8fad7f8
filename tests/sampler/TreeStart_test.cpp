// The start built from the data: the complete-linkage tree's cuts, found here by merging the
// closest groups by hand, and the start among them that scores best (open k) or has k
// clusters (fixed k), without a random number.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "sampler/TreeStart.h"
#include "support/LinkageByHand.h"
#include "support/TinyModel.h"
#include "support/uniforms.h"

namespace {

struct Data {
  std::vector<double> x;
  double logalpha;
};
// Distances all differ, so the tree has no ties.
const Data kData[] = {
    {{0.0, 0.3, 1.4, 1.65, 2.9, 3.35}, 0.0},
    {{0.0, 0.1, 0.25, 5.0, 5.4, 9.9}, -1.0},
    {{2.0, 0.7, 4.1, 0.0, 2.45}, 1.5},
};

TEST(TreeCuts, AreTheCompleteLinkageGroupings) {
  for (const Data& d : kData) {
    TinyModel model(d.x);
    const TreeCuts cuts(model, model.n);
    const auto want = handCuts(d.x);
    for (int c = 1; c <= model.n; c++) {
      const std::vector<int> z = cuts.cut(c);
      EXPECT_EQ(canonical(z.data(), model.n), want[c - 1]) << c << " clusters";
      EXPECT_EQ(z, canonical(z.data(), model.n)) << "labels in order of first appearance";
    }
  }
}

TEST(TreeStart, OpenKTakesTheBestCutAndTheBestPartitionWhenItIsOne) {
  int bestIsACut = 0;
  for (const Data& d : kData) {
    TinyModel model(d.x);
    std::ostringstream log;
    PartitionSampler sampler(0, model.n, INTEGRATED, &model, d.logalpha, log, "OA");
    EXPECT_EQ(uniformsUsed([&] { treeStart(sampler.state, sampler.scorer, log); }), 0);
    const ChainState& state = sampler.state;
    const double start = sampler.scorer.getTotalLik(state.zold.data(), state.kold);
    bool isCut = false;
    for (const auto& cut : handCuts(d.x)) {
      EXPECT_GE(start, sampler.scorer.getTotalLik(cut.data(), blockCount(cut)));
      isCut = isCut || canonical(state.zold.data(), model.n) == cut;
    }
    EXPECT_TRUE(isCut);
    // The best of all partitions, by enumeration: the start when the tree has it as a cut.
    std::vector<int> best;
    double bestScore = -1e300;
    for (const auto& z : allSetPartitions(model.n, 0)) {
      const double score = sampler.scorer.getTotalLik(z.data(), blockCount(z));
      if (score > bestScore) {
        bestScore = score;
        best = z;
      }
    }
    const auto cuts = handCuts(d.x);
    if (std::find(cuts.begin(), cuts.end(), best) != cuts.end()) {
      EXPECT_EQ(canonical(state.zold.data(), model.n), best);
      bestIsACut++;
    }
    std::ostringstream score;
    score.precision(10);
    score << start;
    EXPECT_NE(log.str().find("cut into " + std::to_string(state.kold) + " clusters, the best of "
                             "its cuts into 1 to " + std::to_string(model.n) +
                             " clusters, score " + score.str() + "\n"),
              std::string::npos)
        << log.str();
  }
  EXPECT_GE(bestIsACut, 2);
}

TEST(TreeStart, FixedKTakesTheKClusterCut) {
  for (const Data& d : kData) {
    for (int k = 1; k <= static_cast<int>(d.x.size()); k++) {
      TinyModel model(d.x);
      std::ostringstream log;
      PartitionSampler sampler(k, model.n, INTEGRATED, &model, 0.0, log, "OA");
      treeStart(sampler.state, sampler.scorer, log);
      EXPECT_EQ(sampler.state.kold, k);
      EXPECT_EQ(canonical(sampler.state.zold.data(), model.n), handCuts(d.x)[k - 1]);
      std::vector<int> sizes(k, 0);
      for (int label : sampler.state.zold) sizes[label]++;
      EXPECT_EQ(std::vector<int>(sampler.state.clusterSizes0.begin(),
                                 sampler.state.clusterSizes0.begin() + k),
                sizes);
    }
  }
}

// The other starts of -Z: the average-linkage tree's best cut (no random number), the tree over
// a bootstrap of the T positions (T uniforms; TinyModel's distance ignores the positions, so
// the tree is the complete-linkage one), and the names in the log.
TEST(TreeStart, AverageLinkageAndBootstrapStarts) {
  for (const Data& d : kData) {
    TinyModel model(d.x);
    for (const char* how : {"average", "boot"}) {
      std::ostringstream log;
      PartitionSampler sampler(0, model.n, INTEGRATED, &model, d.logalpha, log, "OA");
      const bool boot = std::string(how) == "boot";
      EXPECT_EQ(uniformsUsed([&] { treeStart(sampler.state, sampler.scorer, log, how); }), boot ? model.T : 0);
      const auto cuts = handCuts(d.x, !boot);
      double best = -1e300;
      std::vector<int> want;
      for (const auto& cut : cuts) {
        const double score = sampler.scorer.getTotalLik(cut.data(), blockCount(cut));
        if (score > best) {
          best = score;
          want = cut;
        }
      }
      EXPECT_EQ(canonical(sampler.state.zold.data(), model.n), want) << how;
      EXPECT_NE(log.str().find(std::string("Start from the data (-Z ") + how + "): the " +
                               (boot ? "complete-linkage tree over all observations by a bootstrap of the 4 positions"
                                     : "average-linkage tree over all observations")),
                std::string::npos)
          << log.str();
    }
  }
}

}  // namespace
