// -p shared: cluster profiles drawn around each column's profile over all rows. Scores against
// Dirichlet-multinomial values worked by hand (products of the predictive shares), the texts
// and log line the prior name gives, and chains against the exact distribution.
#include "models/ColumnProfilePrior.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/catalog.h"
#include "sampler/moves/SplitMerge.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

// A prior text of components (weight, concentration) over 20 categories, ending "shared".
std::string sharedText(const std::vector<std::pair<double, double>>& components) {
  std::ostringstream text;
  text << components.size() << " 20\n";
  for (const auto& c : components) {
    text << c.first;
    for (int w = 0; w < 20; w++) text << ' ' << c.second / 20;
    text << '\n';
  }
  return text.str() + "shared";
}

std::unique_ptr<Observable> make(const TempDir& dir, const char* model, const std::string& file,
                                 const std::string& data, std::istream& prior, std::ostream& log) {
  dir.write(file, data);
  CaptureStdout quiet;
  return findModel(model)->make(dir.file(file), prior, log);
}

std::unique_ptr<Observable> makeNamed(const TempDir& dir, const char* model, const std::string& file,
                                      const std::string& data, std::ostream& log) {
  std::string name = "shared";
  std::stringstream text;
  EXPECT_TRUE(findModel(model)->writePriorText(name, text));
  return make(dir, model, file, data, text, log);
}

// Column 0 holds 0, 0, 1, 2 (frequencies 1/2, 1/4, 1/4); column 1 is constant (scores 0).
const char* const kMatrix = "0 7\n0 7\n1 7\n2 7\n";

TEST(SharedPrior, WorkedDirichletMultinomials) {
  struct Case {
    const char* name;
    std::vector<std::pair<double, double>> components;
    std::vector<int> z;  // cluster 0 scored
    double expected;
  } cases[] = {
      // Concentration 2: alpha = (1, 1/2, 1/2). Rows 0, 1: 1/2 x (1 + 1)/(2 + 1) = 1/3.
      {"two zeros", {{1, 2}}, {0, 0, 1, 1}, 1.0 / 3},
      // Rows 0, 2: 1/2 x (1/2)/3 = 1/12.
      {"zero and one", {{1, 2}}, {0, 1, 0, 1}, 1.0 / 12},
      // One row scores its column share whatever the concentration: 1/4.
      {"alone", {{0.25, 2}, {0.75, 20}}, {1, 1, 0, 1}, 1.0 / 4},
      // Every row: 1/2 x 2/3 x (1/2)/4 x (1/2)/5 = 1/240.
      {"every row", {{1, 2}}, {0, 0, 0, 0}, 1.0 / 240},
      // Concentration 20 gives rows 0, 1: 1/2 x 11/21; mixed 1/4 and 3/4 with 1/3.
      {"mixture", {{0.25, 2}, {0.75, 20}}, {0, 0, 1, 1}, 0.25 / 3 + 0.75 * 11.0 / 42},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::stringstream text(sharedText(c.components));
    std::ostringstream log;
    auto model = make(dir, "HDGBern", "m.dat", kMatrix, text, log);
    for (ScoringMode mode : {ScoringMode::Reference, ScoringMode::Exact}) {
      model->scoring = mode;
      EXPECT_NEAR(model->getClusterFit(c.z.data(), 0), std::log(c.expected), 1e-12);
    }
    // The additive statistics and the column terms give the same score.
    std::vector<int> stats(model->columnStatsSize(), 0);
    int members = 0;
    for (int i = 0; i < model->n; i++)
      if (c.z[i] == 0) {
        model->addToStats(i, stats.data(), 1);
        members++;
      }
    EXPECT_NEAR(model->scoreStats(stats.data(), members), std::log(c.expected), 1e-12);
    std::vector<double> terms(model->T);
    model->columnTerms(stats.data(), members, terms.data());
    EXPECT_NEAR(terms[0], std::log(c.expected), 1e-12);
    EXPECT_EQ(terms[1], 0.0);  // one value seen: certain
  }
}

