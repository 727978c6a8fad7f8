// The full-covariance model: its prior from the data, its cluster scores against the chain
// rule of the posterior predictive (multivariate t densities, determinants by elimination),
// its three scoring modes against each other, and every move family on it visiting the
// partitions of a few rows with their exact probabilities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "io/RunError.h"
#include "models/mvn.h"
#include "sampler/moves/SplitMerge.h"
#include "sampler/moves/TreeGuided.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

using Rows = std::vector<std::vector<double>>;

std::string rowsText(const Rows& rows) {
  std::ostringstream out;
  out.precision(17);
  for (const auto& row : rows) {
    for (size_t t = 0; t < row.size(); t++) out << (t ? " " : "") << row[t];
    out << '\n';
  }
  return out.str();
}

std::unique_ptr<mvn> build(const std::string& file, ScoringMode mode, const char* prior = "1",
                           std::ostream* log = nullptr) {
  static std::ostringstream sink;
  CaptureStdout quiet;
  std::stringstream priorText(prior);
  auto model = std::make_unique<mvn>(file, priorText, log ? *log : sink, 1.0);
  model->scoring = mode;
  return model;
}

// Log determinant and solve by Gaussian elimination with partial pivoting.
double logDetAndSolve(std::vector<std::vector<double>> a, std::vector<double>& b) {
  const size_t d = a.size();
  double logDet = 0;
  for (size_t c = 0; c < d; c++) {
    size_t pivot = c;
    for (size_t r = c + 1; r < d; r++)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    std::swap(a[c], a[pivot]);
    std::swap(b[c], b[pivot]);
    logDet += std::log(std::fabs(a[c][c]));
    for (size_t r = c + 1; r < d; r++) {
      const double f = a[r][c] / a[c][c];
      for (size_t k = c; k < d; k++) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (size_t c = d; c-- > 0;) {
    for (size_t k = c + 1; k < d; k++) b[c] -= a[c][k] * b[k];
    b[c] /= a[c][c];
  }
  return logDet;
}

// log p(x_1..x_m) as the sum of log p(x_i | x_1..x_{i-1}): each a multivariate t density of
// the normal-inverse-Wishart posterior after the earlier rows.
double chainRuleScore(const Rows& rows, const std::vector<double>& mu0, double kappa0, double nu0,
                      const std::vector<double>& psi0) {
  const size_t d = mu0.size();
  std::vector<double> mu = mu0;
  std::vector<std::vector<double>> psi(d, std::vector<double>(d));
  for (size_t a = 0; a < d; a++)
    for (size_t b = 0; b < d; b++) psi[a][b] = psi0[a * d + b];
  double kappa = kappa0, nu = nu0, total = 0;
  for (const auto& x : rows) {
    const double df = nu - d + 1;
    const double factor = (kappa + 1) / (kappa * df);
    std::vector<std::vector<double>> sigma = psi;
    for (auto& row : sigma)
      for (double& v : row) v *= factor;
    std::vector<double> diff(d), solved(d);
    for (size_t t = 0; t < d; t++) diff[t] = solved[t] = x[t] - mu[t];
    const double logDet = logDetAndSolve(sigma, solved);
    double quad = 0;
    for (size_t t = 0; t < d; t++) quad += diff[t] * solved[t];
    total += std::lgamma((df + d) / 2) - std::lgamma(df / 2) - d / 2.0 * std::log(df * M_PI) -
             0.5 * logDet - (df + d) / 2 * std::log1p(quad / df);
    // Posterior after x.
    for (size_t a = 0; a < d; a++)
      for (size_t b = 0; b < d; b++) psi[a][b] += kappa / (kappa + 1) * diff[a] * diff[b];
    for (size_t t = 0; t < d; t++) mu[t] = (kappa * mu[t] + x[t]) / (kappa + 1);
    kappa += 1;
    nu += 1;
  }
  return total;
}

// Three correlated columns in two tilted groups, far from the origin in one column.
Rows tiltedRows(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> noise(0.0, 1.0);
  Rows rows;
  for (int i = 0; i < n; i++) {
    const double u = noise(gen), v = noise(gen), w = noise(gen);
    const double shift = i % 2 ? 4.0 : -1.0;
    rows.push_back({shift + u, 500 + 0.8 * u + 0.3 * v - shift, 2 * w + u});
  }
  return rows;
}

TEST(Mvn, PriorFromTheData) {
  TempDir dir;
  // Means (1, 1); variances 1 and 1; c = 4 divides them by 4^(2/2).
  dir.write("r.dat", "0 0\n1 2\n2 1\n");
  std::ostringstream log;
  auto model = build(dir.file("r.dat"), ScoringMode::Exact, "4", &log);
  EXPECT_EQ(model->shared().mu0, (std::vector<double>{1, 1}));
  EXPECT_EQ(model->shared().kappa0, 0.01);
  EXPECT_EQ(model->shared().nu0, 4);
  EXPECT_EQ(model->shared().psi0, (std::vector<double>{0.25, 0, 0, 0.25}));
  EXPECT_NEAR(model->shared().logDetPsi0, 2 * std::log(0.25), 1e-14);
  EXPECT_EQ(log.str(),
            "Hyperpriors (normal-inverse-Wishart)\n"
            "mu0 (the data mean): 1 1\n"
            "kappa0: 0.01\n"
            "nu0 (d + 2): 4\n"
            "Psi0 (diagonal: the data variances / c^(2/d), c = 4): 0.25 0.25\n\n");
  // The rows are kept less the prior mean; distances are those of the data.
  EXPECT_DOUBLE_EQ(model->pairwiseDistance(0, 1), std::sqrt(5.0));
}

TEST(Mvn, RefusesDataWithoutAPrior) {
  TempDir dir;
  struct Case {
    const char* rows;
    const char* prior;
    const char* line;
  } cases[] = {
      {"1 2\n", "1", "1 row, the prior needs at least 2"},
      {"1 2\n1 3\n1 5\n", "1", "column 1 is constant"},
      // Values that differ near 1e-300 are no constant column: their squares underflow.
      {"1e-300 2\n2e-300 3\n3e-300 5\n", "1", "column 1 spans only 2e-300, too little for its variance"},
      {"2 1e-300\n3 1e-300\n5 1e-300\n", "1", "column 2 is constant"},
      {"1 2\n2 3\n", "0", "mvn: prior is not a positive finite number: 0"},
      {"1 2\n2 3\n", "x", "mvn: prior is not a positive finite number: x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    dir.write("r.dat", c.rows);
    try {
      build(dir.file("r.dat"), ScoringMode::Exact, c.prior);
      ADD_FAILURE() << "accepted";
    } catch (const RunError& error) {
      EXPECT_NE(std::string(error.what()).find(c.line), std::string::npos) << error.what();
    }
  }
}

TEST(Mvn, ClusterScoresFollowTheChainRuleOfPredictiveDensities) {
  TempDir dir;
  const Rows rows = tiltedRows(40, 3);
  dir.write("r.dat", rowsText(rows));
  for (const char* prior : {"1", "0.3"}) {
    auto exact = build(dir.file("r.dat"), ScoringMode::Exact, prior);
    auto reference = build(dir.file("r.dat"), ScoringMode::Reference, prior);
    auto fast = build(dir.file("r.dat"), ScoringMode::Fast, prior);
    // Clusters of 1, 2, 3, 7 and all 40 rows, and an empty one.
    std::vector<int> z(rows.size(), 9);
    const int sizes[] = {1, 2, 3, 7};
    int next = 0;
    for (int j = 0; j < 4; j++)
      for (int m = 0; m < sizes[j]; m++) z[next++] = j;
    for (int j = 0; j <= 5; j++) {
      SCOPED_TRACE(std::string("prior ") + prior + " cluster " + std::to_string(j));
      std::vector<int> zz = z;
      if (j == 4) zz.assign(rows.size(), 4);
      Rows members;
      for (size_t i = 0; i < rows.size(); i++)
        if (zz[i] == j) members.push_back(rows[i]);
      const double expected =
          members.empty() ? 0.0
                          : chainRuleScore(members, exact->shared().mu0, exact->shared().kappa0, exact->shared().nu0,
                                           exact->shared().psi0);
      const double plain = reference->getClusterFit(zz.data(), j);
      EXPECT_NEAR(plain, expected, 1e-9 * (1 + std::fabs(expected)));
      const double viaExact = exact->getClusterFit(zz.data(), j);
      EXPECT_EQ(std::memcmp(&plain, &viaExact, sizeof plain), 0);
      EXPECT_NEAR(fast->getClusterFit(zz.data(), j), plain, 1e-12 * (1 + std::fabs(plain)));
    }
  }
}

TEST(Mvn, RunningMomentsAgreeWithFreshScores) {
  TempDir dir;
  const int n = 120;
  const Rows rows = tiltedRows(n, 8);
  dir.write("r.dat", rowsText(rows));
  auto exact = build(dir.file("r.dat"), ScoringMode::Exact);
  auto fast = build(dir.file("r.dat"), ScoringMode::Fast);
  ASSERT_EQ(fast->momentsSize(), 3 + 6);
  ASSERT_EQ(exact->momentsSize(), 0);
  EXPECT_TRUE(exact->scoresMemberLists());
  const int k = 4, width = fast->momentsSize();
  std::vector<int> z(n), sizes(k, 0);
  std::vector<double> moments(static_cast<size_t>(k) * width, 0.0);
  for (int i = 0; i < n; i++) {
    z[i] = i % k;
    fast->addToMoments(i, &moments[z[i] * width], +1);
    sizes[z[i]]++;
  }
  std::mt19937 gen(1);
  double worst = 0;
  for (int step = 0; step < 3 * n; step++) {
    const int i = static_cast<int>(gen() % n), to = static_cast<int>(gen() % k);
    if (sizes[z[i]] == 1) continue;
    fast->addToMoments(i, &moments[z[i] * width], -1);
    fast->addToMoments(i, &moments[to * width], +1);
    sizes[z[i]]--;
    sizes[to]++;
    z[i] = to;
    const double running = fast->scoreMoments(&moments[to * width], sizes[to]);
    const double fresh = exact->getClusterFit(z.data(), to);
    worst = std::max(worst, std::fabs(running - fresh) / (1 + std::fabs(fresh)));
  }
  EXPECT_LT(worst, 1e-12);
  // The sums and the members' list give the same score for the same members.
  std::vector<int> list;
  for (int i = 0; i < n; i++)
    if (z[i] == 2) list.push_back(i);
  EXPECT_NEAR(exact->scoreMembers(list.data(), static_cast<int>(list.size())),
              fast->scoreMoments(&moments[2 * width], sizes[2]), 1e-9);
}

// ---------------------------------------------------------------------------------------
// Invariance on five or six rows

struct MoveCase {
  const char* name;
  ScoringMode mode;
  int k;
  int iterations;
  double maxTotalVariation;
};

std::ostream& operator<<(std::ostream& os, const MoveCase& c) {
  return os << c.name << (c.mode == ScoringMode::Fast ? " fast" : " exact") << " k=" << c.k;
}

// Two columns, rows close enough that every block count has weight.
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

class MvnInvariance : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MvnInvariance, MatchesTheExactDistribution) {
  const MoveCase c = GetParam();
  TempDir dir;
  dir.write("rows.dat", std::string(c.name) == "UX" ? kSixRows : kFiveRows);
  auto targetModel = build(dir.file("rows.dat"), ScoringMode::Reference);
  auto model = build(dir.file("rows.dat"), c.mode);
  NullStream log;
  PartitionSampler target(c.k, targetModel->n, INTEGRATED, targetModel.get(), 0.0, log, c.name,
                          ScoringMode::Reference);
  auto exact = exactDistribution(target, allSetPartitions(targetModel->n, c.k));
  PartitionSampler sampler(c.k, model->n, INTEGRATED, model.get(), 0.0, log, c.name, c.mode);
  _rng.initialize(6);
  sampler.initZ("");
  const std::unique_ptr<Move> move = makeMove(c, model->n, sampler.debug);
  std::map<std::vector<int>, long> counts;
  for (int it = 0; it < c.iterations; it++) {
    stepOn(*move, sampler);
    counts[canonical(sampler.state.zold.data(), sampler.state.n)]++;
  }
  EXPECT_LT(totalVariation(exact, counts), c.maxTotalVariation);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MvnInvariance,
    ::testing::Values(MoveCase{"OA", ScoringMode::Exact, 0, 60000, 0.02},
                      MoveCase{"OA", ScoringMode::Fast, 0, 60000, 0.02},
                      MoveCase{"OA", ScoringMode::Exact, 2, 60000, 0.02},
                      MoveCase{"JN", ScoringMode::Exact, 0, 250000, 0.03},
                      MoveCase{"SR", ScoringMode::Fast, 0, 250000, 0.03},
                      MoveCase{"UX", ScoringMode::Exact, 0, 60000, 0.06},
                      MoveCase{"UX", ScoringMode::Fast, 2, 60000, 0.06}));

}  // namespace
