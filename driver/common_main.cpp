#include "driver/common_main.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "driver/options.h"
#include "io/Console.h"
#include "io/Failure.h"
#include "io/Interrupt.h"
#include "io/RunError.h"
#include "io/Files.h"
#include "io/Text.h"
#include "models/ClusterParameters.h"
#include "models/RealRows.h"
#include "sampler/PartitionSampler.h"
#include "sampler/outputs.h"
#include "stats/rvgs.h"

namespace {

[[noreturn]] void refuse(const std::string& line) { failRun(vout(), Failure::Setting, line); }

struct Criterion {
  const char* name;
  FitnessZType type;
};
const Criterion kCriteria[] = {
    {"classi", CLASSIFICATION}, {"mixture", MIXTURE}, {"integrated", INTEGRATED}};

ScoringMode scoringFromEnvironment() {
  const char* value = std::getenv("VORNAK_SCORING");
  const std::string mode = value ? value : "";
  if (mode.empty() || mode == "exact") return ScoringMode::Exact;
  if (mode == "reference") return ScoringMode::Reference;
  refuse("VORNAK_SCORING must be reference or exact: " + mode);
}

// A whole number written in decimal digits only, within 0..max.
bool wholeNumber(const std::string& text, unsigned long long max, unsigned long long& value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, value);
  return !text.empty() && text[0] != '-' && result.ec == std::errc() && result.ptr == end &&
         value <= max;
}

// The further options' values checked against their rows; a number's text becomes its plain
// decimal form for the file stem.
void checkFurtherOptions(Settings& s, RunPlan& plan) {
  for (const OptionSpec& option : kOptions) {
    if (!option.further || !s.has(option.name)) continue;
    std::string& text = s.further[option.name];
    if (option.kind == ValueKind::Flag) {
      plan.values[option.name] = 1;
      continue;
    }
    if (option.kind == ValueKind::Text && option.words) {
      // The value is the word's place in the list of accepted words.
      const std::string words = std::string("|") + option.words + "|";
      const size_t at = text.empty() || text.find('|') != std::string::npos
                            ? std::string::npos
                            : words.find("|" + text + "|");
      if (at == std::string::npos) refuse(std::string("main(). ") + option.refusal + ": " + text);
      plan.values[option.name] = std::count(words.begin(), words.begin() + at, '|');
      continue;
    }
    if (option.kind == ValueKind::Text) continue;  // checked on its own
    if (option.kind == ValueKind::RealNumber) {
      char* end = nullptr;
      const double real = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0' || !std::isfinite(real) ||
          !(real > static_cast<double>(option.min) && real < static_cast<double>(option.max)))
        refuse(std::string("main(). ") + option.refusal + ": " + text);
      text = Text::n2s(real);
      plan.reals[option.name] = real;
      continue;
    }
    unsigned long long value = 0;
    if (!wholeNumber(text, static_cast<unsigned long long>(option.max), value) ||
        value < static_cast<unsigned long long>(option.min))
      refuse(std::string("main(). ") + option.refusal + ": " + text);
    text = std::to_string(value);
    plan.values[option.name] = static_cast<long long>(value);
  }
}

// The usage-text whole numbers with a range checked by the plan (k); the value that stands for
// an absent option never reaches the plan.
void checkSpecifiedRanges(const Settings& s) {
  for (const OptionSpec& option : kOptions) {
    const auto field = std::get_if<int Settings::*>(&option.field);
    if (!field || !option.refusal) continue;
    const int value = s.**field;
    if (value != option.absent && (value < option.min || value > option.max))
      refuse(std::string("main(). ") + option.refusal + ": " + Text::n2s(value));
  }
}

// The stem parts of the further options given that go at place.
std::string furtherStemParts(const Settings& s, StemPlace place) {
  std::string parts;
  for (const OptionSpec& option : kOptions)
    if (option.place == place && s.has(option.name)) parts += option.stem + s.further.at(option.name);
  return parts;
}

// -V is defined for the integrated score of the models whose score is a sum over columns.
void checkColumnSelection(const Settings& s, const RunPlan& plan) {
  if (!plan.model->selectsColumns) {
    std::string names;
    for (const ModelEntry* m = kModels; m->name; m++)
      if (m->selectsColumns) names += std::string(names.empty() ? "" : ", ") + m->name;
    refuse("main(). -V selects the columns of " + names + " only, not of " + s.model);
  }
  if (plan.criterionKnown && plan.criterion != INTEGRATED)
    refuse("main(). -V needs the integrated criterion: " + s.criterionType);
}

