// The report's pictures of the data, as inline SVG: a scatter plot of two coordinates coloured
// by cluster, and a tile map (rows ordered by cluster, one colour per level) for matrices and
// alignments. Sizes are bounded by the points and tiles the caller passes.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace report {

// A number as an SVG attribute or label shows it (printf format).
std::string svgNumber(double value, const char* format = "%.1f");

// The colour of the cluster with 0-based label c: ten distinct ones, then hues apart.
std::string clusterColour(int c);

// A colour of the sequential scale for position u in [0, 1], pale yellow to dark violet.
std::string sequentialColour(double u);

// Whether levels (ascending) read as an ordered scale: three or more consecutive whole numbers.
bool orderedLevels(const std::vector<int>& levels);

struct Scatter {
  std::vector<double> x, y;
  std::vector<int> labels;  // the cluster of each point
  std::string xLabel, yLabel;
  std::vector<double> certainty;  // optional: each point's membership probability (opacity)
  bool ellipses = false;          // each cluster's spread: its 95 % normal ellipse
};

// The ellipse holding about 95 % of a bivariate normal with the points' mean and covariance
// (radii sqrt(5.991 x eigenvalue), the 95 % point of chi-square on 2 degrees of freedom).
struct Ellipse {
  double cx = 0, cy = 0, rx = 0, ry = 0, degrees = 0;  // rx along the axis turned by degrees
};
Ellipse spreadEllipse(const std::vector<double>& x, const std::vector<double>& y);
std::string scatterSvg(const Scatter& scatter);

struct Tiles {
  int rows = 0, cols = 0;
  std::vector<int> level;          // rows x cols indices into colours; -1 blank
  std::vector<std::string> colours;
  std::vector<int> rowCluster;     // the cluster of each row: bands and boundaries
  std::vector<int> columnNumber;   // the 1-based data column each tile column shows
  std::vector<int> extraLevel;     // optional rows of one per cluster (consensus), clusters x cols
  std::string letters, extraLetters;  // optional: a character per tile, written when tiles are large
  std::vector<double> columnScore; // optional bar per column, in [0, 1]
  std::vector<bool> marked;        // columns whose bar is highlighted
  std::string scoreLabel;
  std::vector<std::pair<std::string, std::string>> legend;  // colour, text
};
std::string tilesSvg(const Tiles& tiles);

}  // namespace report
