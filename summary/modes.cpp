#include "summary/modes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "summary/summary.h"

namespace summary {
namespace {

std::string fixed(double value, const char* format) {
  if (std::isnan(value)) return "NA";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string startName(const std::string& file) {
  const std::string start = startOf(file);
  return start.empty() ? "none" : start;
}

}  // namespace

std::vector<size_t> estimateChains(const Agreement& verdict) {
  if (verdict.modes.size() > 1) {
    std::vector<size_t> chains = verdict.modes[0].chains;
    std::sort(chains.begin(), chains.end());
    return chains;
  }
  std::vector<size_t> all(verdict.chains);
  for (size_t c = 0; c < all.size(); c++) all[c] = c;
  return all;
}

void addModeWarnings(Summary& summary) {
  const Agreement& verdict = summary.verdict;
  if (verdict.chains < 2) return;
  if (verdict.modes.size() > 1) {
    summary.warnings.push_back("the chains did not agree: " + modesPhrase(verdict) +
                               "; the estimate and the membership probabilities are from " +
                               chainList(summary.estimateChains) + " alone, conditional on the best mode");
  } else {
    const std::string starts = startsPhrase(verdict);
    if (!starts.empty())
      summary.warnings.push_back("the chains did not agree: " + starts +
                                 ", which shows nothing; run chains from different starts");
  }
}

std::string modesText(const Summary& summary) {
  const Agreement& verdict = summary.verdict;
  if (verdict.ends.size() != summary.chains.size()) return "";
  std::string text = "\nStarts and ends (a mode: chains whose best kept scores lie within " +
                     gapText(verdict.margin) + " log units of its best):\n"
                     "  chain  start    best kept score      k  mode\n";
  std::vector<size_t> modeOf(verdict.ends.size(), 0);
  for (size_t m = 0; m < verdict.modes.size(); m++)
    for (size_t c : verdict.modes[m].chains) modeOf[c] = m + 1;
  for (size_t c = 0; c < verdict.ends.size(); c++) {
    char line[160];
    std::snprintf(line, sizeof line, "  %5zu  %-7s  %15s  %5d  %4zu\n", c + 1,
                  startName(summary.chains[c].file).c_str(),
                  fixed(verdict.ends[c].best, "%.10g").c_str(), verdict.ends[c].kAtBest, modeOf[c]);
    text += line;
  }
  for (size_t m = 0; m < verdict.modes.size(); m++) {
    const Mode& mode = verdict.modes[m];
    // The table gives each chain's mode; a long list of chains would repeat it.
    text += "  mode " + std::to_string(m + 1) + ": score " + fixed(mode.score, "%.10g") + ", k " +
            std::to_string(mode.k) + ", " +
            (mode.chains.size() <= 4 ? chainList(mode.chains) : std::to_string(mode.chains.size()) + " chains");
    if (m > 0) text += ", log odds " + fixed(mode.logOdds, "%.1f") + " against mode 1";
    text += '\n';
  }
  if (verdict.modes.size() > 1)
    text += "  The estimate, the posterior on k and the membership probabilities are from " +
            chainList(summary.estimateChains) + " (mode 1) alone: conditional on that mode.\n";
  return text;
}

std::vector<std::array<std::string, 4>> modesRows(const Summary& summary) {
  const Agreement& verdict = summary.verdict;
  std::vector<std::array<std::string, 4>> rows;
  if (verdict.ends.size() != summary.chains.size()) return rows;
  std::vector<size_t> modeOf(verdict.ends.size(), 0);
  for (size_t m = 0; m < verdict.modes.size(); m++)
    for (size_t c : verdict.modes[m].chains) modeOf[c] = m + 1;
  std::vector<bool> used(verdict.ends.size(), false);
  for (size_t c : summary.estimateChains) used[c] = true;
  for (size_t c = 0; c < verdict.ends.size(); c++) {
    const std::string chain = std::to_string(c + 1);
    rows.push_back({"start", chain, "", startName(summary.chains[c].file)});
    rows.push_back({"best_score", chain, "", fixed(verdict.ends[c].best, "%.10g")});
    rows.push_back({"mode", chain, "", std::to_string(modeOf[c])});
    rows.push_back({"in_estimate", chain, "", used[c] ? "1" : "0"});
  }
  for (size_t m = 0; m < verdict.modes.size(); m++) {
    const Mode& mode = verdict.modes[m];
    const std::string name = std::to_string(m + 1);
    rows.push_back({"mode_score", "all", name, fixed(mode.score, "%.10g")});
    rows.push_back({"mode_k", "all", name, std::to_string(mode.k)});
    rows.push_back({"mode_log_odds", "all", name, fixed(mode.logOdds, "%.10g")});
  }
  return rows;
}

}  // namespace summary
