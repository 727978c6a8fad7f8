// vornak-fit's command line: its own options, the engine letters passed through and merged
// over the recommended settings, and the one-line refusals.
#include <gtest/gtest.h>

#include "fit/Options.h"

namespace {

using Words = std::vector<std::string>;

TEST(FitOptions, DefaultsAndOwnOptions) {
  const fit::FitOptions plain = fit::parseOptions({"data.dat"});
  EXPECT_EQ(plain.dataFile, "data.dat");
  EXPECT_EQ(plain.outDir, "");
  EXPECT_EQ(plain.chains, fit::defaultChains());
  EXPECT_GE(plain.chains, 4);
  EXPECT_EQ(plain.minutes, 10);
  EXPECT_EQ(plain.maxRhat, 1.01);
  EXPECT_EQ(plain.minEss, 400);
  EXPECT_EQ(plain.firstSeed, 1u);
  EXPECT_FALSE(plain.progress);
  EXPECT_TRUE(plain.engineWords.empty());

  const fit::FitOptions given = fit::parseOptions({"--chains", "3", "-o", "out", "data.dat", "--minutes", "0.25",
                                                   "--rhat", "1.05", "--ess", "100", "--seed", "7", "--progress",
                                                   "-m", "mclust2", "-x", "-a", "-1", "-A", "2,1"});
  EXPECT_EQ(given.dataFile, "data.dat");
  EXPECT_EQ(given.outDir, "out");
  EXPECT_EQ(given.chains, 3);
  EXPECT_EQ(given.minutes, 0.25);
  EXPECT_EQ(given.maxRhat, 1.05);
  EXPECT_EQ(given.minEss, 100);
  EXPECT_EQ(given.firstSeed, 7u);
  EXPECT_TRUE(given.progress);
  EXPECT_EQ(given.engineWords, (Words{"-m", "mclust2", "-x", "-a", "-1", "-A", "2,1"}));

  EXPECT_TRUE(fit::parseOptions({"--help"}).help);
  EXPECT_TRUE(fit::parseOptions({"-s", "3", "--help"}).help);
}

struct Refusal {
  Words args;
  const char* line;  // the whole message
};

TEST(FitOptions, RefusalsNameTheOffendingWord) {
  const Refusal cases[] = {
      {{}, "no data file given (vornak-fit DATA [-o DIR]; see --help)"},
      {{"a.dat", "b.dat"}, "one data file only, a second was given: b.dat"},
      {{"a.dat", "--chain", "3"}, "unknown option: --chain"},
      {{"a.dat", "-y"}, "unknown option: -y"},
      {{"a.dat", "-s", "3"}, "-s is set by vornak-fit for each chain and cannot be given: -s"},
      {{"a.dat", "-f", "b.dat"}, "-f is set by vornak-fit for each chain and cannot be given: -f"},
      {{"a.dat", "-d", "5"}, "-d is set by vornak-fit for each chain and cannot be given: -d"},
      {{"a.dat", "-e", "5"}, "-e is set by vornak-fit for each chain and cannot be given: -e"},
      {{"a.dat", "-t", "5"}, "-t is set by vornak-fit for each chain and cannot be given: -t"},
      {{"a.dat", "-B", "5"}, "-B is set by vornak-fit for each chain and cannot be given: -B"},
      {{"a.dat", "-i", "5"}, "-i is set by vornak-fit for each chain and cannot be given: -i"},
      {{"a.dat", "-l", "x"}, "-l is set by vornak-fit for each chain and cannot be given: -l"},
      {{"a.dat", "-z", "a.finalz"}, "-z is set by vornak-fit for each chain and cannot be given: -z"},
      {{"a.dat", "-h", "EN"}, "-h EN lists partitions and keeps no draws to summarise: run vornak itself: EN"},
      {{"a.dat", "-k", "1"}, "-k 1 puts every observation in one cluster and runs no iteration: 1"},
      {{"a.dat", "-m"}, "-m needs a value"},
      {{"a.dat", "--minutes"}, "--minutes needs a value"},
      {{"a.dat", "--minutes", "0"}, "--minutes must be a number of minutes above 0, at most 14400: 0"},
      {{"a.dat", "--minutes", "-2"}, "--minutes must be a number of minutes above 0, at most 14400: -2"},
      {{"a.dat", "--minutes", "1x"}, "--minutes must be a number of minutes above 0, at most 14400: 1x"},
      {{"a.dat", "--minutes", "20000"}, "--minutes must be a number of minutes above 0, at most 14400: 20000"},
      {{"a.dat", "--chains", "1"}, "--chains must be a whole number from 2 to 1024: 1"},
      {{"a.dat", "--chains", "2.5"}, "--chains must be a whole number from 2 to 1024: 2.5"},
      {{"a.dat", "--rhat", "1"}, "--rhat must be a number above 1: 1"},
      {{"a.dat", "--ess", "0"}, "--ess must be a number, 1 or more: 0"},
      {{"a.dat", "--seed", "0"}, "--seed must be a whole number from 1 to 4294967295: 0"},
      {{"a.dat", "--seed", "4294967295", "--chains", "2"},
       "--seed leaves no seed for the last chain (seeds end at 4294967295): 4294967295"},
      {{"a.dat", "-o", ""}, "-o must name a folder: (empty)"},
  };
  for (const Refusal& c : cases) {
    try {
      fit::parseOptions(c.args);
      ADD_FAILURE() << "accepted: " << (c.args.empty() ? "" : c.args.back());
    } catch (const fit::FitError& error) {
      EXPECT_EQ(std::string(error.what()), c.line);
    }
  }
}

TEST(FitOptions, GivenLettersReplaceTheRecommendedOnes) {
  const Words recommended = {"-m", "HDGBern", "-p", "levels", "-h", "OA", "-T", "4", "-c", "integrated",
                             "-k", "0", "-q"};
  struct {
    Words given, merged;
  } cases[] = {
      {{}, recommended},
      {{"-p", "point05", "-T", "2", "-k", "3"},
       {"-m", "HDGBern", "-p", "point05", "-h", "OA", "-T", "2", "-c", "integrated", "-k", "3", "-q"}},
      {{"-x", "-h", "SR2", "-a", "-1", "-h", "JN2"},
       {"-m", "HDGBern", "-p", "levels", "-h", "JN2", "-T", "4", "-c", "integrated", "-k", "0", "-q", "-x", "-a",
        "-1"}},
      {{"-q", "-S", "-Z", "tree"}, {"-m", "HDGBern", "-p", "levels", "-h", "OA", "-T", "4", "-c", "integrated",
                                    "-k", "0", "-q", "-S", "-Z", "tree"}},
  };
  for (auto& c : cases) EXPECT_EQ(fit::mergeWords(recommended, c.given), c.merged);

  EXPECT_EQ(fit::wordValue(recommended, "-T"), "4");
  EXPECT_EQ(fit::wordValue(recommended, "-q"), "-q");
  EXPECT_EQ(fit::wordValue(recommended, "-j"), "");
}

TEST(FitOptions, HelpNamesEveryOptionWithItsDefault) {
  const std::string help = fit::helpText();
  for (const char* word : {"-o DIR", "--chains N", "--minutes M", "--rhat R", "--ess E", "--seed S", "--progress",
                           "--help", "[10]", "[1.01]", "[400]", "[1]", "ProteinSequence", "HDBern", "HDGBern",
                           "mvn", "mclust2", "5 x (columns + 1)", "Exit status"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
  // The settings table is quoted from the recommender, row by row.
  EXPECT_NE(help.find("(always -c integrated -k 0 -q):\n" + recommend::settingsTableText() + "A whole number"),
            std::string::npos);
}

}  // namespace
