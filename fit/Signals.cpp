#include "fit/Signals.h"

#include <signal.h>
#include <time.h>

#include <atomic>

#include "io/Interrupt.h"

namespace fit {
namespace {

// Written in the handler only, which blocks the other interrupt signals while it runs.
std::atomic<int> firstSignal{0};
std::atomic<long long> firstNanoseconds{0};
static_assert(std::atomic<long long>::is_always_lock_free, "the signal handler needs lock-free values");

long long monotonicNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);  // async-signal-safe
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void onSignal(int signo) {
  const long long now = monotonicNanoseconds();
  if (sameRequest(signo, now * 1e-9, firstSignal, firstNanoseconds * 1e-9)) return;
  // A request already recorded and still pending: this one is separate, so stop now. Once the
  // request is served (the flag cleared before the page is written), a new one is recorded.
  if (interruptSignal() != 0) {
    signal(signo, SIG_DFL);
    raise(signo);
    return;
  }
  firstSignal = signo;
  firstNanoseconds = now;
  requestInterrupt(signo);
}

}  // namespace

bool sameRequest(int signal, double seconds, int first, double firstSeconds) {
  return first != 0 && signal == first && seconds >= firstSeconds &&
         seconds - firstSeconds <= kSameRequestSeconds;
}

void installFitSignalHandlers() {
  installInterruptHandlers();
  struct sigaction action = {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signo : kInterruptSignals) sigaddset(&action.sa_mask, signo);
  for (int signo : kInterruptSignals) sigaction(signo, &action, nullptr);
}

}  // namespace fit
