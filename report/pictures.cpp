#include "report/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "summary/svg.h"

namespace report {

std::string svgNumber(double value, const char* format) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

namespace {

std::string num(double value, const char* format = "%.1f") { return svgNumber(value, format); }

// About five round steps over [low, high].
std::vector<double> roundTicks(double low, double high) {
  std::vector<double> out;
  if (!(high > low)) return {low};
  const double raw = (high - low) / 5;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (power * factor >= raw) {
      step = power * factor;
      break;
    }
  for (double v = std::ceil(low / step) * step; v <= high + step * 1e-9; v += step)
    out.push_back(std::fabs(v) < step * 1e-9 ? 0.0 : v);
  return out;
}

// Swatches with their text in rows from (x, y), wrapping at width; returns the y below.
double legendRows(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& items,
                  double x, double y, double width) {
  double at = x;
  for (const auto& item : items) {
    const double itemWidth = 22 + 7.0 * item.second.size();
    if (at > x && at + itemWidth > x + width) {
      at = x;
      y += 18;
    }
    out << "<rect x=\"" << num(at) << "\" y=\"" << num(y - 10) << "\" width=\"12\" height=\"12\" fill=\""
        << item.first << "\" stroke=\"#888\" stroke-width=\"0.5\"/><text x=\"" << num(at + 16)
        << "\" y=\"" << num(y) << "\">" << summary::xmlEscape(item.second) << "</text>\n";
    at += itemWidth;
  }
  return y + 18;
}

}  // namespace

std::string clusterColour(int c) {
  static const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                         "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#7f7f7f"};
  if (c < 10) return kColours[c];
  return "hsl(" + std::to_string((c * 137) % 360) + ",60%,42%)";
}

Ellipse spreadEllipse(const std::vector<double>& x, const std::vector<double>& y) {
  Ellipse e;
  const double n = static_cast<double>(x.size());
  if (x.size() < 3) return e;
  for (size_t i = 0; i < x.size(); i++) {
    e.cx += x[i] / n;
    e.cy += y[i] / n;
  }
  double sxx = 0, syy = 0, sxy = 0;
  for (size_t i = 0; i < x.size(); i++) {
    sxx += (x[i] - e.cx) * (x[i] - e.cx);
    syy += (y[i] - e.cy) * (y[i] - e.cy);
    sxy += (x[i] - e.cx) * (y[i] - e.cy);
  }
  sxx /= n - 1;
  syy /= n - 1;
  sxy /= n - 1;
  const double mid = (sxx + syy) / 2, half = std::sqrt((sxx - syy) * (sxx - syy) / 4 + sxy * sxy);
  const double chi = 5.991;
  e.rx = std::sqrt(chi * std::max(0.0, mid + half));
  e.ry = std::sqrt(chi * std::max(0.0, mid - half));
  e.degrees = 0.5 * std::atan2(2 * sxy, sxx - syy) * 180 / M_PI;
  return e;
}

