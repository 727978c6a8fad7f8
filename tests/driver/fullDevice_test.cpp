// Runs on a full device: a 64 KiB tmpfs that the log or trace outgrows. The run must stop
// with "Fail to write " and the file's name and status 255, never end as if complete, and a
// replaced .finalz must stay the old complete file when the new one does not fit. Needs the
// right to mount (root); skipped otherwise.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "io/RunError.h"
#include "io/Files.h"
#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

class FullDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    if (mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=64k") != 0)
      GTEST_SKIP() << "cannot mount a 64k tmpfs on " << dir.path << " (" << std::strerror(errno)
                   << "); this test needs root";
    mounted = true;
  }
  void TearDown() override {
    if (mounted) umount2(dir.path.c_str(), MNT_DETACH);
  }

  // A 0/1 matrix of n rows and 12 columns.
  void writeMatrix(int rows) {
    std::ostringstream text;
    for (int i = 0; i < rows; i++)
      for (int t = 0; t < 12; t++)
        text << ((i * 7 + t * 3) % 5 < 2 ? 1 : 0) << (t < 11 ? " " : "\n");
    dir.write("d.txt", text.str());
  }

  static std::string lastLine(const std::string& text) {
    std::string body = text.substr(0, text.size() - (!text.empty() && text.back() == '\n'));
    return body.substr(body.rfind('\n') + 1);
  }

  // Every file in the folder whose name ends with ".tmp".
  std::string temporaryFiles() const {
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
      std::string name = entry.path().filename().string();
      if (name.size() > 4 && name.substr(name.size() - 4) == ".tmp") found += name + " ";
    }
    return found;
  }

  TempDir dir;
  bool mounted = false;
};

TEST_F(FullDevice, SearchStopsWithTheNameOfTheFileThatDidNotFit) {
  writeMatrix(30);
  const ExeResult run = runExe(
      {"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "6", "-c", "integrated"},
      dir.path);
  const std::string stem = "d_k0_OA_p_a0_B6";
  EXPECT_EQ(run.status, 255);
  const std::string line = lastLine(run.out);
  EXPECT_TRUE(line == "Fail to write " + stem + ".log" || line == "Fail to write " + stem + ".save")
      << run.out;
  // Nothing claims a finished run: no completion report, no closing rates in the log.
  EXPECT_EQ(run.out.find("Finished in"), std::string::npos);
  EXPECT_EQ(dir.read(stem + ".log").find("acceptance rate"), std::string::npos);
  // A .finalz, if one fitted, is a whole partition.
  if (dir.exists(stem + ".finalz")) {
    std::istringstream labels(dir.read(stem + ".finalz"));
    int count = 0;
    for (int label; labels >> label;) count++;
    EXPECT_EQ(count, 30);
  }
  EXPECT_EQ(temporaryFiles(), "");
}

// The draws and the trace outgrow the device: the file that did not fit is named, and both
// hold whole lines only (a write cut short is taken back to the last line end).
TEST_F(FullDevice, DrawsAndTraceKeepWholeLines) {
  writeMatrix(30);
  const ExeResult run = runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "OA", "-B", "6",
                                "-c", "integrated", "-q", "-d", "1"},
                               dir.path);
  const std::string stem = "d_k0_OA_p_a0_B6";
  EXPECT_EQ(run.status, 255);
  const std::string line = lastLine(run.out);
  EXPECT_TRUE(line == "Fail to write " + stem + ".draws" ||
              line == "Fail to write " + stem + ".save")
      << run.out;
  EXPECT_NE(run.err.find(line + ": No space left on device\n"), std::string::npos) << run.err;
  for (const char* suffix : {".save", ".draws"}) {
    SCOPED_TRACE(suffix);
    const std::string text = dir.read(stem + suffix);
    if (text.empty()) continue;
    EXPECT_EQ(text.back(), '\n');
    std::istringstream lines(text);
    int rows = 0;
    for (std::string row; std::getline(lines, row); rows++) {
      std::istringstream words(row);
      int count = 0;
      for (std::string w; words >> w;) count++;
      if (std::string(suffix) == ".draws") {
        EXPECT_EQ(count, 3 + 30) << row;
      }
    }
    // What fitted of a write cut short is kept, up to its last whole line.
    if (std::string(suffix) == ".draws") {
      EXPECT_GT(rows, 100);
    }
  }
  EXPECT_EQ(temporaryFiles(), "");
}

TEST_F(FullDevice, EnumerationStopsWithTheNameOfTheFileThatDidNotFit) {
  writeMatrix(9);  // 21147 partitions: the list and the scores each outgrow the device
  const ExeResult run =
      runExe({"-m", "HDBern", "-f", "d.txt", "-k", "0", "-h", "EN", "-c", "integrated"}, dir.path);
  const std::string stem = "d_k0_EN_p_a0";
  EXPECT_EQ(run.status, 255);
  const std::string line = lastLine(run.out);
  EXPECT_TRUE(line == "Fail to write " + stem + ".log" || line == "Fail to write " + stem + ".save")
      << run.out;
  EXPECT_EQ(run.out.find("Finished in"), std::string::npos);
}

TEST_F(FullDevice, ReplacementThatDoesNotFitKeepsTheOldFile) {
  const std::string name = dir.file("r.finalz");
  std::ostringstream log, out;
  std::streambuf* standardOutput = std::cout.rdbuf(out.rdbuf());
  Files::replaceFile(name, "0 1 1 \n", log);
  const std::string tooLarge(100 * 1024, '0');
  EXPECT_FALSE(Files::writeFileAtomically(name, tooLarge));
  EXPECT_EQ(dir.read("r.finalz"), "0 1 1 \n");
  EXPECT_EQ(temporaryFiles(), "");
  try {
    Files::replaceFile(name, tooLarge, log);
    ADD_FAILURE() << "no failure";
  } catch (const RunError& e) {
    EXPECT_EQ(std::string(e.what()), "Fail to write " + name);
  }
  std::cout.rdbuf(standardOutput);
  EXPECT_EQ(log.str(), "  write " + name + "\nFail to write " + name + "\n");
  EXPECT_EQ(out.str(), "Fail to write " + name + "\n");
  EXPECT_EQ(dir.read("r.finalz"), "0 1 1 \n");
  EXPECT_EQ(temporaryFiles(), "");
}

}  // namespace
