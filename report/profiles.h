// What describes each estimated cluster: its members, per-column figures over the cells its
// members show (missing cells left out), an alignment's consensus, and how strongly each
// alignment column tells the clusters apart.
#pragma once
#include <string>
#include <vector>

#include "io/Matrix.h"

namespace report {

// members[c]: the items with label c, ascending.
std::vector<std::vector<int>> membersByLabel(const std::vector<int>& labels);

struct Moments {
  int seen = 0;     // cells that are not missing
  double mean = 0;  // NaN when none is seen
  double sd = 0;    // sample standard deviation (n - 1); NaN below two seen cells
};
Moments columnMoments(const Matrix<double>& data, const std::vector<int>& members, int column);

// counts[v]: members whose cell holds v, for v in 0..levels-1; missing cells are not counted.
std::vector<int> levelCounts(const Matrix<int>& data, const std::vector<int>& members, int column,
                             int levels);
// The most frequent level (the lowest of a tie), -1 when every count is 0.
int mostFrequent(const std::vector<int>& counts);

// Residue letter of a code 0..20 (20, the gap, is '-').
char residueLetter(int code);
// Per column the members' most frequent code (gap included; the first in residue order
// A C D ... Y, then the gap, on a tie), as letters.
std::string consensus(const Matrix<int>& alignment, const std::vector<int>& members);

// Per column, how well it tells the clusters apart: over pairs of clusters weighted by the
// product of their sizes, the mean of [their consensus codes differ] times the smaller of the
// two consensus shares. 1 when every cluster is uniform and no two agree; 0 for one cluster.
std::vector<double> distinctiveness(const Matrix<int>& alignment,
                                    const std::vector<std::vector<int>>& members);

}  // namespace report
