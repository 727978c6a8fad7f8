#include "summary/posterior.h"

#include <algorithm>

namespace summary {

std::vector<uint32_t> similarityCounts(const DrawSet& draws) {
  const size_t n = draws.n();
  std::vector<uint32_t> counts(n * n, 0);
  for (size_t u = 0; u < draws.distinct(); u++) {
    const uint32_t w = static_cast<uint32_t>(draws.weight(u));
    Grouping grouping(draws.labels(u), static_cast<int>(n));
    for (int c = 0; c < grouping.clusters(); c++) {
      const int* first = &grouping.members[grouping.start[c]];
      const int* last = first + (grouping.start[c + 1] - grouping.start[c]);
      for (const int* i = first; i != last; i++) {
        uint32_t* row = &counts[*i * n];
        for (const int* j = i + 1; j != last; j++) row[*j] += w;  // members ascend: i < j
      }
    }
  }
  const uint32_t total = static_cast<uint32_t>(draws.total());
  for (size_t i = 0; i < n; i++) {
    counts[i * n + i] = total;
    for (size_t j = i + 1; j < n; j++) counts[j * n + i] = counts[i * n + j];
  }
  return counts;
}

std::vector<double> mateProbabilities(const DrawSet& draws, const std::vector<int>& estimate) {
  const int n = draws.n();
  Grouping grouping(estimate.data(), n);
  std::vector<double> sum(n, 0.0);
  std::vector<int> together(n, 0), drawSizes(n, 0);
  for (size_t u = 0; u < draws.distinct(); u++) {
    const int* z = draws.labels(u);
    const double w = draws.weight(u);
    for (int i = 0; i < n; i++) drawSizes[z[i]]++;
    for (int c = 0; c < grouping.clusters(); c++) {
      const int* first = &grouping.members[grouping.start[c]];
      const int* last = first + (grouping.start[c + 1] - grouping.start[c]);
      if (last - first == 1) {
        if (drawSizes[z[*first]] == 1) sum[*first] += w;
        continue;
      }
      for (const int* i = first; i != last; i++) together[z[*i]]++;
      for (const int* i = first; i != last; i++) sum[*i] += w * (together[z[*i]] - 1);
      for (const int* i = first; i != last; i++) together[z[*i]] = 0;
    }
    for (int i = 0; i < n; i++) drawSizes[z[i]] = 0;
  }
  for (int c = 0; c < grouping.clusters(); c++) {
    const int size = grouping.start[c + 1] - grouping.start[c];
    for (int p = grouping.start[c]; p < grouping.start[c + 1]; p++)
      sum[grouping.members[p]] /= draws.total() * std::max(size - 1, 1);
  }
  return sum;
}

HeatMap heatMap(const DrawSet& draws, const std::vector<int>& estimate,
                const std::vector<uint32_t>* counts, int maxCells) {
  const int n = draws.n();
  Grouping grouping(estimate.data(), n);
  const std::vector<int>& order = grouping.members;
  HeatMap map;
  map.cells = std::min(n, maxCells);
  const int cells = map.cells;
  std::vector<int> blockStart(cells + 1);
  for (int r = 0; r <= cells; r++) blockStart[r] = static_cast<int>(static_cast<long long>(r) * n / cells);
  for (int c = 1; c < grouping.clusters(); c++)
    map.boundaries.push_back(static_cast<double>(grouping.start[c]) * cells / n);
  map.value.assign(static_cast<size_t>(cells) * cells, 0.0);
  const double total = draws.total();
  if (counts) {
    for (int r = 0; r < cells; r++)
      for (int c = 0; c < cells; c++) {
        double sum = 0;
        for (int p = blockStart[r]; p < blockStart[r + 1]; p++) {
          const uint32_t* row = &(*counts)[static_cast<size_t>(order[p]) * n];
          for (int q = blockStart[c]; q < blockStart[c + 1]; q++) sum += row[order[q]];
        }
        double pairs = static_cast<double>(blockStart[r + 1] - blockStart[r]) *
                       (blockStart[c + 1] - blockStart[c]);
        map.value[static_cast<size_t>(r) * cells + c] = sum / (pairs * total);
      }
    return map;
  }
  map.sampled = true;
  std::vector<int> item(cells);
  for (int r = 0; r < cells; r++) item[r] = order[(blockStart[r] + blockStart[r + 1] - 1) / 2];
  for (size_t u = 0; u < draws.distinct(); u++) {
    const int* z = draws.labels(u);
    const double w = draws.weight(u) / total;
    for (int r = 0; r < cells; r++)
      for (int c = 0; c < cells; c++)
        if (z[item[r]] == z[item[c]]) map.value[static_cast<size_t>(r) * cells + c] += w;
  }
  return map;
}

}  // namespace summary
