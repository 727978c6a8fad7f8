// A signal while the run is being set up (reading the data file) ends it there: the readers
// look for it line by line, and the run stops with status 128 + signal and one line in the
// log (copied to standard error) before any trace exists.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "driver/common_main.h"
#include "io/Interrupt.h"
#include "io/RunError.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/text.h"

namespace {

TEST(InterruptedSetup, ReadingTheDataStopsTheRun) {
  const struct {
    const char* model;
    const char* file;
    const char* text;
  } cases[] = {
      {"HDBern", "d.txt", "1 0 1\n0 1 1\n1 1 0\n"},
      {"mclust2", "r.txt", "0.5 1\n2 3\n-1 4\n"},
      {"ProteinSequence", "p.fasta", ">a\nACDE\n>b\nACDF\n>c\nAQDE\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    TempDir dir;
    dir.write(c.file, c.text);
    Settings s;
    s.dataFile = dir.file(c.file);
    s.model = c.model;
    s.heuristics = "OA";
    s.k = 0;
    s.B = 2;
    s.criterionType = "integrated";
    const RunPlan plan = makePlan(s);
    CaptureStdout out;
    requestInterrupt(SIGTERM);
    RunError error("no failure", 0);
    try {
      common_main(s);
    } catch (const RunError& e) {
      error = e;
    }
    clearInterrupt();
    EXPECT_EQ(error.status, 143);
    const std::string line = "Run interrupted by signal 15 before the search";
    EXPECT_EQ(std::string(error.what()), line);
    EXPECT_EQ(lines(dir.read(plan.fileStem.substr(dir.path.size() + 1) + ".log")).back(), line);
    EXPECT_FALSE(dir.exists(plan.fileStem.substr(dir.path.size() + 1) + ".save"));
  }
}

}  // namespace
