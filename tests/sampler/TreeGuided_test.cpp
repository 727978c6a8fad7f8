// Steps, tree splits, neighbour tables and the pieces of the tree-guided move, on small
// fixtures whose linkage trees are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "io/RunError.h"
#include "stats/Arrays.h"
#include "stats/rvgs.h"
#include "sampler/moves/TreeGuided.h"
#include "support/TinyModel.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();

// Points 0, 0.1, 1, 3, 10. Complete linkage over observations 0..3 merges {0,1} (node -1),
// then {0,1,2} (node -2), then adds 3 at the root; over {2,3,4} it merges {2,3} first.
const std::vector<double> kPoints = {0.0, 0.1, 1.0, 3.0, 10.0};

// A sampler over the points with a given current partition, and the tree-guided move over
// distances on every position.
struct Fixture {
  TinyModel model;
  std::ostringstream log;
  PartitionSampler sampler;
  bool includeLeafNode, flat;
  std::unique_ptr<TreeGuidedSplitMerge> move;
  Fixture(int k, const std::vector<int>& z, bool includeLeafNode = false, bool flat = false,
          const std::vector<double>& points = kPoints)
      : model(points),
        sampler(k, model.n, INTEGRATED, &model, 0.0, log, "UX"),
        includeLeafNode(includeLeafNode),
        flat(flat) {
    setZ(z);
    setP(0.9);
  }
  void setZ(const std::vector<int>& z) {
    sampler.state.setPartition(z, *std::max_element(z.begin(), z.end()) + 1);
  }
  // A fresh move whose tree neighbourhood has probability p.
  void setP(double p) {
    const FlatProposal flatness = flat ? FlatProposal::Always : FlatProposal::Never;
    move = std::make_unique<TreeGuidedSplitMerge>(
        model.n, sampler.state.infmix, TreeMoveSettings{flatness, includeLeafNode, p},
        sampler.debug);
    move->useDistances(model, {});
  }
  void SMsampler() { stepOn(*move, sampler); }
  double lik(const std::vector<int>& z, int k) const {
    return sampler.scorer.getTotalLik(z.data(), k);
  }
  std::vector<double> table(const std::vector<int>& z, int k) {
    int size = -1;
    std::vector<double> t = move->treeNeighbourhood(sampler.scorer, z.data(), k, size);
    EXPECT_EQ(size, static_cast<int>(t.size()));
    return t;
  }
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> splitOn(const std::string& text, const std::string& separator) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t at; (at = text.find(separator, start)) != std::string::npos;
       start = at + separator.size())
    out.push_back(text.substr(start, at - start));
  out.push_back(text.substr(start));
  return out;
}

std::vector<int> labelsOf(const std::string& line) {
  std::vector<int> z;
  std::istringstream in(line);
  for (int v; in >> v;) z.push_back(v);
  return z;
}

int fieldCount(const std::string& line) {
  std::istringstream in(line);
  int count = 0;
  for (std::string field; in >> field;) count++;
  return count;
}

int labelCount(const std::vector<int>& z) { return *std::max_element(z.begin(), z.end()) + 1; }

double logSumExp(const std::vector<double>& v) {
  double top = *std::max_element(v.begin(), v.end());
  double s = 0;
  for (double x : v) s += std::exp(x - top);
  return top + std::log(s);
}

// ---------------------------------------------------------------------------------------
// Applying a step

struct StepCase {
  std::vector<int> z;
  int toSplit;
  std::vector<int> split;
  int j1, j2;
  std::vector<int> expected;
  const char* what;
};

