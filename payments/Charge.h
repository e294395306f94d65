// Charging an order's card through a payment gateway, without the network: the setup
// check, the input checks of the "Online Transaction" dialog and the fields they store,
// the request built from the gateway's REQ template, judging the reply by the gateway's
// reply kind, and applying the outcome to the order.
//
// The sender (the network layer) calls, in this order: GatewaySetupComplete,
// ApplyChargeInput, BuildChargeRequest, sends ChargeRequest::request with HttpGet,
// then JudgeChargeReply on the whole reply (header included; an empty reply gives
// the "Processing Error C101" outcome), ApplyChargeOutcome, and, unless the outcome
// is NoReply, AppendTransactionLog (payments/TransactionLog.h).
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "orders/OrdersTree.h"
#include "payments/Gateways.h"
#include "util/Result.h"

namespace tolmi {

// The orders window's Charge command when no gateway is chosen (title "Warning",
// buttons Yes, No, Cancel; Yes opens the Payment Gateway Setup page).
inline constexpr std::string_view kGatewayNotSetupQuestion =
    "The Tolmi PRO online payment processing gateway has not been setup.  Would you like to "
    "set it up now?";
inline constexpr std::string_view kGatewayNotSetupTitle = "Warning";
// The Charge button when GatewaySetupComplete is false (Yes and No; Yes opens the setup page).
inline constexpr std::string_view kGatewaySettingsQuestion =
    "A payment gateway is either not setup, or the settings are incorrect.\nWould you like to "
    "edit the payment gateway settings now?";
inline constexpr std::string_view kGatewaySettingsTitle = "Payment Gatewat Error";

// The input checks' messages, shown titled "Error".
inline constexpr std::string_view kAmountMessage = "An amount greater than zero must be specified.";
inline constexpr std::string_view kCardNumberMessage = "A valid credit card must be specified.";
inline constexpr std::string_view kCardHolderMessage =
    "A valid card holder name must be specified.";
inline constexpr std::string_view kCardTypeMessage = "You must specify the Credit Card type.";
inline constexpr std::string_view kExpiryMessage =
    "You must specify a valid Credit Card expiry Date.";

// Nothing came back from the gateway (refused connection, time-out, empty reply). The
// reply box shows this text followed by an empty line (kNoReplyText).
inline constexpr std::string_view kNoReplyMessage =
    "Processing Error C101. Connection to payment server failed. If the problem persists, "
    "please contact customer support.";
inline constexpr std::string_view kNoReplyText =
    "Processing Error C101. Connection to payment server failed. If the problem persists, "
    "please contact customer support.\n\n";

// Kind 1 replies whose code has no map entry show this, a space and the code.
inline constexpr std::string_view kUnknownReturnCode = "Transaction Failed. Unknown Return Code";

// The order fields the dialog reads and the checks store (names compared ignoring case).
inline constexpr std::string_view kFieldAmount = "Amount";
inline constexpr std::string_view kFieldCardNumber = "CardNumber";
inline constexpr std::string_view kFieldCardHolder = "CardholderName";
inline constexpr std::string_view kFieldCardType = "CardType";
inline constexpr std::string_view kFieldExpiryMonth = "CardExpiryMonth";
inline constexpr std::string_view kFieldExpiryYear = "CardExpiryYear";

// The merchant's five account values ("o_f1" to "o_f5"; "$FIELD1" to "$FIELD5" in requests).
using GatewayAccountValues = std::array<std::string, 5>;

// True when a gateway is chosen (not null) and every account value whose label the gateway
// defines (a non-empty FIELDn) is non-empty. False means: ask kGatewaySettingsQuestion and
// charge nothing.
bool GatewaySetupComplete(const GatewayDefinition* gateway, const GatewayAccountValues& account);

// What the merchant enters in the "Online Transaction" dialog, as texts.
struct ChargeInput {
  std::string amount;
  std::string cardNumber;
  std::string cardHolder;
  std::string cardType;
  std::string expiryMonth;
  std::string expiryYear;
};

// The dialog's start values for an order: the total with "%0.2f" and the order fields
// CardNumber, CardholderName, CardType, CardExpiryMonth, CardExpiryYear (names compared
// ignoring case; empty when absent). A null order gives amount "0.00" and empty texts.
ChargeInput ChargeInputFromOrder(const OrderRecord* order);

// Runs the five input checks in order, storing each accepted value on the order: Amount
// (non-empty, greater than 0 as a decimal number; also becomes the order total),
// CardNumber, CardholderName, CardType, then CardExpiryMonth and CardExpiryYear (each
// non-empty with a non-zero decimal value). A value replaces the field of that name
// (ignoring case) or is appended. Stops at the first failure with InvalidArgument and that
// check's exact message (k...Message above); values stored before the failure stay stored.
Status ApplyChargeInput(OrderRecord& order, const ChargeInput& input);

// Everything besides the order that the request's placeholders draw on.
struct ChargeContext {
  GatewayAccountValues account;  // "$FIELD1" to "$FIELD5"; value 1 also feeds kind-1 codes
  std::string company;           // the store variable "$COMPANY" ("" when undefined)
  int dateOrder = 1;             // "dateformat": 0 m-d-y, 1 d-m-y, 2 y-m-d
  std::time_t now = 0;           // for "%DATE%" and "$DATE"
};

// One request, ready for the HTTP client.
struct ChargeRequest {
  // The filled template exactly as HttpGet takes it: a post keeps the "/POST " marker and
  // carries its body after "$HTTP".
  std::string request;
  bool post = false;  // the template contains "/POST "
  std::string url;    // the address without the "/POST " marker and the body
  std::string body;   // a post's form body (after "$HTTP"); "" otherwise
  // "Referer: ..." (when the gateway has a REFERER), "User-Agent: Tolmi PRO v<number>",
  // "Pragma: no-cache", each ended by CR LF. The HTTP client sends its own headers; these
  // are prepared for a sender that wants them.
  std::string headers;
};

// Fills the gateway's REQ with the order placeholders: every customer field as its name
// between percent signs (ignoring case; a "Zip" field also fills "%POSTCODE%"), "$FIELD1"
// to "$FIELD5", "$DCC" (total in cents, 12.50 gives 1250), "$TOTAL" ("%0.2f"),
// "%ORDERID%", "%INVOICENUMBER%", "%ORDERDATE%", "%DATE%", "$COMPANY", "$YY", "$YEAR",
// "$MM2", "$MM" and "$DATE". Values are form-encoded (a space becomes "+") for posts and
// URLs alike, never HTML-escaped, so a customer's "&" or "=" cannot add parameters.
// Fails with InvalidArgument when the gateway has no REQ.
Result<ChargeRequest> BuildChargeRequest(const GatewayDefinition& gateway, const OrderRecord& order,
                                         const ChargeContext& context);

enum class ChargeVerdict {
  Approved,  // status Charged, "Approved" on green, log result 1
  Rejected,  // status Rejected, "Rejected" on red, log result 0
  NoReply,   // Processing Error C101: the order is not changed and nothing is logged
};

// A judged reply.
struct ChargeOutcome {
  ChargeVerdict verdict = ChargeVerdict::Rejected;
  std::string replyText;  // what the dialog's reply box shows
  std::string code;       // kind 1: the result code text ("%02i"); "" for other kinds

