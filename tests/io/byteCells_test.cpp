// Cells of 0/1, categorical and ordinal data are held in bytes: the reader sees each whole
// number in full before it narrows it, so the byte boundary (255, 256, negative numbers, NA)
// changes no refusal, and a refusal of the file itself comes before the model's line about
// a value outside its levels.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "io/MatrixReader.h"
#include "io/RunError.h"
#include "models/HDBern.h"
#include "models/PriorStrings.h"
#include "models/ProteinSequence.h"
#include "models/ordinal.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

// The line a call ends the run with, or "" when it returns.
template <class Action>
std::string refusalOf(Action action) {
  CaptureStdout quiet;
  try {
    action();
  } catch (const RunError& error) {
    return error.what();
  }
  return "";
}

TEST(ByteCells, ReaderNarrowsOnlyWhatFitsAndNotesTheFirstOutside) {
  struct Case {
    const char* name;
    std::string text;
    int levels;
    std::vector<int> cells;  // row-major, -1 for NA; outside values read as 0
    bool outside;            // then at row, column with value
    int row, column, value;
    long missing;
  };
  const Case cases[] = {
      {"every level of HDGBern", "0 1 2 3 4 5 6 7 8 9\n10 11 12 13 14 15 16 17 18 19\n", 20,
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}, false, 0, 0, 0, 0},
      {"0/1 with NA", "1 NA\nNA 0\n", 2, {1, -1, -1, 0}, false, 0, 0, 0, 2},
      {"one past the last level", "0 1\n2 1\n", 2, {0, 1, 0, 1}, true, 2, 1, 2, 0},
      {"20 for 20 levels", "19 20\n", 20, {19, 0}, true, 1, 2, 20, 0},
      // The byte's own missing mark and the first value past a byte are values like any other.
      {"255 is no missing cell", "0 255\n", 20, {0, 0}, true, 1, 2, 255, 0},
      {"256 does not wrap to 0", "256 0\n", 20, {0, 0}, true, 1, 1, 256, 0},
      {"-1 does not wrap to 255", "0 1\n-1 0\n", 2, {0, 1, 0, 0}, true, 2, 1, -1, 0},
      {"-256 does not wrap to 0", "-256 1\n", 2, {0, 1}, true, 1, 1, -256, 0},
      {"the largest int", "1 2147483647\n", 2, {1, 0}, true, 1, 2, 2147483647, 0},
      {"the first outside in row-major order", "0 5\n7 NA\n", 2, {0, 0, 0, -1}, true, 1, 2, 5, 1},
      {"written with a sign and zeros", "+1 -0 007\n", 20, {1, 0, 7}, false, 0, 0, 0, 0},
      {"a table's numeric columns", "a,b\n1,0\n0,300\n", 2, {1, 0, 0, 0}, true, 2, 2, 300, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string file = dir.write("m.dat", c.text);
    std::ostringstream log;
    CaptureStdout quiet;
    int rows = 0, columns = 0;
    Matrix<uint8_t> data;
    MatrixReader::Outside outside;
    long missing = -1;
    MatrixReader::readLevels(file, c.levels, rows, columns, data, outside, log, &missing);
    ASSERT_EQ(static_cast<size_t>(rows) * columns, c.cells.size());
    for (int i = 0; i < rows; i++)
      for (int t = 0; t < columns; t++) {
        const int expected = c.cells[static_cast<size_t>(i) * columns + t];
        if (expected < 0) {
          EXPECT_TRUE(isMissing(data[i][t])) << i << "," << t;
        } else {
          EXPECT_FALSE(isMissing(data[i][t])) << i << "," << t;
          EXPECT_EQ(data[i][t], expected) << i << "," << t;
        }
      }
    EXPECT_EQ(missing, c.missing);
    EXPECT_EQ(outside.found, c.outside);
    if (c.outside) {
      EXPECT_EQ(outside.row, c.row);
      EXPECT_EQ(outside.column, c.column);
      EXPECT_EQ(outside.value, c.value);
    }
  }
}

