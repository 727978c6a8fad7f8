// Linkage trees over 1-D points found by hand, the yardstick of the starts built from trees.
#pragma once
#include <algorithm>
#include <cmath>
#include <vector>

#include "support/TinyModel.h"

// Complete linkage by hand: the two groups whose farthest members are closest merge first
// (average: whose mean distance is smallest). Returns the canonical partition into c groups
// for c = 1..n (index c - 1).
inline std::vector<std::vector<int>> handCuts(const std::vector<double>& x, bool average = false) {
  const int n = static_cast<int>(x.size());
  std::vector<std::vector<int>> groups;
  for (int i = 0; i < n; i++) groups.push_back({i});
  std::vector<std::vector<int>> cuts(n);
  auto record = [&] {
    std::vector<int> z(n);
    for (size_t g = 0; g < groups.size(); g++)
      for (int i : groups[g]) z[i] = static_cast<int>(g);
    cuts[groups.size() - 1] = canonical(z.data(), n);
  };
  record();
  while (groups.size() > 1) {
    size_t ga = 0, gb = 1;
    double closest = 1e300;
    for (size_t a = 0; a < groups.size(); a++)
      for (size_t b = a + 1; b < groups.size(); b++) {
        double farthest = 0, sum = 0;
        for (int i : groups[a])
          for (int j : groups[b]) {
            farthest = std::max(farthest, std::fabs(x[i] - x[j]));
            sum += std::fabs(x[i] - x[j]);
          }
        if (average) farthest = sum / static_cast<double>(groups[a].size() * groups[b].size());
        if (farthest < closest) {
          closest = farthest;
          ga = a;
          gb = b;
        }
      }
    groups[ga].insert(groups[ga].end(), groups[gb].begin(), groups[gb].end());
    groups.erase(groups.begin() + static_cast<long>(gb));
    record();
  }
  return cuts;
}

