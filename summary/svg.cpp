#include "summary/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>

#include "io/VisibleText.h"

namespace summary {
namespace {

const char* const kChainColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                     "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
const int kLevels = 32;  // colour steps of the heat map and its scale

std::string fmt(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
std::string px(double value) { return fmt("%.1f", value); }

// White through blues to navy for similarity 0..1.
std::string rampColour(double v) {
  static const double stops[][3] = {
      {255, 255, 255}, {198, 219, 239}, {107, 174, 214}, {33, 113, 181}, {8, 48, 107}};
  v = std::min(1.0, std::max(0.0, v)) * 4;
  int lower = std::min(3, static_cast<int>(v));
  double t = v - lower;
  char text[8];
  int rgb[3];
  for (int c = 0; c < 3; c++)
    rgb[c] = static_cast<int>(std::lround(stops[lower][c] + t * (stops[lower + 1][c] - stops[lower][c])));
  std::snprintf(text, sizeof text, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
  return text;
}
int level(double v) { return std::min(kLevels - 1, std::max(0, static_cast<int>(v * kLevels))); }
double levelValue(int l) { return (l + 0.5) / kLevels; }

// Tick positions at 1, 2 or 5 times a power of ten, about `wanted` of them; whole numbers
// only for counts.
std::vector<double> ticks(double low, double high, int wanted, bool whole) {
  double raw = (high - low) / wanted;
  double power = std::pow(10, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {2.0, 5.0, 10.0})
    if (raw > step) step = m * power;
  if (whole) step = std::max(step, 1.0);
  std::vector<double> out;
  // Counted, not summed: a range within rounding of large values (one partition's scores
  // summed in two orders) has a step below their spacing, and t += step would never move.
  const double first = std::ceil(low / step) * step;
  for (int i = 0; i <= 4 * wanted + 4; i++) {
    const double t = first + i * step;
    if (t > high + step * 1e-9) break;
    if (!out.empty() && t == out.back()) break;
    out.push_back(std::fabs(t) < step * 1e-9 ? 0 : t);
  }
  return out;
}

struct Box {
  double left, top, width, height;
  double right() const { return left + width; }
  double bottom() const { return top + height; }
};

// A plot frame mapping data ranges onto a box, with ticks, labels and a title.
class Plot {
 public:
  Plot(std::ostream& out, Box box, double xLow, double xHigh, double yLow, double yHigh)
      : out_(out), box_(box), xLow_(xLow), xHigh_(xHigh), yLow_(yLow), yHigh_(yHigh) {
    if (xHigh_ <= xLow_) { xLow_ -= 1; xHigh_ += 1; }
    if (yHigh_ <= yLow_) { yLow_ -= 1; yHigh_ += 1; }
  }
  double x(double v) const { return box_.left + (v - xLow_) / (xHigh_ - xLow_) * box_.width; }
  double y(double v) const { return box_.bottom() - (v - yLow_) / (yHigh_ - yLow_) * box_.height; }

  // xTicks: numbered ticks on the x axis (else the caller labels it); wholeY: counts on y.
  void frame(const std::string& title, const std::string& xLabel, const std::string& yLabel,
             bool xTicks, bool wholeY) const {
    out_ << "<rect x=\"" << px(box_.left) << "\" y=\"" << px(box_.top) << "\" width=\""
         << px(box_.width) << "\" height=\"" << px(box_.height)
         << "\" fill=\"none\" stroke=\"#444\"/>\n";
    if (xTicks)
      for (double t : ticks(xLow_, xHigh_, 6, true)) {
        out_ << "<line x1=\"" << px(x(t)) << "\" y1=\"" << px(box_.bottom()) << "\" x2=\""
             << px(x(t)) << "\" y2=\"" << px(box_.bottom() + 5) << "\" stroke=\"#444\"/>"
             << "<text x=\"" << px(x(t)) << "\" y=\"" << px(box_.bottom() + 18)
             << "\" text-anchor=\"middle\">" << fmt("%.6g", t) << "</text>\n";
      }
    for (double t : ticks(yLow_, yHigh_, 5, wholeY)) {
      out_ << "<line x1=\"" << px(box_.left - 5) << "\" y1=\"" << px(y(t)) << "\" x2=\""
           << px(box_.left) << "\" y2=\"" << px(y(t)) << "\" stroke=\"#444\"/>"
           << "<text x=\"" << px(box_.left - 8) << "\" y=\"" << px(y(t) + 4)
           << "\" text-anchor=\"end\">" << fmt("%.6g", t) << "</text>\n";
    }
    out_ << "<text x=\"" << px(box_.left + box_.width / 2) << "\" y=\"" << px(box_.top - 10)
         << "\" text-anchor=\"middle\" class=\"title\">" << xmlEscape(title) << "</text>\n"
         << "<text x=\"" << px(box_.left + box_.width / 2) << "\" y=\"" << px(box_.bottom() + 36)
         << "\" text-anchor=\"middle\">" << xmlEscape(xLabel) << "</text>\n"
         << "<text transform=\"translate(" << px(box_.left - 62) << ","
         << px(box_.top + box_.height / 2) << ") rotate(-90)\" text-anchor=\"middle\">"
         << xmlEscape(yLabel) << "</text>\n";
  }

  // Points first..last-1 of a trace as one polyline; long traces keep each pixel column's
  // lowest and highest value.
  void trace(const std::vector<long long>& xs, const std::vector<double>& ys, size_t first,
             size_t last, const std::string& colour, double opacity) const {
    if (last <= first) return;
    out_ << "<polyline fill=\"none\" stroke=\"" << colour << "\" stroke-width=\"1\"";
    if (opacity < 1) out_ << " stroke-opacity=\"" << opacity << "\"";
    out_ << " points=\"";
    if (last - first <= 2 * box_.width) {
      for (size_t i = first; i < last; i++)
        out_ << px(x(static_cast<double>(xs[i]))) << ',' << px(y(ys[i])) << ' ';
    } else {
      std::map<long, std::pair<double, double>> columns;
      for (size_t i = first; i < last; i++) {
        long column = std::lround(x(static_cast<double>(xs[i])));
        auto found = columns.emplace(column, std::make_pair(ys[i], ys[i])).first;
        found->second.first = std::min(found->second.first, ys[i]);
        found->second.second = std::max(found->second.second, ys[i]);
      }
      for (const auto& column : columns)
        out_ << column.first << ',' << px(y(column.second.first)) << ' ' << column.first << ','
             << px(y(column.second.second)) << ' ';
    }
    out_ << "\"/>\n";
  }

 private:
  std::ostream& out_;
  Box box_;
  double xLow_, xHigh_, yLow_, yHigh_;
};

void traces(std::ostream& out, const Picture& picture, Box box, bool scores) {
  double xLow = std::numeric_limits<double>::infinity(), xHigh = -xLow, yLow = xLow, yHigh = -xLow;
  bool anyBurn = false;
  // The range is the kept draws': a start far below them would flatten what is summarised.
  for (const Chain* chain : picture.chains) {
    const size_t from = chain->kept() > 0 ? chain->burned : 0;
    for (size_t i = 0; i < chain->iteration.size(); i++) {
      double v = scores ? chain->score[i] : chain->clusters[i];
      xLow = std::min(xLow, static_cast<double>(chain->iteration[i]));
      xHigh = std::max(xHigh, static_cast<double>(chain->iteration[i]));
      if (i < from) continue;
      yLow = std::min(yLow, v);
      yHigh = std::max(yHigh, v);
    }
    anyBurn = anyBurn || chain->burned > 0;
  }
  double pad = (yHigh - yLow) * 0.05;
  if (!scores) pad = std::max(pad, 0.5);
  double shownLow = yLow - pad, shownHigh = yHigh + pad;
  if (shownHigh <= shownLow) {  // as Plot widens a flat range
    shownLow -= 1;
    shownHigh += 1;
  }
  Plot plot(out, box, xLow, xHigh, shownLow, shownHigh);
  // The burn-in of each chain faded, joined to its first kept draw, held to the frame.
  for (size_t c = 0; c < picture.chains.size(); c++) {
    const Chain& chain = *picture.chains[c];
    std::vector<double> ys = scores ? chain.score
                                    : std::vector<double>(chain.clusters.begin(), chain.clusters.end());
    const std::string colour = kChainColours[c % 10];
    for (size_t i = 0; i < chain.burned && i < ys.size(); i++)
      ys[i] = std::min(shownHigh, std::max(shownLow, ys[i]));
    plot.trace(chain.iteration, ys, 0, std::min(chain.burned + 1, ys.size()), colour, 0.3);
    plot.trace(chain.iteration, ys, chain.burned, ys.size(), colour, 1);
  }
  plot.frame(std::string(scores ? "Score trace" : "Number of clusters k") +
                 (anyBurn ? " (burn-in faded)" : ""),
             "iteration", scores ? "score (log)" : "k", true, !scores);
}

void posteriorBars(std::ostream& out, const Picture& picture, Box box) {
  const auto& bars = picture.posteriorK;
  int kLow = bars.front().first, kHigh = bars.back().first;
  double top = 0;
  for (const auto& bar : bars) top = std::max(top, bar.second);
  Plot plot(out, box, kLow - 0.5, kHigh + 0.5, 0, std::min(1.0, top * 1.15));
  double width = std::min(40.0, 0.8 * box.width / (kHigh - kLow + 1));
  for (const auto& bar : bars) {
    double centre = plot.x(bar.first);
    out << "<rect x=\"" << px(centre - width / 2) << "\" y=\"" << px(plot.y(bar.second))
        << "\" width=\"" << px(width) << "\" height=\"" << px(plot.y(0) - plot.y(bar.second))
        << "\" fill=\"#4a7fb5\"/>";
    // A bar that reaches the top carries its figure inside, clear of the title above.
    const bool inside = plot.y(bar.second) - box.top < 14;
    if (kHigh - kLow < 25)
      out << "<text x=\"" << px(centre) << "\" y=\"" << px(plot.y(bar.second) + (inside ? 12 : -4))
          << "\" text-anchor=\"middle\" class=\"small\"" << (inside ? " fill=\"#fff\"" : "") << ">"
          << fmt("%.2f", bar.second) << "</text>"
          << "<text x=\"" << px(centre) << "\" y=\"" << px(box.bottom() + 18)
          << "\" text-anchor=\"middle\">" << bar.first << "</text>";
    out << '\n';
  }
  plot.frame("Posterior on the number of clusters", "number of clusters k",
             "posterior probability", kHigh - kLow >= 25, false);
}

// What one cell of the heat map stands for.
std::string cellCaption(const HeatMap& heat, int n) {
  if (heat.cells >= n) return "one cell per pair of items";
  const std::string block = fmt("%.3g", static_cast<double>(n) / heat.cells);
  if (heat.sampled) return "one item sampled from each block of about " + block + " items";
  return "each the mean over a block of about " + block + " x " + block + " items";
}

void heatMap(std::ostream& out, const Picture& picture, Box box) {
  const HeatMap& heat = picture.heat;
  const double scale = box.width / heat.cells;
  // One path per colour level; each row's runs of one level become one rectangle.
  std::vector<std::ostringstream> paths(kLevels);
  for (int r = 0; r < heat.cells; r++)
    for (int c = 0; c < heat.cells;) {
      int l = level(heat.value[static_cast<size_t>(r) * heat.cells + c]);
      int run = 1;
      while (c + run < heat.cells && level(heat.value[static_cast<size_t>(r) * heat.cells + c + run]) == l)
        run++;
      if (l > 0) paths[l] << 'M' << c << ' ' << r << 'h' << run << "v1h-" << run << 'z';
      c += run;
    }
  out << "<rect x=\"" << px(box.left) << "\" y=\"" << px(box.top) << "\" width=\""
      << px(box.width) << "\" height=\"" << px(box.height) << "\" fill=\""
      << rampColour(levelValue(0)) << "\"/>\n<g transform=\"translate(" << px(box.left) << ","
      << px(box.top) << ") scale(" << fmt("%.6g", scale) << ")\" shape-rendering=\"crispEdges\">\n";
  for (int l = 1; l < kLevels; l++)
    if (paths[l].tellp() > 0)
      out << "<path fill=\"" << rampColour(levelValue(l)) << "\" d=\"" << paths[l].str() << "\"/>\n";
  out << "</g>\n";
  for (double b : heat.boundaries) {
    double at = b * scale;
    out << "<line x1=\"" << px(box.left + at) << "\" y1=\"" << px(box.top) << "\" x2=\""
        << px(box.left + at) << "\" y2=\"" << px(box.bottom())
        << "\" stroke=\"#d62728\" stroke-width=\"1\"/><line x1=\"" << px(box.left) << "\" y1=\""
        << px(box.top + at) << "\" x2=\"" << px(box.right()) << "\" y2=\"" << px(box.top + at)
        << "\" stroke=\"#d62728\" stroke-width=\"1\"/>\n";
  }
  out << "<rect x=\"" << px(box.left) << "\" y=\"" << px(box.top) << "\" width=\""
      << px(box.width) << "\" height=\"" << px(box.height) << "\" fill=\"none\" stroke=\"#444\"/>\n"
      << "<text x=\"" << px(box.left + box.width / 2) << "\" y=\"" << px(box.top - 10)
      << "\" text-anchor=\"middle\" class=\"title\">Posterior similarity, ordered by the "
         "estimate</text>\n<text x=\""
      << px(box.left + box.width / 2) << "\" y=\"" << px(box.bottom() + 20)
      << "\" text-anchor=\"middle\">items, grouped by estimate cluster (red lines: cluster "
         "boundaries)</text>\n<text transform=\"translate("
      << px(box.left - 12) << "," << px(box.top + box.height / 2)
      << ") rotate(-90)\" text-anchor=\"middle\">items, same order</text>\n";
  out << "<text x=\"" << px(box.left + box.width / 2) << "\" y=\"" << px(box.bottom() + 38)
      << "\" text-anchor=\"middle\" class=\"small\">" << heat.cells << " x " << heat.cells
      << " cells; "
      << cellCaption(heat, picture.chains.empty() ? heat.cells : picture.chains[0]->n)
      << "</text>\n";
  // Colour scale.
  Box bar{box.right() + 20, box.top, 16, box.height};
  for (int l = 0; l < kLevels; l++) {
    double y0 = bar.bottom() - (l + 1) * bar.height / kLevels;
    out << "<rect x=\"" << px(bar.left) << "\" y=\"" << px(y0) << "\" width=\"" << px(bar.width)
        << "\" height=\"" << px(bar.height / kLevels + 0.5) << "\" fill=\""
        << rampColour(levelValue(l)) << "\"/>";
  }
  out << "\n<rect x=\"" << px(bar.left) << "\" y=\"" << px(bar.top) << "\" width=\""
      << px(bar.width) << "\" height=\"" << px(bar.height) << "\" fill=\"none\" stroke=\"#444\"/>\n";
  for (double t : {0.0, 0.25, 0.5, 0.75, 1.0})
    out << "<text x=\"" << px(bar.right() + 5) << "\" y=\"" << px(bar.bottom() - t * bar.height + 4)
        << "\" class=\"small\">" << fmt("%g", t) << "</text>";
  out << "\n<text transform=\"translate(" << px(bar.right() + 42) << ","
      << px(bar.top + bar.height / 2)
      << ") rotate(90)\" text-anchor=\"middle\">probability of sharing a cluster</text>\n";
}

// One colour per chain, in up to three rows between the title and the plots. Each name is
// shortened in its middle to what its column holds at a generous 7.5 px per character, and
// textLength squeezes any font into the column; chains beyond the rows are counted.
void legend(std::ostream& out, const Picture& picture) {
  const size_t count = picture.chains.size();
  const size_t columns = count <= 3 ? 1 : count <= 6 ? 2 : 4;
  const size_t rows = 3, shown = std::min(count, columns * rows);
  const double columnWidth = 1200.0 / columns, textWidth = columnWidth - 40;
  const size_t fits = static_cast<size_t>(textWidth / 7.5);
  for (size_t c = 0; c < shown; c++) {
    std::string name = visibleText("chain " + std::to_string(c + 1) + ": " + picture.chains[c]->file);
    const bool more = c + 1 == shown && shown < count;
    if (more) name = "and " + std::to_string(count - shown + 1) + " more chains (see the report)";
    if (name.size() > fits) {
      const size_t head = (fits - 3) / 2;
      name = cutText(name, head) + "..." + cutTextFromEnd(name, fits - 3 - head);
    }
    const double x = 20 + columnWidth * static_cast<double>(c % columns);
    const double y = 40 + 13.0 * static_cast<double>(c / columns);
    // The count of the chains not named has no colour of its own.
    out << "<line x1=\"" << px(x) << "\" y1=\"" << px(y) << "\" x2=\"" << px(x + 22)
        << "\" y2=\"" << px(y) << "\" stroke=\"" << (more ? "none" : kChainColours[c % 10])
        << "\" stroke-width=\"3\"/><text x=\"" << px(x + 28) << "\" y=\"" << px(y + 4) << "\"";
    // Only a name that may not fit is squeezed: textLength would stretch a short one.
    if (name.size() * 6.0 > textWidth - 8)
      out << " textLength=\"" << px(textWidth - 8) << "\" lengthAdjust=\"spacingAndGlyphs\"";
    out << ">" << xmlEscape(name) << "</text>\n";
  }
}

}  // namespace

std::string cutText(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t cut = bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) cut--;
  return text.substr(0, cut);
}

std::string cutTextFromEnd(const std::string& text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t from = text.size() - bytes;
  while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xc0) == 0x80) from++;
  return text.substr(from);
}

