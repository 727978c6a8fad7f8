#include "fit/Fit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "fit/ChainRunner.h"
#include "fit/DataKind.h"
#include "fit/Options.h"
#include "fit/OutputDir.h"
#include "fit/Pilot.h"
#include "fit/Progress.h"
#include "fit/Thinning.h"
#include "io/Interrupt.h"
#include "report/Report.h"
#include "summary/agreement.h"
#include "summary/summary.h"

namespace fit {
namespace {

using Clock = std::chrono::steady_clock;

const double kBurn = 0.5;               // share of each chain's draws the checks and summary drop
const double kFirstCheckSeconds = 2;    // the checks start after, and are at least this far apart
const double kStopWaitSeconds = 60;     // an interrupted chain that outlasts this is killed

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

DataShape readData(const std::string& file) {
  struct stat info;
  if (stat(file.c_str(), &info) != 0) throw FitError("cannot read the data file: " + file);
  if (!S_ISREG(info.st_mode)) throw FitError("the data file is not a regular file: " + file);
  std::ifstream in(file, std::ios::binary);
  if (!in) throw FitError("cannot read the data file: " + file);
  return detectData(in);
}

// The copy the chains read, in the output folder (a chain writes its files beside its data).
// An alignment loses its leading blank lines, which the engine would take for a header.
std::string copyData(const std::string& from, const std::string& folder, report::DataKind kind) {
  std::string name = from.substr(from.rfind('/') + 1);
  if (name.rfind("summary", 0) == 0 || name.rfind("report", 0) == 0 || name.rfind("chain", 0) == 0 ||
      name[0] == '.' || name[0] == '-')
    name = "data-" + name;
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(folder + "/" + name, std::ios::binary);
  if (kind == report::DataKind::Sequences) {
    char c = 0;
    while (in.get(c) && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
    }
    if (in) out.put(c);
  }
  out << in.rdbuf();
  out.close();
  if (!out) throw FitError("cannot copy the data into the output folder: " + folder + "/" + name);
  return name;
}

// Cuts a draws file after its last complete line (a killed chain may leave half a line).
void trimDraws(const std::string& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return;
  std::streamoff size = in.tellg();
  std::streamoff end = size;
  char c = 0;
  while (end > 0) {
    in.seekg(end - 1);
    in.get(c);
    if (c == '\n') break;
    end--;
  }
  in.close();
  if (end < size) truncate(file.c_str(), static_cast<off_t>(end));
}

enum class Stop { Agreed, TimeLimit, Signal, ChainEnded, ChainFailed };

struct Team {
  std::vector<std::unique_ptr<Chain>> chains;
  std::vector<std::string> draws;  // each chain's draws file, once its stem is known
};

class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool terminal, bool wanted) : err_(err), terminal_(terminal), wanted_(wanted || terminal) {}
  void show(const std::string& line) {
    if (!wanted_) return;
    if (terminal_) {
      err_ << '\r' << line << "\033[K" << std::flush;
      shown_ = true;
    } else {
      err_ << "vornak-fit: " << line << '\n' << std::flush;
    }
  }
  bool terminal() const { return terminal_; }
  void end() {
    if (shown_) err_ << '\n' << std::flush;
    shown_ = false;
  }

 private:
  std::ostream& err_;
  bool terminal_, wanted_, shown_ = false;
};

struct Outcome {
  Stop stop = Stop::TimeLimit;
  int signal = 0;
  size_t chain = 0;  // the chain that ended or failed (0-based)
  summary::Agreement agreement;
};

Outcome watch(Team& team, const std::string& folder, const FitOptions& options,
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
      if (team.draws[c].empty()) {
        const std::string stem = readStem(chain.outFile());
        if (!stem.empty()) team.draws[c] = folder + "/" + stem + ".draws";
      }
      if (!chain.running()) {
        outcome.chain = c;
        outcome.stop = chain.endedNormally() ? Stop::ChainEnded : Stop::ChainFailed;
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
    // Rewritten in place twice a second on a terminal; elsewhere one line per check.
    if (progress.terminal() ? since(lastShown) >= 0.5 : checkedNow) {
      progress.show(checked ? progressLine(since(start), outcome.agreement)
                            : formatDuration(since(start)) + "  chains starting");
      lastShown = Clock::now();
    }
  }
}

