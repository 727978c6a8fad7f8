// How often each chain keeps a draw. The chains are judged by their draws, so draws should come
// soon: about kTargetDraws over the first kHorizonSeconds (or over the whole limit when it is
// shorter). But a chain that runs to the limit should not write much more than kDrawsBytes of
// draws, which every agreement check and the summary read.
#pragma once

namespace fit {

constexpr long kTargetDraws = 10000;
constexpr double kHorizonSeconds = 120;
constexpr double kDrawsBytes = 40e6;

// THIN for -d and -e (at least 1) for chains of the given speed, a limit of `seconds` and n
// observations (a draws line takes about 2n + 30 bytes).
long chooseThin(double iterationsPerSecond, double seconds, long observations);

}  // namespace fit
