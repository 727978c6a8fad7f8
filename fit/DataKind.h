// What kind of data vornak-fit was given, read from the file itself, and the engine settings
// recommended for that kind: the model, its prior, the heuristic and the extras that the
// measurements in the README found to work for it.
#pragma once
#include <istream>
#include <string>
#include <vector>

#include "report/Report.h"

namespace fit {

struct DataShape {
  report::DataKind kind = report::DataKind::Real;
  long rows = 0;     // sequences of an alignment, non-blank lines of a matrix
  long columns = 0;  // values on a matrix's first line (0 for an alignment)
  bool missing = false;         // some matrix cell is the literal NA
  bool constantColumn = false;  // some column shows one value in every row that has one
};

// Reads the whole text. An alignment: the first byte that is not a blank, tab or line end is
// '>'. A matrix otherwise: blanks and tabs separate values, blank lines are skipped; a cell is
// a whole number when strtol reads all of it (as the categorical models read it). Cells that
// are not numbers make the matrix real (the engine then names them).
DataShape detectData(std::istream& text);

// Real data go to the full-covariance model only when it can score them: no NA cell, no
// constant column, and at least this many rows per (columns + 1).
constexpr long kRowsPerColumnForMvn = 5;
bool suitsMvn(const DataShape& shape);

// The engine words recommended for the shape: model, prior, heuristic and extras, then
// "-c integrated -k 0 -q". Each pair is an option letter and its value; flags stand alone.
std::vector<std::string> recommendedWords(const DataShape& shape);

}  // namespace fit
