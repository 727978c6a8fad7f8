#include "report/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <sstream>
#include <utility>

#include "io/Files.h"
#include "io/VisibleText.h"
#include "models/ProteinSequence.h"
#include "report/classes.h"
#include "report/modes.h"
#include "report/alone.h"
#include "report/inputs.h"
#include "report/pairs.h"
#include "report/pictures.h"
#include "report/principal.h"
#include "report/profiles.h"
#include "summary/svg.h"

namespace report {

const char* kindName(DataKind kind) {
  switch (kind) {
    case DataKind::Sequences: return "protein alignment";
    case DataKind::Binary: return "0/1 matrix";
    case DataKind::Categorical: return "categorical matrix";
    case DataKind::Real: return "real matrix";
  }
  return "data";
}

namespace {

// Bounds that keep the page readable and a few MB at most whatever the data's size.
const int kMaxTileRows = 400;
const int kMaxTileColumns = 300;
const int kMaxPoints = 5000;
const int kMaxTableClusters = 20;
const int kDistinctiveColumns = 20;
const size_t kMaxConsensusShown = 2000;
const int kOpenTableRows = 40;

std::string esc(const std::string& text) { return summary::xmlEscape(text); }

// Text of several lines: each escaped, the line breaks kept.
std::string escLines(const std::string& text) {
  std::string out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out += esc(text.substr(start, end - start));
    if (end < text.size()) out += '\n';
    start = end + 1;
  }
  return out;
}

std::string fmt(const char* format, double value) {
  if (std::isnan(value)) return "NA";
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string probability(double p) { return fmt("%.3f", p); }

// Pale, then dark, so that levels are not read as the clusters' saturated colours.
const char* const kLevelColours[] = {"#8dd3c7", "#ffffb3", "#bebada", "#fb8072", "#80b1d3",
                                     "#fdb462", "#b3de69", "#fccde5", "#d9d9d9", "#bc80bd",
                                     "#ccebc5", "#ffed6f", "#1b9e77", "#d95f02", "#7570b3",
                                     "#e7298a", "#66a61e", "#e6ab02", "#a6761d", "#666666"};

// Residue classes: the colour of each code 0..20 (A C D ... Y, gap) is its class's.
struct ResidueClass {
  const char* residues;
  const char* colour;
  const char* name;
};
// Pale tones, so that no residue class shares a colour with a cluster (clusterColour's are
// saturated) and the letters on them stay readable.
const ResidueClass kResidueClasses[] = {
    {"AILMFWV", "#a9c6ea", "hydrophobic AILMFWV"}, {"KR", "#f5b7b1", "positive KR"},
    {"DE", "#d7bde2", "negative DE"},              {"NQST", "#c5e8b7", "polar NQST"},
    {"C", "#f9e79f", "cysteine C"},                {"G", "#fad7a0", "glycine G"},
    {"P", "#e5e0c0", "proline P"},                 {"HY", "#a8e0e6", "aromatic HY"},
    {"-", "#f2f2f2", "gap"}};

int residueClass(int code) {
  const char letter = residueLetter(code);
  for (size_t c = 0; c < sizeof kResidueClasses / sizeof kResidueClasses[0]; c++)
    if (std::string(kResidueClasses[c].residues).find(letter) != std::string::npos)
      return static_cast<int>(c);
  return 0;
}

struct Page {
  const Data& data;
  const std::vector<int>& labels;
  const std::vector<double>& membership;
  std::vector<std::vector<int>> members;
  std::ostringstream html;
  std::vector<std::string> consensus;  // of each cluster, for an alignment

  int clusters() const { return static_cast<int>(members.size()); }
  std::string clusterCell(int c) const {
    return "<td><span class=\"swatch\" style=\"background:" + clusterColour(c) + "\"></span>" +
           std::to_string(c + 1) + "</td>";
  }
  std::string columnName(int t) const {
    return data.columnNames.empty() ? "column " + std::to_string(t + 1) : data.columnNames[static_cast<size_t>(t)];
  }
  std::string itemName(int i) const {
    return data.names.empty() ? "row " + std::to_string(i + 1) : data.names[static_cast<size_t>(i)];
  }
};

// The items shown as rows of a tile map: every one, or one in every step of each cluster (each
// cluster keeping at least one), in cluster order.
std::vector<int> tileRows(const Page& page, int& step) {
  std::vector<int> rows;
  step = (page.data.n + kMaxTileRows - 1) / kMaxTileRows;
  if (page.clusters() > kMaxTileRows) {
    std::vector<int> all;
    for (const auto& m : page.members) all.insert(all.end(), m.begin(), m.end());
    for (size_t s = 0; s < all.size(); s += static_cast<size_t>(step)) rows.push_back(all[s]);
    return rows;
  }
  for (const auto& m : page.members)
    for (size_t s = 0; s < m.size(); s += static_cast<size_t>(step)) rows.push_back(m[s]);
  return rows;
}

std::vector<int> tileColumns(int columns, int& step) {
  step = (columns + kMaxTileColumns - 1) / kMaxTileColumns;
  std::vector<int> shown;
  for (int t = 0; t < columns; t += step) shown.push_back(t);
  return shown;
}

std::string sampledCaption(int rowStep, size_t rows, int n, int columnStep, size_t columns, int d) {
  std::string text;
  if (rowStep > 1)
    text += " One row in every " + std::to_string(rowStep) + " of each cluster is shown (" +
            std::to_string(rows) + " of " + std::to_string(n) + ").";
  if (columnStep > 1)
    text += " One column in every " + std::to_string(columnStep) + " is shown (" +
            std::to_string(columns) + " of " + std::to_string(d) + ").";
  return text;
}

void figure(Page& page, const std::string& svg, const std::string& caption) {
  page.html << "<figure>\n" << svg << "<figcaption>" << esc(caption) << "</figcaption>\n</figure>\n";
}

void realPicture(Page& page) {
  const Data& data = page.data;
  Scatter s;
  std::string caption;
  std::vector<double> x(static_cast<size_t>(data.n)), y(x.size());
  std::vector<bool> usable(x.size(), true);
  if (data.columns >= 3) {
    const Components pc = principalComponents(data.real, kCovarianceWork, spreadsDiffer(data.real));
    x = pc.score[0];
    y = pc.score[1];
    const double total = pc.totalVariance > 0 ? pc.totalVariance : 1;
    s.xLabel = "first principal component (" + fmt("%.1f", 100 * pc.variance[0] / total) + " % of the variance)";
    s.yLabel = "second principal component (" + fmt("%.1f", 100 * pc.variance[1] / total) + " %)";
    caption = "The rows on the first two principal components of the " +
              std::string(pc.standardised ? "correlation" : "covariance") + " of the " +
              std::to_string(data.columns) + " columns (eigenvectors by " +
              (pc.jacobi ? "Jacobi rotations" : "subspace power iteration") +
              "), coloured by estimated cluster.";
    caption += pc.standardised
                   ? " The columns are standardised (each divided by its standard deviation) because their "
                     "spreads differ by more than " + fmt("%.0f", kSpreadRatio) + " times, as columns in different units do."
                   : " The columns are not standardised: their spreads differ by less than " +
                         fmt("%.0f", kSpreadRatio) + " times.";
    if (pc.rowStep > 1)
      caption += " The covariance is that of one row in every " + std::to_string(pc.rowStep) + ".";
    if (data.missing > 0)
      caption += " A missing cell counts as its column's mean (" + std::to_string(data.missing) +
                 " cells).";
  } else {
    for (int i = 0; i < data.n; i++) {
      x[static_cast<size_t>(i)] = data.real[i][0];
      // One column: the clusters on separate lines, spread a little so points do not hide.
      y[static_cast<size_t>(i)] = data.columns == 2 ? data.real[i][1]
                                                    : page.labels[static_cast<size_t>(i)] +
                                                          0.5 * std::fmod(i * 0.618034, 1.0) - 0.25;
      usable[static_cast<size_t>(i)] = !isMissing(x[static_cast<size_t>(i)]) && !isMissing(y[static_cast<size_t>(i)]);
    }
    s.xLabel = page.columnName(0);
    s.yLabel = data.columns == 2 ? page.columnName(1) : "cluster (rows spread apart)";
    caption = data.columns == 2 ? "The two columns, each row coloured by its estimated cluster."
                                : "The one column by estimated cluster.";
    const long left = std::count(usable.begin(), usable.end(), false);
    if (left > 0) caption += " " + std::to_string(left) + " rows with a missing cell are left out.";
  }
  const int step = (data.n + kMaxPoints - 1) / kMaxPoints;
  for (int i = 0; i < data.n; i += step)
    if (usable[static_cast<size_t>(i)]) {
      s.x.push_back(x[static_cast<size_t>(i)]);
      s.y.push_back(y[static_cast<size_t>(i)]);
      s.labels.push_back(page.labels[static_cast<size_t>(i)]);
      s.certainty.push_back(page.membership[static_cast<size_t>(i)]);
    }
  // One column has no second axis for a spread.
  s.ellipses = data.columns >= 2;
  caption += " Each point's opacity is its membership probability (faint: uncertain).";
  if (s.ellipses)
    caption += " Each ellipse would hold 95 % of its cluster's rows were they normal on these two axes "
               "(from the cluster's mean and covariance there; clusters of three rows or more).";
  if (step > 1)
    caption += " One row in every " + std::to_string(step) + " is drawn (" +
               std::to_string(s.x.size()) + " of " + std::to_string(data.n) + ").";
  figure(page, scatterSvg(s), caption);
  if (data.columns >= 3 && data.columns <= kPairsMaxColumns && page.clusters() >= 2) {
    const std::vector<double> separation = columnSeparation(data.real, page.members);
    const std::vector<int> shown = mostSeparating(separation, kPairsShown);
    std::string pairsCaption =
        "Pairs of columns in their own units, the rows coloured by estimated cluster: " +
        std::string(shown.size() < static_cast<size_t>(data.columns)
                        ? "the " + std::to_string(shown.size()) + " columns that separate the clusters best"
                        : "every column") +
        ". Separation: the column's variance between the clusters' means over its variance within the "
        "clusters (larger: better apart).";
    if (data.missing > 0) pairsCaption += " A row with a missing cell is left out of that cell's panels.";
    if (step > 1) pairsCaption += " One row in every " + std::to_string(step) + " is drawn.";
    figure(page, pairsSvg(data.real, page.labels, shown, separation, step), pairsCaption);
  }
}

// The distinct values of a categorical matrix, ascending.
std::vector<int> levelsOf(const Data& data) {
  std::vector<int> levels;
  for (int i = 0; i < data.n; i++)
    for (int t = 0; t < data.columns; t++)
      if (!isMissing(data.cells[i][t])) levels.push_back(data.cells[i][t]);
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  return levels;
}

// score and marked: per data column, the bar and whether it is highlighted; with selection
// (-V) the bars are the columns' probabilities of being clustered, for every kind.
void matrixPicture(Page& page, const std::vector<double>& score, const std::vector<bool>& marked,
                   bool selection) {
  const Data& data = page.data;
  const bool sequences = data.kind == DataKind::Sequences;
  Tiles tiles;
  int rowStep = 1, columnStep = 1;
  const std::vector<int> rows = tileRows(page, rowStep);
  const std::vector<int> columns = tileColumns(data.columns, columnStep);
  tiles.rows = static_cast<int>(rows.size());
  tiles.cols = static_cast<int>(columns.size());
  // The colour index of each value; -1 for a missing cell.
  std::vector<int> levels;
  std::vector<int> index;
  if (sequences) {
    for (const ResidueClass& c : kResidueClasses) {
      tiles.colours.push_back(c.colour);
      tiles.legend.emplace_back(c.colour, c.name);
    }
  } else if (data.kind == DataKind::Binary) {
    levels = {0, 1};
    tiles.colours = {"#e6e6e6", "#1f3b73"};
    tiles.legend = {{"#e6e6e6", "0"}, {"#1f3b73", "1"}};
  } else {
    levels = levelsOf(data);
    const bool ordered = orderedLevels(levels);
    for (size_t v = 0; v < levels.size(); v++) {
      const std::string colour = ordered ? sequentialColour(static_cast<double>(v) / (levels.size() - 1))
                                         : std::string(kLevelColours[v % 20]);
      tiles.colours.push_back(colour);
      tiles.legend.emplace_back(colour, "level " + std::to_string(levels[v]));
    }
  }
  if (!sequences && data.missing > 0) {
    tiles.colours.push_back("#ffffff");
    tiles.legend.emplace_back("#ffffff", "NA (missing)");
  }
  auto colourOf = [&](int value) {
    if (sequences) return residueClass(value);
    if (isMissing(value)) return static_cast<int>(tiles.colours.size()) - 1;
    return static_cast<int>(std::lower_bound(levels.begin(), levels.end(), value) - levels.begin());
  };
  for (int i : rows) {
    tiles.rowCluster.push_back(page.labels[static_cast<size_t>(i)]);
    for (int t : columns) {
      tiles.level.push_back(colourOf(data.cells[i][t]));
      if (sequences) tiles.letters += residueLetter(data.cells[i][t]);
    }
  }
  for (int t : columns) tiles.columnNumber.push_back(t + 1);
  std::string caption = sequences
      ? "The alignment, one row per sequence, grouped by estimated cluster (bands at the left, "
        "boundaries in black), residues coloured by class; under it each cluster's consensus."
      : "The matrix, one row per observation, grouped by estimated cluster (bands at the left, "
        "boundaries in black), one colour per value" +
            std::string(data.kind == DataKind::Categorical && orderedLevels(levelsOf(data))
                            ? " (the levels are consecutive whole numbers, read as ordered: pale to dark)."
                            : ".");
  if (selection) {
    for (int t : columns) {
      tiles.columnScore.push_back(score[static_cast<size_t>(t)]);
      tiles.marked.push_back(marked[static_cast<size_t>(t)]);
    }
    tiles.scoreLabel = "clustered";
    caption += " The bars above show each column's posterior probability of being clustered "
               "(column selection); the red ones, at " + fmt("%.2g", kSelectedColumn) +
               " or more, are the selected columns listed below.";
  }
  if (sequences) {
    // Bars only when some column tells clusters apart (never for one cluster).
    if (!selection && std::find(marked.begin(), marked.end(), true) != marked.end()) {
      for (int t : columns) {
        tiles.columnScore.push_back(score[static_cast<size_t>(t)]);
        tiles.marked.push_back(marked[static_cast<size_t>(t)]);
      }
      tiles.scoreLabel = "apart";
      caption += " The bars above show how well each column tells the clusters apart (consensus "
                 "residues that differ between clusters, weighted by how conserved they are); the "
                 "red ones are the most distinctive columns of the table below.";
    }
    for (int c = 0; c < page.clusters(); c++) {
      const std::string& text = page.consensus[static_cast<size_t>(c)];
      for (int t : columns) {
        tiles.extraLevel.push_back(residueClass(ProteinSequence::residueCode(text[static_cast<size_t>(t)])));
        tiles.extraLetters += text[static_cast<size_t>(t)];
      }
    }
  }
  caption += sampledCaption(rowStep, rows.size(), data.n, columnStep, columns.size(), data.columns);
  figure(page, tilesSvg(tiles), caption);
}

void clusterTable(Page& page) {
  const bool sequences = page.data.kind == DataKind::Sequences;
  page.html << "<table id=\"clusters\">\n<tr><th>cluster</th><th>size</th><th>share</th>"
            << "<th>mean membership probability</th><th>lowest</th>"
            << (sequences ? "<th>consensus</th>" : "") << "</tr>\n";
  for (int c = 0; c < page.clusters(); c++) {
    const std::vector<int>& m = page.members[static_cast<size_t>(c)];
    double sum = 0, lowest = 1;
    int counted = 0;
    for (int i : m) {
      const double p = page.membership[static_cast<size_t>(i)];
      if (std::isnan(p)) continue;
      sum += p;
      lowest = std::min(lowest, p);
      counted++;
    }
    const double nan = std::nan("");
    page.html << "<tr data-cluster=\"" << c + 1 << "\">" << page.clusterCell(c) << "<td>" << m.size()
              << "</td><td>" << fmt("%.3f", static_cast<double>(m.size()) / page.data.n) << "</td><td>"
              << probability(counted ? sum / counted : nan) << "</td><td>"
              << probability(counted ? lowest : nan) << "</td>";
    if (sequences) {
      std::string text = page.consensus[static_cast<size_t>(c)];
      const bool cut = text.size() > kMaxConsensusShown;
      if (cut) text.resize(kMaxConsensusShown);
      page.html << "<td><div class=\"line\">" << esc(text) << (cut ? "…" : "") << "</div></td>";
    }
    page.html << "</tr>\n";
  }
  page.html << "</table>\n";
}

// The clusters given a column of the per-column tables: all, or the largest kMaxTableClusters.
std::vector<int> tableClusters(const Page& page) {
  std::vector<int> shown(static_cast<size_t>(page.clusters()));
  std::iota(shown.begin(), shown.end(), 0);
  if (page.clusters() > kMaxTableClusters) {
    std::sort(shown.begin(), shown.end(), [&](int a, int b) {
      const size_t sa = page.members[static_cast<size_t>(a)].size(), sb = page.members[static_cast<size_t>(b)].size();
      return sa != sb ? sa > sb : a < b;
    });
    shown.resize(kMaxTableClusters);
    std::sort(shown.begin(), shown.end());
  }
  return shown;
}

// A table with one row per listed data column and one cell per shown cluster (and all rows
// first), each cell made by cell(members, column).
template <class Cell>
void columnTable(Page& page, const std::string& what, const std::vector<int>& listed, Cell cell,
                 const std::vector<double>* score = nullptr, const char* scoreName = "apart",
                 const char* id = "columns") {
  const std::vector<int> shown = tableClusters(page);
  if (shown.size() < page.members.size())
    page.html << "<p>The " << shown.size() << " largest of the " << page.clusters()
              << " clusters.</p>\n";
  const bool collapse = listed.size() > static_cast<size_t>(kOpenTableRows);
  if (collapse) page.html << "<details><summary>" << listed.size() << " columns</summary>\n";
  page.html << "<div class=\"wide\"><table id=\"" << id << "\">\n<tr><th>column</th>"
            << (score ? std::string("<th>") + scoreName + "</th>" : "") << "<th>all rows</th>";
  for (int c : shown)
    page.html << "<th><span class=\"swatch\" style=\"background:" << clusterColour(c)
              << "\"></span>cluster " << c + 1 << "</th>";
  page.html << "</tr>\n";
  std::vector<int> everyone(static_cast<size_t>(page.data.n));
  std::iota(everyone.begin(), everyone.end(), 0);
  for (int t : listed) {
    page.html << "<tr data-column=\"" << t + 1 << "\"><th>"
              << (page.data.columnNames.empty() ? std::to_string(t + 1) : esc(page.columnName(t))) << "</th>";
    if (score) page.html << "<td>" << fmt("%.2f", (*score)[static_cast<size_t>(t)]) << "</td>";
    page.html << cell(everyone, t);
    for (int c : shown) page.html << cell(page.members[static_cast<size_t>(c)], t);
    page.html << "</tr>\n";
  }
  page.html << "</table></div>\n" << (collapse ? "</details>\n" : "") << "<p class=\"note\">" << what
            << "</p>\n";
}

void columnTables(Page& page, const std::vector<double>& score, const std::vector<int>& distinctive) {
  const Data& data = page.data;
  std::vector<int> all(static_cast<size_t>(data.columns));
  std::iota(all.begin(), all.end(), 0);
  const std::string missing = data.missing > 0 ? " Missing cells (NA) are left out." : "";
  if (data.kind == DataKind::Real) {
    columnTable(page, "Each cell: the column's mean (standard deviation) over the cluster's rows." + missing,
                all, [&](const std::vector<int>& m, int t) {
                  const Moments s = columnMoments(data.real, m, t);
                  return "<td>" + fmt("%.4g", s.mean) + " (" + fmt("%.3g", s.sd) + ")</td>";
                });
  } else if (data.kind == DataKind::Binary) {
    columnTable(page, "Each cell: the share of 1s in the column over the cluster's rows." + missing,
                all, [&](const std::vector<int>& m, int t) {
                  const std::vector<int> counts = levelCounts(data.cells, m, t, 2);
                  const int seen = counts[0] + counts[1];
                  const double share = seen > 0 ? static_cast<double>(counts[1]) / seen : std::nan("");
                  const double shade = std::isnan(share) ? 0 : share;
                  return "<td style=\"background:rgba(31,59,115," + fmt("%.2f", 0.55 * shade) + ")" +
                         (shade > 0.7 ? ";color:#fff" : "") + "\">" + fmt("%.2f", share) + "</td>";
                });
  } else if (data.kind == DataKind::Categorical) {
    const std::vector<int> levels = levelsOf(data);
    const int top = levels.empty() ? 1 : levels.back() + 1;
    columnTable(page, "Each cell: the most frequent level: its share over the cluster's rows "
                      "(every level's share shows when the pointer rests on a cell)." + missing,
                all, [&](const std::vector<int>& m, int t) {
                  const std::vector<int> counts = levelCounts(data.cells, m, t, top);
                  const int seen = std::accumulate(counts.begin(), counts.end(), 0);
                  const int best = mostFrequent(counts);
                  if (best < 0) return std::string("<td>NA</td>");
                  std::string all;
                  for (int v : levels)
                    if (counts[static_cast<size_t>(v)] > 0)
                      all += (all.empty() ? "" : ", ") + std::to_string(v) + ": " +
                             fmt("%.2f", static_cast<double>(counts[static_cast<size_t>(v)]) / seen);
                  return "<td title=\"" + all + "\">" + std::to_string(best) + ": " +
                         fmt("%.2f", static_cast<double>(counts[static_cast<size_t>(best)]) / seen) +
                         "</td>";
                });
  } else {
    if (distinctive.empty()) {
      page.html << "<p>No column tells the clusters apart (one cluster, or every cluster has the "
                   "same consensus).</p>\n";
      return;
    }
    columnTable(page, "The columns that tell the clusters apart best, most distinctive first: "
                      "\"apart\" is, over pairs of clusters weighted by their sizes, the mean of "
                      "[their consensus residues differ] times the smaller consensus share; each "
                      "cell: the consensus residue and its share in the cluster.",
                distinctive, [&](const std::vector<int>& m, int t) {
                  const std::vector<int> counts = levelCounts(data.cells, m, t, 21);
                  const int best = mostFrequent(counts);
                  return "<td class=\"seq\">" + std::string(1, residueLetter(best)) + " " +
                         fmt("%.2f", static_cast<double>(counts[static_cast<size_t>(best)]) / m.size()) +
                         "</td>";
                }, &score);
  }
}

// The most frequent residue or level of a column over members, and its share.
std::pair<std::string, double> topValue(const Data& data, const std::vector<int>& members, int t,
                                        int top) {
  const bool sequences = data.kind == DataKind::Sequences;
  const std::vector<int> counts = levelCounts(data.cells, members, t, sequences ? 21 : top);
  const int seen = std::accumulate(counts.begin(), counts.end(), 0);
  const int best = mostFrequent(counts);
  if (best < 0) return {"NA", std::nan("")};
  return {sequences ? std::string(1, residueLetter(best)) : std::to_string(best),
          static_cast<double>(counts[static_cast<size_t>(best)]) / seen};
}

// The columns column selection keeps, most probable first, with what differs between the
// clusters: each cluster's most frequent residue or level.
void selectedColumns(Page& page, const std::vector<double>& probability) {
  const Data& data = page.data;
  std::vector<int> selected;
  for (int t = 0; t < data.columns; t++)
    if (probability[static_cast<size_t>(t)] >= kSelectedColumn) selected.push_back(t);
  std::stable_sort(selected.begin(), selected.end(), [&](int a, int b) {
    return probability[static_cast<size_t>(a)] > probability[static_cast<size_t>(b)];
  });
  page.html << "<h3>Selected columns</h3>\n<p>Column selection (-V) finds " << selected.size()
            << " of " << data.columns << " columns clustered with probability "
            << fmt("%.2g", kSelectedColumn) << " or more";
  if (selected.empty()) {
    page.html << ".</p>\n";
    return;
  }
  page.html << ":";
  std::vector<int> everyone(static_cast<size_t>(data.n));
  std::iota(everyone.begin(), everyone.end(), 0);
  const int top = data.kind == DataKind::Sequences ? 21 : 20;
  for (size_t s = 0; s < selected.size() && s < static_cast<size_t>(kDistinctiveColumns); s++) {
    const int t = selected[s];
    std::vector<std::string> shown;
    for (const std::vector<int>& m : page.members) {
      const std::string value = topValue(data, m, t, top).first;
      if (std::find(shown.begin(), shown.end(), value) == shown.end()) shown.push_back(value);
    }
    std::string values;
    for (const std::string& v : shown) values += (values.empty() ? "" : "/") + v;
    page.html << (s == 0 ? " " : ", ") << t + 1 << " (" << fmt("%.2f", probability[static_cast<size_t>(t)])
              << ": " << esc(values) << ")";
  }
  if (selected.size() > static_cast<size_t>(kDistinctiveColumns)) page.html << ", ...";
  page.html << ".</p>\n";
  columnTable(page, "Each selected column's probability of being clustered, then in each cell "
                    "the most frequent " + std::string(data.kind == DataKind::Sequences ? "residue" : "level") +
                    " and its share over the rows (clusters that differ show different values).",
              selected, [&](const std::vector<int>& m, int t) {
                const auto value = topValue(data, m, t, top);
                return "<td class=\"seq\">" + esc(value.first) + " " + fmt("%.2f", value.second) + "</td>";
              }, &probability, "probability", "selected");
}

void membershipTable(Page& page) {
  std::vector<int> order(static_cast<size_t>(page.data.n));
  std::iota(order.begin(), order.end(), 0);
  // By cluster, then least certain first (an NA last).
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    const int ca = page.labels[static_cast<size_t>(a)], cb = page.labels[static_cast<size_t>(b)];
    if (ca != cb) return ca < cb;
    const double pa = page.membership[static_cast<size_t>(a)], pb = page.membership[static_cast<size_t>(b)];
    if (std::isnan(pa) || std::isnan(pb)) return std::isnan(pa) == std::isnan(pb) ? a < b : std::isnan(pb);
    return pa != pb ? pa < pb : a < b;
  });
  const bool collapse = page.data.n > kOpenTableRows;
  page.html << "<details" << (collapse ? "" : " open") << "><summary>" << page.data.n
            << " observations by cluster, least certain first</summary>\n<table id=\"membership\">\n"
            << "<tr><th>observation</th>" << (page.data.names.empty() ? "" : "<th>name</th>")
            << "<th>cluster</th><th>membership probability</th></tr>\n";
  for (int i : order) {
    const double p = page.membership[static_cast<size_t>(i)];
    page.html << "<tr data-item=\"" << i + 1 << "\"><td>" << i + 1 << "</td>";
    if (!page.data.names.empty()) page.html << "<td>" << esc(page.itemName(i)) << "</td>";
    page.html << page.clusterCell(page.labels[static_cast<size_t>(i)]) << "<td"
              << (p < 0.5 ? " class=\"low\"" : "") << "><span class=\"bar\" style=\"width:"
              << fmt("%.0f", std::isnan(p) ? 0 : 60 * p) << "px\"></span>" << probability(p)
              << "</td></tr>\n";
  }
  page.html << "</table>\n</details>\n";
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:24px auto;max-width:1260px;padding:0 16px;color:#222}"
    "h1{font-size:24px;margin-bottom:4px}h2{font-size:18px;margin-top:32px;border-bottom:1px solid #ccc}"
    ".kind{color:#555;margin-top:0}ul.notes{background:#f5f7fa;padding:10px 10px 10px 28px;"
    "font-size:13px}table{border-collapse:collapse;font-size:13px;margin:8px 0}"
    "td,th{border:1px solid #ddd;padding:3px 7px;text-align:left;vertical-align:top}"
    "th{background:#f0f0f0}.swatch{display:inline-block;width:11px;height:11px;margin-right:5px;"
    "vertical-align:-1px}.seq{font-family:monospace}"
    ".line{font-family:monospace;white-space:nowrap;overflow-x:auto;max-width:760px}"
    ".wide{overflow-x:auto}.note{font-size:12px;color:#555}figure{margin:8px 0}"
    "figcaption{font-size:13px;color:#444;max-width:1000px}svg.picture,.summary svg{max-width:100%;"
    "height:auto}.low{color:#b00000}.bar{display:inline-block;height:8px;background:#9ab;"
    "margin-right:6px}pre{background:#f7f7f7;padding:10px;font-size:12px;overflow-x:auto}"
    "summary{cursor:pointer;margin:6px 0}.warned{color:#b34700}ul.warned{font-weight:bold;"
    "margin:4px 0 10px;padding-left:22px}";

}  // namespace

