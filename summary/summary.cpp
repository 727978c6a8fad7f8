#include "summary/summary.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "formats/Draws.h"
#include "summary/agreement.h"
#include "summary/alpha.h"
#include "summary/diagnostics.h"
#include "summary/draws.h"
#include "summary/estimate.h"
#include "summary/modes.h"
#include "summary/posterior.h"
#include "summary/svg.h"
#include "io/VisibleText.h"

namespace summary {
namespace {

const double kRhatLimit = 1.01, kEssLimit = 100;

struct UsageError {
  std::string problem;
};

struct Settings {
  double burn = 0.5;
  Loss loss = Loss::VI;
  std::string prefix;  // empty: defaultPrefix of the files
  std::vector<std::string> files;
  bool help = false;
};

std::string withoutDrawsSuffix(std::string name) {
  const std::string suffix = ".draws";
  if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
    name.resize(name.size() - suffix.size());
  return name;
}

// One chain: its file without ".draws". Several: what their names share, cut after the last
// '_', '-' or '.' within it (the stem before the part that differs, such as "_s1" and
// "_s2"), then "_" and the number of chains, so that the name speaks for all of them.
std::string defaultPrefix(const std::vector<std::string>& files) {
  if (files.size() == 1) return withoutDrawsSuffix(files[0]);
  std::string common = withoutDrawsSuffix(files[0]);
  for (const std::string& file : files) {
    const std::string name = withoutDrawsSuffix(file);
    size_t same = 0;
    while (same < common.size() && same < name.size() && common[same] == name[same]) same++;
    common.resize(same);
  }
  const std::string chains = std::to_string(files.size()) + "chains";
  const size_t cut = common.find_last_of("_-./");
  if (cut == std::string::npos) return chains;
  if (common[cut] == '/') return common.substr(0, cut + 1) + chains;
  return common.substr(0, cut) + "_" + chains;
}

const struct {
  const char* name;
  bool takesValue;
} kOptions[] = {{"--burn", true}, {"--loss", true}, {"-o", true}, {"--help", false}, {"-h", false}};

// Whether word is an option that takes a value (or, with takesValue false, one that does not).
bool isOption(const std::string& word, bool takesValue) {
  for (const auto& option : kOptions)
    if (word == option.name && option.takesValue == takesValue) return true;
  return false;
}

Settings parseArguments(const std::vector<std::string>& args) {
  Settings settings;
  std::string burnText = "0.5", lossText = "vi";
  for (size_t a = 0; a < args.size(); a++) {
    const std::string& word = args[a];
    if (isOption(word, false)) {
      settings.help = true;
    } else if (isOption(word, true)) {
      if (a + 1 == args.size()) throw UsageError{"Option " + word + " needs a value"};
      const std::string& value = args[++a];
      (word == "--burn" ? burnText : word == "--loss" ? lossText : settings.prefix) = value;
    } else if (word.size() > 1 && word[0] == '-') {
      throw UsageError{"Unknown option: " + word};
    } else {
      settings.files.push_back(word);
    }
  }
  if (settings.help) return settings;
  if (settings.files.empty()) throw UsageError{"No draws file given"};

  const char* end = burnText.data() + burnText.size();
  auto parsed = std::from_chars(burnText.data(), end, settings.burn);
  if (parsed.ec != std::errc() || parsed.ptr != end)
    throw InputError("Burn-in fraction is not a number: " + burnText);
  if (!(settings.burn >= 0 && settings.burn < 1))
    throw InputError("Burn-in fraction outside [0, 1): " + burnText);
  if (lossText == "vi") settings.loss = Loss::VI;
  else if (lossText == "binder") settings.loss = Loss::Binder;
  else throw InputError("Unknown loss (use vi or binder): " + lossText);
  // The same file under two names (a link, "./A.draws") would pass for two agreeing chains.
  for (size_t f = 0; f < settings.files.size(); f++)
    for (size_t g = 0; g < f; g++) {
      std::error_code ignored;
      if (settings.files[f] == settings.files[g] ||
          std::filesystem::equivalent(settings.files[f], settings.files[g], ignored))
        throw InputError("Draws file given twice: " + settings.files[f] +
                         (settings.files[f] == settings.files[g]
                              ? std::string()
                              : " is the same file as " + settings.files[g]));
    }
  if (settings.prefix.empty()) {
    if (std::find(args.begin(), args.end(), "-o") != args.end())
      throw InputError("Output prefix is empty: \"\"");
    settings.prefix = defaultPrefix(settings.files);
  }
  return settings;
}

// Numbers of the tab-separated file and the report: NaN is NA and infinity Inf, as R reads them.
std::string number(double value, const char* format = "%.10g") {
  if (std::isnan(value)) return "NA";
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// What the outputs show beyond the Summary: the similarity counts and the heat map.
struct Extra {
  std::vector<uint32_t> counts;  // similarity counts, when n <= kLargestMatrix
  double total = 0;              // draws kept, all chains
  HeatMap heat;
};

std::vector<const int*> keptDraws(const Chain& chain) {
  std::vector<const int*> draws;
  for (size_t d = 0; d < chain.kept(); d++) draws.push_back(chain.draw(d));
  return draws;
}

std::vector<double> keptTrace(const Chain& chain, bool scores, size_t last) {
  std::vector<double> trace;
  for (size_t l = chain.iteration.size() - last; l < chain.iteration.size(); l++)
    trace.push_back(scores ? chain.score[l] : chain.clusters[l]);
  return trace;
}

void checkEss(Summary& results, size_t chain, const char* what, double ess, size_t kept,
              bool constant) {
  const std::string where = " in chain " + std::to_string(chain + 1);
  if (!std::isnan(ess)) {
    if (ess < kEssLimit)
      results.warnings.push_back("effective sample size of " + std::string(what) + where +
                                 " is " + number(ess, "%.1f") +
                                 ", below 100: run the chain longer");
  } else if (kept < 6) {
    results.warnings.push_back("only " + std::to_string(kept) + (kept == 1 ? " draw" : " draws") +
                               " kept" + where +
                               ": too few for an effective sample size of " + what);
  } else if (constant && std::string(what) == "the score") {
    results.warnings.push_back("the score is constant after burn-in" + where +
                               ": the chain did not move");
  }
}

void checkRhat(Summary& results, const char* what, double rhat) {
  if (rhat > kRhatLimit)
    results.warnings.push_back("R-hat of " + std::string(what) + " is " + number(rhat, "%.4g") +
                               ", above 1.01: the chains disagree; run them longer");
}

Agreements pairAgreements(const std::vector<std::vector<int>>& own, int n) {
  Agreements result;
  std::vector<std::pair<double, std::string>> all;
  for (size_t a = 0; a < own.size(); a++)
    for (size_t b = a + 1; b < own.size(); b++)
      all.emplace_back(adjustedRand(own[a].data(), own[b].data(), n),
                       std::to_string(a + 1) + "-" + std::to_string(b + 1));
  result.count = all.size();
  if (own.size() <= kListedPairChains)
    for (const auto& pair : all) result.pairs.emplace_back(pair.second, pair.first);
  if (all.empty()) return result;
  // NaN (no pair defined) sorts last and stays out of the smallest; ties keep the pairs'
  // order. (std::sort with the index as tie-break: the test binary replaces operator delete,
  // which cannot free stable_sort's temporary buffer.)
  std::vector<size_t> order(all.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t i, size_t j) {
    const double x = all[i].first, y = all[j].first;
    if (std::isnan(x) != std::isnan(y)) return std::isnan(y);
    if (!std::isnan(x) && x != y) return x < y;
    return i < j;
  });
  const auto& first = all[order.front()];
  const auto& last = all[order.back()];
  result.min = first.first;
  result.minPair = first.second;
  result.max = last.first;
  result.maxPair = last.second;
  const size_t middle = order.size() / 2;
  result.median = order.size() % 2 ? all[order[middle]].first
                                   : (all[order[middle - 1]].first + all[order[middle]].first) / 2;
  return result;
}

void summarise(const std::vector<Chain>& chains, Loss loss, Summary& results, Extra& extra) {
  const int n = chains[0].n;
  results.n = n;
  std::vector<const int*> pooled;
  std::vector<std::pair<int, size_t>> origin;  // chain and line of each pooled draw
  std::map<int, double> kCounts;
  std::vector<Trace> traces;
  for (const Chain& chain : chains) {
    traces.push_back({chain.file, chain.iteration, chain.score, {}, chain.burned});
    traces.back().k.assign(chain.clusters.begin(), chain.clusters.end());
  }
  results.verdict = assess(traces);
  results.estimateChains = estimateChains(results.verdict);
  for (size_t c : results.estimateChains) {
    for (size_t d = 0; d < chains[c].kept(); d++) {
      pooled.push_back(chains[c].draw(d));
      origin.emplace_back(static_cast<int>(c), chains[c].burned + d);
      kCounts[chains[c].clusters[chains[c].burned + d]] += 1;
    }
  }
  for (const auto& k : kCounts) results.posteriorK.emplace_back(k.first, k.second / pooled.size());

  DrawSet draws(pooled, n);
  extra.total = draws.total();
  results.distinct = draws.distinct();
  results.estimate = findEstimate(draws, loss);
  const auto& best = origin[results.estimate.bestDraw];
  results.bestChain = best.first + 1;
  results.bestIteration = chains[best.first].iteration[best.second];
  Grouping grouping(results.estimate.labels.data(), n);
  for (int c = 0; c < grouping.clusters(); c++)
    results.sizes.push_back(grouping.start[c + 1] - grouping.start[c]);
  results.mates = mateProbabilities(draws, results.estimate.labels);
  if (n <= kLargestMatrix) extra.counts = similarityCounts(draws);
  extra.heat = heatMap(draws, results.estimate.labels, n <= kLargestMatrix ? &extra.counts : nullptr);

  results.rhatScore = results.rhatK = NAN;
  for (size_t c = 0; c < chains.size(); c++) {
    const Chain& chain = chains[c];
    std::vector<double> k = keptTrace(chain, false, chain.kept());
    // The figures of the assessment the stop rule makes, so the two cannot differ.
    const ChainEnd& end = results.verdict.ends[c];
    ChainFigures figures;
    figures.file = chain.file;
    figures.lines = chain.iteration.size();
    figures.kept = chain.kept();
    figures.essScore = end.essScore;
    figures.essK = end.essK;
    figures.stuck = end.stuck;
    results.chains.push_back(figures);
    auto constant = [](const std::vector<double>& v) {
      return std::all_of(v.begin(), v.end(), [&](double x) { return x == v[0]; });
    };
    checkEss(results, c, "the score", figures.essScore, chain.kept(), end.stuck);
    checkEss(results, c, "k", figures.essK, chain.kept(), constant(k));
  }
  if (chains.size() >= 2) {
    // Chains of unequal length: R-hat compares the last draws of each, as many as the
    // shortest chain kept.
    size_t last = chains[0].kept();
    for (const Chain& chain : chains) last = std::min(last, chain.kept());
    results.rhatDraws = last;
    Chains score, k;
    for (const Chain& chain : chains) {
      score.push_back(keptTrace(chain, true, last));
      k.push_back(keptTrace(chain, false, last));
    }
    results.rhatScore = splitRhat(mergeNearlyEqual(score));
    results.rhatK = splitRhat(k);
    checkRhat(results, "the score", results.rhatScore);
    checkRhat(results, "k", results.rhatK);
    if (last < 4)
      results.warnings.push_back("R-hat needs at least 4 draws kept in every chain; the shortest "
                                 "chain kept " + std::to_string(last));

    addModeWarnings(results);
    std::vector<std::vector<int>> own;
    for (const Chain& chain : chains) own.push_back(findEstimate(DrawSet(keptDraws(chain), n), loss).labels);
    results.agreement = pairAgreements(own, n);
  }
}

std::string tsvText(const Summary& r) {
  std::ostringstream out;
  auto row = [&](const std::string& quantity, const std::string& chain, const std::string& item,
                 const std::string& value) {
    out << quantity << '\t' << chain << '\t' << item << '\t' << value << '\n';
  };
  row("quantity", "chain", "item", "value");
  row("n", "all", "", std::to_string(r.n));
  row("chains", "all", "", std::to_string(r.chains.size()));
  for (size_t c = 0; c < r.chains.size(); c++)
    row("draws", std::to_string(c + 1), "", std::to_string(r.chains[c].kept));
  row("loss", "all", "", r.loss == Loss::VI ? "vi" : "binder");
  for (const auto& k : r.posteriorK) row("posterior_k", "all", std::to_string(k.first), number(k.second));
  row("expected_loss", "all", "estimate", number(r.estimate.expectedLoss));
  row("expected_loss", "all", "best_draw", number(r.estimate.bestDrawLoss));
  for (size_t c = 0; c < r.sizes.size(); c++)
    row("cluster_size", "all", std::to_string(c), std::to_string(r.sizes[c]));
  for (int i = 0; i < r.n; i++)
    row("mate_probability", "all", std::to_string(i + 1), number(r.mates[i]));
  for (size_t c = 0; c < r.chains.size(); c++) {
    row("ess", std::to_string(c + 1), "score", number(r.chains[c].essScore));
    row("ess", std::to_string(c + 1), "k", number(r.chains[c].essK));
  }
  if (r.chains.size() >= 2) {
    row("rhat", "all", "score", number(r.rhatScore));
    row("rhat", "all", "k", number(r.rhatK));
  }
  const Agreements& a = r.agreement;
  for (const auto& pair : a.pairs) row("ari", "all", pair.first, number(pair.second));
  if (a.pairs.empty() && a.count > 0) {
    row("ari", "all", "pairs", std::to_string(a.count));
    row("ari", "all", "min", number(a.min));
    row("ari", "all", "median", number(a.median));
    row("ari", "all", "max", number(a.max));
  }
  if (r.alpha.chains > 0) {
    row("alpha", "all", "mean", number(r.alpha.mean));
    row("alpha", "all", "q2.5", number(r.alpha.lower));
    row("alpha", "all", "q97.5", number(r.alpha.upper));
  }
  for (const auto& m : modesRows(r)) row(m[0], m[1], m[2], m[3]);
  for (const ColumnProbability& c : r.columns.columns)
    row("column_probability", "all", std::to_string(c.column), number(c.probability));
  if (r.columns.p.chains > 0) {
    row("P", "all", "mean", number(r.columns.p.mean));
    row("P", "all", "q2.5", number(r.columns.p.lower));
    row("P", "all", "q97.5", number(r.columns.p.upper));
  }
  for (const auto& warning : r.warnings) row("warning", "all", "", visibleText(warning));
  return out.str();
}

std::string estimateText(const std::vector<int>& labels) {
  return formats::partitionLine(labels.data(), static_cast<int>(labels.size()));
}

// The similarity matrix: n lines of n probabilities (6 significant digits), blank-separated.
void writeMatrix(std::ostream& file, const std::vector<uint32_t>& counts, int n, double total) {
  std::vector<std::string> text(static_cast<size_t>(total) + 1);  // every count's text, once
  for (size_t c = 0; c < text.size(); c++) text[c] = number(c / total, "%.6g");
  std::string line;
  for (int i = 0; i < n; i++) {
    line.clear();
    for (int j = 0; j < n; j++) {
      if (j > 0) line += ' ';
      line += text[counts[static_cast<size_t>(i) * n + j]];
    }
    line += '\n';
    file << line;
  }
}

// The columns that tell the clusters apart, at most kListedColumns of them, and P.
void columnsText(std::ostream& out, const ColumnSummary& c) {
  constexpr size_t kListedColumns = 20;
  if (c.chains > 0) {
    const std::vector<ColumnProbability> selected = c.selected();
    out << "\nColumn selection (the .columns files of " << c.chains
        << (c.chains == 1 ? " chain" : " chains") << "): " << selected.size() << " of "
        << c.columns.size() << " columns clustered with probability at least "
        << kSelectedProbability << (selected.empty() ? "\n" : ":\n");
    for (size_t s = 0; s < selected.size() && s < kListedColumns; s++)
      out << "  column " << selected[s].column << "  "
          << number(selected[s].probability, "%.4f") << '\n';
    if (selected.size() > kListedColumns)
      out << "  ... and " << selected.size() - kListedColumns << " more (see the table)\n";
  }
  if (c.p.chains > 0)
    out << (c.chains > 0 ? "" : "\n") << "Prior probability P of a clustered column ("
        << c.p.draws << " draws from the .pdraws files of " << c.p.chains
        << (c.p.chains == 1 ? " chain" : " chains") << "): posterior mean "
        << number(c.p.mean, "%.4g") << ", 95% interval " << number(c.p.lower, "%.4g") << " to "
        << number(c.p.upper, "%.4g") << '\n';
}

void report(std::ostream& out, const Summary& r) {
  double kept = 0;
  for (const ChainFigures& chain : r.chains) kept += chain.kept;
  out << "vornak-summary: " << r.chains.size() << (r.chains.size() == 1 ? " chain" : " chains")
      << " of n = " << r.n << (r.n == 1 ? " item" : " items") << ", burn-in fraction "
      << r.burn << '\n';
  // A file name reaches the terminal with its control bytes as escapes.
  for (size_t c = 0; c < r.chains.size(); c++)
    out << "  chain " << c + 1 << ": " << visibleText(r.chains[c].file) << ", " << r.chains[c].lines
        << " draws, " << r.chains[c].kept << " kept\n";

  out << "\nPosterior on the number of clusters k (" << kept << " draws):\n";
  for (const auto& k : r.posteriorK)
    out << "  k = " << k.first << "  " << number(k.second, "%.4f") << "  "
        << std::string(static_cast<size_t>(std::lround(k.second * 40)), '#') << '\n';

  if (r.alpha.chains > 0)
    out << "\nConcentration alpha (" << r.alpha.draws << " draws from the .alpha files of "
        << r.alpha.chains << (r.alpha.chains == 1 ? " chain" : " chains")
        << "): posterior mean " << number(r.alpha.mean, "%.4g") << ", 95% interval "
        << number(r.alpha.lower, "%.4g") << " to " << number(r.alpha.upper, "%.4g") << '\n';

  columnsText(out, r.columns);

  const Estimate& e = r.estimate;
  out << "\nPoint estimate ("
      << (r.loss == Loss::VI ? "variation of information" : "Binder loss")
      << "; greedy search from the "
      << (e.starts == 1 ? std::string("best draw") : std::to_string(e.starts) + " best draws")
      << "):\n"
      << "  " << r.sizes.size() << (r.sizes.size() == 1 ? " cluster" : " clusters")
      << ", sizes";
  for (int size : r.sizes) out << ' ' << size;
  out << "\n  expected loss " << number(e.expectedLoss, "%.6g") << "; best draw "
      << number(e.bestDrawLoss, "%.6g") << " (chain " << r.bestChain << ", iteration "
      << r.bestIteration << ")\n";
  if (e.evaluated < r.distinct)
    out << "  (best draw among " << e.evaluated << " of " << r.distinct
        << " distinct draws, evenly spaced: computing all would take too long)\n";
  std::vector<int> order(r.n);
  for (int i = 0; i < r.n; i++) order[i] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    return r.mates[a] < r.mates[b] || (r.mates[a] == r.mates[b] && a < b);
  });
  const int shown = std::min(r.n, 5);
  out << "  least certain items (items and clusters numbered from 1, clusters as listed above;\n"
         "  mean probability of sharing a cluster with each estimate cluster-mate; for an item\n"
         "  alone in the estimate, the probability of being alone):\n";
  for (int s = 0; s < shown; s++)
    out << "    item " << order[s] + 1
        << (r.names.size() == static_cast<size_t>(r.n) ? " " + r.names[order[s]] : std::string()) << " (cluster " << e.labels[order[s]] + 1 << "): "
        << number(r.mates[order[s]], "%.3f") << '\n';

