// A recorded interrupt stops the run loop inside the sweep in progress and the enumeration
// inside its listing, with their files closed and status 128 + signal. Each case runs in
// a child process, as the handlers stay installed for the rest of a process.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "io/Interrupt.h"
#include "io/RunError.h"
#include "stats/rvgs.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

// Checks made in the child: each failure is described on standard error, and the child
// ends with status 0 only when none failed.
struct ChildChecks {
  bool ok = true;
  void check(bool holds, const std::string& what) {
    if (!holds) std::cerr << "failed: " << what << '\n';
    ok = ok && holds;
  }
  [[noreturn]] void end() const { std::_Exit(ok ? 0 : 1); }
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

struct Fixture {
  TinyModel model{{0, 0.3, 2, 2.2, 5}};
  std::ostringstream log;
  PartitionSampler sampler{0, model.n, INTEGRATED, &model, 0, log, "OA"};
  TempDir dir;
  RunError error{"no failure", 0};
};

void interruptedSearch() {
  ChildChecks c;
  {
    installInterruptHandlers();
    raise(SIGTERM);  // already there at the first sweep, which is abandoned at once
    Fixture f;
    _rng.initialize(2);
    f.sampler.initZ("");
    try {
      f.sampler.run(1000, 100, f.dir.file("r"));
    } catch (const RunError& e) {
      f.error = e;
    }
    const std::string log = f.log.str();
    c.check(f.error.status == 143, "status " + std::to_string(f.error.status));
    c.check(std::string(f.error.what()) == "Run interrupted by signal 15 after iteration 0",
            f.error.what());
    c.check(log.find("Iter 1\n") != std::string::npos && log.find("Iter 2") == std::string::npos,
            "one iteration begun: " + log);
    c.check(log.find("acceptance rate") == std::string::npos, "no rates: " + log);
    // The trace holds the start alone; the files hold the starting partition.
    const std::vector<std::string> save = lines(f.dir.read("r.save"));
    long points = 0;
    for (size_t i = 1; i < save.size(); i++) points += std::stol(save[i].substr(save[i].find(' ')));
    c.check(points == 1, "trace points " + std::to_string(points));
    std::ostringstream z;
    for (int label : f.sampler.state.zold) z << label << ' ';
    z << '\n';
    c.check(f.dir.read("r.finalz") == z.str(), "finalz " + f.dir.read("r.finalz"));
    c.check(f.dir.read("r.best") == z.str(), "best " + f.dir.read("r.best"));
    c.check(!f.dir.exists("r.finalz.tmp"), "temporary file left");
  }
  c.end();
}

void interruptedEnumeration() {
  ChildChecks c;
  {
    installInterruptHandlers();
    raise(SIGINT);
    Fixture f;
    try {
      f.sampler.enumZ(f.dir.file("e"));
    } catch (const RunError& e) {
      f.error = e;
    }
    c.check(f.error.status == 130, "status " + std::to_string(f.error.status));
    const std::string line = "Enumeration interrupted by signal 2 after partition 0";
    c.check(f.error.what() == line, f.error.what());
    const std::vector<std::string> log = lines(f.log.str());
    c.check(!log.empty() && log.back() == line, f.log.str());
    // Stopped while listing the first partitions: none was scored.
    c.check(f.dir.read("e.save").empty(), "save: " + f.dir.read("e.save"));
  }
  c.end();
}

TEST(InterruptedRunDeathTest, SearchStopsInsideTheSweep) {
  EXPECT_EXIT(interruptedSearch(), ::testing::ExitedWithCode(0), "");
}

TEST(InterruptedRunDeathTest, EnumerationStopsInsideTheListing) {
  EXPECT_EXIT(interruptedEnumeration(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
