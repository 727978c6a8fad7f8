// The vornak-summary program itself on a small fixture: exit statuses, the files it writes and
// that they parse, the picture checked by an XML parser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "tests/summary/fixtures.h"

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// Whether an XML parser reads the file; skips the test when none is installed.
void expectWellFormedXml(const std::string& path) {
  std::string command;
  if (std::system("command -v xmllint >/dev/null 2>&1") == 0)
    command = "xmllint --noout '" + path + "'";
  else if (std::system("python3 -c 'import xml.dom.minidom' >/dev/null 2>&1") == 0)
    command = "python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' '" +
              path + "'";
  else
    GTEST_SKIP() << "neither xmllint nor python3 found: the SVG is not parsed";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(SummaryProgram, TwoChainsWriteFilesThatParse) {
  // Chains of 40 draws from the exact posterior of 6 items, under a name XML must escape.
  const auto exact = summary_test::exactPosterior({0, 0.3, 0.5, 1.4, 1.6, 2.9});
  TempDir dir;
  summary_test::writeDraws(dir.file("a&<b>.draws"), exact, summary_test::sampleIndices(exact, 40, 1));
  summary_test::writeDraws(dir.file("c.draws"), exact, summary_test::sampleIndices(exact, 40, 2));
  ExeResult run = runExe({"-o", "a&<b>", "a&<b>.draws", "c.draws"}, dir.path, VORNAK_SUMMARY_EXE);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* text : {"Posterior on the number of clusters k (40 draws)", "Point estimate",
                           "R-hat", "a&<b>.svg"})
    EXPECT_NE(run.out.find(text), std::string::npos) << text;

  std::vector<std::string> estimate = lines(dir.read("a&<b>.estimate"));
  ASSERT_EQ(estimate.size(), 1u);
  std::istringstream labels(estimate[0]);
  int count = 0;
  for (int label; labels >> label; count++) EXPECT_TRUE(label >= 0 && label < 6);
  EXPECT_EQ(count, 6);

  std::vector<std::string> tsv = lines(dir.read("a&<b>.summary.tsv"));
  ASSERT_FALSE(tsv.empty());
  EXPECT_EQ(tsv[0], "quantity\tchain\titem\tvalue");
  for (const auto& row : tsv) {
    size_t tabs = 0;
    for (char c : row) tabs += c == '\t';
    EXPECT_EQ(tabs, 3u) << row;
  }

  std::vector<std::string> psm = lines(dir.read("a&<b>.psm"));
  ASSERT_EQ(psm.size(), 6u);
  std::vector<std::vector<double>> p;
  for (const auto& row : psm) {
    std::istringstream in(row);
    p.emplace_back();
    for (double v; in >> v;) p.back().push_back(v);
    ASSERT_EQ(p.back().size(), 6u) << row;
  }
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(p[i][i], 1);
    for (int j = 0; j < 6; j++) {
      EXPECT_EQ(p[i][j], p[j][i]);
      EXPECT_TRUE(p[i][j] >= 0 && p[i][j] <= 1);
    }
  }

  const std::string svg = dir.read("a&<b>.svg");
  for (const char* title : {"Score trace", "Number of clusters k", "Posterior on the number of clusters",
                            "Posterior similarity, ordered by the estimate", "a&amp;&lt;b&gt;.draws"})
    EXPECT_NE(svg.find(title), std::string::npos) << title;
  expectWellFormedXml(dir.file("a&<b>.svg"));
}

// The legend's entries: x, y, the width the text may take (its textLength, else a generous
// 7.5 px per character) and the text.
struct LegendEntry {
  double x, y, width;
  std::string text;
};
std::vector<LegendEntry> legendEntries(const std::string& svg) {
  std::vector<LegendEntry> out;
  const std::string marker = "stroke-width=\"3\"/><text x=\"";
  for (size_t at = svg.find(marker); at != std::string::npos; at = svg.find(marker, at + 1)) {
    const size_t end = svg.find("</text>", at);
    const std::string element = svg.substr(at + marker.size() - 9, end - at - marker.size() + 9);
    auto attribute = [&](const std::string& name) {
      const size_t from = element.find(" " + name + "=\"");
      return from == std::string::npos ? -1.0 : std::stod(element.substr(from + name.size() + 3));
    };
    LegendEntry entry{attribute("x"), attribute("y"), attribute("textLength"),
                      element.substr(element.find('>') + 1)};
    if (entry.width < 0) entry.width = 7.5 * static_cast<double>(entry.text.size());
    out.push_back(entry);
  }
  return out;
}

