#include "driver/options.h"

#include <limits>

namespace {
constexpr long long kIntMin = std::numeric_limits<int>::min();
constexpr long long kIntMax = std::numeric_limits<int>::max();
constexpr long long kCountMax = std::numeric_limits<long long>::max();
using K = ValueKind;
using P = StemPlace;
}  // namespace

// The usage-text options come first, in the order the specified parser compared them.
const std::vector<OptionSpec> kOptions = {
    // name kind  further  min max  refusal  absent  stem place field
    {"-h", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::heuristics},
    {"-m", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::model},
    {"-p", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::prior},
    {"-f", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::dataFile},
    {"-l", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::label},
    // Cluster labels are compared as 16-bit values by some models: k stays below 32768.
    {"-k", K::WholeNumber, false, 0, 32767, "k must be 0 or a number of clusters from 1 to 32767",
     -1, nullptr, P::None, &Settings::k},
    // 10^18 is the largest power of ten a 64-bit count holds; checked where 10^B is counted,
    // since -i takes the place of any -B.
    {"-B", K::WholeNumber, false, kIntMin, 18, nullptr, -1, nullptr, P::None, &Settings::B},
    {"-a", K::RealNumber, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::logalpha},
    {"-t", K::WholeNumber, false, kIntMin, kIntMax, nullptr, -1, nullptr, P::None,
     &Settings::minuteAllowed},
    {"-z", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::initialZ},
    {"-c", K::Text, false, 0, 0, nullptr, 0, nullptr, P::None, &Settings::criterionType},
    // Further options.
    {"-s", K::WholeNumber, true, 1, 4294967295LL, "-s must be a whole number from 1 to 4294967295",
     2, "_s", P::BeforeLabel, {}},
    {"-d", K::WholeNumber, true, 1, kCountMax, "-d must be a whole number of iterations, 1 or more",
     0, nullptr, P::None, {}},
    {"-i", K::WholeNumber, true, 0, kCountMax, "-i must be a whole number of iterations, 0 or more",
     -1, "_i", P::InPlaceOfB, {}},
    {"-e", K::WholeNumber, true, 1, kCountMax, "-e must be a whole number of iterations, 1 or more",
     0, "_e", P::BeforeLabel, {}},
    {"-q", K::Flag, true, 0, 1, nullptr, 0, nullptr, P::None, {}},
    // Further real numbers lie strictly between min and max.
    {"-V", K::RealNumber, true, 0, 1, "-V must be a number between 0 and 1, both excluded", 0,
     "_V", P::Last, {}},
    // "A,B": two positive numbers, checked with -V by the plan.
    {"-W", K::Text, true, 0, 0, nullptr, 0, "_W", P::Last, {}},
    {"-x", K::Flag, true, 0, 1, nullptr, 0, "_x", P::Last, {}},
    // SHAPE,RATE of a Gamma prior on alpha, checked by the plan (two positive numbers).
    {"-A", K::Text, true, 0, 0, nullptr, 0, "_A", P::BeforeLabel, {}},
    {"-S", K::Flag, true, 0, 1, nullptr, 0, "_S", P::BeforeLabel, {}},
    {"-Z", K::Text, true, 0, 0, "-Z must name a start built from the data: tree", -1, "_Z",
     P::BeforeLabel, {}, "tree"},
    // Heated chains: 1 is the plain run. The thread cap changes no byte, so it has no stem part;
    // 0 (absent) means one thread per processor.
    {"-T", K::WholeNumber, true, 1, 64, "-T must be a number of chains from 1 to 64", 1, "_T",
     P::BeforeLabel, {}},
    {"-j", K::WholeNumber, true, 1, 1024, "-j must be a number of threads from 1 to 1024", 0,
     nullptr, P::None, {}},
};

const OptionSpec* findOption(const std::string& name) {
  for (const OptionSpec& option : kOptions)
    if (name == option.name) return &option;
  return nullptr;
}
