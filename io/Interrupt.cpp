#include "io/Interrupt.h"

#include <signal.h>

namespace {
volatile sig_atomic_t received = 0;

void onSignal(int signo) {
  if (received != 0) {
    // Second signal: the default action ends the process now.
    signal(signo, SIG_DFL);
    raise(signo);
    return;
  }
  received = signo;
}
}  // namespace

void installInterruptHandlers() {
  struct sigaction action = {};
  action.sa_handler = onSignal;
  // Reads and writes in progress resume instead of failing with EINTR.
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int interruptSignal() { return received; }

void clearInterrupt() { received = 0; }

void requestInterrupt(int signal) {
  if (received == 0) received = signal;
}
