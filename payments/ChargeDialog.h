// The "Online Transaction" dialog's rules without a window: its title, the expiry
// lists, the states from idle through working to the outcome, which controls each
// state enables, and the status text with its colour and the Working animation.
//
// States: Idle (inputs enabled for an order) -> Working (request outstanding) ->
// Approved, Rejected or Error. The inputs stay disabled after a charge until the
// dialog is opened again. Cancel closes the dialog from any state; the request is not
// withdrawn (its reply is applied by whoever keeps the charge session).
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "payments/Charge.h"

namespace tolmi {

enum class ChargeDialogState { Idle, Working, Approved, Rejected, Error, Canceled };

// How the status box is coloured.
enum class ChargeStatusColour { Plain, Green, Red };

// The Working animation's timer interval.
inline constexpr int kWorkingTickMs = 100;

// "Online Transaction Processing - <gateway name>".
std::string ChargeDialogTitle(std::string_view gatewayName);

// The Expiry Month list: "01" to "12".
std::vector<std::string> ExpiryMonths();
// The Expiry Year list: the local year of now and the next 15 ("%i").
std::vector<std::string> ExpiryYears(std::time_t now);

// One dialog's state. forOrder: the record the dialog opened for is an order.
struct ChargeDialogModel {
  ChargeDialogState state = ChargeDialogState::Idle;
  bool forOrder = false;
};

// A freshly opened dialog: idle, inputs enabled only for an order.
ChargeDialogModel OpenChargeDialog(bool forOrder);
// Amount, card fields, expiry lists and Charge: enabled only while idle for an order.
bool ChargeInputsEnabled(const ChargeDialogModel& model);
// Charge pressed and the request sent: Idle -> Working. False (nothing changes) in any
// other state or without an order: one request at a time per dialog.
bool BeginCharge(ChargeDialogModel& model);
// The session's verdict while Working: Approved, Rejected, or Error (no reply). A
// verdict in another state (after Cancel) leaves the dialog as it is.
void FinishCharge(ChargeDialogModel& model, ChargeVerdict verdict);
// Cancel: Canceled from any state.
void CancelCharge(ChargeDialogModel& model);

// The status box: "" idle, "Working", "Approved", "Rejected", "Error", "Canceled".
std::string_view ChargeStatusText(ChargeDialogState state);
// Green for Approved, red for Rejected and Error, plain otherwise.
ChargeStatusColour ChargeStatusColourOf(ChargeDialogState state);
// The Working status after tick timer ticks: "Working" and 0 to 5 dots, cycling.
std::string WorkingFrame(int tick);

}  // namespace tolmi
