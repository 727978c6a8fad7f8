// Run setup: the settings both entry points gather, the command-line parser, the plan that
// resolves every name through the heuristic and model tables, and common_main, which turns
// a plan into a run (log, seed, model, sampler, then enumeration or search). Failures end
// the run through io/Failure.h.
#pragma once
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "formats/OutputFiles.h"
#include "models/Observable.h"
#include "models/catalog.h"
#include "sampler/ChainConfig.h"
#include "sampler/heuristics.h"

struct Settings {
  std::string dataFile;    // -f
  std::string label;       // -l
  std::string initialZ;    // -z
  std::string heuristics;  // -h
  std::string prior;       // -p
  std::string model;       // -m
  int k = -1;              // -k; 0 = open number of clusters
  int B = -1;              // -B; iterations = 10^B
  int minuteAllowed = -1;  // -t
  double logalpha = 0.0;   // -a; log(1)
  std::string criterionType;  // -c
  // Further options (docs/reference.md, "Further options"; driver/options.cpp): the last text given
  // for each, by name ("-s"), as typed (a flag's is empty); the plan checks them.
  std::map<std::string, std::string> further;
  bool has(const std::string& name) const { return further.count(name) != 0; }
};

// The settings of one run resolved and checked: what is refused before any file exists has
// been refused; the rest (an unknown criterion after the log is created, an unknown heuristic
// in the first iteration) is recorded for the run to refuse where it always has.
struct RunPlan {
  Settings settings;            // an empty mclust2 prior became its default
  const ModelEntry* model = nullptr;
  std::string priorText;
  const Heuristic* heuristic = nullptr;  // null: not a heuristic of the table
  bool enumerate = false;
  bool criterionKnown = false;
  FitnessZType criterion = INTEGRATED;
  std::string criterionRefusal;  // the model's catalog row leaves the criterion out: the line
                                 // its first score is refused with; "" when listed
  std::string fileStem;
  ScoringMode scoring = ScoringMode::Exact;
  // The further options' checked values, by name; see value().
  std::map<std::string, long long> values;
  // The further real numbers' checked values, by name (-V); see real().
  std::map<std::string, double> reals;
  // Every chain's settings (criterion, k, alpha and its -A prior, scoring, heuristic, -V and
  // its -W prior): the one value the run's chains, heated copies included, are built from.
  ChainConfig chain;

  // A further option's value: its checked number (a flag's 1), or the table's value when it
  // was not given.
  long long value(const std::string& name) const;
  // A further real number's checked value (given: the caller asks only then).
  double real(const std::string& name) const { return reals.at(name); }
  // The files a run writes, named ("log", "save", "finalz", "best", "draws", "alpha",
  // "columns", "pdraws") and in that order
  // (formats/OutputFiles.h).
  formats::OutputFiles files() const;
  // The path of the file named, or "" when the run writes none.
  std::string file(const std::string& name) const;
};

extern const char* const kUsageText;

// Fills settings from argv the way the console does: every word is compared with the option
// names, the value word included. Returns false when a required setting is missing.
// A usage-text option given with the value that stands for an absent one (-k -1) counts as
// absent, as specified; refusal, when given, then receives the line that names it.
// A word that looks like an option but is none (--seed, -s5) is named on standard error and
// otherwise ignored, as every unknown word is.
bool parseCommandLine(int argc, char** argv, Settings& settings, std::string* refusal = nullptr);

// Whether a word after the program's name is --help (the help text then replaces the run).
bool helpAsked(int argc, char** argv);

// Resolves and checks the settings; a refused one ends the run with one line on standard
// output. VORNAK_SCORING=reference in the environment selects the reference scoring.
RunPlan makePlan(Settings settings);

// "_k3_UX_p_a0_B6_case1"-style stem of every output file name.
std::string buildFileStem(const Settings& settings);

// Writes the component-prior text of the model into priorStream; settings.prior may be
// replaced (mclust2's empty prior becomes "1"). Unknown model or prior names end the run.
void writePriorText(Settings& settings, std::stringstream& priorStream);

// 10^B as a 64-bit count; B too large for that ends the run.
long long iterationCount(int B);

// Constructs the named model over the data file; the model reads its data and prior text.
std::unique_ptr<Observable> makeModel(const std::string& model, const std::string& dataFile,
                                      std::stringstream& priorStream, std::ofstream& logFile);

void common_main(Settings settings);
void common_main(std::string dataFile, std::string label, std::string initialZ,
                 std::string heuristics, std::string prior, std::string model, int k, int B,
                 int minuteAllowed, double logalpha, std::string criterionType);
