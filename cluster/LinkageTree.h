// Reading a linkage tree (cluster/cluster.h): the leaves under one of its nodes.
#pragma once
#include <vector>

#include "cluster/cluster.h"

struct LinkageTree {
  // Sets split[i] = 1 for every leaf i under nodeId (a leaf 0..n-1 or a merge -1..-(n-1));
  // never clears an entry, so start from zeros. split has one entry per leaf.
  static void getSplit(const Node* tree, int nodeId, std::vector<int>& split);
};
