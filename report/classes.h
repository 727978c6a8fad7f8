// Known classes beside the estimate: the confusion table, the adjusted Rand index and the
// variation of information. The classes are shown, never used by the search.
#pragma once
#include <string>
#include <vector>

namespace report {

// Both labelings over the same items, any non-negative labels. 1 when equal up to relabelling,
// about 0 for unrelated ones (negative below chance); 1 when the expected index equals its
// maximum (a single item, or both one cluster, or both all apart).
double adjustedRandIndex(const std::vector<int>& a, const std::vector<int>& b);

// H(a) + H(b) - 2 I(a; b), in bits: 0 when equal up to relabelling, at most log2 n.
double variationOfInformation(const std::vector<int>& a, const std::vector<int>& b);

struct ClassComparison {
  std::vector<std::string> classes;       // the distinct class values, sorted
  std::vector<std::vector<long>> counts;  // counts[cluster][class], items with a class
  long compared = 0, unlabelled = 0;      // items with a class, and without (left out)
  double ari = 0, vi = 0;
};

// labels: the estimate (0-based); classes: one per item, empty when unknown.
ClassComparison compareClasses(const std::vector<int>& labels, const std::vector<std::string>& classes);

// The page's section: a heading naming the classes' source, the table, the two figures.
std::string classesSection(const ClassComparison& comparison, const std::string& source);

}  // namespace report
