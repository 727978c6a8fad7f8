// The diagonal and ordinal models under every move family: on five or six rows a long run
// visits each partition with its probability from the exact enumeration of all partitions.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "models/diagonal.h"
#include "models/ordinal.h"
#include "sampler/moves/SplitMerge.h"
#include "sampler/moves/TreeGuided.h"
#include "stats/rvgs.h"
#include "support/RowModels.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

enum class Model { Diagonal, Ordinal };

struct Case {
  Model model;
  const char* move;
  ScoringMode mode;
  int k;
  long iterations;
  double maxTotalVariation;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
  return os << (c.model == Model::Diagonal ? "diagonal " : "ordinal ") << c.move << " k=" << c.k;
}

// Rows close enough that every block count has weight; six for the tree move.
std::string rows(Model model, bool six) {
  if (model == Model::Diagonal)
    return std::string("0.0 0.2 5\n0.3 -0.1 4\n1.4 0.9 6\n1.6 1.2 5\n2.9 2.1 3\n") +
           (six ? "3.2 2.0 4\n" : "");
  return std::string("0 1 3\n1 1 4\n2 3 3\n3 2 NA\n4 4 2\n") + (six ? "4 3 1\n" : "");
}

std::unique_ptr<Observable> build(Model kind, const std::string& file, ScoringMode mode) {
  return kind == Model::Diagonal ? rowModel<diagonal>(file, "1", mode)
                                 : rowModel<ordinal>(file, "0.5 0.5", mode);
}

std::unique_ptr<Move> moveFor(const Case& c, int n, DebugLog debug) {
  const std::string name = c.move;
  if (name == "OA") return std::make_unique<OneAtATime>(n, debug);
  if (name == "JN") return std::make_unique<JainNealSplitMerge>(n, debug);
  if (name == "SR") return std::make_unique<RandomSplitMerge>(n, debug);
  return std::make_unique<TreeGuidedSplitMerge>(
      n, c.k <= 0, TreeMoveSettings{FlatProposal::Never, true, 0.9}, debug);
}

class NewModelInvariance : public ::testing::TestWithParam<Case> {};

TEST_P(NewModelInvariance, MatchesTheExactDistribution) {
  const Case c = GetParam();
  TempDir dir;
  dir.write("rows.dat", rows(c.model, std::string(c.move) == "UX"));
  auto targetModel = build(c.model, dir.file("rows.dat"), ScoringMode::Reference);
  auto model = build(c.model, dir.file("rows.dat"), c.mode);
  NullStream log;
  PartitionSampler target(c.k, targetModel->n, INTEGRATED, targetModel.get(), 0.0, log, c.move,
                          ScoringMode::Reference);
  auto exact = exactDistribution(target, allSetPartitions(targetModel->n, c.k));
  PartitionSampler sampler(c.k, model->n, INTEGRATED, model.get(), 0.0, log, c.move, c.mode);
  _rng.initialize(8);
  sampler.initZ("");
  const std::unique_ptr<Move> move = moveFor(c, model->n, sampler.debug);
  std::map<std::vector<int>, long> counts;
  for (long it = 0; it < c.iterations; it++) {
    stepOn(*move, sampler);
    counts[canonical(sampler.state.zold.data(), sampler.state.n)]++;
  }
  EXPECT_LT(totalVariation(exact, counts), c.maxTotalVariation);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, NewModelInvariance,
    ::testing::Values(Case{Model::Diagonal, "OA", ScoringMode::Exact, 0, 60000, 0.02},
                      Case{Model::Diagonal, "OA", ScoringMode::Fast, 2, 60000, 0.02},
                      Case{Model::Diagonal, "JN", ScoringMode::Exact, 0, 250000, 0.03},
                      Case{Model::Diagonal, "UX", ScoringMode::Fast, 0, 60000, 0.06},
                      Case{Model::Ordinal, "OA", ScoringMode::Exact, 0, 60000, 0.02},
                      Case{Model::Ordinal, "OA", ScoringMode::Exact, 3, 60000, 0.02},
                      Case{Model::Ordinal, "SR", ScoringMode::Exact, 0, 250000, 0.03},
                      Case{Model::Ordinal, "UX", ScoringMode::Exact, 2, 60000, 0.06}));

}  // namespace
