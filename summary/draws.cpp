#include "summary/draws.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

#include "formats/Draws.h"

namespace summary {
namespace {

const size_t kMaxFirstLine = size_t(1) << 26;  // 64 MiB: over five million labels
// Scores beyond this make the figures' sums and the picture's scales overflow; a real
// log-likelihood is many orders of magnitude smaller.
const double kMaxScore = 1e100;

// What a path is when it is not a regular file; empty for a regular file.
std::string notRegular(const std::string& file) {
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (error) return "";  // missing or unreadable: the open says so
  switch (status.type()) {
    case std::filesystem::file_type::regular: return "";
    case std::filesystem::file_type::directory: return "a folder";
    case std::filesystem::file_type::fifo: return "a FIFO";
    case std::filesystem::file_type::socket: return "a socket";
    case std::filesystem::file_type::block:
    case std::filesystem::file_type::character: return "a device";
    default: return "not a regular file";
  }
}

// Reads the next line into line (line break and a carriage return before it dropped);
// false at the end. A line longer than limit bytes stops the read with limit + 1 bytes kept.
bool boundedLine(std::istream& in, std::string& line, size_t limit) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  for (int c = buffer->sbumpc(); c != std::char_traits<char>::eof(); c = buffer->sbumpc()) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    line += static_cast<char>(c);
    if (line.size() > limit) return true;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return !line.empty();
}

}  // namespace

Chain readDraws(const std::string& file, double burn, size_t step) {
  const std::string kind = notRegular(file);
  if (!kind.empty()) throw InputError("Cannot read draws file: " + file + ": it is " + kind + ", not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError("Cannot read draws file: " + file);

  // A line holds 3 numbers and n labels of at most 11 characters each; the first line
  // bounds the others.
  std::vector<formats::Draw> lines;
  std::string text;
  size_t limit = kMaxFirstLine;
  // Thinned: the burn-in from the count of lines, then one line in every step of the burn-in
  // and of the rest, the others skipped unread.
  const size_t burnedLines = step > 1 ? static_cast<size_t>(std::floor(burn * countLines(file))) : 0;
  auto skipped = [&](size_t l) { return step > 1 && (l < burnedLines ? l : l - burnedLines) % step != 0; };
  for (size_t l = 0;; l++) {
    if (skipped(l)) {
      if (!in.ignore(std::numeric_limits<std::streamsize>::max(), '\n')) break;
      continue;
    }
    if (!boundedLine(in, text, limit)) break;
    auto fail = [&](const std::string& what, const std::string& value) {
      throw InputError("Malformed draws line: " + file + " line " + std::to_string(l + 1) + ": " +
                       what + ": " + value);
    };
    if (text.size() > limit)
      fail("longer than " + std::to_string(limit) + " characters, starting", text.substr(0, 40) + "...");
    lines.emplace_back();
    try {
      formats::parseDrawsLine(text, l == 0 ? 0 : static_cast<int>(lines[0].labels.size()),
                              lines.back());
    } catch (const formats::FormatError& error) {
      fail(error.problem, error.value);
    }
    if (std::fabs(lines.back().score) > kMaxScore) {
      char score[32];
      std::snprintf(score, sizeof score, "%.17g", lines.back().score);
      fail("score outside -1e100..1e100, too large for the figures", score);
    }
    if (l == 0) limit = 80 + 12 * lines[0].labels.size();
  }
  if (in.bad()) throw InputError("Cannot read draws file: " + file);
  if (lines.empty()) throw InputError("No draws in file: " + file);

  Chain chain;
  chain.file = file;
  chain.n = static_cast<int>(lines[0].labels.size());
  chain.burned = step > 1 ? (burnedLines + step - 1) / step : static_cast<size_t>(std::floor(burn * lines.size()));
  chain.labels.reserve((lines.size() - chain.burned) * chain.n);
  std::vector<int> renumber(chain.n, -1);
  for (size_t l = 0; l < lines.size(); l++) {
    formats::Draw& draw = lines[l];
    if (l >= chain.burned) {
      formats::renumberByFirstAppearance(draw.labels, renumber);
      chain.labels.insert(chain.labels.end(), draw.labels.begin(), draw.labels.end());
    }
    chain.iteration.push_back(draw.iteration);
    chain.score.push_back(draw.score);
    chain.clusters.push_back(draw.k);
  }
  return chain;
}

size_t countLines(const std::string& file) {
  const std::string kind = notRegular(file);
  if (!kind.empty()) throw InputError("Cannot read draws file: " + file + ": it is " + kind + ", not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError("Cannot read draws file: " + file);
  std::vector<char> block(size_t(1) << 20);
  size_t lines = 0;
  char last = '\n';
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    const auto got = static_cast<size_t>(in.gcount());
    lines += static_cast<size_t>(std::count(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got), '\n'));
    last = block[got - 1];
  }
  return lines + (last != '\n' ? 1 : 0);
}

}  // namespace summary
