#include "fit/Fit.h"

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
#include "fit/Watch.h"
#include "io/FileKind.h"
#include "io/Interrupt.h"
#include "io/VisibleText.h"
#include "report/Report.h"
#include "summary/agreement.h"
#include "summary/summary.h"

namespace fit {
namespace {

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

DataShape readData(const std::string& file) {
  if (!notRegularFile(file).empty()) throw FitError("the data file is not a regular file: " + file);
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

bool hasLine(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  return std::getline(in, line) && !in.eof();
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

int fail(std::ostream& err, const std::string& line) {
  err << "vornak-fit: " << visibleText(line) << '\n' << std::flush;
  return 255;
}

// Everything decided before the chains start.
struct Plan {
  DataShape shape;
  std::vector<std::string> words;   // the settings: recommended, then the user's letters
  std::vector<std::string> common;  // every chain's words but its seed
  std::string engine, dataName;
  OutputDir dir;
  long thin = 1;
};

// A signal recorded before the chains started.
struct EarlySignal {
  int signal;
};

// Detects the data, merges the settings, makes the folder and measures a chain's speed; a
// failure once the folder exists removes it again.
Plan makePlan(const FitOptions& options, Clock::time_point start, double limitSeconds) {
  Plan plan;
  plan.shape = readData(options.dataFile);
  // The shared recommender (recommend/) chooses the settings, budgets the threads of heated
  // chains and refuses what the engine would refuse, before any folder exists.
  recommend::Request request;
  request.given = options.engineWords;
  request.chains = options.chains;
  recommend::Choice choice;
  try {
    choice = recommend::choose(plan.shape, request);
  } catch (const recommend::RecommendError& error) {
    throw FitError(error.what());
  }
  const std::vector<std::string>& chainWords = choice.words;
  const int threads = choice.threads;
  plan.words = chainWords;
  {
    std::vector<std::string> check = {"-f", "data", "-t", "1", "-s", "1"};
    check.insert(check.end(), chainWords.begin(), chainWords.end());
    const std::string refusal = recommend::engineRefusal(check);
    if (!refusal.empty()) throw FitError(refusal);
  }
  const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  plan.engine = findEngine();
  plan.dir = makeOutputDir(options.outDir, options.dataFile);
  try {
    plan.dataName = copyData(options.dataFile, plan.dir.path, plan.shape.kind);
    const double budget = std::min(20.0, std::max(2.0, limitSeconds / 5));
    const double speed = measureSpeed(plan.engine, chainWords, plan.dir.path, plan.dataName, budget);
    if (const int signal = interruptSignal()) throw EarlySignal{signal};
    // The measuring run had the processors to itself; the chains share them.
    const double share = std::min(1.0, static_cast<double>(cores) / (options.chains * threads));
    plan.thin = chooseThin(speed * share, std::max(1.0, limitSeconds - since(start)), plan.shape.rows);
  } catch (...) {
    discardOutputDir(plan.dir);
    throw;
  }
  // Each chain also ends by itself a minute after the limit, should vornak-fit be stopped.
  const std::string bound = std::to_string(static_cast<long>(std::ceil(options.minutes)) + 1);
  const std::string thin = std::to_string(plan.thin);
  plan.common = {"-f", plan.dataName};
  plan.common.insert(plan.common.end(), chainWords.begin(), chainWords.end());
  plan.common.insert(plan.common.end(), {"-t", bound, "-d", thin, "-e", thin});
  return plan;
}

Team startChains(const Plan& plan, const FitOptions& options) {
  Team team;
  for (int c = 0; c < options.chains; c++) {
    std::vector<std::string> args = plan.common;
    args.insert(args.end(), {"-s", std::to_string(options.firstSeed + static_cast<unsigned long long>(c))});
    const std::string name = plan.dir.path + "/chain" + std::to_string(c + 1);
    team.draws.push_back(plan.dir.path + "/" + drawsFileOf(args));
    team.chains.push_back(
        std::make_unique<Chain>(plan.engine, args, plan.dir.path, name + ".stdout", name + ".stderr"));
  }
  return team;
}

std::vector<std::string> notes(const Plan& plan, const FitOptions& options, const std::string& stopped,
                               double seconds, long long iterations) {
  const DataShape& shape = plan.shape;
  const std::string size = shape.kind == report::DataKind::Sequences
                               ? " sequences"
                               : " rows x " + std::to_string(shape.columns) + " columns";
  const unsigned long long lastSeed = options.firstSeed + static_cast<unsigned long long>(options.chains) - 1;
  std::vector<std::string> lines = {
      "Data: " + options.dataFile + ", " + report::kindName(shape.kind) + ", " + std::to_string(shape.rows) + size +
          (shape.missing ? ", with NA cells" : ""),
      "Settings: " + joined(plan.words) + "; " + std::to_string(options.chains) + " chains, seeds " +
          std::to_string(options.firstSeed) + " to " + std::to_string(lastSeed) + ", a draw kept every " +
          std::to_string(plan.thin) + " iterations",
      "Command of chain 1: vornak " + joined(plan.common) + " -s " + std::to_string(options.firstSeed),
      stopped,
      "Time: " + formatDuration(seconds) + "; every chain made at least " + std::to_string(iterations) +
          " iterations",
  };
  const std::string offer = recommend::ordinalOffer(shape, plan.words);
  if (!offer.empty()) lines.push_back(offer);
  return lines;
}

// The summary of the stopped chains' draws and the page; prints where they are.
int answer(const Plan& plan, const FitOptions& options, Team& team, Outcome outcome, double seconds,
           std::ostream& out, std::ostream& err) {
  const std::string& folder = plan.dir.path;
  // A chain that died by a signal is left out (and named); the others' draws make the answer.
  std::vector<std::string> used;
  for (size_t c = 0; c < team.chains.size(); c++) {
    const Chain& chain = *team.chains[c];
    if (chain.died()) {
      outcome.missing.push_back(c);
      continue;
    }
    if (!chain.endedNormally() && !chain.killed() && chain.foreignSignal() == 0)
      return fail(err, failureLine(chain.outFile(), chain.errFile()));
    trimDraws(team.draws[c]);
    used.push_back(team.draws[c]);
  }
  if (outcome.stop != Stop::Agreed) outcome.agreement = summary::checkAgreement(used, kBurn);
  const std::string stopped = stopSentence(outcome, options, seconds);

  // A chain stopped before its first draw has nothing to summarise.
  summary::Request request;
  request.prefix = folder + "/summary";
  request.burn = kBurn;
  for (const std::string& draws : used)
    if (hasLine(draws)) request.files.push_back(draws);
  if (request.files.empty())
    return fail(err, "no chain kept a draw before the stop (one every " + std::to_string(plan.thin) +
                         " iterations); give more time: --minutes " + formatMinutes(options.minutes));
  summary::Summary result;
  try {
    result = summary::summariseDraws(request);
  } catch (const std::bad_alloc&) {
    return fail(err, "the summary of the draws failed: Out of memory: the draws are too many for this machine");
  } catch (const std::exception& error) {
    return fail(err, "the summary of the draws failed: " + visibleText(error.what()));
  }
  const std::string summaryText = summary::summaryText(result);
  std::ofstream(folder + "/summary.txt", std::ios::binary) << summaryText;

  report::Input input;
  input.dataFile = folder + "/" + plan.dataName;
  input.kind = plan.shape.kind;
  input.labels = result.estimate.labels;
  input.membership = result.mates;
  input.svg = result.svg;
  input.summaryText = summaryText;
  input.notes = notes(plan, options, stopped, seconds, outcome.agreement.iterations);
  const std::string page = folder + "/report.html";
  // The signal that stopped the chains has done its work; the page reads the data with the
  // engine's readers, which stop at a recorded signal, so only a new one stops them.
  clearInterrupt();
  try {
    report::writeReport(input, page);
  } catch (const report::ReportError& error) {
    return fail(err, error.what());
  } catch (const Interruption& interruption) {
    err << "vornak-fit: stopped by signal " << interruption.signal << " while writing " << visibleText(page) << "\n";
    return 128 + interruption.signal;
  }
  // A folder named after the data file reaches the terminal with its control bytes as escapes.
  const std::string shown = visibleText(folder);
  out << stopped << '\n'
      << "The answer: " << visibleText(page) << " (estimate " << shown << "/summary.estimate, report " << shown
      << "/summary.txt)\n"
      << std::flush;
  return outcome.stop == Stop::Signal ? 128 + outcome.signal : 0;
}

int run(const FitOptions& options, std::ostream& out, std::ostream& err, bool terminal) {
  const Clock::time_point start = Clock::now();
  const double limitSeconds = options.minutes * 60;
  Plan plan;
  try {
    plan = makePlan(options, start, limitSeconds);
  } catch (const EarlySignal& early) {
    err << "vornak-fit: stopped by signal " << early.signal << " before the chains started\n";
    return 128 + early.signal;
  }
  Team team = startChains(plan, options);
  ProgressLine progress(err, terminal, options.progress);
  Outcome outcome;
  try {
    outcome = watch(team, options, start, limitSeconds, progress);
  } catch (...) {
    stopAll(team);  // the chains keep their files, as after any stop
    progress.end();
    throw;
  }
  stopAll(team);
  progress.end();
  if (outcome.stop == Stop::ChainFailed) {
    const Chain& chain = *team.chains[outcome.chain];
    return fail(err, failureLine(chain.outFile(), chain.errFile()));
  }
  return answer(plan, options, team, outcome, since(start), out, err);
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
