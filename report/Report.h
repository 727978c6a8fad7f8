// The one-page answer of vornak-fit: an HTML file that shows the data coloured by the estimated
// clusters, a table per cluster, each observation's membership probability for its cluster,
// and the summary's own picture and report.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "recommend/DataShape.h"

namespace report {

// What the data are, as vornak-fit detects them; each kind has its own picture and table.
using DataKind = recommend::DataKind;

// "protein alignment", "0/1 matrix", "categorical matrix", "real matrix".
const char* kindName(DataKind kind);

struct Input {
  std::string dataFile;       // the FASTA alignment or matrix the chains ran on
  DataKind kind = DataKind::Real;
  // The summary's figures (summary::summariseDraws), taken as values, not read back from
  // the files the summary wrote.
  std::vector<int> labels;         // the estimate: 0-based, in order of first appearance
  std::vector<double> membership;  // each observation's membership probability, NaN for NA
  std::string svg;                 // the summary's picture
  std::string summaryText;    // the report vornak-summary printed, shown as it stands
  std::vector<std::string> notes;  // lines shown first: settings, how the run stopped, ...
  // Shown under the headline, in its colour: what should stop a reader trusting the answer
  // (chains that did not agree, a chain that did not move, the summary's warnings).
  std::vector<std::string> warnings;
  // Names from a table file (none: numbers, or an alignment's headers) and known classes
  // (one per observation, empty when unknown; none: no comparison), as the page shows them.
  std::vector<std::string> rowNames, columnNames, classes;
  std::string classSource;  // where the classes come from: a column or a file
  std::string modes;          // the summary's starts and modes (summary::modesText); "": none
  // When the chains ended in several modes: the sentence saying that the estimate and the
  // membership probabilities are conditional on the best one; "" otherwise.
  std::string conditionalOn;
  // Column selection (-V): each column's probability of being clustered, column by column
  // from the first; empty without -V.
  std::vector<double> columnProbability;
};

// The page's headline: the clusters of two or more members, and the observations alone when
// any are ("5 clusters, and 3 observations alone, among 435 observations").
std::string headlineText(const std::vector<std::vector<int>>& members, int n);

// A column counts as selected (listed, marked) from this probability of being clustered.
constexpr double kSelectedColumn = 0.5;

// One line naming the problem and the offending file or value.
struct ReportError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Writes the page to htmlFile (one self-contained file: pictures inline, no script from the
// network). Throws ReportError.
void writeReport(const Input& input, const std::string& htmlFile);

}  // namespace report
