// The report page on tiny data whose figures are worked out by hand: cluster sizes and mean
// membership probabilities, per-column means, shares of 1s, most frequent levels, consensus
// and distinctive columns; escaping; refusals that leave no file behind; bounded size.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "formats/Draws.h"
#include "report/Report.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/text.h"

namespace {

using report::DataKind;

// The texts (tags removed) of the cells of the first row <tr ATTRIBUTE="VALUE"> that follows
// <table id="TABLE">; empty when there is none.
std::vector<std::string> rowCells(const std::string& page, const std::string& table,
                                  const std::string& attribute, int value) {
  const size_t start = page.find("<table id=\"" + table + "\"");
  if (start == std::string::npos) return {};
  const size_t row = page.find("<tr " + attribute + "=\"" + std::to_string(value) + "\">", start);
  const size_t end = page.find("</table>", start);
  if (row == std::string::npos || row > end) return {};
  const std::string text = page.substr(row, page.find("</tr>", row) - row);
  std::vector<std::string> cells;
  static const std::regex cell("<t[dh][^>]*>(.*?)</t[dh]>");
  static const std::regex tag("<[^>]*>");
  for (std::sregex_iterator it(text.begin(), text.end(), cell), stop; it != stop; ++it)
    cells.push_back(std::regex_replace((*it)[1].str(), tag, ""));
  return cells;
}

// The data-item numbers of the membership table, in page order.
std::vector<int> membershipOrder(const std::string& page) {
  std::vector<int> items;
  static const std::regex item("<tr data-item=\"([0-9]+)\">");
  for (std::sregex_iterator it(page.begin(), page.end(), item), stop; it != stop; ++it)
    items.push_back(std::stoi((*it)[1].str()));
  return items;
}

// A folder with the data file, and a summary's estimate, membership and picture.
struct Fixture {
  TempDir dir;
  report::Input input;
  Fixture(DataKind kind, const std::string& data, const std::string& estimate,
          const std::vector<double>& mates) {
    dir.write("data", data);
    input.labels = formats::parsePartition(estimate);
    input.membership = mates;
    input.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                "width=\"10\" height=\"10\"><text>posterior on k</text></svg>\n";
    input.dataFile = dir.file("data");
    input.kind = kind;
    input.summaryText = "Posterior on k: 2 < 3 & more\n";
    input.notes = {"4 chains, stopped as they agreed", "settings -m X"};
  }
  std::string page() {
    report::writeReport(input, dir.file("page.html"));
    return dir.read("page.html");
  }
};

TEST(ReportPage, realMatrixGivesSizesMembershipAndColumnMomentsWithoutMissingCells) {
  // Cluster 1: rows 1, 2, 4; cluster 2: rows 3, 5 (row 5's second cell missing).
  Fixture f(DataKind::Real, "0 0 1\n2 0 1\n10 10 5\n1 3 1\n12 NA 5\n", "0 0 1 0 1 \n",
            {0.9, 0.8, 0.95, 0.7, 0.6});
  const std::string page = f.page();
  EXPECT_NE(page.find("<h1 id=\"headline\">2 clusters among 5 observations</h1>"), std::string::npos);
  EXPECT_NE(page.find("real matrix"), std::string::npos);
  EXPECT_NE(page.find("<li>4 chains, stopped as they agreed</li>"), std::string::npos);
  EXPECT_NE(page.find("Jacobi rotations"), std::string::npos);
  // cluster, size, share, mean membership, lowest.
  EXPECT_EQ(rowCells(page, "clusters", "data-cluster", 1),
            (std::vector<std::string>{"1", "3", "0.600", "0.800", "0.700"}));
  EXPECT_EQ(rowCells(page, "clusters", "data-cluster", 2),
            (std::vector<std::string>{"2", "2", "0.400", "0.775", "0.600"}));
  // By cluster, least certain first; each row's probability is the table's.
  EXPECT_EQ(membershipOrder(page), (std::vector<int>{4, 2, 1, 5, 3}));
  EXPECT_EQ(rowCells(page, "membership", "data-item", 4),
            (std::vector<std::string>{"4", "1", "0.700"}));
  EXPECT_EQ(rowCells(page, "membership", "data-item", 3),
            (std::vector<std::string>{"3", "2", "0.950"}));
  // The summary's picture inline, its report escaped, no declaration inside the page.
  EXPECT_NE(page.find("<text>posterior on k</text>"), std::string::npos);
  EXPECT_EQ(page.find("<?xml"), std::string::npos);
  EXPECT_NE(page.find("Posterior on k: 2 &lt; 3 &amp; more"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
}

TEST(ReportPage, twoColumnsAreDrawnThemselves) {
  Fixture f(DataKind::Real, "0 0\n0 1\n5 5\n", "0 0 1 \n", {1, 1, 1});
  const std::string page = f.page();
  EXPECT_NE(page.find("The two columns"), std::string::npos);
  EXPECT_EQ(page.find("principal component"), std::string::npos);
}

TEST(ReportPage, perColumnFiguresOfEachKindLeaveMissingCellsOut) {
  struct Case {
    const char* what;
    DataKind kind;
    const char* data;
    const char* estimate;
    // Per data column: its number, all rows, cluster 1, cluster 2.
    std::vector<std::vector<std::string>> columns;
    std::vector<std::string> shown;  // text the page must hold besides
  };
  const Case cases[] = {
      {"real: mean (sd)", DataKind::Real, "0 0 1\n2 0 1\n10 10 5\n1 3 1\n12 NA 5\n", "0 0 1 0 1\n",
       {{"1", "5 (5.57)", "1 (1)", "11 (1.41)"},
        {"2", "3.25 (4.72)", "1 (1.73)", "10 (NA)"},
        {"3", "2.6 (2.19)", "1 (0)", "5 (0)"}},
       {"1 missing cells"}},
      {"0/1: share of 1s", DataKind::Binary, "1 0 NA\n1 1 0\n0 0 1\n0 NA 1\n", "0 0 1 1\n",
       {{"1", "0.50", "1.00", "0.00"}, {"2", "0.33", "0.50", "0.00"}, {"3", "0.67", "0.00", "1.00"}},
       {"NA (missing)", "2 missing cells"}},
      // A tie goes to the lower level; a column a cluster never shows is NA.
      {"categorical: most frequent level", DataKind::Categorical,
       "0 2 NA\n0 2 1\n1 2 1\n3 0 NA\n3 1 NA\n", "0 0 0 1 1\n",
       {{"1", "0: 0.40", "0: 0.67", "3: 1.00"},
        {"2", "2: 0.60", "2: 1.00", "0: 0.50"},
        {"3", "1: 1.00", "1: 1.00", "NA"}},
       {"title=\"0: 0.50, 1: 0.50\"", "level 3", "NA (missing)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f(c.kind, c.data, c.estimate, std::vector<double>(lines(c.data).size(), 1.0));
    const std::string page = f.page();
    for (size_t t = 0; t < c.columns.size(); t++)
      EXPECT_EQ(rowCells(page, "columns", "data-column", static_cast<int>(t) + 1), c.columns[t]);
    for (const std::string& text : c.shown) EXPECT_NE(page.find(text), std::string::npos) << text;
  }
}

TEST(ReportPage, alignmentGivesConsensusDistinctiveColumnsAndEscapedHeaders) {
  Fixture f(DataKind::Sequences, ">a<&>\"x\" first\nACDE\n>b\nACDF\n>c\nKLDE\n>d\nKL-E\n",
            "0 0 1 1 \n", {0.75, 0.5, 1, 0.25});
  const std::string page = f.page();
  EXPECT_NE(page.find("protein alignment"), std::string::npos);
  // Ties go to the earlier residue, a residue before the gap.
  EXPECT_EQ(rowCells(page, "clusters", "data-cluster", 1),
            (std::vector<std::string>{"1", "2", "0.500", "0.625", "0.500", "ACDE"}));
  EXPECT_EQ(rowCells(page, "clusters", "data-cluster", 2),
            (std::vector<std::string>{"2", "2", "0.500", "0.625", "0.250", "KLDE"}));
  // Columns 1 and 2 tell the clusters apart; 3 and 4 share their consensus.
  EXPECT_EQ(rowCells(page, "columns", "data-column", 1),
            (std::vector<std::string>{"1", "1.00", "A 0.50", "A 1.00", "K 1.00"}));
  EXPECT_EQ(rowCells(page, "columns", "data-column", 2),
            (std::vector<std::string>{"2", "1.00", "C 0.50", "C 1.00", "L 1.00"}));
  EXPECT_TRUE(rowCells(page, "columns", "data-column", 3).empty());
  EXPECT_TRUE(rowCells(page, "columns", "data-column", 4).empty());
  EXPECT_EQ(rowCells(page, "membership", "data-item", 1),
            (std::vector<std::string>{"1", "a&lt;&amp;&gt;&quot;x&quot; first", "1", "0.750"}));
  EXPECT_NE(page.find("<td>a&lt;&amp;&gt;&quot;x&quot; first</td>"), std::string::npos);
  EXPECT_EQ(page.find("a<&>"), std::string::npos);
  EXPECT_EQ(membershipOrder(page), (std::vector<int>{2, 1, 4, 3}));
}

// Column selection (-V): the selected columns (probability 0.5 or more) listed with what each
// cluster shows there, most probable first, and their bars marked in the tile map.
TEST(ReportPage, selectedColumnsAreListedAndMarked) {
  struct Case {
    DataKind kind;
    const char* data;
    std::vector<double> probability;
    const char* sentence;
    std::vector<std::vector<std::string>> rows;  // per column 1..columns: its cells, or none
  } cases[] = {
      // Cluster 2 shows D and a gap at column 3: the tie goes to the residue.
      {DataKind::Sequences, ">a\nACDE\n>b\nACDF\n>c\nKLDE\n>d\nKL-E\n", {0.5, 0.2, 0.9, 0.1},
       "finds 2 of 4 columns clustered with probability 0.5 or more: 3 (0.90: D), 1 (0.50: A/K).",
       {{"1", "0.50", "A 0.50", "A 1.00", "K 1.00"}, {}, {"3", "0.90", "D 0.75", "D 1.00", "D 0.50"}, {}}},
      {DataKind::Categorical, "0 1\n0 2\n3 1\n3 1\n", {1, 0.3},
       "finds 1 of 2 columns clustered with probability 0.5 or more: 1 (1.00: 0/3).",
       {{"1", "1.00", "0 0.50", "0 1.00", "3 1.00"}, {}}},
      {DataKind::Binary, "0 1\n0 0\n1 1\n1 0\n", {0.1, 0.2},
       "finds 0 of 2 columns clustered with probability 0.5 or more.", {{}, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    Fixture f(c.kind, c.data, "0 0 1 1 \n", {1, 1, 1, 1});
    f.input.columnProbability = c.probability;
    const std::string page = f.page();
    EXPECT_NE(page.find("Column selection (-V) " + std::string(c.sentence)), std::string::npos);
    for (size_t t = 0; t < c.rows.size(); t++)
      EXPECT_EQ(rowCells(page, "selected", "data-column", static_cast<int>(t + 1)), c.rows[t]);
    // The bars are the probabilities, labelled so; the selected ones red.
    EXPECT_NE(page.find(">clustered</text>"), std::string::npos);
    EXPECT_EQ(page.find("The bars above show how well"), std::string::npos);
    const bool anySelected = c.rows[0].size() + (c.rows.size() > 2 ? c.rows[2].size() : 0) > 0;
    EXPECT_EQ(page.find("<path fill=\"#c0392b\" d=\"\"/>") == std::string::npos, anySelected);
  }
  // Without them, nothing of the kind.
  Fixture plain(DataKind::Categorical, "0 1\n0 2\n3 1\n3 1\n", "0 0 1 1 \n", {1, 1, 1, 1});
  const std::string page = plain.page();
  EXPECT_EQ(page.find("Selected columns"), std::string::npos);
  EXPECT_EQ(page.find(">clustered</text>"), std::string::npos);
  // A list of another length is refused.
  plain.input.columnProbability = {0.5, 0.5, 0.5};
  try {
    plain.page();
    ADD_FAILURE() << "no refusal";
  } catch (const report::ReportError& e) {
    EXPECT_STREQ(e.what(), "Bad column probabilities: 3 for 2 columns");
  }
}

TEST(ReportPage, headersShowControlBytesAndAreCutWhenLong) {
  const std::string longHeader(300, 'h');
  Fixture f(DataKind::Sequences, ">x\ty\n-A\n>" + longHeader + "\nAA\n", "0 1\n", {1, 1});
  const std::string page = f.page();
  EXPECT_EQ(rowCells(page, "membership", "data-item", 1)[1], "x\\ty");
  EXPECT_EQ(rowCells(page, "membership", "data-item", 2)[1], std::string(200, 'h') + "…");
}

TEST(ReportPage, oneClusterOfSequencesHasNoDistinctiveColumns) {
  Fixture f(DataKind::Sequences, ">a\nAC\n>b\nKC\n", "0 0\n", {1, 1});
  const std::string page = f.page();
  EXPECT_NE(page.find("<h1 id=\"headline\">1 cluster among 2 observations</h1>"), std::string::npos);
  EXPECT_NE(page.find("No column tells the clusters apart"), std::string::npos);
  EXPECT_EQ(page.find("The bars above"), std::string::npos);
  EXPECT_EQ(page.find("<table id=\"columns\""), std::string::npos);
  EXPECT_EQ(rowCells(page, "clusters", "data-cluster", 1).back(), "AC");
}

TEST(ReportPage, oneObservationIsNamedInTheSingular) {
  Fixture f(DataKind::Sequences, ">a\nAC\n", "0\n", {1});
  EXPECT_NE(f.page().find("<h1 id=\"headline\">0 clusters, and 1 observation alone, among 1 observation</h1>"), std::string::npos);
}

TEST(ReportPage, refusesWithOneLineAndLeavesNoFile) {
  const double nan = std::nan("");
  struct Case {
    const char* what;
    std::vector<int> labels;
    std::vector<double> membership;
    const char* data;      // nullptr: no data file
    const char* line;      // the refusal's start
    bool namesFile;        // the line names the data file
    const char* picture = "<svg></svg>\n";
  };
  const Case cases[] = {
      {"estimate of another n", {0, 0, 1}, {1, 1, 1, 1}, "1 0\n0 1\n1 1\n0 0\n", "Estimate ", true},
      {"labels out of order", {0, 2, 1, 1}, {1, 1, 1, 1}, "1 0\n0 1\n1 1\n0 0\n", "Bad estimate: label 2", false},
      {"negative label", {0, -1, 1, 1}, {1, 1, 1, 1}, "1 0\n0 1\n1 1\n0 0\n", "Bad estimate: label -1", false},
      {"membership short of an item", {0, 0, 1, 1}, {1, 1, 1}, "1 0\n0 1\n1 1\n0 0\n",
       "Membership probabilities for 3 observations where the data have 4", false},
      {"probability above 1", {0, 0, 1, 1}, {1, 1.5, nan, 1}, "1 0\n0 1\n1 1\n0 0\n",
       "Bad membership probability of observation 2", false},
      {"missing data", {0, 0, 1, 1}, {1, 1, 1, 1}, nullptr, "Fail to read ", true},
      {"malformed data", {0, 0, 1, 1}, {1, 1, 1, 1}, "1 0\n0 1 1\n1 1\n0 0\n", "Bad matrix file ", true},
      {"0/1 matrix with a 2", {0, 0, 1, 1}, {1, 1, 1, 1}, "1 0\n0 2\n1 1\n0 0\n", "Bad 0/1 matrix ", true},
      {"picture without svg", {0, 0, 1, 1}, {1, 1, 1, 1}, "1 0\n0 1\n1 1\n0 0\n", "Bad summary picture: no <svg> element",
       false, "<html></html>\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.data) dir.write("data", c.data);
    dir.write("page.html", "earlier page");
    report::Input input;
    input.dataFile = dir.file("data");
    input.kind = DataKind::Binary;
    input.labels = c.labels;
    input.membership = c.membership;
    input.svg = c.picture;
    std::string line;
    const CaptureStdout console;  // the engine's readers show their refusal there too
    try {
      report::writeReport(input, dir.file("page.html"));
    } catch (const report::ReportError& error) {
      line = error.what();
    }
    EXPECT_EQ(line.rfind(c.line, 0), 0u) << line;
    if (c.namesFile) {
      EXPECT_NE(line.find(dir.path), std::string::npos) << line;
    }
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_EQ(dir.read("page.html"), "earlier page");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
      (void)entry;
      files++;
    }
    EXPECT_EQ(files, 1u + (c.data != nullptr));
  }
}

TEST(ReportPage, unwritablePageIsRefusedWithoutTemporaryFile) {
  Fixture f(DataKind::Binary, "1\n0\n", "0 1\n", {1, 1});
  const std::string page = f.dir.file("no-such-folder/page.html");
  try {
    report::writeReport(f.input, page);
    ADD_FAILURE() << "no refusal";
  } catch (const report::ReportError& error) {
    EXPECT_EQ(std::string(error.what()), "Fail to write " + page);
  }
  EXPECT_FALSE(f.dir.exists("no-such-folder"));
}

TEST(ReportPage, largeMatrixIsSampledAndStaysSmall) {
  const int n = 5000, d = 40;
  std::mt19937 generator(7);
  std::ostringstream data, estimate;
  std::vector<double> mates(n);
  for (int i = 0; i < n; i++) {
    const int label = i % 7 == 1 ? 1 : 0;
    for (int t = 0; t < d; t++) data << (generator() % 3 == 0 ? 1 - label : label) << ' ';
    data << '\n';
    estimate << label << ' ';
    mates[i] = 0.5 + (i % 50) / 100.0;
  }
  Fixture f(DataKind::Binary, data.str(), estimate.str(), mates);
  const std::string page = f.page();
  EXPECT_LT(page.size(), 3u << 20);
  // 5,000 rows in at most 400: one in every 13 of each cluster (715 + 4,285 members).
  EXPECT_NE(page.find("One row in every 13 of each cluster is shown (385 of 5000)"), std::string::npos);
  EXPECT_EQ(membershipOrder(page).size(), 5000u);
  EXPECT_NE(page.find("<details><summary>5000 observations"), std::string::npos);
}

}  // namespace
