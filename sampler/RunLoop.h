// The search: iterations of the heuristic's move until the iteration or minute limit, an
// interrupt or a failure; the trace point after each move, the hourly checkpoint, the
// outputs (sampler/outputs.h) and the closing acceptance rates in the log.
#pragma once
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "sampler/Anneal.h"
#include "sampler/ChainState.h"
#include "sampler/ParameterDraw.h"
#include "sampler/Scorer.h"
#include "sampler/heuristics.h"

class HeatedChains;

// The moves of one iteration of a heuristic on one chain: the move, then, unless the move
// traces itself, a trace point and the heuristic's sweeps.
struct IterationMoves {
  IterationMoves(const Heuristic& heuristic, int n, bool infmix, DebugLog debug, int threads = 1);
  void iterate(ChainState& state, Scorer& scorer);
  std::unique_ptr<Move> move;
  std::unique_ptr<Move> sweep;  // null when the heuristic has none
};

// What a search does beyond its original files (docs/reference.md, "Further options").
struct RunOptions {
  long long thin = 0;           // -d: a .draws line every thin iterations; 0: no .draws
  long long traceThin = 0;      // -e: .save traces the start and every traceThin-th iteration
  bool iterationTarget = true;  // the progress line counts towards the iteration limit
  bool minuteTarget = false;    // ... and towards the minute limit
  // The log's closing best-score line; off for a run of usage-text options only, whose log
  // stays as it always was.
  bool logBest = true;
  // -j: the threads a move may use within the chain (the parallel sweep); changes no byte.
  int threads = 1;
  // The parameters drawn after every complete iteration (-A: alpha, before the outputs see
  // the iteration; -W: P, after them). With -d, STEM.alpha and STEM.pdraws record them.
  ParameterDraws draws;
  // -b: iterations before the kept run, the cold chain alone at rising inverse temperatures,
  // outside every file but the log; the time limit counts from their start.
  AnnealSchedule anneal;
};

class RunLoop {
 public:
  // heuristic null (or an enumeration): refused in the first iteration with heuristicName.
  RunLoop(ChainState& state, Scorer& scorer, const Heuristic* heuristic,
          const std::string& heuristicName, std::ostream& logFile, DebugLog debug,
          RunOptions options = {});

  // Ends with RunError on a failure, with status 128 + signal after an interrupt (the files
  // then written as at a normal end, with the last accepted partition), or with status -1
  // when a score that is not finite reaches the trace (.finalz then holds the partition of
  // the last complete iteration).
  void run(long long iterations, int minuteAllowed, const std::string& fileStem);

  // Wall clock of the time limit and the hourly checkpoint; tests replace it.
  std::function<time_t()> wallClock = [] { return time(nullptr); };
  // Heated copies run beside the chain (-T); null for a single chain. Not owned.
  HeatedChains* heated = nullptr;

  // Whether the search began (its files created, its heuristic known): a failure before
  // then is a refusal, and the run's setup leaves no file that blocks its rerun.
  bool started() const { return started_; }

 private:
  struct Run;  // one run's outputs and how it ended
  struct Clock {
    time_t t0;
    time_t lastRecordFlush;
    long long lastCheckpointMinute;  // minutes after t0 of the last hourly checkpoint
  };
  void runAlone(Run& run, double startScore);
  // The annealed burn-in; its start is where the time limit counts from.
  void anneal(Run& run, int minuteAllowed, time_t t0);
  // t0: when the time limit began; none: now.
  void iterate(Run& run, long long iterations, int minuteAllowed, bool searches, std::optional<time_t> t0);
  // The parameter draws and the outputs after a complete iteration.
  void afterIteration(Run& run);
  // Flushes, checkpoints and checks the outputs; whether the run ends here.
  bool shouldStop(Run& run, Clock& clock, int minuteAllowed);
  // The outputs finished, the closing log lines, and the end the run came to.
  void finish(Run& run, int minuteAllowed, bool searches);
  [[noreturn]] void failOutput(Run& run, const std::string& brokenFile);
  void writeRates(double completed);
  // The log's line with the best score and the .best file.
  void writeBest(const std::string& bestFile);

  ChainState& state_;
  Scorer& scorer_;
  const Heuristic* heuristic_;
  std::string heuristicName_;
  std::ostream& logFile_;
  DebugLog debug_;
  RunOptions options_;
  bool started_ = false;
};
