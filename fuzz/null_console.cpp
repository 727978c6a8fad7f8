// The console of the fuzz targets: messages go nowhere, so a run of millions of inputs is
// not slowed by printing their rejections.
#include <ostream>

#include "io/Console.h"

std::ostream& vout() {
  static std::ostream nowhere(nullptr);
  return nowhere;
}

std::ostream& verr() { return vout(); }

bool progressWanted() { return false; }
void progressShow(const char*) {}
void progressEnd() {}
void progressFinal(const char*) {}
