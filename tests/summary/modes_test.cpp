// Chains that end in different modes, or reach one mode from one start: the stop rule and the
// summary of the same draws files say the same thing, and the estimate comes from the best
// mode's chains.
#include "summary/modes.h"

#include <gtest/gtest.h>

#include <cmath>

#include "summary/agreement.h"
#include "summary/fixtures.h"
#include "summary/summary.h"
#include "support/TempDir.h"

using namespace summary_test;

namespace {

const Exact& posterior() {
  static const Exact exact = exactPosterior({0.0, 0.1, 0.2, 3.0, 3.1});
  return exact;
}

// i.i.d. draws from the posterior, every score moved by shift and, when given, every label
// replaced by one fixed partition (a chain held in another mode).
std::string chainText(uint32_t seed, double shift, const std::vector<int>& fixed = {}) {
  std::string text;
  const auto picks = sampleIndices(posterior(), 800, seed);
  for (size_t d = 0; d < picks.size(); d++)
    text += drawsLine(static_cast<long long>(d + 1), posterior().score[picks[d]] + shift,
                      fixed.empty() ? posterior().partitions[picks[d]] : fixed);
  return text;
}

std::string stuckText(double score, const std::vector<int>& labels) {
  std::string text;
  for (int i = 1; i <= 400; i++) text += drawsLine(i, score, labels);
  return text;
}

struct Case {
  const char* name;
  std::vector<std::pair<std::string, std::string>> chains;  // file name, contents
  bool agreed;
  size_t modes;
  const char* phrase;  // modesPhrase or startsPhrase, "" for none
  const char* said = "";  // a line of the summary's text, "" for none
};

// The best partition's index.
size_t bestPartition() {
  size_t best = 0;
  for (size_t p = 0; p < posterior().score.size(); p++)
    if (posterior().score[p] > posterior().score[best]) best = p;
  return best;
}

std::vector<Case> cases() {
  const std::vector<int> apart = {0, 1, 2, 3, 4};
  const size_t top = bestPartition();
  return {
      {"two starts, one mode", {{"a_s1_Ztree.draws", chainText(1, 0)}, {"a_s2_Zboot.draws", chainText(2, 0)}},
       true, 1, ""},
      {"seeded starts without -Z", {{"a_s1.draws", chainText(3, 0)}, {"a_s2.draws", chainText(4, 0)}}, true, 1, ""},
      {"one shared start",
       {{"a_s1_Ztree.draws", chainText(5, 0)}, {"a_s2_Ztree.draws", chainText(6, 0)}},
       false, 1, "chains 1 and 2 reached the best mode from one start (-Z tree)"},
      {"chains 2 and 4 far below",
       {{"a_s1_Ztree.draws", chainText(7, 0)},
        {"a_s2_Zboot.draws", chainText(8, -1760, apart)},
        {"a_s3_Zaverage.draws", chainText(9, 0)},
        {"a_s4_Zrandom.draws", chainText(10, -1760, apart)}},
       false, 2, "chains 2 and 4 end 1,760 log units below chains 1 and 3"},
      {"two lower modes",
       {{"a_s1.draws", chainText(11, 0)}, {"a_s2.draws", chainText(12, -12, apart)},
        {"a_s3.draws", chainText(13, -400, apart)}},
       false, 3, "chain 2 ends 12 log units below chain 1; chain 3 ends 400 log units below chain 1"},
      {"a stuck chain in the mode",
       {{"a_s1.draws", chainText(14, 0)}, {"a_s2.draws", stuckText(posterior().score[top], posterior().partitions[top])}},
       false, 1, ""},
      // Every chain on one partition: from two starts they agree and nothing warns that a
      // chain did not move; from one start, or with a chain on a lower one, they do not.
      {"one partition from two starts",
       {{"a_s1_Ztree.draws", stuckText(posterior().score[top], posterior().partitions[top])},
        {"a_s2_Zboot.draws", stuckText(posterior().score[top], posterior().partitions[top])}},
       true, 1, "", "the chains agree: one partition reached from 2 starts (R-hat and ESS do not apply)"},
      {"one partition from one start",
       {{"a_s1_Ztree.draws", stuckText(posterior().score[top], posterior().partitions[top])},
        {"a_s2_Ztree.draws", stuckText(posterior().score[top], posterior().partitions[top])}},
       false, 1, "chains 1 and 2 reached the best mode from one start (-Z tree)",
       "the score is constant after burn-in in chain 2: the chain did not move"},
      {"one chain on a lower partition",
       {{"a_s1_Ztree.draws", stuckText(posterior().score[top], posterior().partitions[top])},
        {"a_s2_Zboot.draws", stuckText(posterior().score[top] - 0.5, apart)}},
       false, 1, "", "the score is constant after burn-in in chain 2: the chain did not move"},
  };
}

// The rule vornak-fit stops on and the summary's warnings agree on every case: agreed
// exactly when the summary has no warning, and with the same modes.
TEST(Modes, StopRuleAndSummaryAgreeOnTheSameFiles) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    std::vector<std::string> files;
    for (const auto& chain : c.chains) {
      dir.write(chain.first, chain.second);
      files.push_back(dir.file(chain.first));
    }
    const summary::Agreement rule = summary::checkAgreement(files, 0.5);
    EXPECT_EQ(rule.agreed(1.01, 400), c.agreed);
    EXPECT_EQ(rule.modes.size(), c.modes);
    EXPECT_EQ(c.modes > 1 ? summary::modesPhrase(rule) : summary::startsPhrase(rule), c.phrase);

