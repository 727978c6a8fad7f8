// Delimited data files as spreadsheets, R and pandas write them: comma, tab, semicolon or
// blank separated fields, quoted as in RFC 4180, an optional header row, an identifier column
// and text columns beside the numbers. The result is the numeric matrix the engine's models
// read (as text, so that whole numbers stay whole) with the names and text columns kept apart.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

namespace delimited {

// One line naming the file, the line and the offending value.
struct TableError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct TableOptions {
  char separator = 0;         // ',', '\t', ';' or ' ' (runs of blanks and tabs); 0: detected
  int header = -1;            // 1 yes, 0 no, -1 detected
  std::string idColumn;       // the identifier column's name; empty: detected
  bool decimalComma = false;  // "5,1" is 5.1 (not with the comma as separator)
};

struct TextColumn {
  std::string name;
  std::vector<std::string> values;  // one per row; empty for a missing cell
  int distinct = 0;                 // distinct values other than missing
  std::string firstText;            // for a column of numbers with a word: the word
  long firstTextLine = 0;           // and its line
};

struct DataTable {
  char separator = ' ';
  bool header = false;
  std::string idName;                   // the identifier column's header (may be empty)
  std::vector<std::string> rowNames;    // empty when there is no identifier column
  std::vector<std::string> columnNames; // of the numeric columns; empty without a header
  std::vector<std::vector<std::string>> cells;  // rows x numeric columns, "NA" when missing
  std::vector<TextColumn> classColumns;  // text columns with few distinct values
  std::vector<TextColumn> leftOut;       // the other text columns
};

// Splits text into records of fields (RFC 4180: a field that starts with a quote runs to the
// matching quote, "" inside is one quote, separators and line breaks inside are kept). A BOM
// is skipped, CRLF ends a line like LF, blank lines are skipped. lines[r] is the line record
// r starts on. Throws TableError for an unclosed quote or text after a closing quote.
std::vector<std::vector<std::string>> splitRecords(const std::string& text, char separator,
                                                   const std::string& fileName,
                                                   std::vector<long>* lines = nullptr);

// The separator of the first line outside quotes: a tab, else a semicolon, else a comma, else
// blanks.
char detectSeparator(const std::string& text);

// The engine's own matrix format: the first non-blank line is numbers (or NA) separated by
// blanks and tabs and holds no comma, semicolon or quote. Such files are read as before.
bool isPlainMatrix(const std::string& text);

// Reads a table. Header: given, or detected (a first row with a word above a column of
// numbers, or of words only). Identifier: the named column, else the first column when its
// header is empty (R's row names) or it is text with unique values (a first text column of
// many repeated values is refused as duplicate identifiers). Empty and NA cells are missing.
// Throws TableError naming the file and line: ragged rows, duplicate identifiers, decimal
// commas without decimalComma, an unknown idColumn, no numeric column.
DataTable readTable(const std::string& text, const std::string& fileName, const TableOptions& options);

// Takes the named column out of the table as known classes: a class column, a left-out text
// column or a numeric one (then no longer clustered). False when there is none of that name.
bool takeClasses(DataTable& table, const std::string& name, std::vector<std::string>& classes);

// The numeric cells as the engine's matrix: one row per line, blank-separated, NA missing.
std::string matrixText(const DataTable& table);

// What became of the columns, one line each: the identifier, the class columns offered, the
// text columns left out.
std::vector<std::string> tableNotes(const DataTable& table);

// "comma", "tab", "semicolon", "blanks"; parseSeparator reads those words (0 when unknown).
const char* separatorName(char separator);
char parseSeparator(const std::string& word);

// Quoted as RFC 4180 asks when it holds a comma, quote or line break.
std::string csvField(const std::string& text);

}  // namespace delimited