  out << "\nConvergence (effective sample size: bulk, rank-normalised, per chain):\n"
      << "  chain  ESS score  ESS k\n";
  for (size_t c = 0; c < r.chains.size(); c++) {
    char line[96];
    std::snprintf(line, sizeof line, "  %5zu  %9s  %5s\n", c + 1,
                  number(r.chains[c].essScore, "%.1f").c_str(), number(r.chains[c].essK, "%.1f").c_str());
    out << line;
  }
  if (r.chains.size() >= 2) {
    const Agreements& a = r.agreement;
    out << "  R-hat (rank-normalised split, max of bulk and folded; last " << r.rhatDraws
        << " draws of each chain): score " << number(r.rhatScore, "%.4f") << ", k "
        << number(r.rhatK, "%.4f") << '\n'
        << "  adjusted Rand index between the chains' own estimates:";
    for (const auto& pair : a.pairs) out << "  " << pair.first << ": " << number(pair.second, "%.4f");
    if (a.pairs.empty())
      out << " " << a.count << " pairs, smallest " << number(a.min, "%.4f") << " (" << a.minPair
          << "), median " << number(a.median, "%.4f") << ", largest " << number(a.max, "%.4f")
          << " (" << a.maxPair << ")";
    out << '\n';
    if (r.verdict.onePartition)
      out << "  the chains agree: " << onePartitionPhrase(r.verdict) << " (R-hat and ESS do not apply)\n";
  }

