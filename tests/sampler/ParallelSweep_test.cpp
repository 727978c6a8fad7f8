// The parallel sweep ("PS"): on five rows a long run visits each partition with its
// probability from the exact enumeration (the sweep alone within its number of clusters,
// the heuristic's whole step over every partition), for HDBern (with a Dirichlet-mixture
// prior too), HDGBern and mclust2, missing cells included; the same partitions whatever the
// number of threads; through the program, the same files with -j 1 and -j 2 and one line
// refusing what it cannot sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "models/HDBern.h"
#include "models/mclust2.h"
#include "sampler/moves/ParallelSweep.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"
#include "support/run_exe.h"
#include "support/text.h"

namespace {

enum class Model { Binary, BinaryMixture, Categorical, Normal };

std::string rowsOf(Model model) {
  switch (model) {
    case Model::Binary:
    case Model::BinaryMixture:
      return "1 0 1 1\n1 1 NA 1\n0 1 0 0\n0 0 0 1\n1 1 1 0\n";
    case Model::Categorical:
      return "0 2 1\n1 2 1\n3 NA 0\n0 1 1\n2 2 3\n";
    case Model::Normal:
      return "0.0 0.2\n0.3 -0.1\n1.4 NA\n1.6 1.2\n2.9 2.1\n";
  }
  return "";
}

std::unique_ptr<Observable> build(Model kind, const std::string& file, ScoringMode mode) {
  static std::ostringstream log;
  CaptureStdout quiet;
  std::unique_ptr<Observable> model;
  if (kind == Model::Binary) {
    std::stringstream prior("1 2 1 0.5 0.5");
    model = std::make_unique<HDBern>(file, prior, log, 1.0);
  } else if (kind == Model::BinaryMixture) {
    // Unnormalised weights, as the models read them.
    std::stringstream prior("2 2 0.7 0.4 0.4 0.5 3 1");
    model = std::make_unique<HDBern>(file, prior, log, 1.0);
  } else if (kind == Model::Categorical) {
    std::string text = "1 20 1";
    for (int v = 0; v < 20; v++) text += " 0.7";
    std::stringstream prior(text);
    model = std::make_unique<HDGBern>(file, prior, log, 1.0);
  } else {
    std::stringstream prior("1");
    model = std::make_unique<mclust2>(file, prior, log, 1.0);
  }
  model->scoring = mode;
  return model;
}

// What runs: the sweep alone from a start of two clusters (it keeps two), or the
// heuristic's whole step from every partition.
enum class Step { SweepFromTwo, Whole };

struct Case {
  Model model;
  Step step;
  int k;
  double beta;
  long iterations;
};

std::ostream& operator<<(std::ostream& os, const Case& c) {
  return os << "model " << static_cast<int>(c.model) << (c.step == Step::Whole ? " whole" : " sweep")
            << " k=" << c.k << " beta=" << c.beta;
}

class ParallelSweepInvariance : public ::testing::TestWithParam<Case> {};

TEST_P(ParallelSweepInvariance, MatchesTheExactDistribution) {
  const Case c = GetParam();
  TempDir dir;
  dir.write("rows.dat", rowsOf(c.model));
  auto targetModel = build(c.model, dir.file("rows.dat"), ScoringMode::Reference);
  auto model = build(c.model, dir.file("rows.dat"), ScoringMode::Exact);
  NullStream log;
  PartitionSampler target(c.k, targetModel->n, INTEGRATED, targetModel.get(), 0.3, log, "PS",
                          ScoringMode::Reference);
  const int blocks = c.step == Step::Whole ? c.k : 2;
  auto exact = exactDistribution(target, allSetPartitions(targetModel->n, blocks), c.beta);
  PartitionSampler sampler(c.k, model->n, INTEGRATED, model.get(), 0.3, log, "PS",
                           ScoringMode::Exact);
  sampler.debug.enabled = false;
  sampler.scorer.setInverseTemperature(c.beta);
  _rng.initialize(11);
  sampler.state.setPartition({0, 0, 1, 1, 1}, 2);
  ParallelSweep move(model->n, c.k <= 0, 2, sampler.debug);
  std::map<std::vector<int>, long> counts;
  for (long it = 0; it < c.iterations; it++) {
    if (c.step == Step::Whole)
      move.step(sampler.state, sampler.scorer);
    else
      move.sweep(sampler.state, sampler.scorer);
    counts[canonical(sampler.state.zold.data(), sampler.state.n)]++;
  }
  EXPECT_LT(totalVariation(exact, counts), 0.03);
}

INSTANTIATE_TEST_SUITE_P(
    Models, ParallelSweepInvariance,
    ::testing::Values(
        // Open k: the Dirichlet process's weights; fixed k: the Dirichlet(1)'s.
        Case{Model::Binary, Step::SweepFromTwo, 0, 1.0, 40000},
        Case{Model::Binary, Step::SweepFromTwo, 2, 1.0, 40000},
        Case{Model::Binary, Step::Whole, 0, 1.0, 150000},
        Case{Model::BinaryMixture, Step::SweepFromTwo, 0, 1.0, 40000},
        Case{Model::BinaryMixture, Step::Whole, 0, 1.0, 150000},
        Case{Model::Categorical, Step::SweepFromTwo, 0, 1.0, 40000},
        Case{Model::Categorical, Step::SweepFromTwo, 2, 1.0, 40000},
        Case{Model::Categorical, Step::Whole, 0, 1.0, 150000},
        Case{Model::Normal, Step::SweepFromTwo, 0, 1.0, 40000},
        Case{Model::Normal, Step::SweepFromTwo, 2, 1.0, 40000},
        Case{Model::Normal, Step::Whole, 0, 1.0, 150000},
        // A heated copy's step: the one-at-a-time sweep in place of the parallel one.
        Case{Model::Binary, Step::Whole, 0, 0.5, 40000}));

// Rows enough for three blocks, from a fixed recurrence: two loose groups of 0/1 rows.
std::string manyRows(int n, int T) {
  std::string text;
  unsigned state = 12345;
  for (int i = 0; i < n; i++) {
    for (int t = 0; t < T; t++) {
      state = state * 1103515245u + 12345u;
      const bool flip = (state >> 16) % 10 < 2;
      const bool one = ((i % 2) == (t % 2)) != flip;
      text += std::string(t ? " " : "") + (one ? "1" : "0");
    }
    text += "\n";
  }
  return text;
}

TEST(ParallelSweep, SamePartitionsWhateverTheThreads) {
  TempDir dir;
  const int n = 2 * ParallelSweep::kBlockRows + 300;
  dir.write("rows.dat", manyRows(n, 8));
  std::vector<int> first;
  for (int threads : {1, 2, 3}) {
    auto model = build(Model::Binary, dir.file("rows.dat"), ScoringMode::Exact);
    NullStream log;
    PartitionSampler sampler(0, model->n, INTEGRATED, model.get(), 0.0, log, "PS");
    sampler.debug.enabled = false;
    _rng.initialize(3);
    std::vector<int> start(n);
    for (int i = 0; i < n; i++) start[i] = i % 3;
    sampler.state.setPartition(start, 3);
    ParallelSweep move(n, true, threads, sampler.debug);
    for (int it = 0; it < 4; it++) move.sweep(sampler.state, sampler.scorer);
    // The rows' groups are found, so the sweeps did move rows.
    EXPECT_NE(sampler.state.zold, start);
    if (first.empty())
      first = sampler.state.zold;
    else
      EXPECT_EQ(sampler.state.zold, first) << threads << " threads";
  }
}

const char* const kBinary =
    "1 1 0 0 1 0\n1 1 0 0 0 0\n1 0 0 0 1 0\n1 1 1 0 1 0\n0 0 1 1 0 1\n0 1 1 1 0 1\n"
    "0 0 1 1 0 0\n0 0 1 0 0 1\n1 0 0 1 1 1\n0 1 0 1 1 1\n1 0 1 1 1 1\n0 0 0 0 0 0\n";
const char* const kReal = "0.1 2\n0.3 2.2\n-0.2 1.9\n3.1 NA\n2.9 -0.5\n3.3 -0.2\n";

TEST(ParallelSweepProgram, SameFilesWithOneAndTwoThreads) {
  const std::vector<std::pair<std::string, std::string>> runs = {
      {"-m HDBern -f d.txt -k 0", "d_k0_PS_p_a0_i40_s4"},
      {"-m HDBern -f d.txt -k 3", "d_k3_PS_p_a0_i40_s4"},
      {"-m mclust2 -f r.txt -k 0", "r_k0_PS_p1_a0_i40_s4"},
  };
  for (const auto& run : runs) {
    std::string first;
    for (const char* threads : {"1", "2"}) {
      TempDir dir;
      dir.write("d.txt", kBinary);
      dir.write("r.txt", kReal);
      const ExeResult result = runExe(
          fields(run.first + " -h PS -c integrated -q -i 40 -s 4 -d 2 -j " + threads), dir.path);
      ASSERT_EQ(result.status, 1) << run.first << result.out << result.err;
      std::string files;
      for (const char* suffix : {".save", ".finalz", ".best", ".draws"})
        files += std::string(suffix) + "\n" + dir.read(run.second + suffix);
      EXPECT_EQ(lines(dir.read(run.second + ".draws")).size(), 20u);
      if (first.empty())
        first = files;
      else
        EXPECT_EQ(files, first) << run.first;
    }
  }
}

TEST(ParallelSweepProgram, RefusesWhatItCannotSampleInOneLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-m mvn -f r.txt -c integrated",
       "main(). heuristic PS draws the cluster parameters of HDBern and HDGBern (priors flat, "
       "point5, point05, point005) and mclust2 only: mvn -p 1"},
      {"-m HDBern -f d.txt -p levels -c integrated",
       "main(). heuristic PS draws the cluster parameters of HDBern and HDGBern (priors flat, "
       "point5, point05, point005) and mclust2 only: HDBern -p levels"},
      {"-m HDBern -f d.txt -c classi", "main(). heuristic PS needs the integrated criterion: classi"},
      {"-m HDBern -f d.txt -c integrated -V 0.5",
       "main(). heuristic PS does not draw the column selection of -V: 0.5"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.write("d.txt", kBinary);
    dir.write("r.txt", kReal);
    const ExeResult result = runExe(fields(c.first + " -h PS -k 0 -i 5 -q"), dir.path);
    EXPECT_EQ(result.status, 255) << c.first;
    EXPECT_NE(result.out.find(c.second + "\n"), std::string::npos) << c.first << "\n" << result.out;
    EXPECT_EQ(result.out.find("main(). "), result.out.rfind("main(). ")) << result.out;
  }
}

}  // namespace
