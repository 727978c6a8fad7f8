#include "models/catalog.h"

#include <sstream>
#include <string>

#include "models/ColumnProfilePrior.h"
#include "models/HDBern.h"
#include "models/PriorStrings.h"
#include "models/ProteinSequence.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"
#include "models/diagonal.h"
#include "models/mvn.h"
#include "models/ordinal.h"

namespace {

const PriorChoice kProteinPriors[] = {{"flat", ProteinSequenceFlatPriorString},
                                      {"bg", ProteinSequenceBgPriorString},
                                      {"cloud9", ProteinSequenceCloud9PriorString},
                                      {"shared", ProteinSequenceSharedPriorString},
                                      {nullptr, nullptr}};

const PriorChoice kBernPriors[] = {{"flat", HDBernFlatPriorString},
                                   {"point5", HDBernPoint5PriorString},
                                   {"point05", HDBernPoint05PriorString},
                                   {"point005", HDBernPoint005PriorString},
                                   {"levels", HDBernLevelsPriorString},
                                   {"shared", HDBernSharedPriorString},
                                   {nullptr, nullptr}};

// A mixture around the column profiles keeps its weights and concentrations: each component's
// two parameters' sum spread evenly over the 20 categories.
std::string categoricalSharedText(const char* binaryText) {
  std::istringstream in(binaryText);
  int components = 0, dimension = 0;
  in >> components >> dimension;
  std::ostringstream text;
  text << components << ' ' << 20 << '\n';
  for (int k = 0; k < components; k++) {
    double weight = 0, sum = 0, parameter = 0;
    in >> weight;
    for (int d = 0; d < dimension; d++) {
      in >> parameter;
      sum += parameter;
    }
    text << weight;
    for (int w = 0; w < 20; w++) text << ' ' << sum / 20;
    text << '\n';
  }
  text << ColumnProfilePrior::kMarker;
  return text.str();
}
// The Beta prior of ordinal's binomial profiles: "a b".
const PriorChoice kOrdinalPriors[] = {{"flat", "1 1"}, {"jeffreys", "0.5 0.5"}, {nullptr, nullptr}};

// HDGBern takes the Dirichlet parameter of the HDBern prior of the same name for each of
// its 20 categories, and its closing word "levels" if it has one.
std::string categoricalPriorText(const char* binaryText) {
  const std::string whole(binaryText), shared(ColumnProfilePrior::kMarker);
  if (whole.size() > shared.size() &&
      whole.compare(whole.size() - shared.size(), shared.size(), shared) == 0)
    return categoricalSharedText(binaryText);
  std::istringstream in(binaryText);
  std::string parameter, marker, token;
  while (in >> token) {
    if (token == "levels") {
      marker = token;
      break;
    }
    parameter = token;
  }
  std::ostringstream text;
  text << "1 " << 20 << '\n' << "1" << '\n';
  for (int i = 0; i < 20; i++) text << parameter << ' ';
  if (!marker.empty()) text << '\n' << marker;
  return text.str();
}

std::unique_ptr<Observable> makeProtein(const std::string& dataFile, std::istream& prior,
                                        std::ostream& logFile) {
  return std::make_unique<ProteinSequence>(dataFile, prior, logFile);
}
std::unique_ptr<Observable> makeHDBern(const std::string& dataFile, std::istream& prior,
                                       std::ostream& logFile) {
  return std::make_unique<HDBern>(dataFile, prior, logFile, 1.0);
}
std::unique_ptr<Observable> makeHDGBern(const std::string& dataFile, std::istream& prior,
                                        std::ostream& logFile) {
  return std::make_unique<HDGBern>(dataFile, prior, logFile, 1.0);
}
std::unique_ptr<Observable> makeMclust2(const std::string& dataFile, std::istream& prior,
                                        std::ostream& logFile) {
  return std::make_unique<mclust2>(dataFile, prior, logFile, 1.0);
}
std::unique_ptr<Observable> makeMvn(const std::string& dataFile, std::istream& prior,
                                    std::ostream& logFile) {
  return std::make_unique<mvn>(dataFile, prior, logFile, 1.0);
}
std::unique_ptr<Observable> makeKmeans2(const std::string& dataFile, std::istream&,
                                        std::ostream& logFile) {
  return std::make_unique<kmeans2>(dataFile, logFile, 1000.0);
}

std::unique_ptr<Observable> makeDiagonal(const std::string& dataFile, std::istream& prior,
                                         std::ostream& logFile) {
  return std::make_unique<diagonal>(dataFile, prior, logFile, 1.0);
}

std::unique_ptr<Observable> makeOrdinal(const std::string& dataFile, std::istream& prior,
                                        std::ostream& logFile) {
  return std::make_unique<ordinal>(dataFile, prior, logFile, 1.0);
}

}  // namespace

const ModelEntry kModels[] = {
    // name, -p, choices, default, text adapter, criteria (integrated, classi, mixture), factory,
    // column selection
    {"ProteinSequence", PriorKind::Named, kProteinPriors, "bg", nullptr, {true, false, false},
     makeProtein, true},
    {"HDBern", PriorKind::Named, kBernPriors, "flat", nullptr, {true, true, true}, makeHDBern,
     true},
    {"HDGBern", PriorKind::Named, kBernPriors, "flat", categoricalPriorText, {true, true, true},
     makeHDGBern, true},
    {"kmeans2", PriorKind::None, nullptr, "", nullptr, {true, false, false}, makeKmeans2, false},
    {"mclust2", PriorKind::Number, nullptr, "1", nullptr, {true, false, false}, makeMclust2,
     false},
    {"mvn", PriorKind::Number, nullptr, "1", nullptr, {true, false, false}, makeMvn, false},
    {"diagonal", PriorKind::Number, nullptr, "1", nullptr, {true, false, false}, makeDiagonal,
     false},
    {"ordinal", PriorKind::Named, kOrdinalPriors, "flat", nullptr, {true, false, false}, makeOrdinal,
     true},
    {nullptr, PriorKind::None, nullptr, nullptr, nullptr, {false, false, false}, nullptr, false},
};

const ModelEntry* findModel(const std::string& name) {
  for (const ModelEntry* m = kModels; m->name; m++)
    if (name == m->name) return m;
  return nullptr;
}

std::string ModelEntry::refusal(FitnessZType criterion) const {
  if (supports(criterion)) return "";
  // The words the runs have always ended with, named after the model's scoring functions.
  const char* const operations[] = {"getClusterFit", "getClassificationLik", "getMixtureLik"};
  return std::string(name) + "::" + operations[criterion] + " not implmented";
}

bool ModelEntry::writePriorText(std::string& prior, std::ostream& out) const {
  switch (priorKind) {
    case PriorKind::None:
      return true;
    case PriorKind::Number:
      if (prior.empty()) prior = defaultPrior;
      out << prior;
      return true;
    case PriorKind::Named:
      break;
  }
  const std::string& wanted = prior.empty() ? std::string(defaultPrior) : prior;
  for (const PriorChoice* choice = priors; choice->name; choice++) {
    if (wanted != choice->name) continue;
    if (adaptText)
      out << adaptText(choice->text);
    else
      out << choice->text;
    return true;
  }
  return false;
}
