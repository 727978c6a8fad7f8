#include "io/U.h"
#include "driver/common_main.h"
#include "models/HDBern.h"
#include "models/ProteinSequence.h"
#include "models/kmeans2.h"
#include "models/mclust2.h"

std::unique_ptr<Observable> makeModel(const std::string& model, const std::string& dataFile,
                                      std::stringstream& priorStream, std::ofstream& logFile) {
  double scale = 1.0;
  if (model == "ProteinSequence")
    return std::make_unique<ProteinSequence>(dataFile, priorStream, logFile);
  if (model == "mclust2") return std::make_unique<mclust2>(dataFile, priorStream, logFile, scale);
  if (model == "HDBern") return std::make_unique<HDBern>(dataFile, priorStream, logFile, scale);
  if (model == "HDGBern") return std::make_unique<HDGBern>(dataFile, priorStream, logFile, scale);
  if (model == "kmeans2") {
    scale = 1000.0;
    return std::make_unique<kmeans2>(dataFile, logFile, scale);
  }
  U::fail(logFile, "main(). model not recognized: " + model);
}
