// The orders window's card charges. The desk keeps every charge session for as long as
// the window lives, so a reply that arrives after the dialog's Cancel is still judged,
// applied to the order and logged; the dialog only borrows a charge's reports until it
// closes. It also runs the checks of the window's Charge command and of the dialog's
// Charge button, with their questions and messages.
//
// Everything runs on the loop's thread; the HTTP engine must have been started on it.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/ChargeSession.h"

namespace tolmi {

// What the orders window's Charge command does next.
enum class ChargeCommandStep { OpenDialog, OpenGatewaySetup, Nothing };

// The Charge command: with a chosen gateway the dialog opens; without one the question
// kGatewayNotSetupQuestion (title "Warning", Yes/No/Cancel) comes, and Yes opens the
// Payment Gateway Setup page.
ChargeCommandStep ChargeCommand(const GatewayDefinition* gateway, Prompter& prompter);

// What the dialog's Charge button did.
enum class ChargePress {
  Sent,              // the request is out; the dialog shows Working
  OpenGatewaySetup,  // the setup was incomplete and the merchant asked for the setup page
  Stayed,            // a question answered No or an input message: the dialog stays idle
};

class ChargeDesk {
 public:
  // tree is the window's and must outlive the desk; home holds "Logs".
  ChargeDesk(EventLoop& loop, OrdersTree& tree, std::string home, const Clock& clock,
             Prompter& prompter);
  ~ChargeDesk();
  ChargeDesk(const ChargeDesk&) = delete;
  ChargeDesk& operator=(const ChargeDesk&) = delete;

  // Called after every charge that got a verdict or no reply, whether or not a dialog
  // still shows it (the window refreshes the order's row).
  void SetOnFinished(std::function<void(const ChargeResult&)> onFinished) {
    onFinished_ = std::move(onFinished);
  }
  // The engine's time-out tick for later charges; 0 leaves it as it is.
  void SetTimeoutMs(int ms) { timeoutMs_ = ms; }

  // The Charge button for order (an order of the tree):
  //  1. the gateway setup check (GatewaySetupComplete with context.account); when it fails
  //     the question kGatewaySettingsQuestion (Yes/No): Yes gives OpenGatewaySetup, No Stayed;
  //  2. ApplyChargeInput: its message titled "Error" and Stayed (values stored before the
  //     failing check stay stored; the tree's changed mark is set when a value changed);
  //  3. the request on a session of its own, reporting to hooks until Detach(*id).
  // A request that cannot be built shows its message titled "Error" (Stayed).
  ChargePress Charge(OrderRecord& order, const ChargeInput& input,
                     const GatewayDefinition* gateway, const ChargeContext& context,
                     ChargeSessionHooks hooks, int* id);
  // The dialog that showed charge id has closed: its hooks are no longer called. The charge
  // itself runs on and its reply is applied and logged.
  void Detach(int id);
  // Charges still waiting for their reply.
  std::size_t Running() const;

 private:
  struct Entry {
    int id = 0;
    std::unique_ptr<ChargeSession> session;
    ChargeSessionHooks hooks;
  };
  Entry* Find(int id);

  EventLoop& loop_;
  OrdersTree& tree_;
  std::string home_;
  const Clock& clock_;
  Prompter& prompter_;
  std::function<void(const ChargeResult&)> onFinished_;
  int timeoutMs_ = 0;
  int nextId_ = 1;
  std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace tolmi
