#include "formats/AlphaDraws.h"

#include <charconv>
#include <cctype>
#include <cmath>

namespace formats {
namespace {
std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}
}  // namespace

void appendValueLine(std::string& line, long long iteration, double value) {
  char text[48];
  line.append(text, std::to_chars(text, text + sizeof text, iteration).ptr);
  line += ' ';
  line.append(text,
              std::to_chars(text, text + sizeof text, value, std::chars_format::general, 17).ptr);
  line += '\n';
}

void parseAlphaLine(std::string_view line, long long& iteration, double& alpha) {
  parseValueLine(line, iteration, alpha, "alpha");
}

void parseValueLine(std::string_view line, long long& iteration, double& value,
                    const std::string& name) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t at = 0;
  std::string_view fields[3];
  int count = 0;
  while (count < 3) {
    while (at < line.size() && blank(line[at])) at++;
    if (at == line.size()) break;
    const size_t start = at;
    while (at < line.size() && !blank(line[at])) at++;
    fields[count++] = line.substr(start, at - start);
  }
  if (count != 2) throw FormatError("not two fields, ITER " + upper(name), "\"" + std::string(line) + "\"");
  const char* end = fields[0].data() + fields[0].size();
  auto first = std::from_chars(fields[0].data(), end, iteration);
  if (first.ec != std::errc() || first.ptr != end)
    throw FormatError("iteration is not a whole number", std::string(fields[0]));
  end = fields[1].data() + fields[1].size();
  auto second = std::from_chars(fields[1].data(), end, value);
  if (second.ec != std::errc() || second.ptr != end || !std::isfinite(value) || !(value > 0))
    throw FormatError(name + " is not a positive number", std::string(fields[1]));
}

std::string alphaFileOf(const std::string& drawsFile) { return siblingFileOf(drawsFile, ".alpha"); }

std::string siblingFileOf(const std::string& drawsFile, const std::string& sibling) {
  const std::string suffix = ".draws";
  if (drawsFile.size() <= suffix.size() ||
      drawsFile.compare(drawsFile.size() - suffix.size(), suffix.size(), suffix) != 0)
    return "";
  return drawsFile.substr(0, drawsFile.size() - suffix.size()) + sibling;
}

}  // namespace formats
