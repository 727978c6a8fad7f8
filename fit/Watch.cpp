#include "fit/Watch.h"

#include <algorithm>
#include <thread>

#include "fit/Progress.h"
#include "io/Interrupt.h"

namespace fit {
namespace {

const double kFirstCheckSeconds = 2;  // the checks start after, and are at least this far apart
const double kStopWaitSeconds = 60;   // an interrupted chain that outlasts this is killed

}  // namespace

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void ProgressLine::show(const std::string& line) {
  if (terminal_) {
    err_ << '\r' << line << "\033[K" << std::flush;
    shown_ = true;
  } else {
    err_ << "vornak-fit: " << line << '\n' << std::flush;
  }
}

void ProgressLine::end() {
  if (shown_) err_ << '\n' << std::flush;
  shown_ = false;
}

Outcome watch(Team& team, const FitOptions& options,
              Clock::time_point start, double limitSeconds, ProgressLine& progress) {
  Outcome outcome;
  Clock::time_point lastCheck = Clock::now();
  double interval = kFirstCheckSeconds;
  bool checked = false;
  Clock::time_point lastShown = start;
  while (true) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bool checkedNow = false;
    for (size_t c = 0; c < team.chains.size(); c++) {
      Chain& chain = *team.chains[c];
      if (!chain.running()) {
        outcome.chain = c;
        outcome.signal = chain.foreignSignal();
        outcome.stop = outcome.signal != 0      ? Stop::ChainSignalled
                       : chain.endedNormally() ? Stop::ChainEnded
                                               : Stop::ChainFailed;
        return outcome;
      }
    }
    if (const int signal = interruptSignal()) {
      outcome.stop = Stop::Signal;
      outcome.signal = signal;
      return outcome;
    }
    if (since(start) >= limitSeconds) {
      outcome.stop = Stop::TimeLimit;
      return outcome;
    }
    if (since(lastCheck) >= interval &&
        std::none_of(team.draws.begin(), team.draws.end(), [](const std::string& d) { return d.empty(); })) {
      const Clock::time_point begun = Clock::now();
      outcome.agreement = summary::checkAgreement(team.draws, kBurn);
      checked = checkedNow = true;
      lastCheck = Clock::now();
      interval = std::max(kFirstCheckSeconds, 10 * since(begun));
      if (outcome.agreement.agreed(options.maxRhat, options.minEss)) {
        outcome.stop = Stop::Agreed;
        return outcome;
      }
    }
    if (progress.due(since(lastShown), checkedNow)) {
      progress.show(checked ? progressLine(since(start), outcome.agreement)
                            : formatDuration(since(start)) + "  chains starting");
      lastShown = Clock::now();
    }
  }
}

void stopAll(Team& team) {
  for (auto& chain : team.chains) chain->interrupt();
  for (auto& chain : team.chains) chain->finish(kStopWaitSeconds);
}

namespace {

// "did not agree: chains 2 and 4 end 1,760 log units below chain 1", from the summary's words,
// or "" when nothing but time kept the chains from agreeing.
std::string disagreement(const summary::Agreement& agreement) {
  if (agreement.chains < 2) return "";
  if (agreement.modes.size() > 1) return "did not agree: " + summary::modesPhrase(agreement);
  const std::string starts = summary::startsPhrase(agreement);
  return starts.empty() ? "" : "did not agree: " + starts;
}

std::string stopReason(const Outcome& outcome, const FitOptions& options, double seconds) {
  const std::string figures = agreementFigures(outcome.agreement);
  const std::string apart = disagreement(outcome.agreement);
  switch (outcome.stop) {
    case Stop::Agreed:
      return "Stopped: the chains agreed after " + formatDuration(seconds) + " (" + figures + ")";
    case Stop::TimeLimit:
      if (!apart.empty())
        return "Stopped at the time limit of " + formatMinutes(options.minutes) + " minutes: the chains " + apart +
               " (" + figures + ")" +
               (outcome.agreement.modes.size() > 1
                    ? "; the answer is from " + summary::chainList(outcome.agreement.modes[0].chains) +
                          ", conditional on its mode"
                    : "");
      return "Stopped at the time limit of " + formatMinutes(options.minutes) + " minutes before the chains agreed (" +
             figures + "); run longer (--minutes) before trusting the answer";
    case Stop::Signal:
      return "Stopped by signal " + std::to_string(outcome.signal) + " after " + formatDuration(seconds) +
             ", before the chains agreed (" + figures + ")";
    case Stop::ChainSignalled:
      return "Stopped: chain " + std::to_string(outcome.chain + 1) + " ended by " +
             signalName(outcome.signal) + " after " + formatDuration(seconds) + " (" + figures + ")";
    case Stop::ChainEnded:
    case Stop::ChainFailed:
      break;
  }
  return "Stopped: chain " + std::to_string(outcome.chain + 1) + " ended by itself after " +
         formatDuration(seconds) + " (" + figures + ")";
}

}  // namespace

std::string stopSentence(const Outcome& outcome, const FitOptions& options, double seconds) {
  std::string sentence = stopReason(outcome, options, seconds);
  if (!outcome.missing.empty()) {
    sentence += "; the answer is from the other chains, without the draws of chain";
    sentence += outcome.missing.size() == 1 ? " " : "s ";
    for (size_t m = 0; m < outcome.missing.size(); m++)
      sentence += (m == 0 ? "" : ", ") + std::to_string(outcome.missing[m] + 1);
  }
  return sentence;
}

}  // namespace fit
