// The console of the fuzz targets: messages go nowhere, so a run of millions of inputs is
// not slowed by printing their rejections.
#include <ostream>

#include "U/Console.h"
#include "U/ErrorStream.h"

std::ostream& vout() {
  static std::ostream nowhere(nullptr);
  return nowhere;
}

bool progressWanted() { return false; }
void progressShow(const char*) {}
void progressEnd() {}

std::ostream& verr() {
  static std::ostream nowhere(nullptr);
  return nowhere;
}
