#include "driver/common_main.h"
#include "io/Files.h"

std::unique_ptr<Observable> makeModel(const std::string& model, const std::string& dataFile,
                                      std::stringstream& priorStream, std::ofstream& logFile) {
  const ModelEntry* entry = findModel(model);
  if (!entry) Files::fail(logFile, "main(). model not recognized: " + model);
  return entry->make(dataFile, priorStream, logFile);
}
