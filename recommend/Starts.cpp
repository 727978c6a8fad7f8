#include "recommend/Starts.h"

#include "recommend/Recommend.h"

namespace recommend {

std::string chainStart(int chain) {
  // A random start is no plausible start on large data: OA from there stays thousands of log
  // units below (measured, docs/getting-answers.md), so the later chains take bootstraps.
  static const char* const kFirst[] = {"tree", "boot", "average"};
  if (chain < 3) return kFirst[chain < 0 ? 0 : chain];
  return "boot";
}

bool dispersedStarts(const std::vector<std::string>& given) {
  return wordValue(given, "-z").empty() && wordValue(given, "-Z").empty() && wordValue(given, "-h") != "EN";
}

std::vector<std::string> chainWords(const std::vector<std::string>& words, const std::vector<std::string>& given,
                                    int chain, long rows) {
  if (!dispersedStarts(given)) return words;
  if (rows > kMostRowsForTrees)
    return chain == 0 || wordValue(words, "-Z").empty() ? words : mergeWords(words, {"-Z", "random"});
  return mergeWords(words, {"-Z", chainStart(chain)});
}

}  // namespace recommend
