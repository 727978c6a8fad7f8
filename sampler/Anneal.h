// An annealed burn-in (-b N,BETA): before the kept run, N iterations at an inverse temperature
// that rises geometrically from BETA towards 1, so that the chain crosses between basins while
// hot and settles into the best it found as it cools. None of them is kept: .save, .draws and
// .best begin where the annealing ended, at beta = 1, and the log says how it went.
#pragma once
#include <string>

struct AnnealSchedule {
  static constexpr double kDefaultStartBeta = 0.05;
  long long iterations = 0;  // 0: no annealing
  double startBeta = 1;
  // The inverse temperature of annealing iteration a (0-based): startBeta^(1 - a/iterations).
  double beta(long long a) const;
};

// "N" or "N,BETA": N a whole number of iterations from 1, BETA in (0, 1) (without it
// kDefaultStartBeta). False when the text is neither.
bool parseAnneal(const std::string& text, AnnealSchedule& schedule);
// "N,BETA", as the file stem and the log show it.
std::string annealText(const AnnealSchedule& schedule);
