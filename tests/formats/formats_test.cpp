// The output-name table and the draws and partition formats: bytes written for hand-worked
// lines, every malformed line refused with its problem, and the fixture files that the R
// package's reader also reads (tests/formats/fixtures).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/AlphaDraws.h"
#include "formats/Draws.h"
#include "formats/OutputFiles.h"
#include "summary/draws.h"

namespace {

const std::string kFixtures = std::string(VORNAK_SOURCE_DIR) + "/tests/formats/fixtures/";

TEST(OutputFiles, EachRunListsItsFilesInCreationOrder) {
  using F = formats::OutputFiles;
  EXPECT_EQ(formats::runFiles("d_k0_EN_p_a0", true, 5),
            (F{{"log", "d_k0_EN_p_a0.log"}, {"save", "d_k0_EN_p_a0.save"}}));
  EXPECT_EQ(formats::runFiles("s", false, 0),
            (F{{"log", "s.log"}, {"save", "s.save"}, {"finalz", "s.finalz"}, {"best", "s.best"}}));
  const F withDraws = formats::runFiles("dir/s", false, 3);
  ASSERT_EQ(withDraws.size(), 5u);
  EXPECT_EQ(formats::fileOf(withDraws, "draws"), "dir/s.draws");
  EXPECT_EQ(formats::fileOf(withDraws, "psm"), "");
  // Only the partitions are rewritten by their own run; the rest are created exclusively.
  for (const auto& file : withDraws) {
    const formats::OutputKind* kind = formats::findOutputKind(file.first);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->replaced, file.first == "finalz" || file.first == "best") << file.first;
  }
  EXPECT_EQ(formats::failedLogName("dir/s"), "dir/s.failed.log");
  // Alpha's draws come with the draws only, last, created exclusively.
  const F withAlpha = formats::runFiles("s", false, 3, true);
  ASSERT_EQ(withAlpha.size(), 6u);
  EXPECT_EQ(withAlpha.back(), (std::pair<std::string, std::string>{"alpha", "s.alpha"}));
  EXPECT_FALSE(formats::findOutputKind("alpha")->replaced);
  EXPECT_EQ(formats::fileOf(formats::runFiles("s", false, 0, true), "alpha"), "");
  EXPECT_EQ(formats::fileOf(formats::runFiles("s", true, 3, true), "alpha"), "");
}

TEST(AlphaFormat, LinesKeepSeventeenDigitsAndRefuseWhatIsNotAnAlpha) {
  std::string line;
  formats::appendValueLine(line, 30, 0.1);
  formats::appendValueLine(line, 40, 2.5e-7);
  EXPECT_EQ(line, "30 0.10000000000000001\n40 2.4999999999999999e-07\n");
  long long iteration = 0;
  double alpha = 0;
  formats::parseAlphaLine("40\t2.4999999999999999e-07\r", iteration, alpha);
  EXPECT_EQ(iteration, 40);
  EXPECT_EQ(alpha, 2.5e-7);
  const struct {
    const char* line;
    const char* problem;
  } bad[] = {{"", "not two fields, ITER ALPHA: \"\""},
             {"3", "not two fields, ITER ALPHA: \"3\""},
             {"3 1 2", "not two fields, ITER ALPHA: \"3 1 2\""},
             {"x 1", "iteration is not a whole number: x"},
             {"3 0", "alpha is not a positive number: 0"},
             {"3 nan", "alpha is not a positive number: nan"},
             {"3 1e999", "alpha is not a positive number: 1e999"}};
  for (const auto& c : bad) {
    SCOPED_TRACE(c.line);
    try {
      formats::parseAlphaLine(c.line, iteration, alpha);
      ADD_FAILURE() << "accepted";
    } catch (const formats::FormatError& e) {
      EXPECT_EQ(std::string(e.what()), c.problem);
    }
  }
  EXPECT_EQ(formats::alphaFileOf("dir/a_s1.draws"), "dir/a_s1.alpha");
  EXPECT_EQ(formats::alphaFileOf("a.txt"), "");
}

TEST(DrawsFormat, LinesRenumberLabelsAndKeepSeventeenDigits) {
  const struct {
    long long iteration;
    double score;
    std::vector<int> labels;
    const char* line;
  } cases[] = {
      {12, -10.5, {3, 3, 0, 1, 0}, "12 -10.5 3 0 0 1 2 1\n"},
      // 0.1 is not a double: its nearest one needs 17 digits.
      {1, 0.1, {0}, "1 0.10000000000000001 1 0\n"},
      {3000000000LL, -1234.5, {1, 0, 2, 0}, "3000000000 -1234.5 3 0 1 2 1\n"},
  };
  std::vector<int> renumber(5, -1);
  for (const auto& c : cases) {
    std::string line;
    formats::appendDrawsLine(line, c.iteration, c.score, c.labels.data(),
                             static_cast<int>(c.labels.size()), renumber);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(renumber, std::vector<int>(5, -1)) << "scratch left dirty";
    // The reader gives back what was written, renumbered.
    formats::Draw draw;
    formats::parseDrawsLine(std::string(line, 0, line.size() - 1), 0, draw);
    EXPECT_EQ(draw.iteration, c.iteration);
    EXPECT_EQ(draw.score, c.score);
    std::vector<int> renumbered = c.labels;
    EXPECT_EQ(formats::renumberByFirstAppearance(renumbered, renumber), draw.k);
    EXPECT_EQ(draw.labels, renumbered);
  }
}

