// vornak-fit on delimited files as users have them: R's write.csv with and without row names,
// a TSV with a class column, semicolons with decimal commas, CRLF and a BOM, quoted names with
// commas and quotes, duplicate identifiers, a text column; the names and classes in the answer.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

namespace fs = std::filesystem;

bool holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two groups of four, far apart: any search finds them.
const char* const kArrests =
    "\xEF\xBB\xBF\"\",\"Murder\",\"Assault\"\r\n"
    "\"Alabama\",13.2,236\r\n\"Alaska\",10,263\r\n\"Arizona, AZ\",8.1,294\r\n\"the \"\"Natural\"\" State\",8.8,190\r\n"
    "\"Maine\",-2.1,-83\r\n\"Ohio\",-7.3,-120\r\n\"Utah\",-3.2,-72\r\n\"Iowa\",-2.2,-56\r\n";

TEST(FitTables, RowNamesQuotesCrlfAndBomReachTheAnswer) {
  TempDir temp;
  temp.write("arrests.csv", kArrests);
  const ExeResult result = runExe({"arrests.csv", "--chains", "2", "--minutes", "0.05"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> out = lines(result.out);
  ASSERT_EQ(out.size(), 5u) << result.out;  // and the stop, the answer, the chain files
  EXPECT_EQ(out[0], "Read as a table: comma separated, a header row, 8 rows, 2 columns of numbers");
  EXPECT_EQ(out[1], "Row names: column 1");
  EXPECT_TRUE(fs::exists(temp.file("arrests/arrests.dat")));
  EXPECT_EQ(temp.read("arrests/arrests.dat"), "13.2 236\n10 263\n8.1 294\n8.8 190\n-2.1 -83\n-7.3 -120\n-3.2 -72\n-2.2 -56\n");
  const std::vector<std::string> table = lines(temp.read("arrests/clusters.csv"));
  ASSERT_EQ(table.size(), 9u);
  EXPECT_EQ(table[0], "name,cluster,membership");
  // Names as RFC 4180 quotes them; the cluster and probability after them.
  const char* const names[] = {"Alabama,", "Alaska,", "\"Arizona, AZ\",", "\"the \"\"Natural\"\" State\",",
                               "Maine,", "Ohio,", "Utah,", "Iowa,"};
  for (int i = 0; i < 8; i++) EXPECT_EQ(table[i + 1].rfind(names[i], 0), 0u) << table[i + 1];
  EXPECT_EQ(table[1].substr(8, 2), "1,") << "the first observation is in cluster 1";
  const std::string page = temp.read("arrests/report.html");
  EXPECT_TRUE(holds(page, "<th>Murder</th>")) << "the per-column table names its columns";
  EXPECT_TRUE(holds(page, "<td>Arizona, AZ</td>"));
  // The least certain observations of the summary's text carry their names.
  const std::string summary = temp.read("arrests/summary.txt");
  EXPECT_TRUE(std::regex_search(summary, std::regex("\n    item [0-9] (Alabama|Alaska|Arizona, AZ|the \"Natural\" "
                                                    "State|Maine|Ohio|Utah|Iowa) \\(cluster")))
      << summary;
  EXPECT_FALSE(holds(page, "Clusters against the known classes"));
}

TEST(FitTables, ClassColumnOfATsvIsComparedNeverClustered) {
  TempDir temp;
  temp.write("plants.tsv",
             "id\tlength\twidth\tkind\tnote\n"
             "p1\t1.0\t1.1\ta\tfirst\np2\t1.2\t0.9\ta\tsecond\np3\t0.8\t1.0\ta\tthird\np4\t1.1\tNA\tb\tfourth\n"
             "p5\t9.0\t9.2\tb\tfifth\np6\t9.3\t8.8\tb\tsixth\np7\t8.9\t9.1\tb\tseventh\np8\t9.1\t9.0\tb\teighth\n");
  const ExeResult result =
      runExe({"plants.tsv", "--classes", "kind", "--chains", "2", "--minutes", "0.05"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> out = lines(result.out);
  ASSERT_EQ(out.size(), 6u) << result.out;
  EXPECT_EQ(out[0], "Read as a table: tab separated, a header row, 8 rows, 2 columns of numbers");
  EXPECT_EQ(out[1], "Row names: column \"id\"");
  EXPECT_EQ(out[2], "Column \"note\" left out: text with 8 distinct values");
  EXPECT_EQ(temp.read("plants/plants.dat").substr(0, 16), "1.0 1.1\n1.2 0.9\n");
  const std::string page = temp.read("plants/report.html");
  EXPECT_TRUE(holds(page, "Clusters against the known classes"));
  EXPECT_TRUE(holds(page, "Classes: column kind of plants.tsv"));
  // The estimate {p1..p4}, {p5..p8} against kind: cluster 1 holds 3 a and 1 b.
  EXPECT_TRUE(holds(page, "<tr data-cluster=\"1\"><td><span class=\"swatch\" style=\"background:"));
  EXPECT_TRUE(holds(page, "</span>1</td><td>3</td><td>1</td></tr>")) << "confusion table";
  EXPECT_TRUE(holds(page, "<td>p4</td>"));
}

TEST(FitTables, DecimalCommasWithTheOption) {
  TempDir temp;
  temp.write("eu.csv", "a;b\n1,5;2,0\n1,4;2,1\n1,6;1,9\n7,5;8,0\n7,4;8,1\n7,6;7,9\n");
  const ExeResult result =
      runExe({"eu.csv", "--decimal-comma", "--chains", "2", "--minutes", "0.05"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lines(result.out)[0], "Read as a table: semicolon separated, a header row, 6 rows, 2 columns of numbers");
  EXPECT_EQ(temp.read("eu/eu.dat"), "1.5 2.0\n1.4 2.1\n1.6 1.9\n7.5 8.0\n7.4 8.1\n7.6 7.9\n");
}

TEST(FitTables, RefusalsNameTheLineAndLeaveNoFolder) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string line;
  };
  const Case cases[] = {
      {"decimal commas", {"eu.csv"},
       "vornak-fit: Bad table file eu.csv, line 2: \"1,5\" is a number with a decimal comma; give --decimal-comma "
       "to read commas as decimal points"},
      {"duplicate row names", {"dup.csv"},
       "vornak-fit: Bad table file dup.csv, line 4: identifier \"x\" again (first on line 2); identifiers must be "
       "unique"},
      {"ragged", {"ragged.csv"}, "vornak-fit: Bad table file ragged.csv, line 3: 3 fields where the header has 2"},
      {"all text", {"text.csv"}, "vornak-fit: Bad table file text.csv: no column of numbers (columns: \"name\", \"kind\")"},
      {"unknown classes", {"dup2.csv", "--classes", "Species"},
       "vornak-fit: --classes names no column of dup2.csv and no file (class columns: g): Species"},
      {"labels of another length", {"plain.dat", "--classes", "labels.txt"},
       "vornak-fit: --classes labels.txt has 2 labels where plain.dat has 3 observations"},
      {"bad separator", {"plain.dat", "--separator", "pipe"},
       "vornak-fit: --separator must be comma, tab, semicolon or blanks: pipe"},
  };
  for (const Case& c : cases) {
    TempDir temp;
    temp.write("eu.csv", "a;b\n1,5;2\n");
    temp.write("dup.csv", "\"\",\"a\"\n\"x\",1\n\"y\",2\n\"x\",3\n");
    temp.write("dup2.csv", "a,b,g\n1,2,u\n3,4,u\n5,6,v\n7,8,v\n");
    temp.write("ragged.csv", "a,b\n1,2\n3,4,5\n");
    temp.write("text.csv", "name,kind\nx,a\ny,b\n");
    temp.write("plain.dat", "1 2\n3 4\n5 6\n");
    temp.write("labels.txt", "a\nb\n");
    const ExeResult result = runExe(c.args, temp.path, VORNAK_FIT_EXE);
    EXPECT_EQ(result.status, 255) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err, c.line + "\n") << c.name;
    for (const char* folder : {"eu", "dup", "dup2", "ragged", "text", "plain"})
      EXPECT_FALSE(fs::exists(temp.file(folder))) << c.name << ": " << folder;
  }
}

}  // namespace

namespace {

// The engine itself reads a table its matrix format refused at the first line.
TEST(EngineTables, ReadsWriteCsvOutput) {
  TempDir temp;
  temp.write("iris.csv", "\"Sepal.Length\",\"Petal.Width\",\"Species\"\n5.1,0.2,\"setosa\"\n7,1.4,\"versicolor\"\n"
                         "6.3,1.8,\"virginica\"\n4.9,0.2,\"setosa\"\n5.8,1.9,\"virginica\"\n6.4,1.5,\"versicolor\"\n");
  const ExeResult result = runExe({"-m", "kmeans2", "-f", "iris.csv", "-k", "0", "-h", "OA", "-c", "integrated",
                                   "-i", "3", "-q"},
                                  temp.path, VORNAK_EXE);
  EXPECT_EQ(result.status, 1) << result.out;
  EXPECT_TRUE(holds(result.out, "Column \"Species\" (3 values) is not clustered")) << result.out;
  const std::vector<std::string> final = lines(temp.read("iris_k0_OA_p_a0_i3.finalz"));
  ASSERT_EQ(final.size(), 1u);
  std::istringstream labels(final[0]);
  int count = 0;
  for (std::string label; labels >> label;) count++;
  EXPECT_EQ(count, 6);
}

}  // namespace
