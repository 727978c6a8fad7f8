#include "io/DelimitedReader.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>

#include "io/VisibleText.h"

namespace delimited {
namespace {

// More distinct values than this make a text column a name, not a class.
const int kMaxClasses = 20;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && isBlank(text[start])) start++;
  while (end > start && isBlank(text[end - 1])) end--;
  return text.substr(start, end - start);
}

bool isMissing(const std::string& cell) { return cell.empty() || cell == "NA"; }

bool isNumber(const std::string& cell) {
  // strtod would skip leading white space, line breaks included.
  if (cell.empty() || std::isspace(static_cast<unsigned char>(cell[0]))) return false;
  char* end = nullptr;
  const double value = std::strtod(cell.c_str(), &end);
  // All of it: a NUL inside would end strtod early.
  return end == cell.c_str() + cell.size() && std::isfinite(value);
}

// "5,1" read with a decimal point, or the cell as it is.
std::string withPoint(const std::string& cell) {
  std::string text = cell;
  for (char& c : text)
    if (c == ',') c = '.';
  return text;
}

std::string shown(const std::string& text) {
  const std::string visible = visibleText(text);
  return "\"" + (visible.size() > 60 ? visible.substr(0, 60) + "..." : visible) + "\"";
}

std::string where(const std::string& fileName, long line) {
  return "Bad table file " + fileName + ", line " + std::to_string(line) + ": ";
}

size_t skipByteOrderMark(const std::string& text) {
  return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

}  // namespace

std::vector<std::vector<std::string>> splitRecords(const std::string& text, char separator,
                                                   const std::string& fileName,
                                                   std::vector<long>* lines) {
  std::vector<std::vector<std::string>> records;
  if (lines) lines->clear();
  const bool blanks = separator == ' ';
  size_t i = skipByteOrderMark(text);
  long line = 1;
  const size_t size = text.size();
  auto atLineEnd = [&](size_t at) {
    return at >= size || text[at] == '\n' || (text[at] == '\r' && (at + 1 >= size || text[at + 1] == '\n'));
  };
  while (i < size) {
    const long recordLine = line;
    std::vector<std::string> fields;
    bool blankLine = true;
    for (;;) {
      // One field: leading blanks are no part of it (a tab is, when tabs separate).
      while (i < size && (text[i] == ' ' || (blanks && text[i] == '\t'))) i++;
      if (blanks && atLineEnd(i)) break;
      std::string field;
      if (i < size && text[i] == '"') {
        const long opened = line;
        i++;
        for (;;) {
          if (i >= size)
            throw TableError(where(fileName, opened) + "a quote opened here is not closed");
          if (text[i] == '"') {
            if (i + 1 < size && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            i++;
            break;
          }
          if (text[i] == '\n') line++;
          field += text[i++];
        }
        // Blanks before the separator; with blanks as separator they are the separator.
        while (!blanks && i < size && text[i] == ' ') i++;
        if (!atLineEnd(i) && text[i] != separator && !(blanks && text[i] == '\t'))
          throw TableError(where(fileName, line) + "text after a closing quote: " +
                           shown(text.substr(i, text.find('\n', i) - i)));
        blankLine = false;
      } else {
        while (!atLineEnd(i) && text[i] != separator && !(blanks && text[i] == '\t')) field += text[i++];
        field = trimmed(field);
        if (!field.empty()) blankLine = false;
      }
      fields.push_back(field);
      if (atLineEnd(i)) break;
      i++;  // the separator
      if (!blanks) blankLine = false;
    }
    // The line end: CRLF or LF.
    if (i < size && text[i] == '\r') i++;
    if (i < size && text[i] == '\n') {
      i++;
      line++;
    }
    if (blankLine) continue;
    records.push_back(fields);
    if (lines) lines->push_back(recordLine);
  }
  return records;
}

char detectSeparator(const std::string& text) {
  long tabs = 0, semicolons = 0, commas = 0;
  bool quoted = false, seen = false;
  for (size_t i = skipByteOrderMark(text); i < text.size(); i++) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n') {
      if (seen) break;
      continue;
    }
    if (!isBlank(c) && c != '\r') seen = true;
    tabs += c == '\t';
    semicolons += c == ';';
    commas += c == ',';
  }
  // Semicolons where commas are decimal points.
  if (tabs > 0) return '\t';
  if (semicolons > 0) return ';';
  if (commas > 0) return ',';
  return ' ';
}

bool isPlainMatrix(const std::string& text) {
  size_t start = 0;
  std::string first;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    first = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    if (!trimmed(first).empty()) break;
    start = end == std::string::npos ? text.size() : end + 1;
  }
  if (skipByteOrderMark(text) > 0 || trimmed(first).empty() || first.find_first_of(",;\"") != std::string::npos)
    return false;
  const std::vector<std::vector<std::string>> records = splitRecords(first, ' ', "");
  if (records.empty()) return false;  // a lone carriage return
  for (const std::string& field : records[0])
    if (field != "NA" && !isNumber(field)) return false;
  return true;
}

