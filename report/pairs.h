// The report's pairs plot of a real matrix with few columns: the columns that tell the
// clusters apart best, each pair on its own small scatter plot, the rows coloured by cluster.
#pragma once
#include <string>
#include <vector>

#include "io/Matrix.h"

namespace report {

// Columns up to which the report draws a pairs plot, and the most it shows.
constexpr int kPairsMaxColumns = 8;
constexpr int kPairsShown = 4;

// Each column's separation: its between-cluster variance over its within-cluster variance
// (the one-way analysis of variance's F ratio without degrees of freedom), over the seen
// cells; 0 for a column without spread within clusters or with one cluster.
std::vector<double> columnSeparation(const Matrix<double>& data, const std::vector<std::vector<int>>& members);

// The `count` columns of largest separation, in the columns' order.
std::vector<int> mostSeparating(const std::vector<double>& separation, int count);

// The pairs plot of the columns listed (0-based), each named "column N" on the diagonal; rows with a missing cell in a panel's pair are left out of it; every step-th row is drawn.
std::string pairsSvg(const Matrix<double>& data, const std::vector<int>& labels, const std::vector<int>& columns,
                     const std::vector<double>& separation, int step);

}  // namespace report