TEST(SharedPrior, MissingCellsAreLeftOutOfTheProfile) {
  // Column 0 seen 0, 0, 1 (frequencies 2/3, 1/3); the NA row adds nothing to any count.
  TempDir dir;
  std::stringstream text(sharedText({{1, 3}}));
  std::ostringstream log;
  auto model = make(dir, "HDGBern", "na.dat", "0\n0\n1\nNA\n", text, log);
  // Rows 0, 1 at concentration 3, alpha = (2, 1): 2/3 x 3/4 = 1/2; the NA row changes nothing.
  const int pair[4] = {0, 0, 1, 1}, withNA[4] = {0, 0, 1, 0};
  EXPECT_NEAR(model->getClusterFit(pair, 0), std::log(0.5), 1e-12);
  EXPECT_NEAR(model->getClusterFit(withNA, 0), std::log(0.5), 1e-12);
}

TEST(SharedPrior, NamedPriorOfEachModel) {
  TempDir dir;
  struct Case {
    const char* model;
    const char* file;
    const char* data;
    int informative, columns;
  } cases[] = {
      {"HDBern", "b.dat", "0 1 1\n1 1 0\n1 1 1\n", 2, 3},
      {"HDGBern", "g.dat", kMatrix, 1, 2},
      {"ProteinSequence", "p.fasta", ">a\nACD\n>b\nACE\n>c\nWCD\n>d\nACD\n", 2, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    std::ostringstream log;
    makeNamed(dir, c.model, c.file, c.data, log);
    EXPECT_NE(log.str().find("Prior around the column profiles (shared): per column a mixture "
                             "of Dirichlets with mean the column's frequencies over all rows, "
                             "concentrations 1 10 100 1000; " +
                             std::to_string(c.informative) + " of " + std::to_string(c.columns) +
                             " columns show two or more values\n"),
              std::string::npos)
        << log.str();
  }
}

// The named protein prior: weights 0.1, 0.1, 0.1, 0.7 on concentrations 1, 10, 100, 1000. The
// residue terms are the difference from the flat prior, whose residue term is 1/20 per
// residue for one sequence and 1/20 x 2/21 for two equal ones; the transitions cancel.
TEST(SharedPrior, ProteinResidueTermsAgainstTheFlatPrior) {
  TempDir dir;
  const char* data = ">a\nACD\n>b\nACE\n>c\nWCD\n>d\nACD\n";
  std::ostringstream log;
  auto shared = makeNamed(dir, "ProteinSequence", "p.fasta", data, log);
  std::string flatName = "flat";
  std::stringstream flatText;
  findModel("ProteinSequence")->writePriorText(flatName, flatText);
  auto flat = make(dir, "ProteinSequence", "p.fasta", data, flatText, log);
  const double weights[4] = {0.1, 0.1, 0.1, 0.7}, s[4] = {1, 10, 100, 1000};
  // Two rows showing a residue of column share f: sum_k w_k f (s_k f + 1) / (s_k + 1).
  auto twoOf = [&](double f) {
    double p = 0;
    for (int k = 0; k < 4; k++) p += weights[k] * f * (s[k] * f + 1) / (s[k] + 1);
    return p;
  };
  // Column 0: A at 3/4, W at 1/4; column 1: C only (certain); column 2: D at 3/4, E at 1/4.
  const int a[4] = {0, 1, 1, 1};
  const int ad[4] = {0, 1, 1, 0};
  const int ab[4] = {0, 0, 1, 1};
  struct Case {
    const int* z;
    double residues, flatResidues;
  } cases[] = {
      {a, std::log(0.75) + std::log(0.75), 3 * std::log(1.0 / 20)},
      {ad, 2 * std::log(twoOf(0.75)), 3 * std::log(1.0 / 20 * 2.0 / 21)},
      // Column 2 of a and b: D then E, 3/4 x sum_k w_k (s_k / 4) / (s_k + 1).
      {ab, std::log(twoOf(0.75)) +
               std::log(0.75 * (0.1 * 0.25 / 2 + 0.1 * 2.5 / 11 + 0.1 * 25.0 / 101 +
                                0.7 * 250.0 / 1001)),
       2 * std::log(1.0 / 20 * 2.0 / 21) + std::log(1.0 / 20 * 1.0 / 21)},
  };
  for (const Case& c : cases)
    for (ScoringMode mode : {ScoringMode::Reference, ScoringMode::Exact}) {
      shared->scoring = flat->scoring = mode;
      EXPECT_NEAR(shared->getClusterFit(c.z, 0) - flat->getClusterFit(c.z, 0),
                  c.residues - c.flatResidues, 1e-10);
    }
}

// Long chains on five rows against the exact distribution of the shared prior.
struct ChainCase {
  const char* model;
  const char* file;
  const char* data;
  bool split;  // a random split-merge move, else one-at-a-time sweeps
  int k;
};

std::ostream& operator<<(std::ostream& os, const ChainCase& c) {
  return os << c.model << (c.split ? " SR" : " OA") << " k=" << c.k;
}

class SharedChains : public ::testing::TestWithParam<ChainCase> {};

// The correct moves stay near 0.01; the bound also checks that the target differs from the
// flat prior's by more than it.
TEST_P(SharedChains, MatchExactDistribution) {
  const ChainCase& c = GetParam();
  TempDir dir;
  NullStream log;
  auto model = makeNamed(dir, c.model, c.file, c.data, log);
  PartitionSampler sampler(c.k, model->n, INTEGRATED, model.get(), 0.0, log, "OA");
  sampler.debug.enabled = false;
  _rng.initialize(5);
  sampler.initZ("");
  const auto partitions = allSetPartitions(model->n, c.k);
  const auto exact = exactDistribution(sampler, partitions);

  std::string flatName = "flat";
  std::stringstream flatText;
  findModel(c.model)->writePriorText(flatName, flatText);
  auto flat = make(dir, c.model, c.file, c.data, flatText, log);
  PartitionSampler flatSampler(c.k, flat->n, INTEGRATED, flat.get(), 0.0, log, "OA");
  std::map<std::vector<int>, long> flatCounts;
  for (const auto& e : exactDistribution(flatSampler, partitions))
    flatCounts[e.first] = std::lround(e.second * 1e9);
  ASSERT_GT(totalVariation(exact, flatCounts), 0.08);

  std::unique_ptr<Move> move;
  if (c.split)
    move = std::make_unique<RandomSplitMerge>(model->n, sampler.debug);
  else
    move = std::make_unique<OneAtATime>(model->n, sampler.debug);
  const auto counts = chainCounts(sampler, *move, false, c.split ? 200000 : 40000);
  EXPECT_LT(totalVariation(exact, counts), 0.03);
}

const char* const kFasta = ">a\nAC-DK\n>b\nACLEK\n>c\nWKLDR\n>d\nW-LDR\n>e\nAKLEK\n";
const char* const kLevels = "0 3 1 5\n0 3 2 5\n2 1 1 5\n2 1 0 4\n0 3 1 5\n";

INSTANTIATE_TEST_SUITE_P(
    Moves, SharedChains,
    ::testing::Values(ChainCase{"ProteinSequence", "p.fasta", kFasta, false, 0},
                      ChainCase{"ProteinSequence", "p.fasta", kFasta, true, 0},
                      ChainCase{"HDGBern", "g.dat", kLevels, false, 0},
                      ChainCase{"HDGBern", "g.dat", kLevels, true, 0},
                      ChainCase{"HDGBern", "g.dat", kLevels, false, 2}));

}  // namespace
