#include "summary/agreement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "summary/diagnostics.h"
#include "summary/draws.h"

namespace summary {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// The first three fields of every complete line; a last line without its line break is
// still being written and is left for the next look.
Trace readTrace(const std::string& file) {
  Trace trace;
  trace.file = file;
  std::ifstream in(file, std::ios::binary);
  if (!in) return trace;
  std::string line;
  for (size_t l = 1; std::getline(in, line); l++) {
    if (in.eof()) break;  // no line break after it
    const char* p = line.c_str();
    char* end = nullptr;
    const long long iteration = std::strtoll(p, &end, 10);
    const bool iterationOk = end != p;
    p = end;
    const double score = std::strtod(p, &end);
    const bool scoreOk = end != p && std::isfinite(score);
    p = end;
    const long k = std::strtol(p, &end, 10);
    if (!iterationOk || !scoreOk || end == p || k < 1)
      throw InputError("Malformed draws line: " + file + " line " + std::to_string(l) + ": " +
                       line.substr(0, 40));
    trace.iteration.push_back(iteration);
    trace.score.push_back(score);
    trace.k.push_back(static_cast<double>(k));
  }
  return trace;
}

bool constantAndEqual(const Chains& chains) {
  for (const auto& chain : chains)
    for (double v : chain)
      if (v != chains[0][0]) return false;
  return true;
}

double deviation(const std::vector<double>& values) {
  if (values.size() < 2) return 0;
  double mean = 0;
  for (double v : values) mean += v;
  mean /= values.size();
  double sum = 0;
  for (double v : values) sum += (v - mean) * (v - mean);
  return std::sqrt(sum / (values.size() - 1));
}

ChainEnd chainEnd(const Trace& trace) {
  ChainEnd end;
  end.start = sharedStartOf(trace.file);
  end.lines = trace.score.size();
  end.kept = end.lines - std::min(trace.burned, end.lines);
  const std::vector<double> score(trace.score.end() - end.kept, trace.score.end());
  const std::vector<double> k(trace.k.end() - end.kept, trace.k.end());
  for (size_t d = 0; d < score.size(); d++)
    if (score[d] > end.best) {
      end.best = score[d];
      end.kAtBest = static_cast<int>(k[d]);
    }
  end.essScore = bulkEss(mergeNearlyEqual({score})[0]);
  end.essK = bulkEss(k);
  end.spread = deviation(score);
  end.stuck = end.kept >= kFewestKept && nearlyConstant(score);
  return end;
}

// Chains sorted by their best kept score; a chain more than the margin below the leader of
// the mode being filled starts the next.
void findModes(Agreement& result) {
  std::vector<size_t> order;
  std::vector<double> spreads;
  for (size_t c = 0; c < result.ends.size(); c++)
    if (result.ends[c].kept > 0) {
      order.push_back(c);
      spreads.push_back(result.ends[c].spread);
    }
  if (order.empty()) return;
  std::sort(spreads.begin(), spreads.end());
  const size_t m = spreads.size() / 2;
  const double median = spreads.size() % 2 ? spreads[m] : (spreads[m - 1] + spreads[m]) / 2;
  result.margin = std::max(kModeMargin, median);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return result.ends[a].best > result.ends[b].best || (result.ends[a].best == result.ends[b].best && a < b);
  });
  for (size_t c : order) {
    const ChainEnd& end = result.ends[c];
    if (result.modes.empty() || end.best < result.modes.back().score - result.margin) {
      Mode mode;
      mode.score = end.best;
      mode.k = end.kAtBest;
      mode.logOdds = result.modes.empty() ? 0 : end.best - result.modes[0].score;
      result.modes.push_back(mode);
    }
    result.modes.back().chains.push_back(c);
  }
  std::vector<std::string> starts;
  size_t own = 0;
  for (size_t c : result.modes[0].chains) {
    const std::string& start = result.ends[c].start;
    if (start.empty())
      own++;
    else if (std::find(starts.begin(), starts.end(), start) == starts.end())
      starts.push_back(start);
  }
  result.starts = own + starts.size();
  result.distinctStarts = result.starts >= 2;
}

// Chains that each sit on one score, all the same, reached from two or more starts: the
// posterior holds to that partition, so the chains agree rather than being stuck. A chain
// constant at a lower score stays stuck.
void findOnePartition(Agreement& result, const std::vector<Trace>& traces) {
  if (traces.size() < 2 || result.modes.size() != 1 || !result.distinctStarts) return;
  std::vector<double> scores;
  for (size_t c = 0; c < traces.size(); c++) {
    const ChainEnd& end = result.ends[c];
    if (!end.stuck || end.kept < static_cast<size_t>(kChainEssLimit)) return;
    const std::vector<double>& k = traces[c].k;
    if (std::any_of(k.end() - end.kept, k.end(), [&](double v) { return v != traces[0].k.back(); })) return;
    scores.push_back(end.best);
  }
  if (!nearlyConstant(scores)) return;
  result.onePartition = true;
  result.stuck.clear();
  for (ChainEnd& end : result.ends) end.stuck = false;
}

}  // namespace

std::string startOf(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  const std::string name = file.substr(slash == std::string::npos ? 0 : slash + 1);
  for (const char* start : {"tree", "boot", "average", "random", "sample", "sample-boot", "sample-average"}) {
    const std::string part = std::string("_Z") + start;
    for (size_t at = name.find(part); at != std::string::npos; at = name.find(part, at + 1)) {
      const char after = at + part.size() < name.size() ? name[at + part.size()] : '\0';
      if (after == '_' || after == '.' || after == '\0') return start;
    }
  }
  return "";
}

