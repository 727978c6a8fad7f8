// Draws whose posterior is known exactly, for the summary tests: every partition of a few
// items weighted by exp(sum of TinyModel cluster scores), i.i.d. samples from it with a fixed
// seed, and draws files in the format of vornak -d.
#pragma once
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "stats/rvgs.h"
#include "support/TinyModel.h"

namespace summary_test {

struct Exact {
  std::vector<std::vector<int>> partitions;  // in order of first appearance
  std::vector<double> probability;
  std::vector<double> score;                 // log weight
};

// Items at the given points; partitions with more than one item per block are favoured when
// the points are close.
inline Exact exactPosterior(const std::vector<double>& points) {
  TinyModel model(points);
  const int n = static_cast<int>(points.size());
  Exact exact;
  exact.partitions = allSetPartitions(n, 0);
  double total = 0;
  for (const auto& z : exact.partitions) {
    double s = 0;
    for (int j = 0; j < blockCount(z); j++) s += model.getClusterFit(z.data(), j);
    exact.score.push_back(s);
    exact.probability.push_back(std::exp(s));
    total += std::exp(s);
  }
  for (double& p : exact.probability) p /= total;
  return exact;
}

// Indices of `count` i.i.d. draws from the exact distribution.
inline std::vector<size_t> sampleIndices(const Exact& exact, size_t count, uint32_t seed) {
  mersenne source;
  source.initialize(seed);
  std::vector<size_t> out;
  for (size_t d = 0; d < count; d++) {
    double u = source.runif(), cumulative = 0;
    size_t pick = exact.probability.size() - 1;
    for (size_t p = 0; p < exact.probability.size(); p++) {
      cumulative += exact.probability[p];
      if (u < cumulative) {
        pick = p;
        break;
      }
    }
    out.push_back(pick);
  }
  return out;
}

// One draws line: "ITER SCORE K L1 ... Ln" with the score to 17 significant digits.
inline std::string drawsLine(long long iteration, double score, const std::vector<int>& labels) {
  char number[40];
  std::snprintf(number, sizeof number, "%.17g", score);
  std::string line = std::to_string(iteration) + " " + number + " " +
                     std::to_string(blockCount(labels));
  for (int label : labels) line += " " + std::to_string(label);
  return line + "\n";
}

inline void writeDraws(const std::string& path, const Exact& exact,
                       const std::vector<size_t>& picks) {
  std::ofstream file(path);
  for (size_t d = 0; d < picks.size(); d++)
    file << drawsLine(static_cast<long long>(d + 1), exact.score[picks[d]],
                      exact.partitions[picks[d]]);
}

}  // namespace summary_test
