// Placeholder until the tree-guided moves land.
#include "PartitionSampler/PartitionSampler.h"
#include "U/U.h"

namespace {
[[noreturn]] void unsupported(std::ostream& logFile, const std::string& heuristics) {
  U::fail(logFile, "PartitionSampler::allIterations(). heuristics not supported: " + heuristics);
}
}  // namespace

bool PartitionSampler::splitMerge(const int*, int, int, const std::vector<int>&, int, int, int*,
                                  bool) const {
  unsupported(logFile, heuristics);
}
bool PartitionSampler::ishsplit(const std::vector<int>&, const std::vector<int>&, int&) const {
  unsupported(logFile, heuristics);
}
std::vector<Node> PartitionSampler::getTree(const std::vector<int>&, const std::string&) const {
  unsupported(logFile, heuristics);
}
void PartitionSampler::randomSplit(std::vector<int>&) const { unsupported(logFile, heuristics); }
double PartitionSampler::SuMneighborhoodSize(const int*, int, double*) const {
  unsupported(logFile, heuristics);
}
std::vector<double> PartitionSampler::ShMneighbor(const int*, int, int&) const {
  unsupported(logFile, heuristics);
}
void PartitionSampler::SMsampler() { unsupported(logFile, heuristics); }
double PartitionSampler::proposeSuM(bool&, bool&) { unsupported(logFile, heuristics); }
double PartitionSampler::proposeShM(bool&, bool&) { unsupported(logFile, heuristics); }
double PartitionSampler::getW(const int*, int, double) const { unsupported(logFile, heuristics); }
double PartitionSampler::w2q(double, const int*, int, bool) const {
  unsupported(logFile, heuristics);
}