// The stored matrix costs one byte a cell: n x T bytes, not n x T ints.
TEST(ByteCells, TheMatrixHoldsOneBytePerCell) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 300; i++) text += i % 2 ? "0 1 NA 1 0 1 1\n" : "1 1 0 0 0 1 0\n";
  const std::string file = dir.write("m.dat", text);
  std::ostringstream log;
  std::stringstream prior(HDBernFlatPriorString);
  std::unique_ptr<HDBern> model;
  {
    CaptureStdout quiet;
    model = std::make_unique<HDBern>(file, prior, log, 1.0);
  }
  const Matrix<uint8_t>& cells = model->shared().sequence;
  EXPECT_EQ(cells.rows(), 300);
  EXPECT_EQ(cells.cols(), 7);
  EXPECT_EQ(cells.bytes(), 300u * 7u);
  EXPECT_EQ(model->shared().missing, 150);

  // An alignment's residue codes too, read line by line into their rows.
  const std::string fasta = dir.write("a.fasta", ">a\nAC-\nD\n>b\nACED\n>c\n--WD");
  std::stringstream proteinPrior(ProteinSequenceFlatPriorString);
  std::unique_ptr<ProteinSequence> alignment;
  {
    CaptureStdout quiet;
    alignment = std::make_unique<ProteinSequence>(fasta, proteinPrior, log);
  }
  const Matrix<uint8_t>& codes = alignment->shared().sequence;
  EXPECT_EQ(codes.bytes(), 3u * 4u);
  const std::vector<int> expected = {0, 1, 20, 2, 0, 1, 3, 2, 20, 20, 18, 2};
  std::vector<int> read;
  for (int i = 0; i < 3; i++)
    for (int t = 0; t < 4; t++) read.push_back(codes[i][t]);
  EXPECT_EQ(read, expected);
}

// The models' lines at the byte boundary, and which refusal comes first: the file's own
// (a word, a NA the model refuses, a short row) wins over a value outside the levels
// met on an earlier line.
TEST(ByteCells, ModelsRefuseValuesOutsideTheirLevelsAfterTheFilesOwnChecks) {
  struct Case {
    const char* model;
    std::string text;
    std::string line;  // with m.dat for the file's name
  };
  const Case cases[] = {
      {"HDBern", "0 1\n1 255\n", "Bad HDBern data file m.dat: row 2, column 2 holds 255, outside 0..1"},
      {"HDBern", "0 256\n1 1\n", "Bad HDBern data file m.dat: row 1, column 2 holds 256, outside 0..1"},
      {"HDBern", "0 1\n-1 1\n", "Bad HDBern data file m.dat: row 2, column 1 holds -1, outside 0..1"},
      {"HDGBern", "19 0\n20 255\n", "Bad HDGBern data file m.dat: row 2, column 1 holds 20, outside 0..19"},
      {"HDGBern", "NA 255\n", "Bad HDGBern data file m.dat: row 1, column 2 holds 255, outside 0..19"},
      {"HDGBern", "-255 0\n", "Bad HDGBern data file m.dat: row 1, column 1 holds -255, outside 0..19"},
      {"ordinal", "3 256\n", "Bad ordinal data file m.dat: row 1, column 2 holds 256, outside 0..19"},
      {"ordinal", "3 4\n1 -1\n", "Bad ordinal data file m.dat: row 2, column 2 holds -1, outside 0..19"},
      // The file's own refusals come first, wherever they are.
      {"HDBern", "0 2\n1 x\n", "Bad matrix file m.dat, line 2: not a number: x"},
      {"HDGBern", "300 1\n1 1 1\n", "Bad matrix file m.dat, line 2: 3 values where the first line has 2"},
      {"ordinal", "1 256\n1 2.5\n", "Bad matrix file m.dat, line 2: not a number: 2.5"},
      {"HDBern", "7 1\n1 99999999999\n", "Bad matrix file m.dat, line 2: not a number: 99999999999"},
      {"HDBern", "7 1\n\n", "Bad matrix file m.dat, line 2: blank line"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model + (" " + c.text));
    TempDir dir;
    const std::string file = dir.write("m.dat", c.text);
    std::string line = c.line;
    line.replace(line.find("m.dat"), 5, file);
    std::ostringstream log;
    const std::string model = c.model;
    EXPECT_EQ(refusalOf([&] {
                if (model == "ordinal") {
                  std::stringstream prior("1 1");
                  ordinal built(file, prior, log, 1.0);
                } else if (model == "HDBern") {
                  std::stringstream prior(HDBernFlatPriorString);
                  HDBern built(file, prior, log, 1.0);
                } else {
                  std::stringstream prior("1 20\n1\n1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n");
                  HDGBern built(file, prior, log, 1.0);
                }
              }),
              line);
  }
}

// Where a model takes no NA, the cell is refused at its line before any value is narrowed.
TEST(ByteCells, NaRefusedWhereNotAsked) {
  TempDir dir;
  const std::string file = dir.write("m.dat", "0 300\n1 NA\n");
  std::ostringstream log;
  int rows = 0, columns = 0;
  Matrix<uint8_t> data;
  MatrixReader::Outside outside;
  EXPECT_EQ(refusalOf([&] {
              MatrixReader::readLevels(file, 2, rows, columns, data, outside, log);
            }),
            "Bad matrix file " + file + ", line 2: NA, a missing cell, which this model does not accept");
}

}  // namespace