DataTable readTable(const std::string& text, const std::string& fileName, const TableOptions& options) {
  DataTable table;
  table.separator = options.separator ? options.separator : detectSeparator(text);
  if (options.decimalComma && table.separator == ',')
    throw TableError("Bad table file " + fileName + ": decimal commas need another separator than the comma");
  std::vector<long> lines;
  std::vector<std::vector<std::string>> records = splitRecords(text, table.separator, fileName, &lines);
  if (records.empty()) throw TableError("Bad table file " + fileName + ": no data");

  // Cells as numbers: with decimalComma, "5,1" is one; without it, such a cell is refused.
  auto number = [&](const std::string& cell) {
    return isNumber(cell) || (options.decimalComma && isNumber(withPoint(cell)));
  };
  auto isWord = [&](const std::string& cell) { return !isMissing(cell) && !number(cell); };
  if (!options.decimalComma && table.separator != ',')
    for (size_t r = 0; r < records.size(); r++)
      for (const std::string& cell : records[r])
        if (cell.find(',') != std::string::npos && !isNumber(cell) && isNumber(withPoint(cell)))
          throw TableError(where(fileName, lines[r]) + shown(cell) +
                           " is a number with a decimal comma; give --decimal-comma to read commas as "
                           "decimal points");

  // The header: a word above a column of numbers, or words only; R's write.table leaves the
  // row names' column out of it.
  const std::vector<std::string>& first = records[0];
  bool header = options.header == 1;
  if (options.header < 0 && records.size() > 1) {
    bool allWords = true, someWord = false;
    for (const std::string& cell : first) {
      allWords = allWords && !number(cell);
      someWord = someWord || isWord(cell);
    }
    allWords = allWords && someWord;
    const bool shortByOne = first.size() + 1 == records[1].size();
    header = allWords && (shortByOne || first.size() == records[1].size());
    for (size_t t = 0; !header && t < first.size(); t++) {
      if (!isWord(first[t])) continue;
      bool numbers = false, words = false;
      for (size_t r = 1; r < records.size(); r++) {
        if (t >= records[r].size()) continue;
        numbers = numbers || number(records[r][t]);
        words = words || isWord(records[r][t]);
      }
      header = numbers && !words;
    }
  }
  table.header = header;
  std::vector<std::string> names;
  if (header) {
    names = first;
    if (records.size() > 1 && names.size() + 1 == records[1].size()) names.insert(names.begin(), "");
    records.erase(records.begin());
    lines.erase(lines.begin());
  }
  if (records.empty()) throw TableError("Bad table file " + fileName + ": a header and no data");
  const size_t width = header ? names.size() : records[0].size();
  for (size_t r = 0; r < records.size(); r++)
    if (records[r].size() != width)
      throw TableError(where(fileName, lines[r]) + std::to_string(records[r].size()) + " fields where the " +
                       (header ? "header has " : "first line has ") + std::to_string(width));
  auto nameOf = [&](size_t t) { return header ? names[t] : "column " + std::to_string(t + 1); };
  const size_t rows = records.size();

  std::vector<bool> numeric(width, true), empty(width, true);
  for (size_t t = 0; t < width; t++)
    for (size_t r = 0; r < rows; r++) {
      if (isWord(records[r][t])) numeric[t] = false;
      if (!isMissing(records[r][t])) empty[t] = false;
    }

  // Distinct values of a column; the first repeated one and its lines.
  auto distinct = [&](size_t t, std::string* again, long* againLine, long* firstLine) {
    std::map<std::string, long> seen;
    for (size_t r = 0; r < rows; r++) {
      const std::string& cell = records[r][t];
      if (isMissing(cell)) continue;
      const auto inserted = seen.emplace(cell, lines[r]);
      if (!inserted.second && again && again->empty()) {
        *again = cell;
        *againLine = lines[r];
        *firstLine = inserted.first->second;
      }
    }
    return static_cast<int>(seen.size());
  };
  auto checkIdentifiers = [&](size_t t) {
    for (size_t r = 0; r < rows; r++)
      if (isMissing(records[r][t]))
        throw TableError(where(fileName, lines[r]) + "no identifier in column " + shown(nameOf(t)));
    std::string again;
    long againLine = 0, firstLine = 0;
    distinct(t, &again, &againLine, &firstLine);
    if (!again.empty())
      throw TableError(where(fileName, againLine) + "identifier " + shown(again) + " again (first on line " +
                       std::to_string(firstLine) + "); identifiers must be unique");
  };

  long id = -1;
  if (!options.idColumn.empty()) {
    for (size_t t = 0; t < width && id < 0; t++)
      if (header && names[t] == options.idColumn) id = static_cast<long>(t);
    if (id < 0)
      throw TableError("Bad table file " + fileName + ": no column named " + shown(options.idColumn) +
                       (header ? "" : " (the file has no header row)"));
    checkIdentifiers(static_cast<size_t>(id));
  } else if (width > 1 && header && names[0].empty() && !empty[0]) {
    checkIdentifiers(0);
    id = 0;
  } else if (width > 1 && !numeric[0]) {
    std::string again;
    long againLine = 0, firstLine = 0;
    const int values = distinct(0, &again, &againLine, &firstLine);
    bool complete = true;
    for (size_t r = 0; r < rows; r++) complete = complete && !isMissing(records[r][0]);
    if (again.empty() && complete) {
      id = 0;
    } else if (values > kMaxClasses || 2 * values > static_cast<int>(rows)) {
      checkIdentifiers(0);  // throws: names with a repeat
    }
  }
  if (id >= 0) {
    table.idName = nameOf(static_cast<size_t>(id));
    for (size_t r = 0; r < rows; r++) table.rowNames.push_back(records[r][static_cast<size_t>(id)]);
  }

  std::vector<size_t> kept;
  for (size_t t = 0; t < width; t++) {
    if (static_cast<long>(t) == id) continue;
    if (numeric[t] && !empty[t]) {
      kept.push_back(t);
      continue;
    }
    TextColumn column;
    column.name = nameOf(t);
    bool someNumber = false;  // then the first word among the numbers is named in the note
    for (size_t r = 0; r < rows; r++) someNumber = someNumber || number(records[r][t]);
    for (size_t r = 0; r < rows; r++) {
      const std::string& cell = records[r][t];
      column.values.push_back(isMissing(cell) ? std::string() : cell);
      if (someNumber && column.firstText.empty() && isWord(cell)) {
        column.firstText = cell;
        column.firstTextLine = lines[r];
      }
    }
    column.distinct = distinct(t, nullptr, nullptr, nullptr);
    const bool classes = !empty[t] && column.firstText.empty() && column.distinct <= kMaxClasses &&
                         2 * column.distinct <= static_cast<int>(rows);
    (classes ? table.classColumns : table.leftOut).push_back(column);
  }
  if (kept.empty()) {
    std::string text;
    for (size_t t = 0; t < width; t++) text += (text.empty() ? "" : ", ") + shown(nameOf(t));
    throw TableError("Bad table file " + fileName + ": no column of numbers (columns: " + text + ")");
  }
  for (size_t t : kept)
    if (header) table.columnNames.push_back(names[t]);
  for (size_t r = 0; r < rows; r++) {
    std::vector<std::string> row;
    for (size_t t : kept) {
      const std::string& cell = records[r][t];
      row.push_back(isMissing(cell) ? "NA" : isNumber(cell) ? cell : withPoint(cell));
    }
    table.cells.push_back(row);
  }
  return table;
}

