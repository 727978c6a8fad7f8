// libFuzzer entry point of the prior text target (fuzz/targets.h).
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::priorTextReader(data, size);
  return 0;
}
