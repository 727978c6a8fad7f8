// The delimited-file reader: RFC 4180 fields, separators, headers, identifiers, text columns
// and every refusal with its line.
#include "io/DelimitedReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace delimited;

namespace {

using Records = std::vector<std::vector<std::string>>;

struct SplitCase {
  const char* what;
  std::string text;
  char separator;
  Records records;
  std::vector<long> lines;
};

TEST(DelimitedReader, SplitsRecordsAsRfc4180) {
  const SplitCase cases[] = {
      {"plain", "a,b\n1,2\n", ',', {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"no final line break", "1,2\n3,4", ',', {{"1", "2"}, {"3", "4"}}, {1, 2}},
      {"CRLF", "a,b\r\n1,2\r\n", ',', {{"a", "b"}, {"1", "2"}}, {1, 2}},
      {"BOM", "\xEF\xBB\xBF" "a,b\n", ',', {{"a", "b"}}, {1}},
      {"quoted comma", "\"x,y\",2\n", ',', {{"x,y", "2"}}, {1}},
      {"doubled quote", "\"say \"\"hi\"\"\",2\n", ',', {{"say \"hi\"", "2"}}, {1}},
      {"line break in quotes", "\"two\nlines\",2\n3,4\n", ',', {{"two\nlines", "2"}, {"3", "4"}}, {1, 3}},
      {"CRLF in quotes kept", "\"a\r\nb\",1\r\n", ',', {{"a\r\nb", "1"}}, {1}},
      {"empty cells", "1,,3\n,,\n", ',', {{"1", "", "3"}, {"", "", ""}}, {1, 2}},
      {"trailing separator", "1,2,\n", ',', {{"1", "2", ""}}, {1}},
      {"quoted empty", "\"\",1\n", ',', {{"", "1"}}, {1}},
      {"blanks around unquoted cells", " 1 , 2 \n", ',', {{"1", "2"}}, {1}},
      {"blank lines skipped", "1,2\n\n  \n3,4\n", ',', {{"1", "2"}, {"3", "4"}}, {1, 4}},
      {"tab keeps blanks inside", "a b\tc\n", '\t', {{"a b", "c"}}, {1}},
      {"empty tab cell", "1\t\t3\n", '\t', {{"1", "", "3"}}, {1}},
      {"semicolon", "5,1;3,5\n", ';', {{"5,1", "3,5"}}, {1}},
      {"runs of blanks", "  1 \t 2  3\n", ' ', {{"1", "2", "3"}}, {1}},
      {"quoted blanks", "\"New York\" 2\n", ' ', {{"New York", "2"}}, {1}},
      {"quote inside a cell is a character", "5\"x,1\n", ',', {{"5\"x", "1"}}, {1}},
  };
  for (const SplitCase& c : cases) {
    std::vector<long> lines;
    EXPECT_EQ(splitRecords(c.text, c.separator, "f", &lines), c.records) << c.what;
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

struct RefusalCase {
  const char* what;
  std::string text;
  const char* line;  // the whole refusal
};

TEST(DelimitedReader, RefusesWithTheLine) {
  const RefusalCase cases[] = {
      {"unclosed quote", "a,b\n1,\"open\n2,3\n", "Bad table file f.csv, line 2: a quote opened here is not closed"},
      {"text after a quote", "a,b\n\"x\"y,2\n", "Bad table file f.csv, line 2: text after a closing quote: \"y,2\""},
      {"ragged row", "a,b\n1,2\n3\n4,5\n", "Bad table file f.csv, line 3: 1 fields where the header has 2"},
      {"ragged, no header", "1,2\n3,4,5\n", "Bad table file f.csv, line 2: 3 fields where the first line has 2"},
      {"ragged after a quoted line break", "a,b\n\"x\ny\",1\n1,2,3\n",
       "Bad table file f.csv, line 4: 3 fields where the header has 2"},
      {"decimal commas", "a;b\n5,1;2\n", "Bad table file f.csv, line 2: \"5,1\" is a number with a decimal comma; "
                                          "give --decimal-comma to read commas as decimal points"},
      {"duplicate row names", "\"\",a\n\"x\",1\n\"y\",2\n\"x\",3\n",
       "Bad table file f.csv, line 4: identifier \"x\" again (first on line 2); identifiers must be unique"},
      {"no numbers", "name,kind\nx,a\ny,b\n", "Bad table file f.csv: no column of numbers (columns: \"name\", \"kind\")"},
      {"empty", "\n\n", "Bad table file f.csv: no data"},
      {"one row of words", "a,b\n", "Bad table file f.csv: no column of numbers (columns: \"column 1\", \"column 2\")"},
  };
  for (const RefusalCase& c : cases) {
    try {
      readTable(c.text, "f.csv", TableOptions());
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const TableError& error) {
      EXPECT_STREQ(error.what(), c.line) << c.what;
    }
  }
}

TEST(DelimitedReader, FirstTextColumnWithManyRepeatsIsRefusedAsIdentifiers) {
  // 25 names, the last a repeat: too many values for classes, not unique for names.
  std::string text = "name,v\n";
  for (int i = 0; i < 24; i++) text += "n" + std::to_string(i) + "," + std::to_string(i) + "\n";
  text += "n3,9\n";
  EXPECT_THROW(readTable(text, "f.csv", TableOptions()), TableError);
}

TEST(DelimitedReader, NamedIdentifierMustBeUniqueAndPresent) {
  TableOptions options;
  options.idColumn = "code";
  EXPECT_THROW(readTable("v,code\n1,7\n2,7\n", "f.csv", options), TableError);
  EXPECT_THROW(readTable("v,w\n1,7\n2,8\n", "f.csv", options), TableError);
  const DataTable table = readTable("v,code\n1,7\n2,8\n", "f.csv", options);
  EXPECT_EQ(table.rowNames, (std::vector<std::string>{"7", "8"}));
  EXPECT_EQ(table.columnNames, std::vector<std::string>{"v"});
}

// R's write.csv(iris, row.names = FALSE): a header, four number columns and a class column.
TEST(DelimitedReader, WriteCsvWithoutRowNames) {
  const std::string text =
      "\"Sepal.Length\",\"Petal.Width\",\"Species\"\n5.1,0.2,\"setosa\"\n7,1.4,\"versicolor\"\n"
      "6.3,NA,\"virginica\"\n4.9,0.2,\"setosa\"\n5.8,1.9,\"virginica\"\n6.4,1.5,\"versicolor\"\n";
  const DataTable table = readTable(text, "iris.csv", TableOptions());
  EXPECT_EQ(table.separator, ',');
  EXPECT_TRUE(table.header);
  EXPECT_TRUE(table.rowNames.empty());
  EXPECT_EQ(table.columnNames, (std::vector<std::string>{"Sepal.Length", "Petal.Width"}));
  ASSERT_EQ(table.classColumns.size(), 1u);
  EXPECT_EQ(table.classColumns[0].name, "Species");
  EXPECT_EQ(table.classColumns[0].distinct, 3);
  EXPECT_EQ(matrixText(table), "5.1 0.2\n7 1.4\n6.3 NA\n4.9 0.2\n5.8 1.9\n6.4 1.5\n");
  EXPECT_EQ(tableNotes(table), std::vector<std::string>{"Column \"Species\" (3 values) is not clustered; to "
                                                        "compare the clusters with it: vornak-fit --classes Species"});
}

// write.csv(USArrests): the row names' column has an empty header.
TEST(DelimitedReader, RowNamesFromEmptyHeaderOrShortHeader) {
  const std::string csv = "\"\",\"Murder\",\"Assault\"\n\"Alabama\",13.2,236\n\"Alaska\",10,263\n";
  const std::string table = "\"Murder\" \"Assault\"\n\"Alabama\" 13.2 236\n\"Alaska\" 10 263\n";
  const std::string numbered = "\"\",\"a\",\"b\"\n\"1\",1,2\n\"2\",3,4\n";
  for (const std::string& text : {csv, table}) {
    const DataTable t = readTable(text, "f", TableOptions());
    EXPECT_EQ(t.rowNames, (std::vector<std::string>{"Alabama", "Alaska"}));
    EXPECT_EQ(t.columnNames, (std::vector<std::string>{"Murder", "Assault"}));
    EXPECT_EQ(matrixText(t), "13.2 236\n10 263\n");
  }
  const DataTable t = readTable(numbered, "f", TableOptions());
  EXPECT_EQ(t.rowNames, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(matrixText(t), "1 2\n3 4\n");
}

TEST(DelimitedReader, HeaderDetection) {
  struct Case {
    const char* what;
    std::string text;
    bool header;
    std::vector<std::string> rowNames;
  };
  const Case cases[] = {
      {"numbers only", "1,2\n3,4\n", false, {}},
      {"names without header", "Alabama,1\nAlaska,2\n", false, {"Alabama", "Alaska"}},
      {"header over names", "state,v\nAlabama,1\nAlaska,2\n", true, {"Alabama", "Alaska"}},
      {"header with NA below", "a,b\nNA,1\n2,NA\n", true, {}},
  };
  for (const Case& c : cases) {
    const DataTable t = readTable(c.text, "f", TableOptions());
    EXPECT_EQ(t.header, c.header) << c.what;
    EXPECT_EQ(t.rowNames, c.rowNames) << c.what;
  }
  TableOptions none;
  none.header = 0;
  EXPECT_EQ(readTable("1,2\n3,4\n", "f", none).cells.size(), 2u);
}

TEST(DelimitedReader, DecimalCommaOption) {
  TableOptions options;
  options.decimalComma = true;
  const DataTable t = readTable("a;b;c\n5,1;2;x\n-0,5;NA;y\n1;1;x\n2;2;y\n", "f", options);
  EXPECT_EQ(t.separator, ';');
  EXPECT_EQ(matrixText(t), "5.1 2\n-0.5 NA\n1 1\n2 2\n");
  options.separator = ',';
  EXPECT_THROW(readTable("1,2\n", "f", options), TableError);
}

TEST(DelimitedReader, TextColumnsAreClassesOrLeftOutWithTheirReason) {
  const std::string text =
      "id\tx\tnote\tkind\tmixed\tblank\n"
      "a\t1\tone\tp\t1\t\n"
      "b\t2\ttwo\tq\t2\t\n"
      "c\t3\tthree\tp\tn/a\t\n"
      "d\t4\tfour\tq\t4\t\n";
  DataTable t = readTable(text, "f.tsv", TableOptions());
  EXPECT_EQ(t.separator, '\t');
  EXPECT_EQ(t.idName, "id");
  EXPECT_EQ(t.columnNames, std::vector<std::string>{"x"});
  EXPECT_EQ(tableNotes(t), (std::vector<std::string>{
                               "Row names: column \"id\"",
                               "Column \"kind\" (2 values) is not clustered; to compare the clusters with it: vornak-fit --classes kind",
                               "Column \"note\" left out: text with 4 distinct values",
                               "Column \"mixed\" left out: not a number on line 4: \"n/a\"",
                               "Column \"blank\" left out: no values"}));
  std::vector<std::string> classes;
  EXPECT_TRUE(takeClasses(t, "kind", classes));
  EXPECT_EQ(classes, (std::vector<std::string>{"p", "q", "p", "q"}));
  EXPECT_TRUE(t.classColumns.empty());
  EXPECT_FALSE(takeClasses(t, "x", classes));  // the only column of numbers stays
  EXPECT_FALSE(takeClasses(t, "nothing", classes));
}

TEST(DelimitedReader, NumericColumnTakenAsClasses) {
  DataTable t = readTable("a,b,g\n1,2,1\n3,4,2\n5,NA,NA\n", "f", TableOptions());
  std::vector<std::string> classes;
  ASSERT_TRUE(takeClasses(t, "g", classes));
  EXPECT_EQ(classes, (std::vector<std::string>{"1", "2", ""}));
  EXPECT_EQ(matrixText(t), "1 2\n3 4\n5 NA\n");
  EXPECT_EQ(t.columnNames, (std::vector<std::string>{"a", "b"}));
}

TEST(DelimitedReader, SeparatorDetectionAndPlainMatrices) {
  EXPECT_EQ(detectSeparator("a\tb,c\n"), '\t');
  EXPECT_EQ(detectSeparator("a;b,c\n"), ';');
  EXPECT_EQ(detectSeparator("\"x;y\",b\n"), ',');
  EXPECT_EQ(detectSeparator("\n\na b\n"), ' ');
  struct Case {
    std::string text;
    bool plain;
  };
  const Case cases[] = {{"1 0 1\n0 0 1\n", true},   {"\n 1\t2 NA\nx\n", true}, {"1,2\n", false},
                        {"a b\n1 2\n", false},      {"\xEF\xBB\xBF" "1 2\n", false},
                        {"", false},                {"\"1\" 2\n", false}};
  for (const Case& c : cases) EXPECT_EQ(isPlainMatrix(c.text), c.plain) << c.text;
}

TEST(DelimitedReader, CsvFieldQuotesWhenNeeded) {
  EXPECT_EQ(csvField("Alabama"), "Alabama");
  EXPECT_EQ(csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
  // What csvField writes, splitRecords reads back.
  const std::string name = "a,\"b\"\nc";
  EXPECT_EQ(splitRecords(csvField(name) + ",1\n", ',', "f"), (Records{{name, "1"}}));
}

}  // namespace

// The engine's matrix reader takes a table it would refuse at the first line; everything it
// accepts, and every refusal the table reader shares, stays as it was.
#include <sstream>

#include "io/MatrixReader.h"
#include "io/RunError.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"

namespace {

TEST(MatrixReaderTables, ReadsTablesRefusedAtTheFirstLine) {
  TempDir temp;
  temp.write("iris.csv", "\"Sepal.Length\",\"Petal.Width\",\"Species\"\n5.1,0.2,\"setosa\"\n7,NA,\"versicolor\"\n"
                         "6.3,1.8,\"virginica\"\n4.9,0.2,\"setosa\"\n5.8,1.9,\"virginica\"\n6.4,1.5,\"versicolor\"\n");
  std::ostringstream log;
  int rows = 0, columns = 0;
  Matrix<double> data;
  long missing = 0;
  MatrixReader::readData<double>(temp.file("iris.csv"), rows, columns, data, log, &missing);
  EXPECT_EQ(rows, 6);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(data[0][0], 5.1);
  EXPECT_TRUE(isMissing(data[1][1]));
  EXPECT_EQ(missing, 1);
  const std::string path = temp.file("iris.csv");
  EXPECT_EQ(log.str(), "  read " + path + "\n  read " + path +
                           "\nColumn \"Species\" (3 values) is not clustered; to compare the clusters with it: "
                           "vornak-fit --classes Species\n");
}

TEST(MatrixReaderTables, KeepsTheMatrixLinesForEverythingElse) {
  struct Case {
    const char* what;
    std::string text;
    std::string line;  // the matrix reader's refusal, as before
  };
  const Case cases[] = {
      {"a word after a good first line", "1 2\n3 x\n", "line 2: not a number: x"},
      {"a table the table reader refuses", "a,b\n1,2\n3\n", "line 1: not a number: a,b"},
      {"a real where whole numbers are read", "a,b\n1,2.5\n", "line 1: not a number: a,b"},
      {"NA where it is refused", "a,b\n1,NA\n2,3\n", "line 1: not a number: a,b"},
      {"a word in a blank-separated first line", "a b\n1 2\n", "line 1: not a number: a"},
  };
  for (const Case& c : cases) {
    TempDir temp;
    temp.write("m.dat", c.text);
    std::ostringstream log;
    int rows = 0, columns = 0;
    Matrix<int> data;
    CaptureStdout quiet;
    try {
      MatrixReader::readData<int>(temp.file("m.dat"), rows, columns, data, log);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), "Bad matrix file " + temp.file("m.dat") + ", " + c.line) << c.what;
    }
  }
}

}  // namespace