std::string headlineText(const std::vector<std::vector<int>>& members, int n) {
  long grouped = 0, alone = 0;
  for (const std::vector<int>& m : members) (m.size() >= 2 ? grouped : alone) += 1;
  std::string text = std::to_string(grouped) + (grouped == 1 ? " cluster" : " clusters");
  if (alone > 0) text += ", and " + std::to_string(alone) + (alone == 1 ? " observation alone" : " observations alone") + ",";
  return text + " among " + std::to_string(n) + (n == 1 ? " observation" : " observations");
}

namespace {

std::string pageText(const Input& input, const Data& data, const std::vector<int>& labels,
                     const std::vector<double>& membership, const std::string& summarySvg) {
  Page page{data, labels, membership, membersByLabel(labels), {}, {}};
  if (data.kind == DataKind::Sequences)
    for (const std::vector<int>& members : page.members) page.consensus.push_back(consensus(data.cells, members));
  std::ostringstream& html = page.html;
  const std::string headline = headlineText(page.members, data.n);
  const bool warned = !input.warnings.empty();
  html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
       << esc(visibleText(input.dataFile)) << ": " << esc(headline)
       << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n<h1 id=\"headline\""
       << (warned ? " class=\"warned\"" : "") << ">" << esc(headline) << "</h1>\n";
  if (warned) {
    html << "<ul id=\"warnings\" class=\"warned\">\n";
    for (const std::string& warning : input.warnings) html << "<li>" << esc(warning) << "</li>\n";
    html << "</ul>\n";
  }
  html << "<p class=\"kind\">" << kindName(data.kind) << ", " << data.columns
       << " columns: " << esc(visibleText(input.dataFile));
  if (data.missing > 0) html << " (" << data.missing << " missing cells)";
  html << "</p>\n";
  const std::string alone = everyRowAloneNote(labels);
  if (!alone.empty()) html << "<p id=\"every-row-alone\" class=\"low\">" << esc(alone) << "</p>\n";
  if (!input.notes.empty()) {
    html << "<ul class=\"notes\">\n";
    for (const std::string& note : input.notes) html << "<li>" << esc(note) << "</li>\n";
    html << "</ul>\n";
  }
  html << modesSection(input);

  std::vector<double> score;
  std::vector<int> distinctive;
  std::vector<bool> marked(static_cast<size_t>(data.columns), false);
  if (data.kind == DataKind::Sequences) {
    score = distinctiveness(data.cells, page.members);
    std::vector<int> order(score.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
      const double sa = score[static_cast<size_t>(a)], sb = score[static_cast<size_t>(b)];
      return sa != sb ? sa > sb : a < b;
    });
    for (int t : order)
      if (score[static_cast<size_t>(t)] > 0 && distinctive.size() < static_cast<size_t>(kDistinctiveColumns)) {
        distinctive.push_back(t);
        marked[static_cast<size_t>(t)] = true;
      }
  }

