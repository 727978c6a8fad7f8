// The stopping rule of chains run until they agree: figures over the complete lines so far.
#include "summary/agreement.h"

#include <gtest/gtest.h>

#include <cmath>

#include "summary/diagnostics.h"
#include "summary/draws.h"
#include "summary/fixtures.h"
#include "support/TempDir.h"

using namespace summary_test;

namespace {

const Exact& posterior() {
  static const Exact exact = exactPosterior({0.0, 0.1, 0.2, 3.0, 3.1});
  return exact;
}

// Two chains of i.i.d. draws from the same posterior agree once long enough; R-hat and ESS
// are those of the summary's own figures on the kept halves.
TEST(Agreement, IndependentDrawsAgreeAndMatchTheSummaryFigures) {
  TempDir dir;
  writeDraws(dir.file("a.draws"), posterior(), sampleIndices(posterior(), 2000, 11));
  writeDraws(dir.file("b.draws"), posterior(), sampleIndices(posterior(), 2000, 12));
  const summary::Agreement result =
      summary::checkAgreement({dir.file("a.draws"), dir.file("b.draws")}, 0.5);
  EXPECT_EQ(result.chains, 2u);
  EXPECT_EQ(result.keptPerChain, 1000u);
  EXPECT_EQ(result.iterations, 2000);
  EXPECT_LT(result.rhatScore, 1.01);
  EXPECT_GT(result.essScore, 1500);
  EXPECT_TRUE(result.agreed(1.01, 400));
  EXPECT_FALSE(result.agreed(1.01, 5000));

  summary::Chains score;
  for (const char* name : {"a.draws", "b.draws"}) {
    const summary::Chain chain = summary::readDraws(dir.file(name), 0.5);
    score.emplace_back(chain.score.begin() + chain.burned, chain.score.end());
  }
  // Scores equal within the tolerance (mirror-image partitions) count as ties.
  EXPECT_DOUBLE_EQ(result.rhatScore, summary::splitRhat(summary::mergeNearlyEqual(score)));
  EXPECT_DOUBLE_EQ(result.essScore, summary::bulkEss(summary::mergeNearlyEqual({score[0]})[0]) +
                                        summary::bulkEss(summary::mergeNearlyEqual({score[1]})[0]));
  double best = -INFINITY;
  for (const auto& chain : score)
    for (double s : chain) best = std::max(best, s);
  EXPECT_GE(result.bestScore, best);  // the burn-in's lines count for the best score
}

// Each chain stuck at its own partition: R-hat is huge, so they never agree.
TEST(Agreement, ChainsStuckApartDoNotAgree) {
  TempDir dir;
  std::string a, b;
  for (int i = 1; i <= 100; i++) {
    a += drawsLine(i, -5.0, {0, 0, 1, 1, 1});
    b += drawsLine(i, -9.0, {0, 1, 2, 2, 2});
  }
  dir.write("a.draws", a);
  dir.write("b.draws", b);
  const auto result = summary::checkAgreement({dir.file("a.draws"), dir.file("b.draws")}, 0.5);
  EXPECT_GT(result.rhatScore, 10);
  EXPECT_GT(result.rhatK, 10);
  EXPECT_FALSE(result.agreed(1.01, 0));
  EXPECT_DOUBLE_EQ(result.bestScore, -5.0);
}

// k fixed and equal in every chain: the k trace agrees by itself.
TEST(Agreement, ConstantEqualTraceAgrees) {
  TempDir dir;
  const auto picks = sampleIndices(posterior(), 400, 5);
  std::string a, b;
  for (size_t d = 0; d < picks.size(); d++) {
    (d % 2 ? a : b) += drawsLine(static_cast<long long>(d / 2 + 1), posterior().score[picks[d]],
                                 {0, 0, 0, 1, 1});
  }
  dir.write("a.draws", a);
  dir.write("b.draws", b);
  const auto result = summary::checkAgreement({dir.file("a.draws"), dir.file("b.draws")}, 0.5);
  EXPECT_EQ(result.rhatK, 1.0);
  EXPECT_EQ(result.essK, 200.0);
}

// Chains that each sit on one score: they agree when it is one score (within the relative
// tolerance) and one k in every chain, reached from two or more starts with at least 100
// kept draws in each; otherwise every constant chain is stuck.
TEST(Agreement, OnePartitionFromSeveralStarts) {
  // Two sums of one partition's clusters in another order (seen on a 60 x 50 matrix).
  const double top = -6714.5464108656415, reordered = -6714.546410865424;
  const std::vector<int> labels = {0, 0, 1, 1, 2}, other = {0, 0, 1, 1, 1};
  struct Chain {
    const char* file;
    double score;
    std::vector<int> labels;
    double wobble = 0;  // every other line this much lower
    int lines = 400;
  };
  const struct {
    const char* name;
    std::vector<Chain> chains;
    bool onePartition;
    std::vector<size_t> stuck;
    const char* phrase;
  } cases[] = {
      {"tree and boot", {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Zboot.draws", top, labels}}, true, {},
       "one partition reached from 2 starts"},
      {"last digits differ", {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Zboot.draws", reordered, labels}}, true,
       {}, "one partition reached from 2 starts"},
      {"three starts",
       {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Zaverage.draws", top, labels}, {"a_s3.draws", top, labels}},
       true, {}, "one partition reached from 3 starts"},
      {"one start", {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Ztree.draws", top, labels}}, false, {0, 1}, ""},
      {"one chain lower", {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Zboot.draws", top - 0.5, labels}}, false,
       {0, 1}, ""},
      {"too few draws", {{"a_s1_Ztree.draws", top, labels, 0, 150}, {"a_s2_Zboot.draws", top, labels, 0, 150}},
       false, {0, 1}, ""},
      {"one score, another k", {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Zboot.draws", top, other}}, false,
       {0, 1}, ""},
      {"the other chain moves", {{"a_s1_Ztree.draws", top, labels}, {"a_s2_Zboot.draws", top, labels, 1}}, false,
       {0}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::vector<std::string> files;
    double kept = 0;
    for (const Chain& chain : c.chains) {
      std::string text;
      for (int i = 1; i <= chain.lines; i++) text += drawsLine(i, chain.score - (i % 2) * chain.wobble, chain.labels);
      dir.write(chain.file, text);
      files.push_back(dir.file(chain.file));
      kept += chain.lines / 2;
    }
    const auto result = summary::checkAgreement(files, 0.5);
    EXPECT_EQ(result.onePartition, c.onePartition);
    EXPECT_EQ(result.stuck, c.stuck);
    EXPECT_EQ(summary::onePartitionPhrase(result), c.phrase);
    // R-hat and ESS play no part: the kept draws must reach the summed ESS asked for.
    EXPECT_EQ(result.agreed(1.01, kept), c.onePartition);
    EXPECT_FALSE(result.agreed(1.01, kept + 1));
  }
}

// A line still being written, a file not yet created, too few lines and a garbled line.
TEST(Agreement, IncompleteAndMissingFiles) {
  TempDir dir;
  std::string text;
  for (int i = 1; i <= 10; i++) text += drawsLine(i, -1.0 - i % 3, {0, 0, 1, 1, 1});
  dir.write("a.draws", text + "11 -2.5 2 0 0");
  dir.write("b.draws", text);
  auto result = summary::checkAgreement({dir.file("a.draws"), dir.file("b.draws")}, 0.0);
  EXPECT_EQ(result.keptPerChain, 10u);
  EXPECT_EQ(result.iterations, 10);
  EXPECT_DOUBLE_EQ(result.bestScore, -1.0);

  result = summary::checkAgreement({dir.file("a.draws"), dir.file("missing.draws")}, 0.5);
  EXPECT_EQ(result.keptPerChain, 0u);
  EXPECT_TRUE(std::isnan(result.rhatScore));
  EXPECT_FALSE(result.agreed(1e9, 0));

  dir.write("short.draws", drawsLine(1, -1, {0, 0, 1, 1, 1}) + drawsLine(2, -2, {0, 1, 1, 1, 1}));
  result = summary::checkAgreement({dir.file("short.draws"), dir.file("b.draws")}, 0.0);
  EXPECT_EQ(result.keptPerChain, 2u);
  EXPECT_FALSE(result.agreed(1e9, 0));

  dir.write("bad.draws", text + "12 nan 2 0 0 1 1 1\n");
  EXPECT_THROW(summary::checkAgreement({dir.file("bad.draws")}, 0.0), summary::InputError);
}

}  // namespace
