// One self-contained SVG picture of a summary: score and k traces per chain, the posterior on
// the number of clusters, and the similarity matrix as a heat map ordered by the estimate.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "summary/draws.h"
#include "summary/posterior.h"

namespace summary {

struct Picture {
  std::string title;
  std::vector<const Chain*> chains;                 // traces, burn-in shaded
  std::vector<std::pair<int, double>> posteriorK;   // k and its probability, k ascending
  HeatMap heat;
  std::vector<std::string> caption;                 // lines under the heat map
  std::vector<std::string> warnings;                // shown after the caption, in red
};

// The SVG text. Its size is bounded by the heat map's cells and about 2,000 points per trace.
std::string renderSvg(const Picture& picture);

// Text with control bytes, invisible characters and bytes that are not UTF-8 made visible
// escapes (io/VisibleText.h), then &, <, >, " and ' escaped for XML.
std::string xmlEscape(const std::string& text);

// The first at most `bytes` bytes of text, cut where a UTF-8 character starts; and the last.
std::string cutText(const std::string& text, size_t bytes);
std::string cutTextFromEnd(const std::string& text, size_t bytes);

}  // namespace summary
