// One run of the vornak program as a child process of vornak-fit: started in a folder with its
// standard output and error sent to files there, interrupted with SIGINT (which makes it write
// its files and end), killed only after a bounded wait. The child has its own process group,
// so a Ctrl-C at the terminal reaches vornak-fit alone, which passes exactly one SIGINT on;
// and it receives SIGINT when vornak-fit dies, so no chain outlives it.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace fit {

class Chain {
 public:
  // Starts exe with args (the words after its name) in workDir. Throws FitError when the
  // process cannot be created; a program that cannot be run ends with status 127 and a line
  // on its standard error.
  Chain(const std::string& exe, const std::vector<std::string>& args, const std::string& workDir,
        const std::string& outFile, const std::string& errFile);
  Chain(const Chain&) = delete;
  Chain& operator=(const Chain&) = delete;
  // A child still running is killed and reaped.
  ~Chain();

  // Whether it still runs (an ended child is reaped and its status kept).
  bool running();
  // One SIGINT; later calls do nothing.
  void interrupt();
  // Waits up to seconds for the end, then kills it; returns once it is reaped.
  void finish(double seconds);
  // Exit status 0..255, or 128 + signal; -1 while running.
  int status() const { return status_; }
  // Whether it ended as a vornak run ends: completed (1) or interrupted (128 + 2, 128 + 15).
  bool endedNormally() const;
  bool killed() const { return killed_; }
  // The signal that ended it when vornak-fit did not ask for that end: one that killed it
  // (SIGKILL, SIGSEGV), or one it caught and ended on, writing its files (exit 128 + SIGINT,
  // SIGTERM, SIGHUP), that vornak-fit did not send; else 0.
  int foreignSignal() const;
  // Whether it died by a signal without ending as a run ends (its draws end where it died).
  bool died() const { return diedBy_ != 0 && !killed_; }

  const std::string& outFile() const { return outFile_; }
  const std::string& errFile() const { return errFile_; }

 private:
  bool reap(int options);

  pid_t pid_ = -1;
  int status_ = -1;
  int diedBy_ = 0;  // the signal that ended the process, 0 when it exited
  bool interrupted_ = false, killed_ = false;
  std::string outFile_, errFile_;
};

// The vornak program beside this one (/proc/self/exe), else the first on PATH. Throws FitError.
std::string findEngine();

// "signal 9 (Killed)".
std::string signalName(int signal);

// The one line a failed run gave: the last line of its standard output that is not one of the
// lines every run prints, else the last line of its standard error.
std::string failureLine(const std::string& outFile, const std::string& errFile);

// The draws file (relative to the run's folder) that a run of the vornak program with args
// (the words after its name, with -d) writes, as the program's own plan names it: no printed
// line is parsed, so any byte of a file name is kept. Throws FitError when the words are
// refused.
std::string drawsFileOf(const std::vector<std::string>& args);

}  // namespace fit