std::string sequentialColour(double u) {
  static const double kStops[][3] = {{253, 231, 37}, {94, 201, 98}, {33, 145, 140}, {59, 82, 139}, {68, 1, 84}};
  const double at = std::min(1.0, std::max(0.0, std::isnan(u) ? 0.0 : u)) * 4;
  const int low = std::min(3, static_cast<int>(at));
  const double f = at - low;
  char text[8];
  int rgb[3];
  for (int k = 0; k < 3; k++) rgb[k] = static_cast<int>(std::lround(kStops[low][k] + f * (kStops[low + 1][k] - kStops[low][k])));
  std::snprintf(text, sizeof text, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  return text;
}

bool orderedLevels(const std::vector<int>& levels) {
  return levels.size() >= 3 && levels.back() - levels.front() + 1 == static_cast<int>(levels.size());
}

std::string scatterSvg(const Scatter& s) {
  const double width = 820, height = 560, left = 70, top = 20, plotW = 560, plotH = 470;
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"picture\" width=\"" << width
      << "\" height=\"" << height << "\" viewBox=\"0 0 " << width << ' ' << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  double xLow = 0, xHigh = 1, yLow = 0, yHigh = 1;
  if (!s.x.empty()) {
    xLow = *std::min_element(s.x.begin(), s.x.end());
    xHigh = *std::max_element(s.x.begin(), s.x.end());
    yLow = *std::min_element(s.y.begin(), s.y.end());
    yHigh = *std::max_element(s.y.begin(), s.y.end());
  }
  // A margin of 4 % on each side; a flat coordinate gets a unit range.
  auto widen = [](double& low, double& high) {
    const double pad = high > low ? (high - low) * 0.04 : 0.5;
    low -= pad;
    high += pad;
  };
  widen(xLow, xHigh);
  widen(yLow, yHigh);
  auto px = [&](double v) { return left + (v - xLow) / (xHigh - xLow) * plotW; };
  auto py = [&](double v) { return top + plotH - (v - yLow) / (yHigh - yLow) * plotH; };
  out << "<rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << plotW << "\" height=\"" << plotH
      << "\" fill=\"none\" stroke=\"#444\"/>\n";
  for (double v : roundTicks(xLow, xHigh))
    out << "<line x1=\"" << num(px(v)) << "\" x2=\"" << num(px(v)) << "\" y1=\"" << top + plotH
        << "\" y2=\"" << top + plotH + 5 << "\" stroke=\"#444\"/><text x=\"" << num(px(v))
        << "\" y=\"" << top + plotH + 18 << "\" text-anchor=\"middle\">" << num(v, "%g") << "</text>\n";
  for (double v : roundTicks(yLow, yHigh))
    out << "<line x1=\"" << left - 5 << "\" x2=\"" << left << "\" y1=\"" << num(py(v)) << "\" y2=\""
        << num(py(v)) << "\" stroke=\"#444\"/><text x=\"" << left - 8 << "\" y=\"" << num(py(v) + 4)
        << "\" text-anchor=\"end\">" << num(v, "%g") << "</text>\n";
  out << "<text x=\"" << left + plotW / 2 << "\" y=\"" << top + plotH + 38
      << "\" text-anchor=\"middle\">" << summary::xmlEscape(s.xLabel) << "</text>\n"
      << "<text transform=\"translate(16," << top + plotH / 2 << ") rotate(-90)\" text-anchor=\"middle\">"
      << summary::xmlEscape(s.yLabel) << "</text>\n";
  int clusters = 0;
  for (int label : s.labels) clusters = std::max(clusters, label + 1);
  for (int c = 0; c < clusters; c++) {
    out << "<g fill=\"" << clusterColour(c) << "\" fill-opacity=\"0.8\">";
    for (size_t i = 0; i < s.x.size(); i++)
      if (s.labels[i] == c) {
        out << "<circle cx=\"" << num(px(s.x[i])) << "\" cy=\"" << num(py(s.y[i])) << "\" r=\"3.2\"";
        // Certain points solid, uncertain ones faint.
        if (!s.certainty.empty() && !std::isnan(s.certainty[i]))
          out << " fill-opacity=\"" << num(0.15 + 0.75 * s.certainty[i], "%.2f") << "\"";
        out << "/>";
      }
    out << "</g>\n";
  }
  if (s.ellipses) {
    out << "<clipPath id=\"scatter-frame\"><rect x=\"" << left << "\" y=\"" << top << "\" width=\"" << plotW
        << "\" height=\"" << plotH << "\"/></clipPath>\n<g clip-path=\"url(#scatter-frame)\">\n";
    for (int c = 0; c < clusters; c++) {
      std::vector<double> cx, cy;
      for (size_t i = 0; i < s.x.size(); i++)
        if (s.labels[i] == c) {
          cx.push_back(px(s.x[i]));
          cy.push_back(py(s.y[i]));
        }
      const Ellipse e = spreadEllipse(cx, cy);
      if (e.rx > 0)
        out << "<ellipse cx=\"" << num(e.cx) << "\" cy=\"" << num(e.cy) << "\" rx=\"" << num(e.rx) << "\" ry=\""
            << num(e.ry) << "\" transform=\"rotate(" << num(e.degrees) << " " << num(e.cx) << " " << num(e.cy)
            << ")\" fill=\"none\" stroke=\"" << clusterColour(c) << "\" stroke-width=\"1.6\"/>\n";
    }
    out << "</g>\n";
  }
  const int listed = std::min(clusters, 24);
  for (int c = 0; c < listed; c++) {
    const double y = top + 14 + c * 19;
    out << "<circle cx=\"" << left + plotW + 30 << "\" cy=\"" << y - 4 << "\" r=\"5\" fill=\""
        << clusterColour(c) << "\"/><text x=\"" << left + plotW + 42 << "\" y=\"" << y
        << "\">cluster " << c + 1 << "</text>\n";
  }
  if (clusters > listed)
    out << "<text x=\"" << left + plotW + 24 << "\" y=\"" << top + 14 + listed * 19 << "\">and "
        << clusters - listed << " more</text>\n";
  out << "</svg>\n";
  return out.str();
}

namespace {

// Where the tile map's parts go: the map left, its width and each row's height.
struct TileLayout {
  double left = 64, mapW = 0, cols = 1;
};

// One block of tiles: one path per colour, each run of a row one rectangle in tile units;
// letters only where a tile holds one readably.
void tileBlock(std::ostream& body, const Tiles& t, const TileLayout& at, const std::vector<int>& level,
               const std::string& letters, int rows, double y, double h) {
  std::vector<std::string> paths(t.colours.size());
  for (int r = 0; r < rows; r++)
    for (int c = 0; c < t.cols;) {
      const int v = level[static_cast<size_t>(r) * t.cols + c];
      int end = c + 1;
      while (end < t.cols && level[static_cast<size_t>(r) * t.cols + end] == v) end++;
      if (v >= 0)
        paths[static_cast<size_t>(v)] += "M" + std::to_string(c) + " " + std::to_string(r) + "h" +
                                         std::to_string(end - c) + "v1h-" +
                                         std::to_string(end - c) + "z";
      c = end;
    }
  body << "<svg x=\"" << num(at.left) << "\" y=\"" << num(y) << "\" width=\"" << num(at.mapW)
       << "\" height=\"" << num(h) << "\" viewBox=\"0 0 " << t.cols << ' ' << rows
       << "\" preserveAspectRatio=\"none\" shape-rendering=\"crispEdges\">\n";
  for (size_t v = 0; v < paths.size(); v++)
    if (!paths[v].empty()) body << "<path fill=\"" << t.colours[v] << "\" d=\"" << paths[v] << "\"/>\n";
  body << "</svg>\n";
  const double tileW = at.mapW / at.cols, tileH = rows > 0 ? h / rows : 0;
  if (letters.size() != level.size() || tileW < 9 || tileH < 10) return;
  body << "<g class=\"letters\" text-anchor=\"middle\">";
  for (int r = 0; r < rows; r++) {
    body << "<text y=\"" << num(y + (r + 0.5) * tileH + 4) << "\">";
    for (int c = 0; c < t.cols; c++)
      body << "<tspan x=\"" << num(at.left + (c + 0.5) * tileW) << "\">"
           << summary::xmlEscape(std::string(1, letters[static_cast<size_t>(r) * t.cols + c]))
           << "</tspan>";
    body << "</text>\n";
  }
  body << "</g>\n";
}

// Cluster bands left of the rows drawn from y, each row h high, with lines between clusters
// when asked.
void clusterBands(std::ostream& body, const TileLayout& at, const std::vector<int>& cluster, double y,
                  double h, bool boundaries) {
  const double left = at.left;
  for (size_t r = 0; r < cluster.size();) {
    size_t end = r + 1;
    while (end < cluster.size() && cluster[end] == cluster[r]) end++;
    const double y0 = y + r * h, y1 = y + end * h;
    body << "<rect x=\"" << left - 18 << "\" y=\"" << num(y0) << "\" width=\"14\" height=\""
         << num(y1 - y0) << "\" fill=\"" << clusterColour(cluster[r]) << "\"/>";
    if (y1 - y0 >= 10)
      body << "<text x=\"" << left - 22 << "\" y=\"" << num((y0 + y1) / 2 + 4)
           << "\" text-anchor=\"end\">" << cluster[r] + 1 << "</text>";
    if (boundaries && r > 0)
      body << "<line x1=\"" << left - 18 << "\" x2=\"" << num(left + at.mapW) << "\" y1=\"" << num(y0)
           << "\" y2=\"" << num(y0) << "\" stroke=\"#000\" stroke-width=\"1.5\"/>";
    body << '\n';
    r = end;
  }
}

// The bar per column above the map, highlighted where marked; returns the height it took.
double scoreTrack(std::ostream& body, const Tiles& t, const TileLayout& at, double y) {
  const double trackH = 56, left = at.left;
  body << "<text x=\"" << left - 6 << "\" y=\"" << y + trackH / 2 << "\" text-anchor=\"end\" "
       << "class=\"small\">" << summary::xmlEscape(t.scoreLabel) << "</text>\n"
       << "<svg x=\"" << left << "\" y=\"" << y << "\" width=\"" << num(at.mapW) << "\" height=\"" << trackH
       << "\" viewBox=\"0 0 " << t.cols << " 1\" preserveAspectRatio=\"none\">\n";
  std::string plain, highlighted;
  for (int c = 0; c < t.cols; c++) {
    const double s = std::min(1.0, std::max(0.0, t.columnScore[static_cast<size_t>(c)]));
    if (s <= 0) continue;
    const bool mark = static_cast<size_t>(c) < t.marked.size() && t.marked[static_cast<size_t>(c)];
    (mark ? highlighted : plain) += "M" + std::to_string(c) + " 1V" + num(1 - s, "%.3f") + "h1V1z";
  }
  body << "<path fill=\"#9aa5b1\" d=\"" << plain << "\"/><path fill=\"#c0392b\" d=\"" << highlighted
       << "\"/>\n</svg>\n<line x1=\"" << left << "\" x2=\"" << num(left + at.mapW) << "\" y1=\""
       << y + trackH << "\" y2=\"" << y + trackH << "\" stroke=\"#666\"/>\n";
  return trackH + 6;
}

// Column numbers under the map: about ten, at round steps of the data's columns; returns the
// height it took.
double columnAxis(std::ostream& body, const Tiles& t, const TileLayout& at, double y) {
  const double left = at.left, mapW = at.mapW;
  const double cellW = t.cols > 0 ? mapW / t.cols : 1;
  const int wanted = std::max(1, std::min(t.cols, cellW >= 16 ? t.cols : static_cast<int>(mapW / 60)));
  for (int i = 0; i < wanted; i++) {
    const int c = wanted == 1 ? 0 : static_cast<int>(std::lround(i * (t.cols - 1.0) / (wanted - 1)));
    const double x = left + (c + 0.5) * cellW;
    body << "<line x1=\"" << num(x) << "\" x2=\"" << num(x) << "\" y1=\"" << num(y) << "\" y2=\""
         << num(y + 4) << "\" stroke=\"#444\"/><text x=\"" << num(x) << "\" y=\"" << num(y + 16)
         << "\" text-anchor=\"middle\" class=\"small\">" << t.columnNumber[static_cast<size_t>(c)]
         << "</text>\n";
  }
  body << "<text x=\"" << left + mapW / 2 << "\" y=\"" << num(y + 30)
       << "\" text-anchor=\"middle\">column</text>\n";
  return 34;
}

}  // namespace

std::string tilesSvg(const Tiles& t) {
  TileLayout at;
  at.cols = std::max(1, t.cols);
  at.mapW = t.cols * std::min(1000.0 / at.cols, std::max(18.0, 240.0 / at.cols));
  const double left = at.left, mapW = at.mapW;
  const double cellH = std::min(14.0, std::max(1.0, 640.0 / std::max(1, t.rows)));
  const double mapH = cellH * t.rows;
  const int extraRows = t.cols > 0 ? static_cast<int>(t.extraLevel.size()) / t.cols : 0;
  const double extraH = extraRows > 0 ? std::min(14.0, std::max(3.0, 240.0 / extraRows)) : 0;
  std::ostringstream body;
  double y = 10;
  if (!t.columnScore.empty()) y += scoreTrack(body, t, at, y);
  tileBlock(body, t, at, t.level, t.letters, t.rows, y, mapH);
  clusterBands(body, at, t.rowCluster, y, cellH, true);
  body << "<rect x=\"" << left << "\" y=\"" << num(y) << "\" width=\"" << num(mapW) << "\" height=\""
       << num(mapH) << "\" fill=\"none\" stroke=\"#444\"/>\n";
  y += mapH;
  if (extraRows > 0) {
    y += 16;
    body << "<text x=\"" << left << "\" y=\"" << y - 4 << "\" class=\"small\">consensus of each cluster</text>\n";
    tileBlock(body, t, at, t.extraLevel, t.extraLetters, extraRows, y, extraH * extraRows);
    std::vector<int> clusters(static_cast<size_t>(extraRows));
    for (int c = 0; c < extraRows; c++) clusters[static_cast<size_t>(c)] = c;
    clusterBands(body, at, clusters, y, extraH, false);
    body << "<rect x=\"" << left << "\" y=\"" << num(y) << "\" width=\"" << num(mapW) << "\" height=\""
         << num(extraH * extraRows) << "\" fill=\"none\" stroke=\"#444\"/>\n";
    y += extraH * extraRows;
  }
  y += columnAxis(body, t, at, y);
  y = legendRows(body, t.legend, left, y + 12, std::max(mapW, 600.0));
  const double width = std::max(left + mapW + 20, 700.0);
  std::ostringstream out;
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"picture\" width=\"" << num(width)
      << "\" height=\"" << num(y) << "\" viewBox=\"0 0 " << num(width) << ' ' << num(y)
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n<style>.small{font-size:10px}"
      << ".letters{font:10px monospace;fill:#fff}</style>\n"
      << body.str() << "</svg>\n";
  return out.str();
}

}  // namespace report
