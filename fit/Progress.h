// The figures vornak-fit shows while its chains run and when they stop: elapsed time, the
// fewest iterations any chain has made, the best score, and R-hat and ESS of score and k.
#pragma once
#include <string>

#include "summary/agreement.h"

namespace fit {

// "42 s", "3 min 05 s", "2 h 03 min".
std::string formatDuration(double seconds);

// Minutes as typed would show them: "10", "0.25".
std::string formatMinutes(double minutes);

// "R-hat 1.004 (score) 1.002 (k), ESS 612 (score) 530 (k)"; NA while undefined; then
// "; stuck (score never moved): chains 1, 2" when some are.
std::string agreementFigures(const summary::Agreement& agreement);

// One line without a line break: "1 min 02 s  iteration 12000  best -405.55  R-hat ...".
std::string progressLine(double elapsedSeconds, const summary::Agreement& agreement);

}  // namespace fit
