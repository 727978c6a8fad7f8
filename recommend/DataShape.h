// The shape of a data file read from its text: an alignment or a matrix, and for a matrix the
// kind of its cells. vornak-fit and the R package both ask it, so that the same file always
// gets the same settings.
#pragma once
#include <istream>

namespace recommend {

// What the data are; each kind has its own recommended settings.
enum class DataKind { Sequences, Binary, Categorical, Real };

struct DataShape {
  DataKind kind = DataKind::Real;
  long rows = 0;     // sequences of an alignment, non-blank lines of a matrix
  long columns = 0;  // values on a matrix's first line (0 for an alignment)
  bool missing = false;         // some matrix cell is the literal NA
  bool constantColumn = false;  // some column shows one value in every row that has one
  int mostLevels = 0;  // whole numbers 0..19: the most distinct values one column shows
};

// Reads the whole text. A UTF-8 byte-order mark at the start is skipped. An alignment: the
// first byte that is not a blank, tab or line end is '>'. A matrix otherwise: blanks and tabs
// separate values, blank lines are skipped; a cell is a whole number when strtol reads all of
// it, as the categorical models read it (so "1.0" is not one and makes the matrix real: the
// models of whole numbers would refuse it). Cells that are not numbers make the matrix real
// (the engine then names them).
DataShape detectData(std::istream& text);

}  // namespace recommend
