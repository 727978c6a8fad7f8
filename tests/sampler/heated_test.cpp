// Heated chains: the cold chain, coupled to heated copies by exchanges of partitions, still
// visits the partitions of five observations with their exact posterior probabilities, each
// copy samples its own tempered target, the ladder adapts the way it is meant to, and the
// chains do not depend on how many threads run them.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include <atomic>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/RunError.h"
#include "sampler/HeatedChains.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TinyModel.h"

namespace {

const std::vector<double> kPoints = {0.0, 0.3, 1.4, 1.6, 2.9};

// A sampler over the tiny data with heated copies, its random start drawn from seed.
struct HeatedRun {
  HeatedRun(int k, const char* heuristic, int chains, int threads, unsigned seed)
      : model(kPoints), sampler(k, model.n, INTEGRATED, &model, -0.5, log, heuristic) {
    _rng.initialize(seed);
    sampler.initZ("");
    sampler.heat(chains, threads, seed, false);
    moves = std::make_unique<IterationMoves>(*findHeuristic(heuristic), model.n, k <= 0,
                                             sampler.debug);
  }
  void iterate(long long iteration) {
    sampler.heated->iterate(iteration, [&] { moves->iterate(sampler.state, sampler.scorer); },
                            log);
  }
  TinyModel model;
  NullStream log;
  PartitionSampler sampler;
  std::unique_ptr<IterationMoves> moves;
};

struct HeatedCase {
  const char* heuristic;
  int k;
  int chains;
  long long adapt;  // iterations the ladder adapts (counts start after them)
  long iterations;
};

std::ostream& operator<<(std::ostream& os, const HeatedCase& c) {
  return os << c.heuristic << " k=" << c.k << " T=" << c.chains << " adapt=" << c.adapt;
}

class HeatedInvariance : public ::testing::TestWithParam<HeatedCase> {};

TEST_P(HeatedInvariance, ColdChainMatchesTheExactPosterior) {
  const HeatedCase c = GetParam();
  HeatedRun run(c.k, c.heuristic, c.chains, 2, 5);
  HeatedChains& heated = *run.sampler.heated;
  heated.adaptFor(c.adapt);
  const auto partitions = allSetPartitions(run.model.n, c.k);
  const auto exact = exactDistribution(run.sampler, partitions);
  std::vector<std::map<std::vector<int>, long>> counts(c.chains);
  for (long it = 1; it <= c.adapt + c.iterations; it++) {
    run.iterate(it);
    if (it <= c.adapt) continue;
    for (int chain = 0; chain < c.chains; chain++)
      counts[chain][canonical(heated.state(chain).zold.data(), run.model.n)]++;
  }
  EXPECT_LT(totalVariation(exact, counts[0]), 0.03);
  // Each copy samples exp(beta * score) at its rung: exchanges keep every target.
  for (int chain = 1; chain < c.chains; chain++) {
    const double beta = heated.ladder().beta(chain);
    EXPECT_LT(totalVariation(exactDistribution(run.sampler, partitions, beta), counts[chain]), 0.04)
        << "chain " << chain << " at beta " << beta;
  }
  // The hottest copy's target differs from the posterior, so a chain that ignored its
  // temperature, or exchanges that leaked it into the cold chain, would show.
  EXPECT_GT(totalVariation(exact, counts[c.chains - 1]), 0.05);
}

// OA, a split-merge and a tree-guided heuristic (with its sweeps), at two and three
// temperatures, on the starting geometric ladder and on an adapted one.
INSTANTIATE_TEST_SUITE_P(
    Heuristics, HeatedInvariance,
    ::testing::Values(HeatedCase{"OA", 0, 2, 0, 40000}, HeatedCase{"OA", 0, 3, 1000, 40000},
                      HeatedCase{"OA", 2, 3, 0, 40000}, HeatedCase{"SR", 0, 2, 1000, 150000},
                      HeatedCase{"SR", 0, 3, 0, 150000}, HeatedCase{"rBHS2", 0, 2, 0, 20000},
                      HeatedCase{"rBHS2", 0, 3, 1000, 20000}, HeatedCase{"UX", 3, 3, 0, 60000}));

// The cold chain's path, score after score, for a number of threads.
std::vector<double> coldPath(int threads, const char* heuristic, unsigned seed) {
  HeatedRun run(0, heuristic, 4, threads, seed);
  run.sampler.heated->adaptFor(50);
  std::vector<double> path;
  for (long long it = 1; it <= 300; it++) {
    run.iterate(it);
    path.push_back(run.sampler.state.previousLik);
    for (int label : run.sampler.state.zold) path.push_back(label);
  }
  for (int c = 1; c < 4; c++) path.push_back(run.sampler.heated->ladder().beta(c));
  return path;
}

TEST(HeatedChains, SameChainsWhateverTheNumberOfThreads) {
  for (const char* heuristic : {"OA", "SR2"}) {
    const std::vector<double> one = coldPath(1, heuristic, 7);
    EXPECT_EQ(coldPath(2, heuristic, 7), one) << heuristic;
    EXPECT_EQ(coldPath(4, heuristic, 7), one) << heuristic;
    // Another seed is another chain.
    EXPECT_NE(coldPath(2, heuristic, 8), one) << heuristic;
  }
}

TEST(UseGenerator, DrawsFromTheGivenStreamAndThenFromTheRunsAgain) {
  mersenne reference;
  reference.initialize(11);
  _rng.initialize(11);
  for (int i = 0; i < 5; i++) EXPECT_EQ(myunif_rand(), reference.runif());
  mersenne own;
  own.initialize(streamSeed(11, 1));
  {
    UseGenerator use(own);
    const double drawn = myunif_rand();
    mersenne again;
    again.initialize(streamSeed(11, 1));
    EXPECT_EQ(drawn, again.runif());
  }
  // Back to the run's generator after the scope.
  EXPECT_EQ(myunif_rand(), reference.runif());
  EXPECT_NE(streamSeed(11, 1), streamSeed(11, 2));
  EXPECT_NE(streamSeed(11, 1), streamSeed(12, 1));
}

TEST(TemperatureLadder, StartsGeometricAndMovesEachGapTowardsTheTarget) {
  TemperatureLadder ladder(4, 0.5);
  const double start[] = {1, 0.5, 0.25, 0.125};
  for (int c = 0; c < 4; c++) EXPECT_DOUBLE_EQ(ladder.beta(c), start[c]);
  EXPECT_EQ(ladder.text(), "1 0.5 0.25 0.125");
  // Swaps that always pass widen their pair's gap; the rungs above it stay.
  ladder.adapt(1, 1.0);
  EXPECT_EQ(ladder.beta(1), 0.5);
  EXPECT_LT(ladder.beta(2), 0.25);
  EXPECT_NEAR(ladder.beta(3) / ladder.beta(2), 0.5, 1e-12);
  // Swaps that never pass narrow it, by a smaller step the more often the pair was adapted.
  TemperatureLadder failing(2, 0.5);
  failing.adapt(0, 0.0);
  const double first = std::log(failing.beta(0) / failing.beta(1));
  EXPECT_NEAR(first, std::log(2.0) * std::exp(-TemperatureLadder::kTarget), 1e-12);
  for (int i = 0; i < 50; i++) failing.adapt(0, 0.0);
  const double before = std::log(failing.beta(0) / failing.beta(1));
  failing.adapt(0, 0.0);
  const double after = std::log(failing.beta(0) / failing.beta(1));
  EXPECT_LT(after, before);
  EXPECT_GT(after / before, std::exp(-TemperatureLadder::kTarget));
  // A gap settles where the acceptance is the target, and never leaves its bounds.
  TemperatureLadder bounded(2, 0.5);
  for (int i = 0; i < 5000; i++) bounded.adapt(0, 1.0);
  EXPECT_NEAR(bounded.beta(1), 0.1, 1e-12);
  for (int i = 0; i < 5000; i++) bounded.adapt(0, 0.0);
  EXPECT_GT(bounded.beta(1), 0.99);
  EXPECT_LT(bounded.beta(1), 1.0);
}

TEST(HeatedChains, AdaptationFreezesAndIsAFifthOfTheRunAtMost) {
  EXPECT_EQ(HeatedChains::adaptationLength(0), 0);
  EXPECT_EQ(HeatedChains::adaptationLength(99), 19);
  EXPECT_EQ(HeatedChains::adaptationLength(1000000), HeatedChains::kMaxAdaptation);
  HeatedRun run(0, "OA", 3, 1, 3);
  run.sampler.heated->adaptFor(40);
  for (long long it = 1; it <= 40; it++) run.iterate(it);
  const std::string adapted = run.sampler.heated->ladder().text();
  EXPECT_NE(adapted, TemperatureLadder(3, 0.7).text());
  for (long long it = 41; it <= 200; it++) run.iterate(it);
  EXPECT_EQ(run.sampler.heated->ladder().text(), adapted);
}

// Records which threads write to it: the console is the main thread's alone.
class ThreadRecordingBuffer : public std::stringbuf {
 public:
  std::set<std::thread::id> writers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return writers_;
  }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    note();
    return std::stringbuf::xsputn(s, n);
  }
  int_type overflow(int_type c) override {
    note();
    return std::stringbuf::overflow(c);
  }

 private:
  void note() {
    std::lock_guard<std::mutex> lock(mutex_);
    writers_.insert(std::this_thread::get_id());
  }
  std::mutex mutex_;
  std::set<std::thread::id> writers_;
};

