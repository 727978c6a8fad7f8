// The partition sampler of one run: the chain state, the scorer, and the three things a run
// does with them -- set the starting partition, search, or list every partition.
//   every chain's settings, built once                      ChainConfig.h
//   chain state: partition, sizes, counts, trace, best      ChainState.h
//   scores, partition prior, memo, scoring mode             Scorer.h
//   starting partition                                      InitialPartition.h
//   search loop and its output files                        RunLoop.h, outputs.h
//   parameters drawn after each iteration (-A, -W)          ParameterDraw.h
//   heated copies (-T)                                      HeatedChains.h
//   heuristic table, moves                                  heuristics.h, moves/
//   exhaustive enumeration                                  Enumeration.h
// Failures write their line (io/Failure.h) and throw RunError.
#pragma once
#include <ctime>
#include <functional>
#include <ostream>
#include <string>

#include "models/Observable.h"
#include "sampler/ChainConfig.h"
#include "sampler/ChainState.h"
#include "sampler/HeatedChains.h"
#include "sampler/RunLoop.h"
#include "sampler/Scorer.h"
#include "sampler/heuristics.h"

class PartitionSampler {
 public:
  // k <= 0: open number of clusters. The model and the log are not owned. The heuristic is
  // looked up in the table; an unknown name is refused by run in its first iteration.
  PartitionSampler(int k, int n, FitnessZType fitnessZType, Observable* ob, double logalpha,
                   std::ostream& logFile, const std::string& heuristics,
                   ScoringMode scoring = ScoringMode::Exact);
  // The chain the configuration describes: its scorer, heuristic and parameter draws.
  PartitionSampler(const ChainConfig& config, Observable& model, std::ostream& logFile);

  // What every chain of the run is built from.
  const ChainConfig config;

  ChainState state;
  Scorer scorer;
  // Where the moves' debug lines go.
  DebugLog debug;
  // Draws, progress targets, the parameters drawn after every iteration.
  RunOptions options;
  // Wall clock of the time limit and the hourly checkpoint; tests replace it.
  std::function<time_t()> wallClock = [] { return time(nullptr); };
  // Set once run or enumZ has begun its work: a failure before is a refusal of the run.
  bool searchStarted = false;

  // The starting partition: from the file named, or drawn when the name is empty.
  void initZ(const std::string& initialZ);
  // The starting partition built from the data by the method named ("tree", TreeStart.h).
  void initZFromData(const std::string& how);
  // Heated copies beside the chain (-T chains, chains >= 2) on up to threads threads, after
  // initZ: see HeatedChains. The copies start from the chain's start when copyStart is set,
  // else each from its own random draw. Nothing for an unknown heuristic or an enumeration.
  void heat(int chains, int threads, uint32_t seed, bool copyStart);
  std::unique_ptr<HeatedChains> heated;
  // 10^B-style iteration limit and minute limit; writes fileStem's .save and .finalz.
  void run(long long iterations, int minuteAllowed, const std::string& fileStem);
  // Every partition, scored into fileStem's .save.
  void enumZ(const std::string& fileStem);

 private:
  std::ostream& logFile_;
};
