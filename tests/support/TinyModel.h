// Test fixtures for the sampler: a small deterministic model over 1-D points whose cluster
// score depends only on the member set, and exact distributions over all partitions of a
// few observations, to check that a move leaves exp(total score) invariant.
#pragma once
#include <cmath>
#include <algorithm>
#include <functional>
#include <map>
#include <ostream>
#include <vector>

#include "models/Observable.h"
#include "sampler/PartitionSampler.h"
#include "sampler/moves/OneAtATime.h"

class TinyModel : public Observable {
 public:
  explicit TinyModel(std::vector<double> points) : x(std::move(points)) {
    n = static_cast<int>(x.size());
    T = 4;
  }
  std::vector<double> x;

  std::unique_ptr<Observable> copyForChain() const override {
    return std::make_unique<TinyModel>(x);
  }

  // -(within sum of squares) + 0.7 per member - 0.5 log(1 + size): a score of the member set.
  double getClusterFit(const int* z, int j) const override {
    int size = 0;
    double sum = 0;
    for (int i = 0; i < n; i++)
      if (z[i] == j) {
        size++;
        sum += x[i];
      }
    if (size == 0) return 0;
    double mean = sum / size, ss = 0;
    for (int i = 0; i < n; i++)
      if (z[i] == j) ss += (x[i] - mean) * (x[i] - mean);
    return -ss + 0.7 * size - 0.5 * std::log(1.0 + size);
  }
  double getClassificationLik(const int* z, int j) const override { return getClusterFit(z, j); }
  double getMixtureLik(const int* z, int k) const override {
    double total = 0;
    for (int j = 0; j < k; j++) total += 0.5 * getClusterFit(z, j);
    return total;
  }
  double pairwiseDistance(int i1, int i2) const override { return std::fabs(x[i1] - x[i2]); }
  double pairwiseDistance(int i1, int i2, int length, const int* positions) const override {
    // Positions weight the distance so that random subsets change the trees.
    double w = 0;
    for (int p = 0; p < length; p++) w += 1.0 + positions[p];
    return std::fabs(x[i1] - x[i2]) * w / length;
  }
};

// Canonical form of a partition: labels renumbered in order of first appearance.
inline std::vector<int> canonical(const int* z, int n) {
  std::vector<int> out(n);
  std::map<int, int> seen;
  for (int i = 0; i < n; i++) {
    auto it = seen.find(z[i]);
    if (it == seen.end()) it = seen.emplace(z[i], static_cast<int>(seen.size())).first;
    out[i] = it->second;
  }
  return out;
}

// Every set partition of n items as a canonical label vector (restricted growth strings),
// keeping those with exactly k blocks when k > 0.
inline std::vector<std::vector<int>> allSetPartitions(int n, int k) {
  std::vector<std::vector<int>> out;
  std::vector<int> z(n, 0);
  std::vector<int> maxBefore(n, 0);
  std::function<void(int, int)> fill = [&](int i, int blocks) {
    if (i == n) {
      if (k <= 0 || blocks == k) out.push_back(z);
      return;
    }
    for (int label = 0; label <= blocks && label < n; label++) {
      z[i] = label;
      fill(i + 1, label == blocks ? blocks + 1 : blocks);
    }
  };
  if (n > 0) {
    z[0] = 0;
    fill(1, 1);
  }
  return out;
}

inline int blockCount(const std::vector<int>& canonicalZ) {
  int k = 0;
  for (int label : canonicalZ) k = std::max(k, label + 1);
  return k;
}

// Exact probabilities, proportional to exp(beta * getTotalLik), of the partitions listed.
inline std::map<std::vector<int>, double> exactDistribution(
    const PartitionSampler& sampler, const std::vector<std::vector<int>>& partitions,
    double beta = 1.0) {
  std::vector<double> logWeights;
  for (const auto& z : partitions)
    logWeights.push_back(beta * sampler.scorer.getTotalLik(z.data(), blockCount(z)));
  double top = *std::max_element(logWeights.begin(), logWeights.end());
  double total = 0;
  for (double w : logWeights) total += std::exp(w - top);
  std::map<std::vector<int>, double> p;
  for (size_t i = 0; i < partitions.size(); i++)
    p[partitions[i]] = std::exp(logWeights[i] - top) / total;
  return p;
}

// Total variation distance between an exact distribution and observed counts.
inline double totalVariation(const std::map<std::vector<int>, double>& exact,
                             const std::map<std::vector<int>, long>& counts) {
  long total = 0;
  for (const auto& c : counts) total += c.second;
  double tv = 0;
  for (const auto& e : exact) {
    auto it = counts.find(e.first);
    double observed = it == counts.end() ? 0.0 : static_cast<double>(it->second) / total;
    tv += std::fabs(observed - e.second);
  }
  for (const auto& c : counts)
    if (!exact.count(c.first)) tv += static_cast<double>(c.second) / total;
  return tv / 2;
}

// One step of a move on the sampler's chain.
inline void stepOn(Move& move, PartitionSampler& sampler) {
  move.step(sampler.state, sampler.scorer);
}

// How often each partition is visited in iterations steps of move, each followed by two
// one-at-a-time sweeps when sweeps is set (the "2" heuristics).
inline std::map<std::vector<int>, long> chainCounts(PartitionSampler& sampler, Move& move,
                                                    bool sweeps, long iterations) {
  OneAtATime sweep(sampler.state.n, sampler.debug);
  std::map<std::vector<int>, long> counts;
  for (long it = 0; it < iterations; it++) {
    stepOn(move, sampler);
    if (sweeps) {
      stepOn(sweep, sampler);
      stepOn(sweep, sampler);
    }
    counts[canonical(sampler.state.zold.data(), sampler.state.n)]++;
  }
  return counts;
}

// A stream that discards everything, for the sampler's log in statistical tests.
struct NullStream : std::ostream {
  NullStream() : std::ostream(nullptr) {}
};