// -W A,B: a Beta(A, B) prior on the P of -V, which is its starting value.
void checkColumnPrior(Settings& s, RunPlan& plan) {
  std::string& text = s.further["-W"];
  const std::string refusal = "main(). -W must be two positive numbers A,B: " + text;
  if (!s.has("-V")) refuse("main(). -W needs -V, whose P starts the chain: " + text);
  const std::string::size_type comma = text.find(',');
  if (comma == std::string::npos) refuse(refusal);
  double shape[2];
  const std::string parts[2] = {text.substr(0, comma), text.substr(comma + 1)};
  for (int i = 0; i < 2; i++) {
    char* end = nullptr;
    shape[i] = std::strtod(parts[i].c_str(), &end);
    if (parts[i].empty() || *end != '\0' || !std::isfinite(shape[i]) || !(shape[i] > 0))
      refuse(refusal);
  }
  plan.chain.columnPrior = {shape[0], shape[1]};
  text = Text::n2s(shape[0]) + "," + Text::n2s(shape[1]);
}

// PS draws cluster parameters: a model and prior that have them, for the integrated
// criterion, without -V (models/ClusterParameters.h).
void checkParallelSweep(const Settings& s, const RunPlan& plan) {
  if (!plan.heuristic || plan.heuristic->move != MoveKind::ParallelSweep) return;
  const std::string prior = s.prior.empty() ? plan.model->defaultPrior : s.prior;
  if (!drawsClusterParameters(s.model, prior))
    refuse("main(). heuristic PS draws the cluster parameters of " + clusterParameterModels() +
           " only: " + s.model + (prior.empty() ? "" : " -p " + prior));
  if (plan.criterionKnown && plan.criterion != INTEGRATED)
    refuse("main(). heuristic PS needs the integrated criterion: " + s.criterionType);
  if (s.has("-V"))
    refuse("main(). heuristic PS does not draw the column selection of -V: " + s.further.at("-V"));
}

bool enumerates(const Settings& s) {
  const Heuristic* heuristic = findHeuristic(s.heuristics);
  return heuristic && heuristic->enumerates();
}

// -A SHAPE,RATE: two positive finite numbers, for an open k and a search only.
void checkAlphaPrior(const Settings& s, RunPlan& plan) {
  if (!s.has("-A")) return;
  const std::string& text = s.further.at("-A");
  const size_t comma = text.find(',');
  auto positive = [](const std::string& word, double& value) {
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(value) && value > 0 &&
           !std::isspace(static_cast<unsigned char>(word[0]));
  };
  if (comma == std::string::npos || !positive(text.substr(0, comma), plan.chain.alphaShape) ||
      !positive(text.substr(comma + 1), plan.chain.alphaRate))
    refuse("main(). -A must be SHAPE,RATE, two positive numbers: " + text);
  // A draw of alpha is Gamma with a shape of at most SHAPE + n and a rate of at least RATE:
  // log alpha must stay below log of the largest double, for any n the engine reads (up to
  // 1e9, its Gamma draws well within 50 standard deviations); below the smallest normal
  // shape the draws' logs are no longer finite.
  const double largestShape = plan.chain.alphaShape + 1e9;
  if (plan.chain.alphaShape < std::numeric_limits<double>::min() ||
      std::log(largestShape + 50 * std::sqrt(largestShape)) - std::log(plan.chain.alphaRate) >=
          std::log(std::numeric_limits<double>::max()))
    refuse("main(). -A would draw alphas beyond the range of doubles: " + text);
  if (s.k != 0)
    refuse("main(). -A puts a prior on alpha of the Dirichlet process and needs -k 0: " +
           Text::n2s(s.k));
  if (enumerates(s))
    refuse("main(). -A draws alpha between iterations, which an enumeration has not: " +
           s.heuristics);
}

