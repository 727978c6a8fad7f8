// The summary as a value (summariseDraws): the text vornak-summary prints is made from it; the
// pairwise agreement of many chains stays bounded; scores equal within the stated tolerance are
// no disagreement and a chain whose score never moves is stuck; every picture is well-formed XML
// whatever bytes the file names hold.
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "summary/agreement.h"
#include "summary/diagnostics.h"
#include "summary/summary.h"
#include "support/TempDir.h"
#include "support/run_exe.h"
#include "tests/summary/xml_check.h"

namespace {

// A draws file of `lines` lines that all hold one partition, with the scores given in turn.
std::string drawsText(const std::string& labels, int k, const std::vector<double>& scores, int lines) {
  std::string text;
  char score[64];
  for (int l = 0; l < lines; l++) {
    std::snprintf(score, sizeof score, "%.17g", scores[static_cast<size_t>(l) % scores.size()]);
    text += std::to_string(10 * (l + 1)) + " " + score + " " + std::to_string(k) + " " + labels + "\n";
  }
  return text;
}

size_t count(const std::string& text, const std::string& what) {
  size_t found = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) found++;
  return found;
}

// Five chains on partition A = {1,2}{3,4}, four on B = {1,3}{2,4}. ARI(A, A) = 1; ARI(A, B):
// every cell of the table holds 1, so the index is (0 - 2*2/6) / ((2+2)/2 - 2*2/6) = -0.5. Of
// the 36 pairs, 20 mix A and B.
TEST(SummaryApi, ManyChainsSummariseTheirPairsInsteadOfListingThem) {
  TempDir dir;
  summary::Request request;
  for (int c = 0; c < 9; c++) {
    const std::string name = "c" + std::to_string(c + 1) + ".draws";
    dir.write(name, drawsText(c < 5 ? "0 0 1 1" : "0 1 0 1", 2, {-10, -11, -10.5, -12}, 40));
    request.files.push_back(dir.file(name));
  }
  request.prefix = dir.file("sum");
  const summary::Summary result = summary::summariseDraws(request);
  const summary::Agreements& a = result.agreement;
  EXPECT_TRUE(a.pairs.empty());
  EXPECT_EQ(a.count, 36u);
  EXPECT_DOUBLE_EQ(a.min, -0.5);
  EXPECT_EQ(a.minPair, "1-6");
  EXPECT_DOUBLE_EQ(a.median, -0.5);  // the 18th and 19th of 36 sorted
  EXPECT_DOUBLE_EQ(a.max, 1);
  const std::string text = summary::summaryText(result);
  EXPECT_NE(text.find("adjusted Rand index between the chains' own estimates: 36 pairs, smallest -0.5000 (1-6), "
                      "median -0.5000, largest 1.0000 ("),
            std::string::npos)
      << text;
  EXPECT_EQ(count(text, "1-2:"), 0u);
  const std::string table = dir.read("sum.summary.tsv");
  EXPECT_EQ(count(table, "\nari\t"), 4u);  // pairs, min, median, max
  EXPECT_NE(table.find("\nari\tall\tpairs\t36\n"), std::string::npos);
  EXPECT_EQ(result.estimate.labels.size(), 4u);
  EXPECT_EQ(result.mates.size(), 4u);
  EXPECT_EQ(dir.read("sum.svg"), result.svg);
}

TEST(SummaryApi, TheTextGrowsWithTheChainsNotTheirSquare) {
  // Per chain: a chain line, an ESS line, a line of its start and end, the draws, ESS, start,
  // best score, mode and in-estimate rows; the pairs add a constant.
  std::vector<size_t> textSize, tableSize;
  for (int chains : {16, 32}) {
    TempDir dir;
    summary::Request request;
    for (int c = 0; c < chains; c++) {
      const std::string name = "c" + std::to_string(c + 1) + ".draws";
      dir.write(name, drawsText(c % 2 ? "0 0 1 1" : "0 1 0 1", 2, {-10, -11, -10.5, -12}, 12));
      request.files.push_back(dir.file(name));
    }
    request.prefix = dir.file("sum");
    const summary::Summary result = summary::summariseDraws(request);
    textSize.push_back(summary::summaryText(result).size());
    tableSize.push_back(dir.read("sum.summary.tsv").size());
  }
  // Doubling 16 chains: 120 pairs become 496; a listing would add over 376 x 13 bytes.
  EXPECT_LT(textSize[1] - textSize[0], 16u * 260) << textSize[0] << " " << textSize[1];
  EXPECT_LT(tableSize[1] - tableSize[0], 16u * 260) << tableSize[0] << " " << tableSize[1];
}

TEST(SummaryApi, ThePrintedReportIsTheSummarysText) {
  TempDir dir;
  dir.write("a.draws", drawsText("0 0 1", 2, {-5, -6, -5.5}, 30));
  dir.write("b.draws", drawsText("0 1 1", 2, {-5, -6.5, -5.5}, 30));
  const ExeResult printed = runInChild(dir.path, [&] {
    return runSummary({"-o", "p", "a.draws", "b.draws"}, std::cout, std::cerr);
  });
  ASSERT_EQ(printed.status, 0) << printed.err;
  summary::Request request;
  request.files = {"a.draws", "b.draws"};
  request.prefix = "q";
  const ExeResult fromValue = runInChild(dir.path, [&] {
    std::cout << summary::summaryText(summary::summariseDraws(request));
    return 0;
  });
  std::string expected = printed.out;
  for (const char* suffix : {".estimate", ".summary.tsv", ".psm", ".svg"})
    for (size_t at = expected.find(std::string("p") + suffix); at != std::string::npos;
         at = expected.find(std::string("p") + suffix, at + 1))
      expected[at] = 'q';
  EXPECT_EQ(fromValue.out, expected);
  EXPECT_EQ(count(expected, "  1-2: "), 1u);  // two chains: the pair is listed
}

