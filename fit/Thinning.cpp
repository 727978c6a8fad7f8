#include "fit/Thinning.h"

#include <algorithm>
#include <cmath>

namespace fit {

long chooseThin(double iterationsPerSecond, double seconds, long observations) {
  if (!(iterationsPerSecond > 0) || !std::isfinite(iterationsPerSecond) || !(seconds > 0)) return 1;
  const double lineBytes = 2.0 * std::max(1L, observations) + 30;
  const double soon = iterationsPerSecond * std::min(seconds, kHorizonSeconds) / kTargetDraws;
  const double bounded = iterationsPerSecond * std::min(seconds, kBoundSeconds) * lineBytes / kDrawsBytes;
  const double thin = std::ceil(std::max({soon, bounded, 1.0}));
  return static_cast<long>(std::min(thin, 1e15));
}

}  // namespace fit
