// The memoised and incremental scoring must not change a single byte of any output file:
// every heuristic, model and criterion is run in the exact scoring mode and in the reference
// mode (VORNAK_SCORING=reference: every score computed from scratch) and the files compared.
// Fast arithmetic (-x) changes nothing but the names and one log line for the models that
// already score exactly.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "support/TempDir.h"

namespace {

const char* const kBinary =
    "0 1 1 0 1 0\n1 1 1 0 1 0\n0 1 1 0 0 0\n1 0 0 1 0 1\n1 0 0 1 1 1\n0 0 0 1 0 1\n"
    "1 1 0 1 0 0\n0 1 1 1 1 0\n";
const char* const kCategorical =
    "3 7 7 0 19\n3 7 6 0 18\n3 5 7 0 19\n12 1 1 4 2\n12 1 2 4 2\n11 1 1 4 3\n3 7 7 1 19\n";
const char* const kReal =
    "0.1 0.3\n-0.4 0.2\n0.3 -0.1\n4.1 3.9\n3.7 4.4\n4.4 4.0\n-3.9 4.2\n-4.2 3.6\n";
// Missing cells take other paths through every model that reads them.
const char* const kCategoricalMissing =
    "3 7 NA 0 19\n3 7 6 0 18\n3 NA 7 0 19\n12 1 1 4 2\nNA 1 2 4 2\n11 1 1 4 3\n3 7 7 1 NA\n";
const char* const kBinaryMissing =
    "0 1 1 0 1 NA\n1 1 1 0 1 0\n0 1 NA 0 0 0\n1 0 0 1 0 1\nNA 0 0 1 1 1\n0 0 0 1 0 1\n";
const char* const kRealMissing =
    "0.1 0.3\n-0.4 NA\n0.3 -0.1\n4.1 3.9\nNA 4.4\n4.4 4.0\n-3.9 4.2\n-4.2 3.6\n";
const char* const kFasta =
    ">a\nACDEFGHIKL-MN\n>b\nACDEYGHIKL-MN\n>c\nACDEFGHVKL--N\n>d\nPQRS-TVWYAACD\n"
    ">e\nPQRS-TVWYAGCD\n>f\nPQRSTTVWYAGCE\n";

struct Data {
  const char* model;
  const char* file;
  const char* text;
  std::vector<const char*> criteria;
  const char* prior;
};

const Data kData[] = {
    {"HDBern", "bin.dat", kBinary, {"integrated", "classi", "mixture"}, "point5"},
    {"HDGBern", "cat.dat", kCategorical, {"integrated", "classi"}, "flat"},
    {"mclust2", "real.dat", kReal, {"integrated"}, "1"},
    {"kmeans2", "real.dat", kReal, {"integrated"}, ""},
    {"ProteinSequence", "seq.fasta", kFasta, {"integrated"}, "cloud9"},
    {"HDGBern", "catna.dat", kCategoricalMissing, {"integrated", "classi"}, "levels"},
    {"HDGBern", "catna.dat", kCategoricalMissing, {"integrated"}, "shared"},
    {"ProteinSequence", "seq.fasta", kFasta, {"integrated"}, "shared"},
    {"HDBern", "binna.dat", kBinaryMissing, {"mixture"}, "flat"},
    {"mclust2", "realna.dat", kRealMissing, {"integrated"}, "1"},
    {"kmeans2", "realna.dat", kRealMissing, {"integrated"}, ""},
};

// Runs one command in dir with the scoring mode given and returns its exit status.
int run(const std::string& scoring, const std::string& dir, const std::string& args) {
  std::string command = "cd '" + dir + "' && VORNAK_SCORING=" + scoring + " '" + VORNAK_EXE +
                        "' " + args + " > stdout.txt 2>&1";
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A log or console output without its wall-clock lines.
std::string timeless(const std::string& log) {
  std::istringstream in(log);
  std::string out, line;
  while (std::getline(in, line))
    if (line.rfind("Started at ", 0) != 0 && line.rfind("Finished in ", 0) != 0) out += line + "\n";
  return out;
}

// One data set a test, so that the runner spreads them over the processors.
class ScoringIdentity : public ::testing::TestWithParam<Data> {};

TEST_P(ScoringIdentity, ExactAndReferenceModesWriteTheSameFiles) {
  const std::vector<std::pair<const char*, std::vector<int>>> heuristics = {
      {"OA", {0, 3}},    {"UX", {0, 3}},    {"UX2", {0, 2}}, {"UXf", {0, 3}}, {"UXf2", {0, 3}},
      {"rBHS2", {0, 3}}, {"SR", {0, 3}},    {"SR2", {0, 2}}, {"JN", {0}},     {"JN2", {0}},
      {"DA", {0}},       {"DA2", {0}},      {"EN", {0, 2}},
  };
  const Data& data = GetParam();
  for (const char* criterion : data.criteria) {
    for (const auto& h : heuristics) {
      // Split-merge moves score with the integrated criterion only.
      for (int k : h.second) {
        std::string args = std::string("-m ") + data.model + " -f " + data.file + " -k " +
                           std::to_string(k) + " -h " + h.first + " -c " + criterion + " -B 1" +
                           (data.prior[0] ? std::string(" -p ") + data.prior : "");
        SCOPED_TRACE(args);
        TempDir fast, reference;
        fast.write(data.file, data.text);
        reference.write(data.file, data.text);
        int fastStatus = run("exact", fast.path, args);
        int referenceStatus = run("reference", reference.path, args);
        ASSERT_EQ(fastStatus, referenceStatus);
        EXPECT_EQ(timeless(fast.read("stdout.txt")), timeless(reference.read("stdout.txt")));
        for (const char* suffix : {".save", ".finalz", ".log"}) {
          std::string stem = std::string(data.file).substr(0, std::string(data.file).find('.'));
          std::string name = stem + "_k" + std::to_string(k) + "_" + h.first + "_p" + data.prior +
                             "_a0" + (std::string(h.first) == "EN" ? "" : "_B1");
          if (!fast.exists(name + suffix)) {
            EXPECT_FALSE(reference.exists(name + suffix)) << name << suffix;
            continue;
          }
          EXPECT_EQ(timeless(fast.read(name + suffix)), timeless(reference.read(name + suffix)))
              << name << suffix;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EachDataSet, ScoringIdentity, ::testing::ValuesIn(kData),
                         [](const ::testing::TestParamInfo<Data>& info) {
                           std::string name = std::string(info.param.model) + "_" +
                                              info.param.file + "_" + info.param.prior;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

const char* const kFastLine =
    "Fast arithmetic (-x): real-valued models score clusters from running sums, agreeing with "
    "exact scoring to about 1e-12 relative\n";

TEST(FastArithmetic, ChangesNothingForModelsThatScoreExactlyButNamesAndOneLogLine) {
  for (const Data& data : kData) {
    const std::string model = data.model;
    const bool real = model == "mclust2" || model == "kmeans2";
    for (const char* h : {"OA", "UX2", "JN2"}) {
      const std::string stem = std::string(data.file).substr(0, std::string(data.file).find('.')) +
                               "_k0_" + h + "_p" + data.prior + "_a0_B1";
      const std::string args = std::string("-m ") + data.model + " -f " + data.file +
                               " -k 0 -h " + h + " -c integrated -B 1" +
                               (data.prior[0] ? std::string(" -p ") + data.prior : "");
      SCOPED_TRACE(args);
      TempDir exact, fast;
      exact.write(data.file, data.text);
      fast.write(data.file, data.text);
      ASSERT_EQ(run("exact", exact.path, args), 1);
      ASSERT_EQ(run("exact", fast.path, args + " -x"), 1);
      EXPECT_FALSE(fast.exists(stem + ".log"));
      std::string fastLog = timeless(fast.read(stem + "_x.log"));
      // The log says so, right after the start lines.
      const std::string startLine = "That was also the number used to initialize rng. \n";
      const size_t at = fastLog.find(startLine + kFastLine);
      ASSERT_NE(at, std::string::npos);
      if (!real) {
        // Nothing to speed up: every file as in the exact mode but for that line.
        fastLog.erase(at + startLine.size(), std::string(kFastLine).size());
        std::string exactLog = timeless(exact.read(stem + ".log"));
        // File lines name the files; a further option adds the closing best-score line.
        for (std::string* log : {&fastLog, &exactLog})
          for (const char* line : {"  write ", "best score "})
            for (size_t w; (w = log->find(line)) != std::string::npos;)
              log->erase(w, log->find('\n', w) + 1 - w);
        EXPECT_TRUE(fastLog == exactLog) << "logs differ";
        for (const char* suffix : {".save", ".finalz"})
          EXPECT_TRUE(fast.read(stem + "_x" + suffix) == exact.read(stem + suffix)) << suffix;
        continue;
      }
      for (const char* suffix : {".save", ".finalz"})
        EXPECT_TRUE(fast.exists(stem + "_x" + suffix)) << suffix;
    }
  }
}

}  // namespace
