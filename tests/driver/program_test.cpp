// Whole-program tests: the built executable (and the R entry point) run in a fresh folder.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "support/run_exe.h"

namespace {

// The usage text, line by line.
const char* const kUsageLines[] = {
    "\n",
    "vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -c integrated -l case1 \n",
    "vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -t 10 -c integrated -l case2 \n",
    "vornak -m mclust2 -f tiny.dat -k 2 -h EN -c integrated \n",
    "vornak -m ProteinSequence -f set123a.fasta -k 3 -h UX -B 6 -t 1 -l tmp -p bg -a 1 -c "
    "integrated -z set123a_k3_UX_p_a0_B6_case1.finalz\n",
    "\n",
    "Options:\n",
    "  -m: model. This should be ProteinSequence, HDBern, HDGBern, kmeans2, mclust2, mvn, "
    "diagonal, or ordinal.\n",
    "  -f: data file name. For ProteinSequence, the file should be in fasta format. For other "
    "models, the file should contain a matrix, with each row corresponding to an observation.\n",
    "  -h: heuristics. This should be OA, JN, JN2, DA, DA2, SR, SR2, UX, UX2, UXf, UXf2, rBHS2, "
    "CM, CM2, PS, or EN. JN, JN2, DA, DA2, CM and CM2 need -k 0; EN lists every partition, for "
    "tiny data only.\n",
    "  -k: number of assumed clusters, at most 32767. If 0, it means k is infinite mixture.\n",
    "  -B: The maximum number of iterations should be 1eB (B at most 18). A search needs -B, -t "
    "or -i (-i N: exactly N iterations, in place of -B); EN needs none. With -t alone, B is 9.\n",
    "  -t: number of minutes to run. Without -t, it is 14400 (ten days).\n",
    "  -c: the type of likelihood. This should be integrated, classi, or mixture. classi and "
    "mixture are for HDBern and HDGBern only.\n",
    "  the following are optional\n",
    "  -l: an arbitrary label for this run. It is used to help provide unique names for the "
    "output files.\n",
    "  -p: component prior. The allowable values depends on the model.\n\tFor ProteinSequence, "
    "this should be bg (default), flat, cloud9, or shared.\n\tFor mclust2, mvn and diagonal, this is used "
    "in specifying component prior, default 1.\n\tFor HDBern and HDGBern, this should be flat "
    "(default), point5, point05, point005, levels, or shared.\n\tFor ordinal, this should be flat "
    "(default) or jeffreys.\n\tFor kmeans2, it is not used.\n",
    "  -a: parameter log(alpha) for DP or Dirichlet, default log(1).\n",
    "  -z: name of a file containing a partition used to initialize the search. The default is "
    "an empty string, meaning use a random partition.\n",
    "  \n",
    "Every option, the further ones included, with defaults and exit statuses: vornak --help\n",
};

std::string usageText() {
  std::string text;
  for (const char* line : kUsageLines) text += line;
  return text;
}

std::vector<std::string> entries(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

TEST(Program, MissingRequiredOptionsPrintUsageAndCreateNothing) {
  const struct {
    const char* line;
    const char* err;
  } cases[] = {
      {"", ""},
      {"-m mclust2 -f sim11.dat -k 2 -h UX", ""},  // a search needs -B or -t
      {"-m mclust2 -f sim11.dat -h EN", ""},
      // -k -1 reads as absent, but it was given: standard error names it
      {"-m mclust2 -f sim11.dat -k -1 -h EN -B 3",
       "main(). k must be 0 or a number of clusters from 1 to 32767: -1\n"},
      {"-f sim11.dat -k 2 -h EN", ""},
      {"-m mclust2 -k 2 -h EN", ""},
      {"-m mclust2 -f sim11.dat -k 2 -B 3 -c classi", ""},
      {"-m mclust2 -f sim11.dat -k 2 -B 3 -h", ""},
  };
  ASSERT_EQ(std::size(kUsageLines), 21u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TempDir dir;
    ExeResult run = runExe(split(c.line), dir.path);
    EXPECT_EQ(run.out, usageText());
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.status, 255);
    EXPECT_TRUE(entries(dir).empty());
  }
}

const std::regex kStartedLine(
    "Started at [0-9]{4}/[1-9][0-9]?/[1-9][0-9]? (0|[1-9][0-9]?):(0|[1-9][0-9]?):(0|[1-9][0-9]?)");

// A search run without -c stops at the criterion, after its log has been started; the log is
// kept as STEM.failed.log, so it blocks no rerun.
TEST(Program, MissingCriterionStopsAfterTheLogIsWritten) {
  TempDir dir;
  ExeResult run = runExe(split("-m mclust2 -f sim11.dat -k 2 -h UX -B 2 -l x"), dir.path);
  EXPECT_EQ(run.out,
            "\nfileStem: sim11_k2_UX_p1_a0_B2_x\nmain(). criterionType not recognized: \n");
  EXPECT_EQ(run.status, 255);
  ASSERT_EQ(entries(dir), std::vector<std::string>{"sim11_k2_UX_p1_a0_B2_x.failed.log"});
  const std::string log = dir.read("sim11_k2_UX_p1_a0_B2_x.failed.log");
  std::smatch match;
  ASSERT_TRUE(std::regex_match(
      log, match,
      std::regex("  write sim11_k2_UX_p1_a0_B2_x\\.log\n(.*)\n"
                 "That was also the number used to initialize rng\\. \n")))
      << log;
  EXPECT_TRUE(std::regex_match(match[1].str(), kStartedLine)) << match[1];
}

TEST(Program, UnknownCriterionInAnEnumerationRun) {
  // Enumeration writes no start lines; its "  write " line goes to standard output.
  TempDir dir;
  ExeResult run = runExe(split("-m mclust2 -f sim11.dat -k 2 -h EN -B 6 -l x -c Classi"), dir.path);
  EXPECT_EQ(run.out,
            "\nfileStem: sim11_k2_EN_p1_a0\n  write sim11_k2_EN_p1_a0.log\n"
            "main(). criterionType not recognized: Classi\n");
  EXPECT_EQ(run.status, 255);
  ASSERT_EQ(entries(dir), std::vector<std::string>{"sim11_k2_EN_p1_a0.failed.log"});
  EXPECT_EQ(dir.read("sim11_k2_EN_p1_a0.failed.log"), "");
}

// The second run of a command stops at the log of the first.
TEST(Program, SameCommandTwiceRefusesToReplaceTheLog) {
  TempDir dir;
  const std::vector<std::string> args =
      split("-m HDBern -f votes.dat -k 0 -h OA -t 1 -l again -c integrated -i 1 -q");
  const std::string logName = "votes_k0_OA_p_a0_i1_t1_again.log";
  dir.write("votes.dat", "0 1 1\n1 0 0\n0 0 1\n1 1 0\n");
  ExeResult first = runExe(args, dir.path);
  EXPECT_EQ(first.status, 1);
  ASSERT_TRUE(dir.exists(logName));
  const std::string firstLog = dir.read(logName);
  const std::vector<std::string> firstFiles = entries(dir);
  ExeResult second = runExe(args, dir.path);
  EXPECT_EQ(second.out, "\nfileStem: votes_k0_OA_p_a0_i1_t1_again\nFile already exists: " + logName +
                            "\n");
  EXPECT_EQ(second.status, 255);
  // Standard error says which file blocks the rerun and that it may go.
  EXPECT_EQ(second.err, logName +
                            " blocks this run: it is left from an earlier run with the same file "
                            "names and may be removed\n");
  EXPECT_EQ(dir.read(logName), firstLog);
  EXPECT_EQ(entries(dir), firstFiles);
}

// Six points in two groups, written with blanks, with tabs, and with a blank before CRLF.
const char* const kSixRows[] = {"0.1 0.3", "-0.2 0.1", "0 -0.1", "4.9 5.2", "5.3 4.8", "5.1 5"};

std::string sixRows(const std::string& separator, const std::string& lineEnd) {
  std::string text;
  for (std::string row : kSixRows) {
    row.replace(row.find(' '), 1, separator);
    text += row + lineEnd;
  }
  return text;
}

// The result files of one completed run in a fresh folder.
std::string resultsOf(const std::string& data, const std::string& line, const std::string& stem,
                      ExeResult* result = nullptr) {
  TempDir dir;
  dir.write("six.dat", data);
  ExeResult run = runExe(split(line), dir.path);
  EXPECT_EQ(run.status, 1) << run.out;
  if (result) *result = run;
  return dir.read(stem + ".save") + "|" + dir.read(stem + ".finalz");
}

TEST(Program, TabSeparatedAndCrlfMatricesReadLikeBlankSeparatedOnes) {
  const std::string line = "-m mclust2 -f six.dat -k 0 -h OA -B 2 -c integrated";
  const std::string stem = "six_k0_OA_p1_a0_B2";
  const std::string blanks = resultsOf(sixRows(" ", "\n"), line, stem);
  EXPECT_EQ(resultsOf(sixRows("\t", "\n"), line, stem), blanks);
  EXPECT_EQ(resultsOf(sixRows(" \t ", " \r\n"), line, stem), blanks);
}

TEST(Program, DoubtfulNumbersWarnOnStandardErrorOnly) {
  // -k 2abc and -B 1.5 run as -k 2 and -B 1 (the same stem and files); only standard error
  // tells, and standard output differs only in the command line the report repeats.
  const std::string stem = "six_k2_OA_p1_a0_B1";
  ExeResult clean, doubtful;
  const std::string expected =
      resultsOf(sixRows(" ", "\n"), "-m mclust2 -f six.dat -k 2 -h OA -B 1 -c integrated", stem,
                &clean);
  EXPECT_EQ(resultsOf(sixRows(" ", "\n"), "-m mclust2 -f six.dat -k 2abc -h OA -B 1.5 -c integrated",
                      stem, &doubtful),
            expected);
  EXPECT_EQ(clean.err, "");
  EXPECT_EQ(doubtful.err,
            "warning: -k 2abc is not a whole number; read as 2\n"
            "warning: -B 1.5 is not a whole number; read as 1\n");
  auto beforeReport = [](const std::string& out) { return out.substr(0, out.find(VORNAK_EXE)); };
  EXPECT_EQ(beforeReport(doubtful.out), beforeReport(clean.out));
  EXPECT_NE(beforeReport(clean.out).find("fileStem: " + stem), std::string::npos);
}

TEST(Program, AlphaOutOfRangeIsRefusedOnlyWhereThePriorUsesIt) {
  // A fixed k scores without alpha: -a 800 runs, and gives the files of -a 0.
  const std::string withAlpha =
      resultsOf(sixRows(" ", "\n"), "-m mclust2 -f six.dat -k 2 -h OA -B 1 -a 800 -c integrated",
                "six_k2_OA_p1_a800_B1");
  EXPECT_EQ(withAlpha, resultsOf(sixRows(" ", "\n"),
                                 "-m mclust2 -f six.dat -k 2 -h OA -B 1 -c integrated",
                                 "six_k2_OA_p1_a0_B1"));
}

TEST(Program, FixedKAsLargeAsTheDataStartsAtOnce) {
  // 36 observations in 36 clusters: the redraw loop would need about 3e14 rounds.
  TempDir dir;
  std::string rows;
  for (int i = 0; i < 36; i++) rows += std::to_string(i % 5) + " " + std::to_string(i % 7) + "\n";
  dir.write("d.dat", rows);
  // -B -2 runs no iteration, so the final partition is the start.
  ExeResult run = runExe(split("-m kmeans2 -f d.dat -k 36 -h OA -B -2 -c integrated"), dir.path);
  EXPECT_EQ(run.status, 1) << run.out;
  const std::string log = dir.read("d_k36_OA_p_a0_B-2.log");
  EXPECT_NE(log.find("Random start: redrawing all labels until no cluster is empty would take "
                     "more than "),
            std::string::npos);
  std::istringstream finalz(dir.read("d_k36_OA_p_a0_B-2.finalz"));
  std::vector<int> labels;
  for (int label; finalz >> label;) labels.push_back(label);
  std::sort(labels.begin(), labels.end());
  std::vector<int> each(36);
  for (int j = 0; j < 36; j++) each[j] = j;
  EXPECT_EQ(labels, each);  // one observation per cluster
}

// Settings rejected before any file is written.
TEST(Program, BadSettingsStopBeforeAnyFile) {
  const struct {
    const char* line;
    const char* out;
  } cases[] = {
      {"-m Foo -f d.dat -k 2 -h EN -c classi", "main(). model not recognized: Foo\n"},
      {"-m ProteinSequence -f s.fasta -k 2 -h UX -B 2 -p point5 -c classi",
       "main(). prior not recognized: point5\n"},
      {"-m HDGBern -f d.dat -k 2 -h UX -B 2 -p bg -c classi",
       "main(). prior not recognized: bg\n"},
      {"-m mclust2 -f d.dat -k -2 -h UX -B 2 -c classi",
       "main(). k must be 0 or a number of clusters from 1 to 32767: -2\n"},
      {"-m mclust2 -f d.dat -k 3 -h JN -B 2 -c classi",
       "main(). heuristics JN change the number of clusters and need -k 0: 3\n"},
      {"-m mclust2 -f d.dat -k 2 -h UX -B 19 -c classi",
       "\nfileStem: d_k2_UX_p1_a0_B19\n"
       "main(). B too large, 10 to its power does not fit in 64 bits: 19\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TempDir dir;
    ExeResult run = runExe(split(c.line), dir.path);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.status, 255);
    EXPECT_TRUE(entries(dir).empty());
  }
}

// The R entry takes strings by length (not terminated), uses the integrated criterion and
// returns to its caller instead of ending the process. The run succeeds: where CMake found R,
// a failure raises an R error, which needs a running R (tests/R/cmake_library.R checks that).
TEST(Program, REntryRunsWithStringsGivenByLength) {
  const std::string library =
      std::filesystem::path(VORNAK_EXE).parent_path().string() + "/libvornak_r.so";
  TempDir dir;
  std::ifstream data(std::string(VORNAK_SOURCE_DIR) + "/examples/sim11.dat");
  std::stringstream text;
  text << data.rdbuf();
  ASSERT_FALSE(text.str().empty());
  dir.write("sim11.dat", text.str());
  ExeResult run = runInChild(dir.path, [&] {
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return 3;
    using Entry = void (*)(char**, int*, char**, int*, char**, int*, char**, int*, char**, int*,
                           char**, int*, int*, int*, int*);
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "vornak_R_main"));
    if (entry == nullptr) return 4;
    char data[] = "sim11.datXXXX", label[] = "labYY", initialZ[] = "", heuristics[] = "UXZ",
         prior[] = "?", model[] = "mclust2QQ";
    char *dataP = data, *labelP = label, *initialZP = initialZ, *heuristicsP = heuristics,
         *priorP = prior, *modelP = model;
    int dataLen = 9, labelLen = 3, initialZLen = 0, heuristicsLen = 2, priorLen = 0,
        modelLen = 7, k = 2, B = 2, minutes = -1;
    entry(&dataP, &dataLen, &labelP, &labelLen, &initialZP, &initialZLen, &heuristicsP,
          &heuristicsLen, &priorP, &priorLen, &modelP, &modelLen, &k, &B, &minutes);
    return 0;
  });
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.rfind("\nfileStem: sim11_k2_UX_p1_a0_B2_lab\n", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find("criterionType"), std::string::npos) << run.out;
  ASSERT_TRUE(dir.exists("sim11_k2_UX_p1_a0_B2_lab.log"));
  const std::string log = dir.read("sim11_k2_UX_p1_a0_B2_lab.log");
  EXPECT_EQ(log.rfind("  write sim11_k2_UX_p1_a0_B2_lab.log\n", 0), 0u) << log;
  EXPECT_TRUE(dir.exists("sim11_k2_UX_p1_a0_B2_lab.finalz"));
}

}  // namespace

namespace {

TEST(Program, OutOfMemoryEndsWithOneLine) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the address sanitizer reserves more memory than the limit allows";
#endif
  // A tree over one cluster of 20000 observations wants 1.6 GB of distances; allow 512 MB.
  TempDir dir;
  std::string rows, start;
  for (int i = 0; i < 20000; i++) {
    rows += std::to_string(i % 7) + " 1\n";
    start += "0\n";
  }
  dir.write("big.dat", rows);
  dir.write("one.z", start);
  const char* args[] = {VORNAK_EXE, "-m", "kmeans2", "-f", "big.dat", "-k", "0", "-h", "UX",
                        "-B", "1", "-c", "integrated", "-z", "one.z", nullptr};
  ExeResult result = runInChild(dir.path, [&] {
    struct rlimit limit = {512ul << 20, 512ul << 20};
    setrlimit(RLIMIT_AS, &limit);
    execv(VORNAK_EXE, const_cast<char* const*>(args));
    return 127;
  });
  EXPECT_EQ(result.status, 255);
  EXPECT_NE(result.out.find("Out of memory: "), std::string::npos) << result.out << result.err;
}

}  // namespace
