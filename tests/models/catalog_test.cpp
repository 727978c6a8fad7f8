// The model table against the models themselves: a criterion the table lists scores a
// partition; one it leaves out is one the model does not implement, and the table gives the
// line that refuses it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "io/RunError.h"
#include "models/catalog.h"
#include "tests/models/model_test_util.h"

namespace {

using modeltest::CaptureStdout;
using modeltest::TempDir;

TEST(ModelTable, CriteriaListedAreTheOnesTheModelsScore) {
  TempDir dir;
  const std::string fasta = dir.write("p.fasta", ">a\nAC\n>b\nAD\n>c\nWW\n");
  const std::string binary = dir.write("b.txt", "0 1\n1 1\n0 0\n");
  const std::string real = dir.write("r.txt", "0 0\n2 0\n0.5 1\n");
  const char* const operations[] = {"getClusterFit", "getClassificationLik", "getMixtureLik"};
  int models = 0;
  for (const ModelEntry* entry = kModels; entry->name; entry++, models++) {
    const std::string name = entry->name;
    const bool realRows = name == "mclust2" || name == "kmeans2" || name == "mvn" || name == "diagonal";
    const std::string& file = name == "ProteinSequence" ? fasta : realRows ? real : binary;
    std::string prior;
    std::stringstream text;
    ASSERT_TRUE(entry->writePriorText(prior, text)) << name;
    std::ostringstream log;
    CaptureStdout quiet;
    std::unique_ptr<Observable> model = entry->make(file, text, log);
    const int z[3] = {0, 0, 1};
    for (FitnessZType criterion : {INTEGRATED, CLASSIFICATION, MIXTURE}) {
      SCOPED_TRACE(name + " " + operations[criterion]);
      log.str("");
      auto score = [&] {
        if (criterion == INTEGRATED) return model->getClusterFit(z, 0);
        if (criterion == CLASSIFICATION) return model->getClassificationLik(z, 0);
        return model->getMixtureLik(z, 2);
      };
      if (entry->supports(criterion)) {
        EXPECT_NO_THROW(score());
        EXPECT_EQ(entry->refusal(criterion), "");
      } else {
        EXPECT_EQ(entry->refusal(criterion),
                  name + "::" + operations[criterion] + " not implmented");
        // Not implemented: only the interface's guard answers.
        try {
          score();
          ADD_FAILURE() << "scored a criterion the table leaves out";
        } catch (const RunError& error) {
          EXPECT_EQ(std::string(error.what()).rfind("internal error: the ", 0), 0u);
        }
      }
    }
  }
  EXPECT_EQ(models, 8);
  EXPECT_EQ(findModel("HDbern"), nullptr);  // names are compared whole and case-sensitively
}

std::string twenty(const std::string& parameter) {
  std::string text = "1 20\n1\n";
  for (int i = 0; i < 20; i++) text += parameter + " ";
  return text;
}

// One line of a 20-category component: its weight, then the parameter 20 times.
std::string component(const std::string& weight, const std::string& parameter) {
  std::string text = weight;
  for (int i = 0; i < 20; i++) text += " " + parameter;
  return text + "\n";
}

TEST(ModelTable, PriorTexts) {
  struct Case {
    const char* model;
    std::string prior, expectedPrior, text;
  } cases[] = {
      {"HDBern", "point05", "point05", "  1 2 1 0.05 0.05 "},
      {"HDBern", "", "", "  1 2 1 1 1 "},
      // HDGBern: the HDBern parameter of the same name for each of 20 categories.
      {"HDGBern", "point5", "point5", twenty("0.5")},
      {"HDGBern", "", "", twenty("1")},
      // levels: the flat parameter, then the word that spreads it over the levels seen.
      {"HDBern", "levels", "levels", "  1 2 1 1 1 levels"},
      {"HDGBern", "levels", "levels", twenty("1") + "\nlevels"},
      // shared: weights and concentrations 1, 10, 100, 1000 (each component's parameters sum
      // to it), spread over 20 categories for HDGBern, then the word.
      {"HDBern", "shared", "shared", "  4 2 0.1 0.5 0.5 0.1 5 5 0.1 50 50 0.7 500 500 shared"},
      {"HDGBern", "shared", "shared",
       "4 20\n" + component("0.1", "0.05") + component("0.1", "0.5") + component("0.1", "5") +
           component("0.7", "50") + "shared"},
      {"mclust2", "", "1", "1"},
      {"mclust2", "2.5", "2.5", "2.5"},
      {"mvn", "", "1", "1"},
      {"mvn", "0.5", "0.5", "0.5"},
      {"kmeans2", "anything", "anything", ""},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(std::string(c.model) + " " + c.prior);
    std::stringstream text;
    ASSERT_TRUE(findModel(c.model)->writePriorText(c.prior, text));
    EXPECT_EQ(c.prior, c.expectedPrior);
    EXPECT_EQ(text.str(), c.text);
  }
  std::string unknown = "point1";
  std::stringstream text;
  EXPECT_FALSE(findModel("HDGBern")->writePriorText(unknown, text));
  EXPECT_FALSE(findModel("ProteinSequence")->writePriorText(unknown, text));
}

}  // namespace
