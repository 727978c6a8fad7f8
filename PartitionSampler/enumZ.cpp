// Placeholder until the enumeration lands.
#include "PartitionSampler/PartitionSampler.h"
#include "U/U.h"

void PartitionSampler::enumZ(const std::string&) {
  U::fail(logFile, "PartitionSampler::enumZ(). enumeration not available yet");
}
