// The annealed burn-in (-b): its schedule and the words it accepts, the plan's stem and
// refusals, and the kept part of an annealed run, which must sample the exact posterior of
// five observations and hold no annealing iteration in .draws or .save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "driver/common_main.h"
#include "io/RunError.h"
#include "sampler/Anneal.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/settings.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kPoints = {0.0, 0.3, 1.4, 1.6, 2.9};

TEST(AnnealSchedule, ReadsCountAndStartAndRisesGeometricallyToOne) {
  const struct {
    const char* text;
    bool ok;
    long long iterations;
    double startBeta;
  } cases[] = {
      {"100", true, 100, AnnealSchedule::kDefaultStartBeta},
      {"100,0.2", true, 100, 0.2},
      {"1,1e-3", true, 1, 0.001},
      {"", false, 0, 0},
      {"0", false, 0, 0},
      {"-5", false, 0, 0},
      {"1.5", false, 0, 0},
      {"10,", false, 0, 0},
      {"10,0", false, 0, 0},
      {"10,1", false, 0, 0},
      {"10,abc", false, 0, 0},
      {"10, 0.2", false, 0, 0},
      {"10,0.2,3", false, 0, 0},
      {"1000000000000000000000", false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    AnnealSchedule schedule;
    ASSERT_EQ(parseAnneal(c.text, schedule), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(schedule.iterations, c.iterations);
    EXPECT_DOUBLE_EQ(schedule.startBeta, c.startBeta);
  }
  // 0.01 to 1 over 4 iterations: 0.01, 0.01^(3/4), 0.1, 0.01^(1/4); each step the same factor.
  AnnealSchedule schedule;
  schedule.iterations = 4;
  schedule.startBeta = 0.01;
  const double expected[] = {0.01, 0.0316227766016838, 0.1, 0.316227766016838};
  for (int a = 0; a < 4; a++) EXPECT_NEAR(schedule.beta(a), expected[a], 1e-12) << a;
  EXPECT_EQ(annealText(schedule), "4,0.01");
}

TEST(AnnealOption, StemAndRefusals) {
  const std::string base = "-m HDBern -f v.dat -k 0 -c integrated -i 5 ";
  EXPECT_EQ(makePlan(settingsOf(base + "-h OA -b 100")).fileStem, "v_k0_OA_p_a0_i5_b100,0.05");
  EXPECT_EQ(makePlan(settingsOf(base + "-h OA -b 0100,.2")).fileStem, "v_k0_OA_p_a0_i5_b100,0.2");
  const struct {
    const char* extra;
    const char* refusal;
  } cases[] = {
      {"-h OA -b 0", "main(). -b must be N or N,BETA: N iterations from 1, BETA between 0 and 1, both excluded: 0"},
      {"-h OA -b 10,1", "main(). -b must be N or N,BETA: N iterations from 1, BETA between 0 and 1, both excluded: 10,1"},
      {"-h EN -b 10", "main(). -b anneals a search, which an enumeration is not: EN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    CaptureStdout out;
    try {
      makePlan(settingsOf(base + c.extra));
      ADD_FAILURE() << "expected a refusal";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.refusal);
    }
  }
}

struct AnnealCase {
  const char* heuristic;
  int k;
  long iterations;
};

std::ostream& operator<<(std::ostream& os, const AnnealCase& c) {
  return os << c.heuristic << " k=" << c.k;
}

class AnnealedRun : public ::testing::TestWithParam<AnnealCase> {};

// A run of `iterations` after 300 annealing iterations from beta 0.01: its .draws holds
// exactly the kept iterations, 1 to iterations, whose partitions follow the posterior (a
// chain left at a low temperature would spread over every partition), and its .save counts
// no trace point of the annealing.
TEST_P(AnnealedRun, KeptPartSamplesTheExactPosterior) {
  const AnnealCase c = GetParam();
  TempDir dir;
  TinyModel model(kPoints);
  std::ostringstream log;
  PartitionSampler sampler(c.k, model.n, INTEGRATED, &model, -0.5, log, c.heuristic);
  sampler.debug.enabled = false;
  sampler.options.thin = 1;
  sampler.options.anneal.iterations = 300;
  sampler.options.anneal.startBeta = 0.01;
  _rng.initialize(3);
  sampler.initZ("");
  const std::string stem = dir.file("run");
  sampler.run(c.iterations, 600, stem);

  const auto exact = exactDistribution(sampler, allSetPartitions(model.n, c.k));
  std::map<std::vector<int>, long> counts;
  std::ifstream draws(stem + ".draws");
  long lines = 0;
  for (std::string line; std::getline(draws, line) && lines <= c.iterations;) {
    std::istringstream in(line);
    long long iteration;
    double score;
    int k;
    in >> iteration >> score >> k;
    EXPECT_EQ(iteration, ++lines);
    std::vector<int> z(model.n);
    for (int& label : z) in >> label;
    ASSERT_TRUE(in) << line;
    counts[canonical(z.data(), model.n)]++;
  }
  EXPECT_EQ(lines, c.iterations);
  EXPECT_LT(totalVariation(exact, counts), 0.03);

  std::ifstream save(stem + ".save");
  std::string first;
  std::getline(save, first);
  long points = 0, count;
  double score;
  while (save >> score >> count) points += count;
  const Heuristic& heuristic = *findHeuristic(c.heuristic);
  const long perIteration = heuristic.move == MoveKind::OneAtATime ? model.n
                            : heuristic.sweepsAfter               ? 1 + 2 * model.n
                                                                  : 1;
  // A fixed k skips the visits that would empty a cluster: an exact count for an open k only.
  if (c.k == 0) {
    EXPECT_EQ(points, 1 + perIteration * c.iterations);
  }
  EXPECT_LE(points, 1 + perIteration * c.iterations);
  EXPECT_NE(log.str().find("Annealed burn-in (-b 300,0.01): 300 of 300 iterations, inverse temperature from "
                           "0.01 up to 1"),
            std::string::npos)
      << log.str();
}

// The time limit counts from the annealing's start: a clock a minute further at each reading
// ends the annealing at the limit (3 minutes: after 3 iterations) and the kept run after its
// first iteration, which .draws holds alone.
TEST(AnnealedRunClock, TheTimeLimitCountsTheAnnealing) {
  TempDir dir;
  TinyModel model(kPoints);
  std::ostringstream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, -0.5, log, "OA");
  sampler.debug.enabled = false;
  sampler.options.thin = 1;
  sampler.options.anneal.iterations = 1000;
  sampler.options.anneal.startBeta = 0.1;
  time_t fake = 1000000;
  sampler.wallClock = [&fake] { return fake += 60; };
  _rng.initialize(3);
  sampler.initZ("");
  sampler.run(100, 3, dir.file("run"));
  EXPECT_NE(log.str().find("(-b 1000,0.1): 3 of 1000 iterations (time limit)"), std::string::npos) << log.str();
  EXPECT_NE(log.str().find("Iterations completed within allowed time (3 min): 1\n"), std::string::npos);
  const std::string draws = dir.read("run.draws");
  EXPECT_EQ(draws.find("1 "), 0u);
  EXPECT_EQ(std::count(draws.begin(), draws.end(), '\n'), 1);
}

INSTANTIATE_TEST_SUITE_P(Heuristics, AnnealedRun,
                         ::testing::Values(AnnealCase{"OA", 0, 40000}, AnnealCase{"OA", 2, 40000},
                                           AnnealCase{"SR2", 0, 30000}, AnnealCase{"UX2", 0, 30000}));

}  // namespace
