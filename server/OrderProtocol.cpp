#include "server/OrderProtocol.h"

#include "orders/ServerProtocol.h"
#include "server/FormData.h"
#include "server/OrderIntake.h"

namespace tolmi::server {

namespace {

constexpr std::string_view kEol = "\r\n";
// A product line longer than this continues on another "PROD=" line.
constexpr size_t kMaxProdLine = 16 * 1024;

std::vector<std::string> SplitCr(std::string_view text) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (true) {
    size_t end = text.find('\r', pos);
    if (end == std::string_view::npos) {
      parts.emplace_back(text.substr(pos));
      return parts;
    }
    parts.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
}

}  // namespace

bool IsProtocolQuery(std::string_view query) {
  return query.substr(0, 5) == "data=";
}

ProtocolRequest ParseProtocolQuery(std::string_view query) {
  ProtocolRequest req;
  if (query.substr(0, 8) == "data=300") {
    req.function = ProtocolFunction::Download;
  } else if (query.substr(0, 8) == "data=301") {
    req.function = ProtocolFunction::Delete;
  } else {
    return req;
  }
  auto text = FormDecode(query.substr(8));
  if (!text) return req;
  std::vector<std::string> parts = SplitCr(*text);
  if (parts.size() < 3) return req;
  req.user = parts[0];
  req.password = parts[1];
  if (req.function == ProtocolFunction::Download) {
    req.version = parts[2];
    // A fourth part is the last id; anything after it is not part of the request.
    if (parts.size() >= 4 && !parts[3].empty()) {
      auto id = ParseDecimal(parts[3]);
      if (!id) return req;
      req.lastId = *id;
    }
    if (parts.size() > 5 || (parts.size() == 5 && !parts[4].empty())) return req;
  } else {
    auto count = ParseDecimal(parts[2]);
    if (!count) return req;
    for (size_t i = 3; i < parts.size(); ++i) {
      if (parts[i].empty()) continue;
      auto id = ParseDecimal(parts[i]);
      if (!id) return req;
      req.ids.push_back(*id);
    }
    // The count must say how many ids follow: extra ids are never deleted on a guess.
    if (static_cast<size_t>(*count) != req.ids.size()) {
      req.problem = "The count " + std::to_string(*count) + " does not match the " +
                    std::to_string(req.ids.size()) + " ids sent; nothing was deleted.";
      return req;
    }
  }
  req.valid = !req.user.empty();
  return req;
}

std::string FormatOrderDate(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d%02d%04d%02d%02d%02d", local.tm_mday, local.tm_mon + 1,
                local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string FormatResultOnly(ResultCode code) {
  return std::to_string(static_cast<int>(code)) + std::string(kEol);
}

void AppendOrderBlock(const StoredOrder& order, std::string& out) {
  out += "#ID=";
  out += std::to_string(order.id);
  out += kEol;
  out += "orderdate=";
  out += FormatOrderDate(order.received);
  out += kEol;
  for (const auto& field : DecodeFields(order.fields)) {
    // Orders stored before intake renamed reserved names go out renamed too.
    out += ::tolmi::CustomerFieldName(field.name);
    out.push_back('=');
    out += field.value;
    out += kEol;
  }
  std::string line;
  for (const auto& item : DecodeItems(order.items)) {
    std::string text;
    for (size_t i = 0; i < item.size(); ++i) {
      if (i) text.push_back('\t');
      // Stored data is clean, but never let a separator token slip into a field.
      if (i != 1 && EqualsNoCase(item[i], "<BR>")) continue;
      text += item[i];
    }
    text += "\t<BR>";
    if (!line.empty() && line.size() + text.size() + 1 > kMaxProdLine) {
      out += line;
      out += kEol;
      line.clear();
    }
    if (line.empty()) {
      line = "PROD=" + std::to_string(kItemFieldCount + 1) + ":";
    } else {
      line.push_back('\t');
    }
    line += text;
  }
  if (!line.empty()) {
    out += line;
    out += kEol;
  }
}

std::string FormatDownloadReply(const std::vector<StoredOrder>& orders) {
  std::string out = FormatResultOnly(ResultCode::Success);
  for (const auto& order : orders) AppendOrderBlock(order, out);
  out += ::tolmi::ReplyEndLine(orders.size());
  return out;
}

}  // namespace tolmi::server
