// vornak-fit's side of delimited data files: the table read into the matrix the chains run on,
// its names and known classes, and the tables written beside the answer (clusters.csv,
// columns.csv).
#pragma once
#include <string>
#include <vector>

#include "fit/Options.h"

namespace fit {

struct TableData {
  bool table = false;   // read as a delimited table; the chains read matrix
  std::string matrix;   // the numeric columns in the engine's format
  std::vector<std::string> rowNames, columnNames;  // empty when the file has none
  std::vector<std::string> classes;  // one per observation, empty when unknown; none: not asked
  std::string classSource;           // "column Species of iris.csv", "labels file L"
  std::vector<std::string> notes;    // what became of the columns, one line each
};

// Reads dataFile as a table unless it is an alignment or the engine's own matrix format (and
// no table option asks otherwise); reads --classes from the table or a labels file (one label
// per line, NA or empty unknown) checked against rows (the matrix's rows when not a table).
// Throws FitError with one line.
TableData readTableData(const FitOptions& options, bool sequences, long rows);

// An alignment's headers without '>', in order.
std::vector<std::string> fastaNames(const std::string& file);

// name,cluster,membership: one line per observation (names quoted as RFC 4180 asks; without
// names the observation's number), clusters from 1, NA for an undefined probability.
std::string clustersCsv(const std::vector<std::string>& names, const std::vector<int>& labels,
                        const std::vector<double>& membership);

// column,clustered: each column's probability of being clustered, the mean over the chains'
// .columns files (-V); empty text when none holds a line. Without names, columns are numbered.
std::string columnsCsv(const std::vector<std::string>& columnsFiles, const std::vector<std::string>& columnNames);

}  // namespace fit