TEST(ScoreTolerance, RoundingOfOnePartitionsScoreIsNoDisagreement) {
  // The same partition scored with its terms summed in another order: 1.3e-12 apart.
  const double a = -6714.5464108656415, b = -6714.546410865642;
  ASSERT_NE(a, b);
  const summary::Chains merged = summary::mergeNearlyEqual({{a, a, b}, {b, -6714.5, a}});
  EXPECT_EQ(merged, (summary::Chains{{b, b, b}, {b, -6714.5, b}}));  // b is the smaller
  EXPECT_TRUE(summary::nearlyConstant({a, b, a}));
  EXPECT_FALSE(summary::nearlyConstant({a, a * (1 + 1e-8)}));

  TempDir dir;
  dir.write("a.draws", drawsText("0 1 2 3", 4, {a}, 40));
  dir.write("b.draws", drawsText("0 1 2 3", 4, {b}, 40));
  summary::Request request;
  request.files = {dir.file("a.draws"), dir.file("b.draws")};
  request.prefix = dir.file("sum");
  const summary::Summary result = summary::summariseDraws(request);
  EXPECT_TRUE(std::isnan(result.rhatScore)) << result.rhatScore;  // not 8e14
  for (const auto& warning : result.warnings) EXPECT_EQ(warning.find("R-hat"), std::string::npos) << warning;
  ASSERT_EQ(result.chains.size(), 2u);
  EXPECT_TRUE(result.chains[0].stuck && result.chains[1].stuck);
  EXPECT_EQ(count(summary::summaryText(result), "the chain did not move"), 2u);

  // While they run: stuck, never agreement, whatever the tolerance makes of R-hat.
  const summary::Agreement agreement = summary::checkAgreement(request.files, 0.5);
  EXPECT_EQ(agreement.stuck, (std::vector<size_t>{0, 1}));
  EXPECT_FALSE(agreement.agreed(1.01, 10));
  // One chain stuck beside a moving one.
  dir.write("c.draws", drawsText("0 1 2 3", 4, {-10, -11, -10.5, -12}, 40));
  const summary::Agreement one = summary::checkAgreement({dir.file("a.draws"), dir.file("c.draws")}, 0.5);
  EXPECT_EQ(one.stuck, (std::vector<size_t>{0}));
  EXPECT_FALSE(one.agreed(1e9, 0));
  // Moving chains whose scores differ only in rounding agree.
  dir.write("d.draws", drawsText("0 1 2 3", 4, {-10, -11, -10.5, -12}, 40));
  dir.write("e.draws", drawsText("0 1 2 3", 4, {-10 * (1 + 1e-13), -11, -10.5 * (1 - 1e-13), -12}, 40));
  const summary::Agreement moving = summary::checkAgreement({dir.file("d.draws"), dir.file("e.draws")}, 0.5);
  EXPECT_TRUE(moving.stuck.empty());
  EXPECT_LT(moving.rhatScore, 1.01);
}

TEST(SummaryXml, HostileAndLongNamesGiveAWellFormedPicture) {
  TempDir dir;
  std::string accents;
  for (int i = 0; i < 120; i++) accents += "\xc3\xa9";  // é: two bytes each
  const std::vector<std::string> names = {"\"><svg onload=alert(1)>\x01\x1bq_s1.draws", accents + "x_s2.draws",
                                          "bad\xff\xfe_s3.draws"};
  summary::Request request;
  for (const std::string& name : names) {
    dir.write(name, drawsText("0 0 1", 2, {-5, -6, -5.5}, 30));
    request.files.push_back(dir.file(name));
  }
  request.prefix = dir.file("sum\x1b");
  const summary::Summary result = summary::summariseDraws(request);
  EXPECT_EQ(xml_check::wellFormed(result.svg), "");
  EXPECT_EQ(xml_check::wellFormed(dir.read("sum\x1b.svg")), "");
  // The terminal gets no control byte from a name.
  const std::string text = summary::summaryText(result);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.find('\x01'), std::string::npos);
  EXPECT_NE(text.find("\\x01\\x1bq_s1.draws"), std::string::npos);
}

TEST(SummaryXml, TheCheckerFindsFaults) {
  const struct {
    const char* text;
    bool good;
  } cases[] = {
      {"<?xml version=\"1.0\"?>\n<svg a=\"1\"><text>x &amp; y &#233;</text><line/></svg>\n", true},
      {"<svg><text>\x01</text></svg>", false},
      {"<svg><text>\xc3</text></svg>", false},
      {"<svg><text>a & b</text></svg>", false},
      {"<svg><text></svg></text>", false},
      {"<svg a=1></svg>", false},
      {"<svg></svg><svg></svg>", false},
      {"<svg><text>", false},
  };
  for (const auto& c : cases) EXPECT_EQ(xml_check::wellFormed(c.text).empty(), c.good) << c.text;
}

}  // namespace