TEST(SummaryProgram, LegendEntriesFitBesideEachOther) {
  const auto exact = summary_test::exactPosterior({0, 0.3, 1.6});
  for (int chains : {2, 5, 9, 14}) {
    SCOPED_TRACE(chains);
    TempDir dir;
    std::vector<std::string> args = {"-o", "sum"};
    for (int c = 0; c < chains; c++) {
      const std::string name = "a_long_folder_name_that_goes_on_" + std::string(60, 'x') +
                               "_chain_" + std::to_string(c + 1) + ".draws";
      summary_test::writeDraws(dir.file(name), exact,
                               summary_test::sampleIndices(exact, 10, static_cast<uint32_t>(c + 1)));
      args.push_back(name);
    }
    ASSERT_EQ(runExe(args, dir.path, VORNAK_SUMMARY_EXE).status, 0);
    const std::vector<LegendEntry> entries = legendEntries(dir.read("sum.svg"));
    ASSERT_FALSE(entries.empty());
    EXPECT_LE(entries.size(), static_cast<size_t>(chains));
    for (size_t a = 0; a < entries.size(); a++) {
      // Inside the picture and above the plots' titles (the first at y 90).
      EXPECT_LE(entries[a].x + entries[a].width, 1240) << entries[a].text;
      EXPECT_LE(entries[a].y, 80) << entries[a].text;
      for (size_t b = 0; b < entries.size(); b++)
        if (b != a && entries[b].y == entries[a].y && entries[b].x > entries[a].x) {
          EXPECT_LE(entries[a].x + entries[a].width, entries[b].x - 28) << entries[a].text;
        }
    }
    // Every chain is named or counted.
    const std::string& last = entries.back().text;
    if (entries.size() < static_cast<size_t>(chains))
      EXPECT_NE(last.find("more chains"), std::string::npos) << last;
    else
      EXPECT_NE(last.find("chain_" + std::to_string(chains)), std::string::npos) << last;
  }
}

TEST(SummaryProgram, ExitStatuses) {
  TempDir dir;
  dir.write("a.draws", "1 -1 2 0 1\n");
  EXPECT_EQ(runExe({}, dir.path, VORNAK_SUMMARY_EXE).status, 2);
  EXPECT_EQ(runExe({"--loss", "x", "a.draws"}, dir.path, VORNAK_SUMMARY_EXE).status, 255);
  EXPECT_EQ(runExe({"missing.draws"}, dir.path, VORNAK_SUMMARY_EXE).status, 255);
  EXPECT_EQ(runExe({"--help"}, dir.path, VORNAK_SUMMARY_EXE).status, 0);
  EXPECT_EQ(runExe({"a.draws"}, dir.path, VORNAK_SUMMARY_EXE).status, 0);
}

// Bytes of a file or of the command line that would drive the terminal are shown as escapes
// in the one failure line.
TEST(SummaryProgram, ControlCharactersInMessagesAreShownEscaped) {
  TempDir dir;
  dir.write("a.draws", "1 -1 2 0 1\n2 -1.\x1b[2J 2 0 1\n");
  const ExeResult bad = runExe({"a.draws"}, dir.path, VORNAK_SUMMARY_EXE);
  EXPECT_EQ(bad.status, 255);
  EXPECT_EQ(bad.err, "Malformed draws line: a.draws line 2: score is not a finite number: "
                     "-1.\\x1b[2J\n");
  const ExeResult loss = runExe({"--loss", "vi\r", "a.draws"}, dir.path, VORNAK_SUMMARY_EXE);
  EXPECT_EQ(loss.status, 255);
  EXPECT_EQ(loss.err, "Unknown loss (use vi or binder): vi\\r\n");
}

}  // namespace
