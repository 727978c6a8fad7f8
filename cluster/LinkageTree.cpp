#include "cluster/LinkageTree.h"

void LinkageTree::getSplit(const Node* tree, int nodeId, std::vector<int>& split) {
  if (nodeId >= 0) {
    split[nodeId] = 1;
    return;
  }
  const Node& merge = tree[-nodeId - 1];
  getSplit(tree, merge.left, split);
  getSplit(tree, merge.right, split);
}
