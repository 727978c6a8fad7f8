// The page leads with the verdict and draws the data in their own terms: the headline counts
// clusters of two or more and the observations alone, warnings sit under it in its colour,
// the scatter shows each point's certainty and each cluster's spread, a pairs plot shows the
// most separating columns, columns of different spreads are standardised (and the caption
// says so), ordered levels get a sequential palette. Figures are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "formats/Draws.h"
#include "report/Report.h"
#include "report/pairs.h"
#include "report/pictures.h"
#include "report/principal.h"
#include "support/TempDir.h"
#include "tests/summary/xml_check.h"

namespace {

using report::DataKind;

std::string page(DataKind kind, const std::string& data, const std::string& estimate,
                 const std::vector<double>& membership, const std::vector<std::string>& warnings = {}) {
  TempDir dir;
  dir.write("data", data);
  report::Input input;
  input.dataFile = dir.file("data");
  input.kind = kind;
  input.labels = formats::parsePartition(estimate);
  input.membership = membership;
  input.svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"></svg>\n";
  input.warnings = warnings;
  report::writeReport(input, dir.file("page.html"));
  return dir.read("page.html");
}

size_t count(const std::string& text, const std::string& what) {
  size_t found = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) found++;
  return found;
}

TEST(Headline, CountsClustersOfTwoOrMoreAndObservationsAlone) {
  struct Case {
    std::vector<std::vector<int>> members;
    int n;
    const char* text;
  };
  const Case cases[] = {
      {{{0, 1}, {2, 3, 4}}, 5, "2 clusters among 5 observations"},
      {{{0, 1, 2}, {3}, {4}, {5, 6}}, 7, "2 clusters, and 2 observations alone, among 7 observations"},
      {{{0, 1}, {2}}, 3, "1 cluster, and 1 observation alone, among 3 observations"},
      {{{0}, {1}}, 2, "0 clusters, and 2 observations alone, among 2 observations"},
  };
  for (const Case& c : cases) EXPECT_EQ(report::headlineText(c.members, c.n), c.text);
}

// Nine rows of four columns: the second's spread is about 0.5, the fourth's about 4000, so
// the picture is of the correlation; rows 1-4 and 5-8 are clusters, row 9 stands alone.
const char* const kMixedUnits =
    "0 0 0 0\n1 0.1 1 1000\n0 0.2 1 2000\n1 0.1 0 500\n"
    "5 1 6 9000\n6 1.1 5 8000\n5 1.2 6 9500\n6 1.1 5 8500\n20 3 20 100\n";

TEST(ReportVerdict, WarningsComeFirstInTheHeadlineColour) {
  const std::string warned = page(DataKind::Real, kMixedUnits, "0 0 0 0 1 1 1 1 2\n",
                                  std::vector<double>(9, 1.0), {"run longer (--minutes)", "a < b"});
  EXPECT_NE(warned.find("<h1 id=\"headline\" class=\"warned\">2 clusters, and 1 observation alone, among 9 "
                        "observations</h1>\n<ul id=\"warnings\" class=\"warned\">\n<li>run longer (--minutes)</li>\n"
                        "<li>a &lt; b</li>\n</ul>\n<p class=\"kind\">"),
            std::string::npos)
      << warned.substr(0, 2000);
  const std::string calm = page(DataKind::Real, kMixedUnits, "0 0 0 0 1 1 1 1 2\n", std::vector<double>(9, 1.0));
  EXPECT_NE(calm.find("<h1 id=\"headline\">2 clusters"), std::string::npos);
  EXPECT_EQ(calm.find("id=\"warnings\""), std::string::npos);
}

