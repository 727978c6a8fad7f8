// How a run ends early: every failure line goes through failRun, which looks up where lines
// of its kind belong (the run log, standard output, or both) in one table, writes the line
// there (control characters of the input it names shown as escapes), flushes, and throws
// RunError. A line meant for the log alone is copied to standard
// error, so a console run never stops silently.
#pragma once
#include <ostream>
#include <string>

enum class Failure {
  Setting,         // a setting refused by the run setup: standard output
  Input,           // a file, its data or a write failed: the message stream and standard output
  Internal,        // an impossible state or an unsupported heuristic: log and standard output
  ModelOperation,  // an operation the model does not implement: the log
  Interrupted,     // a signal ended the run: the log
};

// Writes line where its kind goes and throws RunError(line, status). log is the run log or
// another message stream (standard output itself counts once). When logName is given and the
// log cannot take the line, the run ends with "Fail to write " + logName instead.
[[noreturn]] void failRun(std::ostream& log, Failure kind, const std::string& line,
                          int status = -1, const std::string& logName = "");

// The console of the chain this thread runs: standard output and standard error, unless a
// ChainConsole routes them to the chain's own buffers (a heated copy on a worker thread, whose
// lines the main thread writes out; in R only the main thread may print). failRun writes its
// console lines there, and a failure whose log is vout() itself goes there too.
std::ostream& chainOut();
std::ostream& chainErr();
class ChainConsole {
 public:
  ChainConsole(std::ostream& out, std::ostream& err);
  ~ChainConsole();
  ChainConsole(const ChainConsole&) = delete;
  ChainConsole& operator=(const ChainConsole&) = delete;

 private:
  std::ostream* previousOut_;
  std::ostream* previousErr_;
};

// Remembers why a write to fileName failed (an errno value), for failWrite.
void noteWriteError(const std::string& fileName, int error);
// Ends the run with the input failure "Fail to write " + fileName. Its bytes are specified, so
// the reason (error when not 0, else the one noted for that file, if any) goes on a line of
// its own to standard error: "Fail to write NAME: REASON".
[[noreturn]] void failWrite(std::ostream& log, const std::string& fileName, int error = 0);
