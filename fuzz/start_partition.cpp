// libFuzzer entry point of the start partition target (fuzz/targets.h).
#include "fuzz/scratch.h"
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::startPartitionReader(data, size, fuzzing::scratchFile());
  return 0;
}
