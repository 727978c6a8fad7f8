// What the report page is made from: the data file as the chains read it, the summary's point
// estimate and each observation's membership probability from the summary's table. Every
// failure is one ReportError line naming the file and the offending value.
#pragma once
#include <string>
#include <vector>

#include "io/Matrix.h"
#include "report/Report.h"

namespace report {

struct Data {
  DataKind kind = DataKind::Real;
  int n = 0;
  int columns = 0;
  Matrix<double> real;  // Real: values, NaN for a missing cell
  Matrix<int> cells;    // 0/1 and categorical: values or kMissingInt; sequences: codes 0..20
  long missing = 0;
  // Sequences: each FASTA header without its '>', control bytes escaped, cut after 200 bytes.
  std::vector<std::string> names;
  std::vector<std::string> columnNames;  // empty: columns are numbered
};

// Names given beside the data (rowNames and columnNames of Input) checked against its size and
// made fit to show: control bytes escaped, long names cut.
void setNames(Data& data, const std::vector<std::string>& rowNames, const std::vector<std::string>& columnNames);

// Reads the data as the engine does (NA is a missing cell in every matrix). A 0/1 matrix
// with another value, or a categorical one with a negative value, is refused.
Data readData(const std::string& fileName, DataKind kind);

// The estimate's labels (0-based, in order of first appearance) checked against the data's
// count n.
std::vector<int> checkedEstimate(const std::vector<int>& labels, int n, const std::string& dataFile);

// Each observation's membership probability, checked: n of them, each in [0, 1] or NaN.
std::vector<double> checkedMembership(const std::vector<double>& membership, int n);

}  // namespace report
