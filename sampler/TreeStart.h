// A start built from the data, drawing no random number: the complete-linkage tree over all
// observations that the tree-guided moves build over a cluster, cut where the score is
// best (an open k: every cut into 1 .. kMaxTreeCut clusters; a fixed k: its k-cluster cut).
#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"

// Cuts an open k scores at most: beyond a thousand clusters a start is rarely best.
constexpr int kMaxTreeCut = 1000;

// The partitions the tree gives by undoing its last merges: cut(c) has c clusters, labels
// numbered in order of first appearance.
class TreeCuts {
 public:
  // The tree of the linkage ("complete", "average" or "single") over observations 0..n-1 of
  // the model, by its distances over the positions given (all when empty; repeats count
  // twice, as in a bootstrap).
  TreeCuts(const Observable& model, int n, const std::string& linkage = "complete",
           const std::vector<int>& positions = {});
  // The tree over the observations listed (ascending), leaf l standing for members[l].
  TreeCuts(const Observable& model, const std::vector<int>& members, const std::string& linkage,
           const std::vector<int>& positions);
  int n() const { return n_; }
  std::vector<int> cut(int clusters) const;

 private:
  int n_;
  std::vector<int> left_, right_;  // merge s joins these (leaves 0..n-1, merges -(s+1))
};

// Makes the best cut the state's partition and logs which start it is and its score. how:
// "tree" the complete-linkage tree over all positions (no random number); "average" the
// average-linkage tree (none either); "boot" the complete-linkage tree over a bootstrap of the
// positions (T uniforms), so that chains with their own seeds start apart. word: the -Z word
// the log names (empty: how).
void treeStart(ChainState& state, const Scorer& scorer, std::ostream& log, const std::string& how = "tree",
               const std::string& word = "");

// The bootstrap of -Z boot: T positions of the model drawn with replacement (T uniforms).
std::vector<int> bootstrapPositions(const Observable& model);
