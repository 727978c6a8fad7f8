#include "fit/Options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "driver/options.h"

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

struct Item {
  std::string letter, value;
  bool flag;
};

// The last occurrence of a letter wins, in the place of its first.
void put(std::vector<Item>& items, const Item& item) {
  auto same = std::find_if(items.begin(), items.end(),
                           [&](const Item& other) { return other.letter == item.letter; });
  if (same != items.end()) *same = item;
  else items.push_back(item);
}

std::vector<Item> items(const std::vector<std::string>& words) {
  std::vector<Item> result;
  for (size_t i = 0; i < words.size(); i++) {
    Item item{words[i], "", isFlag(words[i])};
    if (!item.flag && i + 1 < words.size()) item.value = words[++i];
    put(result, item);
  }
  return result;
}

}  // namespace

int defaultChains() {
  return std::max(4, static_cast<int>(std::thread::hardware_concurrency()));
}

FitOptions parseOptions(const std::vector<std::string>& args) {
  FitOptions options;
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    options.help = true;
    return options;
  }
  for (size_t i = 0; i < args.size(); i++) {
    const std::string& word = args[i];
    const bool takesValue = word == "-o" || word == "--chains" || word == "--minutes" ||
                            word == "--rhat" || word == "--ess" || word == "--seed" ||
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
    } else if (word == "--progress") {
      options.progress = true;
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

std::vector<std::string> mergeWords(const std::vector<std::string>& recommended,
                                    const std::vector<std::string>& given) {
  std::vector<Item> merged = items(recommended);
  for (const Item& item : items(given)) put(merged, item);
  std::vector<std::string> words;
  for (const Item& item : merged) {
    words.push_back(item.letter);
    if (!item.flag) words.push_back(item.value);
  }
  return words;
}

std::vector<std::string> chainSettings(const std::vector<std::string>& recommended,
                                       const std::vector<std::string>& given) {
  const bool untempered = wordValue(given, "-T").empty() &&
                          (!wordValue(given, "-V").empty() || !wordValue(given, "-A").empty());
  return mergeWords(untempered ? mergeWords(recommended, {"-T", "1"}) : recommended, given);
}

std::string wordValue(const std::vector<std::string>& words, const std::string& letter) {
  for (const Item& item : items(words))
    if (item.letter == letter) return item.flag ? letter : item.value;
  return "";
}

}  // namespace fit