TEST(SplitMerge, RelabelsForEveryKindOfStep) {
  const std::vector<int> z = {0, 1, 2, 0, 0};  // cluster 0 is {0, 3, 4}
  const StepCase cases[] = {
      {z, 0, {0, 1, 1}, 3, 1, {0, 1, 2, 1, 1}, "new half merged into 1, others untouched"},
      {z, 0, {0, 1, 1}, 3, 2, {0, 1, 2, 2, 2}, "new half merged into the last label"},
      {z, 0, {0, 1, 1}, 2, 1, {0, 1, 1, 2, 2}, "2 merged into 1: the new half takes label 2"},
      {z, 0, {0, 1, 1}, 1, 0, {0, 0, 2, 1, 1}, "1 merged into 0: the new half takes label 1"},
      {z, 0, {0, 1, 1}, -1, -1, {0, 1, 2, 3, 3}, "pure split: the new half is label k"},
      {z, -1, {}, 2, 0, {0, 1, 0, 0, 0}, "pure merge of the last label"},
      {z, -1, {}, 1, 0, {0, 0, 1, 0, 0}, "pure merge: the last label fills the gap"},
      {z, -1, {}, 1, 2, {0, 1, 1, 0, 0}, "pure merge into k-1: the merged cluster keeps j1"},
      {{1, 0, 1, 2, 1}, 1, {1, 0, 1}, 3, 0, {0, 0, 1, 2, 0}, "split read over members in order"},
  };
  Fixture f(0, {0, 0, 0, 0, 0});
  for (const auto& c : cases) {
    std::vector<int> target(5, -7);
    EXPECT_TRUE(f.move->splitMerge(c.z.data(), 3, c.toSplit, c.split, c.j1, c.j2,
                                     target.data(), false))
        << c.what;
    EXPECT_EQ(target, c.expected) << c.what;
  }
}

struct ReverseCase {
  std::vector<int> z;
  int toSplit;
  std::vector<int> split;
  int j1, j2;
  bool includeLeafNode;
  bool reverseIsTreeSplit;
  std::vector<int> expected;
};

TEST(SplitMerge, ReverseTestAsksWhetherTheMergedClusterSplitsBackAlongTheTree) {
  const ReverseCase cases[] = {
      // merged {0,1,2,3} from {0,1} and {2,3}: node -1 up to complement
      {{0, 0, 1, 1, 2}, -1, {}, 1, 0, false, true, {0, 0, 0, 0, 1}},
      // merged {0,1,2,3} from {0,2} and {1,3}: no tree split
      {{0, 1, 0, 1, 2}, -1, {}, 1, 0, false, false, {0, 0, 0, 0, 1}},
      // merged {2,3,4} from {2,3} and {4}: a leaf, offered only with leaves
      {{0, 0, 1, 1, 2}, -1, {}, 2, 1, false, false, {0, 0, 1, 1, 1}},
      {{0, 0, 1, 1, 2}, -1, {}, 2, 1, true, true, {0, 0, 1, 1, 1}},
      // split {3,4} into {3},{4}, then {4} merged into {0,1,2}: leaf 3 of {0,1,2,4}
      {{0, 0, 0, 1, 1}, 1, {0, 1}, 2, 0, false, false, {0, 0, 0, 1, 0}},
      {{0, 0, 0, 1, 1}, 1, {0, 1}, 2, 0, true, true, {0, 0, 0, 1, 0}},
      // a pure split is reported reversible without a test
      {{0, 1, 0, 1, 1}, 0, {0, 1}, -1, -1, false, true, {0, 1, 2, 1, 1}},
  };
  for (const auto& c : cases) {
    Fixture f(0, c.z, c.includeLeafNode);
    std::vector<int> target(5, -7);
    const int k = labelCount(c.z);
    EXPECT_EQ(f.move->splitMerge(c.z.data(), k, c.toSplit, c.split, c.j1, c.j2, target.data(),
                                   true),
              c.reverseIsTreeSplit);
    EXPECT_EQ(target, c.expected);
  }
}

// ---------------------------------------------------------------------------------------
// Trees and tree splits

struct TreeCase {
  const char* method;
  Node records[3];
};

