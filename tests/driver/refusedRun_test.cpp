// A run refused before its search leaves no file that blocks its corrected rerun: every file
// the run would create is checked before the first is made, and the log of a refused run is
// kept as STEM.failed.log, which blocks nothing. Runs that start their search keep their log.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

const char* const kRows = "0.1 0.3\n-0.2 0.1\n0.0 -0.1\n4.9 5.2\n5.3 4.8\n5.1 5.0\n";

std::vector<std::string> words(const std::string& line) { return fields(line); }

TEST(RefusedRun, ItsLogIsKeptAsFailedLogAndTheCorrectedRerunRuns) {
  const struct {
    const char* name;
    const char* data;      // the data file as first written
    const char* options;   // after -m mclust2 -f d.dat -k 0 -c integrated
    const char* stem;
    const char* failure;   // a line of standard output
    const char* logged;    // a line of the kept log
  } cases[] = {
      {"header line", "x y\n0.1 0.3\n-0.2 0.1\n", "-h OA -i 3", "d_k0_OA_p1_a0_i3",
       "Bad matrix file d.dat, line 1: not a number: x", "That was also the number"},
      {"heuristic listed but not run", kRows, "-h UW -i 3", "d_k0_UW_p1_a0_i3",
       "PartitionSampler::allIterations(). heuristics not supported: UW",
       "Iter 1\nPartitionSampler::allIterations(). heuristics not supported: UW\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    dir.write("d.dat", c.data);
    const std::string command = std::string("-m mclust2 -f d.dat -k 0 -c integrated ") + c.options;
    const ExeResult refused = runExe(words(command), dir.path);
    EXPECT_EQ(refused.status, 255);
    EXPECT_NE(refused.out.find(c.failure), std::string::npos) << refused.out;
    for (const char* suffix : {".log", ".save", ".finalz", ".best"})
      EXPECT_FALSE(dir.exists(std::string(c.stem) + suffix)) << suffix;
    const std::string failedLog = dir.read(std::string(c.stem) + ".failed.log");
    EXPECT_NE(failedLog.find(c.logged), std::string::npos) << failedLog;

    // The same command again meets the same refusal, not its own leftovers; so does a
    // corrected one.
    const ExeResult again = runExe(words(command), dir.path);
    EXPECT_EQ(again.status, 255);
    EXPECT_EQ(again.out.find("File already exists"), std::string::npos) << again.out;
    dir.write("d.dat", kRows);
    if (std::string(c.options).find("UW") == std::string::npos) {
      const ExeResult corrected = runExe(words(command), dir.path);
      EXPECT_EQ(corrected.status, 1) << corrected.out;
      EXPECT_TRUE(dir.exists(std::string(c.stem) + ".log"));
    }
  }
}

TEST(RefusedRun, AnExistingOutputStopsTheRunBeforeItCreatesAnyFile) {
  for (const char* suffix : {".draws", ".save", ".log"}) {
    SCOPED_TRACE(suffix);
    TempDir dir;
    dir.write("d.dat", kRows);
    const std::string stem = "d_k0_OA_p1_a0_i3_s4";
    dir.write(stem + suffix, "earlier\n");
    const std::vector<std::string> command =
        words("-m mclust2 -f d.dat -k 0 -c integrated -h OA -i 3 -s 4 -d 1");
    const ExeResult refused = runExe(command, dir.path);
    EXPECT_EQ(refused.status, 255);
    EXPECT_EQ(lines(refused.out).back(), "File already exists: " + stem + suffix);
    EXPECT_NE(refused.err.find(stem + suffix + " blocks this run"), std::string::npos);
    for (const char* other : {".log", ".save", ".draws", ".finalz", ".best", ".failed.log"})
      if (std::string(other) != suffix) {
        EXPECT_FALSE(dir.exists(stem + other)) << other;
      }
    EXPECT_EQ(dir.read(stem + suffix), "earlier\n");

    std::remove(dir.file(stem + suffix).c_str());
    EXPECT_EQ(runExe(command, dir.path).status, 1);
  }
}

TEST(RefusedRun, ABadStartPartitionIsRefusedBeforeTheSearch) {
  // A label outside 0..n-1 refuses the start; the corrected start runs under the same stem.
  TempDir dir;
  dir.write("d.dat", kRows);
  dir.write("z", "0 0 0 1 1 9\n");
  const ExeResult refused = runExe(words("-m mclust2 -f d.dat -k 0 -c integrated -h OA -i 2 -z z"), dir.path);
  EXPECT_EQ(refused.status, 255);
  EXPECT_FALSE(dir.exists("d_k0_OA_p1_a0_i2.log"));
  EXPECT_TRUE(dir.exists("d_k0_OA_p1_a0_i2.failed.log"));
  dir.write("z", "0 0 0 1 1 1\n");
  const ExeResult searched = runExe(words("-m mclust2 -f d.dat -k 0 -c integrated -h OA -i 2 -z z"), dir.path);
  EXPECT_EQ(searched.status, 1) << searched.out;
  EXPECT_TRUE(dir.exists("d_k0_OA_p1_a0_i2.log"));
}

}  // namespace
