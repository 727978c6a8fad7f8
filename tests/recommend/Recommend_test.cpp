// The shared recommender: the settings a data shape and the given letters lead to, the rule
// for a changed model, the refusals before a run, the thread budget of heated chains, and the
// places that quote its table (vornak-fit's help, the R help page).
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>

#include "recommend/Recommend.h"

namespace {

using recommend::DataKind;
using recommend::DataShape;
using Words = std::vector<std::string>;

DataShape shapeOf(DataKind kind, long rows = 100, long columns = 2) {
  DataShape shape;
  shape.kind = kind;
  shape.rows = rows;
  shape.columns = columns;
  return shape;
}

recommend::Choice choose(DataKind kind, const Words& given, int chains = 1, int cores = 8) {
  recommend::Request request;
  request.given = given;
  request.chains = chains;
  request.cores = cores;
  return recommend::choose(shapeOf(kind), request);
}

TEST(Recommend, AChangedModelTakesItsOwnRow) {
  struct {
    DataKind kind;
    Words given;
    Words expected;
  } cases[] = {
      // 0/1 data, mclust2 given: its prior 1 and -x, not HDBern's flat and heated chains.
      {DataKind::Binary, {"-m", "mclust2"},
       {"-m", "mclust2", "-p", "1", "-h", "OA", "-x", "-c", "integrated", "-k", "0", "-q"}},
      // A model without a row: the engine's default prior, no extras.
      {DataKind::Real, {"-m", "kmeans2"}, {"-m", "kmeans2", "-h", "OA", "-c", "integrated", "-k", "0", "-q"}},
      {DataKind::Binary, {"-m", "HDGBern"},
       {"-m", "HDGBern", "-p", "levels", "-h", "OA", "-c", "integrated", "-k", "0", "-q"}},
      // The recommended model given again changes nothing; a prior given with a model stays.
      {DataKind::Binary, {"-m", "HDBern"},
       {"-m", "HDBern", "-p", "flat", "-h", "OA", "-T", "4", "-c", "integrated", "-k", "0", "-q", "-j", "8"}},
      {DataKind::Binary, {"-m", "mclust2", "-p", "0.5"},
       {"-m", "mclust2", "-p", "0.5", "-h", "OA", "-x", "-c", "integrated", "-k", "0", "-q"}},
  };
  for (const auto& c : cases) EXPECT_EQ(choose(c.kind, c.given).words, c.expected) << c.given[1];
}

TEST(Recommend, AModelThatCannotReadTheDataIsRefused) {
  struct {
    DataKind data;
    const char* model;
    bool refused;
  } cases[] = {
      {DataKind::Real, "ProteinSequence", true},   {DataKind::Binary, "ProteinSequence", true},
      {DataKind::Sequences, "mclust2", true},      {DataKind::Sequences, "HDBern", true},
      {DataKind::Categorical, "HDBern", true},     {DataKind::Real, "HDGBern", true},
      {DataKind::Real, "HDBern", true},            {DataKind::Binary, "HDGBern", false},
      {DataKind::Binary, "mclust2", false},        {DataKind::Categorical, "mvn", false},
      {DataKind::Categorical, "kmeans2", false},   {DataKind::Sequences, "ProteinSequence", false},
      {DataKind::Real, "nosuchmodel", false},  // the engine names an unknown model
  };
  for (const auto& c : cases) {
    for (bool recommend : {true, false}) {
      recommend::Request request;
      request.given = {"-m", c.model};
      request.recommend = recommend;
      if (!c.refused) {
        EXPECT_NO_THROW(recommend::choose(shapeOf(c.data), request)) << c.model;
        continue;
      }
      try {
        recommend::choose(shapeOf(c.data), request);
        ADD_FAILURE() << c.model << " was not refused";
      } catch (const recommend::RecommendError& error) {
        const std::string line = error.what();
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - std::string(c.model).size()), c.model) << line;
      }
    }
  }
}

