// Dispersed starts: the chains of one analysis (vornak-fit, R's vornak()) start from different
// partitions, so that chains agreeing on a mode means more than one start walked there.
#pragma once
#include <string>
#include <vector>

namespace recommend {

// The -Z word of chain c (0-based): the tree cut for the first, then a tree over a bootstrap
// of the columns, the average-linkage tree, and from the fourth on bootstraps (each follows
// the chain's seed, so no two are the same). Above kMostRowsForTrees rows the same trees over
// a sample of the rows: sample, sample-boot, sample-average, then sample-boot.
std::string chainStart(int chain, long rows = 0);

// Whether the chains start apart: not when the user gave a start (-z or -Z) or asked for an
// enumeration (-h EN). given: the user's engine words.
bool dispersedStarts(const std::vector<std::string>& given);

// Above this many rows the starts build their trees over a sample: a tree over all rows costs
// time and memory in the square of their number.
constexpr long kMostRowsForTrees = 5000;

// The words of chain c: the settings with its -Z word in place of theirs (or added), when the
// chains start apart; else the settings as they are.
std::vector<std::string> chainWords(const std::vector<std::string>& words, const std::vector<std::string>& given,
                                    int chain, long rows);

// The words of vornak-fit's measuring run: chain 1's above kMostRowsForTrees rows (the
// settings' own tree would hold every pair of rows), else the settings.
std::vector<std::string> measuringWords(const std::vector<std::string>& words, const std::vector<std::string>& given,
                                        long rows);

}  // namespace recommend
