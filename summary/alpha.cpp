#include "summary/alpha.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "formats/AlphaDraws.h"

namespace summary {
namespace {

// The q-quantile of sorted values, interpolated between order statistics (R's default).
double quantile(const std::vector<double>& sorted, double q) {
  const double at = q * (sorted.size() - 1);
  const size_t below = static_cast<size_t>(std::floor(at));
  const size_t above = std::min(below + 1, sorted.size() - 1);
  return sorted[below] + (at - below) * (sorted[above] - sorted[below]);
}

}  // namespace

AlphaSummary summariseValues(const std::vector<Chain>& chains, const std::string& suffix,
                             const std::string& name) {
  AlphaSummary out;
  std::vector<double> values;
  for (const Chain& chain : chains) {
    const std::string file = formats::siblingFileOf(chain.file, suffix);
    std::error_code error;
    if (file.empty() || !std::filesystem::is_regular_file(file, error)) continue;
    std::ifstream in(file);
    if (!in) throw InputError("Fail to read " + file);
    // The values after the chain's kept draws only, as for its partitions.
    const long long firstKept = chain.kept() > 0 ? chain.iteration[chain.burned] : 0;
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
      number++;
      long long iteration = 0;
      double value = 0;
      try {
        formats::parseValueLine(line, iteration, value, name);
      } catch (const formats::FormatError& e) {
        throw InputError(file + ", line " + std::to_string(number) + ": " + e.what());
      }
      if (iteration >= firstKept) values.push_back(value);
    }
    out.chains++;
  }
  if (values.empty()) {
    out.chains = 0;
    return out;
  }
  out.draws = values.size();
  double sum = 0;
  for (double v : values) sum += v;
  out.mean = sum / values.size();
  std::sort(values.begin(), values.end());
  out.lower = quantile(values, 0.025);
  out.upper = quantile(values, 0.975);
  return out;
}

AlphaSummary summariseAlpha(const std::vector<Chain>& chains) {
  return summariseValues(chains, ".alpha", "alpha");
}

}  // namespace summary
