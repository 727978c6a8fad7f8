#include "recommend/Starts.h"

#include "recommend/Recommend.h"

namespace recommend {

std::string chainStart(int chain, long rows) {
  // A random start is no plausible start on large data: OA from there stays thousands of log
  // units below (measured, docs/getting-answers.md), so the later chains take bootstraps.
  static const char* const kFirst[] = {"tree", "boot", "average"};
  const std::string start = chain < 3 ? kFirst[chain < 0 ? 0 : chain] : "boot";
  if (rows <= kMostRowsForTrees) return start;
  return start == "tree" ? "sample" : "sample-" + start;
}

bool dispersedStarts(const std::vector<std::string>& given) {
  return wordValue(given, "-z").empty() && wordValue(given, "-Z").empty() && wordValue(given, "-h") != "EN";
}

std::vector<std::string> chainWords(const std::vector<std::string>& words, const std::vector<std::string>& given,
                                    int chain, long rows) {
  if (!dispersedStarts(given)) return words;
  return mergeWords(words, {"-Z", chainStart(chain, rows)});
}

std::vector<std::string> measuringWords(const std::vector<std::string>& words, const std::vector<std::string>& given,
                                        long rows) {
  return rows > kMostRowsForTrees ? chainWords(words, given, 0, rows) : words;
}

}  // namespace recommend
