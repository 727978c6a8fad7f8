// Complete, single and average linkage, the closest-pair scan, and reading a node's leaves.
#include "cluster/cluster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "cluster/LinkageTree.h"

namespace {

using LinkageFn = Node* (*)(int, double**);

// Ragged lower triangle built from a flat list [1][0], [2][0], [2][1], [3][0], ...
class Triangle {
 public:
  explicit Triangle(int n) : rows_(n), ptrs_(n) {
    for (int i = 0; i < n; i++) {
      rows_[i].assign(std::max(i, 1), 0.0);
      ptrs_[i] = rows_[i].data();
    }
  }
  Triangle(int n, const std::vector<double>& lower) : Triangle(n) {
    size_t p = 0;
    for (int i = 1; i < n; i++)
      for (int j = 0; j < i; j++) rows_[i][j] = lower.at(p++);
  }
  double** get() { return ptrs_.data(); }
  double at(int i, int j) const { return i > j ? rows_[i][j] : rows_[j][i]; }

 private:
  std::vector<std::vector<double>> rows_;
  std::vector<double*> ptrs_;
};

struct Merge {
  int left, right;
  double distance;
};

std::vector<Merge> tree(LinkageFn linkage, int n, const std::vector<double>& lower) {
  Triangle d(n, lower);
  std::unique_ptr<Node[]> nodes(linkage(n, d.get()));
  EXPECT_NE(nodes, nullptr);
  std::vector<Merge> merges;
  if (!nodes) return merges;
  for (int s = 0; s < n - 1; s++)
    merges.push_back({nodes[s].left, nodes[s].right, nodes[s].distance});
  return merges;
}

void expectTree(const std::vector<Merge>& got, const std::vector<Merge>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t s = 0; s < got.size(); s++) {
    EXPECT_EQ(got[s].left, want[s].left) << "merge " << s;
    EXPECT_EQ(got[s].right, want[s].right) << "merge " << s;
    EXPECT_DOUBLE_EQ(got[s].distance, want[s].distance) << "merge " << s;
  }
}