TEST(Recommend, HeatedChainsShareTheProcessors) {
  struct {
    DataKind kind;
    Words given;
    int chains, cores;
    const char* threadsWord;  // the -j value, "" for none
    int threads;
  } cases[] = {
      {DataKind::Binary, {}, 4, 8, "2", 2},          // recommended -T 4, 8 processors for 4 chains
      {DataKind::Binary, {}, 4, 2, "1", 1},          // never below 1
      {DataKind::Binary, {}, 1, 16, "16", 4},        // a run uses no more threads than copies
      {DataKind::Binary, {"-j", "3"}, 4, 8, "3", 3}, // given, kept
      {DataKind::Binary, {"-T", "1"}, 4, 8, "", 1},  // no heated chains, no budget
      {DataKind::Real, {}, 4, 8, "", 1},
      {DataKind::Real, {"-T", "2"}, 2, 8, "4", 2},   // heated chains given for any model
  };
  for (const auto& c : cases) {
    const recommend::Choice choice = choose(c.kind, c.given, c.chains, c.cores);
    EXPECT_EQ(recommend::wordValue(choice.words, "-j"), c.threadsWord) << c.chains << " " << c.cores;
    EXPECT_EQ(choice.threads, c.threads) << c.chains << " " << c.cores;
  }
  // Without the recommendation (R with a model given), the same budget.
  recommend::Request request;
  request.given = {"-m", "HDBern", "-T", "4"};
  request.recommend = false;
  request.chains = 2;
  request.cores = 6;
  EXPECT_EQ(recommend::choose(shapeOf(DataKind::Binary), request).words,
            (Words{"-m", "HDBern", "-T", "4", "-j", "3"}));
}

TEST(Recommend, HeatedChainsStayWithColumnSelectionAndAlphaPriors) {
  struct {
    Words given;
    const char* heated;
  } cases[] = {{{}, "4"},
               {{"-V", "0.1"}, "4"},
               {{"-A", "2,1"}, "4"},
               {{"-T", "1", "-V", "0.1"}, "1"},
               {{"-V", "0.1", "-T", "3"}, "3"},
               {{"-a", "1"}, "4"}};
  for (const auto& c : cases)
    EXPECT_EQ(recommend::wordValue(choose(DataKind::Binary, c.given).words, "-T"), c.heated);
  // Real data have no heated chains to keep.
  EXPECT_EQ(recommend::wordValue(choose(DataKind::Real, {"-V", "0.1"}).words, "-T"), "");
}

TEST(Recommend, WithdrawnLettersAreLeftOut) {
  recommend::Request request;
  request.without = {"-x", "-q"};
  const Words words = recommend::choose(shapeOf(DataKind::Real), request).words;
  EXPECT_EQ(words, (Words{"-m", "mvn", "-p", "1", "-h", "OA", "-c", "integrated", "-k", "0"}));
  request.without = {"-Z"};
  EXPECT_EQ(recommend::wordValue(recommend::choose(shapeOf(DataKind::Sequences), request).words, "-Z"), "");
}

TEST(Recommend, TheEngineRefusalIsItsOwnLine) {
  const Words base = {"-f", "data", "-t", "1", "-s", "1", "-m", "mclust2", "-h", "OA", "-c", "integrated"};
  struct {
    Words extra;
    const char* part;  // in the line; "" for no refusal
  } cases[] = {
      {{"-k", "0"}, ""},
      {{"-k", "-1"}, "-1"},  // the k range line, not the usage text
      {{"-k", "0", "-T", "4", "-A", "2,1"}, ""},  // heated chains combine with a prior on alpha
      {{"-k", "0", "-V", "0.5"}, "not of mclust2"},
  };
  for (const auto& c : cases) {
    Words words = base;
    words.insert(words.end(), c.extra.begin(), c.extra.end());
    const std::string line = recommend::engineRefusal(words);
    if (std::string(c.part).empty()) {
      EXPECT_EQ(line, "") << c.extra[1];
    } else {
      EXPECT_NE(line.find(c.part), std::string::npos) << c.part << ": " << line;
      EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    }
  }
}

// The help's table as it reads, row by row (its words begin in column 52).
TEST(RecommendTable, HelpTextLines) {
  const std::string expected =
      "  FASTA alignment (first non-blank byte '>')       -m ProteinSequence -p shared -h OA -Z tree\n"
      "  matrix, every cell 0 or 1 (NA allowed)           -m HDBern -p flat -h OA -T 4\n"
      "  matrix, every cell a whole number 0..19, some\n"
      "    above 1 (NA allowed)                           -m HDGBern -p levels -h OA\n"
      "  any other numeric matrix                         -m mvn -p 1 -h OA -x\n"
      "    but with an NA cell, a constant column, or fewer than 5 x (columns + 1) rows:\n"
      "                                                   -m mclust2 -p 1 -h OA -x\n"
      "    but with fewer than 5 x (columns + 1) rows and 10 or more columns:\n"
      "                                                   -m diagonal -p 1 -h OA -x -Z tree\n";
  EXPECT_EQ(recommend::settingsTableText(), expected);
}

