#include "summary/draws.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string_view>

namespace summary {
namespace {

template <class T>
bool parse(std::string_view token, T& value) {
  const char* end = token.data() + token.size();
  auto result = std::from_chars(token.data(), end, value);
  return result.ec == std::errc() && result.ptr == end;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') i++;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

class LineReader {
 public:
  LineReader(const std::string& file, size_t line) : file_(file), line_(line) {}
  [[noreturn]] void fail(const std::string& what, std::string_view value) const {
    throw InputError("Malformed draws line: " + file_ + " line " + std::to_string(line_) + ": " +
                     what + ": " + std::string(value));
  }

 private:
  const std::string& file_;
  size_t line_;
};

}  // namespace

Chain readDraws(const std::string& file, double burn) {
  std::ifstream in(file, std::ios::binary);
  std::string text;
  try {
    if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {  // a folder opens, but reading it fails
    in.setstate(std::ios::badbit);
  }
  if (!in || in.bad()) throw InputError("Cannot read draws file: " + file);

  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  if (lines.empty()) throw InputError("No draws in file: " + file);

  Chain chain;
  chain.file = file;
  chain.burned = static_cast<size_t>(std::floor(burn * lines.size()));
  std::vector<int> raw;       // one line's labels as written
  std::vector<int> renumber;  // label -> label in order of first appearance, -1 unseen
  for (size_t l = 0; l < lines.size(); l++) {
    LineReader reader(file, l + 1);
    std::vector<std::string_view> tokens = words(lines[l]);
    if (tokens.empty()) reader.fail("empty line", "\"\"");
    long long iteration;
    double score;
    int k;
    if (!parse(tokens[0], iteration)) reader.fail("iteration is not a whole number", tokens[0]);
    if (tokens.size() < 2 || !parse(tokens[1], score) || !std::isfinite(score))
      reader.fail("score is not a finite number", tokens.size() < 2 ? "missing" : tokens[1]);
    if (tokens.size() < 3 || !parse(tokens[2], k))
      reader.fail("cluster count is not a whole number", tokens.size() < 3 ? "missing" : tokens[2]);
    const int labels = static_cast<int>(tokens.size() - 3);
    if (l == 0) {
      if (labels == 0) reader.fail("no labels after the cluster count", tokens[2]);
      chain.n = labels;
      renumber.assign(labels, -1);
      raw.resize(labels);
      chain.labels.reserve((lines.size() - chain.burned) * labels);
    } else if (labels != chain.n) {
      reader.fail("expected " + std::to_string(chain.n) + " labels as on line 1, found",
                  std::to_string(labels));
    }
    for (int i = 0; i < chain.n; i++) {
      std::string_view token = tokens[3 + i];
      if (!parse(token, raw[i])) reader.fail("label is not a whole number", token);
      if (raw[i] < 0 || raw[i] >= chain.n)
        reader.fail("label outside 0.." + std::to_string(chain.n - 1), token);
    }
    int distinct = 0;
    for (int i = 0; i < chain.n; i++)
      if (renumber[raw[i]] < 0) renumber[raw[i]] = distinct++;
    if (k != distinct)
      reader.fail("the labels form " + std::to_string(distinct) + " clusters, but K is",
                  tokens[2]);
    if (l >= chain.burned)
      for (int i = 0; i < chain.n; i++) chain.labels.push_back(renumber[raw[i]]);
    for (int i = 0; i < chain.n; i++) renumber[raw[i]] = -1;
    chain.iteration.push_back(iteration);
    chain.score.push_back(score);
    chain.clusters.push_back(k);
  }
  return chain;
}

}  // namespace summary
