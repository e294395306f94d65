// tolmi-cli commands that talk to the order server and the payment gateway:
//   orders download [--leave] [--server URL --user U --password P]
//       downloads the waiting orders into the orders file and prints them
//   orders charge ORDER [--amount A] [--card NUMBER] ... [--force]
//       charges an order's card through the chosen gateway and logs the transaction; an
//       order whose figures differ from the catalogue (orders check) needs --force
// Server, user, password and gateway come from the configuration; options override them.
#include <cstdio>
#include <memory>
#include <ostream>

#include "app/AppSession.h"
#include "app/Globals.h"
#include "cli/Cli.h"
#include "cli/CliPrompter.h"
#include "net/ChargeSession.h"
#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "net/OrderDownload.h"
#include "orders/OrderNumbers.h"
#include "orders/OrdersFile.h"
#include "orders/PriceCheck.h"
#include "payments/CardData.h"
#include "util/Dates.h"

namespace tolmi::cli {
namespace {

// How long the command waits at most for the whole exchange (the engine's own time-outs
// normally end it long before).
constexpr int kRunLimitMs = 30 * 60 * 1000;

struct NetOptions {
  int timeoutMs = 0;  // 0: the system's own tick
  bool noProxy = false;
};

// One command run: an AppSession with the orders tree and the HTTP engine on its loop.
class OrdersNetRun {
 public:
  explicit OrdersNetRun(Context& ctx)
      : ctx_(ctx), prompter_(ctx.err, ctx.yes, ctx.no), app_(ctx.home, prompter_, clock_) {}

  bool Start(const NetOptions& options) {
    Result<StartupResult> started = app_.Start();
    if (!started) return Fail(started.status().message());
    // A damaged orders file or one held by another program stops the command: orders
    // received now must not be filed into a tree that lacks the merchant's orders.
    if (Status loaded = app_.LoadOrdersOnce(); !loaded) return Fail(loaded.message());
    if (!app_.StartNetwork(nullptr, !options.noProxy))
      return Fail("the network client could not start");
    return true;
  }

  // Runs the loop until done() or the limit.
  void RunUntil(const std::function<bool()>& done) {
    if (!loop().RunUntil(done, kRunLimitMs)) HttpCancelAll();
    loop().RunUntil(done, 1000);
  }

  bool SaveOrdersFile() {
    if (app_.SaveOrdersFile()) return true;
    return Fail("the orders file could not be saved");
  }

  // "config.ini" without touching "file": no project is open in these commands.
  void WriteConfig() {
    (void)WriteConfigFile(globals().config, globals().home + "/config.ini", prompter_);
  }

  bool Fail(const std::string& message) {
    ctx_.err << "tolmi-cli: " << message << "\n";
    ctx_.exitCode = 1;
    return false;
  }

  AppSession& app() { return app_; }
  AppGlobals& globals() { return app_.globals(); }
  OrdersTree& tree() { return app_.orders(); }
  EventLoop& loop() { return app_.loop(); }
  CliPrompter& prompter() { return prompter_; }
  const Clock& clock() const { return clock_; }
  std::ostream& out() { return ctx_.out; }
  std::ostream& err() { return ctx_.err; }

