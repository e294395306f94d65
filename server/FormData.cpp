#include "server/FormData.h"

#include <limits>

namespace tolmi::server {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

}  // namespace

std::optional<std::string> FormDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int hi = HexValue(text[i + 1]);
      int lo = HexValue(text[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out.push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string FormEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*' ||
        c == '.' || c == '-' || c == '_') {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::optional<std::vector<FormField>> ParseForm(std::string_view text) {
  std::vector<FormField> fields;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('&', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view pair = text.substr(pos, end - pos);
    if (!pair.empty()) {
      size_t eq = pair.find('=');
      std::string_view rawName = pair.substr(0, eq);
      std::string_view rawValue =
          eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
      auto name = FormDecode(rawName);
      auto value = FormDecode(rawValue);
      if (!name || !value) return std::nullopt;
      fields.push_back({std::move(*name), std::move(*value)});
    }
    pos = end + 1;
  }
  return fields;
}

std::optional<std::string> FindField(const std::vector<FormField>& fields, std::string_view name) {
  for (const auto& f : fields) {
    if (f.name == name) return f.value;
  }
  return std::nullopt;
}

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<') {
      size_t close = text.find('>', i);
      if (close == std::string_view::npos) break;
      out.push_back(' ');
      i = close + 1;
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::optional<long long> ParseDecimal(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace tolmi::server
