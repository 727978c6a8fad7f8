#include <gtest/gtest.h>
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <iostream>
#include <sstream>

#include "io/RunError.h"
#include "driver/common_main.h"

namespace {

// Runs common_main and returns what it printed on standard output and the failure line.
struct Outcome {
  std::string printed, error;
};

Outcome runSetup(const Settings& settings) {
  std::ostringstream captured;
  std::streambuf* original = std::cout.rdbuf(captured.rdbuf());
  Outcome outcome;
  try {
    common_main(settings);
  } catch (const RunError& e) {
    outcome.error = e.what();
  }
  std::cout.rdbuf(original);
  outcome.printed = captured.str();
  return outcome;
}

int entriesIn(const std::string& dir) {
  int count = 0;
  DIR* d = opendir(dir.c_str());
  for (dirent* e; (e = readdir(d)) != nullptr;)
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") count++;
  closedir(d);
  return count;
}

TEST(RunSetup, RestrictedGibbsAndSequentialSplitMergeNeedOpenK) {
  char dirTemplate[] = "/tmp/vornak_openk_XXXXXX";
  const std::string dir = mkdtemp(dirTemplate);
  struct Case {
    const char* heuristics;
    int k;
    std::string error;  // the line printed and carried by the failure
  } cases[] = {
      {"JN", 3, "main(). heuristics JN change the number of clusters and need -k 0: 3"},
      {"JN2", 1, "main(). heuristics JN2 change the number of clusters and need -k 0: 1"},
      {"DA", 2, "main(). heuristics DA change the number of clusters and need -k 0: 2"},
      {"DA2", 5, "main(). heuristics DA2 change the number of clusters and need -k 0: 5"},
      // Open k passes, and SR with a fixed k runs the tree-guided sampler: both go on to the
      // model name, which fails here, before any file.
      {"JN", 0, "main(). model not recognized: none"},
      {"DA2", 0, "main(). model not recognized: none"},
      {"SR", 3, "main(). model not recognized: none"},
  };
  for (const Case& c : cases) {
    Settings s;
    s.dataFile = dir + "/data_txt";
    s.heuristics = c.heuristics;
    s.model = "none";
    s.k = c.k;
    s.B = 1;
    s.criterionType = "integrated";
    Outcome outcome = runSetup(s);
    EXPECT_EQ(outcome.error, c.error) << c.heuristics << " -k " << c.k;
    EXPECT_EQ(outcome.printed, c.error + "\n") << c.heuristics << " -k " << c.k;
    EXPECT_EQ(entriesIn(dir), 0) << c.heuristics << " -k " << c.k;
  }
  rmdir(dir.c_str());
}

}  // namespace
