#include "ui/EventLoopBridge.h"

#include <QCoreApplication>

#include "net/EventLoop.h"

namespace tolmi::ui {

EventLoopBridge::EventLoopBridge(EventLoop& loop, QObject* parent)
    : QObject(parent), loop_(loop), notifier_(loop.Fd(), QSocketNotifier::Read) {
  timer_.setSingleShot(true);
  connect(&notifier_, &QSocketNotifier::activated, this, [this] { Poke(); });
  connect(&timer_, &QTimer::timeout, this, [this] { Poke(); });
  previousHook_ = SetPumpHook([this](int maxWaitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, maxWaitMs);
    loop_.RunOnce(0);
    Rearm();
  });
  Rearm();
}

EventLoopBridge::~EventLoopBridge() { SetPumpHook(std::move(previousHook_)); }

void EventLoopBridge::Poke() {
  loop_.RunOnce(0);
  Rearm();
}

void EventLoopBridge::Rearm() {
  // Posted tasks count as due now; a loop with nothing pending needs no timer.
  int next = loop_.TaskCount() > 0 ? 0 : loop_.NextTimeoutMs();
  if (next < 0) {
    timer_.stop();
    return;
  }
  timer_.start(next);
}

}  // namespace tolmi::ui