TEST(Linkage, WorkedExamples) {
  struct Case {
    const char* name;
    LinkageFn linkage;
    int n;
    std::vector<double> lower;
    std::vector<Merge> merges;
  };
  // Four items: (1,0) first; then 2 joins {0,1} at 2; then 3 joins at a distance that
  // tells the rules apart. Average: mean(10, 10, 4) = 8, not the (10 + 4) / 2 = 7 an
  // unweighted update would give.
  const std::vector<double> four = {1, 2, 2, 10, 10, 4};
  const Case cases[] = {
      {"complete 3", completeLinkage, 3, {1, 4, 2}, {{1, 0, 1}, {2, -1, 4}}},
      {"single 3", singleLinkage, 3, {1, 4, 2}, {{1, 0, 1}, {2, -1, 2}}},
      {"average 3", averageLinkage, 3, {1, 4, 2}, {{1, 0, 1}, {2, -1, 3}}},
      {"complete 2", completeLinkage, 2, {2.5}, {{1, 0, 2.5}}},
      {"single 2", singleLinkage, 2, {2.5}, {{1, 0, 2.5}}},
      {"average 2", averageLinkage, 2, {2.5}, {{1, 0, 2.5}}},
      {"complete 4", completeLinkage, 4, four, {{1, 0, 1}, {2, -1, 2}, {3, -2, 10}}},
      {"single 4", singleLinkage, 4, four, {{1, 0, 1}, {2, -1, 2}, {3, -2, 4}}},
      {"average 4", averageLinkage, 4, four, {{1, 0, 1}, {2, -1, 2}, {3, -2, 8}}},
      // The last item moves into the freed position: {2,3} merge as (2, 3), then the
      // two pairs join at mean(5, 3, 9, 7) = 6.
      {"average pairs", averageLinkage, 4, {1, 5, 3, 9, 7, 2}, {{1, 0, 1}, {2, 3, 2}, {-2, -1, 6}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectTree(tree(c.linkage, c.n, c.lower), c.merges);
  }
}

// All distances equal: (1,0) first; the last item then sits at position 1 and merges
// with cluster -1 at position 0, and so on.
TEST(Linkage, TiesMergeFirstPairInScanOrder) {
  for (LinkageFn linkage : {completeLinkage, singleLinkage, averageLinkage}) {
    expectTree(tree(linkage, 3, std::vector<double>(3, 1.0)), {{1, 0, 1}, {2, -1, 1}});
    expectTree(tree(linkage, 4, std::vector<double>(6, 1.0)),
               {{1, 0, 1}, {3, -1, 1}, {2, -2, 1}});
  }
}

TEST(Linkage, NoTreeForFewerThanTwoItems) {
  Triangle d(1);
  for (LinkageFn linkage : {completeLinkage, singleLinkage, averageLinkage}) {
    EXPECT_EQ(linkage(1, d.get()), nullptr);
    EXPECT_EQ(linkage(0, d.get()), nullptr);
  }
}

TEST(Linkage, ClosestPairScanOrder) {
  // [1][0]=5; [2][0]=3 [2][1]=3; [3][0]=3 [3][1]=1 [3][2]=1
  Triangle d(4, {5, 3, 3, 3, 1, 1});
  struct Case {
    int m;
    double distance;
    int row, col;
  };
  const Case cases[] = {{2, 5, 1, 0}, {3, 3, 2, 0}, {4, 1, 3, 1}};
  for (const Case& c : cases) {
    int row = -1, col = -1;
    EXPECT_EQ(find_closest_pair(c.m, d.get(), &row, &col), c.distance) << "m=" << c.m;
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(col, c.col);
  }
}

// Naive reference: clusters as member sets, linkage distances recomputed from the item
// distances at every step (max, min or mean over cross pairs).
enum class Rule { Complete, Single, Average };

std::vector<Merge> naiveTree(const Triangle& d, int n, Rule rule) {
  struct Cluster {
    int id;
    std::vector<int> members;
  };
  std::vector<Cluster> clusters;
  for (int i = 0; i < n; i++) clusters.push_back({i, {i}});
  std::vector<Merge> merges;
  for (int s = 0; s < n - 1; s++) {
    double best = INFINITY;
    size_t ba = 0, bb = 0;
    for (size_t a = 0; a < clusters.size(); a++)
      for (size_t b = a + 1; b < clusters.size(); b++) {
        double link = rule == Rule::Complete ? -INFINITY : rule == Rule::Single ? INFINITY : 0;
        for (int i : clusters[a].members)
          for (int j : clusters[b].members) {
            const double x = d.at(i, j);
            if (rule == Rule::Complete) link = std::max(link, x);
            if (rule == Rule::Single) link = std::min(link, x);
            if (rule == Rule::Average) link += x;
          }
        if (rule == Rule::Average)
          link /= static_cast<double>(clusters[a].members.size() * clusters[b].members.size());
        if (link < best) {
          best = link;
          ba = a;
          bb = b;
        }
      }
    merges.push_back({clusters[ba].id, clusters[bb].id, best});
    clusters[ba].id = -(s + 1);
    clusters[ba].members.insert(clusters[ba].members.end(), clusters[bb].members.begin(),
                                clusters[bb].members.end());
    clusters.erase(clusters.begin() + bb);
  }
  return merges;
}

TEST(Linkage, AgreesWithNaiveReferenceOnRandomMatrices) {
  std::mt19937 gen(20240611);
  const struct {
    LinkageFn linkage;
    Rule rule;
    const char* name;
  } linkages[] = {{completeLinkage, Rule::Complete, "complete"},
                  {singleLinkage, Rule::Single, "single"},
                  {averageLinkage, Rule::Average, "average"}};
  for (int trial = 0; trial < 60; trial++) {
    const int n = 2 + trial % 9;
    std::vector<double> lower(n * (n - 1) / 2);
    for (double& x : lower) x = (gen() + 1.0) / 4294967296.0;  // distinct with certainty ~1
    const Triangle reference(n, lower);
    for (const auto& l : linkages) {
      SCOPED_TRACE(std::string(l.name) + " n=" + std::to_string(n));
      const std::vector<Merge> got = tree(l.linkage, n, lower);
      const std::vector<Merge> want = naiveTree(reference, n, l.rule);
      ASSERT_EQ(got.size(), want.size());
      for (size_t s = 0; s < got.size(); s++) {
        EXPECT_EQ(std::minmax(got[s].left, got[s].right),
                  std::minmax(want[s].left, want[s].right))
            << "merge " << s;
        EXPECT_NEAR(got[s].distance, want[s].distance, 1e-12) << "merge " << s;
      }
    }
  }
}

// The plain engine: a scan of the whole triangle for every merge (find_closest_pair), the
// same updates. The linkage routines keep row minima instead and must give the very same
// records, ties included.
std::vector<Merge> scanningTree(int n, std::vector<double> lower, Rule rule) {
  Triangle t(n, lower);
  double** d = t.get();
  std::vector<int> id(n), size(n, 1);
  for (int i = 0; i < n; i++) id[i] = i;
  auto link = [rule](double a, double b, int sa, int sb) {
    if (rule == Rule::Complete) return a > b ? a : b;
    if (rule == Rule::Single) return b > a ? a : b;
    return (a * sa + b * sb) / (sa + sb);
  };
  std::vector<Merge> merges;
  for (int m = n; m > 1; m--) {
    int P = 1, Q = 0;
    const double best = find_closest_pair(m, d, &P, &Q);
    const int sp = size[P], sq = size[Q];
    for (int k = 0; k < Q; k++) d[Q][k] = link(d[P][k], d[Q][k], sp, sq);
    for (int k = Q + 1; k < P; k++) d[k][Q] = link(d[P][k], d[k][Q], sp, sq);
    for (int k = P + 1; k < m; k++) d[k][Q] = link(d[k][P], d[k][Q], sp, sq);
    for (int k = 0; k < P; k++) d[P][k] = d[m - 1][k];
    for (int k = P + 1; k < m - 1; k++) d[k][P] = d[m - 1][k];
    merges.push_back({id[P], id[Q], best});
    id[Q] = -(n - m + 1);
    id[P] = id[m - 1];
    size[Q] = sp + sq;
    size[P] = size[m - 1];
  }
  return merges;
}

TEST(Linkage, RowMinimaGiveTheRecordsOfAFullScanTiesIncluded) {
  std::mt19937 gen(7);
  const struct {
    LinkageFn linkage;
    Rule rule;
  } linkages[] = {{completeLinkage, Rule::Complete}, {singleLinkage, Rule::Single},
                  {averageLinkage, Rule::Average}};
  for (int trial = 0; trial < 200; trial++) {
    const int n = 2 + trial % 40;
    // Few distinct values: most merges choose among tied pairs.
    const int levels = 1 + trial % 5;
    std::vector<double> lower(n * (n - 1) / 2);
    for (double& x : lower) x = static_cast<double>(gen() % levels);
    for (const auto& l : linkages) {
      SCOPED_TRACE("trial " + std::to_string(trial));
      const std::vector<Merge> got = tree(l.linkage, n, lower);
      const std::vector<Merge> want = scanningTree(n, lower, l.rule);
      ASSERT_EQ(got.size(), want.size());
      for (size_t s = 0; s < got.size(); s++) {
        EXPECT_EQ(got[s].left, want[s].left) << "merge " << s;
        EXPECT_EQ(got[s].right, want[s].right) << "merge " << s;
        EXPECT_EQ(got[s].distance, want[s].distance) << "merge " << s;
      }
    }
  }
}

TEST(Linkage, CompleteAndSingleDistancesNeverDecrease) {
  std::mt19937 gen(7);
  for (int trial = 0; trial < 40; trial++) {
    const int n = 2 + trial % 15;
    std::vector<double> lower(n * (n - 1) / 2);
    // Few distinct values, so ties are common.
    for (double& x : lower) x = static_cast<double>(gen() % 5);
    for (LinkageFn linkage : {completeLinkage, singleLinkage}) {
      const std::vector<Merge> merges = tree(linkage, n, lower);
      for (size_t s = 1; s < merges.size(); s++)
        EXPECT_GE(merges[s].distance, merges[s - 1].distance) << "n=" << n << " merge " << s;
    }
  }
}

TEST(Linkage, EveryClusterMergedExactlyOnce) {
  std::mt19937 gen(11);
  const int n = 9;
  std::vector<double> lower(n * (n - 1) / 2);
  for (double& x : lower) x = static_cast<double>(gen() % 3);
  for (LinkageFn linkage : {completeLinkage, singleLinkage, averageLinkage}) {
    const std::vector<Merge> merges = tree(linkage, n, lower);
    std::multiset<int> used;
    for (size_t s = 0; s < merges.size(); s++) {
      // A merge may only use leaves and clusters made by earlier merges.
      EXPECT_GT(merges[s].left, -static_cast<int>(s) - 1);
      EXPECT_GT(merges[s].right, -static_cast<int>(s) - 1);
      used.insert(merges[s].left);
      used.insert(merges[s].right);
    }
    for (int id = -(n - 2); id < n; id++) EXPECT_EQ(used.count(id), 1u) << "id " << id;
  }
}

TEST(GetSplit, MarksLeavesUnderANode) {
  // The tie tree over four items: (1,0), (3,-1), (2,-2).
  const Node tree[] = {{1, 0, 1.0}, {3, -1, 1.0}, {2, -2, 1.0}};
  struct Case {
    int node;
    std::vector<int> split;
  };
  const Case cases[] = {{-1, {1, 1, 0, 0}}, {-2, {1, 1, 0, 1}}, {-3, {1, 1, 1, 1}},
                        {2, {0, 0, 1, 0}},  {0, {1, 0, 0, 0}}};
  for (const Case& c : cases) {
    std::vector<int> split(4, 0);
    LinkageTree::getSplit(tree, c.node, split);
    EXPECT_EQ(split, c.split) << "node " << c.node;
  }
  // Marks are only ever added.
  std::vector<int> split = {0, 0, 1, 0};
  LinkageTree::getSplit(tree, -1, split);
  EXPECT_EQ(split, (std::vector<int>{1, 1, 1, 0}));
}

}  // namespace
