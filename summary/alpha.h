// The draws of the concentration alpha (vornak -A with -d) beside a chain's draws file,
// NAME.alpha beside NAME.draws: read when the file exists, its lines before the chain's first
// kept draw dropped as burn-in, and summarised by the posterior mean and central 95 % interval.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "summary/draws.h"

namespace summary {

struct AlphaSummary {
  size_t chains = 0;  // chains with an alpha file; 0: no figure
  size_t draws = 0;   // alpha draws kept, all of those chains
  double mean = 0, lower = 0, upper = 0;  // lower, upper: the 2.5 % and 97.5 % quantiles
};

// Reads the alpha files that exist beside the chains' draws files. A malformed line throws
// InputError naming the file and line.
AlphaSummary summariseAlpha(const std::vector<Chain>& chains);
// The same for the values of the file with suffix beside each draws file (".pdraws": P of
// -W); messages call the value name.
AlphaSummary summariseValues(const std::vector<Chain>& chains, const std::string& suffix,
                             const std::string& name);

}  // namespace summary