TEST(ReportVerdict, ScatterShowsCertaintyAndSpreadAndPairsTheColumns) {
  std::vector<double> membership(9, 1.0);
  membership[1] = 0.6;  // opacity 0.15 + 0.75 x 0.6
  const std::string text = page(DataKind::Real, kMixedUnits, "0 0 0 0 1 1 1 1 2\n", membership);
  EXPECT_NE(text.find("principal components of the correlation of the 4 columns"), std::string::npos);
  EXPECT_NE(text.find("The columns are standardised"), std::string::npos);
  EXPECT_EQ(count(text, "fill-opacity=\"0.60\""), 1u);
  EXPECT_EQ(count(text, "fill-opacity=\"0.90\""), 8u);
  EXPECT_EQ(count(text, "<ellipse "), 2u);  // the row alone has no spread
  EXPECT_NE(text.find("Pairs of columns in their own units"), std::string::npos);
  // Four columns, all shown: each named once on the diagonal.
  for (int t = 1; t <= 4; t++) EXPECT_EQ(count(text, ">column " + std::to_string(t) + "</text>"), 1u) << t;
  const std::vector<std::string> svgs = xml_check::svgElements(text);
  EXPECT_EQ(svgs.size(), 3u);  // scatter, pairs, the summary's
  for (const std::string& svg : svgs) EXPECT_EQ(xml_check::wellFormed(svg), "") << svg.substr(0, 200);
}

TEST(ReportVerdict, ColumnsOfOneSpreadAreNotStandardisedAndManyColumnsGetNoPairs) {
  std::string data;
  for (int i = 0; i < 6; i++) {
    for (int t = 0; t < 9; t++) data += std::to_string((i * 7 + t * 3) % 5 + (i >= 3 ? 10 : 0)) + " ";
    data += "\n";
  }
  const std::string text = page(DataKind::Real, data, "0 0 0 1 1 1\n", std::vector<double>(6, 1.0));
  EXPECT_NE(text.find("principal components of the covariance of the 9 columns"), std::string::npos);
  EXPECT_NE(text.find("The columns are not standardised"), std::string::npos);
  EXPECT_EQ(text.find("Pairs of columns"), std::string::npos);
}

TEST(ReportVerdict, OrderedLevelsGetASequentialPaletteOthersAQualitativeOne) {
  const std::string ordered = page(DataKind::Categorical, "1 2 3\n3 4 5\n5 4 2\n", "0 0 1\n", {1, 1, 1});
  EXPECT_NE(ordered.find("fill=\"#fde725\" stroke=\"#888\" stroke-width=\"0.5\"/><text x=\""), std::string::npos);
  EXPECT_NE(ordered.find("read as ordered"), std::string::npos);
  const std::string nominal = page(DataKind::Categorical, "0 5 19\n19 5 0\n5 0 19\n", "0 0 1\n", {1, 1, 1});
  EXPECT_EQ(nominal.find("#fde725"), std::string::npos);
  EXPECT_NE(nominal.find("#8dd3c7"), std::string::npos);
  EXPECT_EQ(nominal.find("read as ordered"), std::string::npos);
}

TEST(ReportVerdict, ResidueColoursAreNoClusterColours) {
  const std::string text = page(DataKind::Sequences, ">a\nACDEFGHIKLMNPQRSTVWY-\n>b\nACDEFGHIKLMNPQRSTVWY-\n", "0 1\n", {1, 1});
  for (int c = 0; c < 10; c++) {
    const std::string colour = report::clusterColour(c);
    // Clusters appear in the bands, the tables and the legend; no residue tile may share one.
    EXPECT_EQ(text.find("<path fill=\"" + colour), std::string::npos) << colour;
  }
}

