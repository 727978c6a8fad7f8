// The numeric matrix reader: one observation per line, blank- or tab-separated numbers.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>

#include "io/Matrix.h"

struct MatrixReader {
  // Reads a whitespace-separated numeric matrix, one observation per line. The column count
  // is the number of blank-separated fields of the first line; every line must hold exactly
  // that many numbers of type T; a last line without a line break is a row too. Writes
  // "  read " and the name twice. Malformed files end the run with one line naming the file
  // and the line. With missingCells, the literal NA is a missing cell (kMissingInt or NaN)
  // and missingCells gets their count; without it NA is refused as a missing cell.
  // A file refused at its first line, which holds a comma, semicolon or quote or starts with a
  // BOM, that the delimited reader (io/DelimitedReader.h) takes whole is read as that table: its numeric
  // columns are the matrix, its other columns are named on logFile, one line each.
  // The file is read twice, one line at a time (the first pass checks the lines and counts
  // them, the second fills a matrix of that size), so reading holds the matrix and one line.
  // The log line of a matrix with missing cells; nothing when there are none.
  static void noteMissing(std::ostream& logFile, long missingCells, long cells);

  template <class T>
  static void readData(const std::string& fileName, int& rowCount, int& columnCount,
                       Matrix<T>& data, std::ostream& logFile, long* missingCells = nullptr);

  // The first cell, in row-major order, whose whole number lies outside the levels read.
  struct Outside {
    bool found = false;
    int row = 0, column = 0;  // from 1
    int value = 0;
  };
  // As readData<int>, but each cell is stored in a byte: whole numbers 0..levels-1 (levels at
  // most 255), NA as kMissingByte. A number outside them is read in full and not refused
  // here: the first is returned in outside (its cell holds 0), for the model's own line
  // after every check of the file.
  static void readLevels(const std::string& fileName, int levels, int& rowCount,
                         int& columnCount, Matrix<std::uint8_t>& data, Outside& outside,
                         std::ostream& logFile, long* missingCells = nullptr);
};

extern template void MatrixReader::readData<int>(const std::string&, int&, int&, Matrix<int>&,
                                                 std::ostream&, long*);
extern template void MatrixReader::readData<double>(const std::string&, int&, int&,
                                                    Matrix<double>&, std::ostream&, long*);
