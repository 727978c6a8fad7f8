// Every partition of n items into k clusters as label vectors, and the number of them:
// one set-partition enumeration per integer partition of n into k parts (the multisets of
// cluster sizes). Rows come grouped by size multiset, in ascending lexicographic order of
// the sorted sizes; label 0 is a largest cluster.
#pragma once
#include <vector>

struct SetPartitions {
  // ways <- the number of partitions of n items into exactly k non-empty clusters (S(n, k)),
  // or into at most k when include0. When returnPartitions, returns them as floor(ways) rows
  // of n labels (row r at r*n); otherwise an empty vector. k < 1, or k > n without include0,
  // gives ways = 0 and no rows. The rows take ways * n ints: the caller checks that fits.
  static std::vector<int> partitions(int n, int k, double& ways, bool returnPartitions,
                                     bool include0);
};
