// Talking to the order server, without the transport: the download ("?data=300") and
// delete ("?data=301") addresses, and reading the replies into order records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

inline constexpr const char* kIncompatibleServerTitle = "Incompatible Server";
inline constexpr const char* kIncompatibleServerMessage =
    "The Dextrona Tolmi Server is NOT compatible with the Tolmi PRO order management system. "
    "You will need to use the Web Based order interface provided by the server, or subscribe "
    "to a v2.0 compatibile server.";

// Whether the server address is the old-protocol provider's (compared without case).
bool IsIncompatibleServer(std::string_view serverUrl);

// serverUrl + "/"(when missing) + "?data=300" + form-encoded "user\rpassword\rversion\r[lastId]".
std::string BuildDownloadUrl(std::string_view serverUrl, std::string_view user,
                             std::string_view password, int versionNumber,
                             std::string_view lastOrderId);
// serverUrl + "/"(when missing) + "?data=301" + form-encoded "user\rpassword\rcount\rids".
std::string BuildDeleteUrl(std::string_view serverUrl, std::string_view user,
                           std::string_view password, const std::vector<std::string>& ids);

// The body of a reply with its HTTP header: after the first "\r\n\r\n", else "\n\n";
// the whole text when neither occurs.
std::string_view ReplyBody(std::string_view reply);
// The result code on the body's first line: 100 for an empty body, 0 when not a number.
int ReplyResultCode(std::string_view body);

// Whether the reply body starts with a result code (optional blanks and sign, a digit).
bool ReplyHasResultCode(std::string_view body);

// A whole download reply of tolmi-server ends with the line "#END <number of orders>" (CR
// LF). The line has no "=", so older readers skip it.
inline constexpr std::string_view kReplyEndMark = "#END ";
// The end-mark line for a reply of `orders` orders, line end included.
std::string ReplyEndLine(std::size_t orders);

// The value of the reply's "Content-Length:" header; nothing when the reply has no HTTP
// header or no such line (or an unreadable one).
std::optional<std::uint64_t> ReplyContentLength(std::string_view reply);

// Whether a reply (HTTP header included, or a body alone) arrived whole and reads as an
// order-server reply, before anything of it is filed. Fails with Corrupt, the message
// saying what is wrong, when:
// - the body does not start with a result code (a web page, garbage);
// - a Content-Length header announces another body length than arrived;
// - a success reply ("0") carries an end mark that is not its last line or counts other
//   than its "#ID=" lines;
// - a success reply holding orders has neither the end mark nor a Content-Length (cut in
//   transfer, or an older server behind something that drops the length).
// An empty body and failure codes pass: they file nothing.
Status CheckReplyWhole(std::string_view reply);

// Customer field names that the order reader or the invoice keep for themselves ("SN",
// "Version", "orderdate", "INVOICENUMBER", "DATE", ...; ASCII case ignored, leading blanks
// skipped as the reader skips them). The order server renames such a field at intake by
// putting kCustomerFieldPrefix in front, so a shopper's field is neither dropped nor taken
// for the merchant's value.
inline constexpr std::string_view kCustomerFieldPrefix = "Customer_";
bool IsReservedOrderFieldName(std::string_view name);
// The name kept for a customer field: the prefixed name when reserved, else the name.
std::string CustomerFieldName(std::string_view name);

// The Download Error window's text for a result code, and its heading line.
std::string_view DownloadErrorMessage(int code);
std::string DownloadErrorHeading(int code);

struct ReplyParse {
  int ordersReceived = 0;
  std::vector<std::string> receivedIds;  // in reply order
  std::string lastOrderId;               // empty when no order came
};

// Reads the orders of a successful reply body into the tree: each at the top of the first
// top-level "New Orders" folder (or at the top), named with nextOrderNumber, which is
// increased. Rebuilds the field template when an order came. A customer field named like an
// invoice value ("INVOICENUMBER", "DATE", ...) is kept under its CustomerFieldName. Check the
// reply with CheckReplyWhole first.
ReplyParse ParseOrdersReply(std::string_view body, OrdersTree& tree, int& nextOrderNumber);

// Reads one "PROD=" value (count, ":", tab-separated tokens) into items.
void ParseProductList(std::string_view value, std::vector<OrderItem>& items);

}  // namespace tolmi
