#include "report/pairs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sstream>

#include "report/pictures.h"

namespace report {
namespace {

std::string num(double value, const char* format = "%.1f") { return svgNumber(value, format); }

}  // namespace

std::vector<double> columnSeparation(const Matrix<double>& data, const std::vector<std::vector<int>>& members) {
  std::vector<double> separation(static_cast<size_t>(data.cols()), 0.0);
  for (int t = 0; t < data.cols(); t++) {
    double total = 0, count = 0;
    std::vector<double> sum(members.size(), 0.0), seen(members.size(), 0.0);
    for (size_t c = 0; c < members.size(); c++)
      for (int i : members[c])
        if (!isMissing(data[i][t])) {
          sum[c] += data[i][t];
          seen[c] += 1;
        }
    for (size_t c = 0; c < members.size(); c++) {
      total += sum[c];
      count += seen[c];
    }
    if (count < 2) continue;
    const double mean = total / count;
    double between = 0, within = 0;
    for (size_t c = 0; c < members.size(); c++) {
      if (seen[c] == 0) continue;
      const double clusterMean = sum[c] / seen[c];
      between += seen[c] * (clusterMean - mean) * (clusterMean - mean);
      for (int i : members[c])
        if (!isMissing(data[i][t])) within += (data[i][t] - clusterMean) * (data[i][t] - clusterMean);
    }
    separation[static_cast<size_t>(t)] = within > 0 ? between / within : 0;
  }
  return separation;
}

std::vector<int> mostSeparating(const std::vector<double>& separation, int count) {
  std::vector<int> order(separation.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return separation[static_cast<size_t>(a)] > separation[static_cast<size_t>(b)];
  });
  order.resize(std::min(order.size(), static_cast<size_t>(std::max(0, count))));
  std::sort(order.begin(), order.end());
  return order;
}

std::string pairsSvg(const Matrix<double>& data, const std::vector<int>& labels, const std::vector<int>& columns,
                     const std::vector<double>& separation, int step) {
  const double panel = 170, gap = 8, left = 20, top = 10;
  const size_t m = columns.size();
  const double size = left + m * (panel + gap) + 10;
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"picture\" width=\"" << num(size) << "\" height=\""
      << num(size) << "\" viewBox=\"0 0 " << num(size) << ' ' << num(size)
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  // Each column's range over its seen cells, widened by 4 %.
  std::vector<double> low(m), high(m);
  for (size_t a = 0; a < m; a++) {
    low[a] = INFINITY;
    high[a] = -INFINITY;
    for (int i = 0; i < data.rows(); i++) {
      const double v = data[i][columns[a]];
      if (isMissing(v)) continue;
      low[a] = std::min(low[a], v);
      high[a] = std::max(high[a], v);
    }
    if (!(high[a] > low[a])) {
      low[a] = (std::isfinite(low[a]) ? low[a] : 0) - 0.5;
      high[a] = low[a] + 1;
    }
    const double pad = 0.04 * (high[a] - low[a]);
    low[a] -= pad;
    high[a] += pad;
  }
  for (size_t r = 0; r < m; r++)
    for (size_t c = 0; c < m; c++) {
      const double x0 = left + c * (panel + gap), y0 = top + r * (panel + gap);
      out << "<rect x=\"" << num(x0) << "\" y=\"" << num(y0) << "\" width=\"" << panel << "\" height=\"" << panel
          << "\" fill=\"none\" stroke=\"#888\"/>\n";
      const int tc = columns[c], tr = columns[r];
      if (r == c) {
        out << "<text x=\"" << num(x0 + panel / 2) << "\" y=\"" << num(y0 + panel / 2 - 4)
            << "\" text-anchor=\"middle\" font-weight=\"bold\">column " << tc + 1 << "</text>"
            << "<text x=\"" << num(x0 + panel / 2) << "\" y=\"" << num(y0 + panel / 2 + 14)
            << "\" text-anchor=\"middle\" font-size=\"11\">separation " << num(separation[static_cast<size_t>(tc)], "%.2f")
            << "</text><text x=\"" << num(x0 + 4) << "\" y=\"" << num(y0 + panel - 5) << "\" font-size=\"10\">"
            << num(low[c] + 0.04 / 1.08 * (high[c] - low[c]), "%.3g") << " to "
            << num(high[c] - 0.04 / 1.08 * (high[c] - low[c]), "%.3g") << "</text>\n";
        continue;
      }
      // Row r's column on the vertical axis, column c's on the horizontal.
      std::vector<std::ostringstream> byCluster;
      for (int i = 0; i < data.rows(); i += step) {
        const double vx = data[i][tc], vy = data[i][tr];
        if (isMissing(vx) || isMissing(vy)) continue;
        const size_t label = static_cast<size_t>(labels[static_cast<size_t>(i)]);
        if (label >= byCluster.size()) byCluster.resize(label + 1);
        byCluster[label] << "<circle cx=\"" << num(x0 + (vx - low[c]) / (high[c] - low[c]) * panel) << "\" cy=\""
                         << num(y0 + panel - (vy - low[r]) / (high[r] - low[r]) * panel) << "\" r=\"1.8\"/>";
      }
      for (size_t k = 0; k < byCluster.size(); k++)
        if (byCluster[k].tellp() > 0)
          out << "<g fill=\"" << clusterColour(static_cast<int>(k)) << "\" fill-opacity=\"0.7\">" << byCluster[k].str()
              << "</g>\n";
    }
  out << "</svg>\n";
  return out.str();
}

}  // namespace report
