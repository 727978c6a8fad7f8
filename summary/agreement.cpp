#include "summary/agreement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>

#include "summary/diagnostics.h"
#include "summary/draws.h"

namespace summary {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Trace {
  std::vector<long long> iteration;
  std::vector<double> score, k;
};

// The first three fields of every complete line; a last line without its line break is
// still being written and is left for the next look.
Trace readTrace(const std::string& file) {
  Trace trace;
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

}  // namespace

bool Agreement::agreed(double maxRhat, double minEss) const {
  return chains >= 2 && stuck.empty() && rhatScore <= maxRhat && rhatK <= maxRhat && essScore >= minEss &&
         essK >= minEss;
}

Agreement checkAgreement(const std::vector<std::string>& files, double burn) {
  Agreement result;
  result.chains = files.size();
  result.bestScore = -std::numeric_limits<double>::infinity();
  result.rhatScore = result.rhatK = result.essScore = result.essK = kNaN;
  std::vector<Trace> traces;
  size_t fewest = std::numeric_limits<size_t>::max();
  for (const std::string& file : files) {
    Trace trace = readTrace(file);
    const size_t burned = static_cast<size_t>(std::floor(burn * trace.score.size()));
    trace.iteration.erase(trace.iteration.begin(), trace.iteration.begin() + burned);
    trace.score.erase(trace.score.begin(), trace.score.begin() + burned);
    trace.k.erase(trace.k.begin(), trace.k.begin() + burned);
    fewest = std::min(fewest, trace.score.size());
    for (double s : trace.score) result.bestScore = std::max(result.bestScore, s);
    traces.push_back(std::move(trace));
  }
  if (files.empty() || fewest == 0) return result;
  result.keptPerChain = fewest;
  result.iterations = traces[0].iteration.back();
  for (const Trace& trace : traces) result.iterations = std::min(result.iterations, trace.iteration.back());
  if (fewest < 4) return result;

  Chains score, k;
  for (const Trace& trace : traces) {
    score.emplace_back(trace.score.end() - fewest, trace.score.end());
    k.emplace_back(trace.k.end() - fewest, trace.k.end());
  }
  for (size_t c = 0; c < score.size(); c++)
    if (nearlyConstant(score[c])) result.stuck.push_back(c);
  auto measure = [&](const Chains& last, double& rhat, double& ess) {
    // Stuck chains (the score) are not an agreement of moving ones: their R-hat is measured.
    if (constantAndEqual(last) && &last != &score) {
      rhat = 1;
      ess = static_cast<double>(fewest * last.size());
      return;
    }
    rhat = splitRhat(&last == &score ? mergeNearlyEqual(last) : last);
    ess = 0;
    for (const Chains::value_type& chain : last) {
      // Each chain's own ties, as the summary measures a chain alone.
      const double one = bulkEss(&last == &score ? mergeNearlyEqual({chain})[0] : chain);
      ess += std::isnan(one) ? 0 : one;
    }
  };
  measure(score, result.rhatScore, result.essScore);
  measure(k, result.rhatK, result.essK);
  return result;
}

}  // namespace summary
