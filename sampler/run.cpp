#include <chrono>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>

#include "sampler/PartitionSampler.h"
#include "io/Console.h"
#include "io/Interrupt.h"
#include "io/RunError.h"
#include "io/U.h"

namespace {

const double kLogZero = -std::numeric_limits<double>::infinity();

enum class Move { JN, DA, Tree, rBHS2, OA, SR, Unsupported };

// The move of a heuristic and, for the tree-guided ones, the flags set before each move.
struct Dispatch {
  Move move;
  bool flat = false;
  bool leaves = false;
};

Dispatch dispatchOf(const std::string& h) {
  if (h == "JN" || h == "JN2") return {Move::JN};
  if (h == "DA" || h == "DA2") return {Move::DA};
  if (h == "UX") return {Move::Tree, false, true};
  if (h == "UX2") return {Move::Tree, false, false};
  if (h == "UXf") return {Move::Tree, true, true};
  if (h == "UXf2") return {Move::Tree, true, false};
  if (h == "rBHS2") return {Move::rBHS2};
  if (h == "OA") return {Move::OA};
  if (h == "SR" || h == "SR2") return {Move::SR};
  return {Move::Unsupported};
}

bool endsWith2(const std::string& h) { return !h.empty() && h.back() == '2'; }

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

void PartitionSampler::failOutput(const std::string& fileStem, const std::string& brokenFile) {
  // The partition is the result of the run: it still goes to .finalz when there is room, so
  // a full disk costs the trace or log lines that did not fit, not the search. Otherwise the
  // last checkpoint's .finalz stays as it was, complete.
  if (U::writeFileAtomically(fileStem + ".finalz", U::arrayLine(zold.data(), n)))
    logFile << "  write " << fileStem << ".finalz" << '\n';
  U::fail(logFile, "Fail to write " + brokenFile);
}

void PartitionSampler::print(std::ostream& of, const int* z, bool newline) {
  std::vector<int> sizes(kold);
  U::table(z, n, sizes.data(), kold);
  std::streamsize precision = of.precision(6);
  of << "        " << getTotalLik(z, kold) << "  ";
  of.precision(precision);
  U::printArray(sizes.data(), kold, of, newline);
}

void PartitionSampler::traceit(double lik) {
  if (lik == kLogZero) lik = getTotalLik(zold.data(), kold);
  if (lik == previousLik) {
    preivousLikCount += 1;
    return;
  }
  U::writeNumber(save, previousLik, ' ');
  save << preivousLikCount << '\n';
  previousLik = lik;
  preivousLikCount = 1;
}

void PartitionSampler::writeFinalz(const std::string& fileStem) {
  U::replaceFile(fileStem + ".finalz", U::arrayLine(zold.data(), n), logFile);
}

void PartitionSampler::run(long long iterations, int minuteAllowed, const std::string& fileStem) {
  if (kold == 1 && !infmix) {
    U::openWrite(save, fileStem + ".save", logFile, false);
    save << std::setprecision(10) << getTotalLik(zold.data(), 1) << ' ' << 0 << '\n';
    save.close();
    if (save.fail()) failOutput(fileStem, fileStem + ".save");
    writeFinalz(fileStem);
    return;
  }

  const time_t t0 = wallClock();
  U::openWrite(save, fileStem + ".save", logFile, false);
  print(save, zold.data(), true);
  save << std::setprecision(10);
  previousLik = getTotalLik(zold.data(), kold);
  preivousLikCount = 1;

  const Dispatch dispatch = dispatchOf(heuristics);
  const Move move = dispatch.move;
  const bool twoSweeps = endsWith2(heuristics);
  Progress progress(progressWanted());
  int aCounter = 0;
  long long lastTimeWriteFinalz = 0;
  long long completed = 0;

  int stoppedBy = 0;
  for (long long idx = 0; idx < iterations; idx++) {
    logFile << "Iter " << static_cast<double>(idx + 1) << '\n';
    switch (move) {
      case Move::JN:
        JNSplitMerge();
        break;
      case Move::DA:
        Dahl();
        break;
      case Move::Tree:
        flatHeuristicProb = dispatch.flat;
        includeLeafNode = dispatch.leaves;
        SMsampler();
        break;
      case Move::rBHS2:
        aCounter = (aCounter + 1) % 10;
        flatHeuristicProb = aCounter == 0;
        includeLeafNode = false;
        SMsampler();
        break;
      case Move::OA:
        oneAtATime();
        break;
      case Move::SR:
        if (infmix) {
          InfMixSRSplitMerge();
        } else {
          control_heuristic_p = 0;
          SMsampler();
        }
        break;
      case Move::Unsupported:
        U::fail(logFile, "PartitionSampler::allIterations(). heuristics not supported: " + heuristics);
    }
    if (move != Move::OA) {
      traceit(kLogZero);
      if (twoSweeps) {
        oneAtATime();
        oneAtATime();
      }
    }
    completed = idx + 1;
    progress.update(completed, previousLik, kold);

    const long long minPassed = static_cast<long long>(wallClock() - t0) / 60;
    // At least an hour since the last checkpoint, so a long iteration cannot skip one.
    if (minPassed - lastTimeWriteFinalz >= 60) {
      lastTimeWriteFinalz = minPassed;
      writeFinalz(fileStem);
      save.flush();
      logFile.flush();
    }
    // A stream fails as soon as a full buffer cannot be written (a full disk, say): stop
    // then rather than run on without a record.
    if (!save) failOutput(fileStem, fileStem + ".save");
    if (!logFile) failOutput(fileStem, fileStem + ".log");
    if ((stoppedBy = interruptSignal()) != 0) break;
    if (minPassed >= minuteAllowed) {
      logFile << "\n    Iterations completed within allowed time (" << minuteAllowed
              << " min): " << static_cast<double>(idx + 1) << '\n';
      break;
    }
  }

  U::writeNumber(save, previousLik, ' ');
  save << preivousLikCount << '\n';
  save.close();
  if (save.fail()) failOutput(fileStem, fileStem + ".save");
  writeFinalz(fileStem);
  if (stoppedBy != 0) {
    std::string line = "Run interrupted by signal " + U::n2s(stoppedBy) + " after iteration " +
                       U::n2s(completed);
    logFile << line << '\n';
    logFile.flush();
    if (!logFile) U::fail(logFile, "Fail to write " + fileStem + ".log");
    throw RunError(line, 128 + stoppedBy);
  }

  // Rates over zero iterations are written as 0.
  const double I = static_cast<double>(completed);
  auto rate = [](double count, double proposals) { return proposals > 0 ? count / proposals : 0.0; };
  double acceptanceRatio;
  if (heuristics == "OA") {
    acceptanceRatio = rate(acceptanceCnt, n * I);
  } else if (twoSweeps) {
    acceptanceRatio = rate(acceptanceCnt, (2.0 * n + 1) * I);
    logFile << "acceptance rate for non-oneatatime: " << rate(acceptanceCnt - acceptanceCntOA, I)
            << '\n';
    logFile << "acceptance rate for     oneatatime: " << rate(acceptanceCntOA, 2 * I * n) << '\n';
  } else {
    acceptanceRatio = rate(acceptanceCnt, I);
  }
  logFile << "acceptance rate for        overall: " << acceptanceRatio << '\n';
  logFile << "next line prints idx, acceptanceRatio" << '\n';
  logFile << I << ' ' << acceptanceRatio << '\n';
}
