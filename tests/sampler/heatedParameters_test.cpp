// Heated chains with drawn parameters (-T with -A, -V, -W): every chain, cold and heated, is
// built from one ChainConfig. The joint target of a chain at beta is
// p(parameters) exp(beta * score(z, parameters)); the cold chain (beta = 1) is the joint
// posterior. Here long runs on five observations visit the partitions with the exact
// marginals of that target, the parameters integrated numerically over their priors, and
// the cold chain's parameters have their exact posterior means.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <vector>

#include "models/catalog.h"
#include "sampler/HeatedChains.h"
#include "sampler/ParameterDraw.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kPoints = {0.0, 0.4, 1.1, 1.5, 2.6};
// Five 0/1 rows of four columns, for column selection.
const char* const kBinary = "0 1 1 0\n0 1 0 0\n1 0 1 1\n1 0 1 0\n0 1 1 1\n";

// One grid node of a parameter: the value set in a scorer, its log prior density times the
// node's quadrature weight (on alpha's log scale, with the Jacobian), and the value averaged.
struct Node {
  double set, logWeight, value;
};

std::vector<Node> alphaNodes(double shape, double rate, double step) {
  std::vector<Node> nodes;
  for (double u = -25; u <= 6; u += step)
    nodes.push_back({u, shape * u - rate * std::exp(u), std::exp(u)});
  return nodes;
}

std::vector<Node> pNodes(double a, double b, int count) {
  std::vector<Node> nodes;
  for (int q = 0; q < count; q++) {
    const double p = (q + 0.5) / count;
    nodes.push_back({p, (a - 1) * std::log(p) + (b - 1) * std::log1p(-p), p});
  }
  return nodes;
}

bool isAlpha(const ParameterDraw& draw) { return dynamic_cast<const AlphaDraw*>(&draw) != nullptr; }

struct Exact {
  std::map<std::vector<int>, double> p;
  std::vector<double> mean;  // of each drawn parameter, in the draws' order
};

// The exact marginal over partitions of p(parameters) exp(beta * score) and the parameters'
// means, the scorer (at its own settings otherwise) scoring every node of the grids.
Exact exactMarginal(Scorer& scorer, const std::vector<const ParameterDraw*>& drawn,
                    const std::vector<std::vector<Node>>& grids,
                    const std::vector<std::vector<int>>& partitions, double beta) {
  const size_t P = drawn.size();
  // Per partition, a running log-sum-exp of the weights and the weighted parameter sums.
  std::vector<double> top(partitions.size(), -INFINITY), mass(partitions.size(), 0);
  std::vector<std::vector<double>> sums(partitions.size(), std::vector<double>(P, 0));
  std::vector<size_t> at(P, 0);
  for (;;) {
    double logPrior = 0;
    for (size_t q = 0; q < P; q++) {
      drawn[q]->set(scorer, grids[q][at[q]].set);
      logPrior += grids[q][at[q]].logWeight;
    }
    for (size_t z = 0; z < partitions.size(); z++) {
      const std::vector<int>& part = partitions[z];
      const double w = logPrior + beta * scorer.getTotalLik(part.data(), blockCount(part));
      if (w > top[z]) {
        const double scale = std::exp(top[z] - w);
        mass[z] *= scale;
        for (double& s : sums[z]) s *= scale;
        top[z] = w;
      }
      const double e = std::exp(w - top[z]);
      mass[z] += e;
      for (size_t q = 0; q < P; q++) sums[z][q] += e * grids[q][at[q]].value;
    }
    size_t q = 0;
    while (q < P && ++at[q] == grids[q].size()) at[q++] = 0;
    if (q == P) break;
  }
  double best = -INFINITY;
  for (size_t z = 0; z < partitions.size(); z++) best = std::max(best, top[z] + std::log(mass[z]));
  Exact exact;
  exact.mean.assign(P, 0);
  double total = 0;
  for (size_t z = 0; z < partitions.size(); z++) total += std::exp(top[z] + std::log(mass[z]) - best);
  for (size_t z = 0; z < partitions.size(); z++) {
    const double p = std::exp(top[z] + std::log(mass[z]) - best) / total;
    exact.p[partitions[z]] = p;
    for (size_t q = 0; q < P; q++) exact.mean[q] += p * sums[z][q] / mass[z];
  }
  return exact;
}

