// Placeholder until the split-merge moves land.
#include "PartitionSampler/PartitionSampler.h"
#include "U/U.h"

namespace {
[[noreturn]] void unsupported(std::ostream& logFile, const std::string& heuristics) {
  U::fail(logFile, "PartitionSampler::allIterations(). heuristics not supported: " + heuristics);
}
}  // namespace

void PartitionSampler::JNSplitMerge() { unsupported(logFile, heuristics); }
double PartitionSampler::restrictedGibbsScan(const std::vector<int>&, std::vector<int>&, int, int,
                                             bool, const std::vector<int>&) {
  unsupported(logFile, heuristics);
}
double PartitionSampler::getRestrictedIntLik(const std::vector<int>&,
                                             const std::vector<int>&) const {
  unsupported(logFile, heuristics);
}
void PartitionSampler::Dahl() { unsupported(logFile, heuristics); }
void PartitionSampler::InfMixSRSplitMerge() { unsupported(logFile, heuristics); }
