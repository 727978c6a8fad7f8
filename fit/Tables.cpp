#include "fit/Tables.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "io/DelimitedReader.h"
#include "io/VisibleText.h"

namespace fit {
namespace {

std::string fileText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// One label per line; blank lines at the end are no labels.
std::vector<std::string> labelsFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw FitError("--classes names no column of the data and no readable file: " + file);
  std::vector<std::string> labels;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t"), end = line.find_last_not_of(" \t");
    line = start == std::string::npos ? std::string() : line.substr(start, end - start + 1);
    labels.push_back(line == "NA" ? std::string() : line);
  }
  while (!labels.empty() && labels.back().empty()) labels.pop_back();
  return labels;
}

}  // namespace

TableData readTableData(const FitOptions& options, bool sequences, long rows) {
  TableData data;
  const bool asked = options.separator || !options.idColumn.empty() || options.decimalComma;
  if (!sequences) {
    const std::string text = fileText(options.dataFile);
    if (asked || !delimited::isPlainMatrix(text)) {
      delimited::TableOptions tableOptions;
      tableOptions.separator = options.separator;
      tableOptions.idColumn = options.idColumn;
      tableOptions.decimalComma = options.decimalComma;
      delimited::DataTable table;
      try {
        table = delimited::readTable(text, options.dataFile, tableOptions);
      } catch (const delimited::TableError& error) {
        throw FitError(error.what());
      }
      if (!options.classes.empty()) {
        if (delimited::takeClasses(table, options.classes, data.classes)) {
          data.classSource = "column " + options.classes + " of " + options.dataFile;
        } else {
          std::string offered;
          for (const delimited::TextColumn& column : table.classColumns)
            offered += (offered.empty() ? "" : ", ") + column.name;
          std::ifstream probe(options.classes);
          if (!probe)
            throw FitError("--classes names no column of " + options.dataFile + " and no file" +
                           (offered.empty() ? "" : " (class columns: " + offered + ")") + ": " + options.classes);
        }
      }
      data.table = true;
      data.matrix = delimited::matrixText(table);
      data.rowNames = table.rowNames;
      data.columnNames = table.columnNames;
      data.notes.push_back(std::string("Read as a table: ") + delimited::separatorName(table.separator) +
                           " separated, " + (table.header ? "a header row" : "no header row") + ", " +
                           std::to_string(table.cells.size()) + " rows, " +
                           std::to_string(table.cells[0].size()) + " columns of numbers");
      for (const std::string& note : delimited::tableNotes(table)) data.notes.push_back(note);
      rows = static_cast<long>(table.cells.size());
    }
  }
  if (!options.classes.empty() && data.classSource.empty()) {
    data.classes = labelsFile(options.classes);
    data.classSource = "labels file " + options.classes;
    if (static_cast<long>(data.classes.size()) != rows)
      throw FitError("--classes " + options.classes + " has " + std::to_string(data.classes.size()) +
                     " labels where " + options.dataFile + " has " + std::to_string(rows) + " observations");
  }
  return data;
}

std::vector<std::string> fastaNames(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> names;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != '>') continue;
    if (line.back() == '\r') line.pop_back();
    names.push_back(line.substr(1));
  }
  return names;
}

std::string clustersCsv(const std::vector<std::string>& names, const std::vector<int>& labels,
                        const std::vector<double>& membership) {
  std::string text = "name,cluster,membership\n";
  char number[32];
  for (size_t i = 0; i < labels.size(); i++) {
    const double p = i < membership.size() ? membership[i] : std::nan("");
    std::snprintf(number, sizeof number, "%.6g", p);
    text += (i < names.size() ? delimited::csvField(names[i]) : std::to_string(i + 1)) + "," +
            std::to_string(labels[i] + 1) + "," + (p == p ? number : "NA") + "\n";
  }
  return text;
}

std::string columnsCsv(const std::vector<std::string>& columnsFiles, const std::vector<std::string>& columnNames) {
  // Column number -> sum of the chains' probabilities and their count.
  std::map<long, std::pair<double, int>> columns;
  for (const std::string& file : columnsFiles) {
    std::ifstream in(file, std::ios::binary);
    long column = 0;
    double p = 0;
    while (in >> column >> p) {
      columns[column].first += p;
      columns[column].second++;
    }
  }
  if (columns.empty()) return "";
  std::string text = "column,clustered\n";
  char number[32];
  for (const auto& entry : columns) {
    const size_t t = static_cast<size_t>(entry.first - 1);
    std::snprintf(number, sizeof number, "%.6g", entry.second.first / entry.second.second);
    text += (t < columnNames.size() ? delimited::csvField(columnNames[t]) : std::to_string(entry.first)) + "," +
            number + "\n";
  }
  return text;
}

}  // namespace fit
