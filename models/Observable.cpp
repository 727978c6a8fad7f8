#include "models/Observable.h"

#include <algorithm>
#include <string>
#include <vector>

#include "io/Console.h"
#include "io/Failure.h"
#include "stats/RandomPlus.h"

namespace {
// Reached only by a caller that bypassed the plan's check against the catalog.
[[noreturn]] void notListed(const char* criterion) {
  failRun(vout(), Failure::Internal,
          std::string("internal error: the ") + criterion +
              " criterion was asked of a model whose catalog row leaves it out");
}
}  // namespace

double Observable::getClassificationLik(const int*, int) const { notListed("classification"); }

double Observable::getMixtureLik(const int*, int) const { notListed("mixture"); }

void Observable::drawDistancePositions(std::vector<int>& positions) const {
  const int numOfPositions = std::max(1, T / 4);
  positions.resize(numOfPositions);
  RandomPlus::SampleWithoutReplacement<int>(T, numOfPositions, positions.data(), true);
}