  bool approved() const { return verdict == ChargeVerdict::Approved; }
  // "Approved", "Rejected" or "Error" (the dialog's status box).
  std::string_view StatusText() const;
  // The log line's result: 1 approved, 0 otherwise.
  int LogResult() const { return approved() ? 1 : 0; }
};

// The outcome of a charge that got no reply data (kNoReplyText, verdict NoReply).
ChargeOutcome NoReplyOutcome();

// Judges the whole reply (header included) by the gateway's reply kind:
//   1 coded reply: code = number after the first "&" - total in cents - order number x
//     account value 1, "%02i", looked up in the gateway's MAP entries;
//   2 the body reads as the number 1;  4 "Approved" or "<ewayTrxnStatus>True" (any case);
//   5 an "<HTML>" page without "NO THANKS" after it;  6 "OK" in the body;
//   any other kind approves nothing.
// The order supplies the total and number for kind 1; context.account[0] is value 1.
// An empty reply gives NoReplyOutcome(). Never fails on garbage: such a reply is Rejected.
ChargeOutcome JudgeChargeReply(const GatewayDefinition& gateway, std::string_view reply,
                               const OrderRecord& order, const ChargeContext& context);

// Applies a judged outcome: Approved sets the status Charged and the charge date to now,
// and keeps only the last four digits of the card number and no security code;
// Rejected sets the status Rejected (charge date untouched); NoReply changes nothing.
void ApplyChargeOutcome(OrderRecord& order, const ChargeOutcome& outcome, std::int32_t now);

// Replaces every tag ("<" to the next ">" outside quoted runs) by one space and decodes
// character references: how reply pages are turned into the text the dialog shows.
std::string RemoveReplyTags(std::string_view text);

}  // namespace tolmi
