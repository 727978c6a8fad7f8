#include "report/classes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "io/VisibleText.h"
#include "report/pictures.h"
#include "summary/svg.h"

namespace report {
namespace {

double pairs(double count) { return count * (count - 1) / 2; }

// Joint and marginal counts of two labelings.
struct Table {
  std::map<std::pair<int, int>, double> joint;
  std::map<int, double> rows, cols;
  double n = 0;
};

Table table(const std::vector<int>& a, const std::vector<int>& b) {
  Table t;
  for (size_t i = 0; i < a.size() && i < b.size(); i++) {
    t.joint[{a[i], b[i]}]++;
    t.rows[a[i]]++;
    t.cols[b[i]]++;
    t.n++;
  }
  return t;
}

std::string fixed(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

double adjustedRandIndex(const std::vector<int>& a, const std::vector<int>& b) {
  const Table t = table(a, b);
  double index = 0, rowPairs = 0, colPairs = 0;
  for (const auto& cell : t.joint) index += pairs(cell.second);
  for (const auto& row : t.rows) rowPairs += pairs(row.second);
  for (const auto& col : t.cols) colPairs += pairs(col.second);
  const double all = pairs(t.n);
  const double expected = all > 0 ? rowPairs * colPairs / all : 0;
  const double most = (rowPairs + colPairs) / 2;
  if (most == expected) return 1;
  return (index - expected) / (most - expected);
}

double variationOfInformation(const std::vector<int>& a, const std::vector<int>& b) {
  const Table t = table(a, b);
  double vi = 0;
  for (const auto& cell : t.joint) {
    const double p = cell.second / t.n;
    const double pa = t.rows.at(cell.first.first) / t.n, pb = t.cols.at(cell.first.second) / t.n;
    vi -= p * (std::log2(p / pa) + std::log2(p / pb));
  }
  return vi;
}

ClassComparison compareClasses(const std::vector<int>& labels, const std::vector<std::string>& classes) {
  ClassComparison result;
  for (const std::string& value : classes)
    if (!value.empty()) result.classes.push_back(value);
  std::sort(result.classes.begin(), result.classes.end());
  result.classes.erase(std::unique(result.classes.begin(), result.classes.end()), result.classes.end());
  const int k = labels.empty() ? 0 : *std::max_element(labels.begin(), labels.end()) + 1;
  result.counts.assign(static_cast<size_t>(k), std::vector<long>(result.classes.size(), 0));
  std::vector<int> estimate, known;
  for (size_t i = 0; i < labels.size() && i < classes.size(); i++) {
    if (classes[i].empty()) {
      result.unlabelled++;
      continue;
    }
    const int c = static_cast<int>(std::lower_bound(result.classes.begin(), result.classes.end(), classes[i]) -
                                   result.classes.begin());
    result.counts[static_cast<size_t>(labels[i])][static_cast<size_t>(c)]++;
    estimate.push_back(labels[i]);
    known.push_back(c);
  }
  result.compared = static_cast<long>(estimate.size());
  result.ari = adjustedRandIndex(estimate, known);
  result.vi = variationOfInformation(estimate, known);
  return result;
}

std::string classesSection(const ClassComparison& comparison, const std::string& source) {
  std::ostringstream html;
  const auto esc = [](const std::string& text) { return summary::xmlEscape(visibleText(text)); };
  html << "<h2 id=\"classes\">Clusters against the known classes</h2>\n<p>Classes: " << esc(source)
       << ". Adjusted Rand index <b>" << fixed("%.3f", comparison.ari) << "</b> (1: the same grouping; "
       << "about 0: no better than chance); variation of information <b>" << fixed("%.3f", comparison.vi)
       << "</b> bits (0: the same grouping; at most log2 n = "
       << fixed("%.2f", comparison.compared > 0 ? std::log2(static_cast<double>(comparison.compared)) : 0)
       << "). The classes were not used by the search.</p>\n";
  html << "<div class=\"wide\"><table id=\"confusion\">\n<tr><th>cluster</th>";
  for (const std::string& value : comparison.classes) html << "<th>" << esc(value) << "</th>";
  html << "</tr>\n";
  for (size_t c = 0; c < comparison.counts.size(); c++) {
    html << "<tr data-cluster=\"" << c + 1 << "\"><td><span class=\"swatch\" style=\"background:"
         << clusterColour(static_cast<int>(c)) << "\"></span>" << c + 1 << "</td>";
    for (long count : comparison.counts[c]) html << "<td>" << count << "</td>";
    html << "</tr>\n";
  }
  html << "</table></div>\n";
  if (comparison.unlabelled > 0)
    html << "<p class=\"note\">" << comparison.unlabelled
         << " observations without a class (NA or empty) are left out of the table and the figures.</p>\n";
  return html.str();
}

}  // namespace report
