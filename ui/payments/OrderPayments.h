// The orders window's payment commands: Charge (the gateway question, then the charge
// dialog for the selected record), Payment Gateway Setup and Settings (the Preferences
// pages), Transaction Log, and the gateway's news address. It owns the window's
// ChargeDesk, so charges outlive the dialog that started them.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>

#include "net/ChargeDesk.h"
#include "ui/ProjectWindows.h"
#include "ui/payments/ChargeDialog.h"
#include "ui/payments/TransactionLogWindow.h"

namespace tolmi::ui {

class OrderPayments : public QObject {
  Q_OBJECT
 public:
  // window: the orders window (parent of the dialogs). ordersChanged runs after the
  // charge dialog stored the merchant's input and after every charge's reply.
  OrderPayments(QWidget* window, const WindowContext& ctx, std::function<void()> ordersChanged);
  ~OrderPayments() override;

  // Charge for the record uid (0 or a folder: a dialog with nothing to charge). Null when
  // no dialog opened (no gateway, or the engine could not start).
  ChargeDialog* Charge(std::uint64_t uid);
  // Payment Gateway Setup and Settings: the Preferences window on its gateway page or on
  // "Order Server Settings".
  void GatewaySetup();
  void Settings();
  // The Transaction Log window (raised when already open).
  TransactionLogWindow* TransactionLog();
  // News, Payment Gateway: the chosen gateway's news address in the browser.
  void GatewayNews();

  ChargeDesk& desk() { return *desk_; }
  ChargeDialog* chargeDialog() const { return dialog_; }

 private:
  const GatewayDefinition* Gateway() const;
  bool OpenAddress(const std::string& address);

  QWidget* window_;
  WindowContext ctx_;
  std::function<void()> ordersChanged_;
  std::unique_ptr<ChargeDesk> desk_;
  QPointer<ChargeDialog> dialog_;
  QPointer<TransactionLogWindow> log_;
};

}  // namespace tolmi::ui