TEST(GetTree, BuildsTheLinkageTreeOverTheMembersDistances) {
  // Members 1..4 (points 0.1, 1, 3, 10) become leaves 0..3.
  const TreeCase cases[] = {
      {"complete", {{1, 0, 0.9}, {2, -1, 2.9}, {3, -2, 9.9}}},
      {"single", {{1, 0, 0.9}, {2, -1, 2.0}, {3, -2, 7.0}}},
      {"average", {{1, 0, 0.9}, {2, -1, 2.45}, {3, -2, 25.9 / 3}}},
  };
  Fixture f(0, {0, 0, 0, 0, 0});
  for (const auto& c : cases) {
    const std::vector<Node> tree = f.move->getTree({1, 2, 3, 4}, c.method);
    ASSERT_EQ(tree.size(), 3u) << c.method;
    for (int s = 0; s < 3; s++) {
      EXPECT_EQ(tree[s].left, c.records[s].left) << c.method << s;
      EXPECT_EQ(tree[s].right, c.records[s].right) << c.method << s;
      EXPECT_NEAR(tree[s].distance, c.records[s].distance, 1e-12) << c.method << s;
    }
  }
}

TEST(GetTree, RejectsAnUnknownMethod) {
  Fixture f(0, {0, 0, 0, 0, 0});
  try {
    f.move->getTree({0, 1, 2}, "ward");
    FAIL() << "no error";
  } catch (const RunError& e) {
    EXPECT_STREQ(e.what(), "LatentClass::getTree(): this method not supported: ward");
  }
}

struct IsSplitCase {
  std::vector<int> members;
  std::vector<int> split;
  bool includeLeafNode;
  bool found;
  int node;  // where the search stopped when found
};

TEST(IsHSplit, FindsTreeSplitsUpToComplement) {
  const IsSplitCase cases[] = {
      {{0, 1, 2, 3}, {1, 1, 0, 0}, false, true, -1},
      {{0, 1, 2, 3}, {0, 0, 1, 1}, false, true, -1},  // complement
      {{0, 1, 2, 3}, {1, 1, 1, 0}, false, false, 0},   // the root's other child is not listed
      {{0, 1, 2, 3}, {1, 1, 1, 0}, true, true, 3},     // ... but leaf 3 is
      {{0, 1, 2, 3}, {0, 0, 1, 0}, true, true, 2},
      {{0, 1, 2, 3}, {1, 0, 1, 0}, true, false, 0},
      {{2, 3, 4}, {0, 0, 1}, false, false, 0},  // three members, no leaves: nothing
      {{2, 3, 4}, {0, 0, 1}, true, true, 2},
      {{2, 3, 4}, {1, 1, 0}, true, true, 2},
      {{0, 1}, {0, 1}, true, true, 1},  // two members: leaf 1 only
      {{0, 1}, {1, 0}, true, true, 1},
      {{0, 1}, {0, 1}, false, false, 0},
  };
  for (const auto& c : cases) {
    Fixture f(0, {0, 0, 0, 0, 0}, c.includeLeafNode);
    int node = 99;
    EXPECT_EQ(f.move->ishsplit(c.split, c.members, node), c.found);
    if (c.found) {
      EXPECT_EQ(node, c.node);
    }
  }
}

TEST(TreeSplits, AClusterOfMOffersMMinus3OrWithLeaves2MMinus3) {
  const std::vector<double> points = {0.0, 0.7, 1.1, 2.6, 3.0, 4.4};
  const int withoutLeaves[] = {0, 0, 0, 1, 2, 3};
  const int withLeaves[] = {0, 1, 3, 5, 7, 9};
  for (int m = 1; m <= 6; m++)
    for (bool leaves : {false, true})
      for (bool flat : {false, true}) {
        // One cluster of m, open k: one entry (the pure split) per tree split.
        Fixture f(0, std::vector<int>(m, 0), leaves, flat,
                  std::vector<double>(points.begin(), points.begin() + m));
        EXPECT_EQ(f.table(f.sampler.state.zold, 1).size(),
                  static_cast<size_t>(leaves ? withLeaves[m - 1] : withoutLeaves[m - 1]))
            << m << leaves << flat;
      }
  // Two members with leaves: leaf 1 against leaf 0, the split into two singletons.
  Fixture f(0, {0, 0}, true, false, {0.0, 0.7});
  const std::vector<double> t = f.table({0, 0}, 1);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_DOUBLE_EQ(t[0], f.lik({0, 1}, 2));
}

// ---------------------------------------------------------------------------------------
// Neighbour tables

