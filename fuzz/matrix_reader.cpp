// libFuzzer entry point of the matrix reader target (fuzz/targets.h).
#include "fuzz/scratch.h"
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::matrixReader(data, size, fuzzing::scratchFile());
  return 0;
}
