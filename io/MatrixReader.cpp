#include "io/MatrixReader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <vector>

#include "io/Files.h"
#include "io/Interrupt.h"
#include "io/LineReader.h"
#include "io/Text.h"

namespace {

const std::string::size_type kMaxLineLength = 4999;

bool parseValue(const char* text, int& value) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || v < std::numeric_limits<int>::min() ||
      v > std::numeric_limits<int>::max())
    return false;
  value = static_cast<int>(v);
  return true;
}

void setMissing(int& value) { value = kMissingInt; }
void setMissing(double& value) { value = std::numeric_limits<double>::quiet_NaN(); }

bool parseValue(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

}  // namespace

void MatrixReader::noteMissing(std::ostream& logFile, long missingCells, long cells) {
  if (missingCells > 0)
    logFile << "Missing cells (NA): " << missingCells << " of " << cells
            << ", each left out of its column's statistics\n";
}

template <class T>
void MatrixReader::readData(const std::string& fileName, int& rowCount, int& columnCount, Matrix<T>& data,
                 std::ostream& logFile, long* missingCells) {
  std::ifstream file;
  Files::openRead(file, fileName, logFile);
  auto bad = [&](long lineNo, const std::string& why) {
    Files::fail(logFile, "Bad matrix file " + fileName + ", line " + Text::n2s(lineNo) + ": " + why);
  };

  // Every line is split the same way: blanks and tabs separate values, and a carriage
  // return before the line feed belongs to the line end.
  std::vector<std::string> lines;
  std::string line;
  bool longLine = false;
  while (readLineUpTo(file, line, kMaxLineLength + 1, longLine)) {
    checkInterrupt();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineLength) {
      longLine = true;
      break;
    }
    // A NUL would end the number parser early and hide what follows it.
    if (line.find('\0') != std::string::npos)
      bad(static_cast<long>(lines.size()) + 1, "holds a NUL byte");
    lines.push_back(line);
  }
  if (longLine)
    bad(static_cast<long>(lines.size()) + 1,
        "longer than " + Text::n2s(static_cast<long>(kMaxLineLength)) + " characters");
  file.close();
  // The values are read on a second pass over the file, announced like the first.
  logFile << "  read " << fileName << '\n';
  if (lines.empty()) Files::fail(logFile, "Bad matrix file " + fileName + ": no data");

  const char* const separators = " \t";
  std::vector<std::string> firstFields;
  Tokenize(lines[0], firstFields, separators);
  columnCount = static_cast<int>(firstFields.size());
  if (columnCount == 0) bad(1, "no values");
  rowCount = static_cast<int>(lines.size());
  data = Matrix<T>(rowCount, columnCount);
  if (missingCells) *missingCells = 0;

  std::vector<std::string> fields;
  for (int i = 0; i < rowCount; i++) {
    checkInterrupt();
    fields.clear();
    Tokenize(lines[i], fields, separators);
    if (fields.empty()) bad(i + 1, "blank line");
    if (static_cast<int>(fields.size()) != columnCount)
      bad(i + 1, Text::n2s(static_cast<long>(fields.size())) + " values where the first line has " +
                     Text::n2s(columnCount));
    for (int t = 0; t < columnCount; t++) {
      if (fields[t] == "NA") {
        if (!missingCells) bad(i + 1, "NA, a missing cell, which this model does not accept");
        setMissing(data[i][t]);
        ++*missingCells;
      } else if (!parseValue(fields[t].c_str(), data[i][t])) {
        bad(i + 1, "not a number: " + fields[t]);
      }
    }
  }
}

template void MatrixReader::readData<int>(const std::string&, int&, int&, Matrix<int>&,
                                          std::ostream&, long*);
template void MatrixReader::readData<double>(const std::string&, int&, int&, Matrix<double>&,
                                             std::ostream&, long*);
