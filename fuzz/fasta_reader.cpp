// libFuzzer entry point of the FASTA reader target (fuzz/targets.h).
#include "fuzz/scratch.h"
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::fastaReader(data, size, fuzzing::scratchFile());
  return 0;
}
