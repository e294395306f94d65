#include "orders/ServerProtocol.h"

#include <array>
#include <climits>

#include "util/Dates.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

// Our stand-in for the old provider's fixed address prefix.
constexpr std::string_view kIncompatiblePrefix = "http://orders.dextrona.example.com/";

std::string WithSlash(std::string_view url) {
  std::string s(url);
  if (s.empty() || s.back() != '/') s.push_back('/');
  return s;
}

std::string Encoded(std::string text) {
  UrlEncode(text);
  return text;
}

}  // namespace

bool IsIncompatibleServer(std::string_view serverUrl) {
  return StartsWithNoCase(serverUrl, kIncompatiblePrefix);
}

std::string BuildDownloadUrl(std::string_view serverUrl, std::string_view user,
                             std::string_view password, int versionNumber,
                             std::string_view lastOrderId) {
  std::string params;
  params.append(user).push_back('\r');
  params.append(password).push_back('\r');
  params.append(std::to_string(versionNumber)).push_back('\r');
  params.append(lastOrderId);
  return WithSlash(serverUrl) + "?data=300" + Encoded(std::move(params));
}

std::string BuildDeleteUrl(std::string_view serverUrl, std::string_view user,
                           std::string_view password, const std::vector<std::string>& ids) {
  std::string params;
  params.append(user).push_back('\r');
  params.append(password).push_back('\r');
  params.append(std::to_string(ids.size())).push_back('\r');
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i) params.push_back('\r');
    params.append(ids[i]);
  }
  return WithSlash(serverUrl) + "?data=301" + Encoded(std::move(params));
}

std::string_view ReplyBody(std::string_view reply) {
  auto p = reply.find("\r\n\r\n");
  if (p != std::string_view::npos) return reply.substr(p + 4);
  p = reply.find("\n\n");
  if (p != std::string_view::npos) return reply.substr(p + 2);
  return reply;
}

int ReplyResultCode(std::string_view body) {
  if (body.empty()) return 100;
  return ParseInt32(body.substr(0, body.find_first_of("\r\n")));
}

bool ReplyHasResultCode(std::string_view body) {
  std::size_t i = 0;
  while (i < body.size() && (body[i] == ' ' || body[i] == '\t')) ++i;
  if (i < body.size() && (body[i] == '-' || body[i] == '+')) ++i;
  return i < body.size() && body[i] >= '0' && body[i] <= '9';
}

std::string ReplyEndLine(std::size_t orders) {
  return std::string(kReplyEndMark) + std::to_string(orders) + "\r\n";
}

std::optional<std::uint64_t> ReplyContentLength(std::string_view reply) {
  if (!StartsWithNoCase(reply, "HTTP/")) return std::nullopt;
  std::size_t bodyAt = reply.size() - ReplyBody(reply).size();
  std::string_view header = reply.substr(0, bodyAt);
  std::size_t pos = 0;
  while (pos < header.size()) {
    std::size_t end = header.find('\n', pos);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(pos, end - pos);
    pos = end + 1;
    if (!StartsWithNoCase(line, "Content-Length:")) continue;
    line.remove_prefix(15);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.remove_suffix(1);
    if (line.empty() || line.size() > 18) return std::nullopt;
    std::uint64_t n = 0;
    for (char c : line) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return n;
  }
  return std::nullopt;
}

