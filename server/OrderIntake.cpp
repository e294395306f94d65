#include "server/OrderIntake.h"

#include "orders/ServerProtocol.h"

namespace tolmi::server {

namespace {

constexpr std::string_view kUserField = "tolmi_user";
constexpr std::string_view kItemField = "tolmi_item";
constexpr std::string_view kReturnField = "tolmi_return";
constexpr long long kMaxQuantity = 1000000;

Status Refuse(const std::string& sentence) {
  return Status::Error(ErrorKind::InvalidArgument, sentence);
}

// Item texts: any control byte becomes a space so tabs and line ends never leak into the
// tab-separated product line.
std::string CleanItemText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  }
  return out;
}

bool IsUsableReturnUrl(std::string_view url) {
  if (url.size() > 2048) return false;
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) return false;
  for (unsigned char c : url) {
    if (c < 33 || c == 127) return false;
  }
  return true;
}

std::vector<std::string> SplitOn(std::string_view text, char sep) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (true) {
    size_t end = text.find(sep, pos);
    if (end == std::string_view::npos) {
      parts.emplace_back(text.substr(pos));
      return parts;
    }
    parts.emplace_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
}

}  // namespace

std::string ReturnUrlOf(std::string_view body) {
  auto form = ParseForm(body);
  if (!form) return "";
  auto url = FindField(*form, kReturnField);
  return url && IsUsableReturnUrl(*url) ? *url : "";
}

std::string CleanFieldValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < value.size() && value[i + 1] == '\n') ++i;
      out += ", ";
    } else if (static_cast<unsigned char>(c) < 32 || c == 127) {
      out.push_back(' ');
    } else {
      out.push_back(c);
    }
  }
  return out;
}

bool IsUsableFieldName(std::string_view name, size_t maxBytes) {
  if (name.empty() || name.size() > maxBytes) return false;
  for (unsigned char c : name) {
    if (c < 32 || c == 127 || c == '=') return false;
  }
  // A name of blanks alone would reach the reader as a line starting with "=".
  if (name.find_first_not_of(' ') == std::string_view::npos) return false;
  return !StartsWithNoCase(name, "tolmi_");
}

Result<IncomingOrder> ParseOrderForm(std::string_view body, const IntakeLimits& limits) {
  auto form = ParseForm(body);
  if (!form) return Refuse("The order form sent unreadable data.");
  IncomingOrder order;
  bool haveUser = false;
  for (auto& field : *form) {
    if (field.name == kUserField) {
      if (!haveUser) order.account = field.value;
      haveUser = true;
    } else if (field.name == kReturnField) {
      if (IsUsableReturnUrl(field.value)) order.returnUrl = field.value;
    } else if (field.name == kItemField) {
      if (order.items.size() >= limits.maxItems)
        return Refuse("The order holds too many products (at most " +
                      std::to_string(limits.maxItems) + ").");
      std::vector<std::string> parts = SplitOn(field.value, '\t');
      if (parts.size() > kItemFieldCount)
        return Refuse("A product line of the order is malformed.");
      auto quantity = ParseDecimal(parts[0]);
      if (!quantity || *quantity < 1 || *quantity > kMaxQuantity)
        return Refuse("A product line of the order has no valid quantity.");
      std::vector<std::string> item(kItemFieldCount);
      for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].size() > limits.maxValueBytes)
          return Refuse("A product line of the order is too long.");
        std::string text = CleanItemText(parts[i]);
        // "<BR>" separates products on download; only the name may read so.
        if (i != 1 && EqualsNoCase(text, "<BR>")) text.clear();
        item[i] = std::move(text);
      }
      item[0] = std::to_string(*quantity);
      order.items.push_back(std::move(item));
    } else {
      if (!IsUsableFieldName(field.name, limits.maxNameBytes)) continue;
      if (field.value.size() > limits.maxValueBytes)
        return Refuse("The field \"" + field.name + "\" is too long.");
      if (order.fields.size() >= limits.maxFields)
        return Refuse("The order form holds too many fields.");
      // Names the reader or the invoice keep for themselves get a prefix: the field is
      // neither dropped on download nor taken for the merchant's value.
      order.fields.push_back({::tolmi::CustomerFieldName(field.name), CleanFieldValue(field.value)});
    }
  }
  if (!haveUser || order.account.empty())
    return Refuse("The order form does not name the store's order account.");
  if (order.items.empty()) return Refuse("The shopping cart is empty.");
  return order;
}

std::string EncodeFields(const std::vector<FormField>& fields) {
  std::string out;
  for (const auto& f : fields) {
    if (!out.empty()) out.push_back('\n');
    out += f.name;
    out.push_back('=');
    out += f.value;
  }
  return out;
}

std::vector<FormField> DecodeFields(std::string_view text) {
  std::vector<FormField> fields;
  if (text.empty()) return fields;
  for (auto& line : SplitOn(text, '\n')) {
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    fields.push_back({line.substr(0, eq), CleanFieldValue(line.substr(eq + 1))});
  }
  return fields;
}

std::string EncodeItems(const std::vector<std::vector<std::string>>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out.push_back('\n');
    for (size_t i = 0; i < item.size(); ++i) {
      if (i) out.push_back('\t');
      out += item[i];
    }
  }
  return out;
}

std::vector<std::vector<std::string>> DecodeItems(std::string_view text) {
  std::vector<std::vector<std::string>> items;
  if (text.empty()) return items;
  for (auto& line : SplitOn(text, '\n')) {
    std::vector<std::string> parts = SplitOn(line, '\t');
    parts.resize(kItemFieldCount);
    for (auto& p : parts) p = CleanItemText(p);
    items.push_back(std::move(parts));
  }
  return items;
}

}  // namespace tolmi::server