TEST(ShMNeighbor, ScoredTableLayoutOpenK) {
  // Cluster 0 = {0,1,2,3} has one tree split without leaves, {0,1} against {2,3};
  // cluster 1 = {4} has none. One block of 3 pairs, then the pure merge.
  Fixture f(0, {0, 0, 0, 0, 1});
  const std::vector<double> t = f.table(f.sampler.state.zold, 2);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_DOUBLE_EQ(t[0], f.lik({1, 1, 0, 0, 0}, 2));  // (1,0): {4} joins {2,3}
  EXPECT_DOUBLE_EQ(t[1], f.lik({2, 2, 0, 0, 1}, 3));  // (2,0), undo pair: pure split
  EXPECT_DOUBLE_EQ(t[2], f.lik({1, 1, 0, 0, 1}, 2));  // (2,1): {0,1} joins {4}
  EXPECT_DOUBLE_EQ(t[3], f.lik({0, 0, 0, 0, 0}, 1));  // pure merge
  const auto logLines = lines(f.log.str());
  ASSERT_EQ(logLines.size(), 2u);
  EXPECT_EQ(fieldCount(logLines[0]), 3);  // the split block
  EXPECT_EQ(fieldCount(logLines[1]), 1);  // the pure merges

}

TEST(ShMNeighbor, ScoredTableWithLeavesOpenK) {
  // Blocks: node -1, then leaves 0, 1, 2, 3 of cluster 0; then the pure merge.
  Fixture f(0, {0, 0, 0, 0, 1}, true);
  const std::vector<double> t = f.table(f.sampler.state.zold, 2);
  ASSERT_EQ(t.size(), 16u);
  EXPECT_DOUBLE_EQ(t[0], f.lik({1, 1, 0, 0, 0}, 2));
  EXPECT_DOUBLE_EQ(t[1 * 3 + 2], f.lik({1, 0, 0, 0, 1}, 2));  // leaf 0 joins {4}
  EXPECT_DOUBLE_EQ(t[2 * 3 + 1], f.lik({0, 2, 0, 0, 1}, 3));  // leaf 1 alone
  EXPECT_DOUBLE_EQ(t[4 * 3 + 0], f.lik({0, 0, 0, 1, 0}, 2));  // {4} joins {0,1,2}
  EXPECT_DOUBLE_EQ(t[15], f.lik({0, 0, 0, 0, 0}, 1));
  EXPECT_EQ(lines(f.log.str()).size(), 6u);
}

TEST(ShMNeighbor, FixedKHasNoUndoPairAndNoPureMerge) {
  Fixture f(2, {0, 0, 0, 0, 1});
  std::vector<double> t = f.table(f.sampler.state.zold, 2);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_DOUBLE_EQ(t[0], f.lik({1, 1, 0, 0, 0}, 2));
  EXPECT_EQ(t[1], -kInf);
  EXPECT_DOUBLE_EQ(t[2], f.lik({1, 1, 0, 0, 1}, 2));
  EXPECT_EQ(t[3], -kInf);

  // Split cluster 1: its undo pair (2,1) is the third of the block.
  f.setZ({1, 1, 1, 1, 0});
  t = f.table(f.sampler.state.zold, 2);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_DOUBLE_EQ(t[0], f.lik({1, 1, 0, 0, 0}, 2));  // (1,0): {2,3} joins {4}
  EXPECT_DOUBLE_EQ(t[1], f.lik({0, 0, 1, 1, 0}, 2));  // (2,0): {0,1} joins {4}
  EXPECT_EQ(t[2], -kInf);
  EXPECT_EQ(t[3], -kInf);
}

