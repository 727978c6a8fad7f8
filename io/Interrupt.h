// Interrupts of a long search. The console installs handlers for SIGINT and SIGTERM that
// only record the signal; the run loop notices it after the current move, writes its files
// as at a normal end and stops with status 128 + signal. A second signal ends the process
// at once.
#pragma once

void installInterruptHandlers();
// The signal received since the handlers were installed, or 0.
int interruptSignal();
// Forgets a recorded signal (tests).
void clearInterrupt();