  out << modesText(r);
  out << '\n';
  if (r.warnings.empty()) out << "No warnings.\n";
  for (const auto& warning : r.warnings) out << "WARNING: " << warning << '\n';
  if (r.n > kLargestMatrix)
    out << "n = " << r.n << " is above " << kLargestMatrix << ": no similarity matrix file ("
        << visibleText(r.prefix) << ".psm) is written.\n";
  out << "\nFiles:\n";
  size_t width = 0;
  std::vector<std::string> names;
  for (const auto& file : r.written) names.push_back(visibleText(file.first));
  for (const auto& name : names) width = std::max(width, name.size());
  for (size_t f = 0; f < names.size(); f++)
    out << "  " << names[f] << std::string(width + 2 - names[f].size(), ' ') << r.written[f].second
        << '\n';
}

Picture picture(const Summary& r, const std::vector<Chain>& chains, const Extra& extra) {
  Picture p;
  p.title = "vornak-summary of " + r.prefix + ": n = " + std::to_string(r.n) + ", " +
            std::to_string(chains.size()) + (chains.size() == 1 ? " chain" : " chains");
  for (const Chain& chain : chains) p.chains.push_back(&chain);
  p.posteriorK = r.posteriorK;
  p.heat = extra.heat;
  std::string sizes;
  for (size_t c = 0; c < r.sizes.size() && c < 12; c++) sizes += " " + std::to_string(r.sizes[c]);
  if (r.sizes.size() > 12) sizes += " ...";
  p.caption.push_back("Estimate (" + std::string(r.loss == Loss::VI ? "VI" : "Binder") +
                      " loss): " + std::to_string(r.sizes.size()) + " clusters, sizes" + sizes);
  p.caption.push_back("Expected loss " + number(r.estimate.expectedLoss, "%.4g") +
                      "; best draw " + number(r.estimate.bestDrawLoss, "%.4g"));
  if (chains.size() >= 2)
    p.caption.push_back("R-hat: score " + number(r.rhatScore, "%.3f") + ", k " +
                        number(r.rhatK, "%.3f"));
  if (r.warnings.empty()) p.caption.push_back("No warnings.");
  p.warnings = r.warnings;
  return p;
}