TEST(ShMNeighbor, FlatWeightsAndTheirLog) {
  struct FlatCase {
    int k;
    bool leaves;
    std::vector<double> expected;
  };
  const double l2 = -std::log(2.0), l4 = -std::log(4.0), l10 = -std::log(10.0),
               l16 = -std::log(16.0);
  std::vector<double> fixedLeaves;
  for (int b = 0; b < 5; b++) fixedLeaves.insert(fixedLeaves.end(), {l10, -kInf, l10});
  fixedLeaves.push_back(-kInf);
  const FlatCase cases[] = {
      {0, false, {l4, l4, l4, l4}},
      {2, false, {l2, -kInf, l2, -kInf}},
      {0, true, std::vector<double>(16, l16)},
      {2, true, fixedLeaves},
  };
  for (const auto& c : cases) {
    Fixture f(c.k, {0, 0, 0, 0, 1}, c.leaves, true);
    const std::vector<double> t = f.table(f.sampler.state.zold, 2);
    ASSERT_EQ(t.size(), c.expected.size());
    for (size_t d = 0; d < t.size(); d++) EXPECT_DOUBLE_EQ(t[d], c.expected[d]) << d;
  }
  Fixture f(2, {0, 0, 0, 0, 1}, false, true);
  f.table(f.sampler.state.zold, 2);
  EXPECT_EQ(f.log.str(), "-0.693147 -inf -0.693147 \n-inf \n");
}

TEST(ShMNeighbor, FixedKWithoutTreeSplitsHasNoValidEntry) {
  for (bool flat : {false, true}) {
    Fixture f(2, {0, 0, 0, 1, 1}, false, flat);
    const std::vector<double> t = f.table(f.sampler.state.zold, 2);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0], -kInf);
    EXPECT_EQ(f.log.str(), "-inf \n");
    EXPECT_EQ(f.move->treeProposalLogProb(f.sampler.scorer, f.sampler.state.zold.data(), 2, 0.0), -kInf);
  }
}

// ---------------------------------------------------------------------------------------
// Proposal probabilities

TEST(GetW, TreeProbabilityOfOneNeighbour) {
  Fixture f(0, {0, 0, 0, 0, 1});
  const std::vector<double> scores = {f.lik({1, 1, 0, 0, 0}, 2), f.lik({2, 2, 0, 0, 1}, 3),
                                      f.lik({1, 1, 0, 0, 1}, 2), f.lik({0, 0, 0, 0, 0}, 1)};
  EXPECT_NEAR(f.move->treeProposalLogProb(f.sampler.scorer, f.sampler.state.zold.data(), 2, scores[2]),
              scores[2] - logSumExp(scores), 1e-12);
  f.move->flatHeuristicProb = true;
  EXPECT_DOUBLE_EQ(f.move->treeProposalLogProb(f.sampler.scorer, f.sampler.state.zold.data(), 2, scores[2]),
                   -std::log(4.0));

  Fixture fixed(2, {0, 0, 0, 0, 1}, false, true);
  EXPECT_DOUBLE_EQ(fixed.move->treeProposalLogProb(fixed.sampler.scorer, fixed.sampler.state.zold.data(), 2, 0.0),
                   -std::log(2.0));

  // An empty table: one cluster of three, no leaves.
  for (bool flat : {false, true}) {
    Fixture small(0, {0, 0, 0}, false, flat, {0.0, 0.1, 1.0});
    EXPECT_EQ(small.move->treeProposalLogProb(small.sampler.scorer, small.sampler.state.zold.data(), 1, 0.0),
              -kInf);
  }
}

TEST(SuMNeighborhoodSize, CountsUnorderedSplitsTimesMergePairs) {
  struct SizeCase {
    int k;  // 0: open
    std::vector<int> z;
    std::vector<double> perCluster;
    double logSize;
  };
  const SizeCase cases[] = {
      {0, {0, 0, 0, 1, 2}, {std::log(3.0), -kInf, -kInf}, std::log(3.0 * 6)},
      {3, {0, 0, 0, 1, 2}, {std::log(3.0), -kInf, -kInf}, std::log(3.0 * 5)},
      {0, {0, 0, 1, 1, 1}, {0.0, std::log(3.0)}, std::log(4.0 * 3)},
      {2, {0, 0, 1, 1, 1}, {0.0, std::log(3.0)}, std::log(4.0 * 2)},
      {0, {0, 1, 2, 3, 4}, {-kInf, -kInf, -kInf, -kInf, -kInf}, -kInf},
      {1, {0, 0, 0, 0, 0}, {std::log(15.0)}, -kInf},  // the only pair is the undo pair
  };
  for (const auto& c : cases) {
    Fixture f(c.k, c.z);
    std::vector<double> perCluster(c.perCluster.size());
    const double logSize =
        f.move->uniformNeighbourhoodSize(c.z.data(), labelCount(c.z), perCluster.data());
    for (size_t j = 0; j < perCluster.size(); j++) EXPECT_DOUBLE_EQ(perCluster[j], c.perCluster[j]);
    if (std::isinf(c.logSize))
      EXPECT_EQ(logSize, c.logSize);
    else
      EXPECT_NEAR(logSize, c.logSize, 1e-12);
  }
}

