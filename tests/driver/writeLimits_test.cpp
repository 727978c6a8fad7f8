// Runs whose writes are refused by the system rather than by a full disk: a standard output
// nobody reads (a pipe whose reader has gone, as with `| head`) is ignored as a full device's
// is and the run completes; a file-size limit makes the write fail, so the run ends through
// its write-failure path (status 255, the failure line, the partitions kept) instead of being
// killed. A write that fails says why on standard error.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

const int kRows = 30;

// A 0/1 matrix of three noisy groups.
std::string groupedMatrix() {
  std::ostringstream text;
  unsigned state = 4242;
  for (int i = 0; i < kRows; i++)
    for (int t = 0; t < 12; t++) {
      state = state * 1103515245u + 12345u;
      const bool value = ((t + i % 3) % 3 == 0) != ((state >> 16) % 8 == 0);
      text << (value ? 1 : 0) << (t < 11 ? " " : "\n");
    }
  return text.str();
}

int labelCount(const std::string& text) {
  std::istringstream labels(text);
  int count = 0;
  for (int label; labels >> label;) count++;
  return count;
}

TEST(WriteLimits, ClosedStandardOutputIsIgnoredAndTheRunCompletes) {
  TempDir dir;
  dir.write("d.txt", groupedMatrix());
  const ExeResult run =
      runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "3", "-c",
              "integrated", "-q"},
             dir.path, VORNAK_EXE, [] {
               int ends[2];
               if (pipe(ends) != 0) _exit(126);
               close(ends[0]);
               dup2(ends[1], STDOUT_FILENO);
               close(ends[1]);
             });
  const std::string stem = "d_k0_OA_p_a0_B3";
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(labelCount(dir.read(stem + ".finalz")), kRows);
  EXPECT_EQ(labelCount(dir.read(stem + ".best")), kRows);
  const std::string log = dir.read(stem + ".log");
  EXPECT_NE(log.find("acceptance rate for        overall: "), std::string::npos) << log;
  EXPECT_NE(log.find("\nbest score "), std::string::npos) << log;
}

TEST(WriteLimits, FileSizeLimitEndsTheRunThroughTheWriteFailurePath) {
  TempDir dir;
  dir.write("d.txt", groupedMatrix());
  // One draw per iteration outgrows 20 KiB within the first hundred iterations.
  const ExeResult run =
      runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "4", "-c",
              "integrated", "-q", "-d", "1"},
             dir.path, VORNAK_EXE, [] {
               const struct rlimit limit = {20 * 1024, 20 * 1024};
               if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
             });
  const std::string stem = "d_k0_OA_p_a0_B4";
  EXPECT_EQ(run.status, 255) << run.err;
  const std::vector<std::string> out = lines(run.out);
  ASSERT_FALSE(out.empty());
  EXPECT_TRUE(out.back() == "Fail to write " + stem + ".draws" ||
              out.back() == "Fail to write " + stem + ".save")
      << run.out;
  EXPECT_EQ(run.out.find("Finished in"), std::string::npos);
  // The specified line keeps its bytes; the reason follows on standard error.
  EXPECT_NE(run.err.find(out.back() + ": File too large\n"), std::string::npos) << run.err;
  // The partitions are small enough to go to disk: the run's result is kept.
  EXPECT_EQ(labelCount(dir.read(stem + ".finalz")), kRows);
  EXPECT_EQ(labelCount(dir.read(stem + ".best")), kRows);
  // The draws hold whole lines up to the limit.
  const std::string draws = dir.read(stem + ".draws");
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws.back(), '\n');
  EXPECT_LE(draws.size(), 20u * 1024);
}

// Without -q the log outgrows every other file: its failure, found when the stream has long
// lost the errno of the write that failed, still names the limit.
TEST(WriteLimits, TheLogReachingTheFileSizeLimitSaysSo) {
  TempDir dir;
  dir.write("d.txt", groupedMatrix());
  const ExeResult run =
      runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "4", "-c", "integrated"},
             dir.path, VORNAK_EXE, [] {
               const struct rlimit limit = {32 * 1024, 32 * 1024};
               if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
             });
  const std::string stem = "d_k0_OA_p_a0_B4";
  EXPECT_EQ(run.status, 255) << run.err;
  const std::vector<std::string> out = lines(run.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), "Fail to write " + stem + ".log") << run.out;
  EXPECT_NE(run.err.find("Fail to write " + stem + ".log: File too large\n"), std::string::npos) << run.err;
}

// A log name beyond what the file system takes: the specified line on standard output, the
// reason on standard error.
TEST(WriteLimits, NameTooLongGivesTheReasonOnStandardError) {
  TempDir dir;
  dir.write("d.txt", groupedMatrix());
  const std::string label(300, 'a');
  const ExeResult run = runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "1",
                                "-c", "integrated", "-l", label},
                               dir.path);
  const std::string line = "Fail to write d_k0_OA_p_a0_B1_" + label + ".log";
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(lines(run.out).back(), line);
  EXPECT_EQ(run.err, line + ": File name too long\n");
}

}  // namespace
