#include "report/profiles.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace report {

namespace {

const int kCodes = 21;  // 20 residues and the gap

}  // namespace

std::vector<std::vector<int>> membersByLabel(const std::vector<int>& labels) {
  std::vector<std::vector<int>> members;
  for (size_t i = 0; i < labels.size(); i++) {
    const size_t label = static_cast<size_t>(labels[i]);
    if (members.size() <= label) members.resize(label + 1);
    members[label].push_back(static_cast<int>(i));
  }
  return members;
}

Moments columnMoments(const Matrix<double>& data, const std::vector<int>& members, int column) {
  Moments m;
  double sum = 0;
  for (int i : members)
    if (!isMissing(data[i][column])) {
      m.seen++;
      sum += data[i][column];
    }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  m.mean = m.seen > 0 ? sum / m.seen : nan;
  double squares = 0;
  for (int i : members)
    if (!isMissing(data[i][column])) squares += (data[i][column] - m.mean) * (data[i][column] - m.mean);
  m.sd = m.seen > 1 ? std::sqrt(squares / (m.seen - 1)) : nan;
  return m;
}

std::vector<int> levelCounts(const Matrix<int>& data, const std::vector<int>& members, int column,
                             int levels) {
  std::vector<int> counts(static_cast<size_t>(levels), 0);
  for (int i : members) {
    const int v = data[i][column];
    if (!isMissing(v) && v >= 0 && v < levels) counts[static_cast<size_t>(v)]++;
  }
  return counts;
}

int mostFrequent(const std::vector<int>& counts) {
  int best = -1;
  for (size_t v = 0; v < counts.size(); v++)
    if (counts[v] > 0 && (best < 0 || counts[v] > counts[static_cast<size_t>(best)]))
      best = static_cast<int>(v);
  return best;
}

char residueLetter(int code) { return "ACDEFGHIKLMNPQRSTVWY-"[code]; }

std::string consensus(const Matrix<int>& alignment, const std::vector<int>& members) {
  std::string text;
  for (int t = 0; t < alignment.cols(); t++) {
    const int best = mostFrequent(levelCounts(alignment, members, t, kCodes));
    text += best < 0 ? ' ' : residueLetter(best);
  }
  return text;
}

std::vector<double> distinctiveness(const Matrix<int>& alignment,
                                    const std::vector<std::vector<int>>& members) {
  const size_t k = members.size();
  std::vector<double> score(static_cast<size_t>(alignment.cols()), 0.0);
  std::vector<int> code(k);
  std::vector<double> share(k);
  for (int t = 0; t < alignment.cols(); t++) {
    for (size_t c = 0; c < k; c++) {
      const std::vector<int> counts = levelCounts(alignment, members[c], t, kCodes);
      code[c] = mostFrequent(counts);
      share[c] = members[c].empty() ? 0.0 : static_cast<double>(counts[code[c]]) / members[c].size();
    }
    double apart = 0, weights = 0;
    for (size_t a = 0; a < k; a++)
      for (size_t b = a + 1; b < k; b++) {
        const double w = static_cast<double>(members[a].size()) * members[b].size();
        weights += w;
        if (code[a] != code[b]) apart += w * std::min(share[a], share[b]);
      }
    score[static_cast<size_t>(t)] = weights > 0 ? apart / weights : 0.0;
  }
  return score;
}

}  // namespace report
