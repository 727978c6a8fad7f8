// Convergence figures for scalar traces of MCMC chains: rank-normalised split R-hat and the
// bulk effective sample size (Vehtari, Gelman, Simpson, Carpenter and Bürkner 2021), with
// Geyer's initial monotone sequence for the autocorrelation sum.
#pragma once
#include <vector>

namespace summary {

using Chains = std::vector<std::vector<double>>;

// The standard normal quantile at p in (0, 1), to about 1e-16 relative error (Wichura 1988).
double normalQuantile(double p);

// Every value of every chain replaced by qnorm((r - 3/8) / (S + 1/4)), r its rank among all S
// values (ties get their average rank). Same shape as the input.
Chains rankNormalise(const Chains& chains);

// Each chain cut into its first and second half (an odd chain loses its middle value).
Chains splitChains(const Chains& chains);

// R-hat of chains of equal length, without splitting or ranks; NaN when the values are
// constant or a chain has fewer than two values.
double basicRhat(const Chains& chains);

// Effective sample size of chains of equal length, without splitting or ranks; NaN when the
// values are constant or a chain has fewer than three values. Cost O(length * lags used).
double basicEss(const Chains& chains);

// max(bulk, folded) rank-normalised split R-hat of chains of equal length, or the one of the
// two that is defined; NaN as above, +infinity when every chain is constant but they differ.
double splitRhat(const Chains& chains);

// Bulk effective sample size of one chain: rank-normalised and split in two halves.
double bulkEss(const std::vector<double>& chain);

// Scores that differ by at most this share of their size count as one: the same partition
// scored with its terms summed in another order (the order follows the labels) differs in
// its last digits, and ranks would take that for a real difference.
constexpr double kScoreTolerance = 1e-9;

// The values with every group of values within kScoreTolerance (relative) of the group's
// smallest replaced by that smallest value; same shape as the input.
Chains mergeNearlyEqual(const Chains& chains);
// Whether every value equals the first within kScoreTolerance (relative); true when empty.
bool nearlyConstant(const std::vector<double>& values);

}  // namespace summary
