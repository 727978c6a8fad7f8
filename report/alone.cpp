#include "report/alone.h"

#include <algorithm>

namespace report {

std::string everyRowAloneNote(const std::vector<int>& labels) {
  if (labels.size() < 2) return "";
  std::vector<int> sorted = labels;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) return "";
  return "Every observation is alone in a cluster of its own: no two were found alike enough "
         "to share one. With many columns and few rows this often comes from the model's prior "
         "rather than the data (for a real matrix, -m diagonal sets its prior per column).";
}

}  // namespace report
