// A large run's summary reads a thinned share of the kept draws (vornak-fit bounds its time so),
// and the score trace is scaled to the kept draws, not to a far-off start.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "summary/draws.h"
#include "summary/summary.h"
#include "summary/svg.h"
#include "support/TempDir.h"

namespace {

// Line l (1-based) of a chain: iteration 10 l, score -l, k 1 or 2, labels by l's parity.
std::string drawsLines(int lines) {
  std::string text;
  for (int l = 1; l <= lines; l++)
    text += std::to_string(10 * l) + " " + std::to_string(-l) + (l % 2 ? " 1 0 0 0" : " 2 0 0 1") + "\n";
  return text;
}

TEST(ThinKept, ReadsOneLineInEveryStepOfTheBurnInAndOfTheRest) {
  TempDir dir;
  dir.write("a.draws", drawsLines(10) + "not a draws line\n");  // skipped lines are not read
  // 11 lines, burn-in floor(0.4 x 11) = 4: lines 1 and 5, 9 (0-based 0; 4, 8) are read.
  const summary::Chain chain = summary::readDraws(dir.file("a.draws"), 0.4, 4);
  EXPECT_EQ(chain.burned, 1u);
  EXPECT_EQ(chain.iteration, (std::vector<long long>{10, 50, 90}));
  EXPECT_EQ(chain.score, (std::vector<double>{-1, -5, -9}));
  EXPECT_EQ(chain.clusters, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(chain.kept(), 2u);
  EXPECT_EQ(chain.labels, (std::vector<int>{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(summary::countLines(dir.file("a.draws")), 11u);
  dir.write("b.draws", "1 -1 1 0\n2 -2 1 0");  // the last line without its line break counts
  EXPECT_EQ(summary::countLines(dir.file("b.draws")), 2u);
  EXPECT_EQ(summary::readDraws(dir.file("b.draws"), 0.5, 1).kept(), 1u);
  EXPECT_THROW(summary::readDraws(dir.file("a.draws"), 0.4, 1), summary::InputError);  // every line read
}

TEST(ThinKept, MaxDrawsBoundsWhatTheSummaryReads) {
  TempDir dir;
  dir.write("a.draws", drawsLines(20));
  dir.write("b.draws", drawsLines(20));
  summary::Request request;
  request.files = {dir.file("a.draws"), dir.file("b.draws")};
  request.prefix = dir.file("s");
  request.maxDraws = 5;  // 20 kept draws: one in every 4, lines 11, 15, 19 of each
  const summary::Summary thinned = summary::summariseDraws(request);
  EXPECT_EQ(thinned.thinStep, 4u);
  ASSERT_EQ(thinned.chains.size(), 2u);
  EXPECT_EQ(thinned.chains[0].kept, 3u);
  // Lines 11, 15, 19 are odd: every draw kept is the one-cluster partition.
  EXPECT_EQ(thinned.posteriorK, (std::vector<std::pair<int, double>>{{1, 1.0}}));
  request.maxDraws = 0;
  request.prefix = dir.file("t");
  const summary::Summary all = summary::summariseDraws(request);
  EXPECT_EQ(all.thinStep, 1u);
  EXPECT_EQ(all.chains[0].kept, 10u);
}

// Line l (1-based) of a chain over n items: odd lines one cluster, even lines item i in
// cluster i mod 3.
std::string largeDrawsLines(int lines, int n) {
  std::string text;
  for (int l = 1; l <= lines; l++) {
    text += std::to_string(10 * l) + " " + std::to_string(-l) + (l % 2 ? " 1" : " 3");
    for (int i = 0; i < n; i++) text += l % 2 ? " 0" : " " + std::to_string(i % 3);
    text += "\n";
  }
  return text;
}

// Above kLargestMatrix items the summary holds at most maxDrawCells labels: the estimate's
// search and the membership probabilities then cost n times a bounded number of draws.
TEST(ThinKept, LargeNBoundsTheLabelsHeld) {
  TempDir dir;
  const int n = summary::kLargestMatrix + 1;
  dir.write("a.draws", largeDrawsLines(20, n));
  dir.write("b.draws", largeDrawsLines(20, n));
  summary::Request request;
  request.files = {dir.file("a.draws"), dir.file("b.draws")};
  request.prefix = dir.file("s");
  // 20 kept draws, room for 4: one line in every 5, 1-based lines 1 and 6 of the burn-in and
  // 11 and 16 of the kept ones.
  request.maxDrawCells = 4.0 * n;
  const summary::Summary bounded = summary::summariseDraws(request);
  EXPECT_EQ(bounded.thinStep, 5u);
  ASSERT_EQ(bounded.chains.size(), 2u);
  EXPECT_EQ(bounded.chains[0].kept, 2u);
  EXPECT_EQ(bounded.posteriorK, (std::vector<std::pair<int, double>>{{1, 0.5}, {3, 0.5}}));
  EXPECT_EQ(bounded.mates.size(), static_cast<size_t>(n));
  EXPECT_EQ(bounded.estimate.labels.size(), static_cast<size_t>(n));
  const std::string note = "one kept draw in every 5 was read: " + std::to_string(n) +
                           " items times the draws exceed " + std::to_string(4 * n) + " labels";
  EXPECT_NE(std::find(bounded.warnings.begin(), bounded.warnings.end(), note), bounded.warnings.end());
  for (const auto& file : bounded.written) EXPECT_EQ(file.first.find(".psm"), std::string::npos);
  // Within the bound every draw is read, and nothing is said.
  request.maxDrawCells = summary::kMostDrawCells;
  request.prefix = dir.file("t");
  const summary::Summary all = summary::summariseDraws(request);
  EXPECT_EQ(all.thinStep, 1u);
  EXPECT_EQ(all.chains[0].kept, 10u);
  for (const std::string& warning : all.warnings) EXPECT_EQ(warning.find("kept draw in every"), std::string::npos);
}

TEST(ThinKept, SmallNIgnoresTheBoundOnLabels) {
  TempDir dir;
  dir.write("a.draws", drawsLines(20));
  summary::Request request;
  request.files = {dir.file("a.draws")};
  request.prefix = dir.file("s");
  request.maxDrawCells = 1;
  const summary::Summary all = summary::summariseDraws(request);
  EXPECT_EQ(all.thinStep, 1u);
  EXPECT_EQ(all.chains[0].kept, 10u);
}

TEST(SummaryPicture, ScoreTraceRangeIsTheKeptDraws) {
  TempDir dir;
  // A start far below: score -10000, then the kept draws between -100 and -91.
  std::string text = "1 -10000 1 0 0\n";
  for (int l = 2; l <= 20; l++) text += std::to_string(l) + " " + std::to_string(-100 + l % 10) + " 1 0 0\n";
  dir.write("a.draws", text);
  summary::Request request;
  request.files = {dir.file("a.draws")};
  request.prefix = dir.file("s");
  const std::string svg = summary::summariseDraws(request).svg;
  // The score axis's tick labels lie within the kept draws' range, widened by 5 %.
  // Frame ticks come before the frame's title.
  const size_t title = svg.find("Score trace");
  ASSERT_NE(title, std::string::npos);
  static const std::regex tick("text-anchor=\"end\"[^>]*>(-?[0-9.]+)</text>");
  int ticks = 0;
  const std::string before = svg.substr(0, title);
  for (std::sregex_iterator it(before.begin(), before.end(), tick), stop; it != stop; ++it) {
    const double value = std::stod((*it)[1].str());
    EXPECT_GE(value, -101.0) << value;
    EXPECT_LE(value, -89.0) << value;
    ticks++;
  }
  EXPECT_GE(ticks, 2);
}

}  // namespace
