// Drives the core's EventLoop (sockets, timers, posted tasks of the HTTP and FTP
// engines) from Qt's event loop, so downloads and publishing run while the window
// stays responsive. It also installs the pump hook that long core operations call.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include "util/PumpMessages.h"

namespace tolmi {

class EventLoop;

namespace ui {

class EventLoopBridge : public QObject {
  Q_OBJECT
 public:
  // Watches loop.Fd() and the loop's next timer; installs the pump hook
  // (process Qt events, then run the core loop once without waiting).
  explicit EventLoopBridge(EventLoop& loop, QObject* parent = nullptr);
  // Removes the pump hook it installed (restoring the one before).
  ~EventLoopBridge() override;

  // Runs the core loop once without waiting and re-arms the timer. Called on
  // socket readiness and when the timer fires; callable after posting a task.
  void Poke();

 private:
  void Rearm();

  EventLoop& loop_;
  QSocketNotifier notifier_;
  QTimer timer_;
  PumpHook previousHook_;
};

}  // namespace ui
}  // namespace tolmi