// Interrupts every chain still running, then waits for each (bounded).
void stopAll(Team& team) {
  for (auto& chain : team.chains) chain->interrupt();
  for (auto& chain : team.chains) chain->finish(kStopWaitSeconds);
}

std::string stopSentence(const Outcome& outcome, const FitOptions& options, double seconds) {
  const std::string figures = agreementFigures(outcome.agreement);
  switch (outcome.stop) {
    case Stop::Agreed:
      return "Stopped: the chains agreed after " + formatDuration(seconds) + " (" + figures + ")";
    case Stop::TimeLimit: {
      std::ostringstream minutes;
      minutes << options.minutes;
      return "Stopped at the time limit of " + minutes.str() + " minutes before the chains agreed (" +
             figures + "); run longer (--minutes) before trusting the answer";
    }
    case Stop::Signal:
      return "Stopped by signal " + std::to_string(outcome.signal) + " after " + formatDuration(seconds) +
             ", before the chains agreed (" + figures + ")";
    case Stop::ChainEnded:
    case Stop::ChainFailed:
      break;
  }
  return "Stopped: chain " + std::to_string(outcome.chain + 1) + " ended by itself after " +
         formatDuration(seconds) + " (" + figures + ")";
}

int fail(std::ostream& err, const std::string& line) {
  err << "vornak-fit: " << line << '\n' << std::flush;
  return 255;
}

