// Candidates of the tree neighbourhood assembled from pieces, without a pass over all n per
// candidate: pieces 0..k-1 are the clusters of a base partition, pieces k and k+1 the groups
// 1 and 0 of a split of one of them. The order of the calls is in the types: a base comes
// first, and only a split offers the split's pieces.
#pragma once
#include <vector>

#include "sampler/Scorer.h"

class TreePieces {
 public:
  // Offered for the integrated criterion outside the reference mode when the model has
  // additive statistics, moments or member lists.
  static bool applies(const Scorer& scorer);

  class Split;
  class Base {
   public:
    // Members of base cluster j, ascending.
    const std::vector<int>& members(int j) const { return pieces_->members_[j]; }
    // The split of base cluster j by group (0 or 1 per entry of members(j)); its pieces
    // stay until the next split of this base.
    Split split(int j, const std::vector<int>& group);
    // Scorer::getTotalLik, bit for bit, of the partition whose label L (0..labels-1) holds
    // base piece first[L] joined with base piece second[L] (-1: none).
    double total(const int* first, const int* second, int labels) {
      return pieces_->total(first, second, labels, false);
    }

   private:
    friend TreePieces;
    explicit Base(TreePieces& pieces) : pieces_(&pieces) {}
    TreePieces* pieces_;
  };
  class Split {
   public:
    // As Base::total, the split's pieces k and k + 1 included.
    double total(const int* first, const int* second, int labels) {
      return pieces_->total(first, second, labels, true);
    }

   private:
    friend Base;
    explicit Split(TreePieces& pieces) : pieces_(&pieces) {}
    TreePieces* pieces_;
  };

  // Pieces 0..k-1: the clusters of z (k labels), scored through scorer.
  Base base(Scorer& scorer, const int* z, int k);

 private:
  void split(int j, const std::vector<int>& group);
  double total(const int* first, const int* second, int labels, bool withSplit);
  template <class V>
  void setStats(std::vector<V>& blocks, int width, int piece, const std::vector<int>& list) const;
  template <class V>
  double unionFromStats(const std::vector<V>& blocks, std::vector<V>& scratch, int width, int a,
                        int b, int members) const;

  Scorer* scorer_ = nullptr;
  int base_ = 0;  // k of the base partition
  std::vector<ClusterKey> key_;
  std::vector<int> size_;
  std::vector<std::vector<int>> members_;
  std::vector<int> stats_;
  std::vector<double> moments_;
  std::vector<int> sizes_;  // of a candidate's labels
  std::vector<int> statsScratch_;
  std::vector<double> momentsScratch_;
  std::vector<int> listScratch_;
};
