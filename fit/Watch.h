// The chains of one vornak-fit run while they run: watched for their ends, checked every few
// seconds for agreement (summary/agreement.h), shown on a progress line, and stopped together
// by SIGINT with a bounded wait. Says in one sentence how they stopped.
#pragma once
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "fit/ChainRunner.h"
#include "fit/Options.h"
#include "summary/agreement.h"

namespace fit {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start);

// ChainSignalled: a chain ended by a signal vornak-fit did not send (its number in signal).
enum class Stop { Agreed, TimeLimit, Signal, ChainEnded, ChainSignalled, ChainFailed };

struct Team {
  std::vector<std::unique_ptr<Chain>> chains;
  std::vector<std::string> draws;  // each chain's draws file, named by the chain's plan
};

// Seconds between progress lines off a terminal without --progress: a long run in a batch
// job or behind a pipe still says it is alive.
constexpr double kQuietProgressSeconds = 60;

// On a terminal one line rewritten in place; elsewhere, when wanted, one line per check, and
// otherwise one line every kQuietProgressSeconds.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool terminal, bool wanted)
      : err_(err), terminal_(terminal), wanted_(wanted || terminal) {}
  bool terminal() const { return terminal_; }
  // Whether a line is due, sinceShown seconds after the last (or the start), checkedNow when
  // the chains were just checked.
  bool due(double sinceShown, bool checkedNow) const {
    if (terminal_) return sinceShown >= 0.5;
    return wanted_ ? checkedNow : sinceShown >= kQuietProgressSeconds;
  }
  void show(const std::string& line);
  // Ends a line rewritten in place.
  void end();

 private:
  std::ostream& err_;
  bool terminal_, wanted_, shown_ = false;
};

struct Outcome {
  Stop stop = Stop::TimeLimit;
  int signal = 0;
  size_t chain = 0;  // the chain that ended or failed (0-based)
  std::vector<size_t> missing;  // chains left out of the answer (0-based): they died
  summary::Agreement agreement;
};

// The share of each chain's draws the checks (and the summary) drop.
constexpr double kBurn = 0.5;

// Returns at the first of: agreement, the limit (limitSeconds after start), a recorded signal,
// a chain's end. The chains still run.
Outcome watch(Team& team, const FitOptions& options, Clock::time_point start,
              double limitSeconds, ProgressLine& progress);

// Interrupts every chain still running, then waits for each (bounded, then killed).
void stopAll(Team& team);

// "Stopped: the chains agreed after 42 s (R-hat ...)", or at the limit, by a signal, by a chain.
std::string stopSentence(const Outcome& outcome, const FitOptions& options, double seconds);

}  // namespace fit
