// The "Online Transaction Processing - <gateway>" dialog: amount, card number, holder,
// type and expiry of one order, the animated status and the gateway's reply. Its states
// come from payments/ChargeDialog; the charge itself runs on the orders window's
// ChargeDesk, so Cancel closes the dialog while a reply still on its way is applied to
// the order and logged.
#pragma once

#include <QDialog>
#include <ctime>
#include <functional>
#include <string>

#include "net/ChargeDesk.h"
#include "payments/ChargeDialog.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tolmi::ui {

struct ChargeDialogHooks {
  std::function<OrderRecord*()> order;                 // the order charged; null when gone
  std::function<const GatewayDefinition*()> gateway;   // the gateway chosen now
  std::function<ChargeContext()> context;              // account values, company, now
  std::function<void()> inputStored;                   // the order's fields may have changed
  std::function<void()> openGatewaySetup;              // "Yes" to the settings question
  std::function<void()> openLog;                       // "Log"
  std::function<void()> openSupport;                   // "Support"
};

class ChargeDialog : public QDialog {
  Q_OBJECT
 public:
  // order: the record selected when the dialog opened (null or a folder: nothing to
  // charge). The desk must outlive the dialog.
  ChargeDialog(QWidget* parent, ChargeDesk& desk, const GatewayDefinition& gateway,
               const OrderRecord* order, std::time_t now, ChargeDialogHooks hooks);
  ~ChargeDialog() override;

  // The Charge button.
  void Charge();
  // Cancel: "Canceled", the dialog closes; a running charge goes on without it.
  void reject() override;

  ChargeDialogState state() const { return model_.state; }

 private:
  void Finished(const ChargeResult& result);
  void ShowState();
  void Detach();

  ChargeDesk& desk_;
  ChargeDialogHooks hooks_;
  ChargeDialogModel model_;
  int chargeId_ = 0;
  int tick_ = 0;

  QLineEdit* amount_ = nullptr;
  QLineEdit* cardNumber_ = nullptr;
  QLineEdit* cardHolder_ = nullptr;
  QComboBox* cardType_ = nullptr;
  QComboBox* month_ = nullptr;
  QComboBox* year_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* reply_ = nullptr;
  QPushButton* charge_ = nullptr;
  QTimer* animation_ = nullptr;
};

}  // namespace tolmi::ui