// A copy's model that fails once armed, the way a model reports what it cannot do: a line
// for the console and the log.
struct FailingModel : TinyModel {
  explicit FailingModel(const std::atomic<bool>& armed) : TinyModel(kPoints), armed(armed) {}
  double getClusterFit(const int* z, int j) const override {
    if (armed) failRun(vout(), Failure::Internal, "copy model failed");
    return TinyModel::getClusterFit(z, j);
  }
  std::unique_ptr<Observable> copyForChain() const override {
    return std::make_unique<FailingModel>(armed);
  }
  const std::atomic<bool>& armed;
};

TEST(HeatedChains, CopiesOnWorkerThreadsWriteNothingToTheConsoleThemselves) {
  std::atomic<bool> armed{false};
  // The cold chain does not move below, so only the copies score once armed.
  FailingModel coldModel(armed);
  NullStream log;
  PartitionSampler sampler(0, coldModel.n, INTEGRATED, &coldModel, -0.5, log, "OA");
  sampler.debug.enabled = false;
  _rng.initialize(3);
  sampler.initZ("");
  sampler.heat(3, 2, 3, false);
  ASSERT_EQ(sampler.heated->threads(), 2);
  ThreadRecordingBuffer console;
  std::streambuf* previous = vout().rdbuf(&console);
  armed = true;
  bool failed = false;
  try {
    sampler.heated->iterate(1, [] {}, log);
  } catch (const RunError& error) {
    failed = true;
    EXPECT_EQ(error.what(), std::string("copy model failed"));
  }
  vout().rdbuf(previous);
  EXPECT_TRUE(failed);
  // Both copies' lines (one ran on the worker thread, one on this one), shown by this thread.
  EXPECT_EQ(console.str(), "copy model failed\ncopy model failed\n");
  EXPECT_EQ(console.writers(), std::set<std::thread::id>{std::this_thread::get_id()});
}

