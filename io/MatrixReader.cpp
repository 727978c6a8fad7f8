#include "io/MatrixReader.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "io/DelimitedReader.h"
#include "io/FileKind.h"
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

// A file the matrix format refuses at its first line, which holds a comma, semicolon or quote
// or starts with a BOM, but the delimited reader takes: read as a table, its numeric columns the matrix, its other
// columns named in the log. Every other file, and every table the delimited reader refuses,
// goes the matrix format's way, with its lines.
template <class T>
bool readAsTable(const std::string& fileName, int& rowCount, int& columnCount, Matrix<T>& data,
                 std::ostream& logFile, long* missingCells) {
  if (!notRegularFile(fileName).empty()) return false;  // never opened: a FIFO would block
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  std::string first;
  bool longLine = false;
  if (!readLineUpTo(file, first, 1 << 20, longLine) || longLine) return false;
  if (!first.empty() && first.back() == '\r') first.pop_back();
  std::vector<std::string> fields;
  Tokenize(first, fields, " \t");
  // Only a first line that shows a table's marks: a blank-separated line with a word in it is
  // a bad matrix, and keeps its line.
  const bool marked = first.find_first_of(",;\"") != std::string::npos || first.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (!marked || fields.empty() || first.find('\0') != std::string::npos) return false;
  double number = 0;
  bool numbers = true;
  for (const std::string& field : fields) numbers = numbers && (field == "NA" || parseValue(field.c_str(), number));
  if (numbers) return false;
  file.clear();
  file.seekg(0);
  std::ostringstream text;
  text << file.rdbuf();
  delimited::DataTable table;
  try {
    table = delimited::readTable(text.str(), fileName, delimited::TableOptions());
  } catch (const delimited::TableError&) {
    return false;
  }
  std::vector<std::vector<T>> values(table.cells.size(), std::vector<T>(table.cells[0].size()));
  long missing = 0;
  for (size_t i = 0; i < table.cells.size(); i++)
    for (size_t t = 0; t < table.cells[i].size(); t++) {
      const std::string& cell = table.cells[i][t];
      if (cell == "NA") {
        if (!missingCells) return false;
        setMissing(values[i][t]);
        missing++;
      } else if (!parseValue(cell.c_str(), values[i][t])) {
        return false;  // a real where whole numbers are read: the matrix format's line says so
      }
    }
  logFile << "  read " << fileName << '\n' << "  read " << fileName << '\n';
  for (const std::string& note : delimited::tableNotes(table)) logFile << note << '\n';
  rowCount = static_cast<int>(values.size());
  columnCount = static_cast<int>(values[0].size());
  data = Matrix<T>(rowCount, columnCount);
  for (int i = 0; i < rowCount; i++)
    for (int t = 0; t < columnCount; t++) data[i][t] = values[static_cast<size_t>(i)][static_cast<size_t>(t)];
  if (missingCells) *missingCells = missing;
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
  if (readAsTable(fileName, rowCount, columnCount, data, logFile, missingCells)) return;
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
