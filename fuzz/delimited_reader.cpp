// libFuzzer entry point of the delimited-file reader target (fuzz/targets.h).
#include "fuzz/scratch.h"
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::delimitedReader(data, size, fuzzing::scratchFile());
  return 0;
}