  const std::vector<double>& chosen = input.columnProbability;
  const bool selection = !chosen.empty() && data.kind != DataKind::Real;
  if (!chosen.empty() && chosen.size() != static_cast<size_t>(data.columns))
    throw ReportError("Bad column probabilities: " + std::to_string(chosen.size()) + " for " +
                      std::to_string(data.columns) + " columns");
  std::vector<bool> selectedFlags;
  for (double p : chosen) selectedFlags.push_back(p >= kSelectedColumn);

  html << "<h2>The data by cluster</h2>\n";
  if (data.kind == DataKind::Real)
    realPicture(page);
  else if (selection)
    matrixPicture(page, chosen, selectedFlags, true);
  else
    matrixPicture(page, score, marked, false);

  html << "<h2>Clusters</h2>\n";
  clusterTable(page);
  html << "<p class=\"note\">Membership probability of an observation: the mean posterior "
          "probability that it shares a cluster with each of its estimated cluster-mates (for an "
          "observation alone, that it is alone)"
       << (input.conditionalOn.empty() ? "" : ", conditional on the best mode the chains found") << ".</p>\n";
  html << "<h3>" << (data.kind == DataKind::Sequences ? "Distinctive columns" : "Per column")
       << "</h3>\n";
  columnTables(page, score, distinctive);
  if (selection) selectedColumns(page, chosen);

