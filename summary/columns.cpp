#include "summary/columns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "formats/AlphaDraws.h"

namespace summary {
namespace {

// "COLUMN PROBABILITY": a column from 1 and a probability in [0, 1].
ColumnProbability parseColumnLine(std::string line, const std::string& file, size_t number) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const size_t blank = line.find(' ');
  ColumnProbability out;
  const char* begin = line.data();
  const char* end = begin + line.size();
  bool good = blank != std::string::npos;
  if (good) {
    auto first = std::from_chars(begin, begin + blank, out.column);
    auto second = std::from_chars(begin + blank + 1, end, out.probability);
    good = first.ec == std::errc() && first.ptr == begin + blank && out.column >= 1 &&
           second.ec == std::errc() && second.ptr == end && out.probability >= 0 &&
           out.probability <= 1;
  }
  if (!good)
    throw InputError(file + ", line " + std::to_string(number) +
                     ": not COLUMN PROBABILITY: \"" + line + "\"");
  return out;
}

// Adds one chain's columns file, weighted by weight, to sums; false when it has no line.
bool addColumnsFile(const std::string& file, double weight, std::vector<double>& sums) {
  std::ifstream in(file);
  if (!in) throw InputError("Fail to read " + file);
  std::vector<ColumnProbability> lines;
  std::string line;
  while (std::getline(in, line)) {
    lines.push_back(parseColumnLine(line, file, lines.size() + 1));
    if (lines.back().column != static_cast<int>(lines.size()))
      throw InputError(file + ", line " + std::to_string(lines.size()) + ": column " +
                       std::to_string(lines.back().column) + " out of order");
  }
  if (lines.empty()) return false;
  if (!sums.empty() && sums.size() != lines.size())
    throw InputError(file + " has " + std::to_string(lines.size()) + " columns, the first " +
                     std::to_string(sums.size()));
  sums.resize(lines.size(), 0.0);
  for (size_t t = 0; t < lines.size(); t++) sums[t] += weight * lines[t].probability;
  return true;
}

bool isFile(const std::string& file) {
  std::error_code error;
  return !file.empty() && std::filesystem::is_regular_file(file, error);
}

// Reads the columns files beside the draws files, each weighted by its draws lines.
std::vector<ColumnProbability> combine(const std::vector<std::string>& drawsFiles,
                                       const std::vector<double>& weights, size_t& chains) {
  std::vector<double> sums;
  double total = 0;
  chains = 0;
  for (size_t c = 0; c < drawsFiles.size(); c++) {
    const std::string file = formats::siblingFileOf(drawsFiles[c], ".columns");
    if (!isFile(file) || weights[c] <= 0) continue;
    if (!addColumnsFile(file, weights[c], sums)) continue;
    total += weights[c];
    chains++;
  }
  std::vector<ColumnProbability> out(sums.size());
  for (size_t t = 0; t < sums.size(); t++) out[t] = {static_cast<int>(t + 1), sums[t] / total};
  return out;
}

// Lines of a draws file, counted without reading its labels.
double linesOf(const std::string& file) {
  std::ifstream in(file);
  double lines = 0;
  std::string line;
  while (std::getline(in, line)) lines += !line.empty();
  return lines;
}

}  // namespace

std::vector<ColumnProbability> ColumnSummary::selected() const {
  std::vector<ColumnProbability> out;
  for (const ColumnProbability& c : columns)
    if (c.probability >= kSelectedProbability) out.push_back(c);
  std::stable_sort(out.begin(), out.end(), [](const ColumnProbability& a,
                                              const ColumnProbability& b) {
    return a.probability > b.probability;
  });
  return out;
}

ColumnSummary summariseColumns(const std::vector<Chain>& chains) {
  ColumnSummary out;
  std::vector<std::string> files;
  std::vector<double> weights;
  for (const Chain& chain : chains) {
    files.push_back(chain.file);
    weights.push_back(static_cast<double>(chain.iteration.size()));
  }
  out.columns = combine(files, weights, out.chains);
  out.p = summariseValues(chains, ".pdraws", "P");
  return out;
}

std::vector<ColumnProbability> columnProbabilities(const std::vector<std::string>& drawsFiles) {
  std::vector<double> weights;
  for (const std::string& file : drawsFiles) weights.push_back(linesOf(file));
  size_t chains = 0;
  return combine(drawsFiles, weights, chains);
}

}  // namespace summary
