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

bool parseValue(const char* text, double& value) {
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(v)) return false;
  value = v;
  return true;
}

// How a number read becomes a cell: as read (int, double), or narrowed to a byte once the
// whole number has been seen, the first one outside the levels noted.
struct IntCells {
  using Value = int;
  void put(int& cell, int value, int, int) { cell = value; }
  static void setMissing(int& cell) { cell = kMissingInt; }
};

struct RealCells {
  using Value = double;
  void put(double& cell, double value, int, int) { cell = value; }
  static void setMissing(double& cell) { cell = std::numeric_limits<double>::quiet_NaN(); }
};

template <class T>
struct CellsOf;
template <>
struct CellsOf<int> {
  using Type = IntCells;
};
template <>
struct CellsOf<double> {
  using Type = RealCells;
};

struct ByteCells {
  using Value = int;
  int levels;
  MatrixReader::Outside outside;
  void put(uint8_t& cell, int value, int row, int column) {
    if (value >= 0 && value < levels) {
      cell = static_cast<uint8_t>(value);
      return;
    }
    cell = 0;
    if (outside.found) return;
    outside.found = true;
    outside.row = row + 1;
    outside.column = column + 1;
    outside.value = value;
  }
  static void setMissing(uint8_t& cell) { cell = kMissingByte; }
};

// A file the matrix format refuses at its first line, which holds a comma, semicolon or quote
// or starts with a BOM, but the delimited reader takes: read as a table, its numeric columns the matrix, its other
// columns named in the log. Every other file, and every table the delimited reader refuses,
// goes the matrix format's way, with its lines.
template <class T, class Cells>
bool readAsTable(const std::string& fileName, int& rowCount, int& columnCount, Matrix<T>& data,
                 Cells& cells, std::ostream& logFile, long* missingCells) {
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
  const int rows = static_cast<int>(table.cells.size());
  const int columns = static_cast<int>(table.cells[0].size());
  Matrix<T> values(rows, columns);
  Cells read = cells;  // kept only when the table is taken
  long missing = 0;
  for (int i = 0; i < rows; i++)
    for (int t = 0; t < columns; t++) {
      const std::string& cell = table.cells[static_cast<size_t>(i)][static_cast<size_t>(t)];
      typename Cells::Value value{};
      if (cell == "NA") {
        if (!missingCells) return false;
        Cells::setMissing(values[i][t]);
        missing++;
      } else if (parseValue(cell.c_str(), value)) {
        read.put(values[i][t], value, i, t);
      } else {
        return false;  // a real where whole numbers are read: the matrix format's line says so
      }
    }
  logFile << "  read " << fileName << '\n' << "  read " << fileName << '\n';
  for (const std::string& note : delimited::tableNotes(table)) logFile << note << '\n';
  rowCount = rows;
  columnCount = columns;
  data = std::move(values);
  cells = read;
  if (missingCells) *missingCells = missing;
  return true;
}

// Blanks and tabs separate the fields of a line; a run of them counts as one.
bool isSeparator(char c) { return c == ' ' || c == '\t'; }

int countFields(const std::string& line) {
  int fields = 0;
  bool inField = false;
  for (const char c : line) {
    const bool separator = isSeparator(c);
    fields += !separator && !inField;
    inField = !separator;
  }
  return fields;
}

