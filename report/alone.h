// The plain words for an answer that puts every observation in a cluster of its own, which a
// count of clusters alone ("60 clusters among 60 observations") does not say.
#pragma once
#include <string>
#include <vector>

namespace report {

// The note for the estimate's labels when there are at least two observations and no two
// share a label; "" otherwise.
std::string everyRowAloneNote(const std::vector<int>& labels);

}  // namespace report
