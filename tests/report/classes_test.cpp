// Known classes against the estimate: the adjusted Rand index and the variation of information
// on tiny partitions worked by hand, and the confusion table.
#include "report/classes.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace report;

namespace {

struct Case {
  const char* what;
  std::vector<int> a, b;
  double ari, vi;
};

// Worked by hand from the contingency table n_ij with margins a_i, b_j:
// ARI = (sum C(n_ij,2) - E) / ((sum C(a_i,2) + sum C(b_j,2)) / 2 - E), E = sum C(a_i,2) sum C(b_j,2) / C(n,2);
// VI = 2 H(a, b) - H(a) - H(b) in bits.
TEST(KnownClasses, IndexAndVariationOfInformationByHand) {
  const Case cases[] = {
      // n_ij 2,1,1: sum 1; margins 2,2 (2) and 3,1 (3); E = 6/6 = 1; max 2.5. H(a,b) = 1.5,
      // H(a) = 1, H(b) = 2 - 0.75 log2 3.
      {"one moved", {0, 0, 1, 1}, {0, 0, 0, 1}, 0.0, 3 - 1 - (2 - 0.75 * std::log2(3.0))},
      {"equal up to relabelling", {0, 0, 1, 2}, {5, 5, 0, 1}, 1.0, 0.0},
      // n_ij 2,1,1,2: sum 2; margins 3,3 and 3,3: 6 each; E = 36/15 = 2.4; max 6: -0.4/3.6.
      // H(a,b) = 2 (1/3 log2 3 + 1/6 log2 6), H(a) = H(b) = 1.
      {"crossed", {0, 0, 0, 1, 1, 1}, {0, 0, 1, 1, 1, 0}, -1.0 / 9,
       2 * 2 * (std::log2(3.0) / 3 + std::log2(6.0) / 6) - 2},
      // One cluster against all apart: index 0, E 0, max C(3,2)/2 = 1.5. VI = H(b) = log2 3.
      {"one against apart", {0, 0, 0}, {0, 1, 2}, 0.0, std::log2(3.0)},
      {"both one cluster", {0, 0, 0}, {1, 1, 1}, 1.0, 0.0},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(adjustedRandIndex(c.a, c.b), c.ari, 1e-12) << c.what;
    EXPECT_NEAR(adjustedRandIndex(c.b, c.a), c.ari, 1e-12) << c.what;
    EXPECT_NEAR(variationOfInformation(c.a, c.b), c.vi, 1e-12) << c.what;
    EXPECT_NEAR(variationOfInformation(c.b, c.a), c.vi, 1e-12) << c.what;
  }
}

TEST(KnownClasses, ConfusionTableLeavesUnknownClassesOut) {
  const ClassComparison c = compareClasses({0, 0, 1, 1, 1}, {"b", "b", "a", "", "b"});
  EXPECT_EQ(c.classes, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(c.counts, (std::vector<std::vector<long>>{{0, 2}, {1, 1}}));
  EXPECT_EQ(c.compared, 4);
  EXPECT_EQ(c.unlabelled, 1);
  // The figures are those of the four items with a class: {0,0,1,1} against {1,1,0,1}.
  EXPECT_NEAR(c.ari, adjustedRandIndex({0, 0, 1, 1}, {1, 1, 0, 1}), 1e-15);
  const std::string html = classesSection(c, "column <kind>");
  EXPECT_NE(html.find("column &lt;kind&gt;"), std::string::npos);
  EXPECT_NE(html.find("<th>a</th><th>b</th>"), std::string::npos);
  EXPECT_NE(html.find("1 observations without a class"), std::string::npos);
}

}  // namespace
