// The options beyond the usage text (-s, -q, -d, -i): how the parser takes them, what the
// plan makes of them, and the values it refuses before any file exists.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "driver/common_main.h"
#include "io/RunError.h"
#include "support/CaptureStdout.h"

namespace {

bool parse(const std::string& line, Settings& settings) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  return parseCommandLine(static_cast<int>(words.size()), argv.data(), settings);
}

std::string describe(const Settings& s) {
  auto text = [&](const char* name) { return s.has(name) ? s.further.at(name) : "-"; };
  return "s=" + text("-s") + " d=" + text("-d") + " i=" + text("-i") +
         " q=" + (s.has("-q") ? "1" : "0") + " l=" + s.label;
}

TEST(Extensions, ParsedAnywhereWithoutChangingOtherWords) {
  const struct {
    const char* line;
    bool complete;
    const char* extensions;
  } cases[] = {
      {"vornak -m HDBern -f d -k 2 -h OA -B 3", true, "s=- d=- i=- q=0 l="},
      {"vornak -m HDBern -f d -k 2 -h OA -B 3 -s 7 -d 10 -i 20", true, "s=7 d=10 i=20 q=0 l="},
      // a flag may be the last word, the first, or a value of another option
      {"vornak -m HDBern -f d -k 2 -h OA -B 3 -q", true, "s=- d=- i=- q=1 l="},
      {"-q -m HDBern -f d -k 2 -h OA -B 3", true, "s=- d=- i=- q=1 l="},
      {"vornak -m HDBern -f d -k 2 -h OA -B 3 -l -q", true, "s=- d=- i=- q=1 l=-q"},
      // -i alone bounds a search; -s and -d do not
      {"vornak -m HDBern -f d -k 2 -h OA -i 20", true, "s=- d=- i=20 q=0 l="},
      {"vornak -m HDBern -f d -k 2 -h OA -s 5 -d 3 -q", false, "s=5 d=3 i=- q=1 l="},
      // with no word after it an option stays unset, as the usage text's options do
      {"vornak -m HDBern -f d -k 2 -h OA -i", false, "s=- d=- i=- q=0 l="},
      // texts are kept as typed: the plan checks them
      {"vornak -m HDBern -f d -k 2 -h OA -t 1 -s x -d -1 -i 2.5", true,
       "s=x d=-1 i=2.5 q=0 l="},
      // the last occurrence wins
      {"vornak -m HDBern -f d -k 2 -h OA -t 1 -s 1 -s 2", true, "s=2 d=- i=- q=0 l="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Settings settings;
    EXPECT_EQ(parse(c.line, settings), c.complete);
    EXPECT_EQ(describe(settings), c.extensions);
  }
}

Settings searchSettings(const std::string& extra) {
  Settings s;
  parse("vornak -m HDBern -f votes.dat -k 0 -h OA -c integrated " + extra, s);
  return s;
}

TEST(Extensions, PlanTakesTheNumbersAndBuildsTheStem) {
  const struct {
    const char* extra;
    const char* stem;
    unsigned seed;
    long long thin;
    long long iterations;
  } cases[] = {
      {"-B 3", "votes_k0_OA_p_a0_B3", 2, 0, -1},
      {"-B 3 -s 17", "votes_k0_OA_p_a0_B3_s17", 17, 0, -1},
      // the seed part comes after the limits and before the label
      {"-B 3 -t 5 -s 4294967295 -l run -c classi", "votes_k0_OA_p_a0_B3_t5_s4294967295_classirun",
       4294967295u, 0, -1},
      // -i takes the place of -B, whatever -B says (even a B too large for 64 bits)
      {"-B 30 -i 0037", "votes_k0_OA_p_a0_i37", 2, 0, 37},
      {"-i 0 -t 2 -s 01", "votes_k0_OA_p_a0_i0_t2_s1", 1, 0, 0},
      {"-i 9223372036854775807", "votes_k0_OA_p_a0_i9223372036854775807", 2, 0,
       9223372036854775807LL},
      // -d and -q leave the stem alone
      {"-B 3 -d 25 -q", "votes_k0_OA_p_a0_B3", 2, 25, -1},
      // an enumeration draws nothing: no seed or iteration part
      {"-h EN -s 9 -i 4", "votes_k0_EN_p_a0", 9, 0, 4},
      // the prior on alpha and the scaling come after the seed, in the table's order, as typed
      {"-B 3 -A 2,1", "votes_k0_OA_p_a0_B3_A2,1", 2, 0, -1},
      {"-B 3 -S -A 1,0.5 -s 5 -l run", "votes_k0_OA_p_a0_B3_s5_A1,0.5_S_run", 5, 0, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    CaptureStdout out;
    const RunPlan plan = makePlan(searchSettings(c.extra));
    EXPECT_EQ(plan.fileStem, c.stem);
    EXPECT_EQ(plan.value("-s"), c.seed);
    EXPECT_EQ(plan.value("-d"), c.thin);
    EXPECT_EQ(plan.value("-i"), c.iterations);
    EXPECT_EQ(out.text(), "");
  }
  const RunPlan withDraws = makePlan(searchSettings("-B 3 -d 5"));
  EXPECT_EQ(withDraws.file("best"), "votes_k0_OA_p_a0_B3.best");
  EXPECT_EQ(withDraws.file("draws"), "votes_k0_OA_p_a0_B3.draws");
  EXPECT_EQ(makePlan(searchSettings("-B 3")).file("draws"), "");
  // alpha's draws go beside the draws, with them only
  const RunPlan withAlpha = makePlan(searchSettings("-B 3 -d 5 -A 3,2"));
  EXPECT_EQ(withAlpha.file("alpha"), "votes_k0_OA_p_a0_B3_A3,2.alpha");
  EXPECT_EQ(withAlpha.chain.alphaShape, 3);
  EXPECT_EQ(withAlpha.chain.alphaRate, 2);
  EXPECT_EQ(withDraws.file("alpha"), "");
  EXPECT_EQ(makePlan(searchSettings("-B 3 -A 3,2")).file("alpha"), "");
}

TEST(Extensions, BadNumbersAreRefusedWithOneLine) {
  const struct {
    const char* extra;
    const char* line;
  } cases[] = {
      {"-B 3 -s 0", "main(). -s must be a whole number from 1 to 4294967295: 0"},
      {"-B 3 -s 4294967296", "main(). -s must be a whole number from 1 to 4294967295: 4294967296"},
      {"-B 3 -s -5", "main(). -s must be a whole number from 1 to 4294967295: -5"},
      {"-B 3 -s +5", "main(). -s must be a whole number from 1 to 4294967295: +5"},
      {"-B 3 -s 5x", "main(). -s must be a whole number from 1 to 4294967295: 5x"},
      {"-B 3 -s 1.5", "main(). -s must be a whole number from 1 to 4294967295: 1.5"},
      {"-B 3 -s 99999999999999999999999",
       "main(). -s must be a whole number from 1 to 4294967295: 99999999999999999999999"},
      {"-B 3 -d 0", "main(). -d must be a whole number of iterations, 1 or more: 0"},
      {"-B 3 -d ten", "main(). -d must be a whole number of iterations, 1 or more: ten"},
      {"-B 3 -d 2.0", "main(). -d must be a whole number of iterations, 1 or more: 2.0"},
      {"-i -1", "main(). -i must be a whole number of iterations, 0 or more: -1"},
      {"-i 1e6", "main(). -i must be a whole number of iterations, 0 or more: 1e6"},
      {"-i 9223372036854775808",
       "main(). -i must be a whole number of iterations, 0 or more: 9223372036854775808"},
      {"-B 3 -A 2", "main(). -A must be SHAPE,RATE, two positive numbers: 2"},
      {"-B 3 -A 0,1", "main(). -A must be SHAPE,RATE, two positive numbers: 0,1"},
      {"-B 3 -A 1,-1", "main(). -A must be SHAPE,RATE, two positive numbers: 1,-1"},
      {"-B 3 -A 1,x", "main(). -A must be SHAPE,RATE, two positive numbers: 1,x"},
      {"-B 3 -A 1,inf", "main(). -A must be SHAPE,RATE, two positive numbers: 1,inf"},
      {"-B 3 -A 1,2,3", "main(). -A must be SHAPE,RATE, two positive numbers: 1,2,3"},
      {"-B 3 -A ,2", "main(). -A must be SHAPE,RATE, two positive numbers: ,2"},
      // Draws of alpha must stay finite: a mean beyond the doubles, a tiny rate, a shape
      // below the normal doubles.
      {"-B 3 -A 1e300,1e-300", "main(). -A would draw alphas beyond the range of doubles: 1e300,1e-300"},
      {"-B 3 -A 1,1e-300", "main(). -A would draw alphas beyond the range of doubles: 1,1e-300"},
      {"-B 3 -A 1e-310,1", "main(). -A would draw alphas beyond the range of doubles: 1e-310,1"},
      {"-B 3 -k 2 -A 1,1",
       "main(). -A puts a prior on alpha of the Dirichlet process and needs -k 0: 2"},
      {"-h EN -A 1,1",
       "main(). -A draws alpha between iterations, which an enumeration has not: EN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    CaptureStdout out;
    try {
      makePlan(searchSettings(c.extra));
      ADD_FAILURE() << "expected a refusal";
    } catch (const RunError& error) {
      EXPECT_EQ(std::string(error.what()), c.line);
      EXPECT_EQ(error.status, -1);
    }
    EXPECT_EQ(out.text(), std::string(c.line) + "\n");
  }
}

}  // namespace
