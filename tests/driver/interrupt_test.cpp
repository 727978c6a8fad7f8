// Interrupting the real program during a search: SIGINT, SIGTERM and SIGHUP (a closed
// terminal) end it inside the current sweep with its files written as at a normal end and
// status 128 + signal, and the .finalz it leaves starts a second run; a second signal ends
// it at once.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "support/text.h"
#include "support/run_exe.h"

namespace {

const int kRows = 30;

// A 0/1 matrix of three noisy groups: enough work per sweep for the search to be caught
// running.
std::string groupedMatrix() {
  std::ostringstream text;
  unsigned state = 12345;
  for (int i = 0; i < kRows; i++) {
    for (int t = 0; t < 20; t++) {
      state = state * 1103515245u + 12345u;
      bool noise = (state >> 16) % 10 == 0;
      bool value = ((t + i % 3) % 3 == 0) != noise;
      text << (value ? 1 : 0) << (t < 19 ? " " : "\n");
    }
  }
  return text.str();
}

bool startsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// The search, with a minute limit only as a guard should the signal be lost. Quiet, so the
// log stays small however fast the sweeps go.
const std::vector<std::string> kSearch = {"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA",
                                          "-B", "12", "-t", "5", "-c", "integrated", "-q"};
const std::string kStem = "d_k0_OA_p_a0_B12_t5";

// Starts the search and returns once sweeps are under way: the first checkpoint's .finalz
// comes right after the first iteration.
void startSearch(ChildProcess& child, const TempDir& dir) {
  ASSERT_TRUE(child.waitUntil([&] { return dir.exists(kStem + ".finalz"); })) << child.out();
}

TEST(Interrupt, SignalEndsTheSearchWithItsFilesComplete) {
  const struct {
    int signo;
    int status;
  } cases[] = {{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signo);
    TempDir dir;
    dir.write("d.txt", groupedMatrix());
    ChildProcess child(kSearch, dir.path);
    startSearch(child, dir);
    child.signal(c.signo);
    const ChildProcess::Ending ending = child.wait();
    ASSERT_FALSE(child.timedOut());
    EXPECT_FALSE(ending.bySignal);
    EXPECT_EQ(ending.code, c.status);

    // The log ends with the interrupted line, naming the last complete iteration (checked
    // against the trace below), after the final partition's line and the best score's (-q
    // is a further option).
    const std::vector<std::string> log = lines(dir.read(kStem + ".log"));
    ASSERT_GE(log.size(), 3u);
    const std::string prefix =
        "Run interrupted by signal " + std::to_string(c.signo) + " after iteration ";
    ASSERT_TRUE(startsWith(log.back(), prefix)) << log.back();
    const long iterations = std::stol(log.back().substr(prefix.size()));
    EXPECT_GE(iterations, 1);
    EXPECT_EQ(log[log.size() - 3], "  write " + kStem + ".finalz");
    EXPECT_TRUE(startsWith(log[log.size() - 2], "best score ")) << log[log.size() - 2];
    EXPECT_EQ(dir.read(kStem + ".log").find("acceptance rate"), std::string::npos);
    EXPECT_EQ(child.err(), log.back() + "\n");

    // The trace: its first line, then run lengths over one point per observation and sweep.
    const std::vector<std::string> save = lines(dir.read(kStem + ".save"));
    ASSERT_GE(save.size(), 2u);
    EXPECT_TRUE(startsWith(save[0], "        "));
    long points = 0;
    double lastScore = NAN;
    for (size_t i = 1; i < save.size(); i++) {
      std::istringstream fields(save[i]);
      long count = 0;
      std::string rest;
      ASSERT_TRUE(fields >> lastScore >> count) << save[i];
      EXPECT_FALSE(fields >> rest) << save[i];
      points += count;
    }
    // ... and the visits of an abandoned sweep, each a trace point of its own.
    EXPECT_GE(points, 1 + kRows * iterations);
    EXPECT_LT(points, 1 + kRows * (iterations + 1));
    const std::string saveText = dir.read(kStem + ".save");
    EXPECT_EQ(saveText.back(), '\n');

    // The partition: one label per observation, labels 0..k-1 all used.
    const std::string finalz = dir.read(kStem + ".finalz");
    std::istringstream labels(finalz);
    std::vector<int> z;
    for (int label; labels >> label;) z.push_back(label);
    ASSERT_EQ(static_cast<int>(z.size()), kRows);
    EXPECT_EQ(finalz.substr(finalz.size() - 2), " \n");
    int k = 0;
    for (int label : z) k = std::max(k, label + 1);
    std::vector<int> sizes(k, 0);
    for (int label : z) {
      ASSERT_GE(label, 0);
      sizes[label]++;
    }
    for (int size : sizes) EXPECT_GT(size, 0);
    EXPECT_FALSE(dir.exists(kStem + ".finalz.tmp"));

    // A second run starts from it: its first trace line shows the same partition's sizes
    // and score (the interrupted trace's last value, there to 10 digits, here to 6).
    const ExeResult again = runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B",
                                    "0", "-c", "integrated", "-l", "again", "-z",
                                    kStem + ".finalz"},
                                   dir.path);
    EXPECT_EQ(again.status, 1) << again.out;
    const std::string againStem = "d_k0_OA_p_a0_B0_again";
    EXPECT_NE(dir.read(againStem + ".log").find("  read " + kStem + ".finalz\n"),
              std::string::npos);
    std::istringstream first(lines(dir.read(againStem + ".save")).at(0));
    double startScore = 0;
    first >> startScore;
    std::vector<int> startSizes;
    for (int size; first >> size;) startSizes.push_back(size);
    EXPECT_EQ(startSizes, sizes);
    EXPECT_NEAR(startScore, lastScore, 1e-5 * std::fabs(lastScore));
  }
}

