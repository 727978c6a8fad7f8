#include "formats/Draws.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace formats {
namespace {

template <class T>
bool parse(std::string_view token, T& value) {
  const char* end = token.data() + token.size();
  auto result = std::from_chars(token.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

// The next blank- or tab-separated field from at, or an empty view at the end.
std::string_view nextField(std::string_view line, size_t& at) {
  while (at < line.size() && blank(line[at])) at++;
  const size_t start = at;
  while (at < line.size() && !blank(line[at])) at++;
  return line.substr(start, at - start);
}

template <class T>
void appendNumber(std::string& line, T value) {
  char text[32];
  line.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace

void appendDrawsLine(std::string& line, long long iteration, double score, const int* labels,
                     int n, std::vector<int>& renumber) {
  char text[48];
  appendNumber(line, iteration);
  line += ' ';
  line.append(text, std::to_chars(text, text + sizeof text, score, std::chars_format::general, 17).ptr);
  line += ' ';
  int seen = 0;
  for (int i = 0; i < n; i++)
    if (renumber[labels[i]] < 0) renumber[labels[i]] = seen++;
  appendNumber(line, seen);
  for (int i = 0; i < n; i++) {
    line += ' ';
    appendNumber(line, renumber[labels[i]]);
  }
  line += '\n';
  for (int i = 0; i < n; i++) renumber[labels[i]] = -1;
}

void parseDrawsLine(std::string_view line, int n, Draw& draw) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  size_t at = 0;
  const std::string_view iteration = nextField(line, at);
  if (iteration.empty()) throw FormatError("empty line", "\"\"");
  if (!parse(iteration, draw.iteration))
    throw FormatError("iteration is not a whole number", std::string(iteration));
  const std::string_view score = nextField(line, at);
  if (score.empty() || !parse(score, draw.score) || !std::isfinite(draw.score))
    throw FormatError("score is not a finite number", score.empty() ? "missing" : std::string(score));
  const std::string_view k = nextField(line, at);
  if (k.empty() || !parse(k, draw.k))
    throw FormatError("cluster count is not a whole number", k.empty() ? "missing" : std::string(k));
  draw.labels.clear();
  std::vector<std::string_view> tokens;
  for (std::string_view token = nextField(line, at); !token.empty(); token = nextField(line, at))
    tokens.push_back(token);
  const int count = static_cast<int>(tokens.size());
  if (n == 0 && count == 0) throw FormatError("no labels after the cluster count", std::string(k));
  if (n > 0 && count != n)
    throw FormatError("expected " + std::to_string(n) + " labels as on line 1, found",
                      std::to_string(count));
  draw.labels.resize(count);
  std::vector<bool> used(count, false);
  int distinct = 0;
  for (int i = 0; i < count; i++) {
    int& label = draw.labels[i];
    if (!parse(tokens[i], label)) throw FormatError("label is not a whole number", std::string(tokens[i]));
    if (label < 0 || label >= count)
      throw FormatError("label outside 0.." + std::to_string(count - 1), std::string(tokens[i]));
    if (!used[label]) {
      used[label] = true;
      distinct++;
    }
  }
  if (draw.k != distinct)
    throw FormatError("the labels form " + std::to_string(distinct) + " clusters, but K is",
                      std::string(k));
}

int renumberByFirstAppearance(std::vector<int>& labels, std::vector<int>& renumber) {
  int seen = 0;
  for (int& label : labels) {
    if (renumber[label] < 0) renumber[label] = seen++;
    label = renumber[label];
  }
  std::fill(renumber.begin(), renumber.end(), -1);
  return seen;
}

std::string partitionLine(const int* labels, int n) {
  std::string line;
  line.reserve(static_cast<size_t>(n) * 4 + 1);
  for (int i = 0; i < n; i++) {
    appendNumber(line, labels[i]);
    line += ' ';
  }
  return line + '\n';
}

std::vector<int> parsePartition(std::string_view text) {
  std::vector<int> labels;
  size_t at = 0;
  auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (at < text.size()) {
    while (at < text.size() && space(text[at])) at++;
    const size_t start = at;
    while (at < text.size() && !space(text[at])) at++;
    if (at == start) break;
    const std::string_view token = text.substr(start, at - start);
    int label;
    if (!parse(token, label) || label < 0)
      throw FormatError("label is not a whole number of at least 0", std::string(token));
    labels.push_back(label);
  }
  return labels;
}

}  // namespace formats
