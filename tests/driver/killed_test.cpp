// A run killed outright (SIGKILL, as out-of-memory killers and batch schedulers do) leaves
// files a user can go on from: a .finalz and a .best from the first checkpoint, which comes
// right after the first iteration, and a trace and draws made of whole lines only.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/text.h"
#include "support/run_exe.h"

namespace {

const int kRows = 40;

// A 0/1 matrix of four noisy groups: the score changes often, so the trace grows fast.
std::string noisyMatrix() {
  std::ostringstream text;
  unsigned state = 99;
  for (int i = 0; i < kRows; i++)
    for (int t = 0; t < 16; t++) {
      state = state * 1103515245u + 12345u;
      const bool value = ((t + i % 4) % 4 == 0) != ((state >> 16) % 5 == 0);
      text << (value ? 1 : 0) << (t < 15 ? " " : "\n");
    }
  return text.str();
}

bool isNumber(const std::string& text) {
  std::istringstream in(text);
  double value;
  std::string rest;
  return static_cast<bool>(in >> value) && !(in >> rest);
}

TEST(Killed, LeavesAResumablePartitionAndWholeLines) {
  const std::string stem = "d_k0_OA_p_a0_B12_t5";
  // Killed at different moments, so that a cut inside a line would show in one of them.
  for (int waitMs : {0, 40, 170, 400}) {
    SCOPED_TRACE(waitMs);
    TempDir dir;
    dir.write("d.txt", noisyMatrix());
    ChildProcess child({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "12", "-t",
                        "5", "-c", "integrated", "-d", "1", "-q"},
                       dir.path);
    // The first checkpoint: long before the hourly one.
    ASSERT_TRUE(child.waitUntil([&] { return dir.exists(stem + ".best"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    child.signal(SIGKILL);
    const ChildProcess::Ending ending = child.wait();
    ASSERT_FALSE(child.timedOut());
    ASSERT_TRUE(ending.bySignal);

    for (const char* suffix : {".finalz", ".best"}) {
      std::istringstream labels(dir.read(stem + suffix));
      int count = 0;
      for (int label; labels >> label;) count++;
      EXPECT_EQ(count, kRows) << suffix;
    }
    // The early checkpoint writes no log line: the log keeps its bytes.
    EXPECT_EQ(dir.read(stem + ".log").find(".finalz"), std::string::npos);

    const std::string save = dir.read(stem + ".save");
    ASSERT_FALSE(save.empty());
    EXPECT_EQ(save.back(), '\n');
    const std::vector<std::string> trace = lines(save);
    for (size_t i = 1; i < trace.size(); i++) {
      const std::vector<std::string> f = fields(trace[i]);
      ASSERT_EQ(f.size(), 2u) << trace[i];
      EXPECT_TRUE(isNumber(f[0]) && isNumber(f[1])) << trace[i];
    }
    const std::string drawsText = dir.read(stem + ".draws");
    if (!drawsText.empty()) {
      EXPECT_EQ(drawsText.back(), '\n');
    }
    const std::vector<std::string> draws = lines(drawsText);
    for (size_t i = 0; i < draws.size(); i++) {
      const std::vector<std::string> f = fields(draws[i]);
      ASSERT_EQ(static_cast<int>(f.size()), 3 + kRows) << draws[i];
      EXPECT_EQ(f[0], std::to_string(i + 1));
    }

    // The partition starts another run.
    const ExeResult again = runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-i",
                                    "1", "-c", "integrated", "-q", "-z", stem + ".finalz"},
                                   dir.path);
    EXPECT_EQ(again.status, 1) << again.out;
  }
}

}  // namespace
