// Dispersed starts and the first line when chains end apart: each chain's -Z word from the
// shared recommender, and vornak-fit's sentence built from the same assessment the summary
// makes, never "agreed" for chains in different modes.
#include <gtest/gtest.h>

#include "fit/Watch.h"
#include "recommend/Recommend.h"
#include "recommend/Starts.h"

namespace {

using Words = std::vector<std::string>;

TEST(DispersedStarts, EachChainItsOwnStartUnlessOneIsGiven) {
  const char* first[] = {"tree", "boot", "average", "boot", "boot", "boot", "boot"};
  for (int c = 0; c < 7; c++) EXPECT_EQ(recommend::chainStart(c), first[c]) << c;
  const char* sampled[] = {"sample", "sample-boot", "sample-average", "sample-boot"};
  for (int c = 0; c < 4; c++) {
    EXPECT_EQ(recommend::chainStart(c, recommend::kMostRowsForTrees), first[c]) << c;
    EXPECT_EQ(recommend::chainStart(c, recommend::kMostRowsForTrees + 1), sampled[c]) << c;
  }

  const Words words = {"-m", "mvn", "-p", "1", "-h", "OA", "-x", "-c", "integrated", "-k", "0", "-q"};
  const Words sequences = {"-m", "ProteinSequence", "-p", "bg", "-h", "OA", "-Z", "tree", "-q"};
  const struct {
    const char* name;
    Words words, given;
    int chain;
    long rows;
    const char* start;  // the chain's -Z word, "" for none
  } cases[] = {
      {"chain 1 the tree", words, {}, 0, 100, "tree"},
      {"chain 2 a bootstrap", words, {}, 1, 100, "boot"},
      {"sequences: chain 3 average in place of tree", sequences, {}, 2, 100, "average"},
      {"a start given by the user stays", sequences, {"-Z", "average"}, 1, 100, "tree"},
      {"an enumeration has no start", words, {"-h", "EN"}, 1, 100, ""},
      {"at the row limit the trees are over all rows", sequences, {}, 2, 5000, "average"},
      {"many rows: chain 1 the tree over a sample", sequences, {}, 0, 5001, "sample"},
      {"many rows: chain 2 a bootstrap over a sample", words, {}, 1, 6000, "sample-boot"},
      {"many rows: chain 3 average linkage over a sample", sequences, {}, 2, 6000, "sample-average"},
      {"many rows: from chain 4 on bootstraps", words, {}, 5, 1000000, "sample-boot"},
      {"many rows: a start given by the user stays", sequences, {"-Z", "tree"}, 0, 60000, "tree"},
  };
  for (const auto& c : cases) {
    const Words got = recommend::chainWords(c.words, c.given, c.chain, c.rows);
    EXPECT_EQ(recommend::wordValue(got, "-Z"), c.start) << c.name;
    // Nothing else changes.
    Words rest = got, base = c.words;
    for (Words* list : {&rest, &base})
      for (size_t w = 0; w < list->size(); w++)
        if ((*list)[w] == "-Z") list->erase(list->begin() + static_cast<long>(w), list->begin() + static_cast<long>(w) + 2);
    EXPECT_EQ(rest, base) << c.name;
  }
}

// The measuring run of vornak-fit starts as chain 1 does once the rows are many, so that it
// never builds the settings' tree over every row.
TEST(DispersedStarts, MeasuringRunStartsAsChainOneOnManyRows) {
  const Words sequences = {"-m", "ProteinSequence", "-p", "bg", "-h", "OA", "-Z", "tree", "-q"};
  const Words binary = {"-m", "HDBern", "-p", "flat", "-h", "OA", "-q"};
  EXPECT_EQ(recommend::measuringWords(sequences, {}, 100), sequences);
  EXPECT_EQ(recommend::measuringWords(binary, {}, 5000), binary);
  EXPECT_EQ(recommend::wordValue(recommend::measuringWords(sequences, {}, 50000), "-Z"), "sample");
  EXPECT_EQ(recommend::wordValue(recommend::measuringWords(binary, {}, 100000), "-Z"), "sample");
  EXPECT_EQ(recommend::measuringWords(sequences, {"-Z", "tree"}, 50000), sequences);
}

summary::Agreement apart() {
  summary::Agreement a;
  a.chains = 4;
  a.keptPerChain = 100;
  a.iterations = 5000;
  a.rhatScore = 3.2;
  a.rhatK = 1.5;
  a.essScore = 800;
  a.essK = 900;
  a.ends.resize(4);
  a.modes = {{-100, 8, {0, 2}, 0}, {-1860, 6, {1, 3}, -1760}};
  a.distinctStarts = true;
  return a;
}

TEST(StopSentence, ChainsInDifferentModesNeverAgree) {
  fit::FitOptions options;
  options.minutes = 5;
  fit::Outcome outcome;
  outcome.stop = fit::Stop::TimeLimit;
  outcome.agreement = apart();
  EXPECT_FALSE(outcome.agreement.agreed(1e9, 0));
  const std::string line = fit::stopSentence(outcome, options, 300);
  EXPECT_EQ(line.find("agreed"), std::string::npos) << line;
  EXPECT_EQ(line.find("Stopped at the time limit of 5 minutes: the chains did not agree: chains 2 and 4 end 1,760 "
                      "log units below chains 1 and 3 ("),
            0u)
      << line;
  EXPECT_NE(line.find("; the answer is from chains 1 and 3, conditional on its mode"), std::string::npos) << line;

  // One mode from one shared start.
  outcome.agreement.modes = {{-100, 8, {0, 1, 2, 3}, 0}};
  outcome.agreement.distinctStarts = false;
  for (auto& end : outcome.agreement.ends) end.start = "tree";
  EXPECT_NE(fit::stopSentence(outcome, options, 300)
                .find("the chains did not agree: chains 1, 2, 3 and 4 reached the best mode from one start (-Z tree)"),
            std::string::npos);
  // Time alone: the sentence as before.
  outcome.agreement.distinctStarts = true;
  EXPECT_EQ(fit::stopSentence(outcome, options, 300).find("Stopped at the time limit of 5 minutes before the chains agreed"),
            0u);
}

}  // namespace
