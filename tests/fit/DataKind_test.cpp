// Detection of the kind of data and the settings chosen for it, on small texts.
#include <gtest/gtest.h>

#include <sstream>

#include "fit/DataKind.h"
#include "fit/Options.h"

namespace {

using recommend::DataKind;

struct DetectCase {
  const char* name;
  const char* text;
  DataKind kind;
  long rows, columns;
  bool missing, constantColumn;
  const char* model;
};

// Rows of 2 columns need 15 rows for mvn (5 x (2 + 1)); the real cases that should get mvn
// are built long enough below.
const DetectCase kCases[] = {
    {"fasta", ">a\nACD\n>b\nACE\n", DataKind::Sequences, 2, 0, false, false, "ProteinSequence"},
    {"fasta after blank lines", "\n \t\r\n\n>a x\nAC\nD\n>b\nACE\n>c\nAAA\n", DataKind::Sequences, 3, 0,
     false, false, "ProteinSequence"},
    {"binary", "0 1\n1 0\n1 1\n", DataKind::Binary, 3, 2, false, false, "HDBern"},
    {"binary with NA", "0 NA\n1 0\nNA 1\n", DataKind::Binary, 3, 2, true, false, "HDBern"},
    {"binary, tabs, CRLF, blank line", "0\t1\r\n\r\n1\t0\r\n", DataKind::Binary, 2, 2, false, false, "HDBern"},
    {"binary, constant column", "0 1\n1 1\n", DataKind::Binary, 2, 2, false, true, "HDBern"},
    {"levels up to 19", "0 19\n3 2\n", DataKind::Categorical, 2, 2, false, false, "HDGBern"},
    {"levels with NA", "NA 2\n1 0\n3 5\n", DataKind::Categorical, 3, 2, true, false, "HDGBern"},
    {"20 is no level", "0 20\n3 2\n", DataKind::Real, 2, 2, false, false, "mclust2"},
    {"negative whole numbers", "-1 2\n3 2\n", DataKind::Real, 2, 2, false, true, "mclust2"},
    {"1.0 is not whole", "1.0 0\n0 1\n", DataKind::Real, 2, 2, false, false, "mclust2"},
    {"decimals", "0.5 1.5\n2.5 3\n", DataKind::Real, 2, 2, false, false, "mclust2"},
    {"real with NA", "0.5 NA\n2.5 3\n1 4\n", DataKind::Real, 3, 2, true, false, "mclust2"},
    {"a column constant where seen", "0.5 NA\n2.5 3\n1 3\n", DataKind::Real, 3, 2, true, true, "mclust2"},
    {"a word makes it real", "0 1\n1 x\n", DataKind::Real, 2, 2, false, false, "mclust2"},
    {"lower-case na is no missing cell", "0 1\nna 1\n", DataKind::Real, 2, 2, false, true, "mclust2"},
    // A UTF-8 byte-order mark is no data, before an alignment or a matrix.
    {"fasta after a byte-order mark", "\xEF\xBB\xBF>a\nACD\n>b\nACE\n", DataKind::Sequences, 2, 0, false,
     false, "ProteinSequence"},
    {"binary after a byte-order mark", "\xEF\xBB\xBF" "0 1\n1 0\n", DataKind::Binary, 2, 2, false, false,
     "HDBern"},
    {"a lone mark byte is a cell", "\xEF" "0 1\n1 0\n", DataKind::Real, 2, 2, false, false, "mclust2"},
};

void PrintTo(const DetectCase& c, std::ostream* os) { *os << c.name; }

class Detection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(Detection, KindShapeAndModel) {
  const DetectCase& c = GetParam();
  std::istringstream text(c.text);
  const fit::DataShape shape = fit::detectData(text);
  EXPECT_EQ(shape.kind, c.kind);
  EXPECT_EQ(shape.rows, c.rows);
  EXPECT_EQ(shape.columns, c.columns);
  EXPECT_EQ(shape.missing, c.missing);
  EXPECT_EQ(shape.constantColumn, c.constantColumn);
  EXPECT_EQ(fit::wordValue(fit::recommendedWords(shape), "-m"), c.model);
}

INSTANTIATE_TEST_SUITE_P(Texts, Detection, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DetectCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; p++)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

// n rows of d real columns, every column varying.
std::string realRows(int rows, int columns) {
  std::string text;
  for (int i = 0; i < rows; i++) {
    for (int t = 0; t < columns; t++) text += std::to_string(i * 0.5 + t) + (t + 1 < columns ? " " : "\n");
  }
  return text;
}

TEST(Detection, MvnNeedsFiveRowsPerColumnAndOne) {
  struct {
    int rows, columns;
    const char* model;
  } cases[] = {{15, 2, "mvn"}, {14, 2, "mclust2"}, {30, 5, "mvn"}, {29, 5, "mclust2"}, {10, 1, "mvn"}};
  for (const auto& c : cases) {
    std::istringstream text(realRows(c.rows, c.columns));
    const fit::DataShape shape = fit::detectData(text);
    EXPECT_EQ(shape.kind, DataKind::Real);
    EXPECT_EQ(fit::wordValue(fit::recommendedWords(shape), "-m"), c.model) << c.rows << " x " << c.columns;
  }
  std::string withNA = realRows(40, 2);
  withNA.replace(0, 3, "NA ");
  std::istringstream text(withNA);
  EXPECT_EQ(fit::wordValue(fit::recommendedWords(fit::detectData(text)), "-m"), "mclust2");
}

TEST(Settings, EachKindGetsItsRowAndTheCommonWords) {
  struct {
    DataKind kind;
    std::vector<std::string> expected;
  } cases[] = {
      {DataKind::Sequences, {"-m", "ProteinSequence", "-p", "shared", "-h", "OA", "-Z", "tree"}},
      {DataKind::Binary, {"-m", "HDBern", "-p", "flat", "-h", "OA", "-T", "4"}},
      {DataKind::Categorical, {"-m", "HDGBern", "-p", "levels", "-h", "OA"}},
      {DataKind::Real, {"-m", "mvn", "-p", "1", "-h", "OA", "-x"}},
  };
  for (auto& c : cases) {
    fit::DataShape shape;
    shape.kind = c.kind;
    shape.rows = 100;
    shape.columns = 2;
    std::vector<std::string> expected = c.expected;
    for (const char* word : {"-c", "integrated", "-k", "0", "-q"}) expected.push_back(word);
    EXPECT_EQ(fit::recommendedWords(shape), expected);
  }
}

}  // namespace
