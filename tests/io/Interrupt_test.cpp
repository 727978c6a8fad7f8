// The interrupt handlers, each case in a child process of its own: the first SIGINT, SIGTERM
// or SIGHUP is only recorded, the second ends the process by that signal.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>

#include "io/Interrupt.h"

namespace {

void recordThenDie(int signo) {
  installInterruptHandlers();
  if (interruptSignal() != 0) std::_Exit(2);
  raise(signo);
  if (interruptSignal() != signo) std::_Exit(3);  // the first one must only be recorded
  clearInterrupt();
  if (interruptSignal() != 0) std::_Exit(4);
  raise(signo);  // recorded again after clearInterrupt
  if (interruptSignal() != signo) std::_Exit(5);
  raise(signo);
  std::_Exit(6);  // the second must not return
}

TEST(InterruptHandlersDeathTest, FirstSignalIsRecordedSecondEndsTheProcess) {
  for (int signo : kInterruptSignals) {
    SCOPED_TRACE(signo);
    EXPECT_EXIT(recordThenDie(signo), ::testing::KilledBySignal(signo), "");
  }
}

// A front end that learns of an interrupt its own way (R) records it like a first signal: the
// earlier signal wins, and no handler or process state is involved.
TEST(RequestInterrupt, RecordsLikeASignalAndKeepsTheFirst) {
  clearInterrupt();
  requestInterrupt(SIGINT);
  EXPECT_EQ(interruptSignal(), SIGINT);
  requestInterrupt(SIGTERM);
  EXPECT_EQ(interruptSignal(), SIGINT);
  clearInterrupt();
  EXPECT_EQ(interruptSignal(), 0);
}

}  // namespace
