// The fast scoring paths against the plain reference code they stand in for: on random data
// and random clusters, every model, prior and criterion must give the very same double, bit
// for bit (compared as values and as bytes, so -0.0 against 0.0 or two NaNs would show).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "stats/DirichletRV.h"
#include "stats/DirichletScorer.h"
#include "stats/MixtureDirichletRV.h"
#include "models/PriorStrings.h"
#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

std::mt19937 rng(917);

int below(int bound) { return static_cast<int>(rng() % static_cast<unsigned>(bound)); }
double uniform() { return (rng() >> 5) * (1.0 / 134217728.0); }

bool sameBytes(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

#define EXPECT_SAME_DOUBLE(reference, fast)                                       \
  do {                                                                            \
    const double expected_ = (reference), actual_ = (fast);                       \
    EXPECT_EQ(expected_, actual_);                                                \
    EXPECT_TRUE(sameBytes(expected_, actual_)) << expected_ << " vs " << actual_; \
  } while (0)

// Labellings of n observations that give clusters of every kind: random labels among 1 to 5,
// everything in one cluster, one observation alone, and labels drawn with unequal odds.
std::vector<std::vector<int>> labellings(int n, int howMany) {
  std::vector<std::vector<int>> all;
  all.push_back(std::vector<int>(n, 0));
  std::vector<int> single(n, 1);
  single[below(n)] = 0;
  all.push_back(single);
  while (static_cast<int>(all.size()) < howMany) {
    const int k = 1 + below(5);
    const double skew = uniform();
    std::vector<int> z(n);
    for (int& label : z) label = uniform() < skew ? 0 : below(k);
    all.push_back(z);
  }
  return all;
}

// The largest label of z plus one.
int labelsOf(const std::vector<int>& z) {
  int k = 0;
  for (int label : z) k = std::max(k, label + 1);
  return k;
}

// Every label of every labelling (and one label without members) scores the same both ways.
template <class Model>
void expectSameClusterFits(const Model& model, int howMany) {
  for (const std::vector<int>& z : labellings(model.n, howMany)) {
    for (int j = 0; j <= labelsOf(z); j++) {
      const double reference = model.clusterFitReference(z.data(), j);
      EXPECT_SAME_DOUBLE(reference, model.clusterFitFast(z.data(), j));
      EXPECT_SAME_DOUBLE(reference, model.getClusterFit(z.data(), j));
    }
  }
}

// Rows of values 0..width-1 around five prototypes (a share noise of the values redrawn),
// with a constant column and a column that is always the width's last value.
std::string categoricalMatrix(int n, int T, int width, double noise = 0.2) {
  std::vector<std::vector<int>> protos(5, std::vector<int>(T));
  for (auto& proto : protos)
    for (int& v : proto) v = below(width);
  std::ostringstream out;
  for (int i = 0; i < n; i++) {
    for (int t = 0; t < T; t++) {
      int v = uniform() < noise ? below(width) : protos[i % 5][t];
      if (t == 1) v = 0;
      if (t == 2) v = width - 1;
      out << v << ' ';
    }
    out << '\n';
  }
  return out.str();
}

// Four families of sequences with gaps in runs, an all-gap column and an all-gap sequence.
std::string alignment(int n, int T) {
  const std::string codes = "ACDEFGHIKLMNPQRSTVWY";
  std::vector<std::string> families(4, std::string(T, 'A'));
  for (auto& family : families)
    for (char& c : family) c = codes[below(20)];
  std::ostringstream out;
  for (int i = 0; i < n; i++) {
    std::string s = families[i % 4];
    for (int t = 0; t < T; t++) {
      if (uniform() < 0.15) s[t] = codes[below(20)];
      if (uniform() < 0.1) {
        for (int run = 1 + below(4); run > 0 && t < T; run--, t++) s[t] = '-';
        t--;
      }
    }
    s[T / 2] = '-';
    if (i == n / 3) s = std::string(T, '-');
    out << ">s" << i << '\n' << s << '\n';
  }
  return out.str();
}

// Real rows around four centres; row 1 repeats row 0 and row 2 starts with a negative zero.
std::string realMatrix(int n, int T) {
  std::ostringstream out;
  out.precision(17);
  std::vector<double> first(T);
  for (int i = 0; i < n; i++) {
    for (int t = 0; t < T; t++) {
      double value = (i % 4) * 2.5 + 3 * uniform() - 1.5;
      if (i == 0) first[t] = value;
      if (i == 1) value = first[t];
      if (i == 2 && t == 0) value = -0.0;
      out << value << ' ';
    }
    out << '\n';
  }
  return out.str();
}

// HDGBern's prior text with every parameter a.
std::string hdgbernPrior(const char* a) {
  std::string text = "1 20\n1\n";
  for (int m = 0; m < 20; m++) text += std::string(a) + ' ';
  return text;
}

// A prior of K components over D categories with random weights and parameters.
std::string randomPrior(int K, int D) {
  std::ostringstream text;
  text.precision(17);
  text << K << ' ' << D << '\n';
  for (int d = 0; d < K; d++) {
    text << 0.05 + uniform() << '\n';
    for (int m = 0; m < D; m++) text << 0.001 + 4 * uniform() * uniform() << ' ';
    text << '\n';
  }
  return text.str();
}

template <class Model, class... Args>
std::unique_ptr<Model> build(Args&&... args) {
  CaptureStdout quiet;  // the readers report on standard output
  return std::make_unique<Model>(std::forward<Args>(args)...);
}

TEST(FastScoring, DirichletScorerMatchesTheDirichletRVs) {
  struct Case {
    std::string name;
    std::string prior;
    int maxCount;
    long budget;  // small budgets leave large counts and totals to the direct path
  };
  std::vector<Case> cases = {
      {"HDBern point5", HDBernPoint5PriorString, 60, DirichletScorer::kTableBudget},
      {"HDBern point005", HDBernPoint005PriorString, 60, DirichletScorer::kTableBudget},
      {"HDBern flat, counts past the table", HDBernFlatPriorString, 60, 2 * 10},
      {"bg", ProteinSequenceBgPriorString, 40, DirichletScorer::kTableBudget},
      {"cloud9", ProteinSequenceCloud9PriorString, 40, DirichletScorer::kTableBudget},
      {"cloud9, counts past the table", ProteinSequenceCloud9PriorString, 40, 9 * 20 * 6},
  };
  // Every remainder of K over the blocks of four and two components.
  for (int K = 2; K <= 7; K++)
    cases.push_back({"random K=" + std::to_string(K), randomPrior(K, 2 + below(19)), 30,
                     DirichletScorer::kTableBudget});
  cases.push_back({"random, counts past the table", randomPrior(5, 7), 30, 5 * 7 * 4});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::stringstream text(c.prior);
    std::ostringstream log;
    MixtureDirichletRV prior(text, log);
    DirichletScorer scorer;
    scorer.reset(prior, c.maxCount, c.budget);
    if (c.budget < DirichletScorer::kTableBudget) {
      EXPECT_LT(scorer.tabulated(), c.maxCount + 1);
    } else {
      EXPECT_EQ(scorer.tabulated(), c.maxCount + 1);
    }
    std::vector<int> y(prior.dimension);
    for (int draw = 0; draw < 3000; draw++) {
      // Totals from 0 to maxCount, spread unevenly; many repeat, so the memo is exercised.
      const int total = below(c.maxCount + 1);
      std::fill(y.begin(), y.end(), 0);
      const int favourite = below(prior.dimension);
      for (int unit = 0; unit < total; unit++)
        y[uniform() < 0.6 ? favourite : below(prior.dimension)]++;
      EXPECT_SAME_DOUBLE(prior.logIntegratedLik(y.data()), scorer.logIntegratedLik(y.data()));
    }
  }

  // The transition priors of the protein model: one Dirichlet, no mixture step.
  const double taoAlpha[2] = {0.7939, 0.0135};
  DirichletRV tao(2, taoAlpha);
  DirichletScorer taoScorer;
  taoScorer.reset(tao, 25, 2 * 8);  // counts past 7 computed directly
  for (int a = 0; a <= 25; a++)
    for (int b = 0; a + b <= 25; b++) {
      const int y[2] = {a, b};
      EXPECT_SAME_DOUBLE(tao.logIntegratedLik(y), taoScorer.logIntegratedLik(y));
    }
}

