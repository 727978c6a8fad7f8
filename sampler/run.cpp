#include <chrono>
#include <cstdio>
#include <memory>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/Interrupt.h"
#include "io/U.h"
#include "sampler/RunLoop.h"
#include "sampler/moves/OneAtATime.h"
#include "sampler/outputs.h"

namespace {

// One refreshed line on standard error while a search runs on a terminal.
class Progress {
 public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  void update(long long iteration, double score, int k) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    char line[160];
    std::snprintf(line, sizeof line, "iteration %lld  %.0f s  score %.6g  clusters %d", iteration,
                  seconds, score, k);
    progressShow(line);
    shown_ = true;
  }
  ~Progress() {
    if (shown_) progressEnd();
  }

 private:
  bool enabled_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_ = start_ - std::chrono::seconds(1);
};

}  // namespace

RunLoop::RunLoop(ChainState& state, Scorer& scorer, const Heuristic* heuristic,
                 const std::string& heuristicName, std::ostream& logFile, DebugLog debug)
    : state_(state),
      scorer_(scorer),
      heuristic_(heuristic),
      heuristicName_(heuristicName),
      logFile_(logFile),
      debug_(debug) {}

void RunLoop::run(long long iterations, int minuteAllowed, const std::string& fileStem) {
  RunOutputs outputs = makeOutputs(fileStem, scorer_, logFile_);
  // The partition is the result of the run: it still goes to .finalz when there is room, so
  // a full disk costs the trace or log lines that did not fit, not the search. Otherwise the
  // last checkpoint's .finalz stays as it was, complete.
  auto failOutput = [&](const std::string& brokenFile) {
    outputs.finalz->salvage(state_);
    failRun(logFile_, Failure::Input, "Fail to write " + brokenFile);
  };

  if (state_.kold == 1 && !state_.infmix) {
    if (!outputs.trace->writeAlone(scorer_.getTotalLik(state_.zold.data(), 1)))
      failOutput(outputs.trace->fileName());
    outputs.finalz->write(state_);
    return;
  }

  const time_t t0 = wallClock();
  for (RunOutput* output : outputs.all) output->start(state_);
  state_.startTrace(scorer_.getTotalLik(state_.zold.data(), state_.kold));
  // The trace writer takes finished runs while it exists, however the run ends.
  struct SinkGuard {
    ChainState& state;
    ~SinkGuard() { state.traceSink = nullptr; }
  } sinkGuard{state_};
  state_.traceSink = outputs.trace.get();

  const bool searches = heuristic_ && !heuristic_->enumerates();
  std::unique_ptr<Move> move;
  std::unique_ptr<Move> sweep;
  if (searches) {
    move = makeMove(*heuristic_, state_.n, state_.infmix, debug_);
    if (heuristic_->sweepsAfter) sweep = std::make_unique<OneAtATime>(state_.n, debug_);
  }
  Progress progress(progressWanted());
  long long lastTimeWriteFinalz = 0;
  long long completed = 0;

  int stoppedBy = 0;
  for (long long idx = 0; idx < iterations; idx++) {
    logFile_ << "Iter " << static_cast<double>(idx + 1) << '\n';
    if (!searches)
      failRun(logFile_, Failure::Internal,
              "PartitionSampler::allIterations(). heuristics not supported: " + heuristicName_);
    move->step(state_, scorer_);
    if (!move->tracesItself()) {
      state_.trace(scorer_.getTotalLik(state_.zold.data(), state_.kold));
      if (sweep) {
        sweep->step(state_, scorer_);
        sweep->step(state_, scorer_);
      }
    }
    completed = idx + 1;
    for (RunOutput* output : outputs.all) output->afterIteration(completed, state_);
    progress.update(completed, state_.previousLik, state_.kold);

    const long long minPassed = static_cast<long long>(wallClock() - t0) / 60;
    // At least an hour since the last checkpoint, so a long iteration cannot skip one.
    if (minPassed - lastTimeWriteFinalz >= 60) {
      lastTimeWriteFinalz = minPassed;
      for (RunOutput* output : outputs.all) output->checkpoint(state_);
      logFile_.flush();
    }
    // A stream fails as soon as a full buffer cannot be written (a full disk, say): stop
    // then rather than run on without a record.
    for (RunOutput* output : outputs.all)
      if (!output->healthy()) failOutput(output->fileName());
    if (!logFile_) failOutput(fileStem + ".log");
    if ((stoppedBy = interruptSignal()) != 0) break;
    if (minPassed >= minuteAllowed) {
      logFile_ << "\n    Iterations completed within allowed time (" << minuteAllowed
               << " min): " << static_cast<double>(idx + 1) << '\n';
      break;
    }
  }

  state_.traceSink = nullptr;
  for (RunOutput* output : outputs.all)
    if (!output->finish(state_)) failOutput(output->fileName());
  if (stoppedBy != 0)
    failRun(logFile_, Failure::Interrupted,
            "Run interrupted by signal " + U::n2s(stoppedBy) + " after iteration " +
                U::n2s(completed),
            128 + stoppedBy, fileStem + ".log");
  writeRates(static_cast<double>(completed));
}

void RunLoop::writeRates(double I) {
  // Rates over zero iterations are written as 0.
  auto rate = [](double count, double proposals) {
    return proposals > 0 ? count / proposals : 0.0;
  };
  const double n = state_.n;
  double acceptanceRatio;
  if (heuristic_ && heuristic_->move == MoveKind::OneAtATime) {
    acceptanceRatio = rate(state_.acceptanceCnt, n * I);
  } else if (heuristic_ && heuristic_->sweepsAfter) {
    acceptanceRatio = rate(state_.acceptanceCnt, (2.0 * n + 1) * I);
    logFile_ << "acceptance rate for non-oneatatime: "
             << rate(state_.acceptanceCnt - state_.acceptanceCntOA, I) << '\n';
    logFile_ << "acceptance rate for     oneatatime: "
             << rate(state_.acceptanceCntOA, 2 * I * n) << '\n';
  } else {
    acceptanceRatio = rate(state_.acceptanceCnt, I);
  }
  logFile_ << "acceptance rate for        overall: " << acceptanceRatio << '\n';
  logFile_ << "next line prints idx, acceptanceRatio" << '\n';
  logFile_ << I << ' ' << acceptanceRatio << '\n';
}