TEST(W2Q, MixesTreeAndUniformProbabilities) {
  struct QCase {
    int k;  // 0: open
    std::vector<int> z;
    double p, w;
    bool merge;
    double expected;
  };
  const double w = std::log(0.25);
  const std::vector<int> z = {0, 0, 0, 1, 1};  // 4 splits; 3 pairs open, 2 fixed
  const std::vector<int> alone = {0, 1, 2, 3, 4};
  const QCase cases[] = {
      {0, z, 0.9, w, false, std::log(0.9 * 0.25 + 0.1 / 12)},
      {2, z, 0.9, w, false, std::log(0.9 * 0.25 + 0.1 / 8)},
      {0, z, 0.9, -kInf, false, std::log(0.1 / 12)},
      {2, z, 0.0, w, false, -std::log(8.0)},
      {0, z, 0.9, w, true, std::log(0.9 * 0.25)},
      {0, alone, 0.9, w, true, w},                       // every observation alone: tree only
      {0, alone, 0.9, w, false, std::log(0.9 * 0.25)},  // no uniform step exists
  };
  for (const auto& c : cases) {
    Fixture f(c.k, c.z);
    f.setP(c.p);
    EXPECT_NEAR(f.move->mixedProposalLogProb(c.w, c.z.data(), labelCount(c.z), c.merge), c.expected, 1e-12);
  }
}

TEST(RandomSplit, TwoEntriesGiveEachOrderWithProbabilityHalf) {
  Fixture f(0, {0, 0, 0, 0, 0});
  _rng.initialize(11);
  mersenne replay;
  replay.initialize(11);
  int zeroFirst = 0;
  const int calls = 4000;
  for (int c = 0; c < calls; c++) {
    std::vector<int> split(2, 5);
    f.move->randomSplit(split);
    // Whole pairs are redrawn until the two entries differ.
    int a, b;
    do {
      a = replay.runif() < 0.5 ? 0 : 1;
      b = replay.runif() < 0.5 ? 0 : 1;
    } while (a == b);
    ASSERT_EQ(split, (std::vector<int>{a, b}));
    if (a == 0) zeroFirst++;
  }
  EXPECT_NEAR(zeroFirst, calls / 2, 4 * std::sqrt(calls / 4.0));
  std::vector<int> one(1);
  EXPECT_THROW(f.move->randomSplit(one), RunError);
}

// ---------------------------------------------------------------------------------------
// The move

// Draws the move consumed: refresh (one position of four) and the mechanism only.
void expectTwoDraws(unsigned seed) {
  mersenne replay;
  replay.initialize(seed);
  replay.runif();
  replay.runif();
  EXPECT_EQ(myunif_rand(), replay.runif());
}

TEST(SMSampler, NothingToProposeLeavesThePartitionAlone) {
  struct RejectCase {
    const char* what;
    int k;
    std::vector<int> z;
    double p;
    std::string log;
  };
  const RejectCase cases[] = {
      {"fixed single cluster, uniform proposal", 1, {0, 0, 0, 0, 0}, 0.0,
       "no split-merge step to propose\n"},
      {"fixed k, no tree split", 2, {0, 0, 0, 1, 1}, 1.0,
       "-inf \nno split-merge step to propose\n"},
      {"fixed k = n", 5, {0, 1, 2, 3, 4}, 0.0,
       "-inf -inf -inf -inf -inf -inf -inf -inf -inf -inf \nno split-merge step to propose\n"},
  };
  for (const auto& c : cases) {
    Fixture f(c.k, c.z);
    f.setP(c.p);
    _rng.initialize(5);
    f.SMsampler();
    EXPECT_EQ(f.log.str(), c.log) << c.what;
    EXPECT_EQ(f.sampler.state.zold, c.z) << c.what;
    EXPECT_EQ(f.sampler.state.kold, c.k) << c.what;
    EXPECT_EQ(f.sampler.state.acceptanceCnt, 0) << c.what;
    expectTwoDraws(5);
  }
}

