// Where the chains of a summary started and ended: each chain's start and best score, the
// modes they ended in, which chains the estimate comes from, and the warnings when they did
// not agree. The wording of a disagreement is agreement.h's, shared with vornak-fit.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "summary/agreement.h"

namespace summary {

struct Summary;

// Every chain when they ended in one mode; else the best mode's, ascending.
std::vector<size_t> estimateChains(const Agreement& verdict);

// Adds the warnings of several modes, or of one mode reached from one start only (two or more
// chains).
void addModeWarnings(Summary& summary);

// The report's section: a table of the chains' starts and best scores, the modes, and where
// the estimate comes from; ends with a line break.
std::string modesText(const Summary& summary);

// The rows of .summary.tsv: quantity, chain, item, value.
std::vector<std::array<std::string, 4>> modesRows(const Summary& summary);

}  // namespace summary
