// Interrupts of a long search. The console installs handlers for SIGINT and SIGTERM that
// only record the signal; the run loop notices it after the current move, writes its files
// as at a normal end and stops with status 128 + signal. A second signal ends the process
// at once.
#pragma once

void installInterruptHandlers();
// The signal received since the handlers were installed, or 0.
int interruptSignal();
// Forgets a recorded signal (tests, and the R package before each run).
void clearInterrupt();
// Records a signal as the handlers would, for a front end that learns of an interrupt its
// own way (R polls for Ctrl-C or Esc); a signal already recorded is kept.
void requestInterrupt(int signal);
