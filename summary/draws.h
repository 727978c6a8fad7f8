// The draws file of one chain: one line per kept iteration, "ITER SCORE K L1 ... Ln", the n
// labels numbered in order of first appearance. Reading keeps every line's iteration, score
// and k (for traces) and the labels of the lines after the burn-in only.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

namespace summary {

// Bad input: one line naming the problem and the offending value (exit status 255).
struct InputError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Chain {
  std::string file;
  int n = 0;                         // labels per line
  std::vector<long long> iteration;  // every line, burn-in included
  std::vector<double> score;
  std::vector<int> clusters;
  size_t burned = 0;                 // leading lines dropped as burn-in
  std::vector<int> labels;           // kept lines only, line after line, n labels each
  size_t kept() const { return iteration.size() - burned; }
  const int* draw(size_t keptIndex) const { return &labels[keptIndex * n]; }
};

// Reads a draws file (formats/Draws.h) and drops its first floor(burn * lines) lines (burn in
// [0, 1), so a file with any line keeps at least one). Every line must have as many labels as
// the first, and be no longer than such a line can be; a score must lie within +-1e100.
// Labels that are not in order of first appearance are renumbered. A path that is not a
// regular file is refused before it is opened. Throws InputError naming the file and line.
// With step above 1 only one line in every step of the burn-in and of the kept lines is read
// (the first of each), the burn-in taken from the file's count of lines, and the lines
// between are skipped unchecked: a large run's summary reads a bounded share of its draws.
Chain readDraws(const std::string& file, double burn, size_t step = 1);

// The lines of a file (a last line without a line break counts). Throws InputError.
size_t countLines(const std::string& file);

}  // namespace summary