// The R help page's "Data alone" table names, for each row, the model, its prior and its extras
// in R's argument words, and no extra the row does not have.
TEST(RecommendTable, TheRHelpPageQuotesIt) {
  std::ifstream in(std::string(VORNAK_SOURCE_DIR) + "/R/vornak/man/vornak.Rd");
  ASSERT_TRUE(in) << "vornak.Rd";
  std::stringstream text;
  text << in.rdbuf();
  const std::string rd = text.str();
  const size_t from = rd.find("\\section{Data alone}");
  ASSERT_NE(from, std::string::npos);
  // Line breaks and indents of the Rd source are one blank.
  std::string section;
  for (const char c : rd.substr(from, rd.find("\\value{", from) - from))
    if (!std::isspace(static_cast<unsigned char>(c))) section += c;
    else if (section.empty() || section.back() != ' ') section += ' ';
  struct Extra {
    std::string letter, inR;
  };
  const std::vector<Extra> extras = {{"-T", "\\code{heated = "}, {"-x", "\\code{fast = TRUE}"},
                                     {"-Z", "\\code{start = \"tree\"}"}};
  const auto& table = recommend::settingsTable();
  for (size_t r = 0; r < table.size(); r++) {
    const recommend::TableRow& row = table[r];
    const std::string model = std::string("\\code{") + row.model + "}";
    const size_t at = section.find(model);
    ASSERT_NE(at, std::string::npos) << row.model;
    // The row's words run to the next row's model or the end of the table row.
    size_t end = section.find("\\cr", at);
    if (r + 1 < table.size()) end = std::min(end, section.find(std::string("\\code{") + table[r + 1].model + "}", at));
    const std::string words = section.substr(at, end - at);
    const std::string prior = row.prior;
    const bool number = prior.find_first_not_of("0123456789.") == std::string::npos;
    EXPECT_NE(words.find(number ? "prior " + prior : "prior \\code{\"" + prior + "\"}"), std::string::npos)
        << words;
    for (const Extra& extra : extras) {
      Words rowWords(row.extras.begin(), row.extras.end());
      const std::string value = recommend::wordValue(rowWords, extra.letter);
      const std::string expected = extra.letter == "-T" ? extra.inR + value + "}" : extra.inR;
      EXPECT_EQ(words.find(value.empty() ? extra.inR : expected) != std::string::npos, !value.empty())
          << row.model << " " << extra.letter << ": " << words;
    }
  }
  EXPECT_NE(section.find("fewer than " + std::to_string(recommend::kRowsPerColumnForMvn) + " rows"),
            std::string::npos);
}

}  // namespace

namespace {

// The table of small files shared with the R package's tests: vornak-fit's detection and
// recommendation give each its model (R's test asks the package the same).
TEST(RecommendTable, SmallFilesGetTheirModel) {
  std::ifstream in(std::string(VORNAK_SOURCE_DIR) + "/R/vornak/tests/testthat/kinds.tsv");
  ASSERT_TRUE(in);
  int rows = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    ASSERT_NE(tab2, std::string::npos) << line;
    const std::string name = line.substr(0, tab1), model = line.substr(tab1 + 1, tab2 - tab1 - 1);
    std::string text;
    const std::string cells = line.substr(tab2 + 1);
    for (size_t i = 0; i < cells.size(); i++) {
      if (cells.compare(i, 5, "<BOM>") == 0) {
        text += "\xEF\xBB\xBF";
        i += 4;
      } else {
        text += cells[i] == '|' ? '\n' : cells[i];
      }
    }
    std::istringstream data(text);
    EXPECT_EQ(recommend::wordValue(recommend::recommendedWords(recommend::detectData(data)), "-m"), model) << name;
    rows++;
  }
  EXPECT_GE(rows, 8);
}

}  // namespace

namespace {

// Real data too few rows for mvn go to mclust2 unless they are wide (10 or more columns),
// where mclust2's prior, surer of tight clusters with every column, leaves each row alone.
TEST(RecommendShape, WideRealDataGetTheDiagonalModel) {
  struct {
    long rows, columns;
    bool missing;
    const char* model;
  } cases[] = {
      {60, 50, false, "diagonal"},  {60, 1000, false, "diagonal"}, {54, 10, false, "diagonal"},
      {49, 9, false, "mclust2"},    {14, 2, false, "mclust2"},     {55, 10, false, "mvn"},
      {104, 20, true, "diagonal"},  {200, 20, true, "mclust2"},   {105, 20, false, "mvn"},
  };
  for (const auto& c : cases) {
    DataShape shape = shapeOf(DataKind::Real, c.rows, c.columns);
    shape.missing = c.missing;
    EXPECT_EQ(recommend::wordValue(recommend::recommendedWords(shape), "-m"), c.model)
        << c.rows << " x " << c.columns << (c.missing ? " with NA" : "");
    EXPECT_EQ(recommend::isWide(shape), std::string(c.model) == "diagonal");
  }
  // Only real data are wide.
  EXPECT_FALSE(recommend::isWide(shapeOf(DataKind::Binary, 60, 50)));
  EXPECT_EQ(recommend::wordValue(recommend::recommendedWords(shapeOf(DataKind::Binary, 60, 50)), "-m"),
            "HDBern");
}

}  // namespace

