// Posterior summaries of pooled draws: co-clustering (similarity) counts, each item's
// agreement with its estimate cluster, and the similarity matrix reduced for a picture.
#pragma once
#include <cstdint>
#include <vector>

#include "summary/loss.h"

namespace summary {

// n x n counts, row-major: how many draws put items i and j together (the diagonal holds
// every draw). Cost O(sum over distinct draws of the squared cluster sizes); memory 4 n^2 bytes.
std::vector<uint32_t> similarityCounts(const DrawSet& draws);

// For each item, the mean posterior probability of sharing a cluster with each of its
// estimate cluster-mates; for an item alone in the estimate, the probability of being alone.
// Cost O(n * distinct draws).
std::vector<double> mateProbabilities(const DrawSet& draws, const std::vector<int>& estimate);

// The similarity matrix with items ordered by estimate cluster, reduced to at most
// maxCells x maxCells cells: cell (r, c) is the mean of p_ij over the items i of block r and
// j of block c, blocks being runs of consecutive items in that order. Without counts (n too
// large to hold them), it is the similarity of one item per block, the middle one.
struct HeatMap {
  int cells = 0;
  std::vector<double> value;       // cells x cells, row-major
  std::vector<double> boundaries;  // cluster boundaries in cell units, inside (0, cells)
  bool sampled = false;            // one item per block rather than block means
};
HeatMap heatMap(const DrawSet& draws, const std::vector<int>& estimate,
                const std::vector<uint32_t>* counts, int maxCells = 300);

}  // namespace summary
