#include "sampler/SampledStart.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>

#include "io/Interrupt.h"
#include "sampler/TreeStart.h"
#include "stats/RandomPlus.h"

std::string sampledBase(const std::string& word) {
  if (word == "sample") return "tree";
  if (word == "sample-boot") return "boot";
  if (word == "sample-average") return "average";
  return "";
}

std::vector<int> sampleRows(int n, int m) {
  std::vector<int> rows(static_cast<size_t>(std::max(0, m)));
  if (m > 0) RandomPlus::SampleWithoutReplacement(n, m, rows.data(), true);
  std::sort(rows.begin(), rows.end());
  return rows;
}

namespace {

// The observations of each cluster of a cut of the sample's tree, ascending.
std::vector<std::vector<int>> clustersOf(const std::vector<int>& cut, int k, const std::vector<int>& sample) {
  std::vector<std::vector<int>> members(static_cast<size_t>(k));
  for (size_t l = 0; l < cut.size(); l++) members[static_cast<size_t>(cut[l])].push_back(sample[l]);
  return members;
}

// The cut of 1..last clusters whose sample scores best: its clusters' integrated scores and
// the partition prior of their sizes (the criterion's own total needs every observation
// labelled). The fewest clusters among equal scores.
int bestCut(const TreeCuts& cuts, const Scorer& scorer, const std::vector<int>& sample, int last) {
  int bestK = 1;
  double best = -std::numeric_limits<double>::infinity();
  std::vector<int> sizes;
  for (int c = 1; c <= last; c++) {
    checkInterrupt();
    const std::vector<std::vector<int>> members = clustersOf(cuts.cut(c), c, sample);
    sizes.assign(static_cast<size_t>(c), 0);
    double score = 0;
    for (int j = 0; j < c; j++) {
      score += scorer.memberScore(members[static_cast<size_t>(j)]);
      sizes[static_cast<size_t>(j)] = static_cast<int>(members[static_cast<size_t>(j)].size());
    }
    score += scorer.prior().logPrior(sizes.data(), c);
    if (score > best || (!std::isfinite(best) && std::isfinite(score))) {
      best = score;
      bestK = c;
    }
  }
  return bestK;
}

// Each observation outside the sample joins the cluster whose representatives (members
// spread evenly over its list) lie nearest on average; ties go to the lower label.
int placeTheRest(const Observable& model, const std::vector<std::vector<int>>& members, std::vector<int>& z) {
  const int k = static_cast<int>(members.size());
  const int per = std::max(1, kPlacementDistances / std::max(1, k));
  std::vector<std::vector<int>> representatives(members.size());
  for (size_t j = 0; j < members.size(); j++) {
    const long long size = static_cast<long long>(members[j].size());
    const long long count = std::min<long long>(size, per);
    for (long long q = 0; q < count; q++) representatives[j].push_back(members[j][static_cast<size_t>(q * size / count)]);
  }
  for (size_t i = 0; i < z.size(); i++) {
    if (z[i] >= 0) continue;
    if (i % 1024 == 0) checkInterrupt();
    double nearest = std::numeric_limits<double>::infinity();
    int to = 0;
    for (int j = 0; j < k; j++) {
      const std::vector<int>& chosen = representatives[static_cast<size_t>(j)];
      double sum = 0;
      for (int r : chosen) sum += model.pairwiseDistance(static_cast<int>(i), r);
      const double mean = sum / static_cast<double>(chosen.size());
      if (mean < nearest) {
        nearest = mean;
        to = j;
      }
    }
    z[i] = to;
  }
  return per;
}

}  // namespace

void sampledStart(ChainState& state, const Scorer& scorer, std::ostream& log, const std::string& word,
                  int sampleSize) {
  const std::string how = sampledBase(word);
  const int n = state.n;
  const int fixedK = scorer.prior().fixedK();
  const int m = std::min(n, std::max(sampleSize, fixedK));
  if (m >= n) {
    treeStart(state, scorer, log, how, word);
    return;
  }
  const Observable& model = scorer.model();
  const std::vector<int> sample = sampleRows(n, m);
  std::vector<int> positions;
  if (how == "boot") positions = bootstrapPositions(model);
  const TreeCuts cuts(model, sample, how == "average" ? "average" : "complete", positions);
  const int last = fixedK > 0 ? fixedK : std::min(m, kMaxTreeCut);
  const int k = fixedK > 0 ? fixedK : bestCut(cuts, scorer, sample, last);

  const std::vector<int> cut = cuts.cut(k);
  std::vector<int> z(static_cast<size_t>(n), -1);
  for (size_t l = 0; l < sample.size(); l++) z[static_cast<size_t>(sample[l])] = cut[l];
  const int per = placeTheRest(model, clustersOf(cut, k, sample), z);
  // Labels in order of first appearance over all observations.
  std::vector<int> relabel(static_cast<size_t>(k), -1);
  int next = 0;
  for (int& label : z) {
    int& to = relabel[static_cast<size_t>(label)];
    if (to < 0) to = next++;
    label = to;
  }
  state.setPartition(z, k);
  const double score = scorer.getTotalLik(z.data(), k);

  log << "Start from the data (-Z " << word << "): the " << (how == "average" ? "average" : "complete")
      << "-linkage tree over a sample of " << m << " of the " << n << " observations";
  if (how == "boot") log << " by a bootstrap of the " << positions.size() << " positions";
  log << " cut into " << k << " clusters";
  if (fixedK <= 0) log << ", the best of its cuts into 1 to " << last << " clusters by the sample's integrated score";
  log << "; every other observation joins the cluster nearest on average to at most " << per
      << " of its members, score " << std::setprecision(10) << score << std::setprecision(6) << '\n';
}
