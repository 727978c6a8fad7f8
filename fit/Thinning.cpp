#include "fit/Thinning.h"

#include <algorithm>
#include <cmath>

namespace fit {

long targetDraws(long observations) {
  const long lineBytes = 2 * std::max(1L, observations) + 30;
  const long visibleSoon = 20 * (kEngineBlockBytes / lineBytes);
  const long wanted = std::min(kMostDraws, std::max(kTargetDraws, visibleSoon));
  const long bounded = static_cast<long>(kDrawsBytes / static_cast<double>(lineBytes));
  return std::max(kFewestTargetDraws, std::min(wanted, bounded));
}

long chooseThin(double iterationsPerSecond, double seconds, long observations) {
  const double iterations = iterationsPerSecond * seconds;
  if (!(iterations > 0) || !std::isfinite(iterations)) return 1;
  const double thin = std::ceil(iterations / static_cast<double>(targetDraws(observations)));
  return static_cast<long>(std::min(std::max(thin, 1.0), 1e15));
}

}  // namespace fit
