// The Orders window's payment commands: Tools with Charge, Payment Gateway Setup,
// Settings and News (Server, Payment Gateway), and View, Transaction Log. The work is
// OrderPayments'; a charge's outcome refreshes the window's rows.
#include <QMenu>
#include <QMenuBar>

#include "orders/PriceCheck.h"
#include "ui/orders/OrdersWindow.h"
#include "ui/payments/OrderPayments.h"
#include "util/Browser.h"

namespace tolmi::ui {

void OrdersWindow::BuildPaymentsMenu() {
  payments_ = new OrderPayments(this, ctx_, [this] { Refresh(); });
  auto add = [this](QMenu* menu, const char* text, const char* name, auto run) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, run);
    return a;
  };
  QMenu* tools = menuBar()->addMenu("&Tools");
  add(tools, "Charge", "chargeAction", [this] {
    const OrderRecord* shown = ShownOrder();
    // An order whose figures differ from the catalogue is charged only when the merchant
    // says so, having seen the differences.
    if (shown && shown->priceMark == PriceMark::Differs &&
        ctx_.prompter.Ask(MarkedChargeQuestion(*shown), "Confirmation", PromptButtons::YesNo) !=
            PromptAnswer::Yes)
      return;
    payments_->Charge(shown ? shown->uid : selected_);
  });
  tools->addSeparator();
  add(tools, "Payment Gateway Setup", "gatewaySetupAction", [this] { payments_->GatewaySetup(); });
  add(tools, "Settings", "settingsAction", [this] { payments_->Settings(); });
  QMenu* news = tools->addMenu("News");
  add(news, "Server", "newsServerAction", [this] {
    const AppConfig& config = ctx_.session.config();
    if (!OpenInBrowser(ctx_.launcher, config.browser, config.server, config.newWindow))
      ShowBrowserError(ctx_.prompter);
  });
  add(news, "Payment Gateway", "newsGatewayAction", [this] { payments_->GatewayNews(); });
  QMenu* view = menuBar()->addMenu("&View");
  add(view, "Transaction Log", "transactionLogAction", [this] { payments_->TransactionLog(); });
}

}  // namespace tolmi::ui
