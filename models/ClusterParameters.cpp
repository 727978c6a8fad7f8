#include "models/ClusterParameters.h"

namespace {
// The priors of HDBern and HDGBern whose column prior is a Dirichlet mixture as read; the
// "levels" and "shared" priors score through tables of their own.
const char* const kMixturePriors[] = {"flat", "point5", "point05", "point005"};
}  // namespace

std::unique_ptr<ClusterParameters> makeClusterParameters(const Observable& model) {
  if (model.scale != 1.0) return nullptr;
  if (auto categorical = makeCategoricalParameters(model)) return categorical;
  return makeNormalGammaParameters(model);
}

bool drawsClusterParameters(const std::string& model, const std::string& prior) {
  if (model == "mclust2") return true;
  if (model != "HDBern" && model != "HDGBern") return false;
  for (const char* name : kMixturePriors)
    if (prior == name) return true;
  return false;
}

std::string clusterParameterModels() {
  std::string priors;
  for (const char* name : kMixturePriors) priors += std::string(priors.empty() ? "" : ", ") + name;
  return "HDBern and HDGBern (priors " + priors + ") and mclust2";
}
