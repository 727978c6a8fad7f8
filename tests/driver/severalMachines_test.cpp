// The commands of docs/several-machines.md for running the chains of one analysis as separate
// processes with GNU parallel, run on this machine (-S : is the local machine) with a short
// run, then merged by vornak-summary. Skipped where parallel is not installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

// The command that starts with start in docs/several-machines.md, its continuation lines
// joined, and the first line after it that starts with next.
struct Documented {
  std::string command, next;
};
Documented documented(const std::string& start, const std::string& next) {
  std::ifstream readme(VORNAK_SOURCE_DIR "/docs/several-machines.md");
  Documented found;
  bool inCommand = false;
  for (std::string line; std::getline(readme, line);) {
    if (found.command.empty() && line.compare(0, start.size(), start) == 0) inCommand = true;
    if (inCommand) {
      const bool continued = !line.empty() && line.back() == '\\';
      found.command += continued ? line.substr(0, line.size() - 1) : line;
      inCommand = continued;
    } else if (!found.command.empty() && line.compare(0, next.size(), next) == 0) {
      found.next = line;
      break;
    }
  }
  return found;
}

ExeResult bash(const std::string& command, const TempDir& dir) {
  const std::string path = std::filesystem::path(VORNAK_EXE).parent_path().string() + ":" +
                           std::filesystem::path(VORNAK_SUMMARY_EXE).parent_path().string() +
                           ":" + std::getenv("PATH");
  return runInChild(dir.path, [&] {
    setenv("PATH", path.c_str(), 1);
    setenv("HOME", dir.path.c_str(), 1);  // parallel keeps its files under the home folder
    execl("/bin/bash", "bash", "-c", command.c_str(), static_cast<char*>(nullptr));
    return 127;
  });
}

TEST(SeveralMachines, ParallelChainsMergedBySummary) {
  if (!onPath("parallel")) GTEST_SKIP() << "GNU parallel is not installed (apt-get install parallel)";
  const Documented doc = documented("parallel -S host1,host2 --workdir .", "vornak-summary ");
  ASSERT_FALSE(doc.command.empty());
  ASSERT_FALSE(doc.next.empty());
  // This machine only, and a short run: -i in place of -B, also in the draws files' names.
  auto local = [](std::string text) {
    text = std::regex_replace(text, std::regex("-S host1,host2"), "-S :");
    text = std::regex_replace(text, std::regex("-B 5"), "-i 40");
    return std::regex_replace(text, std::regex("_B5_"), "_i40_");
  };
  const std::string seeds = doc.command.substr(doc.command.find(":::") + 3);
  std::istringstream seedWords(seeds);
  int chains = 0;
  for (std::string w; seedWords >> w;) chains++;
  ASSERT_GE(chains, 2);

  TempDir dir;
  std::filesystem::copy_file(VORNAK_SOURCE_DIR "/examples/votes.dat", dir.file("votes.dat"));
  const ExeResult run = bash(local(doc.command), dir);
  ASSERT_EQ(run.status, 0) << local(doc.command) << "\n" << run.out << run.err;
  const ExeResult summary = bash(local(doc.next), dir);
  EXPECT_EQ(summary.status, 0) << local(doc.next) << "\n" << summary.err;
  EXPECT_NE(summary.out.find("vornak-summary: " + std::to_string(chains) +
                             " chains of n = 36 items"),
            std::string::npos)
      << summary.out;
  for (int seed = 1; seed <= chains; seed++)
    EXPECT_TRUE(dir.exists("votes_k0_OA_p_a0_i40_s" + std::to_string(seed) + ".draws")) << seed;
}

}  // namespace