int run(const FitOptions& options, std::ostream& out, std::ostream& err, bool terminal) {
  const Clock::time_point start = Clock::now();
  const double limitSeconds = options.minutes * 60;
  const DataShape shape = readData(options.dataFile);
  const std::vector<std::string> words = mergeWords(recommendedWords(shape), options.engineWords);
  const std::string engine = findEngine();
  const OutputDir dir = makeOutputDir(options.outDir, options.dataFile);

  // Threads per chain: heated chains share the processors with the other chains.
  const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const int heated = std::max(1, std::atoi(wordValue(words, "-T").c_str()));
  std::vector<std::string> chainWords = words;
  if (heated > 1 && wordValue(words, "-j").empty())
    chainWords.insert(chainWords.end(), {"-j", std::to_string(std::max(1, cores / options.chains))});
  const int threads = heated > 1 ? std::min(heated, std::max(1, std::atoi(wordValue(chainWords, "-j").c_str()))) : 1;

  std::string dataName;
  long thin = 1;
  try {
    dataName = copyData(options.dataFile, dir.path, shape.kind);
    const double budget = std::min(20.0, std::max(2.0, limitSeconds / 5));
    const double speed = measureSpeed(engine, chainWords, dir.path, dataName, budget);
    if (const int signal = interruptSignal()) {
      discardOutputDir(dir);
      err << "vornak-fit: stopped by signal " << signal << " before the chains started\n";
      return 128 + signal;
    }
    const double share = std::min(1.0, static_cast<double>(cores) / (options.chains * threads));
    const double observations = static_cast<double>(shape.rows);
    thin = chooseThin(speed * share, std::max(1.0, limitSeconds - since(start)), static_cast<long>(observations));
  } catch (const FitError&) {
    discardOutputDir(dir);
    throw;
  }

  // Each chain also ends by itself a minute after the limit, should vornak-fit be stopped.
  const std::string bound = std::to_string(static_cast<long>(std::ceil(options.minutes)) + 1);
  std::vector<std::string> common = {"-f", dataName};
  common.insert(common.end(), chainWords.begin(), chainWords.end());
  for (const std::string& word : {std::string("-t"), bound, std::string("-d"), std::to_string(thin),
                                  std::string("-e"), std::to_string(thin)})
    common.push_back(word);
  Team team;
  for (int c = 0; c < options.chains; c++) {
    std::vector<std::string> args = common;
    args.insert(args.end(), {"-s", std::to_string(options.firstSeed + static_cast<unsigned long long>(c))});
    const std::string name = dir.path + "/chain" + std::to_string(c + 1);
    team.chains.push_back(std::make_unique<Chain>(engine, args, dir.path, name + ".stdout", name + ".stderr"));
    team.draws.emplace_back();
  }

  ProgressLine progress(err, terminal, options.progress);
  Outcome outcome = watch(team, dir.path, options, start, limitSeconds, progress);
  stopAll(team);
  progress.end();
  const double seconds = since(start);
  if (outcome.stop == Stop::ChainFailed) {
    const Chain& chain = *team.chains[outcome.chain];
    return fail(err, failureLine(chain.outFile(), chain.errFile()));
  }
  for (size_t c = 0; c < team.chains.size(); c++) {
    if (team.draws[c].empty()) team.draws[c] = dir.path + "/" + readStem(team.chains[c]->outFile()) + ".draws";
    if (!team.chains[c]->endedNormally() && !team.chains[c]->killed())
      return fail(err, failureLine(team.chains[c]->outFile(), team.chains[c]->errFile()));
    trimDraws(team.draws[c]);
  }
  if (outcome.stop != Stop::Agreed) outcome.agreement = summary::checkAgreement(team.draws, kBurn);
  const std::string stopped = stopSentence(outcome, options, seconds);

  std::vector<std::string> summaryArgs = {"-o", dir.path + "/summary"};
  summaryArgs.insert(summaryArgs.end(), team.draws.begin(), team.draws.end());
  std::ostringstream summaryOut, summaryErr;
  if (runSummary(summaryArgs, summaryOut, summaryErr) != 0) {
    std::string line = summaryErr.str();
    line = line.substr(0, line.find('\n'));
    return fail(err, "the summary of the draws failed: " + line);
  }
  std::ofstream(dir.path + "/summary.txt", std::ios::binary) << summaryOut.str();

  report::Input input;
  input.dataFile = dir.path + "/" + dataName;
  input.kind = shape.kind;
  input.summaryPrefix = dir.path + "/summary";
  input.summaryText = summaryOut.str();
  input.notes = {
      "Data: " + options.dataFile + ", " + report::kindName(shape.kind) + ", " + std::to_string(shape.rows) +
          (shape.kind == report::DataKind::Sequences ? " sequences"
                                                     : " rows x " + std::to_string(shape.columns) + " columns") +
          (shape.missing ? ", with NA cells" : ""),
      "Settings: " + joined(words) + "; " + std::to_string(options.chains) + " chains, seeds " +
          std::to_string(options.firstSeed) + " to " + std::to_string(options.firstSeed + options.chains - 1) +
          ", a draw kept every " + std::to_string(thin) + " iterations",
      "Command of chain 1: vornak " + joined(common) + " -s " + std::to_string(options.firstSeed),
      stopped,
      "Time: " + formatDuration(seconds) + "; every chain made at least " +
          std::to_string(outcome.agreement.iterations) + " iterations",
  };
  const std::string page = dir.path + "/report.html";
  try {
    report::writeReport(input, page);
  } catch (const report::ReportError& error) {
    return fail(err, error.what());
  }
  out << stopped << '\n' << "The answer: " << page << " (estimate " << dir.path << "/summary.estimate, report "
      << dir.path << "/summary.txt)\n" << std::flush;
  return outcome.stop == Stop::Signal ? 128 + outcome.signal : 0;
}

}  // namespace

int runFit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool progressOnTerminal) {
  try {
    const FitOptions options = parseOptions(args);
    if (options.help) {
      out << helpText() << std::flush;
      return 0;
    }
    return run(options, out, err, progressOnTerminal);
  } catch (const FitError& error) {
    return fail(err, error.what());
  } catch (const std::exception& error) {
    return fail(err, error.what());
  }
}

}  // namespace fit
