#include "driver/options.h"

#include <limits>

namespace {
constexpr long long kIntMin = std::numeric_limits<int>::min();
constexpr long long kIntMax = std::numeric_limits<int>::max();
constexpr long long kCountMax = std::numeric_limits<long long>::max();
using K = ValueKind;
using P = StemPlace;
}  // namespace

// The usage-text options come first, in the order the specified parser compared them; the
// further ones in the order `vornak --help` lists them.
const std::vector<OptionSpec> kOptions = {
    // name kind  further  min max  refusal  absent  stem place field  words
    //   metavar help  default
    {"-h", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::heuristics, nullptr,
     "HEURISTIC",
     "the move of each iteration:\n"
     "OA     one-at-a-time Gibbs sweep over every observation (start here)\n"
     "JN     split-merge with restricted Gibbs scans (needs -k 0)\n"
     "DA     sequentially allocated split-merge (needs -k 0)\n"
     "SR     random split-merge\n"
     "UX     tree-guided split-merge, the tree's steps weighed by their scores\n"
     "UXf    as UX, the steps weighed equally\n"
     "rBHS2  as UX2, the steps weighed equally every tenth iteration\n"
     "CM     split-merge pairing clusters that score well joined (needs -k 0)\n"
     "JN2, DA2, SR2, UX2, UXf2, CM2: the move plus two OA sweeps per iteration\n"
     "PS     parallel sweep, every label at once on -j threads, then (-k 0) SR\n"
     "EN     list and score every partition instead of a search (tiny data only)",
     nullptr},
    {"-m", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::model, nullptr, "MODEL",
     "ProteinSequence  aligned protein sequences (FASTA)\n"
     "HDBern           a 0/1 matrix\n"
     "HDGBern          a matrix of whole numbers 0..19 (categorical columns)\n"
     "kmeans2          a real matrix, sum of squares within clusters\n"
     "mclust2          a real matrix, Gaussian clusters with independent columns\n"
     "mvn              a real matrix, Gaussian clusters with full covariances\n"
     "diagonal         as mclust2 with a prior set per column (for wide data)\n"
     "ordinal          a matrix of whole numbers 0..19 read as ordered levels",
     nullptr},
    {"-p", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::prior, nullptr, "PRIOR",
     "component prior: ProteinSequence bg (default), flat, cloud9 or shared;\n"
     "HDBern and HDGBern flat (default), point5, point05, point005, levels or shared\n"
     "(shared: cluster profiles drawn around each column's profile over all rows);\n"
     "mclust2, mvn and diagonal a positive number c (default 1), larger c tighter\n"
     "clusters;\n"
     "ordinal flat (default) or jeffreys (Beta(1, 1) or Beta(0.5, 0.5));\n"
     "kmeans2 none (the word only goes into the file names)",
     "bg, flat or 1, by model"},
    {"-f", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::dataFile, nullptr,
     "DATA",
     "data file: FASTA for ProteinSequence; otherwise one observation per line,\n"
     "values separated by blanks or tabs, NA a missing cell (not for mvn). The\n"
     "output files go beside it.",
     nullptr},
    {"-l", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::label, nullptr, "LABEL",
     "added to the output file names (no '/'); runs that differ only in -c share\n"
     "their names unless labelled",
     nullptr},
    // Cluster labels are compared as 16-bit values by some models: k stays below 32768.
    {"-k", K::WholeNumber, false, 0, 32767, "k must be 0 or a number of clusters from 1 to 32767",
     -1, nullptr, P::None, &Settings::k, nullptr, "K",
     "number of clusters, 1 to 32767; 0 leaves it open (Dirichlet-process prior)", nullptr},
    // 10^18 is the largest power of ten a 64-bit count holds; checked where 10^B is counted,
    // since -i takes the place of any -B.
    {"-B", K::WholeNumber, false, kIntMin, 18, nullptr, -1, nullptr, P::None, &Settings::B,
     nullptr, "B", "run 10^B iterations, B at most 18 (without -B: 9)", "9"},
    {"-a", K::RealNumber, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::logalpha, nullptr,
     "LOGALPHA", "natural log of the concentration alpha of the partition prior (default 0)", "0"},
    {"-t", K::WholeNumber, false, kIntMin, kIntMax, nullptr, -1, nullptr, P::None,
     &Settings::minuteAllowed, nullptr, "MINUTES",
     "stop after this many minutes (without -t: 14400, ten days)\n"
     "A search needs -B, -t or -i and stops at the first limit it reaches; EN\n"
     "needs none of them.",
     "14400 (ten days)"},
    {"-z", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::initialZ, nullptr,
     "FILE",
     "start from this partition: one 0-based label per observation, as .finalz\n"
     "and .best hold it (default: a random start)",
     "a random start"},
    {"-c", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::criterionType, nullptr,
     "CRITERION",
     "integrated (log posterior of the partition), classi (classification\n"
     "likelihood) or mixture (mixture likelihood); classi and mixture for HDBern\n"
     "and HDGBern only. Without -c the run is refused.",
     nullptr},
    // Further options.
    {"-s", K::WholeNumber, true, 1, 4294967295LL, "-s must be a whole number from 1 to 4294967295",
     2, "_s", P::BeforeLabel, {}, nullptr, "SEED",
     "seed of the random numbers, 1 to 4294967295 (default 2); the same seed\n"
     "repeats a chain, another gives an independent chain",
     "2"},
    {"-q", K::Flag, true, 0, 1, nullptr, 0, nullptr, P::None, {}, nullptr, "",
     "quiet log: no per-iteration and per-move lines", nullptr},
    {"-d", K::WholeNumber, true, 1, kCountMax, "-d must be a whole number of iterations, 1 or more",
     0, nullptr, P::None, {}, nullptr, "THIN",
     "keep the partition of every THIN-th iteration in STEM.draws (THIN 1 or\n"
     "more), the input of vornak-summary",
     nullptr},
    {"-i", K::WholeNumber, true, 0, kCountMax, "-i must be a whole number of iterations, 0 or more",
     -1, "_i", P::InPlaceOfB, {}, nullptr, "N", "run exactly N iterations (0 or more) in place of 10^B",
     nullptr},
    {"-e", K::WholeNumber, true, 1, kCountMax, "-e must be a whole number of iterations, 1 or more",
     0, "_e", P::BeforeLabel, {}, nullptr, "THIN",
     "thinned score trace: .save keeps one point every THIN iterations (1 or more)", nullptr},
    // Further real numbers lie strictly between min and max.
    {"-V", K::RealNumber, true, 0, 1, "-V must be a number between 0 and 1, both excluded", 0,
     "_V", P::Last, {}, nullptr, "P",
     "column selection for ProteinSequence, HDBern, HDGBern, ordinal (integrated):\n"
     "each column is clustered with prior probability P (0 < P < 1), else\n"
     "background; with -d, STEM.columns ranks the columns",
     nullptr},
    // "A,B": two positive numbers, checked with -V by the plan.
    {"-W", K::Text, true, 0, 0, nullptr, 0, "_W", P::Last, {}, nullptr, "A,B",
     "with -V: a Beta(A, B) prior on P, drawn after every iteration (two positive\n"
     "numbers; with -d, STEM.pdraws keeps P)",
     nullptr},
    {"-x", K::Flag, true, 0, 1, nullptr, 0, "_x", P::Last, {}, nullptr, "",
     "fast arithmetic for kmeans2, mclust2, mvn, diagonal: running sums,\n"
     "agreeing with exact scores to about 1e-12 relative; other models score as\n"
     "without it",
     nullptr},
    // SHAPE,RATE of a Gamma prior on alpha, checked by the plan (two positive numbers).
    {"-A", K::Text, true, 0, 0, nullptr, 0, "_A", P::BeforeLabel, {}, nullptr, "SHAPE,RATE",
     "Gamma prior on alpha (two positive numbers), alpha drawn after every\n"
     "iteration; needs -k 0, not with EN; with -d, STEM.alpha keeps alpha",
     nullptr},
    {"-S", K::Flag, true, 0, 1, nullptr, 0, "_S", P::BeforeLabel, {}, nullptr, "",
     "standardise every column of a real matrix (kmeans2, mclust2, mvn, diagonal)", nullptr},
    {"-Z", K::Text, true, 0, 0,
     "-Z must name a start: tree, boot, average, random, sample, sample-boot or sample-average", -1,
     "_Z", P::BeforeLabel, {}, "tree|boot|average|random|sample|sample-boot|sample-average", "HOW",
     "start from the best cut of the complete-linkage tree over the data (tree),\n"
     "of that tree over a bootstrap of the columns drawn by the seed (boot), of the\n"
     "average-linkage tree (average), or the seeded random start (random); not\n"
     "with -z. sample, sample-boot, sample-average: the same trees over a seeded\n"
     "sample of 2000 rows, every other row joining its nearest cluster (time and\n"
     "memory linear in the rows; below 2000 rows as tree, boot, average)",
     nullptr},
    // Heated chains: 1 is the plain run. The thread cap changes no byte, so it has no stem part;
    // 0 (absent) means one thread per processor.
    {"-T", K::WholeNumber, true, 1, 64, "-T must be a number of chains from 1 to 64", 1, "_T",
     P::BeforeLabel, {}, nullptr, "N",
     "heated chains: N chains in all, 1 to 64 (default 1, the plain run); only\n"
     "the cold chain is written; combines with -A, -V, -W",
     "1"},
    // "N" or "N,BETA", checked by the plan (sampler/Anneal.h).
    {"-b", K::Text, true, 0, 0, nullptr, 0, "_b", P::BeforeLabel, {}, nullptr, "N[,BETA]",
     "annealed burn-in: N iterations before the kept ones, the inverse temperature\n"
     "rising from BETA (0 < BETA < 1, default 0.05) to 1; they reach no file but\n"
     "the log, and count against -t (not against -B or -i)",
     nullptr},
    {"-j", K::WholeNumber, true, 1, 1024, "-j must be a number of threads from 1 to 1024", 0,
     nullptr, P::None, {}, nullptr, "THREADS",
     "at most this many threads for the chains of -T and for PS, 1 to 1024 (default\n"
     "one per processor); changes no file",
     "one per processor"},
};

const OptionSpec* findOption(const std::string& name) {
  for (const OptionSpec& option : kOptions)
    if (name == option.name) return &option;
  return nullptr;
}