// -b N[,BETA]: an annealed burn-in, for a search; written back as "N,BETA" for the stem.
void checkAnneal(Settings& s) {
  if (!s.has("-b")) return;
  std::string& text = s.further["-b"];
  AnnealSchedule schedule;
  if (!parseAnneal(text, schedule))
    refuse("main(). -b must be N or N,BETA: N iterations from 1, BETA between 0 and 1, both excluded: " +
           text);
  if (enumerates(s)) refuse("main(). -b anneals a search, which an enumeration is not: " + s.heuristics);
  text = annealText(schedule);
}

// The rest of every chain's settings, once the plan has checked them.
void fillChainConfig(RunPlan& plan) {
  ChainConfig& chain = plan.chain;
  chain.criterion = plan.criterion;
  chain.k = plan.settings.k;
  chain.logalpha = plan.settings.logalpha;
  chain.scoring = plan.scoring;
  chain.heuristicName = plan.settings.heuristics;
  chain.heuristic = plan.heuristic;
  chain.criterionRefusal = plan.criterionRefusal;
  if (plan.settings.has("-V")) chain.columnP = plan.real("-V");
}

}  // namespace

void writePriorText(Settings& s, std::stringstream& priorStream) {
  const ModelEntry* model = findModel(s.model);
  if (!model) refuse("main(). model not recognized: " + s.model);
  if (!model->writePriorText(s.prior, priorStream))
    refuse("main(). prior not recognized: " + s.prior);
}

std::string buildFileStem(const Settings& s) {
  std::string stem = s.dataFile.substr(0, s.dataFile.find('.'));
  stem += "_k" + Text::n2s(s.k) + "_" + s.heuristics + "_p" + s.prior + "_a" + Text::n2s(s.logalpha);
  if (!enumerates(s)) {
    const std::string inPlaceOfB = furtherStemParts(s, StemPlace::InPlaceOfB);
    if (!inPlaceOfB.empty()) stem += inPlaceOfB;
    else if (s.B != -1) stem += "_B" + Text::n2s(s.B);
    if (s.minuteAllowed != -1) stem += "_t" + Text::n2s(s.minuteAllowed);
    stem += furtherStemParts(s, StemPlace::BeforeLabel);
    if (!s.label.empty()) {
      stem += "_";
      if (s.criterionType != "integrated") stem += s.criterionType;
      stem += s.label;
    }
  }
  stem += furtherStemParts(s, StemPlace::Last);
  return stem;
}

long long iterationCount(int B) {
  // 10^18 is the largest power of ten a signed 64-bit count holds.
  if (B > findOption("-B")->max)
    refuse("main(). B too large, 10 to its power does not fit in 64 bits: " + Text::n2s(B));
  if (B < 0) return 0;
  long long count = 1;
  for (int i = 0; i < B; i++) count *= 10;
  return count;
}

RunPlan makePlan(Settings s) {
  RunPlan plan;
  plan.scoring = scoringFromEnvironment();
  // The reference mode, a developer's yardstick, overrides -x.
  if (s.has("-x") && plan.scoring == ScoringMode::Exact) plan.scoring = ScoringMode::Fast;
  checkSpecifiedRanges(s);
  if (!std::isfinite(s.logalpha))
    refuse("main(). logalpha is not a finite number: " + Text::n2s(s.logalpha));
  // An open k scores with alpha = exp(logalpha): 0 or infinity makes every prior term
  // infinite or NaN. A fixed k does not use alpha.
  const double alpha = std::exp(s.logalpha);
  if (s.k == 0 && !(alpha > 0 && std::isfinite(alpha)))
    refuse("main(). logalpha out of range, exp(logalpha) is " + Text::n2s(alpha) +
           " and the partition prior cannot be finite: " + Text::n2s(s.logalpha));
  // The label is part of file names and must not lead them into another folder.
  if (s.label.find('/') != std::string::npos)
    refuse("main(). label must not contain '/': " + s.label);
  plan.heuristic = findHeuristic(s.heuristics);
  if (s.k > 0 && plan.heuristic && plan.heuristic->needsOpenK)
    refuse("main(). heuristics " + s.heuristics +
           " change the number of clusters and need -k 0: " + Text::n2s(s.k));
  std::stringstream priorText;
  writePriorText(s, priorText);
  plan.model = findModel(s.model);
  plan.priorText = priorText.str();
  plan.enumerate = plan.heuristic && plan.heuristic->enumerates();
  for (const Criterion& c : kCriteria)
    if (s.criterionType == c.name) {
      plan.criterionKnown = true;
      plan.criterion = c.type;
    }
  if (plan.criterionKnown) plan.criterionRefusal = plan.model->refusal(plan.criterion);
  checkFurtherOptions(s, plan);
  checkAlphaPrior(s, plan);
  checkAnneal(s);
  if (s.has("-V")) checkColumnSelection(s, plan);
  if (s.has("-W")) checkColumnPrior(s, plan);
  checkParallelSweep(s, plan);
  // One start only: built from the data or read from a file.
  if (s.has("-Z") && !s.initialZ.empty())
    refuse("main(). -Z builds the start from the data, so a start file cannot be given too: -z " +
           s.initialZ);
  // Options that leave every byte as without them: one chain (-T 1) is the plain run, and the
  // thread cap changes no file. Their values stay in the plan.
  if (plan.value("-T") == 1) s.further.erase("-T");
  s.further.erase("-j");
  plan.fileStem = buildFileStem(s);
  plan.settings = s;
  fillChainConfig(plan);
  return plan;
}

