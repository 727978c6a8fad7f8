// The starts over a sample of the observations (-Z sample, sample-boot, sample-average): with
// every observation in the sample they are the trees' own starts; otherwise the sample is the
// seed's, its tree is cut where the sample scores best (found here by hand), every other
// observation joins the cluster nearest on average, and the distances computed are bounded
// by the sample, not by n^2.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "sampler/SampledStart.h"
#include "sampler/TreeStart.h"
#include "support/LinkageByHand.h"
#include "support/TinyModel.h"
#include "support/uniforms.h"

namespace {

const struct {
  const char* word;
  const char* tree;
} kForms[] = {{"sample", "tree"}, {"sample-boot", "boot"}, {"sample-average", "average"}};

// Three groups apart, distances between points all different.
std::vector<double> groupsApart(int n) {
  std::vector<double> x;
  for (int i = 0; i < n; i++) x.push_back(10.0 * (i % 3) + 0.013 * i + 0.0007 * i * i);
  return x;
}

TEST(SampledStart, AllRowsInTheSampleIsTheTreeStart) {
  const std::vector<double> x = {0.0, 0.3, 1.4, 1.65, 2.9, 3.35, 7.0};
  for (const auto& form : kForms)
    for (int k : {0, 3}) {
      TinyModel model(x);
      std::ostringstream treeLog, sampleLog;
      PartitionSampler tree(k, model.n, INTEGRATED, &model, 0.4, treeLog, "OA");
      PartitionSampler sampled(k, model.n, INTEGRATED, &model, 0.4, sampleLog, "OA");
      const int treeDraws = uniformsUsed([&] { treeStart(tree.state, tree.scorer, treeLog, form.tree); });
      const int sampleDraws =
          uniformsUsed([&] { sampledStart(sampled.state, sampled.scorer, sampleLog, form.word, model.n); });
      EXPECT_EQ(sampled.state.zold, tree.state.zold) << form.word << " k " << k;
      EXPECT_EQ(sampled.state.kold, tree.state.kold) << form.word;
      EXPECT_EQ(sampleDraws, treeDraws) << form.word;
      // The same line but for the word it names.
      std::string expected = treeLog.str();
      const std::string from = std::string("(-Z ") + form.tree + ")";
      expected.replace(expected.find(from), from.size(), std::string("(-Z ") + form.word + ")");
      EXPECT_EQ(sampleLog.str(), expected);
    }
}

// The sample's best cut by the sample's own score (a model over the sampled points alone, the
// same prior), then each other point into the cluster of least mean distance to its members.
std::vector<int> startByHand(const std::vector<double>& x, const std::vector<int>& sample, double logalpha,
                             bool average) {
  std::vector<double> sx;
  for (int i : sample) sx.push_back(x[static_cast<size_t>(i)]);
  TinyModel sub(sx);
  std::ostringstream log;
  PartitionSampler scorer(0, sub.n, INTEGRATED, &sub, logalpha, log, "OA");
  std::vector<int> cut;
  double best = -1e300;
  for (const auto& c : handCuts(sx, average)) {
    const double score = scorer.scorer.getTotalLik(c.data(), blockCount(c));
    if (score > best) {
      best = score;
      cut = c;
    }
  }
  const int k = blockCount(cut);
  std::vector<int> z(x.size(), -1);
  for (size_t l = 0; l < sample.size(); l++) z[static_cast<size_t>(sample[l])] = cut[l];
  for (size_t i = 0; i < x.size(); i++) {
    if (z[i] >= 0) continue;
    double nearest = 1e300;
    for (int j = 0; j < k; j++) {
      double sum = 0;
      int count = 0;
      for (size_t l = 0; l < sample.size(); l++)
        if (cut[l] == j) {
          sum += std::fabs(x[i] - sx[l]);
          count++;
        }
      if (sum / count < nearest) {
        nearest = sum / count;
        z[i] = j;
      }
    }
  }
  return canonical(z.data(), static_cast<int>(z.size()));
}

// Points spread out unevenly, so that the cut and the nearest cluster on average (not the
// nearest member) decide.
std::vector<double> spreadOut(int n) {
  std::vector<double> x;
  for (int i = 0; i < n; i++) x.push_back(0.9 * std::pow(i, 1.4) + 0.37 * (i % 4));
  return x;
}

TEST(SampledStart, CutsTheSamplesTreeAndPlacesTheRestNearest) {
  const int m = 6;
  std::set<std::vector<int>> samples;
  for (const std::vector<double>& x : {groupsApart(14), spreadOut(14)})
  for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u})
    for (const auto& form : kForms) {
      if (std::string(form.word) == "sample-boot") continue;  // below, with its positions
      _rng.initialize(seed);
      const std::vector<int> sample = sampleRows(static_cast<int>(x.size()), m);
      samples.insert(sample);
      ASSERT_EQ(sample.size(), static_cast<size_t>(m));
      EXPECT_TRUE(std::is_sorted(sample.begin(), sample.end()));
      EXPECT_EQ(std::set<int>(sample.begin(), sample.end()).size(), static_cast<size_t>(m));
      TinyModel model(x);
      std::ostringstream log;
      PartitionSampler sampler(0, model.n, INTEGRATED, &model, -0.5, log, "OA");
      EXPECT_EQ(uniformsUsed([&] { sampledStart(sampler.state, sampler.scorer, log, form.word, m); }, seed), m);
      const bool average = std::string(form.tree) == "average";
      EXPECT_EQ(sampler.state.zold, startByHand(x, sample, -0.5, average)) << form.word << " seed " << seed;
      EXPECT_NE(log.str().find(std::string("Start from the data (-Z ") + form.word + "): the " +
                               (average ? "average" : "complete") + "-linkage tree over a sample of 6 of the 14 "
                               "observations cut into " + std::to_string(sampler.state.kold) +
                               " clusters, the best of its cuts into 1 to 6 clusters by the sample's integrated "
                               "score; every other observation joins the cluster nearest on average to at most "),
                std::string::npos)
          << log.str();
    }
  EXPECT_GE(samples.size(), 3u) << "seeds draw their own samples";
}

