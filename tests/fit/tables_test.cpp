// vornak-fit's tables beside the answer: clusters.csv and columns.csv, and the labels file of
// --classes.
#include "fit/Tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/TempDir.h"

namespace {

TEST(FitTablesText, ClustersCsvQuotesNamesAndNumbersTheRest) {
  EXPECT_EQ(fit::clustersCsv({"Alabama", "Arizona, AZ", "say \"hi\""}, {0, 1, 0}, {0.5, 1, std::nan("")}),
            "name,cluster,membership\nAlabama,1,0.5\n\"Arizona, AZ\",2,1\n\"say \"\"hi\"\"\",1,NA\n");
  EXPECT_EQ(fit::clustersCsv({}, {0, 0}, {0.123456789, 0.25}), "name,cluster,membership\n1,1,0.123457\n2,1,0.25\n");
}

TEST(FitTablesText, ColumnsCsvAveragesTheChains) {
  TempDir temp;
  temp.write("a.columns", "1 0.5\n2 1\n");
  temp.write("b.columns", "1 0.25\n2 0\n");
  temp.write("empty.columns", "");
  const std::vector<std::string> files = {temp.file("a.columns"), temp.file("b.columns"), temp.file("none.columns")};
  EXPECT_EQ(fit::columnsCsv(files, {"Murder", "x,y"}), "column,clustered\nMurder,0.375\n\"x,y\",0.5\n");
  EXPECT_EQ(fit::columnsCsv(files, {}), "column,clustered\n1,0.375\n2,0.5\n");
  EXPECT_EQ(fit::columnsCsv({temp.file("empty.columns")}, {}), "");
}

TEST(FitTablesText, LabelsFileForAPlainMatrix) {
  TempDir temp;
  temp.write("m.dat", "1 2\n3 4\n5 6\n");
  temp.write("labels.txt", "a\r\nNA\n b \n\n");
  fit::FitOptions options;
  options.dataFile = temp.file("m.dat");
  options.classes = temp.file("labels.txt");
  const fit::TableData data = fit::readTableData(options, false, 3);
  EXPECT_FALSE(data.table);
  EXPECT_EQ(data.classes, (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(data.classSource, "labels file " + temp.file("labels.txt"));
}

}  // namespace
