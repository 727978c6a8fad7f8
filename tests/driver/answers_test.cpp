// Whole-program tests of the files that answer questions about a search: the seed (-s), the
// quiet log (-q), the sampled partitions (.draws, -d), the best partition (.best) and the
// exact iteration count (-i).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sampler/heuristics.h"
#include "support/TempDir.h"
#include "support/text.h"
#include "support/run_exe.h"

namespace {

// Twelve rows of a 0/1 matrix in three loose groups: chains move between several partitions.
const char* const kBinary =
    "1 1 0 0 1 0\n1 1 0 0 0 0\n1 0 0 0 1 0\n1 1 1 0 1 0\n0 0 1 1 0 1\n0 1 1 1 0 1\n"
    "0 0 1 1 0 0\n0 0 1 0 0 1\n1 0 0 1 1 1\n0 1 0 1 1 1\n1 0 1 1 1 1\n0 0 0 0 0 0\n";
const int kRows = 12;

std::vector<int> labelsOf(const std::string& text) {
  std::vector<int> z;
  std::istringstream in(text);
  for (int label; in >> label;) z.push_back(label);
  return z;
}

// Labels renumbered in order of first appearance.
std::vector<int> canonical(const std::vector<int>& z) {
  std::map<int, int> seen;
  std::vector<int> out;
  for (int label : z) out.push_back(seen.emplace(label, static_cast<int>(seen.size())).first->second);
  return out;
}

// A log without its wall-clock line.
std::string timeless(const std::string& log) {
  std::string out;
  for (const std::string& line : lines(log))
    if (line.rfind("Started at ", 0) != 0) out += line + "\n";
  return out;
}

std::string firstRows(const std::string& text, int rows) {
  size_t end = 0;
  for (int i = 0; i < rows; i++) end = text.find('\n', end) + 1;
  return text.substr(0, end);
}

ExeResult run(const TempDir& dir, const std::string& line) {
  return runExe(fields(line), dir.path);
}

const std::string kOpen = "-m HDBern -f d.txt -k 0 -c integrated ";

TEST(Seed, ChoosesTheChainAndNamesTheFiles) {
  TempDir dir;
  dir.write("d.txt", kBinary);
  ASSERT_EQ(run(dir, kOpen + "-h OA -B 2 -d 1").status, 1);
  ASSERT_EQ(run(dir, kOpen + "-h OA -B 2 -d 1 -s 2 -l two").status, 1);
  ASSERT_EQ(run(dir, kOpen + "-h OA -B 2 -d 1 -s 31 -l a").status, 1);
  ASSERT_EQ(run(dir, kOpen + "-h OA -B 2 -d 1 -s 31 -l b").status, 1);
  const ExeResult other = run(dir, kOpen + "-h OA -B 2 -d 1 -s 32");
  ASSERT_EQ(other.status, 1);
  EXPECT_EQ(other.out.rfind("\nfileStem: d_k0_OA_p_a0_B2_s32\n", 0), 0u) << other.out;
  const std::string unseeded = "d_k0_OA_p_a0_B2", two = "d_k0_OA_p_a0_B2_s2_two",
                    a = "d_k0_OA_p_a0_B2_s31_a", b = "d_k0_OA_p_a0_B2_s31_b",
                    c = "d_k0_OA_p_a0_B2_s32";
  for (const char* suffix : {".save", ".finalz", ".best", ".draws"}) {
    SCOPED_TRACE(suffix);
    // 2 is the default seed; a repeated seed repeats the chain.
    EXPECT_EQ(dir.read(two + suffix), dir.read(unseeded + suffix));
    EXPECT_EQ(dir.read(a + suffix), dir.read(b + suffix));
  }
  EXPECT_NE(dir.read(a + ".draws"), dir.read(c + ".draws"));
  EXPECT_NE(dir.read(a + ".draws"), dir.read(unseeded + ".draws"));
  // The log says the seed when it is given, and only then.
  EXPECT_NE(dir.read(a + ".log").find("\nRandom numbers seeded with 31\n"), std::string::npos);
  EXPECT_EQ(dir.read(unseeded + ".log").find("seeded"), std::string::npos);
}

TEST(Seed, RefusedBeforeAnyFile) {
  for (const char* seed : {"0", "4294967296", "-3", "seven"}) {
    SCOPED_TRACE(seed);
    TempDir dir;
    dir.write("d.txt", kBinary);
    const ExeResult result = run(dir, kOpen + "-h OA -B 2 -s " + seed);
    EXPECT_EQ(result.status, 255);
    EXPECT_EQ(result.out,
              std::string("main(). -s must be a whole number from 1 to 4294967295: ") + seed +
                  "\n");
    EXPECT_FALSE(dir.exists("d_k0_OA_p_a0_B2.log"));
  }
}

// Every heuristic of the table with and without -q, at k = 0 and, for a search that can keep
// k fixed, at k = 3: the files other than the log are the same bytes, and the quiet log is the
// full log with lines left out (the enumeration's listing is kept: its .save refers to it).
TEST(QuietLog, ChangesNothingButTheLog) {
  struct Case {
    const char* heuristic;
    int k;
  };
  std::vector<Case> cases;
  for (const Heuristic* h : allHeuristics()) {
    cases.push_back({h->name, 0});
    if (!h->needsOpenK && !h->enumerates()) cases.push_back({h->name, 3});
  }
  for (const auto& c : cases) {
    const std::string line = std::string("-m HDBern -f d.txt -c integrated -h ") + c.heuristic +
                             " -k " + std::to_string(c.k) + " -i 15 -d 2 -s 5";
    SCOPED_TRACE(line);
    TempDir full, quiet;
    // The listing grows with the Bell number of the rows: seven rows list 877 partitions
    // where twelve would list four million.
    const bool lists = std::string(c.heuristic) == "EN";
    const std::string data = lists ? firstRows(kBinary, 7) : kBinary;
    full.write("d.txt", data);
    quiet.write("d.txt", data);
    const ExeResult fullRun = run(full, line);
    const ExeResult quietRun = run(quiet, line + " -q");
    ASSERT_EQ(fullRun.status, 1) << fullRun.out;
    ASSERT_EQ(quietRun.status, 1) << quietRun.out;
    const std::string stem = lists ? "d_k0_EN_p_a0"
                                   : "d_k" + std::to_string(c.k) + "_" + c.heuristic +
                                         "_p_a0_i15_s5";
    for (const char* suffix : {".save", ".finalz", ".best", ".draws"}) {
      SCOPED_TRACE(suffix);
      EXPECT_EQ(full.exists(stem + suffix), quiet.exists(stem + suffix));
      EXPECT_EQ(full.read(stem + suffix), quiet.read(stem + suffix));
    }
    EXPECT_EQ(full.exists(stem + ".draws"), !lists);
    const std::vector<std::string> fullLog = lines(timeless(full.read(stem + ".log")));
    const std::vector<std::string> quietLog = lines(timeless(quiet.read(stem + ".log")));
    if (lists) {
      EXPECT_EQ(quietLog, fullLog);
      continue;
    }
    EXPECT_LT(quietLog.size() * 2, fullLog.size());
    size_t at = 0;
    for (const std::string& kept : quietLog) {
      while (at < fullLog.size() && fullLog[at] != kept) at++;
      ASSERT_LT(at, fullLog.size()) << "not in the full log, in order: " << kept;
      at++;
    }
    for (const std::string& kept : quietLog) EXPECT_NE(kept.rfind("Iter ", 0), 0u) << kept;
    // What stays: the start lines, the files, the rates and the best score.
    EXPECT_EQ(quietLog.at(1), "That was also the number used to initialize rng. ");
    EXPECT_EQ(quietLog.at(2), "Random numbers seeded with 5");
    EXPECT_NE(std::find(quietLog.begin(), quietLog.end(), "  write " + stem + ".finalz"),
              quietLog.end());
    EXPECT_EQ(quietLog.back().rfind("best score ", 0), 0u);
    EXPECT_EQ(quietLog[quietLog.size() - 2].rfind("15 ", 0), 0u);
  }
}

// The scores of the trace, point by point, from the run-length lines of .save.
std::vector<std::string> traceScores(const std::string& save) {
  std::vector<std::string> out;
  const std::vector<std::string> all = lines(save);
  for (size_t i = 1; i < all.size(); i++) {
    const std::vector<std::string> f = fields(all[i]);
    out.insert(out.end(), std::stol(f.at(1)), f.at(0));
  }
  return out;
}

TEST(Draws, OneLinePerThinIterationsEndingWithTheFinalPartition) {
  const struct {
    const char* length;
    int thin;
    long lines;
  } cases[] = {{"-B 2", 7, 14}, {"-B 2", 1, 100}, {"-B 2", 100, 1}, {"-B 1", 20, 0},
               {"-i 30", 3, 10}, {"-i 0", 1, 0}};
  for (const char* heuristic : {"OA", "UX2", "JN"}) {
    for (const auto& c : cases) {
      const std::string line = kOpen + "-h " + heuristic + " " + c.length + " -d " +
                               std::to_string(c.thin) + " -q";
      SCOPED_TRACE(line);
      TempDir dir;
      dir.write("d.txt", kBinary);
      const ExeResult result = run(dir, line);
      ASSERT_EQ(result.status, 1) << result.out;
      const std::string stem = fields(result.out).at(1);
      const std::string text = dir.read(stem + ".draws");
      const std::vector<std::string> draws = lines(text);
      ASSERT_EQ(static_cast<long>(draws.size()), c.lines);
      if (draws.empty()) {
        EXPECT_EQ(text, "");
        continue;
      }
      EXPECT_EQ(text.back(), '\n');
      for (size_t i = 0; i < draws.size(); i++) {
        const std::vector<std::string> f = fields(draws[i]);
        ASSERT_EQ(static_cast<int>(f.size()), 3 + kRows) << draws[i];
        EXPECT_EQ(std::stol(f[0]), static_cast<long>((i + 1) * c.thin));
        // Single blanks, no blank at the end.
        EXPECT_EQ(draws[i].find("  "), std::string::npos);
        EXPECT_NE(draws[i].back(), ' ');
        std::vector<int> z;
        for (size_t j = 3; j < f.size(); j++) z.push_back(std::stoi(f[j]));
        EXPECT_EQ(z, canonical(z)) << draws[i];
        EXPECT_EQ(std::stoi(f[2]), *std::max_element(z.begin(), z.end()) + 1);
      }
      // A last draw after the last iteration is the final partition, relabelled, with the
      // trace's last score (10 digits there, 17 here).
      const std::vector<std::string> last = fields(draws.back());
      const long iterations = std::stol(fields(lines(dir.read(stem + ".log")).rbegin()[1]).at(0));
      if (std::stol(last[0]) != iterations) {
        EXPECT_LT(iterations - std::stol(last[0]), c.thin);
        continue;
      }
      std::vector<int> z;
      for (size_t j = 3; j < last.size(); j++) z.push_back(std::stoi(last[j]));
      EXPECT_EQ(z, canonical(labelsOf(dir.read(stem + ".finalz"))));
      const double score = std::stod(last[1]);
      EXPECT_NEAR(score, std::stod(traceScores(dir.read(stem + ".save")).back()),
                  1e-9 * std::fabs(score));
    }
  }
}

// The best partition and its score: the highest of the trace, written like .finalz, given
// back with -z it scores the same.
TEST(Best, HighestScoreOfTheTrace) {
  for (const char* heuristic : {"OA", "UX", "DA2", "SR"}) {
    SCOPED_TRACE(heuristic);
    TempDir dir;
    dir.write("d.txt", kBinary);
    const std::string stem = std::string("d_k0_") + heuristic + "_p_a0_B2_s3";
    ASSERT_EQ(run(dir, kOpen + "-h " + heuristic + " -B 2 -s 3 -q").status, 1);
    std::vector<std::string> scores = traceScores(dir.read(stem + ".save"));
    ASSERT_FALSE(scores.empty());
    double best = -INFINITY;
    std::string bestText;
    for (const std::string& s : scores)
      if (std::stod(s) > best) best = std::stod(s), bestText = s;
    const std::vector<std::string> log = lines(dir.read(stem + ".log"));
    const std::string bestFile = dir.read(stem + ".best");
    const std::vector<int> bestZ = labelsOf(bestFile);
    EXPECT_EQ(log.back(), "best score " + bestText + " (clusters: " +
                              std::to_string(*std::max_element(bestZ.begin(), bestZ.end()) + 1) +
                              ") in " + stem + ".best");
    ASSERT_EQ(static_cast<int>(labelsOf(bestFile).size()), kRows);
    EXPECT_EQ(bestFile.substr(bestFile.size() - 2), " \n");
    EXPECT_FALSE(dir.exists(stem + ".best.tmp"));
    const ExeResult again = run(dir, kOpen + "-h OA -i 0 -l again -z " + stem + ".best");
    ASSERT_EQ(again.status, 1) << again.out;
    const double startScore =
        std::stod(fields(lines(dir.read("d_k0_OA_p_a0_i0_again.save")).at(0)).at(0));
    EXPECT_NEAR(startScore, best, 1e-5 * std::fabs(best));
  }
}

// Options of the usage text only: the log stays as it always was, ending with the rates; the .best
// file is written all the same.
TEST(Best, UsageTextOptionsKeepTheLog) {
  TempDir dir;
  dir.write("d.txt", kBinary);
  ASSERT_EQ(run(dir, kOpen + "-h OA -B 1").status, 1);
  const std::string stem = "d_k0_OA_p_a0_B1";
  const std::vector<std::string> log = lines(dir.read(stem + ".log"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "next line prints idx, acceptanceRatio");
  EXPECT_EQ(dir.read(stem + ".log").find("best score"), std::string::npos);
  EXPECT_EQ(labelsOf(dir.read(stem + ".best")).size(), static_cast<size_t>(kRows));
}

// With a fixed single cluster no iteration runs: the one partition is the best, and the
// draws file is empty.
TEST(Best, SingleFixedCluster) {
  TempDir dir;
  dir.write("d.txt", kBinary);
  const ExeResult result = run(dir, "-m HDBern -f d.txt -k 1 -c integrated -h OA -B 2 -d 1");
  ASSERT_EQ(result.status, 1) << result.out;
  const std::string stem = "d_k1_OA_p_a0_B2";
  const std::string zeros = "0 0 0 0 0 0 0 0 0 0 0 0 \n";
  EXPECT_EQ(dir.read(stem + ".best"), zeros);
  EXPECT_EQ(dir.read(stem + ".finalz"), zeros);
  EXPECT_EQ(dir.read(stem + ".draws"), "");
  const std::string score = fields(dir.read(stem + ".save")).at(0);
  EXPECT_EQ(lines(dir.read(stem + ".log")).back(),
            "best score " + score + " (clusters: 1) in " + stem + ".best");
}

// A draw's score is the score of its partition: the enumeration of every partition of five
// observations gives the same numbers by another path.
TEST(Draws, ScoresAgreeWithTheEnumeration) {
  TempDir dir;
  dir.write("d.txt", "1 1 0 0\n1 0 0 0\n0 0 1 1\n0 1 1 1\n1 1 1 0\n");
  ASSERT_EQ(run(dir, "-m HDBern -f d.txt -k 0 -c integrated -h EN").status, 1);
  ASSERT_EQ(run(dir, "-m HDBern -f d.txt -k 0 -c integrated -h UX2 -i 40 -d 1 -q").status, 1);
  const std::vector<std::string> listed = lines(dir.read("d_k0_EN_p_a0.log"));
  const std::vector<std::string> scores = lines(dir.read("d_k0_EN_p_a0.save"));
  ASSERT_EQ(listed.size(), 52u);
  ASSERT_EQ(scores.size(), 52u);
  std::map<std::vector<int>, double> exact;
  for (size_t i = 0; i < listed.size(); i++)
    exact[canonical(labelsOf(listed[i]))] = std::stod(scores[i]);
  const std::vector<std::string> draws = lines(dir.read("d_k0_UX2_p_a0_i40.draws"));
  ASSERT_EQ(draws.size(), 40u);
  std::map<std::vector<int>, int> visited;
  for (const std::string& draw : draws) {
    const std::vector<std::string> f = fields(draw);
    std::vector<int> z;
    for (size_t j = 3; j < f.size(); j++) z.push_back(std::stoi(f[j]));
    ASSERT_EQ(exact.count(z), 1u) << draw;
    EXPECT_NEAR(std::stod(f[1]), exact[z], 1e-9 * std::fabs(exact[z])) << draw;
    visited[z]++;
  }
  EXPECT_GT(visited.size(), 1u);
}

}  // namespace
