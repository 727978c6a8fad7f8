// The models of -m: one row per name with its prior names and their texts, the criteria it
// supports and how it is built. The row is the one place that says which criteria a model
// scores; the plan refuses the others. Adding a model is one class in models/ and one row
// here; nothing else compares model or prior names.
#pragma once
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "models/Observable.h"

// How -p is read: a name from the model's list, a number handed over as the text, or nothing.
enum class PriorKind { Named, Number, None };

struct PriorChoice {
  const char* name;
  const char* text;
};

struct ModelEntry {
  const char* name;
  PriorKind priorKind;
  const PriorChoice* priors;  // Named: the choices, ending with a null name
  const char* defaultPrior;   // the choice an empty -p means (Number: the text it becomes)
  // Named: turns a choice's text into the model's (null: the text as it is).
  std::string (*adaptText)(const char* text);
  bool criteria[3];           // by FitnessZType: integrated, classification, mixture
  // Builds the model, which reads the data file and the prior text; failures end the run.
  std::unique_ptr<Observable> (*make)(const std::string& dataFile, std::istream& priorText,
                                      std::ostream& logFile);
  // Whether -V (column selection) is defined: its integrated score is a sum over columns
  // (Observable::columnTerms).
  bool selectsColumns = false;

  bool supports(FitnessZType criterion) const { return criteria[criterion]; }
  // The line that refuses a run asking for a criterion the row leaves out; "" when listed.
  std::string refusal(FitnessZType criterion) const;
  // Writes the prior text of the prior name to out; false when the name is not the model's.
  // A Number model's empty name becomes its default (the name the output files then carry).
  bool writePriorText(std::string& prior, std::ostream& out) const;
};

// The row of the name, or null (names compared whole and case-sensitively).
const ModelEntry* findModel(const std::string& name);
// Every row, ending with a null name.
extern const ModelEntry kModels[];
