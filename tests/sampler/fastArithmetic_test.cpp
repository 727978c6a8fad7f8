// Fast arithmetic (-x): kmeans2 and mclust2 score clusters from running moments. The scores
// agree with the exact mode to about 1e-12 relative, also after a sweep's worth of
// observations joining and leaving; and every move family, run on them in the fast mode,
// still visits the partitions of a few rows with the probabilities of the exact scores.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "sampler/moves/SplitMerge.h"
#include "sampler/moves/TreeGuided.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

enum class Kind { Kmeans, Mclust };

std::unique_ptr<RealRows> build(Kind kind, const std::string& file, ScoringMode mode) {
  static std::ostringstream log;
  CaptureStdout quiet;
  std::unique_ptr<RealRows> model;
  if (kind == Kind::Kmeans) {
    model = std::make_unique<kmeans2>(file, log, 1.0);
  } else {
    std::stringstream prior("1");
    model = std::make_unique<mclust2>(file, prior, log, 1.0);
  }
  model->scoring = mode;
  return model;
}

// Rows of three columns in four groups, two of them far from the overall mean, where the
// centred sums matter most.
std::string groupedRows(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  const double centres[4][3] = {{0, 0, 0}, {6, -3, 2}, {40, 35, -50}, {-45, 60, 30}};
  std::ostringstream out;
  out.precision(17);
  for (int i = 0; i < n; i++) {
    const double* c = centres[i % 4];
    out << c[0] + noise(gen) << ' ' << c[1] + 0.5 * noise(gen) << ' ' << c[2] + 2 * noise(gen)
        << '\n';
  }
  return out.str();
}

double relative(double a, double b) { return std::fabs(a - b) / std::max(1.0, std::fabs(b)); }

TEST(FastArithmetic, ScoresAgreeWithTheExactModeToAbout1e12) {
  TempDir dir;
  const int n = 200;
  dir.write("rows.dat", groupedRows(n, 5));
  for (Kind kind : {Kind::Kmeans, Kind::Mclust}) {
    SCOPED_TRACE(kind == Kind::Kmeans ? "kmeans2" : "mclust2");
    auto exact = build(kind, dir.file("rows.dat"), ScoringMode::Exact);
    auto fast = build(kind, dir.file("rows.dat"), ScoringMode::Fast);
    ASSERT_EQ(fast->momentsSize(), 6);
    ASSERT_EQ(exact->momentsSize(), 0);
    // A partition into the generating groups, each split in two, then a sweep's worth of
    // random moves applied to running moments: they must still score like exact sums.
    std::vector<int> z(n);
    for (int i = 0; i < n; i++) z[i] = i % 4 + 4 * (i % 8 >= 4);
    const int k = 8;
    std::vector<double> moments(static_cast<size_t>(k) * 6, 0.0);
    std::vector<int> sizes(k, 0);
    for (int i = 0; i < n; i++) {
      fast->addToMoments(i, &moments[z[i] * 6], +1);
      sizes[z[i]]++;
    }
    for (int j = 0; j < k; j++)
      EXPECT_LT(relative(fast->getClusterFit(z.data(), j), exact->getClusterFit(z.data(), j)),
                1e-12);
    std::mt19937 gen(9);
    double worst = 0;
    for (int step = 0; step < 2 * n; step++) {
      const int i = static_cast<int>(gen() % n), to = static_cast<int>(gen() % k);
      if (sizes[z[i]] == 1) continue;
      fast->addToMoments(i, &moments[z[i] * 6], -1);
      fast->addToMoments(i, &moments[to * 6], +1);
      sizes[z[i]]--;
      sizes[to]++;
      z[i] = to;
      for (int j : {to}) {
        const double running = fast->scoreMoments(&moments[j * 6], sizes[j]);
        worst = std::max(worst, relative(running, exact->getClusterFit(z.data(), j)));
      }
    }
    EXPECT_LT(worst, 1e-12);
    EXPECT_GT(worst, 0.0);  // the two really are computed differently
  }
}

