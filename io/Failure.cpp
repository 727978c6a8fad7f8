#include "io/Failure.h"

#include "io/Console.h"
#include "io/RunError.h"
#include "io/VisibleText.h"

namespace {

enum Destination { kLog = 1, kStandardOutput = 2, kBoth = kLog | kStandardOutput };

struct Route {
  Failure kind;
  int destination;
};

const Route kRoutes[] = {
    {Failure::Setting, kStandardOutput},
    {Failure::Input, kBoth},
    {Failure::Internal, kBoth},
    {Failure::ModelOperation, kLog},
    {Failure::Interrupted, kLog},
};

int destinationOf(Failure kind) {
  for (const Route& route : kRoutes)
    if (route.kind == kind) return route.destination;
  return kBoth;
}

}  // namespace

void failRun(std::ostream& log, Failure kind, const std::string& text, int status,
             const std::string& logName) {
  // Lines name offending input: its control characters are shown, never sent raw.
  const std::string line = visibleText(text);
  const int destination = destinationOf(kind);
  const bool logIsConsole = &log == &vout();
  if (destination & kLog) {
    log << line << '\n';
    log.flush();
    if (!log && !logName.empty()) failRun(log, Failure::Input, "Fail to write " + logName);
  }
  if ((destination & kStandardOutput) && !((destination & kLog) && logIsConsole))
    vout() << line << '\n';
  vout().flush();
  if (destination == kLog && !logIsConsole) {
    verr() << line << '\n';
    verr().flush();
  }
  throw RunError(line, status);
}
