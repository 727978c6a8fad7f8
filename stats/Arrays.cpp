#include "stats/Arrays.h"

bool Arrays::compareArray(const std::vector<int>& a1, const std::vector<int>& a2, int size) {
  bool sameness = a1[0] == a2[0];
  for (int i = 1; i < size; i++)
    if ((a1[i] == a2[i]) != sameness) return false;
  return true;
}
