#include "fit/Fit.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "fit/Align.h"
#include "fit/ChainRunner.h"
#include "fit/DataKind.h"
#include "fit/Keep.h"
#include "fit/Options.h"
#include "fit/OutputDir.h"
#include "fit/Pilot.h"
#include "fit/Progress.h"
#include "fit/Tables.h"
#include "fit/Thinning.h"
#include "fit/Watch.h"
#include "io/FileKind.h"
#include "io/Interrupt.h"
#include "io/VisibleText.h"
#include "recommend/Alignment.h"
#include "recommend/Starts.h"
#include "report/Report.h"
#include "summary/agreement.h"
#include "summary/modes.h"
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
std::string copyData(const std::string& from, const std::string& folder, report::DataKind kind,
                     const TableData& table) {
  std::string name = from.substr(from.rfind('/') + 1);
  // A table becomes the engine's matrix: named after the file, without its extension.
  const size_t dot = name.rfind('.');
  if (table.table) name = name.substr(0, dot == 0 || dot == std::string::npos ? name.size() : dot) + ".dat";
  if (name.rfind("summary", 0) == 0 || name.rfind("report", 0) == 0 || name.rfind("chain", 0) == 0 ||
      name.rfind("clusters.csv", 0) == 0 || name.rfind("columns.csv", 0) == 0 ||
      name[0] == '.' || name[0] == '-')
    name = "data-" + name;
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(folder + "/" + name, std::ios::binary);
  if (table.table) {
    out << table.matrix;
  } else if (kind == report::DataKind::Sequences) {
    char c = 0;
    while (in.get(c) && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
    }
    if (in) out.put(c);
  }
  if (!table.table) out << in.rdbuf();
  out.close();
  if (!out) throw FitError("cannot copy the data into the output folder: " + folder + "/" + name);
  return name;
}

bool hasLine(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  return std::getline(in, line) && !in.eof();
}

// Cuts a draws file after its last complete line (a killed chain may leave half a line), and
// after its first `lines` lines when fewer.
void trimDraws(const std::string& file, size_t lines = static_cast<size_t>(-1)) {
  {
    std::ifstream in(file, std::ios::binary);
    std::streamoff at = 0;
    std::string line;
    for (size_t l = 0; l < lines && std::getline(in, line) && !in.eof(); l++) at = in.tellg();
    in.close();
    if (lines != static_cast<size_t>(-1) && at > 0) {
      if (truncate(file.c_str(), static_cast<off_t>(at)) != 0) return;
    }
  }
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

// The draws the summary reads: its similarity costs n^2 / 2 per draw, so about kSummaryPairs
// pair updates in all (about 4 s for 1000 observations on a busy machine), between 500 and
// 20000 draws; and within the summary's bound on labels held (fewer than 500 above 50,000).
size_t summaryDraws(long observations) {
  const double kSummaryPairs = 2.5e8;
  const double n = static_cast<double>(std::max(1L, observations));
  const double draws = std::max(500.0, std::min(20000.0, 2 * kSummaryPairs / (n * n)));
  return static_cast<size_t>(std::max(1.0, std::min(draws, std::floor(summary::kMostDrawCells / n))));
}

int fail(std::ostream& err, const std::string& line) {
  err << "vornak-fit: " << visibleText(line) << '\n' << std::flush;
  return 255;
}

// Everything decided before the chains start.
struct Plan {
  DataShape shape;
  TableData table;                  // a delimited file's matrix, names and classes
  std::vector<std::string> words;   // the settings: recommended, then the user's letters
  std::vector<std::string> common;  // every chain's words but its seed
  std::string engine, dataName;
  OutputDir dir;
  long thin = 1;
  std::string alignCommand;  // --align: how the chains' alignment was made
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
  if (options.align && plan.shape.kind != report::DataKind::Sequences)
    throw FitError(std::string("--align is for FASTA sequences; the data file holds a ") +
                   report::kindName(plan.shape.kind) + ": " + options.dataFile);
  if (options.align && findOnPath("mafft").empty())
    throw FitError("--align runs mafft, which is not on the PATH (Debian package mafft): mafft");
  if (!options.align && plan.shape.kind == report::DataKind::Sequences) {
    std::ifstream in(options.dataFile, std::ios::binary);
    const std::string refusal = recommend::unalignedRefusal(in);
    if (!refusal.empty()) throw FitError(refusal + ", or give vornak-fit --align");
  }
  plan.table = readTableData(options, plan.shape.kind == report::DataKind::Sequences, plan.shape.rows);
  if (plan.table.table) {
    std::istringstream matrix(plan.table.matrix);
    plan.shape = detectData(matrix);
  }
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
    plan.dataName = copyData(options.dataFile, plan.dir.path, plan.shape.kind, plan.table);
    if (options.align) {
      const Aligned aligned = alignSequences(plan.dir.path, plan.dataName);
      plan.dataName = aligned.file;
      plan.alignCommand = aligned.command;
      plan.shape = readData(plan.dir.path + "/" + aligned.file);
    }
    const double budget = std::min(20.0, std::max(2.0, limitSeconds / 5));
    const double speed =
        measureSpeed(plan.engine, recommend::measuringWords(chainWords, options.engineWords, plan.shape.rows),
                     plan.dir.path, plan.dataName, budget);
    if (const int signal = interruptSignal()) throw EarlySignal{signal};
    // The measuring run had the processors to itself; the chains share them.
    const double share = std::min(1.0, static_cast<double>(cores) / (options.chains * threads));
    plan.thin = chooseThin(speed * share, std::max(1.0, limitSeconds - since(start)), plan.shape.rows);
  } catch (const AlignStopped& stopped) {
    discardOutputDir(plan.dir);
    throw EarlySignal{stopped.signal};
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
    std::vector<std::string> args = recommend::chainWords(plan.common, options.engineWords, c, plan.shape.rows);
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
      "Command of chain 1: vornak " + joined(recommend::chainWords(plan.common, options.engineWords, 0, shape.rows)) +
          " -s " + std::to_string(options.firstSeed),
      stopped,
      "Time: " + formatDuration(seconds) + "; every chain made at least " + std::to_string(iterations) +
          " iterations",
  };
  if (!plan.alignCommand.empty())
    lines.insert(lines.begin() + 1, "Aligned before the chains, in the output folder: " + plan.alignCommand);
  const std::string offer = recommend::ordinalOffer(shape, plan.words);
  if (!offer.empty()) lines.push_back(offer);
  return lines;
}

