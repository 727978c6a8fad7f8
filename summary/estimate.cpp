#include "summary/estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace summary {
namespace {

// The counts n_ab between the estimate's clusters a and every draw's clusters b, kept up to
// date as items move. A cell is one cluster b of one distinct draw; its row lists the
// estimate clusters that meet it with their counts. A row never holds more entries than its
// cell has items, so all rows fit in n * distinct entries laid out once.
class Reallocation {
 public:
  Reallocation(const DrawSet& draws, Loss loss)
      : draws_(draws), table_(loss, draws.n()), n_(draws.n()), distinct_(draws.distinct()) {
    std::vector<size_t> cellBase(distinct_ + 1, 0);
    for (size_t u = 0; u < distinct_; u++) cellBase[u + 1] = cellBase[u] + draws.clusters(u);
    const size_t cells = cellBase[distinct_];
    if (static_cast<double>(n_) * distinct_ >= 4294967295.0)
      throw std::length_error("too many draws times items for the search");
    rowStart_.assign(cells + 1, 0);
    itemCell_.resize(static_cast<size_t>(n_) * distinct_);
    for (size_t u = 0; u < distinct_; u++) {
      const int* z = draws.labels(u);
      for (int i = 0; i < n_; i++) {
        uint32_t cell = static_cast<uint32_t>(cellBase[u] + z[i]);
        itemCell_[static_cast<size_t>(i) * distinct_ + u] = cell;
        rowStart_[cell + 1]++;
      }
    }
    for (size_t c = 0; c < cells; c++) rowStart_[c + 1] += rowStart_[c];
    rowLength_.assign(cells, 0);
    entries_.resize(rowStart_[cells]);
    weight_.resize(distinct_);
    for (size_t u = 0; u < distinct_; u++) weight_[u] = draws.weight(u);
    sizes_.assign(n_, 0);
    accumulated_.assign(n_, 0.0);
    stamp_.assign(n_, 0);
    touched_.reserve(n_);
    free_.reserve(n_);
    double largest = n_ > 0 ? table_.dg[n_ - 1] : 0;
    tolerance_ = 1e-12 * draws.total() * std::max(1.0, largest);
  }

  long run(std::vector<int>& labels) {
    load(labels);
    long moves = 0;
    for (bool moved = true; moved;) {
      moved = false;
      for (int i = 0; i < n_; i++)
        if (improve(labels, i)) {
          moves++;
          moved = true;
        }
    }
    return moves;
  }

 private:
  struct Entry {
    int cluster;
    int count;
  };

  void load(const std::vector<int>& labels) {
    std::fill(rowLength_.begin(), rowLength_.end(), 0);
    std::fill(sizes_.begin(), sizes_.end(), 0);
    for (int i = 0; i < n_; i++) {
      sizes_[labels[i]]++;
      for (size_t u = 0; u < distinct_; u++) add(cellOf(i, u), labels[i]);
    }
    free_.clear();
    for (int label = n_ - 1; label >= 0; label--)
      if (sizes_[label] == 0) free_.push_back(label);
  }

  uint32_t cellOf(int item, size_t u) const {
    return itemCell_[static_cast<size_t>(item) * distinct_ + u];
  }

  void add(uint32_t cell, int cluster) {
    Entry* row = &entries_[rowStart_[cell]];
    uint32_t& length = rowLength_[cell];
    for (uint32_t e = 0; e < length; e++)
      if (row[e].cluster == cluster) {
        row[e].count++;
        return;
      }
    row[length++] = Entry{cluster, 1};
  }

  void remove(uint32_t cell, int cluster) {
    Entry* row = &entries_[rowStart_[cell]];
    uint32_t& length = rowLength_[cell];
    for (uint32_t e = 0; e < length; e++)
      if (row[e].cluster == cluster) {
        if (--row[e].count == 0) row[e] = row[--length];
        return;
      }
  }

