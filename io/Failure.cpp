#include "io/Failure.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>

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

thread_local std::ostream* routedOut = nullptr;
thread_local std::ostream* routedErr = nullptr;

// The last write failure noted for each file.
std::map<std::string, int> notedErrors;

int destinationOf(Failure kind) {
  for (const Route& route : kRoutes)
    if (route.kind == kind) return route.destination;
  return kBoth;
}

}  // namespace

std::ostream& chainOut() { return routedOut ? *routedOut : vout(); }
std::ostream& chainErr() { return routedErr ? *routedErr : verr(); }

ChainConsole::ChainConsole(std::ostream& out, std::ostream& err)
    : previousOut_(routedOut), previousErr_(routedErr) {
  routedOut = &out;
  routedErr = &err;
}

ChainConsole::~ChainConsole() {
  routedOut = previousOut_;
  routedErr = previousErr_;
}

void failRun(std::ostream& given, Failure kind, const std::string& text, int status,
             const std::string& logName) {
  // Lines name offending input: its control characters are shown, never sent raw.
  const std::string line = visibleText(text);
  const int destination = destinationOf(kind);
  std::ostream& out = chainOut();
  const bool logIsConsole = &given == &vout() || &given == &out;
  std::ostream& log = logIsConsole ? out : given;
  if (destination & kLog) {
    log << line << '\n';
    log.flush();
    if (!log && !logName.empty()) failWrite(log, logName, errno);
  }
  if ((destination & kStandardOutput) && !((destination & kLog) && logIsConsole))
    out << line << '\n';
  out.flush();
  if (destination == kLog && !logIsConsole) {
    chainErr() << line << '\n';
    chainErr().flush();
  }
  throw RunError(line, status);
}

void noteWriteError(const std::string& fileName, int error) {
  notedErrors[fileName] = error;
}

// A stream that failed at an earlier write keeps no errno: a file that reached the process's
// file-size limit is the one reason that can still be told from outside.
int sizeLimitError(const std::string& fileName) {
  struct rlimit limit;
  struct stat status;
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      stat(fileName.c_str(), &status) == 0 && static_cast<rlim_t>(status.st_size) >= limit.rlim_cur)
    return EFBIG;
  return 0;
}

void failWrite(std::ostream& log, const std::string& fileName, int error) {
  const auto noted = notedErrors.find(fileName);
  if (error == 0 && noted != notedErrors.end()) error = noted->second;
  if (error == 0) error = sizeLimitError(fileName);
  if (error != 0) {
    chainErr() << visibleText("Fail to write " + fileName + ": " + std::strerror(error)) << '\n';
    chainErr().flush();
  }
  failRun(log, Failure::Input, "Fail to write " + fileName);
}
