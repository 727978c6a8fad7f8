// vornak-summary: reads the draws files of one or more chains of `vornak -d` and writes a
// point estimate, a tab-separated summary, the posterior similarity matrix and a picture,
// with a readable report. Depends on the C++ standard library only, so that any front end
// (the console program, the R package, vornak-fit) can call it: summariseDraws returns every
// figure as a value, and the console program prints from that value.
#pragma once
#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "summary/agreement.h"
#include "summary/alpha.h"
#include "summary/columns.h"
#include "summary/estimate.h"
#include "summary/loss.h"

namespace summary {

// The similarity matrix is computed and written up to this many items; above it the summary
// takes its large-n path (sampled heat map, draws bounded by Request::maxDrawCells).
constexpr int kLargestMatrix = 5000;
constexpr double kMostDrawCells = 2.5e7;

// What to summarise and where the files go.
struct Request {
  std::vector<std::string> files;  // one draws file per chain
  double burn = 0.5;               // share of each chain's lines dropped first, in [0, 1)
  Loss loss = Loss::VI;
  std::string prefix;              // of the output files; empty: the default from the files
  // At most this many kept draws over all chains are summarised (one in every step of each
  // chain, evenly); 0: every one. Bounds the time of large runs.
  size_t maxDraws = 0;
  // Above kLargestMatrix items, at most this many labels (items x draws read) are held, so
  // that the draws, the estimate's search (12 bytes per label) and the membership
  // probabilities stay bounded at any n: one in every step of each chain's lines is read.
  double maxDrawCells = kMostDrawCells;
};

// One chain's figures.
struct ChainFigures {
  std::string file;
  size_t lines = 0, kept = 0;   // draws lines, and those after the burn-in
  double essScore = 0, essK = 0;
  bool stuck = false;           // its score never moved after the burn-in (within kScoreTolerance)
};

// The adjusted Rand index between the chains' own estimates. Every pair is listed up to
// kListedPairChains chains; beyond, the pairs are summarised by their smallest, median and
// largest value, so that the text and the table grow with the chains, not with their square.
struct Agreements {
  std::vector<std::pair<std::string, double>> pairs;  // "1-2" and its index; empty beyond the cap
  size_t count = 0;                                   // pairs measured
  double min = 0, median = 0, max = 0;
  std::string minPair, maxPair;                       // "a-b" of the smallest and largest
};
constexpr size_t kListedPairChains = 8;

// Every figure of a summary.
struct Summary {
  std::string prefix;
  double burn = 0.5;
  Loss loss = Loss::VI;
  int n = 0;
  std::vector<ChainFigures> chains;
  std::vector<std::pair<int, double>> posteriorK;  // k and its probability, k ascending
  Estimate estimate;                               // labels in order of first appearance
  std::vector<int> sizes;                          // of the estimate's clusters
  std::vector<double> mates;  // each item's membership probability (NaN when undefined)
  int bestChain = 0;
  long long bestIteration = 0;
  size_t distinct = 0;        // distinct draws
  double rhatScore = 0, rhatK = 0;  // NaN when undefined (one chain: not measured)
  size_t rhatDraws = 0;
  Agreements agreement;       // two or more chains
  AlphaSummary alpha;
  // Where each chain ended and its modes, by the rule vornak-fit stops on (summary/agreement.h).
  Agreement verdict;
  // The chains (0-based) whose draws make the estimate, the posterior on k and the membership
  // probabilities: every chain, or those of the best mode when the chains ended in several.
  std::vector<size_t> estimateChains;
  ColumnSummary columns;      // -V runs: the .columns and .pdraws files beside the draws
  std::vector<std::string> warnings;
  std::vector<std::pair<std::string, std::string>> written;  // file, what it holds
  std::vector<std::string> replaced;  // files of an earlier summary that were replaced
  std::string svg;                    // the picture, as written to PREFIX.svg
  size_t thinStep = 1;                // one kept draw in every thinStep was read (Request::maxDraws)
  std::vector<std::string> names;     // the items' names when the caller knows them (n or none)
};

// Reads the draws, writes PREFIX.estimate, .summary.tsv, .psm (n up to 5000) and .svg (all or
// none: earlier files stay on a failure) and returns the figures. Throws InputError (bad input,
// one line) or std::bad_alloc.
Summary summariseDraws(const Request& request);

// The report vornak-summary prints; with names, each item listed shows its name too.
std::string summaryText(const Summary& summary);

}  // namespace summary

// args are the words after the program name. The report goes to out; a usage problem prints
// the usage text to err and returns 2; bad input (a missing or malformed file, chains of
// different n, a burn-in fraction outside [0, 1), an unknown loss) prints one line to err and
// returns 255, leaving every earlier output file as it was; success returns 0.
int runSummary(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The usage text, ending with a line break.
std::string summaryUsage();
// What --help prints: the usage text, then how the figures are made, the exit statuses and an
// example.
std::string summaryHelp();
// Every option the parser knows.
std::vector<std::string> summaryOptions();