// Each observation's name: a table's row names or an alignment's headers; none otherwise.
std::vector<std::string> observationNames(const Plan& plan, const std::string& folder) {
  if (!plan.table.rowNames.empty()) return plan.table.rowNames;
  if (plan.shape.kind == report::DataKind::Sequences) return fastaNames(folder + "/" + plan.dataName);
  return {};
}

// clusters.csv, and columns.csv for a run with column selection (-V).
void writeTables(const Plan& plan, const Team& team, const summary::Summary& result,
                 const std::vector<std::string>& names) {
  const std::string& folder = plan.dir.path;
  std::ofstream(folder + "/clusters.csv", std::ios::binary)
      << clustersCsv(names, result.estimate.labels, result.mates);
  if (std::find(plan.words.begin(), plan.words.end(), "-V") == plan.words.end()) return;
  std::vector<std::string> files;
  for (const std::string& draws : team.draws) files.push_back(draws.substr(0, draws.size() - 6) + ".columns");
  const std::string text = columnsCsv(files, plan.table.columnNames);
  if (!text.empty()) std::ofstream(folder + "/columns.csv", std::ios::binary) << text;
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
    // Agreed: the summary reads the lines the agreement was measured on, so it finds the same.
    if (outcome.stop == Stop::Agreed && c < outcome.agreement.ends.size())
      trimDraws(team.draws[c], outcome.agreement.ends[c].lines);
    else
      trimDraws(team.draws[c]);
    used.push_back(team.draws[c]);
  }

  // A chain stopped before its first draw has nothing to summarise.
  summary::Request request;
  request.prefix = folder + "/summary";
  request.burn = kBurn;
  request.maxDraws = summaryDraws(plan.shape.rows);
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
  const std::vector<std::string> names = observationNames(plan, folder);
  for (const std::string& name : names) result.names.push_back(visibleText(name));
  // Any stop but agreement is described by the summary's own assessment of the same lines.
  if (outcome.stop != Stop::Agreed) outcome.agreement = result.verdict;
  const std::string stopped = stopSentence(outcome, options, seconds);
  const std::string summaryText = summary::summaryText(result);
  std::ofstream(folder + "/summary.txt", std::ios::binary) << summaryText;

  report::Input input;
  input.dataFile = folder + "/" + plan.dataName;
  input.kind = plan.shape.kind;
  input.labels = result.estimate.labels;
  input.membership = result.mates;
  input.svg = result.svg;
  input.summaryText = summaryText;
  for (const summary::ColumnProbability& c : result.columns.columns)
    input.columnProbability.push_back(c.probability);
  input.notes = notes(plan, options, stopped, seconds, outcome.agreement.iterations);
  if (outcome.stop != Stop::Agreed) input.warnings.push_back(stopped);
  input.warnings.insert(input.warnings.end(), result.warnings.begin(), result.warnings.end());
  if (result.thinStep > 1)
    input.notes.push_back("Summary: of every chain's kept draws one in every " + std::to_string(result.thinStep) +
                          " was read (at most " + std::to_string(request.maxDraws) + " draws in all, so that " +
                          "the summary of a long run takes seconds)");
  input.notes.insert(input.notes.end(), plan.table.notes.begin(), plan.table.notes.end());
  input.rowNames = plan.table.rowNames;
  input.columnNames = plan.table.columnNames;
  input.classes = plan.table.classes;
  input.classSource = plan.table.classSource;
  input.modes = summary::modesText(result);
  if (result.verdict.modes.size() > 1)
    input.conditionalOn = "The chains ended in " + std::to_string(result.verdict.modes.size()) + " modes: " +
                          summary::modesPhrase(result.verdict) + ". The estimate and the membership probabilities "
                          "are from " + summary::chainList(result.estimateChains) +
                          " alone, conditional on the best mode.";
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
  writeTables(plan, team, result, names);
  // A folder named after the data file reaches the terminal with its control bytes as escapes.
  const std::string shown = visibleText(folder);
  std::vector<std::string> outputStems;
  for (int c = 1; c <= static_cast<int>(team.chains.size()); c++)
    outputStems.push_back(folder + "/chain" + std::to_string(c));
  const ChainFiles chainFiles = keepChainFiles(team.draws, outputStems, options.keep);
  out << stopped << '\n'
      << "The answer: " << visibleText(page) << " (estimate " << shown << "/summary.estimate, report " << shown
      << "/summary.txt)\n"
      << chainFilesLine(chainFiles, shown, options.keep) << '\n'
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
  for (const std::string& note : plan.table.notes) out << note << '\n';
  out << std::flush;
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
