#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "io/Console.h"
#include "io/Failure.h"
#include "io/Interrupt.h"
#include "io/Text.h"
#include "stats/Arrays.h"
#include "sampler/RunLoop.h"
#include "sampler/HeatedChains.h"
#include "sampler/moves/OneAtATime.h"
#include "sampler/outputs.h"

namespace {

const time_t kRecordFlushSeconds = 2;

// One refreshed line on standard error while a search runs on a terminal. It starts with
// "iteration N", which front ends parse.
class Progress {
 public:
  Progress(bool enabled, long long iterations, int minutes, const RunOptions& options)
      : enabled_(enabled),
        iterations_(options.iterationTarget ? iterations : -1),
        minutes_(options.minuteTarget ? minutes : -1) {}
  void update(long long iteration, double score, double best, int k) {
    if (!enabled_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char target[96] = "";
    if (iterations_ > 0)
      std::snprintf(target, sizeof target, " of %lld (%.0f%%)", iterations_,
                    100.0 * static_cast<double>(iteration) / static_cast<double>(iterations_));
    char time[96];
    if (minutes_ >= 0)
      std::snprintf(time, sizeof time, "%.0f s, %.1f of %d min left", seconds,
                    std::max(0.0, minutes_ - seconds / 60), minutes_);
    else
      std::snprintf(time, sizeof time, "%.0f s", seconds);
    char line[320];
    std::snprintf(line, sizeof line, "iteration %lld%s  %s  score %.6g  best %.6g  clusters %d",
                  iteration, target, time, score, best, k);
    progressShow(line);
    shown_ = true;
  }
  void end() {
    if (shown_) progressEnd();
    shown_ = false;
  }
  ~Progress() { end(); }

 private:
  bool enabled_;
  long long iterations_;  // -1: not a target
  int minutes_;           // -1: not a target
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_ = start_ - std::chrono::seconds(1);
};

std::string scoreText(double score) {
  char text[48];
  return std::string(text, Text::formatDouble(text, text + sizeof text, score, 10));
}

}  // namespace

IterationMoves::IterationMoves(const Heuristic& heuristic, int n, bool infmix, DebugLog debug,
                               int threads)
    : move(makeMove(heuristic, n, infmix, debug, threads)) {
  if (heuristic.sweepsAfter) sweep = std::make_unique<OneAtATime>(n, debug);
}

void IterationMoves::iterate(ChainState& state, Scorer& scorer) {
  move->step(state, scorer);
  if (move->tracesItself()) return;
  state.trace(scorer.getTotalLik(state.zold.data(), state.kold));
  if (sweep) {
    sweep->step(state, scorer);
    sweep->step(state, scorer);
  }
}

RunLoop::RunLoop(ChainState& state, Scorer& scorer, const Heuristic* heuristic,
                 const std::string& heuristicName, std::ostream& logFile, DebugLog debug,
                 RunOptions options)
    : state_(state),
      scorer_(scorer),
      heuristic_(heuristic),
      heuristicName_(heuristicName),
      logFile_(logFile),
      debug_(debug),
      options_(options) {}

// The outputs are the run's observers: each is called at the same points of the loop
// (start, after each iteration, at each checkpoint, at the end) and checked for a failed
// write after each iteration.
struct RunLoop::Run {
  Run(const formats::OutputFiles& files, RunOutputs outputs) : files(files), outputs(std::move(outputs)) {}
  formats::OutputFiles files;
  RunOutputs outputs;
  long long completed = 0;
  int stoppedBy = 0;  // the signal that ended it, or 0
  bool timeUp = false;
  bool stoppedOnScore = false;
  double badScore = 0;
};

void RunLoop::failOutput(Run& run, const std::string& brokenFile) {
  // The partitions are the result of the run: they still go to disk when there is room, so a
  // full disk costs the trace or log lines that did not fit, not the search. Otherwise the
  // last checkpoint's files stay as they were, complete.
  for (RunOutput* output : run.outputs.all) output->salvage(state_);
  failWrite(logFile_, brokenFile);
}

void RunLoop::run(long long iterations, int minuteAllowed, const std::string& fileStem) {
  const formats::OutputFiles files =
      formats::runFiles(fileStem, false, options_.thin, options_.draws.drawsAlpha(),
                        scorer_.columns() != nullptr, options_.draws.drawsP());
  Run run(files, makeOutputs(files, scorer_, logFile_, options_.thin, options_.traceThin));
  const double startScore = scorer_.getTotalLik(state_.zold.data(), state_.kold);
  if (!std::isfinite(startScore))
    failRun(logFile_, Failure::Internal,
            "Run stopped: the starting partition scores " + Text::n2s(startScore));
  state_.startTrace(startScore);
  if (state_.kold == 1 && !state_.infmix) {
    runAlone(run, startScore);
    return;
  }
  const bool searches = heuristic_ && !heuristic_->enumerates();
  std::optional<time_t> t0;
  if (searches && options_.anneal.iterations > 0) {
    started_ = true;
    t0 = wallClock();
    anneal(run, minuteAllowed, *t0);
  }
  for (RunOutput* output : run.outputs.all) output->start(state_);
  // The trace writer takes finished runs while it exists, however the run ends.
  struct SinkGuard {
    ChainState& state;
    ~SinkGuard() { state.traceSink = nullptr; }
  } sinkGuard{state_};
  state_.traceSink = run.outputs.trace.get();
  started_ = searches;
  if (searches && heated) {
    heated->adaptFor(HeatedChains::adaptationLength(iterations));
    heated->describe(logFile_);
  }
  iterate(run, run.stoppedBy ? 0 : iterations, minuteAllowed, searches, t0);
  state_.traceSink = nullptr;
  finish(run, minuteAllowed, searches);
}

// A fixed single cluster: no iteration runs. An empty .draws, the one partition as .finalz
// and .best.
void RunLoop::runAlone(Run& run, double startScore) {
  RunOutputs& outputs = run.outputs;
  if (!outputs.trace->writeAlone(startScore)) failOutput(run, outputs.trace->fileName());
  for (RunOutput* output : outputs.all)
    if (output != outputs.trace.get()) output->start(state_);
  for (RunOutput* output : outputs.all)
    if (output != outputs.trace.get() && !output->finish(state_)) failOutput(run, output->fileName());
  writeBest(outputs.best->fileName());
}

void RunLoop::anneal(Run& run, int minuteAllowed, time_t t0) {
  const AnnealSchedule& schedule = options_.anneal;
  IterationMoves moves(*heuristic_, state_.n, state_.infmix, debug_);
  const double before = state_.previousLik;
  const int kBefore = state_.kold;
  std::vector<int> lastComplete(state_.zold);
  int lastCompleteK = state_.kold;
  long long done = 0;
  std::string cut;
  for (; done < schedule.iterations; done++) {
    scorer_.setInverseTemperature(schedule.beta(done));
    try {
      moves.iterate(state_, scorer_);
    } catch (const Interruption& interruption) {
      run.stoppedBy = interruption.signal;
      cut = "interrupted";
      break;
    } catch (const NonFiniteScore&) {
      // The kept run meets the same score and says so.
      state_.setPartition(lastComplete, lastCompleteK);
      cut = "a score that is not finite";
      break;
    }
    Arrays::copyArray(state_.zold.data(), lastComplete.data(), state_.n);
    lastCompleteK = state_.kold;
    if ((run.stoppedBy = interruptSignal()) != 0) {
      done++;
      cut = "interrupted";
      break;
    }
    if ((wallClock() - t0) / 60 >= minuteAllowed) {
      done++;
      cut = "time limit";
      break;
    }
  }
  scorer_.setInverseTemperature(1);
  const double best = state_.bestScore;
  const double after = scorer_.getTotalLik(state_.zold.data(), state_.kold);
  logFile_ << "Annealed burn-in (-b " << annealText(schedule) << "): " << done << " of "
           << schedule.iterations << " iterations" << (cut.empty() ? "" : " (" + cut + ")")
           << ", inverse temperature from " << schedule.startBeta << " up to 1, kept in no file; score "
           << scoreText(before) << " (" << kBefore << " clusters) before, " << scoreText(after) << " ("
           << state_.kold << " clusters) after, best met " << scoreText(best) << '\n';
  // The kept run starts here: its trace and its best partition know nothing of the annealing.
  if (std::isfinite(after)) state_.startTrace(after);
}

void RunLoop::iterate(Run& run, long long iterations, int minuteAllowed, bool searches,
                      std::optional<time_t> t0) {
  std::unique_ptr<IterationMoves> moves;
  if (searches)
    moves = std::make_unique<IterationMoves>(*heuristic_, state_.n, state_.infmix, debug_,
                                             options_.threads);
  Progress progress(progressWanted(), iterations, minuteAllowed, options_);
  Clock clock{t0 ? *t0 : wallClock(), 0, 0};
  clock.lastRecordFlush = clock.t0;
  // The partition after the last complete iteration: every score on its way was finite.
  std::vector<int> lastComplete(state_.zold);
  int lastCompleteK = state_.kold;
  for (long long idx = 0; idx < iterations; idx++) {
    if (debug_.enabled) logFile_ << "Iter " << static_cast<double>(idx + 1) << '\n';
    if (!searches) {
      // Refused before any move: the files just begun hold nothing to keep and would block
      // the corrected rerun.
      for (RunOutput* output : run.outputs.all) output->discard();
      failRun(logFile_, Failure::Internal,
              "PartitionSampler::allIterations(). heuristics not supported: " + heuristicName_);
    }
    try {
      if (heated)
        heated->iterate(idx + 1, [&] { moves->iterate(state_, scorer_); }, logFile_);
      else
        moves->iterate(state_, scorer_);
    } catch (const Interruption& interruption) {
      // The step in progress is abandoned where it stood: a proposal it had not yet accepted
      // is dropped, and the sweep visits already made keep their trace points.
      run.stoppedBy = interruption.signal;
      break;
    } catch (const NonFiniteScore& bad) {
      run.stoppedOnScore = true;
      run.badScore = bad.score;
      state_.setPartition(lastComplete, lastCompleteK);
      break;
    }
    run.completed = idx + 1;
    Arrays::copyArray(state_.zold.data(), lastComplete.data(), state_.n);
    lastCompleteK = state_.kold;
    afterIteration(run);
    progress.update(run.completed, state_.previousLik, state_.bestScore, state_.kold);
    if (shouldStop(run, clock, minuteAllowed)) break;
  }
  progress.end();
}

void RunLoop::afterIteration(Run& run) {
  // The parameters drawn for the next iteration: alpha before the outputs record the
  // iteration, P after every output of it has used the P of its moves.
  options_.draws.step(ParameterDraw::When::BeforeOutputs, state_, scorer_);
  for (RunOutput* output : run.outputs.all) output->afterIteration(run.completed, state_);
  options_.draws.step(ParameterDraw::When::AfterOutputs, state_, scorer_);
}

bool RunLoop::shouldStop(Run& run, Clock& clock, int minuteAllowed) {
  const time_t now = wallClock();
  const long long minPassed = static_cast<long long>(now - clock.t0) / 60;
  // Draws reach the disk within seconds, so that a watcher of a running chain (vornak-fit,
  // R) sees them while they are drawn; a flush every few seconds costs nothing.
  if (now - clock.lastRecordFlush >= kRecordFlushSeconds) {
    clock.lastRecordFlush = now;
    for (RunOutput* output : run.outputs.all) output->flushRecords();
  }
  // The first checkpoint comes after the first iteration, so that a killed run always
  // leaves a partition; it writes no log line. Then at least an hour since the last one,
  // so a long iteration cannot skip one.
  const bool hourly = minPassed - clock.lastCheckpointMinute >= 60;
  if (run.completed == 1 || hourly) {
    if (hourly) clock.lastCheckpointMinute = minPassed;
    for (RunOutput* output : run.outputs.all) output->checkpoint(state_, hourly);
    logFile_.flush();
  }
  // A stream fails as soon as a full buffer cannot be written (a full disk, say): stop
  // then rather than run on without a record.
  for (RunOutput* output : run.outputs.all)
    if (!output->healthy()) failOutput(run, output->fileName());
  if (!logFile_) failOutput(run, formats::fileOf(run.files, "log"));
  if ((run.stoppedBy = interruptSignal()) != 0) return true;
  if (minPassed >= minuteAllowed) {
    logFile_ << "\n    Iterations completed within allowed time (" << minuteAllowed
             << " min): " << static_cast<double>(run.completed) << '\n';
    run.timeUp = true;
    return true;
  }
  return false;
}

void RunLoop::finish(Run& run, int minuteAllowed, bool searches) {
  for (RunOutput* output : run.outputs.all)
    if (!output->finish(state_)) failOutput(run, output->fileName());
  const std::string after = " after iteration " + Text::n2s(run.completed);
  if (run.stoppedOnScore)
    failRun(logFile_, Failure::Internal,
            "Run stopped: a score that is not a finite number (" + Text::n2s(run.badScore) +
                ") in iteration " + Text::n2s(run.completed + 1) + "; " +
                run.outputs.finalz->fileName() + " holds the partition" + after);
  // On a terminal, one line says how the run ended.
  auto endLine = [&](const std::string& how) {
    const std::string line = "vornak: " + how + " after " + Text::n2s(run.completed) +
                             " iterations; best score " + scoreText(state_.bestScore) + " (" +
                             Text::n2s(state_.bestK) + " clusters), final " + Text::n2s(state_.kold) +
                             " clusters";
    progressFinal(line.c_str());
  };
  if (heated && searches) heated->report(logFile_);
  if (run.stoppedBy != 0) {
    writeBest(run.outputs.best->fileName());
    endLine("interrupted by signal " + Text::n2s(run.stoppedBy));
    failRun(logFile_, Failure::Interrupted,
            "Run interrupted by signal " + Text::n2s(run.stoppedBy) + after, 128 + run.stoppedBy,
            formats::fileOf(run.files, "log"));
  }
  writeRates(static_cast<double>(run.completed));
  writeBest(run.outputs.best->fileName());
  endLine(run.timeUp ? "time limit of " + Text::n2s(minuteAllowed) + " min reached" : "completed");
}

void RunLoop::writeBest(const std::string& bestFile) {
  if (!options_.logBest) return;
  logFile_ << "best score " << scoreText(state_.bestScore) << " (clusters: " << state_.bestK
           << ") in " << bestFile << '\n';
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