// Writes every file next to its final name, then renames them all, so that a failure leaves
// the earlier files as they were.
class FileSet {
 public:
  ~FileSet() {
    for (const auto& file : files_) std::remove((file + ".tmp").c_str());
  }
  std::ofstream& open(const std::string& name) {
    files_.push_back(name);
    stream_ = std::make_unique<std::ofstream>(name + ".tmp", std::ios::binary | std::ios::trunc);
    if (!*stream_) throw InputError("Fail to write " + name);
    return *stream_;
  }
  void close() {
    stream_->close();
    if (!*stream_) throw InputError("Fail to write " + files_.back());
  }
  void commit() {
    for (const auto& file : files_)
      if (std::rename((file + ".tmp").c_str(), file.c_str()) != 0)
        throw InputError("Fail to write " + file);
    files_.clear();
  }

 private:
  std::vector<std::string> files_;
  std::unique_ptr<std::ofstream> stream_;
};

// The labels of a draws file's first line (its fields but three), 0 when it has none or is
// no regular file (a device or a FIFO is never opened: the reading proper refuses it).
size_t labelsOnFirstLine(const std::string& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return 0;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!std::getline(in, line)) return 0;
  std::istringstream fields(line);
  size_t count = 0;
  for (std::string field; fields >> field;) count++;
  return count > 3 ? count - 3 : 0;
}

