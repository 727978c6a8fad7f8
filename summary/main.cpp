#include <iostream>

#include "summary/summary.h"

int main(int argc, char** argv) {
  return runSummary(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
