// Run setup: the settings both entry points gather, the command-line parser, and
// common_main, which turns settings into a run (prior text, file stem, log, seed, model,
// sampler, then enumeration or search). Failures throw RunError after writing their line.
#pragma once
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "models/Observable.h"

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
};

extern const char* const kUsageText;

// Fills settings from argv the way the console does: every word is compared with the option
// names, the value word included. Returns false when a required setting is missing.
bool parseCommandLine(int argc, char** argv, Settings& settings);

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
