// Heated chains read the data once: what reading it says (the reader's lines, a warning on
// standard error, the log's note of missing cells) shows once, as in a run of one chain.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

// Twelve rows in three groups; the second column spreads 200 times wider than the first, and
// two cells are missing.
const char* const kRows =
    "0.1 310\n-0.3 -420\n0.2 150\n2.9 -610\n3.2 380\n2.7 90\n"
    "5.8 -240\n6.1 NA\n5.9 520\nNA -330\n3.1 45\n6.3 -80\n";

int count(const std::string& text, const std::string& part) {
  int found = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    found++;
  return found;
}

TEST(SharedDataProgram, HeatedRunSaysWhatReadingSaysOnce) {
  const std::string run = "-m kmeans2 -f r.txt -k 0 -h OA -c integrated -q -i 5 -s 3";
  TempDir plainDir, heatedDir;
  plainDir.write("r.txt", kRows);
  heatedDir.write("r.txt", kRows);
  const ExeResult plain = runExe(fields(run), plainDir.path);
  const ExeResult heated = runExe(fields(run + " -T 4 -j 2"), heatedDir.path);
  ASSERT_EQ(plain.status, 1) << plain.out << plain.err;
  ASSERT_EQ(heated.status, 1) << heated.out << heated.err;
  const std::string warning = "warning: the columns' standard deviations differ";
  EXPECT_EQ(count(plain.err, warning), 1) << plain.err;
  EXPECT_EQ(heated.err, plain.err);
  EXPECT_EQ(count(heated.out, "read r.txt"), count(plain.out, "read r.txt")) << heated.out;
  const std::string log = heatedDir.read("r_k0_OA_p_a0_i5_s3_T4.log");
  EXPECT_EQ(count(log, "Missing cells (NA): 2 of 24"), 1) << log;
}

}  // namespace
