// Heated chains through the program: -T N names the files and writes the same bytes whatever
// -j says, -T 1 is the plain run byte for byte, the log says what the ladder and the swaps
// did, and bad values are refused with one line.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

// Twelve rows of a 0/1 matrix in two loose groups.
const char* const kBinary =
    "1 1 0 0 1 0\n1 1 0 0 0 0\n1 0 0 0 1 0\n1 1 1 0 1 0\n0 0 1 1 0 1\n0 1 1 1 0 1\n"
    "0 0 1 1 0 0\n0 0 1 0 0 1\n1 0 0 1 1 1\n0 1 0 1 1 1\n1 0 1 1 1 1\n0 0 0 0 0 0\n";

const std::string kRun = "-m HDBern -f d.txt -k 0 -c integrated -q -i 30 -d 3 -s 4 ";

// The log or standard output without its clock lines and the echoed command line.
std::string timeless(const std::string& log) {
  std::string out;
  for (const std::string& line : lines(log))
    if (line.rfind("Started at", 0) != 0 && line.rfind("Finished in", 0) != 0 &&
        line.rfind(VORNAK_EXE, 0) != 0)
      out += line + "\n";
  return out;
}

// Every file of a run, the log without its clock lines, in one text.
std::string runFiles(const TempDir& dir, const std::string& stem) {
  std::string all;
  for (const char* suffix : {".log", ".save", ".finalz", ".best", ".draws"}) {
    const std::string text = dir.read(stem + suffix);
    all += std::string(suffix) + "\n" + (std::string(suffix) == ".log" ? timeless(text) : text);
  }
  return all;
}

TEST(HeatedProgram, SameFilesWhateverTheThreadCap) {
  for (const char* heuristic : {"OA", "SR2", "UX"}) {
    std::string first;
    for (const char* threads : {"1", "2", "4"}) {
      TempDir dir;
      dir.write("d.txt", kBinary);
      const ExeResult run =
          runExe(fields(kRun + "-h " + heuristic + " -T 3 -j " + threads), dir.path);
      ASSERT_EQ(run.status, 1) << run.out << run.err;
      const std::string stem = std::string("d_k0_") + heuristic + "_p_a0_i30_s4_T3";
      EXPECT_NE(run.out.find("fileStem: " + stem + "\n"), std::string::npos) << run.out;
      const std::string files = runFiles(dir, stem);
      if (first.empty())
        first = files;
      else
        EXPECT_EQ(files, first) << heuristic << " -j " << threads;
    }
  }
}

// -T combines with the options that draw or select (-A, -V, -W): every chain is built from
// the one configuration, the drawn alpha and P are recorded, and the files do not depend on
// the thread cap.
TEST(HeatedProgram, CombinesWithDrawnAlphaColumnSelectionAndDrawnP) {
  const std::pair<std::string, std::string> cases[] = {
      {"-A 2,1", "d_k0_OA_p_a0_i30_s4_A2,1_T3"},
      {"-V 0.3", "d_k0_OA_p_a0_i30_s4_T3_V0.3"},
      {"-V 0.3 -W 2,3", "d_k0_OA_p_a0_i30_s4_T3_V0.3_W2,3"},
  };
  for (const auto& c : cases) {
    std::string first;
    for (const char* threads : {"1", "3"}) {
      TempDir dir;
      dir.write("d.txt", kBinary);
      const ExeResult run =
          runExe(fields(kRun + "-h OA -T 3 -j " + threads + " " + c.first), dir.path);
      ASSERT_EQ(run.status, 1) << c.first << "\n" << run.out << run.err;
      EXPECT_NE(run.out.find("fileStem: " + c.second + "\n"), std::string::npos) << run.out;
      const std::string log = dir.read(c.second + ".log");
      EXPECT_NE(log.find("Heated chains (-T 3): "), std::string::npos) << log;
      EXPECT_NE(log.find("Heated chains: swap acceptance "), std::string::npos) << log;
      std::string files = runFiles(dir, c.second);
      for (const char* suffix : {".alpha", ".pdraws", ".columns"}) files += suffix + dir.read(c.second + suffix);
      // Ten draws (-i 30 -d 3) of each drawn parameter.
      if (c.first.find("-A") != std::string::npos) {
        EXPECT_EQ(lines(dir.read(c.second + ".alpha")).size(), 10u);
      }
      if (c.first.find("-W") != std::string::npos) {
        EXPECT_EQ(lines(dir.read(c.second + ".pdraws")).size(), 10u);
      }
      if (first.empty())
        first = files;
      else
        EXPECT_EQ(files, first) << c.first << " -j " << threads;
    }
  }
}

TEST(HeatedProgram, OneChainIsThePlainRun) {
  // With other further options, and with the usage-text options alone (no closing best-score
  // line, no stem part).
  const std::pair<std::string, std::string> runs[] = {
      {kRun + "-h OA", "d_k0_OA_p_a0_i30_s4"},
      {"-m HDBern -f d.txt -k 0 -c integrated -h SR2 -B 1", "d_k0_SR2_p_a0_B1"},
  };
  for (const auto& run : runs) {
    TempDir plain, one;
    plain.write("d.txt", kBinary);
    one.write("d.txt", kBinary);
    const ExeResult a = runExe(fields(run.first), plain.path);
    const ExeResult b = runExe(fields(run.first + " -T 1 -j 2"), one.path);
    ASSERT_EQ(a.status, 1) << a.out;
    ASSERT_EQ(b.status, 1) << b.out;
    // Standard output echoes the command line, which differs.
    EXPECT_EQ(timeless(b.out), timeless(a.out));
    for (const char* suffix : {".log", ".save", ".finalz", ".best"})
      EXPECT_EQ(timeless(one.read(run.second + suffix)), timeless(plain.read(run.second + suffix)))
          << run.first << suffix;
  }
}