formats::OutputFiles RunPlan::files() const {
  return formats::runFiles(fileStem, enumerate, value("-d"), settings.has("-A"),
                           settings.has("-V"), settings.has("-W"));
}

long long RunPlan::value(const std::string& name) const {
  const OptionSpec* option = findOption(name);
  if (!option || !option->further) throw std::logic_error("not a further option: " + name);
  const auto given = values.find(name);
  return given == values.end() ? option->absent : given->second;
}

std::string RunPlan::file(const std::string& name) const {
  return formats::fileOf(files(), name);
}

namespace {

// -A: alpha drawn after every iteration from its conditional under the Gamma prior.
void describeAlphaPrior(const ChainConfig& chain, std::ostream& logFile) {
  if (!chain.drawsAlpha()) return;  // a fixed k, refused by the plan
  const GammaAlphaPrior prior(chain.alphaShape, chain.alphaRate);
  logFile << "Prior on alpha (-A): Gamma with shape " << prior.shape() << " and rate "
          << prior.rate() << " (mean " << prior.shape() / prior.rate()
          << "); alpha starts at " << std::exp(chain.logalpha)
          << " (-a) and is drawn after every iteration\n";
}

// The model, the sampler and what the run does with them.
void searchOrList(const RunPlan& plan, const Settings& s, long long iterations,
                  std::ofstream& logFile, bool& searchStarted) {
  const std::string& fileStem = plan.fileStem;
  std::stringstream priorStream(plan.priorText);
  RealRows::standardiseColumns = s.has("-S");
  std::unique_ptr<Observable> ptrModel = plan.model->make(s.dataFile, priorStream, logFile);
  if (s.has("-S") && !dynamic_cast<RealRows*>(ptrModel.get()))
    Files::fail(logFile, "main(). -S standardises the columns of real-valued data, which model " +
                         s.model + " does not read: -S");
  if (s.k > ptrModel->n)
    Files::fail(logFile, "main(). k is larger than the number of observations " +
                         Text::n2s(ptrModel->n) + ": " + Text::n2s(s.k));

  PartitionSampler sampler(plan.chain, *ptrModel, logFile);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const long long threadCap = plan.value("-j") > 0 ? plan.value("-j") : cores;
  sampler.debug.enabled = !s.has("-q");
  sampler.options.threads = static_cast<int>(threadCap);
  sampler.options.thin = plan.value("-d");
  sampler.options.traceThin = plan.value("-e");
  if (s.has("-b")) parseAnneal(s.further.at("-b"), sampler.options.anneal);
  sampler.options.iterationTarget = s.has("-i") || plan.settings.B != -1;
  sampler.options.minuteTarget = plan.settings.minuteAllowed != -1;
  // Any further option closes the log with the best score; without one it keeps its bytes.
  sampler.options.logBest = !s.further.empty();
  if (s.has("-A")) describeAlphaPrior(plan.chain, logFile);
  struct Started {
    const PartitionSampler& sampler;
    bool& started;
    ~Started() { started = sampler.searchStarted; }
  } noteStart{sampler, searchStarted};
  if (plan.enumerate) {
    vout().flush();
    sampler.enumZ(fileStem);
  } else {
    if (s.has("-Z"))
      sampler.initZFromData(s.further.at("-Z"));
    else
      sampler.initZ(s.initialZ);
    // A run its model refuses ends at its first score, the cold chain's: no copy scores first.
    if (plan.value("-T") > 1 && s.k != 1 && plan.criterionRefusal.empty()) {
      // A start read or built from the data is every copy's start too.
      // Each copy shares the model's data, read once, with scratch of its own.
      sampler.heat(static_cast<int>(plan.value("-T")), static_cast<int>(threadCap),
                   static_cast<std::uint32_t>(plan.value("-s")),
                   !s.initialZ.empty() || (s.has("-Z") && s.further.at("-Z") != "random"));
    }
    // What the user has been told so far shows before a long search.
    vout().flush();
    sampler.run(iterations, s.minuteAllowed, fileStem);
  }
}

}  // namespace