template <class T, class Cells>
void readMatrix(const std::string& fileName, int& rowCount, int& columnCount, Matrix<T>& data,
                Cells& cells, std::ostream& logFile, long* missingCells) {
  if (readAsTable(fileName, rowCount, columnCount, data, cells, logFile, missingCells)) return;
  std::ifstream file;
  Files::openRead(file, fileName, logFile);
  auto bad = [&](long lineNo, const std::string& why) {
    Files::fail(logFile, "Bad matrix file " + fileName + ", line " + Text::n2s(lineNo) + ": " + why);
  };

  // First pass: every line is checked and counted, one at a time, and the first line's
  // fields give the column count. Every line is split the same way: blanks and tabs separate
  // values, and a carriage return before the line feed belongs to the line end.
  std::string line;
  bool longLine = false;
  long lines = 0;
  int firstFields = 0;
  while (readLineUpTo(file, line, kMaxLineLength + 1, longLine)) {
    checkInterrupt();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kMaxLineLength) {
      longLine = true;
      break;
    }
    // A NUL would end the number parser early and hide what follows it.
    if (line.find('\0') != std::string::npos) bad(lines + 1, "holds a NUL byte");
    if (lines == 0) firstFields = countFields(line);
    lines++;
  }
  if (longLine)
    bad(lines + 1, "longer than " + Text::n2s(static_cast<long>(kMaxLineLength)) + " characters");
  // The values are read on a second pass over the file, announced like the first.
  logFile << "  read " << fileName << '\n';
  if (lines == 0) Files::fail(logFile, "Bad matrix file " + fileName + ": no data");
  columnCount = firstFields;
  if (columnCount == 0) bad(1, "no values");
  if (lines > std::numeric_limits<int>::max())
    Files::fail(logFile, "Bad matrix file " + fileName + ": more than " +
                         Text::n2s(std::numeric_limits<int>::max()) + " lines");
  rowCount = static_cast<int>(lines);
  data = Matrix<T>(rowCount, columnCount);
  if (missingCells) *missingCells = 0;

  file.clear();
  file.seekg(0);
  for (int i = 0; i < rowCount; i++) {
    checkInterrupt();
    // The file was checked line by line: a line now missing, too long or with a NUL byte
    // means it changed in between.
    const bool read = readLineUpTo(file, line, kMaxLineLength + 1, longLine);
    if (read && !line.empty() && line.back() == '\r') line.pop_back();
    if (!read || line.size() > kMaxLineLength || line.find('\0') != std::string::npos)
      Files::fail(logFile, "Bad matrix file " + fileName + ": changed while read");
    const int fields = countFields(line);
    if (fields == 0) bad(i + 1, "blank line");
    if (fields != columnCount)
      bad(i + 1, Text::n2s(static_cast<long>(fields)) + " values where the first line has " +
                     Text::n2s(columnCount));
    // Each field is ended in place for the number parser: no copy per field or row.
    char* text = &line[0];
    const size_t length = line.size();
    size_t at = 0;
    for (int t = 0; t < columnCount; t++) {
      while (isSeparator(text[at])) at++;
      size_t end = at;
      while (end < length && !isSeparator(text[end])) end++;
      text[end] = '\0';  // the separator, or the string's own terminator
      const char* field = text + at;
      typename Cells::Value value{};
      if (end - at == 2 && field[0] == 'N' && field[1] == 'A') {
        if (!missingCells) bad(i + 1, "NA, a missing cell, which this model does not accept");
        Cells::setMissing(data[i][t]);
        ++*missingCells;
      } else if (parseValue(field, value)) {
        cells.put(data[i][t], value, i, t);
      } else {
        bad(i + 1, "not a number: " + std::string(field, end - at));
      }
      at = end + 1;
    }
  }
}

}  // namespace

void MatrixReader::noteMissing(std::ostream& logFile, long missingCells, long cells) {
  if (missingCells > 0)
    logFile << "Missing cells (NA): " << missingCells << " of " << cells
            << ", each left out of its column's statistics\n";
}

template <class T>
void MatrixReader::readData(const std::string& fileName, int& rowCount, int& columnCount,
                            Matrix<T>& data, std::ostream& logFile, long* missingCells) {
  typename CellsOf<T>::Type cells;
  readMatrix(fileName, rowCount, columnCount, data, cells, logFile, missingCells);
}

template void MatrixReader::readData<int>(const std::string&, int&, int&, Matrix<int>&,
                                          std::ostream&, long*);
template void MatrixReader::readData<double>(const std::string&, int&, int&, Matrix<double>&,
                                             std::ostream&, long*);

void MatrixReader::readLevels(const std::string& fileName, int levels, int& rowCount,
                              int& columnCount, Matrix<uint8_t>& data, Outside& outside,
                              std::ostream& logFile, long* missingCells) {
  ByteCells cells{levels, Outside()};
  readMatrix(fileName, rowCount, columnCount, data, cells, logFile, missingCells);
  outside = cells.outside;
}
