// The sampled-partition formats, written and read here only: a .draws line
// "ITER SCORE K L1 ... Ln" (single blanks, the score with 17 significant digits, K clusters,
// labels in order of first appearance) and a partition line (.finalz, .best, an estimate:
// every label followed by a blank, then a line break). Standard library only.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

// A line that is not in the format: what is wrong and the offending text, kept apart so
// that a reader can name its file and line first.
struct FormatError : std::runtime_error {
  std::string problem, value;
  FormatError(const std::string& what, const std::string& text)
      : std::runtime_error(what + ": " + text), problem(what), value(text) {}
};

// Appends the draws line of labels[0..n) and its line break to line. renumber is scratch of
// at least (largest label + 1) entries, all -1; it is left so. Allocates nothing when line
// has room (about 24 + 12 n bytes).
void appendDrawsLine(std::string& line, long long iteration, double score, const int* labels,
                     int n, std::vector<int>& renumber);

// One draws line as written: the labels as they stand in the file.
struct Draw {
  long long iteration = 0;
  double score = 0;
  int k = 0;
  std::vector<int> labels;
};

// Parses a line (no line break; blanks or tabs between fields; a carriage return at its end
// is dropped). n > 0 is the number of labels the line must hold; n = 0 takes the line's own.
// Every label must lie in 0..(labels - 1), the score must be finite and K the number of
// distinct labels. Throws FormatError.
void parseDrawsLine(std::string_view line, int n, Draw& draw);

// Renumbers labels in place in order of first appearance and returns the number of
// clusters; renumber as for appendDrawsLine.
int renumberByFirstAppearance(std::vector<int>& labels, std::vector<int>& renumber);

// The partition line of labels[0..n): "L1 L2 ... Ln \n".
std::string partitionLine(const int* labels, int n);

// The labels of a partition text (whitespace-separated whole numbers, at least 0). Throws
// FormatError on anything else.
std::vector<int> parsePartition(std::string_view text);

}  // namespace formats
