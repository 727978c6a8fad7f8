// The one way a run ends early. The line that explains the failure is written where it
// happens; the exception carries it to the entry points, which turn it into an exit status
// (console) or an error returned to R. Nothing else in the code calls exit.
#pragma once
#include <stdexcept>
#include <string>

struct RunError : std::runtime_error {
  int status;
  explicit RunError(const std::string& line, int exitStatus = -1)
      : std::runtime_error(line), status(exitStatus) {}
};
