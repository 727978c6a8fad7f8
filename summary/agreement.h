// Whether chains agree, and where they ended when they do not. One assessment serves the
// front end that runs chains until they agree (every few seconds, over the draws files so
// far) and the summary of the finished draws, so the stop and the summary's warnings are one
// rule over the same lines. It reads only the first three fields of each line.
#pragma once
#include <limits>
#include <string>
#include <vector>

namespace summary {

// Chains whose best kept scores lie within the margin of the best chain's share its mode. The
// margin is this many log units, or the median of the chains' standard deviations of the
// kept score when larger (chains mixing over a broad mode reach its top by different amounts).
constexpr double kModeMargin = 2;
// Below this effective sample size in any one chain the summary warns, so nothing agrees.
constexpr double kChainEssLimit = 100;
// Fewer kept draws in a chain give no effective sample size.
constexpr size_t kFewestKept = 6;

// One chain's trace: every line's iteration, score and k; the first `burned` lines dropped.
struct Trace {
  std::string file;
  std::vector<long long> iteration;
  std::vector<double> score, k;
  size_t burned = 0;
};

// The start a draws file's name records: "tree" or "average" for starts that draw no random
// number (two chains with it started from one partition; "sample" and "sample-average" count
// alike), "" for a start of the chain's own (seeded: -Z boot, sample-boot, random, no -Z).
std::string sharedStartOf(const std::string& file);
// The -Z word a draws file's name records ("tree", "boot", "average", "random", "sample",
// "sample-boot", "sample-average"), or "".
std::string startOf(const std::string& file);

// Where one chain ended.
struct ChainEnd {
  std::string start;         // sharedStartOf its file
  size_t lines = 0, kept = 0;
  double best = -std::numeric_limits<double>::infinity();  // best kept score
  int kAtBest = 0;
  double essScore = 0, essK = 0;  // bulk, of all its kept draws (scores merged within tolerance)
  double spread = 0;              // standard deviation of its kept scores
  bool stuck = false;             // kept >= kFewestKept and the score never moved
};

// Chains that ended together: the best kept score among them, its k, and the log odds of
// that score against the best mode's (0 for the best, negative below).
struct Mode {
  double score = 0;
  int k = 0;
  std::vector<size_t> chains;  // 0-based, best first
  double logOdds = 0;
};

struct Agreement {
  size_t chains = 0;
  size_t keptPerChain = 0;        // fewest lines any chain kept after its burn-in
  long long iterations = 0;       // fewest iterations any chain reached (its last line's ITER)
  double bestScore = 0;           // best score of any line; -infinity without lines
  double rhatScore = 0, rhatK = 0;  // on the last keptPerChain lines of each chain
  double essScore = 0, essK = 0;    // bulk ESS summed over the chains
  // Chains (0-based) whose score never moved over their kept lines (equal within
  // kScoreTolerance, summary/diagnostics.h): stuck, whatever the other chains do.
  std::vector<size_t> stuck;
  std::vector<ChainEnd> ends;
  std::vector<Mode> modes;        // best first
  double margin = kModeMargin;
  // The chains of the best mode came from at least two different starts: this many.
  bool distinctStarts = false;
  size_t starts = 0;
  // Every chain kept at least kChainEssLimit draws, all of one score (within kScoreTolerance)
  // and one k, and they came from at least two starts: chains that agree on a partition the
  // posterior holds to, where R-hat and ESS do not apply. None of them counts as stuck.
  bool onePartition = false;
  // onePartition, with at least minEss kept draws in all. Otherwise: two or more chains; none
  // stuck; one mode (every chain's kept scores reach within the
  // margin of the best); its chains from at least two starts; R-hat of both at most maxRhat;
  // every chain's ESS of both at least kChainEssLimit and their sums at least minEss. A k that
  // is constant and the same in every chain (k fixed) agrees: R-hat 1, ESS the draws kept.
  // Scores equal within kScoreTolerance count as equal.
  bool agreed(double maxRhat, double minEss) const;
};

// The assessment of traces already read (the summary's).
Agreement assess(const std::vector<Trace>& traces);

// Reads every complete line (ending in a line break) of each file, drops the first
// floor(burn * lines) of each, and assesses. A missing file or one without a complete line
// counts as a chain with no draws: then nothing agrees (R-hat and ESS are NaN). Throws
// InputError (summary/draws.h) on a line that is not a draws line.
Agreement checkAgreement(const std::vector<std::string>& files, double burn);

// "chains 2 and 4 end 1,760 log units below chain 1" (each lower mode, "; " between them);
// "" with one mode.
std::string modesPhrase(const Agreement& agreement);
// Why chains that are in one mode still do not count as agreeing on it, or "": "only chain 1
// reached the best mode", "chains 1 and 2 reached the best mode from one start (-Z tree)".
std::string startsPhrase(const Agreement& agreement);
// "one partition reached from 3 starts" when onePartition, else "".
std::string onePartitionPhrase(const Agreement& agreement);
// A log-unit gap as text: "1,760", "12", "2.5".
std::string gapText(double logUnits);
// "chain 3", "chains 1 and 2", "chains 1, 2 and 4" (1-based).
std::string chainList(const std::vector<size_t>& chains);

}  // namespace summary