    summary::Request request;
    request.files = files;
    request.prefix = dir.file("summary");
    const summary::Summary result = summary::summariseDraws(request);
    EXPECT_EQ(result.warnings.empty(), c.agreed);
    ASSERT_EQ(result.verdict.modes.size(), rule.modes.size());
    for (size_t m = 0; m < rule.modes.size(); m++) {
      EXPECT_EQ(result.verdict.modes[m].chains, rule.modes[m].chains);
      EXPECT_DOUBLE_EQ(result.verdict.modes[m].score, rule.modes[m].score);
    }
    if (c.said[0] != '\0')
      EXPECT_NE(summary::summaryText(result).find(c.said), std::string::npos) << "no line says: " << c.said;
    if (c.phrase[0] != '\0') {
      bool said = false;
      for (const std::string& warning : result.warnings) said |= warning.find(c.phrase) != std::string::npos;
      EXPECT_TRUE(said) << "no warning says: " << c.phrase;
    }
  }
}

// Chains in a mode 1,760 log units below: the estimate and the memberships are the best
// mode's, said so, and the log odds are the score gap.
TEST(Modes, EstimateComesFromTheBestMode) {
  TempDir dir;
  const std::vector<int> apart = {0, 1, 2, 3, 4};
  dir.write("a_s1_Ztree.draws", chainText(21, 0));
  dir.write("a_s2_Zboot.draws", chainText(22, -1760, apart));
  summary::Request request;
  request.files = {dir.file("a_s1_Ztree.draws"), dir.file("a_s2_Zboot.draws")};
  request.prefix = dir.file("summary");
  const summary::Summary result = summary::summariseDraws(request);
  ASSERT_EQ(result.verdict.modes.size(), 2u);
  EXPECT_NEAR(result.verdict.modes[1].logOdds, -1760, 1e-6);
  EXPECT_EQ(result.estimateChains, std::vector<size_t>{0});
  // The estimate, the posterior on k and the memberships are chain 1's alone, as its own
  // summary gives them; chain 2 sits on five singletons.
  summary::Request alone;
  alone.files = {dir.file("a_s1_Ztree.draws")};
  alone.prefix = dir.file("alone");
  const summary::Summary one = summary::summariseDraws(alone);
  EXPECT_EQ(result.estimate.labels, one.estimate.labels);
  EXPECT_EQ(result.posteriorK, one.posteriorK);
  ASSERT_EQ(result.mates.size(), one.mates.size());
  for (size_t i = 0; i < one.mates.size(); i++) EXPECT_DOUBLE_EQ(result.mates[i], one.mates[i]);
  EXPECT_NE(result.estimate.labels, apart);
  const std::string text = summary::summaryText(result);
  EXPECT_NE(text.find("from chain 1 (mode 1) alone: conditional on that mode"), std::string::npos);
  EXPECT_NE(text.find("      1  tree"), std::string::npos);
  EXPECT_NE(text.find("      2  boot"), std::string::npos);
}

TEST(Modes, WordsAndNames) {
  const struct {
    double gap;
    const char* text;
  } gaps[] = {{1760, "1,760"}, {12.04, "12"}, {2.5, "2.5"}, {1234567, "1,234,567"}, {999.6, "1,000"}};
  for (const auto& g : gaps) EXPECT_EQ(summary::gapText(g.gap), g.text);
  EXPECT_EQ(summary::chainList({3}), "chain 4");
  EXPECT_EQ(summary::chainList({3, 1}), "chains 2 and 4");
  EXPECT_EQ(summary::chainList({0, 1, 3}), "chains 1, 2 and 4");
  const struct {
    const char* file;
    const char* start;
    const char* shared;
  } names[] = {{"out/x_k0_OA_p_a0_s1_Ztree.draws", "tree", "tree"},
               {"x_s2_Zboot_x.draws", "boot", ""},
               {"x_s3_Zaverage.draws", "average", "average"},
               {"x_s4_Zrandom.draws", "random", ""},
               {"x_s4.draws", "", ""},
               {"x_Ztreetop/y_s1.draws", "", ""},
               {"x_Ztrees_s1.draws", "", ""},
               {"x_s5_Zsample.draws", "sample", "sample"},
               {"x_s6_Zsample-boot_x.draws", "sample-boot", ""},
               {"x_s7_Zsample-average.draws", "sample-average", "sample-average"},
               {"x_s8_Zsample-tree.draws", "", ""}};
  for (const auto& n : names) {
    EXPECT_EQ(summary::startOf(n.file), n.start) << n.file;
    EXPECT_EQ(summary::sharedStartOf(n.file), n.shared) << n.file;
  }
}

}  // namespace
