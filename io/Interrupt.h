// Interrupts. The console installs handlers for SIGINT, SIGTERM and SIGHUP (a closed
// terminal) that only record the signal; long loops (reading files, linkage, neighbour
// tables, enumeration, the moves) call checkInterrupt, which throws Interruption once a
// signal is recorded, so one signal ends the run within moments: the run loop abandons the
// move in progress, writes its files with the last accepted partition and stops with status
// 128 + signal. A second signal ends the process at once.
#pragma once
#include <signal.h>

// The signals that end a run cleanly.
inline constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Also ignores SIGPIPE and SIGXFSZ, so that a closed standard output or a file-size limit is
// a failed write like any other.
void installInterruptHandlers();
// The signal received since the handlers were installed, or 0.
int interruptSignal();
// Forgets a recorded signal (tests, and the R package before each run).
void clearInterrupt();
// Records a signal as the handlers would, for a front end that learns of an interrupt its
// own way (R polls for Ctrl-C or Esc); a signal already recorded is kept.
void requestInterrupt(int signal);

struct Interruption {
  int signal;
};
// Throws Interruption when a signal has been recorded. Called only where the chain state is
// consistent (no accepted proposal waits for its trace point).
inline void checkInterrupt() {
  if (const int signal = interruptSignal()) throw Interruption{signal};
}