std::string xmlEscape(const std::string& raw) {
  // Control bytes and bytes that are not UTF-8 first become visible escapes: XML has no place
  // for them, and a file name may hold any.
  const std::string text = visibleText(raw);
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string renderSvg(const Picture& picture) {
  const double width = 1240, height = 940;
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
      << "\" viewBox=\"0 0 " << width << ' ' << height << "\" font-family=\"sans-serif\" "
      << "font-size=\"12\">\n<style>.title{font-size:14px;font-weight:bold}"
      << ".small{font-size:10px}</style>\n"
      << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
      << "<text x=\"20\" y=\"28\" font-size=\"16\" font-weight=\"bold\">" << xmlEscape(picture.title)
      << "</text>\n";
  legend(out, picture);
  traces(out, picture, Box{90, 100, 480, 210}, true);
  traces(out, picture, Box{90, 390, 480, 190}, false);
  if (!picture.posteriorK.empty()) posteriorBars(out, picture, Box{90, 660, 480, 190});
  if (picture.heat.cells > 0) heatMap(out, picture, Box{680, 100, 440, 440});
  double y = 620;
  for (const auto& line : picture.caption) {
    out << "<text x=\"680\" y=\"" << y << "\">" << xmlEscape(line) << "</text>\n";
    y += 18;
  }
  const size_t shown = std::min<size_t>(picture.warnings.size(), 10);
  for (size_t w = 0; w < shown; w++) {
    std::string text = "Warning: " + picture.warnings[w];
    if (text.size() > 100) text = cutText(text, 97) + "...";
    out << "<text x=\"680\" y=\"" << y << "\" class=\"small\" fill=\"#b00000\">" << xmlEscape(text)
        << "</text>\n";
    y += 14;
  }
  if (picture.warnings.size() > shown)
    out << "<text x=\"680\" y=\"" << y << "\" class=\"small\" fill=\"#b00000\">and "
        << picture.warnings.size() - shown << " more warnings in the report</text>\n";
  out << "</svg>\n";
  return out.str();
}

}  // namespace summary
