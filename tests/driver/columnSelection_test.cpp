// Column selection on the command line (-V P): the plan's checks and stem, the log line, the
// .columns file against hand-worked probabilities, and runs whose incremental scores must
// give the bytes of the reference scoring.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "driver/common_main.h"
#include "io/RunError.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/settings.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

TEST(ColumnSelectionOption, StemAndFiles) {
  const struct {
    const char* line;
    const char* stem;
    const char* columns;
  } cases[] = {
      {"-m HDBern -f v.dat -k 0 -h OA -c integrated -B 3 -V 0.25", "v_k0_OA_p_a0_B3_V0.25", ""},
      {"-m HDBern -f v.dat -k 0 -h OA -c integrated -B 3 -V .5 -d 4", "v_k0_OA_p_a0_B3_V0.5",
       "v_k0_OA_p_a0_B3_V0.5.columns"},
      {"-m ProteinSequence -f s.fasta -k 0 -h UX -c integrated -i 9 -x -V 1e-3 -l a -d 1",
       "s_k0_UX_p_a0_i9_a_V0.001_x", "s_k0_UX_p_a0_i9_a_V0.001_x.columns"},
      {"-m HDGBern -f g.dat -k 0 -h EN -c integrated -V 0.9 -d 1", "g_k0_EN_p_a0_V0.9", ""},
      {"-m HDBern -f v.dat -k 0 -h OA -c integrated -B 3 -d 4", "v_k0_OA_p_a0_B3", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const RunPlan plan = makePlan(settingsOf(c.line));
    EXPECT_EQ(plan.fileStem, c.stem);
    EXPECT_EQ(plan.file("columns"), c.columns);
  }
}

TEST(ColumnSelectionOption, RefusedWithOneLine) {
  const std::string search = " -k 0 -h OA -B 3 ";
  const struct {
    const char* line;
    const char* refusal;
  } cases[] = {
      {"-m HDBern -f v.dat -c integrated -V 0", "main(). -V must be a number between 0 and 1, both excluded: 0"},
      {"-m HDBern -f v.dat -c integrated -V 1", "main(). -V must be a number between 0 and 1, both excluded: 1"},
      {"-m HDBern -f v.dat -c integrated -V -0.2", "main(). -V must be a number between 0 and 1, both excluded: -0.2"},
      {"-m HDBern -f v.dat -c integrated -V 0.5x", "main(). -V must be a number between 0 and 1, both excluded: 0.5x"},
      {"-m HDBern -f v.dat -c integrated -V nan", "main(). -V must be a number between 0 and 1, both excluded: nan"},
      {"-m kmeans2 -f v.dat -c integrated -V 0.5",
       "main(). -V selects the columns of ProteinSequence, HDBern, HDGBern, ordinal only, not of kmeans2"},
      {"-m mclust2 -f v.dat -c integrated -V 0.5",
       "main(). -V selects the columns of ProteinSequence, HDBern, HDGBern, ordinal only, not of mclust2"},
      {"-m HDBern -f v.dat -c classi -V 0.5", "main(). -V needs the integrated criterion: classi"},
      {"-m HDGBern -f v.dat -c mixture -V 0.5", "main(). -V needs the integrated criterion: mixture"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    CaptureStdout out;
    try {
      makePlan(settingsOf(std::string(c.line) + search));
      ADD_FAILURE() << "expected a refusal";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.refusal);
      EXPECT_EQ(error.status, -1);
    }
    EXPECT_EQ(out.text(), std::string(c.refusal) + "\n");
  }
}

TEST(ColumnSelectionOption, PriorOnPNeedsColumnSelectionAndTwoShapes) {
  const RunPlan plan =
      makePlan(settingsOf("-m HDBern -f v.dat -k 0 -h OA -c integrated -i 5 -V 0.2 -W 1,2.50 -d 1"));
  EXPECT_EQ(plan.fileStem, "v_k0_OA_p_a0_i5_V0.2_W1,2.5");
  EXPECT_EQ(plan.chain.columnPrior.first, 1.0);
  EXPECT_EQ(plan.chain.columnPrior.second, 2.5);
  EXPECT_EQ(plan.file("pdraws"), "v_k0_OA_p_a0_i5_V0.2_W1,2.5.pdraws");
  const struct {
    const char* extra;
    const char* refusal;
  } cases[] = {
      {"-W 1,1", "main(). -W needs -V, whose P starts the chain: 1,1"},
      {"-V 0.5 -W 1", "main(). -W must be two positive numbers A,B: 1"},
      {"-V 0.5 -W 0,1", "main(). -W must be two positive numbers A,B: 0,1"},
      {"-V 0.5 -W 1,-2", "main(). -W must be two positive numbers A,B: 1,-2"},
      {"-V 0.5 -W 1,2,3", "main(). -W must be two positive numbers A,B: 1,2,3"},
      {"-V 0.5 -W a,b", "main(). -W must be two positive numbers A,B: a,b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    CaptureStdout out;
    try {
      makePlan(settingsOf(std::string("-m HDBern -f v.dat -k 0 -h OA -c integrated -i 5 ") + c.extra));
      ADD_FAILURE() << "expected a refusal";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.refusal);
    }
  }
}

// The P of each kept iteration, one line each; a chain whose P moves.
TEST(ColumnSelectionOption, PDrawsFileHasOneLineOfPPerDraw) {
  TempDir dir;
  dir.write("b.dat", "1 1 0 0\n1 1 0 1\n0 0 1 1\n0 1 1 1\n1 0 0 1\n");
  ASSERT_EQ(runExe(fields("-m HDBern -f b.dat -k 0 -h OA -c integrated -i 12 -d 3 -q -V 0.5 -W 2,2"),
                   dir.path)
                .status,
            1);
  const std::vector<std::string> got = lines(dir.read("b_k0_OA_p_a0_i12_V0.5_W2,2.pdraws"));
  ASSERT_EQ(got.size(), 4u);
  std::vector<double> values;
  for (size_t l = 0; l < got.size(); l++) {
    const std::vector<std::string> f = fields(got[l]);
    ASSERT_EQ(f.size(), 2u) << got[l];
    EXPECT_EQ(f[0], std::to_string(3 * (l + 1)));
    values.push_back(std::stod(f[1]));
    EXPECT_GT(values.back(), 0.0);
    EXPECT_LT(values.back(), 1.0);
  }
  EXPECT_NE(values.front(), values.back());
  EXPECT_NE(dir.read("b_k0_OA_p_a0_i12_V0.5_W2,2.log").find("Prior on P (-W): Beta(2, 2), P drawn after every iteration\n"),
            std::string::npos);
}

// Two rows apart (a fixed k of 2 keeps them so), flat Dirichlet(1, 1). Column 1 holds 0 and
// 1: clustered e^Lc = (1/2)(1/2) = 1/4, background (counts 1, 1) 1/6, so P 0.5 gives
// (1/8) / (1/8 + 1/12) = 0.6. Column 2 holds 0 and 0: clustered 1/4, background (counts 2, 0)
// 2/6, so (1/8) / (1/8 + 1/6) = 3/7.
TEST(ColumnSelectionOption, ColumnsFileHoldsTheMeanProbabilities) {
  TempDir dir;
  dir.write("two.dat", "0 0\n1 0\n");
  const ExeResult run = runExe(
      fields("-m HDBern -f two.dat -k 2 -h OA -c integrated -i 3 -d 1 -q -V 0.5"), dir.path);
  ASSERT_EQ(run.status, 1) << run.out << run.err;
  const std::string stem = "two_k2_OA_p_a0_i3_V0.5";
  EXPECT_EQ(dir.read(stem + ".columns"), "1 0.6\n2 0.428571\n");
  EXPECT_NE(dir.read(stem + ".log").find(
                "Column selection (-V): each column is clustered with prior probability 0.5\n"),
            std::string::npos);
  // Without draws there is nothing to average: no .columns.
  ASSERT_EQ(runExe(fields("-m HDBern -f two.dat -k 2 -h OA -c integrated -i 3 -q -V 0.5 -l b"),
                   dir.path)
                .status,
            1);
  EXPECT_FALSE(dir.exists(stem + "_b.columns"));
}

// The whole way: a -V run's .columns (worked above: 0.6 and 3/7) and a -W run's .pdraws read by
// vornak-summary into its table and text; the summary's P is the mean of the kept draws.
TEST(ColumnSelectionOption, SummaryReportsTheColumnsOfARun) {
  TempDir dir;
  dir.write("two.dat", "0 0\n1 0\n");
  ASSERT_EQ(runExe(fields("-m HDBern -f two.dat -k 2 -h OA -c integrated -i 3 -d 1 -q -V 0.5"),
                   dir.path).status, 1);
  ExeResult run = runExe(fields("--burn 0 -o s two_k2_OA_p_a0_i3_V0.5.draws"), dir.path,
                         VORNAK_SUMMARY_EXE);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(dir.read("s.summary.tsv").find("column_probability\tall\t1\t0.6\n"
                                           "column_probability\tall\t2\t0.428571\n"),
            std::string::npos) << dir.read("s.summary.tsv");
  EXPECT_NE(run.out.find("1 of 2 columns clustered with probability at least 0.5:\n"
                         "  column 1  0.6000\n"),
            std::string::npos) << run.out;

  ASSERT_EQ(runExe(fields("-m HDBern -f two.dat -k 2 -h OA -c integrated -i 8 -d 1 -q -V 0.5 "
                          "-W 2,2"), dir.path).status, 1);
  const std::string stem = "two_k2_OA_p_a0_i8_V0.5_W2,2";
  // Burn-in 0.5 of 8 lines keeps iterations 5 to 8.
  double sum = 0;
  int kept = 0;
  for (const std::string& line : lines(dir.read(stem + ".pdraws"))) {
    const std::vector<std::string> f = fields(line);
    if (std::stoi(f[0]) >= 5) {
      sum += std::stod(f[1]);
      kept++;
    }
  }
  ASSERT_EQ(kept, 4);
  run = runExe(fields("-o w " + stem + ".draws"), dir.path, VORNAK_SUMMARY_EXE);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string tsv = dir.read("w.summary.tsv");
  const std::string row = "P\tall\tmean\t";
  const size_t at = tsv.find(row);
  ASSERT_NE(at, std::string::npos) << tsv;
  EXPECT_NEAR(std::stod(tsv.substr(at + row.size())), sum / 4, 1e-9);
  EXPECT_NE(run.out.find("Prior probability P of a clustered column (4 draws from the .pdraws "
                         "files of 1 chain)"),
            std::string::npos) << run.out;
}

// The moves' incremental scores under column selection equal the reference's whole scores
// bit for bit, so every file keeps its bytes.
TEST(ColumnSelectionOption, IncrementalRunsGiveTheReferenceBytes) {
  const char* binary =
      "1 1 0 0 1 0\n1 1 0 0 0 0\n1 0 0 0 1 0\n1 1 1 0 1 0\n0 0 1 1 0 1\n0 1 1 1 0 1\n"
      "0 0 1 1 0 0\n0 0 1 0 0 1\n1 0 0 1 1 1\n0 1 0 1 1 1\n1 0 1 1 1 1\n0 0 0 0 0 0\n";
  for (const char* heuristic : {"OA", "SR2", "UX2", "JN"}) {
    SCOPED_TRACE(heuristic);
    TempDir exact, reference;
    exact.write("b.dat", binary);
    reference.write("b.dat", binary);
    const std::string words = std::string("-m HDBern -f b.dat -k 0 -h ") + heuristic +
                              " -c integrated -i 30 -d 3 -s 5 -V 0.3";
    ASSERT_EQ(runExe(fields(words), exact.path).status, 1);
    ASSERT_EQ(runExe(fields(words), reference.path, VORNAK_EXE,
                     [] { setenv("VORNAK_SCORING", "reference", 1); })
                  .status,
              1);
    const std::string stem = std::string("b_k0_") + heuristic + "_p_a0_i30_s5_V0.3";
    for (const char* suffix : {".save", ".draws", ".columns", ".finalz", ".best"}) {
      const std::string a = exact.read(stem + suffix);
      EXPECT_FALSE(a.empty()) << suffix;
      EXPECT_EQ(a, reference.read(stem + suffix)) << suffix;
    }
  }
}

}  // namespace