TEST(FastScoring, HDBernEveryPriorAndCriterion) {
  TempDir dir;
  // 37 columns: two blocks of 16 and a remainder; 5 columns: the remainder only.
  const std::string wide = dir.write("wide.txt", categoricalMatrix(60, 37, 2));
  const std::string narrow = dir.write("narrow.txt", categoricalMatrix(25, 5, 2));
  const std::string twoComponents = randomPrior(2, 2);
  const std::string priors[] = {HDBernPoint5PriorString, HDBernPoint05PriorString,
                                HDBernPoint005PriorString, HDBernFlatPriorString,
                                twoComponents};
  // Random bits in 1120 columns: as one cluster, a row's product of shares is about
  // e^-723 (a share averages e^-0.646), among the subnormal numbers; other clusters
  // reach 0.
  const std::string underflowing = dir.write("long.txt", categoricalMatrix(12, 1120, 2, 1.0));
  for (const std::string& file : {wide, narrow, underflowing}) {
    for (const std::string& prior : priors) {
      SCOPED_TRACE(file + " / " + prior);
      std::stringstream text(prior);
      std::ostringstream log;
      auto model = build<HDBern>(file, text, log, 0.37);
      expectSameClusterFits(*model, 60);
      for (const std::vector<int>& z : labellings(model->n, 40)) {
        const int k = labelsOf(z);
        for (int j = 0; j <= k; j++)
          EXPECT_SAME_DOUBLE(model->classificationLikReference(z.data(), j),
                             model->classificationLikFast(z.data(), j));
        // k + 1 and k + 3 add labels without members.
        for (int labels : {k, k + 1, k + 3})
          EXPECT_SAME_DOUBLE(model->mixtureLikReference(z.data(), labels),
                             model->mixtureLikFast(z.data(), labels));
      }
    }
  }
}

