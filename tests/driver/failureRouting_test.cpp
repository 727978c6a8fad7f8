// Where a failure line goes, through the real program: each kind of failure reaches the
// destinations of its row and no other, and a line meant for the log alone also shows on
// standard error, so that a console run never ends silently. Standard output keeps exactly
// the bytes it had before the copy to standard error existed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

const std::string kReal = "0.5 1\n2 3\n1 1\n";
const std::string kBinary = "0 1 1\n1 0 0\n0 0 1\n1 1 0\n";

struct Case {
  const char* what;
  std::string file, text;
  std::vector<std::string> args;
  std::string stem;  // of the log
  std::string line;
  bool inLog, onStdout, onStderr;
  std::string stdoutBefore;  // what standard output holds before any failure line
};

TEST(FailureRouting, EachKindReachesItsDestinationsOnly) {
  const Case cases[] = {
      // An operation the model lacks: the log alone, copied to standard error.
      {"mclust2 -c classi", "m.txt", kReal,
       {"-m", "mclust2", "-f", "m.txt", "-k", "0", "-h", "OA", "-B", "1", "-c", "classi"},
       "m_k0_OA_p1_a0_B1", "mclust2::getClassificationLik not implmented", true, false, true,
       "\nfileStem: m_k0_OA_p1_a0_B1\n  read m.txt\n  read m.txt\n"},
      {"kmeans2 -c mixture", "m.txt", kReal,
       {"-m", "kmeans2", "-f", "m.txt", "-k", "2", "-h", "UX", "-B", "1", "-c", "mixture"},
       "m_k2_UX_p_a0_B1", "kmeans2::getMixtureLik not implmented", true, false, true,
       "\nfileStem: m_k2_UX_p_a0_B1\n  read m.txt\n  read m.txt\n"},
      // A refused setting: standard output alone (the log exists but does not get it).
      {"unknown criterion", "b.txt", kBinary,
       {"-m", "HDBern", "-f", "b.txt", "-k", "0", "-h", "OA", "-B", "1", "-c", "best"},
       "b_k0_OA_p_a0_B1", "main(). criterionType not recognized: best", false, true, false,
       "\nfileStem: b_k0_OA_p_a0_B1\n"},
      // Bad input: the log and standard output.
      {"start partition", "b.txt", kBinary,
       {"-m", "HDBern", "-f", "b.txt", "-k", "0", "-h", "OA", "-B", "1", "-c", "integrated",
        "-z", "none.txt"},
       "b_k0_OA_p_a0_B1", "Fail to read none.txt", true, true, false,
       "\nfileStem: b_k0_OA_p_a0_B1\n  read b.txt\n  read b.txt\n"},
      // A heuristic the table does not have: the log and standard output.
      {"unknown heuristic", "b.txt", kBinary,
       {"-m", "HDBern", "-f", "b.txt", "-k", "0", "-h", "UW", "-B", "1", "-c", "integrated"},
       "b_k0_UW_p_a0_B1", "PartitionSampler::allIterations(). heuristics not supported: UW",
       true, true, false, "\nfileStem: b_k0_UW_p_a0_B1\n  read b.txt\n  read b.txt\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    dir.write(c.file, c.text);
    const ExeResult run = runExe(c.args, dir.path);
    EXPECT_EQ(run.status, 255);
    const std::string line = c.line + "\n";
    EXPECT_EQ(run.out, c.stdoutBefore + (c.onStdout ? line : ""));
    EXPECT_EQ(run.err, c.onStderr ? line : "");
    // Refused before the search: the log is kept under a name that blocks no rerun.
    const std::string logName = c.stem + ".failed.log";
    EXPECT_FALSE(dir.exists(c.stem + ".log"));
    ASSERT_TRUE(dir.exists(logName));
    const std::string log = dir.read(logName);
    EXPECT_EQ(
        log.size() >= line.size() && log.compare(log.size() - line.size(), line.size(), line) == 0,
        c.inLog)
        << log;
  }
}

}  // namespace
