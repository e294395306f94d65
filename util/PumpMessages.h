// Keeping the program responsive during long operations. Loading, saving and building call
// PumpMessages() between units of work; the event loop installs a hook that runs pending
// events (waiting at most the given milliseconds). Without a hook nothing happens, so the
// core and its tests run the same long operations without any loop.
#pragma once

#include <functional>

namespace tolmi {

using PumpHook = std::function<void(int maxWaitMs)>;

// Installs the hook (an empty function removes it). Returns the hook it replaces.
PumpHook SetPumpHook(PumpHook hook);

// Runs the installed hook once with a wait of 0 ms; does nothing when none is installed.
// A hook that calls PumpMessages() again is not re-entered.
void PumpMessages();

}  // namespace tolmi