std::vector<int> clusterSizes(const std::vector<int>& z, int k) {
  std::vector<int> sizes(k);
  Arrays::table(z, sizes.data(), k);
  return sizes;
}

double logUniformSize(const std::vector<int>& z, bool infmix) {
  const int k = labelCount(z);
  double splits = 0;
  for (int size : clusterSizes(z, k)) splits += std::pow(2.0, size - 1) - 1;
  return std::log(splits) + std::log(k * (k + 1) / 2.0 - (infmix ? 0 : 1));
}

TEST(SMSampler, FixedKUniformOnlyRatioUsesBothNeighbourhoodSizes) {
  Fixture f(2, {0, 0, 0, 1, 1});
  f.setP(0);
  _rng.initialize(3);
  int accepted = 0;
  for (int move = 0; move < 40; move++) {
    f.log.str("");
    const std::vector<int> before = f.sampler.state.zold;
    f.SMsampler();
    const auto logLines = lines(f.log.str());
    ASSERT_EQ(logLines.size(), 3u);  // no tree, no table
    EXPECT_EQ(labelsOf(logLines[0]), before);
    const std::vector<int> proposed = labelsOf(logLines[1]);
    EXPECT_EQ(labelCount(proposed), 2);
    const auto fields = splitOn(logLines[2], "    ");
    ASSERT_EQ(fields.size(), 5u);
    const double oldlik = std::stod(fields[0]), newlik = std::stod(fields[1]);
    const double forward = std::stod(fields[2]), backward = std::stod(fields[3]);
    EXPECT_NEAR(oldlik, f.lik(before, 2), 1e-4);
    EXPECT_NEAR(newlik, f.lik(proposed, 2), 1e-4);
    EXPECT_NEAR(forward, -logUniformSize(before, false), 1e-5);
    EXPECT_NEAR(backward, -logUniformSize(proposed, false), 1e-5);
    const double ratio = std::exp(f.lik(proposed, 2) - f.lik(before, 2) +
                                  logUniformSize(before, false) - logUniformSize(proposed, false));
    EXPECT_NEAR(std::stod(fields[4]), ratio, 1e-5 * ratio);  // six significant digits
    if (f.sampler.state.zold != before) {
      accepted++;
      EXPECT_EQ(f.sampler.state.zold, proposed);
    }
  }
  EXPECT_EQ(f.sampler.state.acceptanceCnt, accepted);
  EXPECT_GT(accepted, 0);
}

TEST(SMSampler, UniformProposalDrawsClusterSplitAndPairInOrder) {
  // Fixed k = 2, p = 0: replay the draws of the uniform proposal by hand.
  Fixture f(2, {0, 0, 0, 1, 1, 1}, false, false, {0.0, 0.3, 1.4, 1.6, 2.9, 3.3});
  f.setP(0);
  for (int move = 0; move < 60; move++) {
    f.log.str("");
    const std::vector<int> before = f.sampler.state.zold;
    _rng.initialize(200 + move);
    f.SMsampler();
    mersenne replay;
    replay.initialize(200 + move);
    replay.runif();  // one position of four for the distances
    replay.runif();  // mechanism: uniform, as p = 0
    // Cluster, with probability proportional to its 2^(m-1) - 1 splits.
    const std::vector<int> sizes = clusterSizes(before, 2);
    const double w0 = std::pow(2.0, sizes[0] - 1) - 1, w1 = std::pow(2.0, sizes[1] - 1) - 1;
    const int toSplit = w0 / (w0 + w1) > replay.runif() ? 0 : 1;
    // Whole split vectors until both groups occur.
    std::vector<int> split(sizes[toSplit]);
    for (bool mixed = false; !mixed;) {
      for (int& e : split) e = replay.runif() < 0.5 ? 0 : 1;
      mixed = std::count(split.begin(), split.end(), 1) % sizes[toSplit] != 0;
    }
    // Pairs (1,0), (2,0), (2,1), redrawn while the undo pair (2, toSplit).
    const int rows[] = {1, 2, 2}, cols[] = {0, 0, 1};
    int seqno;
    do seqno = static_cast<int>(replay.runif() * 3);
    while (rows[seqno] == 2 && cols[seqno] == toSplit);
    std::vector<int> expected(6);
    f.move->splitMerge(before.data(), 2, toSplit, split, rows[seqno], cols[seqno],
                         expected.data(), false);
    const auto logLines = lines(f.log.str());
    ASSERT_EQ(logLines.size(), 3u);
    EXPECT_EQ(labelsOf(logLines[1]), expected) << move;
    replay.runif();  // acceptance
    EXPECT_EQ(myunif_rand(), replay.runif()) << move;
  }
}

