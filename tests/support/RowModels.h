// A model of type M over a small matrix file, read quietly with the prior text given and
// set to a scoring mode: the models of the sampler's statistical tests.
#pragma once
#include <memory>
#include <sstream>
#include <string>

#include "models/Observable.h"
#include "support/CaptureStdout.h"

template <class M>
std::unique_ptr<Observable> rowModel(const std::string& file, const std::string& priorText,
                                     ScoringMode mode) {
  static std::ostringstream log;
  CaptureStdout quiet;
  std::stringstream prior(priorText);
  std::unique_ptr<Observable> model = std::make_unique<M>(file, prior, log, 1.0);
  model->scoring = mode;
  return model;
}