TEST(SampledStart, DeterministicGivenTheSeedAndBootDrawsItsPositionsAfterTheSample) {
  const std::vector<double> x = groupsApart(40);
  for (const auto& form : kForms) {
    std::vector<std::vector<int>> starts;
    for (uint32_t seed : {7u, 7u, 8u}) {
      TinyModel model(x);
      std::ostringstream log;
      PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0.0, log, "OA");
      const bool boot = std::string(form.tree) == "boot";
      EXPECT_EQ(uniformsUsed([&] { sampledStart(sampler.state, sampler.scorer, log, form.word, 9); }, seed),
                9 + (boot ? model.T : 0));
      starts.push_back(sampler.state.zold);
      std::vector<int> sizes(static_cast<size_t>(sampler.state.kold), 0);
      for (int label : sampler.state.zold) sizes[static_cast<size_t>(label)]++;
      for (int size : sizes) EXPECT_GT(size, 0) << form.word;
      EXPECT_EQ(sampler.state.zold, canonical(sampler.state.zold.data(), model.n));
    }
    EXPECT_EQ(starts[0], starts[1]) << form.word;
  }
}

TEST(SampledStart, FixedKCutsIntoKAndTheSampleHoldsAtLeastK) {
  const std::vector<double> x = groupsApart(30);
  for (int k : {1, 3, 12}) {
    TinyModel model(x);
    std::ostringstream log;
    PartitionSampler sampler(k, model.n, INTEGRATED, &model, 0.0, log, "OA");
    sampledStart(sampler.state, sampler.scorer, log, "sample", 5);
    EXPECT_EQ(sampler.state.kold, k);
    std::vector<int> sizes(static_cast<size_t>(k), 0);
    for (int label : sampler.state.zold) sizes[static_cast<size_t>(label)]++;
    for (int size : sizes) EXPECT_GT(size, 0) << k;
    EXPECT_NE(log.str().find("over a sample of " + std::to_string(std::max(5, k)) + " of the 30 observations cut "
                             "into " + std::to_string(k) + " clusters; every"),
              std::string::npos)
        << log.str();
  }
}

// Counts the distances asked for, and the pairs among the sample.
class CountingModel : public TinyModel {
 public:
  using TinyModel::TinyModel;
  using TinyModel::pairwiseDistance;
  mutable long calls = 0;
  mutable std::set<std::pair<int, int>> pairs;
  double pairwiseDistance(int i1, int i2) const override {
    calls++;
    pairs.insert({std::min(i1, i2), std::max(i1, i2)});
    return TinyModel::pairwiseDistance(i1, i2);
  }
};

TEST(SampledStart, TheSampleCapsTheDistancesHeld) {
  const int n = 600, m = 25;
  CountingModel model(groupsApart(n));
  std::ostringstream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0.0, log, "OA");
  _rng.initialize(3);
  const std::vector<int> sample = sampleRows(n, m);
  _rng.initialize(3);
  sampledStart(sampler.state, sampler.scorer, log, "sample", m);
  // The tree's matrix holds the sample's pairs only, each asked once.
  long amongSample = 0;
  const std::set<int> inSample(sample.begin(), sample.end());
  for (const auto& pair : model.pairs)
    if (inSample.count(pair.first) && inSample.count(pair.second)) amongSample++;
  EXPECT_EQ(amongSample, static_cast<long>(m) * (m - 1) / 2);
  // Every other observation is measured against at most kPlacementDistances members, all in
  // the sample: linear in n, where the tree over all would ask n(n-1)/2.
  EXPECT_LE(model.calls, static_cast<long>(m) * (m - 1) / 2 + static_cast<long>(n - m) * kPlacementDistances);
  EXPECT_LT(model.calls, static_cast<long>(n) * (n - 1) / 8);
  for (const auto& pair : model.pairs)
    EXPECT_TRUE(inSample.count(pair.first) || inSample.count(pair.second));
  EXPECT_EQ(sampledBase("sample"), "tree");
  EXPECT_EQ(sampledBase("tree"), "");
}

}  // namespace
