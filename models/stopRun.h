// Ends a run from inside a model with a line that belongs on the run log only (operations a
// model does not implement, impossible states); U::fail is for lines that also go to
// standard output.
#pragma once
#include <ostream>
#include <string>

#include "io/RunError.h"

[[noreturn]] inline void stopOnLog(std::ostream& logFile, const std::string& line) {
  logFile << line << '\n';
  logFile.flush();
  throw RunError(line);
}
