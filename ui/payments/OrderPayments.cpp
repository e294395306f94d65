#include "ui/payments/OrderPayments.h"

#include "orders/OrdersView.h"
#include "payments/Gateways.h"
#include "ui/payments/ChargeDialog.h"
#include "ui/payments/TransactionLogWindow.h"
#include "util/Browser.h"

namespace tolmi::ui {

OrderPayments::OrderPayments(QWidget* window, const WindowContext& ctx,
                             std::function<void()> ordersChanged)
    : QObject(window),
      window_(window),
      ctx_{window, ctx.session, ctx.prompter, ctx.chooser, ctx.launcher},
      ordersChanged_(std::move(ordersChanged)) {
  AppSession& s = ctx_.session;
  desk_ = std::make_unique<ChargeDesk>(s.loop(), s.orders(), s.home(), s.clock(), ctx_.prompter);
  desk_->SetOnFinished([this](const ChargeResult&) {
    if (ordersChanged_) ordersChanged_();
  });
}

OrderPayments::~OrderPayments() {
  // The dialog lets go of its charge before the desk goes.
  delete dialog_.data();
}

const GatewayDefinition* OrderPayments::Gateway() const {
  return FindGateway(ctx_.session.globals().gateways, ctx_.session.config().gateway);
}

bool OrderPayments::OpenAddress(const std::string& address) {
  const AppConfig& config = ctx_.session.config();
  if (OpenInBrowser(ctx_.launcher, config.browser, address, config.newWindow)) return true;
  ShowBrowserError(ctx_.prompter);
  return false;
}

ChargeDialog* OrderPayments::Charge(std::uint64_t uid) {
  switch (ChargeCommand(Gateway(), ctx_.prompter)) {
    case ChargeCommandStep::OpenGatewaySetup: GatewaySetup(); return nullptr;
    case ChargeCommandStep::Nothing: return nullptr;
    case ChargeCommandStep::OpenDialog: break;
  }
  AppSession& session = ctx_.session;
  if (!session.networkStarted() && !session.StartNetwork(nullptr)) return nullptr;
  // One dialog at a time; closing an older one leaves its charge running.
  if (dialog_) dialog_->reject();
  const GatewayDefinition* gateway = Gateway();
  ChargeDialogHooks hooks;
  hooks.order = [this, uid]() -> OrderRecord* {
    OrderRecord* r = FindRecord(ctx_.session.orders().records, uid);
    return r && r->kind == RecordKind::Order ? r : nullptr;
  };
  hooks.gateway = [this] { return Gateway(); };
  hooks.context = [this] { return ctx_.session.MakeChargeContext(); };
  hooks.inputStored = [this] {
    if (ordersChanged_) ordersChanged_();
  };
  hooks.openGatewaySetup = [this] { GatewaySetup(); };
  hooks.openLog = [this] { TransactionLog(); };
  hooks.openSupport = [this] {
    if (const GatewayDefinition* g = Gateway(); g && !g->support.empty()) OpenAddress(g->support);
  };
  auto* dialog = new ChargeDialog(window_, *desk_, *gateway,
                                  FindRecord(session.orders().records, uid), session.clock().Now(),
                                  std::move(hooks));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog_ = dialog;
  dialog->show();
  return dialog;
}

void OrderPayments::GatewaySetup() {
  (void)PreferencesCommand(ctx_, PreferencesPage::PaymentGateway);
}

void OrderPayments::Settings() { (void)PreferencesCommand(ctx_, PreferencesPage::OrderServer); }

TransactionLogWindow* OrderPayments::TransactionLog() {
  if (log_) {
    log_->show();
    log_->raise();
    log_->activateWindow();
    return log_;
  }
  AppSession& session = ctx_.session;
  auto* window = new TransactionLogWindow(window_, session.home(), session.config().dateFormat,
                                          ctx_.chooser, ctx_.prompter, session.clock().Now());
  log_ = window;
  window->show();
  return window;
}

void OrderPayments::GatewayNews() {
  if (const GatewayDefinition* g = Gateway(); g && !g->news.empty()) OpenAddress(g->news);
}

}  // namespace tolmi::ui
