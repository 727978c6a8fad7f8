#include "summary/loss.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace summary {

LossTable::LossTable(Loss loss, int n) : g(n + 1), dg(n > 0 ? n : 0) {
  for (int x = 0; x <= n; x++)
    g[x] = loss == Loss::VI ? (x > 0 ? x * std::log2(static_cast<double>(x)) : 0.0)
                            : 0.5 * x * (x - 1.0);
  for (int x = 0; x < n; x++) dg[x] = g[x + 1] - g[x];
  if (loss == Loss::VI) norm = n > 0 ? n : 1;
  else norm = n > 1 ? 0.5 * n * (n - 1.0) : 1;
}

Grouping::Grouping(const int* labels, int n) {
  int k = 0;
  for (int i = 0; i < n; i++) k = std::max(k, labels[i] + 1);
  start.assign(k + 1, 0);
  for (int i = 0; i < n; i++) start[labels[i] + 1]++;
  for (int c = 0; c < k; c++) start[c + 1] += start[c];
  members.resize(n);
  std::vector<int> next(start.begin(), start.end() - 1);
  for (int i = 0; i < n; i++) members[next[labels[i]]++] = i;
}

double crossTerm(const Grouping& a, const int* b, const std::vector<double>& g,
                 std::vector<int>& scratch) {
  double sum = 0;
  const int* member = a.members.data();
  for (int c = 0; c < a.clusters(); c++) {
    const int* first = member + a.start[c];
    const int* last = member + a.start[c + 1];
    for (const int* i = first; i != last; i++) scratch[b[*i]]++;
    for (const int* i = first; i != last; i++) {
      int& count = scratch[b[*i]];
      if (count) {
        sum += g[count];
        count = 0;
      }
    }
  }
  return sum;
}

namespace {

// G(labels) = sum over clusters of g(size).
double clusterTerm(const int* labels, int n, const std::vector<double>& g) {
  std::vector<int> sizes(n, 0);
  for (int i = 0; i < n; i++) sizes[labels[i]]++;
  double sum = 0;
  for (int size : sizes) sum += g[size];
  return sum;
}

}  // namespace

double partitionLoss(Loss loss, const int* a, const int* b, int n) {
  LossTable table(loss, n);
  std::vector<int> scratch(n, 0);
  double cross = crossTerm(Grouping(a, n), b, table.g, scratch);
  return (clusterTerm(a, n, table.g) + clusterTerm(b, n, table.g) - 2 * cross) / table.norm;
}

double adjustedRand(const int* a, const int* b, int n) {
  LossTable pairs(Loss::Binder, n);  // g(x) = x (x - 1) / 2: pairs among x items
  std::vector<int> scratch(n, 0);
  double together = crossTerm(Grouping(a, n), b, pairs.g, scratch);
  double inA = clusterTerm(a, n, pairs.g), inB = clusterTerm(b, n, pairs.g);
  double expected = n > 1 ? inA * inB / pairs.g[n] : 0;
  double maximum = (inA + inB) / 2;
  if (maximum == expected) return 1;
  return (together - expected) / (maximum - expected);
}

std::vector<int> firstAppearance(const int* labels, int n) {
  std::vector<int> renumber(n, -1), out(n);
  int next = 0;
  for (int i = 0; i < n; i++) {
    if (renumber[labels[i]] < 0) renumber[labels[i]] = next++;
    out[i] = renumber[labels[i]];
  }
  return out;
}

DrawSet::DrawSet(const std::vector<const int*>& draws, int n) : n_(n) {
  std::unordered_map<uint64_t, std::vector<size_t>> byHash;
  const size_t bytes = sizeof(int) * n;
  for (size_t d = 0; d < draws.size(); d++) {
    const int* z = draws[d];
    uint64_t hash = 1469598103934665603ULL;  // FNV-1a over the labels
    int k = 0;
    for (int i = 0; i < n; i++) {
      hash = (hash ^ static_cast<uint32_t>(z[i])) * 1099511628211ULL;
      k = std::max(k, z[i] + 1);
    }
    auto& same = byHash[hash];
    auto match = std::find_if(same.begin(), same.end(), [&](size_t u) {
      return std::memcmp(draws_[u], z, bytes) == 0;
    });
    if (match != same.end()) {
      weight_[*match] += 1;
    } else {
      same.push_back(draws_.size());
      draws_.push_back(z);
      clusters_.push_back(k);
      weight_.push_back(1);
      first_.push_back(d);
      maxClusters_ = std::max(maxClusters_, k);
    }
    total_ += 1;
  }
}

double expectedLoss(const DrawSet& draws, Loss loss, const int* labels) {
  const int n = draws.n();
  LossTable table(loss, n);
  Grouping grouping(labels, n);
  std::vector<int> scratch(std::max(draws.maxClusters(), 1), 0);
  const double own = clusterTerm(labels, n, table.g);
  double sum = 0;
  for (size_t u = 0; u < draws.distinct(); u++) {
    const int* z = draws.labels(u);
    sum += draws.weight(u) *
           (own + clusterTerm(z, n, table.g) - 2 * crossTerm(grouping, z, table.g, scratch));
  }
  return sum / (draws.total() * table.norm);
}

}  // namespace summary