  if (!input.classes.empty()) html << classesSection(compareClasses(labels, input.classes), input.classSource);
  html << "<h2>Membership probabilities</h2>\n";
  membershipTable(page);

  html << "<h2>Posterior summary</h2>\n<div class=\"summary\">\n" << summarySvg
       << "</div>\n<pre id=\"summary-text\">" << escLines(input.summaryText) << "</pre>\n</body>\n</html>\n";
  return html.str();
}

// The summary's picture without its XML declaration, to sit inside the page.
std::string inlineSvg(const std::string& svg) {
  const size_t start = svg.find("<svg");
  return start == std::string::npos ? std::string() : svg.substr(start);
}

}  // namespace

void writeReport(const Input& input, const std::string& htmlFile) {
  Data data = readData(input.dataFile, input.kind);
  setNames(data, input.rowNames, input.columnNames);
  if (!input.classes.empty() && input.classes.size() != static_cast<size_t>(data.n))
    throw ReportError(std::to_string(input.classes.size()) + " known classes (" + input.classSource +
                      ") where the data have " + std::to_string(data.n) + " observations");
  const std::vector<int> labels = checkedEstimate(input.labels, data.n, input.dataFile);
  const std::vector<double> membership = checkedMembership(input.membership, data.n);
  const std::string svg = inlineSvg(input.svg);
  if (svg.empty()) throw ReportError("Bad summary picture: no <svg> element");
  if (!Files::writeFileAtomically(htmlFile, pageText(input, data, labels, membership, svg)))
    throw ReportError("Fail to write " + htmlFile);
}

}  // namespace report