 private:
  Context& ctx_;
  CliPrompter prompter_;
  SystemClock clock_;
  AppSession app_;
};

const OrderRecord* FindOrderById(const OrdersTree& tree, const std::string& id) {
  const OrderRecord* found = nullptr;
  ForEachRecord(tree.records, [&](const OrderRecord& r) {
    if (!found && r.kind == RecordKind::Order && r.orderId == id) found = &r;
  });
  return found;
}

// "1000  id 7  05/12/26 15:30:00  9.00  Ann Lee": the date day first, as the orders list shows it.
std::string OrderLine(const OrderRecord& r) {
  std::string line = r.name + "  id " + r.orderId + "  ";
  line += r.orderDate ? OrderListDate(r.orderDate) : std::string("-");
  line += "  " + FormatCents(r.totalCents);
  for (const char* key : {"Name", "CardholderName", "Email"}) {
    if (const OrderField* f = FindField(r, key); f && !f->value.empty()) {
      line += "  " + f->value;
      break;
    }
  }
  return line;
}

struct DownloadOptions {
  NetOptions net;
  bool leave = false;
  std::string server, user, password;
};

void RunDownload(Context& ctx, const DownloadOptions& o) {
  OrdersNetRun run(ctx);
  if (!run.Start(o.net)) return;
  AppConfig& config = run.globals().config;
  OrderServerAccount account;
  account.serverUrl = o.server.empty() ? config.server : o.server;
  account.user = o.user.empty() ? config.orderUser : o.user;
  account.password = o.password.empty() ? config.orderPassword : o.password;
  account.versionNumber = run.globals().versionNumber;
  account.leaveOrdersOnServer = o.leave || config.orderLeave != 0;
  if (account.serverUrl.empty()) {
    run.Fail("no order server is set: give --server URL or set \"server\" in config.ini");
    return;
  }

  bool finished = false;
  OrderDownloadResult result;
  OrderDownloadHooks hooks;
  hooks.finished = [&](const OrderDownloadResult& r) {
    result = r;
    finished = true;
  };
  const int numberBefore = config.orderNumber;
  config.orderNumber = NextOrderNumber(run.tree(), config.orderNumber);
  OrderDownload session(run.loop(), run.tree(), config.orderNumber, run.globals().home,
                        run.prompter(), run.clock(), hooks);
  if (o.net.timeoutMs > 0) session.SetTimeoutMs(o.net.timeoutMs);
  session.SetLastOrderId(config.orderLast);
  if (!session.Start(account)) {
    run.Fail("the download did not start");
    return;
  }
  run.RunUntil([&] { return finished; });
  if (!finished) {
    run.Fail("the download did not finish");
    return;
  }
  if (result.resultCode != 0) {
    ctx.exitCode = 1;
    return;
  }

  for (const std::string& id : result.addedIds) {
    if (const OrderRecord* r = FindOrderById(run.tree(), id))
      run.out() << OrderLine(*r) << "\n";
  }
  run.out() << "Received " << result.ordersReceived << " orders (" << result.addedIds.size()
            << " new).\n";
  if (result.deleteAnswered) {
    run.out() << "Deleted " << result.receivedIds.size() << " orders on the server.\n";
  } else if (result.deleteSent) {
    run.err() << "The server did not answer the delete request: the orders stay on the server "
                 "and will not be filed twice.\n";
  } else if (account.leaveOrdersOnServer && result.ordersReceived > 0) {
    run.out() << "Orders left on the server.\n";
  }

  // With the orders left on the server nothing has saved them yet; a failed save before
  // the delete was already reported.
  bool ok = true;
  if (!result.addedIds.empty() && !result.saved) {
    if (account.leaveOrdersOnServer)
      ok = run.SaveOrdersFile();
    else
      ok = run.Fail("the orders file could not be saved; the orders stay on the server");
  }
  if (config.orderNumber != numberBefore || session.lastOrderId() != config.orderLast) {
    config.orderLast = session.lastOrderId();
    run.WriteConfig();
  }
  if (!ok) ctx.exitCode = 1;
}

struct ChargeOptions {
  NetOptions net;
  std::string order;
  std::string amount, card, holder, cardType, month, year;
  bool force = false;
};

void RunCharge(Context& ctx, const ChargeOptions& o) {
  OrdersNetRun run(ctx);
  if (!run.Start(o.net)) return;
  AppGlobals& globals = run.globals();
  const GatewayDefinition* gateway = FindGateway(globals.gateways, globals.config.gateway);
  if (!gateway) {
    run.prompter().Show(std::string(kGatewayNotSetupQuestion), std::string(kGatewayNotSetupTitle),
                        PromptIcon::Warning);
    run.Fail("no payment gateway is chosen (\"gateway=\" in config.ini)");
    return;
  }
  GatewayAccountValues account = globals.config.accountFields;
  if (!GatewaySetupComplete(gateway, account)) {
    run.prompter().Show(std::string(kGatewaySettingsQuestion), std::string(kGatewaySettingsTitle),
                        PromptIcon::Warning);
    run.Fail("the payment gateway settings are incomplete");
    return;
  }

  // The order by its number, else by its order-server id.
  OrderRecord* order = nullptr;
  ForEachRecord(run.tree().records, [&](OrderRecord& r) {
    if (!order && r.kind == RecordKind::Order && r.name == o.order) order = &r;
  });
  if (!order) {
    ForEachRecord(run.tree().records, [&](OrderRecord& r) {
      if (!order && r.kind == RecordKind::Order && r.orderId == o.order) order = &r;
    });
  }
  if (!order) {
    run.Fail("no order '" + o.order + "' in the orders file");
    return;
  }
  // The question the orders window asks; the command answers it with --force only.
  if (order->priceMark == PriceMark::Differs && !o.force) {
    run.err() << MarkedChargeQuestion(*order) << "\n";
    run.Fail("order " + order->name + " differs from the catalogue: not charged (--force charges it)");
    return;
  }

  ChargeInput input = ChargeInputFromOrder(order);
  if (!o.amount.empty()) input.amount = o.amount;
  if (!o.card.empty()) input.cardNumber = o.card;
  if (!o.holder.empty()) input.cardHolder = o.holder;
  if (!o.cardType.empty()) input.cardType = o.cardType;
  if (!o.month.empty()) input.expiryMonth = o.month;
  if (!o.year.empty()) input.expiryYear = o.year;
  if (Status checked = ApplyChargeInput(*order, input); !checked.ok()) {
    run.prompter().Show(checked.message(), "Error", PromptIcon::Error);
    ctx.exitCode = 1;
    return;
  }

  ChargeContext context = run.app().MakeChargeContext();
  bool finished = false;
  ChargeResult result;
  ChargeSessionHooks hooks;
  hooks.finished = [&](const ChargeResult& r) {
    result = r;
    finished = true;
  };
  ChargeSession session(run.loop(), run.tree(), globals.home, run.clock(), hooks);
  if (o.net.timeoutMs > 0) session.SetTimeoutMs(o.net.timeoutMs);
  if (Status started = session.Start(*order, *gateway, context); !started.ok()) {
    run.Fail(started.message());
    return;
  }
  run.RunUntil([&] { return finished; });
  if (!finished) {
    run.Fail("the charge did not finish");
    return;
  }

  // A gateway that echoes the card number does not get it into a captured log.
  const std::string reply = MaskCardNumbersIn(result.outcome.replyText);
  if (result.outcome.verdict == ChargeVerdict::NoReply) {
    run.err() << reply;
  } else {
    run.out() << reply;
    if (!reply.empty() && reply.back() != '\n') run.out() << "\n";
  }
  run.out() << result.outcome.StatusText() << "\n";
  if (!result.logged && result.outcome.verdict != ChargeVerdict::NoReply)
    run.err() << "tolmi-cli: the transaction was not logged: " << result.logError << "\n";
  // The entered card details were stored on the order, and the outcome with them.
  bool saved = run.SaveOrdersFile();
  ctx.exitCode = saved && result.outcome.approved() ? 0 : 1;
}

void AddNetOptions(CLI::App* cmd, NetOptions& net) {
  cmd->add_option("--timeout", net.timeoutMs, "Time-out tick in milliseconds (default 64000)");
  cmd->add_flag("--no-proxy", net.noProxy, "Ignore the proxy settings");
}

void Setup(CLI::App& app, Context& ctx) {
  CLI::App* orders = CommandGroup(app, "orders", "Manage the orders file");

  auto d = std::make_shared<DownloadOptions>();
  CLI::App* download =
      orders->add_subcommand("download", "Download the waiting orders from the order server");
  download->add_flag("--leave", d->leave, "Leave the orders on the server");
  download->add_option("--server", d->server, "Order server address (default: the configured)");
  download->add_option("--user", d->user, "Order server user name (default: the configured)");
  download->add_option("--password", d->password, "Order server password (default: the saved)");
  AddNetOptions(download, d->net);
  download->callback([&ctx, d] { RunDownload(ctx, *d); });

  auto c = std::make_shared<ChargeOptions>();
  CLI::App* charge = orders->add_subcommand("charge", "Charge an order's card through the gateway");
  charge->add_option("ORDER", c->order, "Order number (or order-server id)")->required();
  charge->add_option("--amount", c->amount, "Amount to charge (default: the order total)");
  charge->add_option("--card", c->card, "Card number (default: the order's CardNumber)");
  charge->add_option("--holder", c->holder, "Card holder (default: the order's CardholderName)");
  charge->add_option("--card-type", c->cardType, "Card type (default: the order's CardType)");
  charge->add_option("--expiry-month", c->month, "Expiry month (default: the order's)");
  charge->add_option("--expiry-year", c->year, "Expiry year (default: the order's)");
  charge->add_flag("--force", c->force, "Charge an order that differs from the catalogue");
  AddNetOptions(charge, c->net);
  charge->callback([&ctx, c] { RunCharge(ctx, *c); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
