// Interrupts. The console installs handlers for SIGINT and SIGTERM that only record the
// signal; long loops (reading files, linkage, neighbour tables, enumeration, the moves) call
// checkInterrupt, which throws Interruption once a signal is recorded, so one signal ends the
// run within moments: the run loop abandons the move in progress, writes its files with the
// last accepted partition and stops with status 128 + signal. A second signal ends the
// process at once.
#pragma once

void installInterruptHandlers();
// The signal received since the handlers were installed, or 0.
int interruptSignal();
// Forgets a recorded signal (tests).
void clearInterrupt();

struct Interruption {
  int signal;
};
// Throws Interruption when a signal has been recorded. Called only where the chain state is
// consistent (no accepted proposal waits for its trace point).
inline void checkInterrupt() {
  if (const int signal = interruptSignal()) throw Interruption{signal};
}
