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

const char* const kUsageText =
    "\n"
    "vornak.exe -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -l case1 \n"
    "vornak.exe -m ProteinSequence -f set123a.fasta -k 3 -h UX -t 10 -l case2 \n"
    "vornak.exe -m mclust2 -f sim11.dat -k 2 -h EN \n"
    "vornak.exe -m ProteinSequence -f set123b.fasta -k 3 -h UX -B 6 -t 1 -l tmp -p bg -a 1 -z "
    "xxx.finalz\n"
    "\n"
    "Options:\n"
    "  -m: model. This should be ProteinSequence, HDBern, kmeans2, or mclust2.\n"
    "  -f: data file name. For ProteinSequence, the file should be in fasta format. For other "
    "models, the file should contain a matrix, with each row corresponding to an observation.\n"
    "  -h: heuristics. This should be JN, DA, UW, UX, UY, OA, SR, or EN. \n"
    "  -k: number of assumed clusters. If 0, it means k is infinite mixture.\n"
    "  -B: The maximum number of iterations should be 1eB. The default value is 6.\n"
    "  -t: number of minutes to run\n"
    "  -l: an arbitrary label for this run. It is used to help provide unique names for the "
    "output files.\n"
    "  the following are optional\n"
    "  -p: component prior. The allowable values depends on the model.\n"
    "\tFor ProteinSequence, this should be bg (default), flat, or cloud9.\n"
    "\tFor mclust2, this is used in specifying component prior, default 1.\n"
    "\tFor HDBern, this should be flat (default), point5, point05, or point005.\n"
    "  -a: parameter log(alpha) for DP or Dirichlet, default log(1).\n"
    "  -c: the type of likelihood. This should be classi, mixture, or integrated.\n"
    "  -z: name of a file containing a partition used to initialize the search. The default is "
    "an empty string, meaning use a random partition.\n"
    "  \n";

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

}  // namespace

bool parseCommandLine(int argc, char** argv, Settings& s, std::string* refusal) {
  // Every word is examined, values included, advancing by one; the last occurrence wins.
  // An option with no word after it is left unset. Values are converted once, from the last
  // occurrence, in table order, so that only the value used is checked.
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
