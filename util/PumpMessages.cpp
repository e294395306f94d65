#include "util/PumpMessages.h"

#include <utility>

namespace tolmi {

namespace {

PumpHook& Hook() {
  static PumpHook hook;
  return hook;
}

bool gPumping = false;

}  // namespace

PumpHook SetPumpHook(PumpHook hook) {
  return std::exchange(Hook(), std::move(hook));
}

void PumpMessages() {
  if (gPumping || !Hook()) return;
  gPumping = true;
  // Copy, so that a hook which replaces itself is not destroyed while it runs.
  PumpHook hook = Hook();
  hook(0);
  gPumping = false;
}

}  // namespace tolmi
