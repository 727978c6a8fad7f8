// Losses between partitions of n items, and the posterior draws they are averaged over.
// Both losses have the form [G(a) + G(b) - 2 sum_ij g(n_ij)] / norm over the contingency
// counts n_ij of the two partitions, with G(a) = sum_i g(size of cluster i):
//   variation of information: g(x) = x log2 x, norm = n (bits);
//   Binder: g(x) = x (x - 1) / 2, norm = n (n - 1) / 2 (the share of pairs of items that
//   one partition puts together and the other apart).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace summary {

enum class Loss { VI, Binder };

// g(0..n), its forward differences g(x + 1) - g(x) for x in 0..n-1, and the normaliser.
struct LossTable {
  LossTable(Loss loss, int n);
  std::vector<double> g, dg;
  double norm;
};

// Clusters and their members, members in increasing order, clusters by first member.
struct Grouping {
  Grouping(const int* labels, int n);
  int clusters() const { return static_cast<int>(start.size()) - 1; }
  std::vector<int> members;
  std::vector<int> start;  // cluster c is members[start[c] .. start[c + 1])
};

// sum_ij g(n_ij) between a grouped partition and a labelling b with labels 0..(scratch size
// - 1); scratch must hold zeros and is left holding zeros. Cost O(n).
double crossTerm(const Grouping& a, const int* b, const std::vector<double>& g,
                 std::vector<int>& scratch);

// The loss between two labellings (labels in 0..n-1).
double partitionLoss(Loss loss, const int* a, const int* b, int n);

// Adjusted Rand index (Hubert and Arabie 1985); 1 when both partitions are the one cluster
// or both are all singletons, where the formula is 0/0.
double adjustedRand(const int* a, const int* b, int n);

// Labels renumbered in order of first appearance.
std::vector<int> firstAppearance(const int* labels, int n);

// Posterior draws of partitions with equal ones merged: each distinct draw with its count.
// Holds pointers into the caller's label arrays, which must outlive it.
class DrawSet {
 public:
  // Every draw holds n labels in order of first appearance.
  DrawSet(const std::vector<const int*>& draws, int n);
  int n() const { return n_; }
  size_t distinct() const { return draws_.size(); }
  double total() const { return total_; }
  const int* labels(size_t u) const { return draws_[u]; }
  int clusters(size_t u) const { return clusters_[u]; }
  double weight(size_t u) const { return weight_[u]; }
  int maxClusters() const { return maxClusters_; }
  // Position, in the constructor's list, of distinct draw u's first copy.
  size_t firstIndex(size_t u) const { return first_[u]; }

 private:
  int n_;
  double total_ = 0;
  int maxClusters_ = 0;
  std::vector<const int*> draws_;
  std::vector<int> clusters_;
  std::vector<double> weight_;
  std::vector<size_t> first_;
};

// Posterior expected loss of a labelling (labels in 0..n-1): the mean loss over the draws.
// Cost O(n * distinct draws).
double expectedLoss(const DrawSet& draws, Loss loss, const int* labels);

}  // namespace summary
