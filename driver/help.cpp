// `vornak --help`: a fixed head and foot around the option rows, which come from the option
// table (driver/options.cpp), so that the help cannot leave an option out or differ from it.
#include "driver/help.h"

#include <cstring>
#include <limits>
#include <vector>

#include "driver/options.h"
#include "models/catalog.h"
#include "sampler/heuristics.h"

namespace {

const char* const kHead = R"(vornak: clusters observations (aligned protein sequences, rows of a 0/1 or categorical
matrix, rows of a real matrix) by Markov-chain Monte Carlo over their partitions, or lists
and scores every partition of tiny data.

Usage:
  vornak -m MODEL -f DATA -k K -h HEURISTIC (-B B | -t MINUTES | -i N) -c CRITERION [options]
  vornak --help

)";

const char* const kFoot = R"(Every word is examined, values included, and the last occurrence of an option wins. An
unknown word is ignored; one that looks like an option (--seed, -s5) is named in a warning on
standard error. A number that is not plain is read as C's atoi and atof read it, with a
warning; a further option's value outside its range is refused.

Recommended settings (two or more chains, each its own seed -s 1, -s 2, ..., then
vornak-summary on their .draws): -k 0 -c integrated -q -d THIN, and
  FASTA alignment            -m ProteinSequence -p bg -h OA -Z tree
  0/1 matrix                 -m HDBern -p flat -h OA -T 4
  whole numbers 0..19        -m HDGBern -p levels -h OA
  real matrix                -m mvn -p 1 -h OA -x

Files (STEM: the data file's name up to its first dot and the settings, shown as
"fileStem: STEM"): STEM.log (the log), STEM.save (the score trace), STEM.finalz (the final
partition) and STEM.best (the best one), both valid -z starts; with -d STEM.draws, with -A
and -d STEM.alpha, with -V and -d STEM.columns, with -V, -W and -d STEM.pdraws. An existing
.log, .save or .draws stops the run before any file is written; a run refused before its
search keeps its log as STEM.failed.log.

Exit status:
  1      the run completed and every file was written (1, not 0, by design)
  0      --help
  255    the required options are missing (the usage text is printed on standard output), or
         a setting, the data, a start file or a write was refused or failed (one line names it)
  128+N  interrupted by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP): the files are kept
         and STEM.finalz is a start for -z

Example: two chains and their summary
  vornak -m HDBern -f votes.dat -k 0 -h OA -B 4 -c integrated -s 1 -q -d 10
  vornak -m HDBern -f votes.dat -k 0 -h OA -B 4 -c integrated -s 2 -q -d 10
  vornak-summary votes_k0_OA_p_a0_B4_s1.draws votes_k0_OA_p_a0_B4_s2.draws

More in docs/: cli.md (every option), reference.md (files, messages, exit statuses),
settings.md (choosing settings), getting-answers.md (chains and their summary).
)";

// The usage-text options in the order the help explains them; the further ones follow the
// table.
const char* const kRequired[] = {"-m", "-f", "-k", "-h", "-B", "-t", "-c"};
const char* const kOptional[] = {"-l", "-p", "-a", "-z"};

// The value's name and the description start in these columns.
constexpr std::size_t kNameWidth = 15;

}  // namespace

std::string optionHelpRow(const OptionSpec& option) {
  std::string name = option.name;
  if (option.metavar[0] != '\0') name += std::string(" ") + option.metavar;
  std::string row = "  " + name;
  row += std::string(name.size() < kNameWidth ? kNameWidth - name.size() : 1, ' ');
  for (const char* c = option.help; *c; c++) {
    row += *c;
    if (*c == '\n') row += std::string(2 + kNameWidth, ' ');
  }
  return row + "\n";
}