// The route itself: on a thread with a ChainConsole, failure lines and a model's console
// lines reach the chain's buffers only; without one, the console as always.
TEST(ChainConsole, RoutesAThreadsConsoleLinesToTheChainsBuffers) {
  std::ostringstream out, err, chainLog;
  {
    CaptureStdout stdoutText;
    CaptureStderr stderrText;
    std::thread worker([&] {
      ChainConsole console(out, err);
      EXPECT_THROW(failRun(vout(), Failure::Input, "input line"), RunError);
      EXPECT_THROW(failRun(chainLog, Failure::ModelOperation, "model line"), RunError);
      EXPECT_THROW(failRun(chainLog, Failure::Internal, "internal line"), RunError);
      chainOut() << "distance line";
    });
    worker.join();
    EXPECT_EQ(stdoutText.text(), "");
    EXPECT_EQ(stderrText.text(), "");
  }
  EXPECT_EQ(out.str(), "input line\ninternal line\ndistance line");
  EXPECT_EQ(err.str(), "model line\n");
  EXPECT_EQ(chainLog.str(), "model line\ninternal line\n");
  CaptureStdout stdoutText;
  CaptureStderr stderrText;
  EXPECT_THROW(failRun(chainLog, Failure::ModelOperation, "plain"), RunError);
  EXPECT_EQ(stderrText.text(), "plain\n");
  EXPECT_EQ(&chainOut(), &vout());
}

}  // namespace
