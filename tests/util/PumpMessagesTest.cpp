// The message pump runs its hook once per call and never from inside it.
#include <gtest/gtest.h>

#include "util/PumpMessages.h"

namespace tolmi {
namespace {

TEST(PumpMessages, RunsTheHookOnceAndNeverReentersIt) {
  PumpMessages();  // no hook: nothing happens
  int calls = 0;
  int lastWait = -1;
  PumpHook previous = SetPumpHook([&](int maxWaitMs) {
    ++calls;
    lastWait = maxWaitMs;
    PumpMessages();  // a nested pump from inside the loop is ignored
  });
  PumpMessages();
  PumpMessages();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(lastWait, 0);
  SetPumpHook(previous);
  PumpMessages();
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tolmi
