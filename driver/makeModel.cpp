#include "U/RunError.h"
#include "U/U.h"
#include "driver/common_main.h"

std::unique_ptr<Observable> makeModel(const std::string& model, const std::string&,
                                      std::stringstream&, std::ofstream& logFile) {
  U::fail(logFile, "main(). model not available yet: " + model);
}
