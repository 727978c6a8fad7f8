// vornak-fit on wide real data (few rows, many columns): the recommender picks the diagonal
// model, and the answer finds the groups instead of leaving every row alone as mclust2 did.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

#include "formats/Draws.h"
#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

TEST(FitWide, GroupsOfAWideSetAreFoundNotEveryRowAlone) {
  TempDir temp;
  // 24 rows in 3 groups, 30 columns, the groups 3 sd apart in every column: 24 < 5 x 31.
  std::mt19937 gen(11);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::ostringstream rows;
  for (int i = 0; i < 24; i++) {
    for (int t = 0; t < 30; t++) rows << (t ? " " : "") << 3.0 * (i % 3) + noise(gen);
    rows << '\n';
  }
  temp.write("wide.dat", rows.str());
  const ExeResult result =
      runExe({"wide.dat", "--chains", "2", "--minutes", "0.1"}, temp.path, VORNAK_FIT_EXE);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(temp.read("wide/report.html").find("-m diagonal"), std::string::npos);
  EXPECT_EQ(temp.read("wide/report.html").find("every-row-alone"), std::string::npos);
  const std::vector<int> labels = formats::parsePartition(temp.read("wide/summary.estimate"));
  ASSERT_EQ(labels.size(), 24u);
  // The three groups exactly: rows i and i + 3 together, rows of other groups apart.
  for (int i = 0; i < 24; i++)
    for (int j = i + 1; j < 24; j++) EXPECT_EQ(labels[i] == labels[j], i % 3 == j % 3) << i << " " << j;
}

}  // namespace
