// The search: iterations of the heuristic's move until the iteration or minute limit, an
// interrupt or a failure; the trace point after each move, the hourly checkpoint, the
// outputs (sampler/outputs.h) and the closing acceptance rates in the log.
#pragma once
#include <ctime>
#include <functional>
#include <ostream>
#include <string>

#include "sampler/ChainState.h"
#include "sampler/Scorer.h"
#include "sampler/heuristics.h"

class RunLoop {
 public:
  // heuristic null (or an enumeration): refused in the first iteration with heuristicName.
  RunLoop(ChainState& state, Scorer& scorer, const Heuristic* heuristic,
          const std::string& heuristicName, std::ostream& logFile, DebugLog debug);

  // Ends with RunError on a failure, or with status 128 + signal after an interrupt (the
  // files then written as at a normal end).
  void run(long long iterations, int minuteAllowed, const std::string& fileStem);

  // Wall clock of the time limit and the hourly checkpoint; tests replace it.
  std::function<time_t()> wallClock = [] { return time(nullptr); };

 private:
  void writeRates(double completed);

  ChainState& state_;
  Scorer& scorer_;
  const Heuristic* heuristic_;
  std::string heuristicName_;
  std::ostream& logFile_;
  DebugLog debug_;
};
