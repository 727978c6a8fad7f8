#include "sampler/TreeStart.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <numeric>

#include "io/Interrupt.h"
#include "stats/rvgs.h"
#include "sampler/moves/TreeGuided.h"

namespace {

std::vector<int> firstNumbers(int n) {
  std::vector<int> all(static_cast<size_t>(std::max(0, n)));
  std::iota(all.begin(), all.end(), 0);
  return all;
}

}  // namespace

TreeCuts::TreeCuts(const Observable& model, int n, const std::string& linkage,
                   const std::vector<int>& positions)
    : TreeCuts(model, firstNumbers(n), linkage, positions) {}

TreeCuts::TreeCuts(const Observable& model, const std::vector<int>& members, const std::string& linkage,
                   const std::vector<int>& positions)
    : n_(static_cast<int>(members.size())) {
  if (n_ < 2) return;
  // The moves' own tree builder, so that the start is the tree they would see.
  std::ostream nowhere(nullptr);
  TreeGuidedSplitMerge builder(model.n, true, TreeMoveSettings{}, DebugLog{nowhere, false});
  builder.useDistances(model, positions);
  for (const Node& node : builder.getTree(members, linkage)) {
    left_.push_back(node.left);
    right_.push_back(node.right);
  }
}

std::vector<int> TreeCuts::cut(int clusters) const {
  // Union of the first n - clusters merges; a merge's node -(s+1) is represented by a leaf.
  std::vector<int> parent(n_);
  std::iota(parent.begin(), parent.end(), 0);
  auto root = [&](int i) {
    while (parent[i] != i) i = parent[i] = parent[parent[i]];
    return i;
  };
  std::vector<int> leafOf(left_.size());
  auto leaf = [&](int node) { return node >= 0 ? node : leafOf[-node - 1]; };
  const int merges = std::max(0, std::min(n_ - clusters, static_cast<int>(left_.size())));
  for (int s = 0; s < static_cast<int>(left_.size()); s++) {
    const int a = leaf(left_[s]), b = leaf(right_[s]);
    leafOf[s] = a;
    if (s < merges) parent[root(b)] = root(a);
  }
  std::vector<int> label(n_, -1), z(n_);
  int next = 0;
  for (int i = 0; i < n_; i++) {
    const int r = root(i);
    if (label[r] < 0) label[r] = next++;
    z[i] = label[r];
  }
  return z;
}

std::vector<int> bootstrapPositions(const Observable& model) {
  const int columns = std::max(1, model.T);
  std::vector<int> positions(static_cast<size_t>(columns));
  for (int& p : positions) p = rUniform(0, columns - 1);
  return positions;
}

void treeStart(ChainState& state, const Scorer& scorer, std::ostream& log, const std::string& how,
               const std::string& word) {
  const int n = state.n;
  std::vector<int> positions;
  if (how == "boot") positions = bootstrapPositions(scorer.model());
  const std::string& named = word.empty() ? how : word;
  const TreeCuts cuts(scorer.model(), n, how == "average" ? "average" : "complete", positions);
  const int fixedK = scorer.prior().fixedK();
  const int first = fixedK > 0 ? fixedK : 1;
  const int last = fixedK > 0 ? fixedK : std::min(n, kMaxTreeCut);
  std::vector<int> best = cuts.cut(first);
  int bestK = first;
  double bestScore = scorer.getTotalLik(best.data(), first);
  for (int c = first + 1; c <= last; c++) {
    checkInterrupt();
    const std::vector<int> z = cuts.cut(c);
    const double score = scorer.getTotalLik(z.data(), c);
    // The fewest clusters among equal scores; a score that is not a number never wins.
    if (score > bestScore || (!std::isfinite(bestScore) && std::isfinite(score))) {
      best = z;
      bestK = c;
      bestScore = score;
    }
  }
  state.setPartition(best, bestK);
  if (how == "boot")
    log << "Start from the data (-Z " << named << "): the complete-linkage tree over all observations by a "
           "bootstrap of the "
        << positions.size() << " positions cut into " << bestK << " clusters";
  else if (how == "average")
    log << "Start from the data (-Z " << named << "): the average-linkage tree over all observations cut "
           "into "
        << bestK << " clusters";
  else
    log << "Start from the data (-Z " << named << "): the complete-linkage tree over all observations cut "
           "into "
        << bestK << " clusters";
  if (fixedK <= 0) log << ", the best of its cuts into 1 to " << last << " clusters";
  log << ", score " << std::setprecision(10) << bestScore << std::setprecision(6) << '\n';
}
