// How often each chain keeps a draw. The chains are judged by their draws, so draws should come
// soon: about kTargetDraws over the first kHorizonSeconds (or over the whole limit when it is
// shorter). A chain should not write much more than kDrawsBytes of draws over the first
// kBoundSeconds (or the limit when shorter), which every agreement check and the summary read.
// The bound is for the time chains usually need, not for the limit: a long limit would
// otherwise thin so much that the chains need far longer to agree (a limit of 10 days kept one
// draw in 116,565 on iris). A chain that runs past kBoundSeconds writes kDrawsBytes more per
// kBoundSeconds; doubling THIN as draws accumulate would bound that too, but needs the engine
// to change its thinning during a run.
#pragma once

namespace fit {

constexpr long kTargetDraws = 10000;
constexpr double kHorizonSeconds = 120;
constexpr double kDrawsBytes = 40e6;
constexpr double kBoundSeconds = 3600;

// THIN for -d and -e (at least 1) for chains of the given speed, a limit of `seconds` and n
// observations (a draws line takes about 2n + 30 bytes).
long chooseThin(double iterationsPerSecond, double seconds, long observations);

}  // namespace fit