struct Case {
  const char* name;
  bool binary;    // the 0/1 rows under HDBern, else the tiny points
  const char* heuristic;
  double columnP;                   // -V; 0: none
  double alphaShape, alphaRate;     // -A; 0: alpha fixed
  double pShape1, pShape2;          // -W; 0: P fixed
  long iterations;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

class HeatedParameters : public ::testing::TestWithParam<Case> {};

TEST_P(HeatedParameters, EveryChainSamplesItsJointTarget) {
  const Case c = GetParam();
  const int chains = 3;
  CaptureStdout quiet;  // the models' "read" lines
  TempDir dir;
  dir.write("b.dat", kBinary);
  auto makeModel = [&](std::ostream& log) -> std::unique_ptr<Observable> {
    if (!c.binary) return std::make_unique<TinyModel>(kPoints);
    const ModelEntry* entry = findModel("HDBern");
    std::string prior = "flat";
    std::stringstream text;
    entry->writePriorText(prior, text);
    return entry->make(dir.file("b.dat"), text, log);
  };
  ChainConfig config;
  config.k = 0;
  config.logalpha = -0.3;
  config.heuristicName = c.heuristic;
  config.heuristic = findHeuristic(c.heuristic);
  config.columnP = c.columnP;
  config.alphaShape = c.alphaShape;
  config.alphaRate = c.alphaRate;
  config.columnPrior = {c.pShape1, c.pShape2};

  NullStream log;
  std::unique_ptr<Observable> model = makeModel(log);
  const int n = model->n;
  PartitionSampler sampler(config, *model, log);
  sampler.debug.enabled = false;
  ParameterDraws& draws = sampler.options.draws;
  ASSERT_EQ(draws.drawsAlpha(), c.alphaShape > 0);
  ASSERT_EQ(draws.drawsP(), c.pShape1 > 0);
  _rng.initialize(17);
  sampler.initZ("");
  sampler.heat(chains, 2, 17, false);
  ASSERT_TRUE(sampler.heated);
  HeatedChains& heated = *sampler.heated;
  heated.adaptFor(0);
  IterationMoves moves(*config.heuristic, n, true, sampler.debug);

  // The drawn parameters, read and set through a chain's own draws.
  std::vector<std::unique_ptr<ParameterDraw>> drawn;
  std::vector<std::vector<Node>> grids;
  const bool both = c.alphaShape > 0 && c.pShape1 > 0;
  if (c.alphaShape > 0) {
    drawn.push_back(std::make_unique<AlphaDraw>(GammaAlphaPrior(c.alphaShape, c.alphaRate)));
    grids.push_back(alphaNodes(c.alphaShape, c.alphaRate, both ? 0.1 : 0.01));
  }
  if (c.pShape1 > 0) {
    drawn.push_back(std::make_unique<ColumnPDraw>(c.pShape1, c.pShape2));
    grids.push_back(pNodes(c.pShape1, c.pShape2, both ? 60 : 1000));
  }
  std::vector<const ParameterDraw*> drawnView;
  for (const auto& d : drawn) drawnView.push_back(d.get());

  const auto partitions = allSetPartitions(n, 0);
  std::vector<std::map<std::vector<int>, long>> counts(chains);
  // Per chain, the sums of each drawn parameter (alpha itself, not its log).
  std::vector<std::vector<double>> sums(chains, std::vector<double>(drawn.size(), 0));
  for (long it = 1; it <= c.iterations; it++) {
    heated.iterate(it, [&] { moves.iterate(sampler.state, sampler.scorer); }, log);
    // The cold chain's draws where the run loop makes them.
    draws.step(ParameterDraw::When::BeforeOutputs, sampler.state, sampler.scorer);
    draws.step(ParameterDraw::When::AfterOutputs, sampler.state, sampler.scorer);
    for (int chain = 0; chain < chains; chain++)
      counts[chain][canonical(heated.state(chain).zold.data(), n)]++;
    for (int chain = 0; chain < chains; chain++)
      for (size_t q = 0; q < drawn.size(); q++) {
        const double value = drawn[q]->value(heated.scorer(chain));
        sums[chain][q] += isAlpha(*drawn[q]) ? std::exp(value) : value;
      }
  }

  // A scorer of the same configuration for the exact distributions.
  std::unique_ptr<Observable> exactModel = makeModel(log);
  Scorer scorer(*exactModel, config, log);
  const Exact cold = exactMarginal(scorer, drawnView, grids, partitions, 1.0);
  // Each parameter's mean in each chain: alpha within 5 % of the exact mean, P within 0.015.
  auto expectMeans = [&](int chain, const Exact& exact) {
    for (size_t q = 0; q < drawn.size(); q++) {
      const double observed = sums[chain][q] / static_cast<double>(c.iterations);
      const double tolerance = isAlpha(*drawn[q]) ? 0.05 * exact.mean[q] : 0.015;
      EXPECT_NEAR(observed, exact.mean[q], tolerance) << "chain " << chain << " parameter " << q;
    }
  };
  EXPECT_LT(totalVariation(cold.p, counts[0]), 0.03);
  expectMeans(0, cold);
  for (int chain = 1; chain < chains; chain++) {
    const double beta = heated.ladder().beta(chain);
    const Exact hot = exactMarginal(scorer, drawnView, grids, partitions, beta);
    EXPECT_LT(totalVariation(hot.p, counts[chain]), 0.04) << "chain " << chain << " at beta " << beta;
    expectMeans(chain, hot);
  }
  // The hottest chain's target is not the posterior: a chain that ignored its temperature in
  // its draws or exchanges would show.
  EXPECT_GT(totalVariation(cold.p, counts[chains - 1]), 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Options, HeatedParameters,
    ::testing::Values(Case{"A_OA", false, "OA", 0, 2.0, 1.0, 0, 0, 60000},
                      Case{"A_SR", false, "SR", 0, 1.0, 0.5, 0, 0, 150000},
                      Case{"V_OA", true, "OA", 0.3, 0, 0, 0, 0, 40000},
                      Case{"W_OA", true, "OA", 0.4, 0, 0, 2.0, 3.0, 60000},
                      Case{"AW_OA", true, "OA", 0.4, 2.0, 1.0, 2.0, 3.0, 60000}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