std::string sharedStartOf(const std::string& file) {
  const std::string start = startOf(file);
  // A sample's tree is its seed's, but below the sample size it is the tree itself: counted as
  // one start, so that chains never seem to come from more starts than they did.
  return start == "tree" || start == "average" || start == "sample" || start == "sample-average" ? start : "";
}

bool Agreement::agreed(double maxRhat, double minEss) const {
  if (onePartition) {
    double kept = 0;
    for (const ChainEnd& end : ends) kept += static_cast<double>(end.kept);
    return kept >= minEss;
  }
  if (chains < 2 || !stuck.empty() || modes.size() != 1 || !distinctStarts || ends.size() != chains) return false;
  for (const ChainEnd& end : ends) {
    if (end.kept < kFewestKept || !(end.essScore >= kChainEssLimit)) return false;
    // A k constant in a chain has no ESS; it agrees when it is constant and equal in all.
    if (!(end.essK >= kChainEssLimit) && !(essK >= minEss && rhatK == 1)) return false;
  }
  return rhatScore <= maxRhat && rhatK <= maxRhat && essScore >= minEss && essK >= minEss;
}

Agreement assess(const std::vector<Trace>& traces) {
  Agreement result;
  result.chains = traces.size();
  result.bestScore = -std::numeric_limits<double>::infinity();
  result.rhatScore = result.rhatK = result.essScore = result.essK = kNaN;
  size_t fewest = std::numeric_limits<size_t>::max();
  for (const Trace& trace : traces) {
    result.ends.push_back(chainEnd(trace));
    fewest = std::min(fewest, result.ends.back().kept);
    for (double s : trace.score) result.bestScore = std::max(result.bestScore, s);
    if (result.ends.back().stuck) result.stuck.push_back(result.ends.size() - 1);
  }
  findModes(result);
  findOnePartition(result, traces);
  if (traces.empty() || fewest == 0) return result;
  result.keptPerChain = fewest;
  result.iterations = traces[0].iteration.back();
  for (const Trace& trace : traces) result.iterations = std::min(result.iterations, trace.iteration.back());
  if (fewest < 4) return result;

  Chains score, k;
  for (const Trace& trace : traces) {
    score.emplace_back(trace.score.end() - fewest, trace.score.end());
    k.emplace_back(trace.k.end() - fewest, trace.k.end());
  }
  result.rhatScore = splitRhat(mergeNearlyEqual(score));
  if (constantAndEqual(k)) {
    result.rhatK = 1;
    result.essK = static_cast<double>(fewest * k.size());
  } else {
    result.rhatK = splitRhat(k);
  }
  result.essScore = 0;
  double essK = 0;
  for (const ChainEnd& end : result.ends) {
    result.essScore += std::isnan(end.essScore) ? 0 : end.essScore;
    essK += std::isnan(end.essK) ? 0 : end.essK;
  }
  if (std::isnan(result.essK)) result.essK = essK;
  return result;
}

Agreement checkAgreement(const std::vector<std::string>& files, double burn) {
  std::vector<Trace> traces;
  for (const std::string& file : files) {
    traces.push_back(readTrace(file));
    traces.back().burned = static_cast<size_t>(std::floor(burn * traces.back().score.size()));
  }
  return assess(traces);
}

std::string gapText(double logUnits) {
  char text[64];
  if (logUnits < 10) {
    std::snprintf(text, sizeof text, "%.1f", logUnits);
    return text;
  }
  std::snprintf(text, sizeof text, "%.0f", logUnits);
  std::string digits = text, grouped;
  for (size_t i = 0; i < digits.size(); i++) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string chainList(const std::vector<size_t>& chains) {
  std::vector<size_t> sorted = chains;
  std::sort(sorted.begin(), sorted.end());
  std::string text = sorted.size() == 1 ? "chain " : "chains ";
  for (size_t i = 0; i < sorted.size(); i++) {
    if (i > 0) text += i + 1 == sorted.size() ? " and " : ", ";
    text += std::to_string(sorted[i] + 1);
  }
  return text;
}

std::string modesPhrase(const Agreement& agreement) {
  std::string text;
  for (size_t m = 1; m < agreement.modes.size(); m++) {
    const Mode& mode = agreement.modes[m];
    if (!text.empty()) text += "; ";
    text += chainList(mode.chains) + (mode.chains.size() == 1 ? " ends " : " end ") + gapText(-mode.logOdds) +
            " log units below " + chainList(agreement.modes[0].chains);
  }
  return text;
}

std::string onePartitionPhrase(const Agreement& agreement) {
  if (!agreement.onePartition) return "";
  return "one partition reached from " + std::to_string(agreement.starts) + " starts";
}

std::string startsPhrase(const Agreement& agreement) {
  if (agreement.modes.empty() || agreement.distinctStarts || agreement.chains < 2) return "";
  const std::vector<size_t>& best = agreement.modes[0].chains;
  if (best.size() == 1) return "only " + chainList(best) + " reached the best mode";
  return chainList(best) + " reached the best mode from one start (-Z " + agreement.ends[best[0]].start + ")";
}

}  // namespace summary
