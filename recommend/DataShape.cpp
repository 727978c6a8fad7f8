#include "recommend/DataShape.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace recommend {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Whole number as the categorical models read one: strtol over the whole cell.
bool wholeNumber(const std::string& cell, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(cell.c_str(), &end, 10);
  return end != cell.c_str() && *end == '\0' && errno == 0;
}

bool realNumber(const std::string& cell, double& value) {
  char* end = nullptr;
  value = std::strtod(cell.c_str(), &end);
  return end != cell.c_str() && *end == '\0' && std::isfinite(value);
}

std::vector<std::string> splitCells(const std::string& line) {
  std::vector<std::string> cells;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isBlank(line[i])) i++;
    const size_t start = i;
    while (i < line.size() && !isBlank(line[i])) i++;
    if (i > start) cells.push_back(line.substr(start, i - start));
  }
  return cells;
}

long countSequences(std::istream& text) {
  long sequences = 0;
  std::string line;
  while (std::getline(text, line))
    if (!line.empty() && line[0] == '>') sequences++;
  return sequences;
}

// Editors on some systems start UTF-8 files with one; it is no data.
void skipByteOrderMark(std::istream& text) {
  char mark[3] = {0, 0, 0};
  text.read(mark, 3);
  if (text.gcount() == 3 && mark[0] == '\xEF' && mark[1] == '\xBB' && mark[2] == '\xBF') return;
  text.clear();
  text.seekg(0);
}

}  // namespace

DataShape detectData(std::istream& text) {
  DataShape shape;
  skipByteOrderMark(text);
  char c = 0;
  while (text.get(c) && isBlank(c)) {
  }
  if (text && c == '>') {
    shape.kind = DataKind::Sequences;
    shape.rows = 1 + countSequences(text);
    return shape;
  }
  if (text) text.unget();
  text.clear();

  bool allBinary = true, allSmall = true, someAboveOne = false, allNumbers = true;
  // Per column: its first seen value and whether another value followed.
  std::vector<double> firstSeen;
  std::vector<int> state;  // 0 no value yet, 1 one value, 2 several
  std::vector<unsigned> levelsSeen;  // per column, bit v for each whole number v in 0..19
  std::string line;
  while (std::getline(text, line)) {
    const std::vector<std::string> cells = splitCells(line);
    if (cells.empty()) continue;
    if (shape.rows == 0) {
      shape.columns = static_cast<long>(cells.size());
      firstSeen.assign(cells.size(), 0);
      state.assign(cells.size(), 0);
      levelsSeen.assign(cells.size(), 0);
    }
    shape.rows++;
    for (size_t t = 0; t < cells.size(); t++) {
      if (cells[t] == "NA") {
        shape.missing = true;
        continue;
      }
      long whole = 0;
      double value = 0;
      if (wholeNumber(cells[t], whole)) {
        value = static_cast<double>(whole);
        if (whole < 0 || whole > 19) allSmall = false;
        if (whole > 1) someAboveOne = true;
        if (whole != 0 && whole != 1) allBinary = false;
      } else {
        allBinary = allSmall = false;
        if (!realNumber(cells[t], value)) allNumbers = false;
      }
      if (t >= state.size()) continue;  // a ragged line: the engine names it
      if (value >= 0 && value <= 19 && value == static_cast<long>(value))
        levelsSeen[t] |= 1u << static_cast<int>(value);
      if (state[t] == 0) {
        firstSeen[t] = value;
        state[t] = 1;
      } else if (value != firstSeen[t]) {
        state[t] = 2;
      }
    }
  }
  for (int s : state)
    if (s != 2) shape.constantColumn = true;
  for (unsigned seen : levelsSeen)
    shape.mostLevels = std::max(shape.mostLevels, static_cast<int>(std::bitset<20>(seen).count()));
  if (allNumbers && allBinary) shape.kind = DataKind::Binary;
  else if (allNumbers && allSmall && someAboveOne) shape.kind = DataKind::Categorical;
  else shape.kind = DataKind::Real;
  return shape;
}

}  // namespace recommend
