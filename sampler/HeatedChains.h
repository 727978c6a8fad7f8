// Heated chains (-T): beside the run's own chain, N - 1 copies sample exp(beta * score) at
// inverse temperatures 1 > beta_1 > ... > beta_{N-1}, each with its own model, scorer, moves,
// parameter draws and generator, all built from the run's one ChainConfig, on up to a thread
// cap. After every iteration one exchange of partitions (with the drawn parameters, alpha and
// P, that belong to them) between a random neighbouring pair is proposed with the exact
// Metropolis ratio, so the cold chain still samples the posterior while hot copies carry it
// between basins. A copy at beta samples p(parameters) exp(beta * score) (sampler/ParameterDraw.h).
#pragma once
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

#include "models/Observable.h"
#include "sampler/ChainConfig.h"
#include "sampler/ChainState.h"
#include "sampler/ParameterDraw.h"
#include "sampler/RunLoop.h"
#include "sampler/Scorer.h"
#include "sampler/heuristics.h"
#include "stats/rvgs.h"

// The inverse temperatures: beta_0 = 1, then each pair of neighbours a log-gap apart. Until
// frozen, each iteration moves every pair's gap by a Robbins-Monro step towards a swap
// acceptance of kTarget (wider when swaps pass easily, narrower when they fail).
class TemperatureLadder {
 public:
  static constexpr double kTarget = 0.4;
  // Geometric: beta_c = ratio^c.
  TemperatureLadder(int chains, double ratio);
  int size() const { return static_cast<int>(betas_.size()); }
  double beta(int c) const { return betas_[c]; }
  // After a proposal for pair (p, p + 1) that would pass with probability acceptance.
  void adapt(int pair, double acceptance);
  // "1 0.7 0.49" (6 significant digits).
  std::string text() const;

 private:
  std::vector<double> gaps_;  // log(beta_p / beta_{p+1})
  std::vector<long> updates_;
  std::vector<double> betas_;
};

// Runs one job on a fixed team of threads, the caller's included, and waits for all of them.
class ChainTeam {
 public:
  // Up to size threads in all; fewer when the system refuses more.
  explicit ChainTeam(int size);
  ~ChainTeam();
  ChainTeam(const ChainTeam&) = delete;
  ChainTeam& operator=(const ChainTeam&) = delete;
  int size() const { return static_cast<int>(threads_.size()) + 1; }
  // job(w) for every member w, job(0) on the calling thread; job must not throw.
  void run(const std::function<void(int)>& job);

 private:
  void work(int member);
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable start_, done_;
  const std::function<void(int)>* job_ = nullptr;
  unsigned long round_ = 0;
  int pending_ = 0;
  bool quit_ = false;
};

class HeatedChains {
 public:
  // chains in all, the cold one (cold, coldScorer, coldDraws: the run's own, not owned)
  // included; each copy gets a copy of coldScorer's model (the data shared, the scratch its
  // own), a scorer and moves built from config (whose heuristic must be known), a copy of
  // coldDraws, and the generator of stream c of seed. Swaps draw from stream chains of seed.
  HeatedChains(int chains, const ChainConfig& config, ChainState& cold, Scorer& coldScorer,
               const ParameterDraws& coldDraws, uint32_t seed, int threads);
  ~HeatedChains();

  int size() const { return ladder_.size(); }
  int threads() const { return team_.size(); }
  const TemperatureLadder& ladder() const { return ladder_; }
  // Chain c (0: the cold one), and its scorer.
  const ChainState& state(int c) const;
  const Scorer& scorer(int c) const;

  // The copies' starting partitions: the cold chain's (a start given by the user), or each
  // drawn from the copy's own stream. Scores every start and begins the copies' traces.
  void start(bool copyColdStart);
  // The ladder adapts during the first iterations iterations, then stays.
  void adaptFor(long long iterations) { adaptIterations_ = iterations; }
  // How long a run of iterations adapts: a fifth of it, at most kMaxAdaptation.
  static constexpr long long kMaxAdaptation = 1000;
  static long long adaptationLength(long long iterations);
  // The first log line: the chains, the starting ladder and how long it adapts.
  void describe(std::ostream& log) const;
  // One iteration (number iteration, 1-based) of every chain, the cold one by coldIteration on
  // the calling thread (a copy draws its parameters, then moves), then one swap proposal. When any chain throws, all chains finish
  // their step first, the failure lines of the copies go to log, and the first chain's
  // exception is thrown again, with no swap. The copies write nothing to the console
  // themselves: what they would show is shown here, by the calling thread, chain by chain.
  void iterate(long long iteration, const std::function<void()>& coldIteration, std::ostream& log);
  // The closing log line: the swap acceptance of each pair since the ladder stopped adapting
  // ("chains 1-2 0.4 (8 of 20)", chain 1 the cold one).
  void report(std::ostream& log) const;

 private:
  struct Copy;
  void proposeSwap(long long iteration, std::ostream& log);
  // The console lines the copies' threads collected, written by the calling thread.
  void showCopiesConsole();
  ChainState& chainState(int c);
  Scorer& chainScorer(int c);

  ChainState& cold_;
  Scorer& coldScorer_;
  ParameterDraws coldDraws_;  // which parameters travel with an exchange
  std::vector<std::unique_ptr<Copy>> copies_;  // chains 1..N-1
  TemperatureLadder ladder_;
  ChainTeam team_;
  mersenne swapGenerator_;
  long long adaptIterations_ = 0;
  long long countedFrom_ = 1;  // first iteration whose swaps the report counts
  std::vector<long long> proposed_, accepted_;
  std::vector<std::exception_ptr> failures_;
};
