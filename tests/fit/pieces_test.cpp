// The small parts of vornak-fit: thinning, the output folder, the progress figures, the
// failure line of a run.
#include <gtest/gtest.h>

#include <csignal>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>

#include "fit/ChainRunner.h"
#include "fit/Keep.h"
#include "fit/Options.h"
#include "fit/OutputDir.h"
#include "fit/Progress.h"
#include "fit/Signals.h"
#include "fit/Thinning.h"
#include "fit/Watch.h"
#include "support/TempDir.h"

namespace {

TEST(Thinning, DrawsComeSoonAndStayBounded) {
  const struct {
    double speed, seconds;
    long observations, thin;
  } cases[] = {
      {10000, 600, 150, 120},     // 10,000 draws in the first 120 s
      {10000, 60, 150, 60},       // a short limit: 10,000 draws in all
      {10000, 600.5, 150, 120},   // the horizon, not the limit, sets it
      {10001, 600, 150, 121},     // rounded up: never more draws than the target
      {5, 600, 150, 1},           // slower than the target: every iteration
      {0, 600, 150, 1},           // no measure
      {1000, 600, 100000, 3001},  // wide data: 600,000 x 200,030 bytes / 40e6
      {1000, 600, 1000, 31},      // 600,000 x 2,030 / 40e6 = 30.45 above 12
      {1000, 600, 30, 12},        // narrow data: the horizon
      // A long limit bounds the bytes of the first hour, not of the limit: 16,350 x 3,600 x
      // 330 / 40e6 = 485.6 (a limit of 10 days gave 116,565).
      {16350, 864000, 150, 486},
      {16350, 3600, 150, 486},
      {1000, 7200, 100000, 18003},  // 3,600,000 x 200,030 / 40e6 = 18,002.7
  };
  for (const auto& c : cases)
    EXPECT_EQ(fit::chooseThin(c.speed, c.seconds, c.observations), c.thin) << c.speed << " " << c.observations;
  EXPECT_EQ(fit::chooseThin(std::numeric_limits<double>::infinity(), 600, 150), 1);
}

TEST(OutputFolder, DefaultNamesNeverReplaceAnEarlierFolder) {
  EXPECT_EQ(fit::defaultDirName("examples/iris.dat"), "iris");
  EXPECT_EQ(fit::defaultDirName("a.b.fasta"), "a.b");
  EXPECT_EQ(fit::defaultDirName("plain"), "plain");
  EXPECT_EQ(fit::defaultDirName(".hidden"), ".hidden");
  EXPECT_EQ(fit::defaultDirName("dir/"), "fit");

  TempDir temp;
  const fit::OutputDir first = fit::makeOutputDir("", "x/votes.dat", temp.path);
  const fit::OutputDir second = fit::makeOutputDir("", "votes.dat", temp.path);
  temp.write("votes-3", "a file, not a folder");
  const fit::OutputDir fourth = fit::makeOutputDir("", "votes.dat", temp.path);
  EXPECT_EQ(first.path, temp.file("votes"));
  EXPECT_EQ(second.path, temp.file("votes-2"));
  EXPECT_EQ(fourth.path, temp.file("votes-4"));
  EXPECT_TRUE(first.created && second.created && fourth.created);
  EXPECT_EQ(temp.read("votes-3"), "a file, not a folder");

  // An explicit folder: new, or existing and empty; never one with something in it.
  const fit::OutputDir made = fit::makeOutputDir(temp.file("new"), "votes.dat");
  EXPECT_TRUE(made.created);
  const fit::OutputDir empty = fit::makeOutputDir(temp.file("votes-2"), "votes.dat");
  EXPECT_FALSE(empty.created);
  temp.write("new/keep", "earlier");
  struct {
    std::string dir, line;
  } refused[] = {{temp.file("new"), "-o names a folder that is not empty: " + temp.file("new")},
                 {temp.file("votes-3"), "-o names something that is not a folder: " + temp.file("votes-3")}};
  for (const auto& c : refused) {
    try {
      fit::makeOutputDir(c.dir, "votes.dat");
      ADD_FAILURE() << "accepted " << c.dir;
    } catch (const fit::FitError& error) {
      EXPECT_EQ(std::string(error.what()), c.line);
    }
  }
  EXPECT_EQ(temp.read("new/keep"), "earlier");

  // Discarding removes a folder this run made, and only the contents of one it found empty.
  temp.write("votes-2/chain1.stdout", "x");
  fit::discardOutputDir(empty);
  EXPECT_TRUE(std::filesystem::is_directory(temp.file("votes-2")));
  EXPECT_TRUE(std::filesystem::is_empty(temp.file("votes-2")));
  temp.write("votes/chain1.stdout", "x");
  fit::discardOutputDir(first);
  EXPECT_FALSE(temp.exists("votes"));
}

TEST(ProgressFigures, DurationsAndUndefinedFigures) {
  struct {
    double seconds;
    const char* text;
  } durations[] = {{0, "0 s"}, {59.4, "59 s"}, {61, "1 min 01 s"}, {3599, "59 min 59 s"}, {7380, "2 h 03 min"}};
  for (const auto& d : durations) EXPECT_EQ(fit::formatDuration(d.seconds), d.text);
  EXPECT_EQ(fit::formatMinutes(10), "10");
  EXPECT_EQ(fit::formatMinutes(0.25), "0.25");

  summary::Agreement agreement;
  EXPECT_EQ(fit::progressLine(3, agreement), "3 s  no complete draw in every chain yet");
  agreement.keptPerChain = 10;
  agreement.iterations = 1200;
  agreement.bestScore = -405.554;
  agreement.rhatScore = 1.0041;
  agreement.rhatK = std::numeric_limits<double>::infinity();
  agreement.essScore = 612.4;
  agreement.essK = std::nan("");
  EXPECT_EQ(fit::progressLine(62, agreement),
            "1 min 02 s  iteration 1200  best -405.55  R-hat 1.004 (score) Inf (k), ESS 612 (score) NA (k)");
}

TEST(ChainFiles, FailureLine) {
  TempDir temp;
  struct {
    const char* out;
    const char* err;
    const char* stem;
    const char* failure;
  } cases[] = {
      {"\nfileStem: na_k0_OA\n  read na.dat\n  read na.dat\nBad matrix file na.dat, line 2: NA\n", "",
       "na_k0_OA", "Bad matrix file na.dat, line 2: NA"},
      {"main(). -T must be a number of chains from 1 to 64: 100\n", "", "",
       "main(). -T must be a number of chains from 1 to 64: 100"},
      {"\nfileStem: x_k0\n  read x.dat\n", "kept the log as x.failed.log\n", "x_k0", "kept the log as x.failed.log"},
      {"\nfileStem: half", "", "", "a chain ended without a message"},
  };
  for (const auto& c : cases) {
    temp.write("out", c.out);
    temp.write("err", c.err);
    EXPECT_EQ(fit::failureLine(temp.file("out"), temp.file("err")), c.failure);
  }
}

TEST(Signals, CopiesOfOneSignalWithinASecondAreOneRequest) {
  const struct {
    int signal;
    double seconds;
    int first;
    double firstSeconds;
    bool same;
  } cases[] = {
      {SIGTERM, 5.0, 0, 0, false},          // no request yet
      {SIGTERM, 5.0, SIGTERM, 5.0, true},   // the group's copy at once
      {SIGTERM, 5.9, SIGTERM, 5.0, true},
      {SIGTERM, 6.5, SIGTERM, 5.0, false},  // a later, separate request
      {SIGINT, 5.1, SIGTERM, 5.0, false},   // another signal
  };
  for (const auto& c : cases)
    EXPECT_EQ(fit::sameRequest(c.signal, c.seconds, c.first, c.firstSeconds), c.same) << c.signal << " " << c.seconds;
}

// Off a terminal without --progress a line comes once a minute, so a batch job's log shows
// the run is alive; with --progress one per check; on a terminal twice a second.
TEST(ProgressLine, DueByWhereItGoes) {
  std::ostringstream err;
  const fit::ProgressLine quiet(err, false, false), wanted(err, false, true), terminal(err, true, false);
  struct Case {
    const fit::ProgressLine& line;
    double since;
    bool checked, due;
  };
  const Case cases[] = {
      {quiet, 59.9, true, false}, {quiet, 60, false, true},   {quiet, 600, true, true},
      {wanted, 0.1, true, true},  {wanted, 600, false, false}, {terminal, 0.4, true, false},
      {terminal, 0.5, false, true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.line.due(c.since, c.checked), c.due) << c.since;
}

TEST(Keep, KindsSizesAndRemoval) {
  EXPECT_EQ(fit::parseKeep("all"), fit::keepKinds());
  EXPECT_TRUE(fit::parseKeep("none").empty());
  EXPECT_EQ(fit::parseKeep("draws,log,draws"), (std::vector<std::string>{"draws", "log"}));
  for (const char* bad : {"", "draws,", "drawz", "all,log"}) EXPECT_THROW(fit::parseKeep(bad), fit::FitError) << bad;
  struct {
    unsigned long long bytes;
    const char* text;
  } sizes[] = {{0, "0 bytes"}, {999, "999 bytes"}, {1000, "1.0 kB"}, {152300000, "152.3 MB"},
               {999960, "1.0 MB"}, {1200000000, "1.2 GB"}};
  for (const auto& s : sizes) EXPECT_EQ(fit::formatBytes(s.bytes), s.text);

  TempDir dir;
  dir.write("a_s1.draws", std::string(3000, 'd'));
  dir.write("a_s1.log", std::string(200, 'l'));
  dir.write("a_s1.best", "b");
  dir.write("chain1.stdout", std::string(10, 'o'));
  dir.write("chain1.stderr", "");
  dir.write("summary.estimate", "0 0\n");
  const fit::ChainFiles files =
      fit::keepChainFiles({dir.file("a_s1.draws")}, {dir.file("chain1")}, fit::parseKeep("log,best"));
  EXPECT_EQ(files.keptBytes, 201u);
  EXPECT_EQ(files.removedBytes, 3010u);
  EXPECT_TRUE(dir.exists("a_s1.log"));
  EXPECT_FALSE(dir.exists("a_s1.draws"));
  EXPECT_FALSE(dir.exists("chain1.stdout"));
  EXPECT_TRUE(dir.exists("summary.estimate"));
  EXPECT_EQ(fit::chainFilesLine(files, "out", fit::parseKeep("log,best")),
            "Chain files: 201 bytes kept in out (log, best), 3.0 kB removed");
  EXPECT_EQ(fit::chainFilesLine(fit::ChainFiles{2500000, 0}, "out", fit::keepKinds()),
            "Chain files: 2.5 MB kept in out (--keep chooses which stay)");
}

}  // namespace