Status CheckReplyWhole(std::string_view reply) {
  auto bad = [](const std::string& text) { return Status::Error(ErrorKind::Corrupt, text); };
  std::string_view body = ReplyBody(reply);
  if (body.empty()) return Status::Ok();
  if (!ReplyHasResultCode(body))
    return bad("The server's reply is not an order-server reply (it does not start with a "
               "result code).");
  const std::optional<std::uint64_t> length = ReplyContentLength(reply);
  if (length && *length != body.size())
    return bad("The server's reply was cut off: " + std::to_string(body.size()) + " of " +
               std::to_string(*length) + " bytes arrived.");
  if (ReplyResultCode(body) != 0) return Status::Ok();

  // Walk the lines as the reader does: each ends at a CR; LF, spaces and tabs after it are
  // skipped.
  std::size_t orders = 0;
  std::optional<std::string_view> mark;  // the end mark, once seen
  bool textAfterMark = false;
  std::size_t pos = 0;
  while (pos < body.size()) {
    std::size_t end = body.find('\r', pos);
    const bool ended = end != std::string_view::npos;
    if (!ended) end = body.size();
    std::string_view line = body.substr(pos, end - pos);
    pos = end + 1;
    while (pos < body.size() && (body[pos] == '\n' || body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (mark) {
      if (line.find_first_not_of(" \t\n") != std::string_view::npos) textAfterMark = true;
      continue;
    }
    if (StartsWithNoCase(line, "#ID=")) {
      ++orders;
    } else if (line.substr(0, kReplyEndMark.size()) == kReplyEndMark) {
      // Only a mark whose line end arrived: "#END 1" may be the start of "#END 12".
      if (ended) mark = line.substr(kReplyEndMark.size());
    }
  }
  if (mark) {
    if (textAfterMark || mark->empty() ||
        mark->find_first_not_of("0123456789") != std::string_view::npos ||
        *mark != std::to_string(orders))
      return bad("The server's reply is damaged: its end mark \"" + std::string(kReplyEndMark) +
                 std::string(*mark) + "\" does not close " + std::to_string(orders) +
                 " orders.");
    return Status::Ok();
  }
  if (orders == 0 || length) return Status::Ok();
  return bad("The server's reply ended without its end mark and without a length: it was "
             "cut off on the way (or comes from an older server). Nothing was filed and "
             "nothing was deleted on the server.");
}

namespace {

// Names the reader takes for lines of its own: ignored metadata and the order lines.
constexpr std::array<std::string_view, 9> kReaderNames = {
    "SN", "Version", "TaxVal", "ReferalID", "AddFreight", "FreightText", "PROD", "orderdate", "#ID"};
// Invoice and gateway placeholders filled after the customer fields, which a field of the
// same name would fill first.
constexpr std::array<std::string_view, 6> kPlaceholderNames = {
    "ORDERID", "INVOICENUMBER", "ORDERDATE", "DATE", "SUBTOTAL", "TOTALTAX"};

std::string_view WithoutLeadingBlanks(std::string_view name) {
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
  return name;
}

bool IsPlaceholderName(std::string_view name) {
  name = WithoutLeadingBlanks(name);
  for (std::string_view reserved : kPlaceholderNames)
    if (EqualsNoCase(name, reserved)) return true;
  return false;
}

}  // namespace

bool IsReservedOrderFieldName(std::string_view name) {
  if (IsPlaceholderName(name)) return true;
  name = WithoutLeadingBlanks(name);
  for (std::string_view reserved : kReaderNames)
    if (EqualsNoCase(name, reserved)) return true;
  return false;
}

std::string CustomerFieldName(std::string_view name) {
  if (!IsReservedOrderFieldName(name)) return std::string(name);
  return std::string(kCustomerFieldPrefix) + std::string(name);
}

std::string_view DownloadErrorMessage(int code) {
  switch (code) {
    case 1:
      return "Internal Server Error. Please contact customer Support.";
    case 2:
      return "Bad Request. Unknown function or parameter. Please contact customer support.";
    case 3:
      return "No server account. A user account for this Tolmi Server does not exist, or has "
             "not yet been created.";
    case 4:
      return "Your Tolmi Server account has been disabled. Please contact customer support.";
    case 5:
      return "Invalid Logon Password";
    case 99:
      return "Connection to Tolmi server failed. Please check your server and/or proxy "
             "settings.";
    default:
      return "An unknown error has occured. Please contact customer support.";
  }
}

std::string DownloadErrorHeading(int code) {
  return "Unable to retrieve orders. (Error Code: " + std::to_string(code) + ")";
}

void ParseProductList(std::string_view value, std::vector<OrderItem>& items) {
  auto colon = value.find(':');
  if (colon == std::string_view::npos) return;
  long long count = ParseInt32(value.substr(0, colon));
  std::string_view list = value.substr(colon + 1);
  long long index = 0;
  OrderItem* item = nullptr;
  std::size_t pos = 0;
  while (index < count && pos <= list.size()) {
    auto tab = list.find('\t', pos);
    std::string_view token =
        list.substr(pos, tab == std::string_view::npos ? std::string_view::npos : tab - pos);
    pos = tab == std::string_view::npos ? list.size() + 1 : tab + 1;
    if (index != 1 && EqualsNoCase(token, "<BR>")) {
      index = 0;
      continue;
    }
    if (index == 0) {
      items.emplace_back();
      item = &items.back();
      item->quantity = ParseInt32(token);
    } else if (item) {
      switch (index) {
        case 1:
          item->name = std::string(token);
          break;
        case 2:
          item->code = std::string(token.substr(0, token.find(':')));
          break;
        case 3:
          item->unitCents = ParseAmount(token);
          break;
        case 4:
          item->weightMilli = ParseDecimal(token, kWeightPlaces);
          break;
        case 5:
          item->extraText1 = std::string(token);
          break;
        case 6:
          item->extraText2 = std::string(token);
          break;
        case 8:
          item->taxRateMilli = ParseDecimal(token, kRatePlaces);
          break;
        case 9:
          item->taxCents = ParseAmount(token);
          break;
        case 10:
          item->freightCents = ParseAmount(token);
          break;
        case 12:
          item->option1 = std::string(token);
          break;
        case 13:
          item->option2 = std::string(token);
          break;
        default:
          break;
      }
    }
    ++index;
  }
}

ReplyParse ParseOrdersReply(std::string_view body, OrdersTree& tree, int& nextOrderNumber) {
  ReplyParse result;
  std::vector<OrderRecord>* dest = &tree.records;
  for (auto& r : tree.records)
    if (r.kind == RecordKind::NewOrders) {
      dest = &r.children;
      break;
    }
  // New orders go first, newest on top: collect them, then insert in reverse.
  std::vector<OrderRecord> arrived;
  std::size_t pos = 0;
  while (pos < body.size()) {
    auto end = body.find('\r', pos);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = body.substr(pos, end - pos);
    pos = end + 1;
    while (pos < body.size() && (body[pos] == '\n' || body[pos] == ' ' || body[pos] == '\t')) ++pos;
    if (StartsWithNoCase(line, "#ID=")) {
      OrderRecord r;
      r.kind = RecordKind::Order;
      r.orderId = std::string(line.substr(4));
      r.name = std::to_string(nextOrderNumber);
      if (nextOrderNumber < INT_MAX) ++nextOrderNumber;
      result.receivedIds.push_back(r.orderId);
      result.lastOrderId = r.orderId;
      ++result.ordersReceived;
      arrived.push_back(std::move(r));
      continue;
    }
    if (arrived.empty()) continue;
    OrderRecord& order = arrived.back();
    if (StartsWithNoCase(line, "version=") || StartsWithNoCase(line, "addfreight=") ||
        StartsWithNoCase(line, "referalid=") || StartsWithNoCase(line, "taxval=") ||
        StartsWithNoCase(line, "freighttext=") || StartsWithNoCase(line, "sn=")) {
      continue;
    }
    if (StartsWithNoCase(line, "PROD=")) {
      ParseProductList(line.substr(5), order.items);
    } else if (StartsWithNoCase(line, "orderdate=")) {
      std::string date(line.substr(10));
      ReplaceAll(date, ".", "/");
      std::time_t t = ParseDatePattern(date, "DDMMYYYYHHMISS");
      order.orderDate = t < 0 || t > INT32_MAX ? 0 : static_cast<std::int32_t>(t);
    } else {
      auto eq = line.find('=');
      if (eq == std::string_view::npos) continue;
      // An older server may hand out a field named like an invoice value ("INVOICENUMBER"):
      // it is kept under the prefixed name so that it cannot stand in for the real one.
      std::string_view name = line.substr(0, eq);
      if (IsPlaceholderName(name))
        AppendField(order, CustomerFieldName(name), line.substr(eq + 1));
      else
        AppendField(order, name, line.substr(eq + 1));
    }
  }
  if (!arrived.empty()) {
    tree.fieldTemplate = CopyRecord(arrived.back());
    std::vector<OrderRecord> merged;
    merged.reserve(arrived.size() + dest->size());
    for (auto it = arrived.rbegin(); it != arrived.rend(); ++it) merged.push_back(std::move(*it));
    for (auto& r : *dest) merged.push_back(std::move(r));
    *dest = std::move(merged);
  }
  return result;
}

}  // namespace tolmi