// The step that keeps items x draws read within maxDrawCells: kept lines counted per file.
size_t cellStep(const Request& request, size_t n) {
  double kept = 0;
  for (const auto& file : request.files) {
    const size_t lines = countLines(file);
    kept += static_cast<double>(lines - static_cast<size_t>(std::floor(request.burn * lines)));
  }
  const double most = std::max(1.0, std::floor(request.maxDrawCells / static_cast<double>(n)));
  return static_cast<size_t>(std::max(1.0, std::ceil(kept / most)));
}

Summary summariseChecked(const Request& request) {
  // Over maxDraws kept draws in all: one in every step of each chain is read.
  size_t step = 1;
  if (request.maxDraws > 0) {
    size_t kept = 0;
    for (const auto& file : request.files) {
      const size_t lines = countLines(file);
      kept += lines - static_cast<size_t>(std::floor(request.burn * lines));
    }
    step = std::max<size_t>(1, (kept + request.maxDraws - 1) / request.maxDraws);
  }
  const size_t n = request.files.empty() ? 0 : labelsOnFirstLine(request.files[0]);
  const size_t cappedStep = n > static_cast<size_t>(kLargestMatrix) ? cellStep(request, n) : 1;
  const bool cellCapped = cappedStep > step;
  step = std::max(step, cappedStep);
  std::vector<Chain> chains;
  for (const auto& file : request.files) {
    chains.push_back(readDraws(file, request.burn, step));
    if (chains.back().n != chains[0].n)
      throw InputError("Chains of different n: " + file + " has " +
                       std::to_string(chains.back().n) + " items, " + chains[0].file + " has " +
                       std::to_string(chains[0].n));
  }
  const std::string& prefix = request.prefix;
  const std::vector<std::string> suffixes = {".estimate", ".summary.tsv", ".psm", ".svg"};
  for (const auto& suffix : suffixes)
    for (const auto& file : request.files) {
      std::error_code ignored;
      if (std::filesystem::equivalent(prefix + suffix, file, ignored))
        throw InputError("Output would replace a draws file: " + prefix + suffix);
    }

  Summary results;
  results.prefix = prefix;
  results.burn = request.burn;
  results.loss = request.loss;
  results.thinStep = step;
  Extra extra;
  summarise(chains, request.loss, results, extra);
  if (cellCapped)
    results.warnings.push_back("one kept draw in every " + std::to_string(step) + " was read: " +
                               std::to_string(results.n) + " items times the draws exceed " +
                               number(request.maxDrawCells, "%.0f") + " labels");
  results.alpha = summariseAlpha(chains);
  results.columns = summariseColumns(chains);
  results.svg = renderSvg(picture(results, chains, extra));

  FileSet files;
  auto& written = results.written;
  files.open(prefix + ".estimate") << estimateText(results.estimate.labels);
  files.close();
  written.emplace_back(prefix + ".estimate", "the point estimate, one label per item (a -z start)");
  files.open(prefix + ".summary.tsv") << tsvText(results);
  files.close();
  written.emplace_back(prefix + ".summary.tsv", "every figure, tab-separated");
  if (!extra.counts.empty()) {
    writeMatrix(files.open(prefix + ".psm"), extra.counts, results.n, extra.total);
    files.close();
    written.emplace_back(prefix + ".psm", "the posterior similarity matrix");
  }
  files.open(prefix + ".svg") << results.svg;
  files.close();
  written.emplace_back(prefix + ".svg", "the picture: traces, posterior on k, similarity heat map");
  for (const auto& file : written) {
    std::error_code ignored;
    if (std::filesystem::exists(file.first, ignored)) results.replaced.push_back(file.first);
  }
  files.commit();
  return results;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Settings settings = parseArguments(args);
  if (settings.help) {
    out << summaryHelp();
    return 0;
  }
  Request request;
  request.files = settings.files;
  request.burn = settings.burn;
  request.loss = settings.loss;
  request.prefix = settings.prefix;
  const Summary results = summariseChecked(request);
  if (!results.replaced.empty()) {
    err << "vornak-summary: replaced the files of an earlier summary:";
    for (const auto& file : results.replaced) err << ' ' << visibleText(file);
    err << '\n';
    err.flush();
  }
  out << summaryText(results);
  out.flush();
  return 0;
}

}  // namespace