TEST(DrawsFormat, MalformedLinesNameTheirProblem) {
  const struct {
    const char* line;
    int n;
    const char* problem;
    const char* value;
  } cases[] = {
      {"", 0, "empty line", "\"\""},
      {" \t ", 0, "empty line", "\"\""},
      {"x -1 1 0", 0, "iteration is not a whole number", "x"},
      {"1", 0, "score is not a finite number", "missing"},
      {"1 nan 1 0", 0, "score is not a finite number", "nan"},
      {"1 -1", 0, "cluster count is not a whole number", "missing"},
      {"1 -1 1.5 0", 0, "cluster count is not a whole number", "1.5"},
      {"1 -1 1", 0, "no labels after the cluster count", "1"},
      {"1 -1 1 0 0", 3, "expected 3 labels as on line 1, found", "2"},
      {"1 -1 2 0 x", 0, "label is not a whole number", "x"},
      {"1 -1 2 0 2", 0, "label outside 0..1", "2"},
      {"1 -1 1 0 -1", 0, "label outside 0..1", "-1"},
      {"1 -1 3 0 1", 0, "the labels form 2 clusters, but K is", "3"},
  };
  for (const auto& c : cases) {
    formats::Draw draw;
    try {
      formats::parseDrawsLine(c.line, c.n, draw);
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const formats::FormatError& error) {
      EXPECT_EQ(error.problem, c.problem) << c.line;
      EXPECT_EQ(error.value, c.value) << c.line;
    }
  }
  // Tabs, runs of blanks and a carriage return at the end are read.
  formats::Draw draw;
  formats::parseDrawsLine("5\t-2.5  2 0\t1\r", 0, draw);
  EXPECT_EQ(draw.labels, (std::vector<int>{0, 1}));
}

TEST(PartitionFormat, EveryLabelFollowedByABlankThenALineBreak) {
  const std::vector<int> labels = {2, 2, 0, 1, 0};
  EXPECT_EQ(formats::partitionLine(labels.data(), 5), "2 2 0 1 0 \n");
  EXPECT_EQ(formats::partitionLine(labels.data(), 0), "\n");
  EXPECT_EQ(formats::parsePartition("2 2 0 1 0 \n"), labels);
  EXPECT_EQ(formats::parsePartition(" 3\r\n\t4"), (std::vector<int>{3, 4}));
  for (const char* bad : {"1 x", "1 -2", "1 2.5"})
    EXPECT_THROW(formats::parsePartition(bad), formats::FormatError) << bad;
}

// The fixtures R's readers are tested on too (R/vornak/tests/testthat/test-formats.R).
TEST(FormatFixtures, TheSummaryReaderReadsThemAsTheRPackageDoes) {
  const summary::Chain two = summary::readDraws(kFixtures + "two_lines.draws", 0);
  EXPECT_EQ(two.n, 3);
  EXPECT_EQ(two.iteration, (std::vector<long long>{2, 4}));
  EXPECT_EQ(two.score, (std::vector<double>{-10.5, -9.25}));
  EXPECT_EQ(two.clusters, (std::vector<int>{2, 3}));
  EXPECT_EQ(two.labels, (std::vector<int>{0, 0, 1, 0, 1, 2}));

  // Labels out of first-appearance order are renumbered; the burn-in drops the first line.
  const summary::Chain relabel = summary::readDraws(kFixtures + "relabel.draws", 0.5);
  EXPECT_EQ(relabel.burned, 1u);
  EXPECT_EQ(relabel.labels, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(relabel.iteration, (std::vector<long long>{7, 8}));

  try {
    summary::readDraws(kFixtures + "ragged.draws", 0);
    ADD_FAILURE() << "ragged.draws accepted";
  } catch (const summary::InputError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Malformed draws line: " + kFixtures +
                  "ragged.draws line 2: expected 3 labels as on line 1, found: 2");
  }

  std::ifstream in(kFixtures + "partition.finalz");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(formats::parsePartition(text), (std::vector<int>{2, 2, 0, 1, 0}));
}

}  // namespace
