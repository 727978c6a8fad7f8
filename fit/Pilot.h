// The speed of one chain, measured before the chains start: one run alone in a folder of its
// own, a draw kept every iteration, timed from its first draw for about a second, then
// interrupted and removed. Its failure (a bad value, bad data) is the whole program's.
#pragma once
#include <string>
#include <vector>

namespace fit {

// Iterations per second of one chain run with words (without -f, -s, -d, -e, -t) on the data
// file dataName inside folder. Works in folder/.pilot and removes it. Gives up measuring at
// budgetSeconds (a slow chain then counts as one iteration per budget), or at once when a
// signal is recorded. Throws FitError with the run's own line when it fails.
double measureSpeed(const std::string& engine, const std::vector<std::string>& words,
                    const std::string& folder, const std::string& dataName, double budgetSeconds);

}  // namespace fit