Summary summariseDraws(const Request& request) {
  if (request.files.empty()) throw InputError("No draws file given");
  if (!(request.burn >= 0 && request.burn < 1))
    throw InputError("Burn-in fraction outside [0, 1): " + number(request.burn, "%g"));
  Request checked = request;
  if (checked.prefix.empty()) checked.prefix = defaultPrefix(checked.files);
  return summariseChecked(checked);
}

std::string summaryText(const Summary& summary) {
  std::ostringstream out;
  report(out, summary);
  return out.str();
}

}  // namespace summary

std::string summaryUsage() {
  return "Usage: vornak-summary [--burn FRACTION] [--loss vi|binder] [-o PREFIX] A.draws "
         "[B.draws ...]\n"
         "  One draws file (vornak -d) per chain. Writes PREFIX.estimate, PREFIX.summary.tsv,\n"
         "  PREFIX.psm (n up to 5000) and PREFIX.svg, replacing earlier ones (said on standard\n"
         "  error), and a report.\n"
         "  --burn  share of each chain's draws dropped first, in [0, 1) (default 0.5)\n"
         "  --loss  loss the point estimate minimises: vi (variation of information, default)\n"
         "          or binder\n"
         "  -o      prefix of the output files (default: one file without .draws; for several,\n"
         "          their common stem and _Nchains, e.g. votes_k0_OA_p_a0_B4_2chains)\n";
}