namespace {

// Whole numbers with five or more levels in a column: HDGBern stays recommended (it held up
// better than ordinal on 10-level scores), and the ordinal model is offered in one line.
TEST(RecommendShape, ManyLevelsAreCountedAndOfferTheOrdinalModel) {
  struct {
    const char* text;
    int levels;
    bool offered;
  } cases[] = {
      {"1 2\n3 4\n5 1\n7 9\n10 1\n", 5, true},   // 1 3 5 7 10 in column 1
      {"1 2\n3 4\n5 1\n7 9\n", 4, false},
      {"0 1\n1 0\n1 1\n", 2, false},             // 0/1: HDBern, no offer
      {"1 NA\n2 2\n3 5\n4 6\n5 3\n", 5, true},   // NA is no level
      {"1.5 2\n3 4\n5 1\n7 9\n10 1\n11 3\n", 5, false},  // real data: no offer
  };
  for (const auto& c : cases) {
    std::istringstream text(c.text);
    const DataShape shape = recommend::detectData(text);
    EXPECT_EQ(shape.mostLevels, c.levels) << c.text;
    const Words words = recommend::recommendedWords(shape);
    const std::string offer = recommend::ordinalOffer(shape, words);
    EXPECT_EQ(!offer.empty(), c.offered) << c.text;
    if (c.offered) {
      EXPECT_EQ(recommend::wordValue(words, "-m"), "HDGBern");
      EXPECT_NE(offer.find("-m ordinal"), std::string::npos) << offer;
      EXPECT_EQ(recommend::ordinalOffer(shape, Words{"-m", "ordinal"}), "");
    }
  }
}

}  // namespace

namespace {

// Large 0/1 data: one chain's sweep is the bottleneck, so the chains take the parallel sweep
// on their share of the processors, without heated copies.
TEST(RecommendShape, Large01DataTakeTheParallelSweep) {
  struct {
    long rows;
    int chains, cores;
    const char* heuristic;
    const char* heated;   // the -T value, "" for none
    const char* threads;  // the -j value
    int runThreads;
  } cases[] = {
      {20000, 4, 8, "OA", "4", "2", 2},
      {20001, 4, 8, "PS", "", "2", 2},
      {1000000, 4, 2, "PS", "", "1", 1},
      {1000000, 1, 8, "PS", "", "8", 8},
  };
  for (const auto& c : cases) {
    recommend::Request request;
    request.chains = c.chains;
    request.cores = c.cores;
    const recommend::Choice choice = recommend::choose(shapeOf(DataKind::Binary, c.rows, 50), request);
    EXPECT_EQ(recommend::wordValue(choice.words, "-m"), "HDBern") << c.rows;
    EXPECT_EQ(recommend::wordValue(choice.words, "-p"), "flat") << c.rows;
    EXPECT_EQ(recommend::wordValue(choice.words, "-h"), c.heuristic) << c.rows;
    EXPECT_EQ(recommend::wordValue(choice.words, "-T"), c.heated) << c.rows;
    EXPECT_EQ(recommend::wordValue(choice.words, "-j"), c.threads) << c.rows << " " << c.cores;
    EXPECT_EQ(choice.threads, c.runThreads) << c.rows << " " << c.cores;
    Words run = choice.words;  // the engine takes these settings as they are
    run.insert(run.end(), {"-f", "data", "-t", "1", "-s", "1"});
    EXPECT_EQ(recommend::engineRefusal(run), "") << c.rows;
  }
  // Categorical and real data keep their rows at any size (PS draws neither levels nor mvn).
  for (DataKind kind : {DataKind::Categorical, DataKind::Real})
    EXPECT_EQ(recommend::wordValue(recommend::recommendedWords(shapeOf(kind, 1000000, 10)), "-h"), "OA");
}

}  // namespace