TEST(Pictures, SequentialScaleAndOrderedLevels) {
  EXPECT_EQ(report::sequentialColour(0), "#fde725");
  EXPECT_EQ(report::sequentialColour(1), "#440154");
  EXPECT_EQ(report::sequentialColour(0.5), "#21918c");
  EXPECT_EQ(report::sequentialColour(0.125), "#aed844");  // halfway between the first two stops
  EXPECT_TRUE(report::orderedLevels({1, 2, 3}));
  EXPECT_TRUE(report::orderedLevels({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_FALSE(report::orderedLevels({1, 2}));
  EXPECT_FALSE(report::orderedLevels({0, 2, 3}));
}

TEST(Pictures, SpreadEllipseFromTheCovariance) {
  // A square's corners on the axes: covariance 2/3 I, radius sqrt(5.991 x 2/3).
  const report::Ellipse round = report::spreadEllipse({1, -1, 0, 0}, {0, 0, 1, -1});
  EXPECT_NEAR(round.cx, 0, 1e-12);
  EXPECT_NEAR(round.rx, std::sqrt(5.991 * 2 / 3), 1e-9);
  EXPECT_NEAR(round.ry, std::sqrt(5.991 * 2 / 3), 1e-9);
  // Points on the line y = x: all the spread along 45 degrees (var x = var y = cov = 1).
  const report::Ellipse line = report::spreadEllipse({-1, 0, 1}, {2, 3, 4});
  EXPECT_NEAR(line.cy, 3, 1e-12);
  EXPECT_NEAR(line.degrees, 45, 1e-9);
  EXPECT_NEAR(line.rx, std::sqrt(5.991 * 2), 1e-9);
  EXPECT_NEAR(line.ry, 0, 1e-6);
  EXPECT_EQ(report::spreadEllipse({1, 2}, {1, 2}).rx, 0);  // two points: no spread drawn
}

TEST(Pairs, SeparationIsBetweenOverWithinVariance) {
  Matrix<double> data(4, 2);
  const double cells[4][2] = {{0, 5}, {2, 1}, {10, 3}, {12, std::nan("")}};
  for (int i = 0; i < 4; i++)
    for (int t = 0; t < 2; t++) data[i][t] = cells[i][t];
  // Column 1: means 1 and 11 about 6: between 4 x 25 = 100, within 4 x 1 = 4.
  // Column 2 (the NA left out): means 3 and 3: between 0.
  const std::vector<double> separation = report::columnSeparation(data, {{0, 1}, {2, 3}});
  EXPECT_NEAR(separation[0], 25, 1e-12);
  EXPECT_NEAR(separation[1], 0, 1e-12);
  EXPECT_EQ(report::mostSeparating({0.5, 3, 0.1, 2, 9}, 3), (std::vector<int>{1, 3, 4}));
}

TEST(Principal, SpreadsThatDifferTenfoldAreStandardised) {
  struct Case {
    std::vector<double> column1, column2;
    bool differ;
  };
  const Case cases[] = {
      {{0, 1, 2}, {0, 11, 22}, true},     // standard deviations 1 and 11
      {{0, 1, 2}, {0, 9, 18}, false},     // 1 and 9
      {{0, 1, 2}, {5, 5, 5}, false},      // a constant column is left out
      {{0, 10, 20}, {0, 0.5, 1}, true},   // 10 and 0.5
  };
  for (const Case& c : cases) {
    Matrix<double> data(3, 2);
    for (int i = 0; i < 3; i++) {
      data[i][0] = c.column1[static_cast<size_t>(i)];
      data[i][1] = c.column2[static_cast<size_t>(i)];
    }
    EXPECT_EQ(report::spreadsDiffer(data), c.differ) << c.column2[1];
  }
  // Standardised, two perfectly correlated columns of any spreads share the variance 2 and
  // the axis (1, 1) / sqrt 2.
  Matrix<double> data(3, 2);
  for (int i = 0; i < 3; i++) {
    data[i][0] = i;
    data[i][1] = 100.0 * i;
  }
  const report::Components pc = report::principalComponents(data, report::kCovarianceWork, true);
  EXPECT_TRUE(pc.standardised);
  EXPECT_NEAR(pc.totalVariance, 2, 1e-12);
  EXPECT_NEAR(pc.variance[0], 2, 1e-12);
  EXPECT_NEAR(pc.axis[0][0], std::sqrt(0.5), 1e-9);
  EXPECT_NEAR(pc.axis[0][1], std::sqrt(0.5), 1e-9);
}

}  // namespace
