// Talking to the order server, without the transport: the download ("?data=300") and
// delete ("?data=301") addresses, and reading the replies into order records.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "orders/OrdersTree.h"

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
// increased. Rebuilds the field template when an order came.
ReplyParse ParseOrdersReply(std::string_view body, OrdersTree& tree, int& nextOrderNumber);

// Reads one "PROD=" value (count, ":", tab-separated tokens) into items.
void ParseProductList(std::string_view value, std::vector<OrderItem>& items);

}  // namespace tolmi
