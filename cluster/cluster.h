// Agglomerative hierarchical clustering over a ragged lower-triangular distance matrix:
// complete, single and average linkage. Leaves are 0..n-1; merge step s creates cluster
// -(s+1). The routines use the matrix as working storage (its contents are meaningless
// afterwards) and return n-1 merge records allocated with new[], owned by the caller, or
// null when n < 2 or allocation fails.
#pragma once

struct Node {
  int left;
  int right;
  double distance;
};

Node* completeLinkage(int nelements, double** distmatrix);    // complete linkage
Node* singleLinkage(int nelements, double** distmatrix);  // single linkage
Node* averageLinkage(int nelements, double** distmatrix);    // average linkage
// Smallest distance among the first n rows; ip receives its row, jp its column (ip > jp).
double find_closest_pair(int n, double** distmatrix, int* ip, int* jp);