bool takeClasses(DataTable& table, const std::string& name, std::vector<std::string>& classes) {
  for (auto* list : {&table.classColumns, &table.leftOut})
    for (auto column = list->begin(); column != list->end(); ++column)
      if (column->name == name) {
        classes = column->values;
        list->erase(column);
        return true;
      }
  for (size_t t = 0; t < table.columnNames.size(); t++) {
    if (table.columnNames[t] != name) continue;
    if (table.columnNames.size() == 1) return false;  // the last column of numbers stays
    classes.clear();
    for (std::vector<std::string>& row : table.cells) {
      classes.push_back(row[t] == "NA" ? std::string() : row[t]);
      row.erase(row.begin() + static_cast<long>(t));
    }
    table.columnNames.erase(table.columnNames.begin() + static_cast<long>(t));
    return true;
  }
  return false;
}

std::string matrixText(const DataTable& table) {
  std::string text;
  for (const std::vector<std::string>& row : table.cells) {
    for (size_t t = 0; t < row.size(); t++) text += (t ? " " : "") + row[t];
    text += '\n';
  }
  return text;
}

std::vector<std::string> tableNotes(const DataTable& table) {
  std::vector<std::string> notes;
  if (!table.rowNames.empty())
    notes.push_back("Row names: column " + (table.idName.empty() ? std::string("1") : shown(table.idName)));
  for (const TextColumn& column : table.classColumns)
    notes.push_back("Column " + shown(column.name) + " (" + std::to_string(column.distinct) +
                    " values) is not clustered; to compare the clusters with it: vornak-fit --classes " +
                    visibleText(column.name));
  for (const TextColumn& column : table.leftOut) {
    std::string why = column.distinct == 0 ? "no values"
                      : !column.firstText.empty()
                          ? "not a number on line " + std::to_string(column.firstTextLine) + ": " + shown(column.firstText)
                          : "text with " + std::to_string(column.distinct) + " distinct values";
    notes.push_back("Column " + shown(column.name) + " left out: " + why);
  }
  return notes;
}

const char* separatorName(char separator) {
  switch (separator) {
    case ',': return "comma";
    case '\t': return "tab";
    case ';': return "semicolon";
    default: return "blanks";
  }
}

char parseSeparator(const std::string& word) {
  if (word == "comma" || word == ",") return ',';
  if (word == "tab") return '\t';
  if (word == "semicolon" || word == ";") return ';';
  if (word == "blanks" || word == "space") return ' ';
  return 0;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace delimited
