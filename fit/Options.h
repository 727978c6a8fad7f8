// vornak-fit's own command line: the data file, its own long options, and the engine's letters
// passed through to every chain. Every refusal is one line naming the offending word.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "recommend/Recommend.h"

namespace fit {

// One line, without the "vornak-fit: " the program puts before it.
struct FitError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct FitOptions {
  std::string dataFile;
  std::string outDir;  // empty: a new folder named after the data file
  int chains = 0;      // 0: defaultChains()
  double minutes = 10;
  double maxRhat = 1.01;
  double minEss = 400;
  unsigned long long firstSeed = 1;  // chain c runs with seed firstSeed + c - 1
  bool progress = false;             // a progress line also when standard error is no terminal
  bool help = false;
  bool align = false;                // --align: the sequences aligned by mafft first
  std::vector<std::string> keep;     // kinds of chain files that stay (--keep; all by default)
  // Delimited files (io/DelimitedReader.h): known classes (a column or a labels file), the
  // identifier column, the separator (0: detected) and decimal commas.
  std::string classes, idColumn;
  char separator = 0;
  bool decimalComma = false;
  // The engine's letters with their values, as typed (flags alone).
  std::vector<std::string> engineWords;
};

using recommend::defaultChains;

// Throws FitError on an unknown word, a letter vornak-fit sets itself, a value out of range,
// a missing data file name or a second one. With --help nothing else is checked.
FitOptions parseOptions(const std::vector<std::string>& args);

using recommend::mergeWords;
using recommend::wordValue;

std::string helpText();

}  // namespace fit
