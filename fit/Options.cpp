#include "fit/Options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "driver/options.h"
#include "fit/Keep.h"
#include "io/DelimitedReader.h"

namespace fit {
namespace {

// Letters each chain gets from vornak-fit: the data file, the draws and trace thinning, the
// seed, the bounds of the run, the label and a start file (chains run in the output folder).
const char* const kOwnLetters[] = {"-f", "-d", "-e", "-s", "-t", "-B", "-i", "-l", "-z"};

bool ownLetter(const std::string& word) {
  return std::any_of(std::begin(kOwnLetters), std::end(kOwnLetters),
                     [&](const char* own) { return word == own; });
}

bool isFlag(const std::string& letter) {
  const OptionSpec* option = findOption(letter);
  return option && option->kind == ValueKind::Flag;
}

double realValue(const std::string& option, const std::string& text, double low, double high,
                 bool lowIncluded, const std::string& range) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  const bool aboveLow = lowIncluded ? value >= low : value > low;
  if (end == text.c_str() || *end != '\0' || !std::isfinite(value) || !aboveLow || value > high)
    throw FitError(option + " must be " + range + ": " + text);
  return value;
}

unsigned long long wholeValue(const std::string& option, const std::string& text,
                              unsigned long long low, unsigned long long high) {
  const std::string range = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
    throw FitError(option + " must be " + range + ": " + text);
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || value < low || value > high) throw FitError(option + " must be " + range + ": " + text);
  return value;
}

}  // namespace

FitOptions parseOptions(const std::vector<std::string>& args) {
  FitOptions options;
  options.keep = keepKinds();
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    options.help = true;
    return options;
  }
  for (size_t i = 0; i < args.size(); i++) {
    const std::string& word = args[i];
    const bool takesValue = word == "-o" || word == "--chains" || word == "--minutes" ||
                            word == "--rhat" || word == "--ess" || word == "--seed" || word == "--keep" ||
                            word == "--classes" || word == "--id" || word == "--separator" ||
                            (findOption(word) && !isFlag(word));
    if (takesValue && i + 1 == args.size()) throw FitError(word + " needs a value");
    const std::string value = takesValue ? args[i + 1] : "";
    if (takesValue) i++;
    if (word == "-o") {
      if (value.empty()) throw FitError("-o must name a folder: (empty)");
      options.outDir = value;
    } else if (word == "--chains") {
      options.chains = static_cast<int>(wholeValue(word, value, 2, 1024));
    } else if (word == "--minutes") {
      options.minutes = realValue(word, value, 0, 14400, false, "a number of minutes above 0, at most 14400");
    } else if (word == "--rhat") {
      options.maxRhat = realValue(word, value, 1, 1e9, false, "a number above 1");
    } else if (word == "--ess") {
      options.minEss = realValue(word, value, 1, 1e12, true, "a number, 1 or more");
    } else if (word == "--seed") {
      options.firstSeed = wholeValue(word, value, 1, 4294967295ULL);
    } else if (word == "--classes" || word == "--id") {
      if (value.empty()) throw FitError(word + " must name a column" + (word == "--id" ? "" : " or a file") + ": (empty)");
      (word == "--id" ? options.idColumn : options.classes) = value;
    } else if (word == "--separator") {
      options.separator = delimited::parseSeparator(value);
      if (!options.separator) throw FitError("--separator must be comma, tab, semicolon or blanks: " + value);
    } else if (word == "--decimal-comma") {
      options.decimalComma = true;
    } else if (word == "--progress") {
      options.progress = true;
    } else if (word == "--align") {
      options.align = true;
    } else if (word == "--keep") {
      options.keep = parseKeep(value);
    } else if (ownLetter(word)) {
      throw FitError(word + " is set by vornak-fit for each chain and cannot be given: " + word);
    } else if (findOption(word)) {
      if (word == "-h" && value == "EN")
        throw FitError("-h EN lists partitions and keeps no draws to summarise: run vornak itself: EN");
      if (word == "-k" && std::atoi(value.c_str()) == 1)
        throw FitError("-k 1 puts every observation in one cluster and runs no iteration: " + value);
      options.engineWords.push_back(word);
      if (takesValue) options.engineWords.push_back(value);
    } else if (!word.empty() && word[0] == '-' && word != "-") {
      throw FitError("unknown option: " + word);
    } else if (options.dataFile.empty()) {
      if (word.empty()) throw FitError("the data file name is empty");
      options.dataFile = word;
    } else {
      throw FitError("one data file only, a second was given: " + word);
    }
  }
  if (options.dataFile.empty()) throw FitError("no data file given (vornak-fit DATA [-o DIR]; see --help)");
  if (options.chains == 0) options.chains = defaultChains();
  if (options.firstSeed + static_cast<unsigned long long>(options.chains) - 1 > 4294967295ULL)
    throw FitError("--seed leaves no seed for the last chain (seeds end at 4294967295): " +
                   std::to_string(options.firstSeed));
  return options;
}

}  // namespace fit
