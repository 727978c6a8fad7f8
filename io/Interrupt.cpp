#include "io/Interrupt.h"

#include <signal.h>

#include <atomic>

namespace {
// Read by every thread of a run with heated chains; a lock-free atomic is safe in a handler.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free flag");

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
  for (int signo : kInterruptSignals) sigaction(signo, &action, nullptr);
  // A reader that went away, or a file-size limit, makes the write fail (EPIPE, EFBIG)
  // instead of killing the process: the run's failure path then says so and keeps its files.
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

int interruptSignal() { return received; }

void clearInterrupt() { received = 0; }

void requestInterrupt(int signal) {
  int none = 0;
  received.compare_exchange_strong(none, signal);
}