TEST(Interrupt, SecondSignalEndsTheProgramAtOnce) {
  // Both signals arrive while the program is stopped, so the second surely finds the first
  // still pending in the loop; the program must die by a signal instead of finishing up.
  TempDir dir;
  dir.write("d.txt", groupedMatrix());
  ChildProcess child(kSearch, dir.path);
  startSearch(child, dir);
  child.stop();
  child.signal(SIGINT);
  child.signal(SIGTERM);
  child.signal(SIGCONT);
  const ChildProcess::Ending ending = child.wait();
  ASSERT_FALSE(child.timedOut());
  EXPECT_TRUE(ending.bySignal);
  EXPECT_TRUE(ending.code == SIGINT || ending.code == SIGTERM) << ending.code;
  EXPECT_EQ(dir.read(kStem + ".log").find("Run interrupted"), std::string::npos);
}

}  // namespace

namespace {

// One tree-guided iteration over 5,000 observations of 60 columns takes many seconds (two
// clusters of 2,500: their distances and linkage, a neighbour table of thousands of splits
// whose new clusters are each summed over thousands of rows): a signal inside it ends the
// run without finishing the move (no draw is written, though -d 1 writes one per iteration),
// with the starting partition kept.
TEST(Interrupt, SignalEndsALongMoveAtOnce) {
  TempDir dir;
  std::ostringstream rows;
  unsigned state = 7;
  const int n = 5000;
  for (int i = 0; i < n; i++) {
    for (int column = 0; column < 60; column++) {
      state = state * 1103515245u + 12345u;
      rows << (column ? " " : "") << (i % 2) * 3 + ((state >> 16) % 1000) / 500.0;
    }
    rows << '\n';
  }
  dir.write("big.dat", rows.str());
  ChildProcess child({"-m", "kmeans2", "-f", "big.dat", "-k", "2", "-h", "UX", "-B", "0", "-c",
                      "integrated", "-d", "1", "-q"},
                     dir.path);
  const std::string stem = "big_k2_UX_p_a0_B0";
  ASSERT_TRUE(child.waitUntil([&] { return dir.exists(stem + ".save"); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  child.signal(SIGINT);
  const ChildProcess::Ending ending = child.wait();
  ASSERT_FALSE(child.timedOut());
  EXPECT_FALSE(ending.bySignal);
  EXPECT_EQ(ending.code, 130) << child.out();
  const std::vector<std::string> log = lines(dir.read(stem + ".log"));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Run interrupted by signal 2 after iteration 0");
  // No iteration completed: no draw, and the start is both the final and the best partition.
  EXPECT_EQ(dir.read(stem + ".draws"), "");
  const std::string finalz = dir.read(stem + ".finalz");
  std::istringstream labels(finalz);
  int count = 0;
  for (int label; labels >> label;) count++;
  EXPECT_EQ(count, n);
  EXPECT_EQ(dir.read(stem + ".best"), finalz);
}

// A watcher of a running chain (vornak-fit, R) reads its draws as they come: lines reach the
// disk within seconds, long before a 64 KB buffer would fill (here about 700 lines of 90
// bytes, one line every 20,000 sweeps: minutes of work).
TEST(Interrupt, DrawsOfARunningChainReachTheDiskWithinSeconds) {
  TempDir dir;
  dir.write("d.txt", groupedMatrix());
  std::vector<std::string> args = kSearch;
  args.insert(args.end(), {"-d", "20000"});
  ChildProcess child(args, dir.path, 120);
  const std::string draws = dir.file(kStem + ".draws");
  auto complete = [&] {
    std::error_code error;
    return std::filesystem::file_size(draws, error) > 0 && !error;
  };
  EXPECT_TRUE(child.waitUntil(complete));
  child.signal(SIGINT);
  const ChildProcess::Ending ending = child.wait();
  EXPECT_EQ(ending.code, 130);
  const std::vector<std::string> written = lines(dir.read(kStem + ".draws"));
  ASSERT_FALSE(written.empty());
  // Interrupted long before the buffer could fill: the lines came from the periodic flush.
  EXPECT_LT(written.size(), 500u);
  EXPECT_EQ(written[0].compare(0, 6, "20000 "), 0) << written[0];
}

}  // namespace