TEST(FastArithmetic, ExactModeModelsOfferMemberListsInstead) {
  TempDir dir;
  dir.write("rows.dat", groupedRows(12, 2));
  for (Kind kind : {Kind::Kmeans, Kind::Mclust}) {
    auto exact = build(kind, dir.file("rows.dat"), ScoringMode::Exact);
    auto reference = build(kind, dir.file("rows.dat"), ScoringMode::Reference);
    EXPECT_TRUE(exact->scoresMemberLists());
    EXPECT_FALSE(reference->scoresMemberLists());
    const std::vector<int> z = {0, 1, 0, 0, 2, 1, 0, 2, 2, 0, 1, 0};
    const std::vector<int> members0 = {0, 2, 3, 6, 9, 11};
    const double listed = exact->scoreMembers(members0.data(), 6);
    const double plain = reference->getClusterFit(z.data(), 0);
    EXPECT_EQ(std::memcmp(&listed, &plain, sizeof listed), 0);
  }
}

// ---------------------------------------------------------------------------------------
// Invariance on five or six rows

struct MoveCase {
  const char* name;
  Kind kind;
  int k;
  int iterations;
  double maxTotalVariation;
};

std::ostream& operator<<(std::ostream& os, const MoveCase& c) {
  return os << c.name << (c.kind == Kind::Kmeans ? " kmeans2" : " mclust2") << " k=" << c.k;
}

// Two columns; rows close enough that every block count has weight.
const char* const kFiveRows = "0.0 0.2\n0.3 -0.1\n1.4 0.9\n1.6 1.2\n2.9 2.1\n";
const char* const kSixRows = "0.0 0.2\n0.3 -0.1\n1.4 0.9\n1.6 1.2\n2.9 2.1\n3.2 2.0\n";

std::unique_ptr<Move> makeMove(const MoveCase& c, int n, DebugLog debug) {
  const std::string name = c.name;
  if (name == "OA") return std::make_unique<OneAtATime>(n, debug);
  if (name == "JN") return std::make_unique<JainNealSplitMerge>(n, debug);
  if (name == "SR") return std::make_unique<RandomSplitMerge>(n, debug);
  return std::make_unique<TreeGuidedSplitMerge>(
      n, c.k <= 0, TreeMoveSettings{FlatProposal::Never, true, 0.9}, debug);
}

class FastArithmeticInvariance : public ::testing::TestWithParam<MoveCase> {};

TEST_P(FastArithmeticInvariance, MatchesTheExactDistribution) {
  const MoveCase c = GetParam();
  TempDir dir;
  const std::string rows = std::string(c.name) == "UX" ? kSixRows : kFiveRows;
  dir.write("rows.dat", rows);
  auto exactModel = build(c.kind, dir.file("rows.dat"), ScoringMode::Exact);
  auto fastModel = build(c.kind, dir.file("rows.dat"), ScoringMode::Fast);
  NullStream log;
  // The target: exp of the exact total score over all partitions.
  PartitionSampler target(c.k, exactModel->n, INTEGRATED, exactModel.get(), 0.0, log, c.name,
                          ScoringMode::Exact);
  auto exact = exactDistribution(target, allSetPartitions(exactModel->n, c.k));
  PartitionSampler sampler(c.k, fastModel->n, INTEGRATED, fastModel.get(), 0.0, log, c.name,
                           ScoringMode::Fast);
  _rng.initialize(4);
  sampler.initZ("");
  const std::unique_ptr<Move> move = makeMove(c, fastModel->n, sampler.debug);
  std::map<std::vector<int>, long> counts;
  for (int it = 0; it < c.iterations; it++) {
    stepOn(*move, sampler);
    counts[canonical(sampler.state.zold.data(), sampler.state.n)]++;
  }
  EXPECT_LT(totalVariation(exact, counts), c.maxTotalVariation);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, FastArithmeticInvariance,
    ::testing::Values(MoveCase{"OA", Kind::Mclust, 0, 60000, 0.02},
                      MoveCase{"OA", Kind::Kmeans, 0, 60000, 0.02},
                      MoveCase{"OA", Kind::Mclust, 2, 60000, 0.02},
                      MoveCase{"OA", Kind::Kmeans, 3, 60000, 0.02},
                      MoveCase{"JN", Kind::Mclust, 0, 250000, 0.03},
                      MoveCase{"SR", Kind::Kmeans, 0, 250000, 0.03},
                      MoveCase{"UX", Kind::Mclust, 0, 60000, 0.06},
                      MoveCase{"UX", Kind::Kmeans, 2, 60000, 0.06}));

}  // namespace
