// Column selection (vornak -V with -d) in the summary: NAME.columns beside NAME.draws holds,
// per column, the probability that it is clustered averaged over that chain's draws, and
// NAME.pdraws (-W) the P of each drawn iteration. The chains' probabilities are combined
// weighted by their draws lines (each file averages over all of its chain's lines, burn-in
// included, as the run wrote it); P's draws follow the burn-in of the partitions.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "summary/alpha.h"
#include "summary/draws.h"

namespace summary {

struct ColumnProbability {
  int column = 0;            // from 1, as in the file
  double probability = 0;    // that the column is clustered
};

struct ColumnSummary {
  size_t chains = 0;  // chains with a non-empty columns file; 0: no column figures
  std::vector<ColumnProbability> columns;  // every column, in column order
  AlphaSummary p;     // P's figures from the .pdraws files (chains 0 when none)
  // Columns at or above kSelectedProbability, by decreasing probability (ties: column order).
  std::vector<ColumnProbability> selected() const;
};
constexpr double kSelectedProbability = 0.5;

// Reads the columns and pdraws files that exist beside the chains' draws files. A malformed
// line, or chains whose files list different columns, throw InputError naming the file.
ColumnSummary summariseColumns(const std::vector<Chain>& chains);

// The probability that each column is clustered, from the columns files beside the draws
// files given (each weighted by its draws lines); empty when none has one. For callers that
// have file names only, such as the writer of a table with the columns' names.
std::vector<ColumnProbability> columnProbabilities(const std::vector<std::string>& drawsFiles);

}  // namespace summary
