#include "recommend/Recommend.h"

#include <algorithm>
#include <thread>

#include "driver/common_main.h"
#include "driver/options.h"
#include "io/Console.h"
#include "io/RunError.h"

namespace recommend {
namespace {

bool isFlag(const std::string& letter) {
  const OptionSpec* option = findOption(letter);
  return option && option->kind == ValueKind::Flag;
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

std::vector<Item> itemsOf(const std::vector<std::string>& words) {
  std::vector<Item> result;
  for (size_t i = 0; i < words.size(); i++) {
    Item item{words[i], "", isFlag(words[i])};
    if (!item.flag && i + 1 < words.size()) item.value = words[++i];
    put(result, item);
  }
  return result;
}

std::vector<std::string> wordsOf(const std::vector<Item>& items) {
  std::vector<std::string> words;
  for (const Item& item : items) {
    words.push_back(item.letter);
    if (!item.flag) words.push_back(item.value);
  }
  return words;
}

std::vector<std::string> without(const std::vector<std::string>& words,
                                 const std::vector<std::string>& letters) {
  std::vector<Item> items = itemsOf(words);
  items.erase(std::remove_if(items.begin(), items.end(),
                             [&](const Item& item) {
                               return std::find(letters.begin(), letters.end(), item.letter) !=
                                      letters.end();
                             }),
              items.end());
  return wordsOf(items);
}

const char* dataName(DataKind kind) {
  switch (kind) {
    case DataKind::Sequences: return "a FASTA alignment";
    case DataKind::Binary: return "a matrix of 0 and 1";
    case DataKind::Categorical: return "a matrix of whole numbers 0 to 19";
    case DataKind::Real: return "a real matrix";
  }
  return "data";
}

// Whether a model reading `reads` can take data of kind `data`: 0/1 cells are levels and
// reals too, levels are reals; an alignment is nothing else.
bool canRead(DataKind reads, DataKind data) {
  switch (reads) {
    case DataKind::Sequences: return data == DataKind::Sequences;
    case DataKind::Binary: return data == DataKind::Binary;
    case DataKind::Categorical: return data == DataKind::Binary || data == DataKind::Categorical;
    case DataKind::Real: return data != DataKind::Sequences;
  }
  return true;
}

const TableRow* rowOf(const std::string& model) {
  for (const TableRow& row : settingsTable())
    if (model == row.model) return &row;
  return nullptr;
}

int numberOr(const std::string& text, int fallback) {
  try {
    return text.empty() ? fallback : std::stoi(text);
  } catch (const std::exception&) {
    return fallback;  // the engine names a value that is not a number
  }
}

// Drops what is written to the console while it lives.
class MutedConsole {
 public:
  MutedConsole() : state_(vout().rdstate()), buffer_(vout().rdbuf(nullptr)) {}
  ~MutedConsole() {
    vout().rdbuf(buffer_);
    vout().clear(state_);
  }
  MutedConsole(const MutedConsole&) = delete;
  MutedConsole& operator=(const MutedConsole&) = delete;

 private:
  std::ios::iostate state_;
  std::streambuf* buffer_;
};

}  // namespace

bool suitsMvn(const DataShape& shape) {
  return !shape.missing && !shape.constantColumn &&
         shape.rows >= kRowsPerColumnForMvn * (shape.columns + 1);
}

bool isWide(const DataShape& shape) {
  return shape.kind == DataKind::Real && shape.columns >= kWideColumns &&
         shape.rows < kRowsPerColumnForMvn * (shape.columns + 1);
}

const std::vector<TableRow>& settingsTable() {
  static const std::vector<TableRow> table = {
      {"FASTA alignment (first non-blank byte '>')", DataKind::Sequences, "ProteinSequence", "shared",
       {"-Z", "tree"}},
      {"matrix, every cell 0 or 1 (NA allowed)", DataKind::Binary, "HDBern", "flat", {"-T", "4"}},
      {"matrix, every cell a whole number 0..19, some\n  above 1 (NA allowed)", DataKind::Categorical,
       "HDGBern", "levels", {}},
      {"any other numeric matrix", DataKind::Real, "mvn", "1", {"-x"}},
      {"  but with an NA cell, a constant column, or fewer than " + std::to_string(kRowsPerColumnForMvn) +
           " x (columns + 1) rows:",
       DataKind::Real, "mclust2", "1", {"-x"}},
      {"  but with fewer than " + std::to_string(kRowsPerColumnForMvn) + " x (columns + 1) rows and " +
           std::to_string(kWideColumns) + " or more columns:",
       DataKind::Real, "diagonal", "1", {"-x", "-Z", "tree"}},
  };
  return table;
}

const std::vector<std::string>& commonWords() {
  static const std::vector<std::string> words = {"-c", "integrated", "-k", "0", "-q"};
  return words;
}

std::string settingsTableText() {
  const size_t column = 51;
  std::string text;
  for (const TableRow& row : settingsTable()) {
    const std::string& data = row.data;
    size_t lineStart = 0;
    for (size_t at; (at = data.find('\n', lineStart)) != std::string::npos; lineStart = at + 1)
      text += "  " + data.substr(lineStart, at - lineStart) + "\n";
    std::string last = "  " + data.substr(lineStart);
    last += last.size() < column ? std::string(column - last.size(), ' ') : "\n" + std::string(column, ' ');
    std::string words = std::string("-m ") + row.model + " -p " + row.prior + " -h OA";
    for (const std::string& extra : row.extras) words += " " + extra;
    text += last + words + "\n";
  }
  return text;
}

bool modelReads(const std::string& model, DataKind& kind) {
  if (const TableRow* row = rowOf(model)) {
    kind = row->kind;
    return true;
  }
  if (model == "kmeans2") {
    kind = DataKind::Real;
    return true;
  }
  return false;
}

namespace {

// A row's words; a model without a row gets the engine's default prior and no extras.
std::vector<std::string> wordsFor(const std::string& model) {
  const TableRow* row = rowOf(model);
  std::vector<std::string> words = {"-m", model};
  if (row) words.insert(words.end(), {"-p", row->prior});
  words.insert(words.end(), {"-h", "OA"});
  if (row) words.insert(words.end(), row->extras.begin(), row->extras.end());
  words.insert(words.end(), commonWords().begin(), commonWords().end());
  return words;
}

}  // namespace

std::vector<std::string> recommendedWords(const DataShape& shape) {
  if (isWide(shape)) return wordsFor("diagonal");
  if (shape.kind == DataKind::Binary && shape.rows > kRowsForParallelSweep)
    return without(mergeWords(wordsFor("HDBern"), {"-h", "PS"}), {"-T"});
  if (shape.kind == DataKind::Real && !suitsMvn(shape)) return wordsFor("mclust2");
  for (const TableRow& row : settingsTable())
    if (row.kind == shape.kind) return wordsFor(row.model);
  return wordsFor("mclust2");
}


std::string ordinalOffer(const DataShape& shape, const std::vector<std::string>& words) {
  if (shape.kind != DataKind::Categorical || shape.mostLevels < kOrdinalLevels ||
      wordValue(words, "-m") != "HDGBern")
    return "";
  return "A column holds " + std::to_string(shape.mostLevels) +
         " levels: if they are ordered scores, -m ordinal reads them in order (see docs/models.md)";
}

Choice choose(const DataShape& shape, const Request& request) {
  Choice choice;
  std::vector<std::string> base;
  if (request.recommend) {
    base = recommendedWords(shape);
    // A model other than the recommended one comes with its own settings.
    const std::string model = wordValue(request.given, "-m");
    if (!model.empty() && model != wordValue(base, "-m")) base = wordsFor(model);
  }
  choice.words = without(mergeWords(base, request.given), request.without);

  const std::string model = wordValue(choice.words, "-m");
  choice.reads = shape.kind;
  if (modelReads(model, choice.reads) && !canRead(choice.reads, shape.kind))
    throw RecommendError("-m " + model + " reads " + dataName(choice.reads) + ", but the data are " +
                         dataName(shape.kind) + ": " + model);

  // Heated chains and the parallel sweep's blocks share the processors with the other chains.
  const int heated = std::max(1, numberOr(wordValue(choice.words, "-T"), 1));
  const bool parallelSweep = wordValue(choice.words, "-h") == "PS";
  if (heated > 1 || parallelSweep) {
    const int cores = request.cores > 0 ? request.cores
                                        : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    if (wordValue(choice.words, "-j").empty())
      choice.words.insert(choice.words.end(),
                          {"-j", std::to_string(std::max(1, cores / std::max(1, request.chains)))});
    const int budget = std::max(1, numberOr(wordValue(choice.words, "-j"), 1));
    choice.threads = parallelSweep ? budget : std::min(heated, budget);
  }
  return choice;
}

std::string engineRefusal(const std::vector<std::string>& words) {
  std::vector<std::string> text = {"vornak"};
  text.insert(text.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : text) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  MutedConsole muted;
  try {
    Settings settings;
    std::string refusal;
    if (!parseCommandLine(static_cast<int>(text.size()), argv.data(), settings, &refusal))
      return refusal.empty() ? "the settings are incomplete (model, data, k, heuristic and a length)"
                             : refusal;
    makePlan(settings);
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

int defaultChains() {
  return std::max(4, static_cast<int>(std::thread::hardware_concurrency()));
}

std::string wordValue(const std::vector<std::string>& words, const std::string& letter) {
  for (const Item& item : itemsOf(words))
    if (item.letter == letter) return item.flag ? letter : item.value;
  return "";
}

std::vector<std::string> mergeWords(const std::vector<std::string>& base,
                                    const std::vector<std::string>& given) {
  std::vector<Item> merged = itemsOf(base);
  for (const Item& item : itemsOf(given)) put(merged, item);
  return wordsOf(merged);
}

}  // namespace recommend