std::vector<std::string> summaryOptions() {
  std::vector<std::string> names;
  for (const auto& option : summary::kOptions) names.push_back(option.name);
  return names;
}

std::string summaryHelp() {
  return summaryUsage() +
         "  --help, -h  print this text and exit with status 0\n"
         "\n"
         "  Each chain is one run of vornak with its own seed (-s) and -d THIN; chains run on\n"
         "  several machines are merged by giving all their draws files. Per chain the first\n"
         "  floor(FRACTION x lines) lines are dropped (at least one line is kept). The estimate\n"
         "  minimises the posterior expected loss (greedy search from the 5 best draws); the\n"
         "  report gives the posterior on k, the least certain items, the effective sample\n"
         "  size of score and k per chain, R-hat (two or more chains), the adjusted Rand index\n"
         "  between the chains' own estimates and warnings (R-hat above 1.01, an effective\n"
         "  sample size below 100). NAME.alpha beside NAME.draws (vornak -A) adds alpha's\n"
         "  posterior mean and 95% interval. NAME.columns and NAME.pdraws (vornak -V, -W)\n"
         "  add each column's probability of being clustered (the chains' files averaged,\n"
         "  weighted by their draws) and P's posterior mean and 95% interval.\n"
         "\n"
         "  Exit status: 0 summarised (or --help); 2 a usage problem (an unknown option, a\n"
         "  missing value, no draws file), with the first lines of this text on standard error;\n"
         "  255 bad input (a missing, empty or malformed file, chains of different n, a\n"
         "  burn-in fraction outside [0, 1), an unknown loss, a file given twice, an output\n"
         "  that would replace an input), one line on standard error, earlier output files\n"
         "  left as they were.\n"
         "\n"
         "  Example: vornak-summary votes_k0_OA_p_a0_B4_s1.draws votes_k0_OA_p_a0_B4_s2.draws\n";
}

int runSummary(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return summary::run(args, out, err);
  } catch (const summary::UsageError& e) {
    err << visibleText(e.problem) << '\n' << summaryUsage();
    err.flush();
    return 2;
  } catch (const summary::InputError& e) {
    out.flush();
    err << visibleText(e.what()) << '\n';
    err.flush();
    return 255;
  } catch (const std::bad_alloc&) {
    out.flush();
    err << "Out of memory: the draws are too many for this machine\n";
    err.flush();
    return 255;
  } catch (const std::exception& e) {
    out.flush();
    err << "Cannot summarise: " << visibleText(e.what()) << '\n';
    err.flush();
    return 255;
  }
}
