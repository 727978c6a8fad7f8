// Whether chains still being written agree: R-hat and bulk effective sample size of the score
// and of k over the draws files' complete lines so far. A front end that runs chains until
// they agree calls it every so often; it reads only the first three fields of each line.
#pragma once
#include <string>
#include <vector>

namespace summary {

struct Agreement {
  size_t chains = 0;
  size_t keptPerChain = 0;        // fewest lines any chain kept after its burn-in
  long long iterations = 0;       // fewest iterations any chain reached (its last line's ITER)
  double bestScore = 0;           // best score of any line; -infinity without lines
  double rhatScore = 0, rhatK = 0;  // on the last keptPerChain lines of each chain
  double essScore = 0, essK = 0;    // bulk ESS summed over the chains
  // Chains (0-based) whose score never moved over the last keptPerChain lines (equal within
  // kScoreTolerance, summary/diagnostics.h): stuck, whatever the other chains do.
  std::vector<size_t> stuck;
  // No chain stuck, R-hat of both at most maxRhat and ESS of both at least minEss. A k that is
  // constant and the same in every chain (k fixed) agrees: R-hat 1, ESS the draws kept.
  // Scores equal within kScoreTolerance count as equal.
  bool agreed(double maxRhat, double minEss) const;
};

// Reads every complete line (ending in a line break) of each file, drops the first
// floor(burn * lines) of each, and measures. A missing file or one without a complete line
// counts as a chain with no draws: then nothing agrees (R-hat and ESS are NaN). Throws
// InputError (summary/draws.h) on a line that is not a draws line.
Agreement checkAgreement(const std::vector<std::string>& files, double burn);

}  // namespace summary
