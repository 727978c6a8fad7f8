// A score that is not a finite number must never pass for a result: when one reaches the
// trace the run stops with one line (status -1), the trace keeps only finite points and
// .finalz the partition of the last complete iteration.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "io/RunError.h"
#include "io/Text.h"
#include "stats/rvgs.h"
#include "support/CaptureStdout.h"
#include "support/TempDir.h"
#include "support/TinyModel.h"

namespace {

// Scores like TinyModel for its first `finiteCalls` cluster scores, then NaN, as a model
// whose sums overflow part way through a run would.
class OverflowingModel : public TinyModel {
 public:
  OverflowingModel(std::vector<double> points, long finiteCalls)
      : TinyModel(std::move(points)), left_(finiteCalls) {}
  double getClusterFit(const int* z, int j) const override {
    if (left_ <= 0) return std::numeric_limits<double>::quiet_NaN();
    left_--;
    return TinyModel::getClusterFit(z, j);
  }

 private:
  mutable long left_;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

RunError runUntilFailure(PartitionSampler& sampler, const std::string& stem) {
  try {
    sampler.run(100000, 100, stem);
  } catch (const RunError& e) {
    return e;
  }
  return RunError("no failure", 0);
}

TEST(NonFiniteScore, StopsTheRunKeepingTheLastCompleteIteration) {
  for (const char* heuristic : {"UX", "OA", "JN2"}) {
    SCOPED_TRACE(heuristic);
    TempDir dir;
    OverflowingModel model({0, 0.3, 2, 2.2, 5, 5.1}, 3000);
    std::ostringstream log;
    PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0, log, heuristic,
                             ScoringMode::Reference);
    _rng.initialize(2);
    sampler.initZ("");
    CaptureStdout out;
    const RunError error = runUntilFailure(sampler, dir.file("r"));
    EXPECT_EQ(error.status, -1);
    const std::string line = error.what();
    const std::string prefix = "Run stopped: a score that is not a finite number (";
    ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
    // "... (nan) in iteration I+1; <stem>.finalz holds the partition after iteration I"
    const std::string tail = line.substr(line.find(") in iteration ") + 15);
    const long failing = std::stol(tail);
    const std::string holds = "; " + dir.file("r.finalz") + " holds the partition after iteration ";
    ASSERT_NE(tail.find(holds), std::string::npos) << line;
    const long completed = std::stol(tail.substr(tail.find(holds) + holds.size()));
    EXPECT_EQ(failing, completed + 1);
    EXPECT_GE(completed, 1);
    EXPECT_EQ(out.text(), line + "\n");
    EXPECT_EQ(lines(log.str()).back(), line);

    // Only finite scores in the trace, and for a move traced once per iteration exactly one
    // point per complete iteration after the start.
    const std::vector<std::string> save = lines(dir.read("r.save"));
    long points = 0;
    for (size_t i = 1; i < save.size(); i++) {
      std::istringstream f(save[i]);
      double score;
      long count;
      ASSERT_TRUE(f >> score >> count) << save[i];
      EXPECT_TRUE(std::isfinite(score)) << save[i];
      points += count;
    }
    if (std::string(heuristic) == "UX") {
      EXPECT_EQ(points, 1 + completed);
    }
    EXPECT_EQ(dir.read("r.finalz"), Text::arrayLine(sampler.state.zold.data(), model.n));
    EXPECT_TRUE(dir.exists("r.best"));
    EXPECT_EQ(log.str().find("acceptance rate"), std::string::npos);
  }
}

TEST(NonFiniteScore, StartThatCannotBeScoredIsRefused) {
  TempDir dir;
  OverflowingModel model({0, 0.3, 2, 2.2}, 0);
  std::ostringstream log;
  PartitionSampler sampler(0, model.n, INTEGRATED, &model, 0, log, "OA", ScoringMode::Reference);
  _rng.initialize(2);
  sampler.initZ("");
  CaptureStdout out;
  const RunError error = runUntilFailure(sampler, dir.file("r"));
  EXPECT_EQ(error.status, -1);
  EXPECT_EQ(std::string(error.what()), "Run stopped: the starting partition scores nan");
  EXPECT_FALSE(dir.exists("r.save"));
  EXPECT_FALSE(dir.exists("r.finalz"));
}

}  // namespace