TEST(SMSampler, TreeProposalNamesItsStepAndScoresTheDrawnEntry) {
  // p = 1: every move draws from the tree table, whose forward probability is the drawn
  // entry's share of the table -- which must be the score of the partition proposed.
  TinyModel model({0.0, 0.3, 1.4, 1.6, 2.9, 3.3});
  std::ostringstream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0.0, log, "UX");
  TreeGuidedSplitMerge tree(model.n, true, TreeMoveSettings{FlatProposal::Never, true, 1.0},
                            sampler.debug);
  _rng.initialize(4);
  sampler.initZ("");
  int kinds[3] = {0, 0, 0};
  for (int move = 0; move < 150; move++) {
    log.str("");
    const std::vector<int> before = sampler.state.zold;
    const int kold = sampler.state.kold;
    _rng.initialize(100 + move);
    stepOn(tree, sampler);
    const auto logLines = lines(log.str());
    // Forward table: one line per tree split and the pure-merge line, then the step.
    size_t at = 0;
    int tableSize = 0;
    while (at < logLines.size() && logLines[at] != "merge" && logLines[at] != "split" &&
           logLines[at] != "splitmerge")
      tableSize += fieldCount(logLines[at++]);
    ASSERT_LT(at + 2, logLines.size());
    // Draws: refresh, mechanism, the table draw unless one entry, acceptance.
    mersenne replay;
    replay.initialize(100 + move);
    for (int d = tableSize > 1 ? 4 : 3; d > 0; d--) replay.runif();
    EXPECT_EQ(myunif_rand(), replay.runif());
    EXPECT_EQ(labelsOf(logLines[at + 1]), before);
    const std::vector<int> proposed = labelsOf(logLines[at + 2]);
    const int knew = labelCount(proposed);
    if (logLines[at] == "merge") {
      kinds[0]++;
      EXPECT_EQ(knew, kold - 1);
    } else if (logLines[at] == "split") {
      kinds[1]++;
      EXPECT_EQ(knew, kold + 1);
    } else {
      kinds[2]++;
      EXPECT_EQ(knew, kold);
    }
    const std::vector<int> proposedSizes = clusterSizes(proposed, knew);
    EXPECT_EQ(std::count(proposedSizes.begin(), proposedSizes.end(), 0), 0);
    const auto fields = splitOn(logLines.back(), "    ");
    ASSERT_EQ(fields.size(), 5u);
    // With p = 1 the forward probability is the tree probability alone. The distances of
    // this move are still in place, so the forward table can be rebuilt.
    const double w = tree.treeProposalLogProb(sampler.scorer, before.data(), kold,
                               sampler.scorer.getTotalLik(proposed.data(), knew));
    EXPECT_NEAR(std::stod(fields[2]), w, 1e-4 * (1 + std::fabs(w)));
    // Labels stay contiguous and sizes current.
    const std::vector<int> sizes = clusterSizes(sampler.state.zold, sampler.state.kold);
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 0), 0);
    for (int j = 0; j < sampler.state.kold; j++)
      EXPECT_EQ(sampler.state.clusterSizes0[j], sizes[j]);
  }
  EXPECT_GT(kinds[0], 0);
  EXPECT_GT(kinds[1], 0);
  EXPECT_GT(kinds[2], 0);
}

}  // namespace
