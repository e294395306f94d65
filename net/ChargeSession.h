// Charging an order's card over the network: one session on the EventLoop sends the
// request that payments/Charge.h builds from the gateway's template (a post or a plain
// address), judges the reply by the gateway's reply kind, marks the order Charged or
// Rejected, and appends the transaction log line. No reply at all (refused connection,
// time-out, empty reply) gives "Processing Error C101" and changes nothing.
//
// The HTTP engine must have been started (HttpStartup) on the same loop. Everything runs
// on the loop's thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "orders/OrdersTree.h"
#include "payments/Charge.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

class EventLoop;

// What one charge did, handed to the finished hook.
struct ChargeResult {
  ChargeOutcome outcome;      // verdict, the reply box text, the kind-1 code
  bool orderUpdated = false;  // the order was found and its status set
  bool logged = false;        // the transaction log line was written
  std::string logError;       // why it was not, when a line was due
};

// Reports for the dialog. Each may be left empty.
struct ChargeSessionHooks {
  // The status box: "Working" when the request goes out, then "Approved", "Rejected" or
  // "Error".
  std::function<void(const std::string& text)> status;
  // Called once for every Start that succeeded.
  std::function<void(const ChargeResult& result)> finished;
};

class ChargeSession {
 public:
  // tree is the caller's and must outlive the session; home holds "Logs".
  ChargeSession(EventLoop& loop, OrdersTree& tree, std::string home, const Clock& clock,
                ChargeSessionHooks hooks = {});
  // A request still in flight is left to end on its own; its reply is then ignored, so
  // keep the session for as long as a reply may come (the orders window, not the dialog:
  // a charge the dialog's Cancel closed still gets judged, applied and logged).
  ~ChargeSession();
  ChargeSession(const ChargeSession&) = delete;
  ChargeSession& operator=(const ChargeSession&) = delete;

  // Sends the charge of order (an order of tree, whose inputs ApplyChargeInput has already
  // stored) through gateway. The order is found again by its name and id when the reply
  // comes, so the tree may change meanwhile. Fails, sending nothing and calling no hook,
  // (InvalidArgument) while a charge is running or when the gateway has no request
  // template. An address the HTTP client cannot use ends as C101.
  Status Start(const OrderRecord& order, const GatewayDefinition& gateway,
               const ChargeContext& context);

  bool Busy() const { return busy_; }
  // Replaces the hooks, e.g. when the dialog that showed the charge closes.
  void SetHooks(ChargeSessionHooks hooks) { hooks_ = std::move(hooks); }
  // The engine's time-out tick for the request; 0 (the default) leaves it as it is.
  void SetTimeoutMs(int ms) { timeoutMs_ = ms; }

 private:
  void OnReply(std::string reply);

  EventLoop& loop_;
  OrdersTree& tree_;
  std::string home_;
  const Clock& clock_;
  ChargeSessionHooks hooks_;
  int timeoutMs_ = 0;

  bool busy_ = false;
  GatewayDefinition gateway_;
  ChargeContext context_;
  OrderRecord charged_;  // the order as it was sent
  std::shared_ptr<bool> alive_;
};

}  // namespace tolmi