void common_main(Settings settings) {
  const RunPlan plan = makePlan(settings);
  Settings s = plan.settings;
  const std::string& fileStem = plan.fileStem;
  vout() << "\nfileStem: " << fileStem << '\n';
  vout().flush();

  if (s.B == -1) s.B = 9;
  if (s.minuteAllowed == -1) s.minuteAllowed = 14400;
  const long long iterations =
      plan.enumerate ? 0 : s.has("-i") ? plan.value("-i") : iterationCount(s.B);

  // Every file is checked before the first is created, so a refusal creates none.
  refuseExistingOutputs(plan.files());
  // The log takes n + k numbers per visited observation: write it in large blocks.
  std::vector<char> logBuffer(1 << 20);
  std::ofstream logFile;
  logFile.rdbuf()->pubsetbuf(logBuffer.data(), static_cast<std::streamsize>(logBuffer.size()));
  Files::openWrite(logFile, plan.file("log"), plan.enumerate ? vout() : logFile, false);
  bool searchStarted = false;
  try {
    if (!plan.enumerate) {
      logFile << "Started at " << Text::localTimeText(time(nullptr)) << '\n';
      logFile << "That was also the number used to initialize rng. \n";
      if (s.has("-s")) logFile << "Random numbers seeded with " << plan.value("-s") << '\n';
    }

    if (plan.scoring == ScoringMode::Fast)
      logFile << "Fast arithmetic (-x): real-valued models score clusters from running sums, "
                 "agreeing with exact scoring to about 1e-12 relative\n";

    if (s.has("-V"))
      logFile << "Column selection (-V): each column is clustered with prior probability "
              << plan.real("-V") << '\n';
    if (s.has("-W"))
      logFile << "Prior on P (-W): Beta(" << plan.chain.columnPrior.first << ", "
              << plan.chain.columnPrior.second << "), P drawn after every iteration\n";

    _rng.initialize(static_cast<std::uint32_t>(plan.value("-s")));

    if (!plan.criterionKnown) refuse("main(). criterionType not recognized: " + s.criterionType);

    try {
      searchOrList(plan, s, iterations, logFile, searchStarted);
    } catch (const Interruption& interruption) {
      // Before the search (reading the data or the start): no partition to keep.
      failRun(logFile, Failure::Interrupted,
              "Run interrupted by signal " + Text::n2s(interruption.signal) + " before the search",
              128 + interruption.signal, plan.file("log"));
    }
  } catch (const RunError& error) {
    // Refused before its search: the log keeps its lines under a name that blocks no rerun.
    // An interrupted run keeps its log where it is.
    if (!searchStarted && error.status < 128) {
      logFile.close();
      const std::string failedLog = formats::failedLogName(fileStem);
      std::rename(plan.file("log").c_str(), failedLog.c_str());
    }
    throw;
  }
  // The last write's reason (a file-size limit, a full disk) goes to standard error.
  errno = 0;
  logFile.close();
  if (logFile.fail()) failWrite(vout(), plan.file("log"), errno);
}


void common_main(std::string dataFile, std::string label, std::string initialZ,
                 std::string heuristics, std::string prior, std::string model, int k, int B,
                 int minuteAllowed, double logalpha, std::string criterionType) {
  Settings s;
  s.dataFile = dataFile;
  s.label = label;
  s.initialZ = initialZ;
  s.heuristics = heuristics;
  s.prior = prior;
  s.model = model;
  s.k = k;
  s.B = B;
  s.minuteAllowed = minuteAllowed;
  s.logalpha = logalpha;
  s.criterionType = criterionType;
  common_main(s);
}
