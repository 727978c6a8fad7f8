// The one recommender of settings: from the shape of the data and the letters the user gave
// to the engine words every chain runs with. vornak-fit and the R package both call it, so the
// table of recommended settings, the rule for a changed model, the refusals and the thread
// budget of heated chains exist here only.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "recommend/DataShape.h"

namespace recommend {

// One line naming the offending value.
struct RecommendError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Real data go to the full-covariance model only when it can score them: no NA cell, no
// constant column, and at least this many rows per (columns + 1).
constexpr long kRowsPerColumnForMvn = 5;
bool suitsMvn(const DataShape& shape);
// Real data too few rows for mvn with at least this many columns are wide: mclust2's prior,
// whose shape grows with the columns, would leave every row alone there, so they go to the
// diagonal model, whose prior is set per column, started from the cuts of the data's tree
// (one-at-a-time moves alone keep two far-apart groups merged once they meet).
constexpr long kWideColumns = 10;
bool isWide(const DataShape& shape);
// Above this many 0/1 rows a chain's one-at-a-time sweep is the bottleneck: the parallel
// sweep (-h PS) draws every label at once on the chain's threads, and the heated copies,
// which sweep one observation at a time, are left out (docs/large-data.md).
constexpr long kRowsForParallelSweep = 20000;

// A row of the recommended settings: the data it is for (as the help text words it, lines
// broken with '\n'), the model and the words that go with it. A model given in place of the
// recommended one takes its own row (the first with its name).
struct TableRow {
  std::string data;
  DataKind kind;
  const char* model;
  const char* prior;
  std::vector<std::string> extras;  // after "-h OA": heated chains, fast arithmetic, start
};
// Every row, in the order the help text shows them.
const std::vector<TableRow>& settingsTable();
// Words every recommendation ends with.
const std::vector<std::string>& commonWords();
// The table as help text: one line per row, its words from column 52.
std::string settingsTableText();

// The kind of data a model reads; false for a model this module does not know.
bool modelReads(const std::string& model, DataKind& kind);

// Whole numbers with this many levels in some column may be ordered scores.
constexpr int kOrdinalLevels = 5;
// For HDGBern (as recommended) on such data, the line that offers the ordinal model; "" else.
// Not picked by itself: on the generated sets of bench/ordinal_bench.sh it beat -p levels on 5
// and 7 levels but split 10-level scores apart.
std::string ordinalOffer(const DataShape& shape, const std::vector<std::string>& words);

// The engine words recommended for the shape: model, prior, heuristic and extras, then
// commonWords(). Each pair is an option letter and its value; flags stand alone.
std::vector<std::string> recommendedWords(const DataShape& shape);

struct Request {
  std::vector<std::string> given;    // the user's engine words: letter and value, flags alone
  std::vector<std::string> without;  // letters the user turned off (with their values)
  bool recommend = true;  // false: the given words alone (R with a model given)
  int chains = 1;         // runs at once on this machine, sharing its processors
  int cores = 0;          // processors; 0: as many as the machine has
};

struct Choice {
  std::vector<std::string> words;  // every chain's settings
  DataKind reads = DataKind::Real;  // what the chosen model reads (given data, else the shape's)
  int threads = 1;                  // threads one run uses
};

// The recommended words with the given letters put over them (the last of a letter given
// twice wins, in the place of the first), the withdrawn letters taken out, and -j max(1, cores / chains) added for heated chains
// and the parallel sweep when -j is not given. A model other than the recommended one takes its own row's prior and
// extras, and the engine's default prior and no extras when it has no row. Throws RecommendError when the model cannot
// read the data (a sequence model on a matrix, HDBern on levels, ...).
Choice choose(const DataShape& shape, const Request& request);

// The line the engine would refuse these words with before a run starts ("" when none);
// words are those after the program's name, -f included. Nothing is printed.
std::string engineRefusal(const std::vector<std::string>& words);

// max(4, processors): chains run at once by default.
int defaultChains();

// Word-list helpers shared by the callers: the value of a letter (the last one, a flag's own
// name), or "" when absent; and the letters merged as choose() merges them.
std::string wordValue(const std::vector<std::string>& words, const std::string& letter);
std::vector<std::string> mergeWords(const std::vector<std::string>& base,
                                    const std::vector<std::string>& given);

}  // namespace recommend
