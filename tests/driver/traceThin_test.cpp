// The thinned score trace (-e THIN): .save keeps its first line and traces the start and the
// partition after every THIN-th iteration; the chain and every other file stay as without it.
#include <gtest/gtest.h>

#include <charconv>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

// Twelve rows of a 0/1 matrix in loose groups: the score changes at most visits.
const char* const kBinary =
    "1 1 0 0 1 0\n1 1 0 0 0 0\n1 0 0 0 1 0\n1 1 1 0 1 0\n0 0 1 1 0 1\n0 1 1 1 0 1\n"
    "0 0 1 1 0 0\n0 0 1 0 0 1\n1 0 0 1 1 1\n0 1 0 1 1 1\n1 0 1 1 1 1\n0 0 0 0 0 0\n";
const int kRows = 12;

// The run-length lines "score count" after the first line, expanded to one text per point.
std::vector<std::string> expand(const std::string& save) {
  std::vector<std::string> points;
  const std::vector<std::string> all = lines(save);
  for (std::size_t i = 1; i < all.size(); i++) {
    const std::vector<std::string> f = fields(all[i]);
    EXPECT_EQ(f.size(), 2u) << all[i];
    if (f.size() != 2) continue;
    for (long c = std::stol(f[1]); c > 0; c--) points.push_back(f[0]);
  }
  return points;
}

// Run-length lines of point texts, as the writer groups equal scores.
std::string runLengths(const std::vector<std::string>& points) {
  std::string out;
  for (std::size_t i = 0; i < points.size();) {
    std::size_t j = i;
    while (j < points.size() && points[j] == points[i]) j++;
    out += points[i] + " " + std::to_string(j - i) + "\n";
    i = j;
  }
  return out;
}

std::string tenDigits(const std::string& seventeen) {
  char text[64];
  const double value = std::stod(seventeen);
  return std::string(text, std::to_chars(text, text + sizeof text, value,
                                         std::chars_format::general, 10).ptr);
}

const std::string kOpen = "-m HDBern -f d.txt -k 0 -h OA -c integrated -q ";

TEST(TraceThin, KeepsTheStartAndEveryThinthIteration) {
  TempDir dir;
  dir.write("d.txt", kBinary);
  ASSERT_EQ(runExe(fields(kOpen + "-i 10 -d 3"), dir.path).status, 1);
  const ExeResult thinned = runExe(fields(kOpen + "-i 10 -d 3 -e 3"), dir.path);
  ASSERT_EQ(thinned.status, 1) << thinned.out;
  EXPECT_NE(thinned.out.find("\nfileStem: d_k0_OA_p_a0_i10_e3\n"), std::string::npos);
  const std::string full = "d_k0_OA_p_a0_i10", thin = "d_k0_OA_p_a0_i10_e3";
  // -e draws no random number: the same chain, the same other files.
  for (const char* suffix : {".finalz", ".best", ".draws"})
    EXPECT_EQ(dir.read(thin + suffix), dir.read(full + suffix)) << suffix;

  // Open k: every observation is visited, one trace point each, so the point after iteration
  // j is the unthinned trace's point 12 j (the start is point 0).
  const std::vector<std::string> points = expand(dir.read(full + ".save"));
  ASSERT_EQ(points.size(), 1u + 10 * kRows);
  const std::vector<std::string> kept = {points[0], points[3 * kRows], points[6 * kRows],
                                         points[9 * kRows]};
  const std::string fullSave = dir.read(full + ".save");
  const std::string firstLine = fullSave.substr(0, fullSave.find('\n') + 1);
  EXPECT_EQ(dir.read(thin + ".save"), firstLine + runLengths(kept));
  // The draws of iterations 3, 6, 9 score what the thinned trace holds for them.
  const std::vector<std::string> draws = lines(dir.read(thin + ".draws"));
  ASSERT_EQ(draws.size(), 3u);
  for (int i = 0; i < 3; i++) EXPECT_EQ(tenDigits(fields(draws[i])[1]), kept[i + 1]) << i;
}

TEST(TraceThin, CountsOnePointPerKeptIteration) {
  // Two rows, k fixed at 2: every partition has the one score, so the thinned trace is one
  // line whose count is 1 (the start) plus floor(iterations / THIN).
  const struct {
    const char* extra;
    long count;
  } cases[] = {{"-i 10 -e 3", 4}, {"-i 10 -e 10", 2}, {"-i 10 -e 11", 1}, {"-i 0 -e 1", 1},
               {"-i 7 -e 1", 8}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    TempDir dir;
    dir.write("d.txt", "1 0\n0 1\n");
    const ExeResult result =
        runExe(fields(std::string("-m HDBern -f d.txt -k 2 -h OA -c integrated -q ") + c.extra),
               dir.path);
    ASSERT_EQ(result.status, 1) << result.out;
    const std::string stem = fields(lines(result.out)[1])[1];
    const std::vector<std::string> save = lines(dir.read(stem + ".save"));
    ASSERT_EQ(save.size(), 2u);
    const std::vector<std::string> run = fields(save[1]);
    ASSERT_EQ(run.size(), 2u);
    EXPECT_EQ(std::stol(run[1]), c.count);
    // The start line's score, 6 digits, is the same score.
    EXPECT_NEAR(std::stod(fields(save[0])[0]), std::stod(run[0]), 1e-3);
  }
}

TEST(TraceThin, RefusedBeforeAnyFileAndLeftOutOfEnumerations) {
  const struct {
    const char* extra;
    const char* line;
  } cases[] = {
      {"-e 0", "main(). -e must be a whole number of iterations, 1 or more: 0\n"},
      {"-e x", "main(). -e must be a whole number of iterations, 1 or more: x\n"},
      {"-e -2", "main(). -e must be a whole number of iterations, 1 or more: -2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    TempDir dir;
    dir.write("d.txt", kBinary);
    const ExeResult result = runExe(fields(kOpen + "-i 2 " + c.extra), dir.path);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.out, c.line);
    EXPECT_FALSE(dir.exists("d_k0_OA_p_a0_i2.log"));
  }
  TempDir dir;
  dir.write("d.txt", "1 0\n0 1\n1 1\n");
  const ExeResult listed =
      runExe(fields("-m HDBern -f d.txt -k 0 -h EN -c integrated -e 2"), dir.path);
  EXPECT_EQ(listed.status, 1);
  EXPECT_NE(listed.out.find("\nfileStem: d_k0_EN_p_a0\n"), std::string::npos) << listed.out;
}

}  // namespace
