#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "io/Console.h"
#include "io/RunError.h"
#include "driver/common_main.h"
#include "driver/options.h"
#include "io/Text.h"

const char* const kHelpWord = "--help";

const char* const kUsageText =
    "\n"
    "vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -c integrated -l case1 \n"
    "vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -t 10 -c integrated -l case2 \n"
    "vornak -m mclust2 -f tiny.dat -k 2 -h EN -c integrated \n"
    "vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -t 1 -l tmp -p bg -a 1 "
    "-c integrated -z set123a_k3_UX_p_a0_B6_case1.finalz\n"
    "\n"
    "Options:\n"
    "  -m: model. This should be ProteinSequence, HDBern, HDGBern, kmeans2, mclust2, mvn, "
    "diagonal, or ordinal.\n"
    "  -f: data file name. For ProteinSequence, the file should be in fasta format. For other "
    "models, the file should contain a matrix, with each row corresponding to an observation.\n"
    "  -h: heuristics. This should be OA, JN, JN2, DA, DA2, SR, SR2, UX, UX2, UXf, UXf2, rBHS2, "
    "CM, CM2, PS, or EN. JN, JN2, DA, DA2, CM and CM2 need -k 0; EN lists every partition, for "
    "tiny data only.\n"
    "  -k: number of assumed clusters, at most 32767. If 0, it means k is infinite mixture.\n"
    "  -B: The maximum number of iterations should be 1eB (B at most 18). A search needs -B, -t or -i (-i N: "
    "exactly N iterations, in place of -B); EN needs none. With -t alone, B is 9.\n"
    "  -t: number of minutes to run. Without -t, it is 14400 (ten days).\n"
    "  -c: the type of likelihood. This should be integrated, classi, or mixture. classi and "
    "mixture are for HDBern and HDGBern only.\n"
    "  the following are optional\n"
    "  -l: an arbitrary label for this run. It is used to help provide unique names for the "
    "output files.\n"
    "  -p: component prior. The allowable values depends on the model.\n"
    "\tFor ProteinSequence, this should be bg (default), flat, cloud9, or shared.\n"
    "\tFor mclust2, mvn and diagonal, this is used in specifying component prior, default 1.\n"
    "\tFor HDBern and HDGBern, this should be flat (default), point5, point05, point005, "
    "levels, or shared.\n"
    "\tFor ordinal, this should be flat (default) or jeffreys.\n"
    "\tFor kmeans2, it is not used.\n"
    "  -a: parameter log(alpha) for DP or Dirichlet, default log(1).\n"
    "  -z: name of a file containing a partition used to initialize the search. The default is "
    "an empty string, meaning use a random partition.\n"
    "  \n"
    "Every option, the further ones included, with defaults and exit statuses: vornak --help\n";

namespace {

bool cleanStart(const char* text) {
  return text[0] != '\0' && std::isspace(static_cast<unsigned char>(text[0])) == 0;
}

[[noreturn]] void outOfRange(const char* option, const char* text) {
  const std::string line = std::string("main(). number out of range for ") + option + ": " + text;
  vout() << line << '\n';
  vout().flush();
  throw RunError(line);
}

// atoi's value, but a number beyond int ends the run and any other text than a plain whole
// number is named on standard error.
int wholeNumber(const char* option, const char* text) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno == ERANGE || value < std::numeric_limits<int>::min() ||
      value > std::numeric_limits<int>::max())
    outOfRange(option, text);
  if (end == text || *end != '\0' || !cleanStart(text))
    verr() << "warning: " << option << " " << text << " is not a whole number; read as " << value
           << '\n';
  return static_cast<int>(value);
}

// atof's value, with the same checks.
double realNumber(const char* option, const char* text) {
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno == ERANGE && std::fabs(value) == HUGE_VAL) outOfRange(option, text);
  if (end == text || *end != '\0' || !cleanStart(text))
    verr() << "warning: " << option << " " << text << " is not a number; read as " << value
           << '\n';
  return value;
}

// A number such as -2 or -0.5: a value, however it stands.
bool isNumber(const char* word) {
  char* end = nullptr;
  std::strtod(word, &end);
  return end != word && *end == '\0';
}

// Unknown words are ignored; one that looks like an option (--seed, -s5) is named on standard
// error, unless it is the value of the option before it (-l -run).
void warnUnknownOptions(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    const char* word = argv[i];
    if (word[0] != '-' || word[1] == '\0' || findOption(word) || std::strcmp(word, kHelpWord) == 0 ||
        isNumber(word))
      continue;
    const OptionSpec* before = findOption(argv[i - 1]);
    if (before && before->kind != ValueKind::Flag) continue;
    verr() << "warning: " << word << " is not an option of vornak and is ignored";
    const OptionSpec* stuck = findOption(std::string(word, 2));
    if (stuck && stuck->kind != ValueKind::Flag)
      verr() << " (an option and its value are two words: " << stuck->name << " " << word + 2
             << ")";
    verr() << "; vornak " << kHelpWord << " lists the options\n";
  }
}

}  // namespace

bool helpAsked(int argc, char** argv) {
  for (int i = 1; i < argc; i++)
    if (std::strcmp(argv[i], kHelpWord) == 0) return true;
  return false;
}

bool parseCommandLine(int argc, char** argv, Settings& s, std::string* refusal) {
  // Every word is examined, values included, advancing by one; the last occurrence wins.
  // An option with no word after it is left unset. Values are converted once, from the last
  // occurrence, in table order, so that only the value used is checked.
  warnUnknownOptions(argc, argv);
  std::vector<const char*> last(kOptions.size(), nullptr);
  for (int i = 0; i < argc; i++)
    for (std::size_t o = 0; o < kOptions.size(); o++) {
      if (std::strcmp(argv[i], kOptions[o].name) != 0) continue;
      // Flags take no value, so they may also be the last word.
      if (kOptions[o].kind == ValueKind::Flag) last[o] = "";
      else if (i + 1 < argc) last[o] = argv[i + 1];
    }
  for (std::size_t o = 0; o < kOptions.size(); o++) {
    const OptionSpec& option = kOptions[o];
    const char* text = last[o];
    if (!text) continue;
    if (option.further) {
      s.further[option.name] = text;
    } else if (auto textField = std::get_if<std::string Settings::*>(&option.field)) {
      s.**textField = text;
    } else if (auto wholeField = std::get_if<int Settings::*>(&option.field)) {
      s.**wholeField = wholeNumber(option.name, text);
      if (s.**wholeField == option.absent && option.refusal && refusal)
        *refusal = std::string("main(). ") + option.refusal + ": " + Text::n2s(option.absent);
    } else if (auto realField = std::get_if<double Settings::*>(&option.field)) {
      s.**realField = realNumber(option.name, text);
    }
  }
  if (s.dataFile.empty() || s.k == -1 || s.model.empty()) return false;
  const Heuristic* heuristic = findHeuristic(s.heuristics);
  if (heuristic && heuristic->enumerates()) return true;
  return !s.heuristics.empty() && !(s.B == -1 && s.minuteAllowed == -1 && !s.has("-i"));
}
