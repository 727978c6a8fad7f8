// An answer that leaves every observation alone is said in words, on the page and by the
// note's function; any shared cluster, or a single observation, is no such answer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Draws.h"
#include "report/Report.h"
#include "report/alone.h"
#include "support/TempDir.h"

namespace {

TEST(EveryRowAlone, OnlyWhenNoTwoObservationsShareACluster) {
  struct {
    std::vector<int> labels;
    bool alone;
  } cases[] = {
      {{0, 1, 2, 3}, true}, {{3, 0, 2, 1}, true}, {{0, 1}, true},
      {{0, 1, 1, 2}, false}, {{0, 0}, false}, {{0}, false}, {{}, false},
  };
  for (const auto& c : cases) {
    const std::string note = report::everyRowAloneNote(c.labels);
    EXPECT_EQ(!note.empty(), c.alone) << c.labels.size();
    if (c.alone) {
      EXPECT_NE(note.find("Every observation is alone"), std::string::npos);
    }
  }
}

TEST(EveryRowAlone, ThePageSaysSo) {
  for (const char* estimate : {"0 1 2 \n", "0 1 1 \n"}) {
    TempDir dir;
    dir.write("data", "0 0\n0 1\n5 5\n");
    report::Input input;
    input.labels = formats::parsePartition(estimate);
    input.membership = {1, 1, 1};
    input.svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1\" height=\"1\"></svg>\n";
    input.dataFile = dir.file("data");
    input.kind = report::DataKind::Real;
    report::writeReport(input, dir.file("page.html"));
    const std::string page = dir.read("page.html");
    EXPECT_EQ(page.find("id=\"every-row-alone\"") != std::string::npos,
              std::string(estimate) == "0 1 2 \n")
        << estimate;
  }
}

}  // namespace