std::string helpText() {
  std::string text = kHead;
  text += "Required:\n";
  for (const char* name : kRequired) text += optionHelpRow(*findOption(name));
  text += "\nOptional:\n";
  for (const char* name : kOptional) text += optionHelpRow(*findOption(name));
  text += "\nFurther options (without them every file and line is as without them):\n";
  for (const OptionSpec& option : kOptions)
    if (option.further) text += optionHelpRow(option);
  return text + "\n" + kFoot;
}

namespace {

// A help text in one table cell: wrapped lines joined; the lines of an aligned list (a name,
// two or more blanks, its meaning) each on a line of their own.
std::string cell(const std::string& text) {
  std::string out;
  bool inList = false;
  for (size_t from = 0; from <= text.size();) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    from = end + 1;
    const size_t gap = line.find("  ");
    const bool item = gap != std::string::npos;
    if (!out.empty()) out += item || inList ? "<br>" : " ";
    if (item) {
      const size_t meaning = line.find_first_not_of(' ', gap);
      line = "`" + line.substr(0, gap) + "` " + line.substr(meaning);
    }
    inList = item;
    for (char c : line) out += c == '|' ? std::string("\\|") : std::string(1, c);
  }
  return out;
}

std::string listed(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& name : names) out += (out.empty() ? "" : ", ") + std::string("`") + name + "`";
  return out;
}

std::string accepted(const OptionSpec& option) {
  const auto number = [](long long value) { return std::to_string(value); };
  if (std::strcmp(option.name, "-m") == 0) {
    std::vector<std::string> names;
    for (const ModelEntry* m = kModels; m->name; m++) names.push_back(m->name);
    return listed(names);
  }
  if (std::strcmp(option.name, "-h") == 0) {
    std::vector<std::string> names;
    for (const Heuristic* h : allHeuristics()) names.push_back(h->name);
    return listed(names);
  }
  switch (option.kind) {
    case ValueKind::Flag:
      return "flag, no value";
    case ValueKind::RealNumber:
      if (!option.further) return "a number";
      return "a number between " + number(option.min) + " and " + number(option.max) +
             ", both excluded";
    case ValueKind::WholeNumber:
      if (option.max == std::numeric_limits<long long>::max()) return number(option.min) + " or more";
      if (option.max == std::numeric_limits<int>::max()) return "a whole number";
      if (option.min == std::numeric_limits<int>::min()) return "a whole number, at most " + number(option.max);
      return number(option.min) + " to " + number(option.max);
    case ValueKind::Text:
      break;
  }
  if (option.words) {
    std::string words = option.words;
    std::vector<std::string> names;
    for (size_t from = 0;;) {
      const size_t bar = words.find('|', from);
      names.push_back(words.substr(from, bar - from));
      if (bar == std::string::npos) break;
      from = bar + 1;
    }
    return listed(names);
  }
  return "text";
}

std::string stemPart(const OptionSpec& option) {
  if (!option.further) return "fixed layout";
  if (!option.stem) return "none";
  std::string part = std::string("`") + option.stem + "`";
  if (option.kind != ValueKind::Flag) part += " and the value";
  switch (option.place) {
    case StemPlace::InPlaceOfB: return part + ", in place of `_B`";
    case StemPlace::BeforeLabel: return part + ", before the label";
    case StemPlace::Last: return part + ", at the end";
    case StemPlace::None: break;
  }
  return part;
}

}  // namespace

std::string optionsMarkdown() {
  std::string text =
      "| option | value | accepted | default | file stem | description |\n"
      "|---|---|---|---|---|---|\n";
  const auto row = [&](const OptionSpec& option) {
    text += std::string("| `") + option.name + "` | " + (option.metavar[0] ? option.metavar : "") +
            " | " + accepted(option) + " | " + (option.byDefault ? cell(option.byDefault) : "") +
            " | " + stemPart(option) + " | " + cell(option.help) + " |\n";
  };
  for (const char* name : kRequired) row(*findOption(name));
  for (const char* name : kOptional) row(*findOption(name));
  for (const OptionSpec& option : kOptions)
    if (option.further) row(option);
  return text;
}