TEST(HeatedProgram, LogStatesTheLadderAndTheSwaps) {
  TempDir dir;
  dir.write("d.txt", kBinary);
  ASSERT_EQ(runExe(fields(kRun + "-h OA -T 4 -l x"), dir.path).status, 1);
  const std::vector<std::string> log = lines(dir.read("d_k0_OA_p_a0_i30_s4_T4_x.log"));
  auto lineStarting = [&](const std::string& start) {
    for (std::size_t i = 0; i < log.size(); i++)
      if (log[i].rfind(start, 0) == 0) return static_cast<int>(i);
    return -1;
  };
  // 30 iterations adapt during the first 6 (a fifth), from the geometric 0.7 ladder.
  const int first = lineStarting("Heated chains (-T 4): inverse temperatures 1 0.7 0.49 0.343, "
                                 "adapted during the first 6 iterations");
  const int frozen = lineStarting("Heated chains: after iteration 6 the inverse temperatures are 1 ");
  const int swaps = lineStarting("Heated chains: swap acceptance from iteration 7: chains 1-2 ");
  ASSERT_GE(first, 0);
  ASSERT_GT(frozen, first);
  ASSERT_GT(swaps, frozen);
  // One proposal per iteration after the freeze: 24, shared among the three pairs.
  long proposed = 0;
  const std::vector<std::string> words = fields(log[swaps]);
  for (std::size_t w = 0; w + 1 < words.size(); w++)
    if (words[w + 1] == "of") proposed += std::stol(words[w + 2].substr(0, words[w + 2].size() - 1));
  EXPECT_EQ(proposed, 24);
  EXPECT_NE(log[swaps].find("chains 3-4 "), std::string::npos);
  // The best-score line stays the last.
  EXPECT_EQ(log.back().rfind("best score ", 0), 0u);
}

TEST(HeatedProgram, RefusesChainsAndThreadsOutOfRange) {
  struct Bad {
    const char* words;
    const char* line;
  };
  const Bad bad[] = {
      {"-T 0", "main(). -T must be a number of chains from 1 to 64: 0"},
      {"-T 65", "main(). -T must be a number of chains from 1 to 64: 65"},
      {"-T 2x", "main(). -T must be a number of chains from 1 to 64: 2x"},
      {"-j 0", "main(). -j must be a number of threads from 1 to 1024: 0"},
      {"-j -1", "main(). -j must be a number of threads from 1 to 1024: -1"},
  };
  for (const Bad& b : bad) {
    TempDir dir;
    dir.write("d.txt", kBinary);
    const ExeResult run = runExe(fields(kRun + "-h OA " + b.words), dir.path);
    EXPECT_EQ(run.status, 255) << b.words;
    EXPECT_NE(run.out.find(b.line), std::string::npos) << run.out;
    EXPECT_FALSE(dir.exists("d_k0_OA_p_a0_i30_s4_T2.log")) << b.words;
  }
}

TEST(HeatedProgram, ACriterionTheModelLeavesOutIsRefusedAsWithoutCopies) {
  TempDir plain, heated;
  for (const TempDir* dir : {&plain, &heated}) dir->write("d.txt", "0.1 0.2\n0.3 0.1\n5 5\n5.2 4.9\n");
  const std::string words = "-m mclust2 -f d.txt -k 0 -h OA -c classi -i 5 -q";
  const ExeResult a = runExe(fields(words), plain.path);
  const ExeResult b = runExe(fields(words + " -T 3"), heated.path);
  EXPECT_EQ(b.status, a.status);
  EXPECT_NE(a.status, 1);
  EXPECT_EQ(b.err, a.err);
  const std::vector<std::string> logA = lines(plain.read("d_k0_OA_p1_a0_i5.failed.log"));
  const std::vector<std::string> logB = lines(heated.read("d_k0_OA_p1_a0_i5_T3.failed.log"));
  ASSERT_FALSE(logA.empty());
  ASSERT_FALSE(logB.empty());
  EXPECT_EQ(logB.back(), logA.back());
}

TEST(HeatedProgram, EnumerationIgnoresHeatedChains) {
  TempDir plain, heated;
  for (const TempDir* dir : {&plain, &heated}) dir->write("d.txt", "1 0\n0 1\n1 1\n0 0\n");
  const std::string words = "-m HDBern -f d.txt -k 0 -h EN -c integrated";
  ASSERT_EQ(runExe(fields(words), plain.path).status, 1);
  ASSERT_EQ(runExe(fields(words + " -T 3 -j 2"), heated.path).status, 1);
  EXPECT_EQ(heated.read("d_k0_EN_p_a0.save"), plain.read("d_k0_EN_p_a0.save"));
  EXPECT_EQ(timeless(heated.read("d_k0_EN_p_a0.log")), timeless(plain.read("d_k0_EN_p_a0.log")));
}

}  // namespace