  // Moving item i from a to b changes the loss numerator (summed over draws, before the
  // division by draws * norm) by
  //   S [dg(n_b) - dg(n_a - 1)] - 2 sum_u w_u [dg(n_{b,u}) - dg(n_{a,u} - 1)],
  // n_{c,u} the items of c in i's cluster of draw u (i counted in a). Clusters that share no
  // cell with i gain nothing over a new cluster, so only those met in i's rows are tried.
  bool improve(std::vector<int>& labels, int i) {
    const int from = labels[i];
    const double total = draws_.total();
    const std::vector<double>& dg = table_.dg;
    if (++currentStamp_ == 0) {
      std::fill(stamp_.begin(), stamp_.end(), 0);
      currentStamp_ = 1;
    }
    touched_.clear();
    double leaving = 0;
    const uint32_t* cells = &itemCell_[static_cast<size_t>(i) * distinct_];
    for (size_t u = 0; u < distinct_; u++) {
      const Entry* row = &entries_[rowStart_[cells[u]]];
      const uint32_t length = rowLength_[cells[u]];
      const double w = weight_[u];
      for (uint32_t e = 0; e < length; e++) {
        const int c = row[e].cluster;
        if (c == from) {
          leaving += w * dg[row[e].count - 1];
        } else {
          if (stamp_[c] != currentStamp_) {
            stamp_[c] = currentStamp_;
            accumulated_[c] = 0;
            touched_.push_back(c);
          }
          accumulated_[c] += w * dg[row[e].count];
        }
      }
    }
    const double base = -total * dg[sizes_[from] - 1] + 2 * leaving;
    // A new cluster (-1) changes nothing for an item that is alone already.
    double best = sizes_[from] > 1 ? base : std::numeric_limits<double>::infinity();
    int to = -1;
    for (int c : touched_) {
      double delta = base + total * dg[sizes_[c]] - 2 * accumulated_[c];
      if (delta < best) {
        best = delta;
        to = c;
      }
    }
    if (!(best < -tolerance_)) return false;
    if (to < 0) {
      to = free_.back();
      free_.pop_back();
    }
    for (size_t u = 0; u < distinct_; u++) {
      remove(cells[u], from);
      add(cells[u], to);
    }
    sizes_[to]++;
    if (--sizes_[from] == 0) free_.push_back(from);
    labels[i] = to;
    return true;
  }

  const DrawSet& draws_;
  LossTable table_;
  int n_;
  size_t distinct_;
  std::vector<uint32_t> itemCell_;   // item-major: the cell of item i in distinct draw u
  std::vector<uint32_t> rowStart_;
  std::vector<uint32_t> rowLength_;
  std::vector<Entry> entries_;
  std::vector<double> weight_;
  std::vector<int> sizes_;           // estimate cluster sizes by label
  std::vector<int> free_;            // labels without items
  std::vector<double> accumulated_;  // per label: sum_u w_u dg(n_{c,u}) for the current item
  std::vector<uint32_t> stamp_;
  uint32_t currentStamp_ = 0;
  std::vector<int> touched_;
  double tolerance_;
};

// sum_ab g(n_ab) between labellings a and b (b with kb labels) over a contingency table of
// `cells` = ka * kb counts, kept in four interleaved copies so that consecutive items falling
// in one cell do not wait on each other's increment. tables: 4 * cells zeros, left zeros.
double denseCrossTerm(const int* a, const int* b, int n, int kb, int cells,
                      const std::vector<double>& g, std::vector<int>& tables) {
  int* t0 = tables.data();
  int* t1 = t0 + cells;
  int* t2 = t1 + cells;
  int* t3 = t2 + cells;
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    t0[a[i] * kb + b[i]]++;
    t1[a[i + 1] * kb + b[i + 1]]++;
    t2[a[i + 2] * kb + b[i + 2]]++;
    t3[a[i + 3] * kb + b[i + 3]]++;
  }
  for (; i < n; i++) t0[a[i] * kb + b[i]]++;
  double sum = 0;
  for (int c = 0; c < cells; c++) {
    int count = t0[c] + t1[c] + t2[c] + t3[c];
    if (count) {
      sum += g[count];
      t0[c] = t1[c] = t2[c] = t3[c] = 0;
    }
  }
  return sum;
}