TEST(FastScoring, HDGBernEveryPriorAndCriterion) {
  TempDir dir;
  const std::string file = dir.write("g.txt", categoricalMatrix(50, 21, 20));
  const std::string priors[] = {hdgbernPrior("1"), hdgbernPrior("0.5"), hdgbernPrior("0.05"),
                                hdgbernPrior("0.005"), randomPrior(5, 20)};
  for (const std::string& prior : priors) {
    SCOPED_TRACE(prior);
    std::stringstream text(prior);
    std::ostringstream log;
    auto model = build<HDGBern>(file, text, log, 1.0);
    expectSameClusterFits(*model, 60);
    for (const std::vector<int>& z : labellings(model->n, 30)) {
      const int k = labelsOf(z);
      for (int j = 0; j < k; j++)
        EXPECT_SAME_DOUBLE(model->classificationLikReference(z.data(), j),
                           model->classificationLikFast(z.data(), j));
      EXPECT_SAME_DOUBLE(model->mixtureLikReference(z.data(), k + 1),
                         model->mixtureLikFast(z.data(), k + 1));
    }
  }
}

TEST(FastScoring, ProteinSequenceEveryPrior) {
  TempDir dir;
  // 45 columns: blocks of 16 and a remainder; 7 columns: the remainder only.
  const std::string files[] = {dir.write("wide.fasta", alignment(40, 45)),
                               dir.write("narrow.fasta", alignment(30, 7))};
  const char* priors[] = {ProteinSequenceBgPriorString, ProteinSequenceFlatPriorString,
                          ProteinSequenceCloud9PriorString};
  for (const std::string& file : files) {
    for (const char* prior : priors) {
      SCOPED_TRACE(file + " / " + prior);
      std::stringstream text(prior);
      std::ostringstream log;
      auto model = build<ProteinSequence>(file, text, log);
      expectSameClusterFits(*model, 60);
    }
  }
}

TEST(FastScoring, RealModels) {
  TempDir dir;
  // 5 columns: a block of four and one more; 3 columns: no whole block.
  for (int T : {5, 3}) {
    const std::string file = dir.write("r" + std::to_string(T) + ".txt", realMatrix(40, T));
    std::ostringstream log;
    for (const char* c : {"1", "0.3", "250"}) {
      SCOPED_TRACE(std::to_string(T) + " columns, prior " + c);
      std::stringstream prior(c);
      auto model = build<mclust2>(file, prior, log, 0.8);
      expectSameClusterFits(*model, 80);
    }
    auto kmeans = build<kmeans2>(file, log, 3.0);
    expectSameClusterFits(*kmeans, 80);
  }
}

}  // namespace