// Expected losses of the chosen distinct draws, in the order given.
std::vector<double> drawLosses(const DrawSet& draws, Loss loss, const std::vector<size_t>& chosen) {
  const int n = draws.n();
  const size_t distinct = draws.distinct();
  LossTable table(loss, n);
  std::vector<int> scratch(std::max(draws.maxClusters(), n), 0);
  // A small contingency table is cheaper than grouping the items of a by cluster.
  const int denseLimit = 2 * n + 1024;
  std::vector<int> tables;
  auto pairTerm = [&](const Grouping& grouping, size_t t, size_t u) {
    const int cells = draws.clusters(t) * draws.clusters(u);
    if (cells > denseLimit) return crossTerm(grouping, draws.labels(u), table.g, scratch);
    if (tables.empty()) tables.assign(4 * static_cast<size_t>(denseLimit), 0);
    return denseCrossTerm(draws.labels(t), draws.labels(u), n, draws.clusters(u), cells, table.g,
                          tables);
  };
  std::vector<double> own(distinct);  // G of each distinct draw
  double meanOwn = 0;
  for (size_t u = 0; u < distinct; u++) {
    Grouping grouping(draws.labels(u), n);
    own[u] = 0;
    for (int c = 0; c < grouping.clusters(); c++)
      own[u] += table.g[grouping.start[c + 1] - grouping.start[c]];
    meanOwn += draws.weight(u) * own[u];
  }
  const double total = draws.total();
  meanOwn /= total;

  // cross[j] = sum_u w_u sum_ab g(n_ab) between chosen draw j and draw u.
  std::vector<double> cross(chosen.size(), 0.0);
  if (chosen.size() == distinct) {  // every draw: each pair once
    for (size_t t = 0; t < distinct; t++) {
      Grouping grouping(draws.labels(t), n);
      cross[t] += draws.weight(t) * own[t];
      for (size_t u = t + 1; u < distinct; u++) {
        double x = pairTerm(grouping, t, u);
        cross[t] += draws.weight(u) * x;
        cross[u] += draws.weight(t) * x;
      }
    }
  } else {
    for (size_t j = 0; j < chosen.size(); j++) {
      Grouping grouping(draws.labels(chosen[j]), n);
      for (size_t u = 0; u < distinct; u++)
        cross[j] += draws.weight(u) * (u == chosen[j] ? own[u] : pairTerm(grouping, chosen[j], u));
    }
  }
  std::vector<double> losses(chosen.size());
  for (size_t j = 0; j < chosen.size(); j++)
    losses[j] = (own[chosen[j]] + meanOwn - 2 * cross[j] / total) / table.norm;
  return losses;
}

}  // namespace

long reallocate(const DrawSet& draws, Loss loss, std::vector<int>& labels) {
  Reallocation search(draws, loss);
  return search.run(labels);
}

Estimate findEstimate(const DrawSet& draws, Loss loss, int starts, double pairBudget) {
  const int n = draws.n();
  const size_t distinct = draws.distinct();
  Estimate estimate;
  if (distinct == 0 || n == 0) return estimate;
  std::vector<size_t> chosen;
  const double pairs = static_cast<double>(distinct) * distinct * n;
  if (pairs <= pairBudget) {
    chosen.resize(distinct);
    std::iota(chosen.begin(), chosen.end(), 0);
  } else {
    size_t count = std::max<size_t>(
        1, static_cast<size_t>(pairBudget / (static_cast<double>(distinct) * n)));
    for (size_t j = 0; j < count; j++) chosen.push_back(j * distinct / count);
  }
  std::vector<double> losses = drawLosses(draws, loss, chosen);
  std::vector<size_t> order(chosen.size());
  std::iota(order.begin(), order.end(), 0);
  // Ties keep draw order. (std::sort with the index as tie-break rather than stable_sort,
  // whose buffer a test binary's replaced operator delete cannot free.)
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return losses[a] < losses[b] || (losses[a] == losses[b] && a < b);
  });

  estimate.evaluated = chosen.size();
  estimate.starts = static_cast<int>(std::min<size_t>(starts, chosen.size()));
  const int* best = draws.labels(chosen[order[0]]);
  estimate.bestDraw = draws.firstIndex(chosen[order[0]]);
  // Recomputed the way the estimate's loss is, so that an estimate equal to the best draw
  // reports the very same number.
  estimate.bestDrawLoss = expectedLoss(draws, loss, best);
  estimate.labels.assign(best, best + n);
  estimate.expectedLoss = estimate.bestDrawLoss;

  Reallocation search(draws, loss);
  for (int s = 0; s < estimate.starts; s++) {
    const int* start = draws.labels(chosen[order[s]]);
    std::vector<int> labels(start, start + n);
    search.run(labels);
    double value = expectedLoss(draws, loss, labels.data());
    if (value < estimate.expectedLoss) {
      estimate.expectedLoss = value;
      estimate.labels = firstAppearance(labels.data(), n);
    }
  }
  return estimate;
}

}  // namespace summary
