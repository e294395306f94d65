#include "util/Html.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace tolmi {

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithNoCase(a, b);
}

// Latin-1 names for the codes 161..255; the section sign (167) has none.
constexpr std::array<const char*, 95> kLatin1Names = {
    "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", nullptr,  "uml",    "copy",
    "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",
    "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",
    "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",
    "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute",
    "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave",
    "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde",
    "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute",
    "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// The lookup key of a reference name: the first letter as written, the rest in lower case,
// so that twins such as "Ouml" and "ouml" stay apart while "OUML" finds "Ouml".
std::string EntityKey(std::string_view name) {
  std::string key(name);
  for (size_t i = 1; i < key.size(); ++i) key[i] = LowerAscii(key[i]);
  return key;
}

const std::unordered_map<std::string, char>& EntityTable() {
  static const std::unordered_map<std::string, char> table = [] {
    std::unordered_map<std::string, char> t;
    t.emplace("quot", '"');
    t.emplace("lt", '<');
    t.emplace("gt", '>');
    t.emplace("amp", '&');
    t.emplace("apos", '\'');
    t.emplace("nbsp", ' ');
    for (size_t i = 0; i < kLatin1Names.size(); ++i) {
      if (kLatin1Names[i]) t.emplace(EntityKey(kLatin1Names[i]), char(161 + i));
    }
    return t;
  }();
  return table;
}

// Decodes one reference "&...;" into its byte; false when it is not one we know.
bool DecodeReference(std::string_view ref, char& byte) {
  std::string_view body = ref.substr(1, ref.size() - 2);
  if (!body.empty() && body[0] == '#') {
    // Only the exact three-digit form of a byte value is decoded.
    std::string_view digits = body.substr(1);
    if (digits.size() != 3) return false;
    int value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 255) return false;
    byte = char(value);
    return true;
  }
  if (body.empty()) return false;
  const auto& table = EntityTable();
  auto it = table.find(EntityKey(body));
  if (it == table.end()) return false;
  byte = it->second;
  return true;
}

// Position of the first ch at or after from that is outside runs enclosed in double quotes
// or apostrophes; npos when there is none.
size_t FindOutsideQuotes(std::string_view text, size_t from, char ch) {
  char quote = 0;
  for (size_t i = from; i < text.size(); ++i) {
    char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ch) {
      return i;
    }
  }
  return std::string_view::npos;
}

// Replaces each tag by replacement; an unclosed "<" keeps the rest of the text.
void ReplaceTags(std::string& text, std::string_view replacement) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('<', i);
    if (open == std::string::npos) break;
    size_t close = FindOutsideQuotes(text, open, '>');
    if (close == std::string_view::npos) break;
    out.append(text, i, open - i);
    out += replacement;
    i = close + 1;
  }
  out.append(text, i, std::string::npos);
  text.swap(out);
}

// Resolves "." and ".." segments of a "/"-separated relative path; ".." never climbs above
// the start. A trailing "." or ".." leaves a trailing "/".
std::string ResolveDotSegments(std::string_view path) {
  std::vector<std::string_view> out;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('/', start);
    bool last = slash == std::string_view::npos;
    std::string_view seg = path.substr(start, last ? std::string_view::npos : slash - start);
    if (seg == "..") {
      if (!out.empty()) out.pop_back();
      if (last) out.emplace_back();
    } else if (seg == ".") {
      if (last) out.emplace_back();
    } else {
      out.push_back(seg);
    }
    if (last) break;
    start = slash + 1;
  }
  std::string result;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i) result += '/';
    result += out[i];
  }
  return result;
}

bool IsLocalPath(std::string_view page) {
  if (page.size() >= 2 && page[1] == ':') return true;
  if (page[0] == '\\') return true;
  return page[0] == '/' && !(page.size() >= 2 && page[1] == '/');
}

std::string JoinLocal(std::string_view page, std::string_view link) {
  std::string joined;
  size_t sep = page.find_last_of("/\\");
  if (sep != std::string_view::npos) {
    joined.assign(page.substr(0, sep));
  } else if (page.size() >= 2 && page[1] == ':') {
    joined.assign(page.substr(0, 2));  // "C:page.htm": the drive is all there is
  }
  joined += '/';
  joined += link;
  // One separator, never doubled.
  std::string clean;
  clean.reserve(joined.size());
  for (char c : joined) {
    if (c == '\\') c = '/';
    if (c == '/' && !clean.empty() && clean.back() == '/') continue;
    clean += c;
  }
  std::string root;
  std::string_view rest = clean;
  if (rest.size() >= 2 && rest[1] == ':') {
    root.assign(rest.substr(0, 2));
    rest.remove_prefix(2);
  }
  if (!rest.empty() && rest[0] == '/') {
    root += '/';
    rest.remove_prefix(1);
  }
  return root + ResolveDotSegments(rest);
}

std::string JoinWeb(std::string_view page, std::string_view link) {
  std::string addr(page);
  // Searches for path slashes start after the "//" of the scheme.
  size_t hostStart = 0;
  size_t protect = addr.find("//");
  if (protect != std::string::npos) hostStart = protect + 2;

  size_t http = addr.find("HTTP", hostStart);
  if (http != std::string::npos) addr.resize(http);
  if (addr.find(".jsp") == std::string::npos) {
    size_t query = addr.find('?', hostStart);
    if (query != std::string::npos) addr.resize(query);
  }
  size_t post = addr.find("/POST", hostStart);
  if (post != std::string::npos) {
    size_t end = post + 5;
    while (end < addr.size() && IsBlank(addr[end])) ++end;
    addr.erase(post, end - post);
  }

  size_t firstSlash = addr.find('/', hostStart);
  if (firstSlash == std::string::npos) {
    addr += '/';
  } else if (!link.empty() && link[0] == '/') {
    addr.resize(firstSlash + 1);
  } else {
    addr.resize(addr.rfind('/') + 1);
  }
  if (!link.empty() && link[0] == '/') link.remove_prefix(1);
  addr += link;

  // Resolve dot segments in the path after the host, leaving any query or fragment alone.
  size_t pathStart = addr.find('/', hostStart) + 1;
  size_t pathEnd = addr.find_first_of("?#", pathStart);
  if (pathEnd == std::string::npos) pathEnd = addr.size();
  std::string path =
      ResolveDotSegments(std::string_view(addr).substr(pathStart, pathEnd - pathStart));
  return addr.substr(0, pathStart) + path + addr.substr(pathEnd);
}

}  // namespace

void HtmlDecodeEntities(std::string& text) {
  if (text.find('&') == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c != '&') {
      out += c;
      ++i;
      continue;
    }
    size_t limit = std::min(text.size(), i + 9);
    size_t semi = std::string::npos;
    for (size_t k = i + 1; k < limit; ++k) {
      if (text[k] == ';') {
        semi = k;
        break;
      }
    }
    char byte = 0;
    if (semi != std::string::npos &&
        DecodeReference(std::string_view(text).substr(i, semi - i + 1), byte)) {
      out += byte;
      i = semi + 1;
    } else {
      out += '&';
      ++i;
    }
  }
  text.swap(out);
}

void HtmlToPlainText(std::string& text) {
  ReplaceTags(text, " ");
  HtmlDecodeEntities(text);
}

void HtmlStripTags(std::string& text) {
  ReplaceTags(text, "");
}

void StripPercentVariables(std::string& text) {
  if (text.find('%') == std::string::npos) return;
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '%') {
      out += text[i++];
      continue;
    }
    size_t j = i + 1;
    while (j < text.size() && text[j] != '%' && text[j] != '<' && text[j] != '>') ++j;
    if (j < text.size() && text[j] == '%') {
      i = j + 1;  // "%NAME%" dropped
    } else {
      out += '%';
      ++i;
    }
  }
  text.swap(out);
}

std::optional<std::string> TagGetAttribute(const HtmlToken& tag, std::string_view name) {
  if (!HtmlIsTagKind(tag.kind)) return std::nullopt;
  return TagGetAttribute(std::string_view(tag.text), name);
}

std::optional<std::string> TagGetAttribute(std::string_view tag, std::string_view name) {
  if (tag.empty() || tag[0] != '<' || name.empty()) return std::nullopt;
  size_t n = tag.size();
  size_t i = 1;
  while (i < n && IsBlank(tag[i])) ++i;
  if (i < n && tag[i] == '/') ++i;
  while (i < n && !IsBlank(tag[i]) && tag[i] != '>' && tag[i] != '/') ++i;  // the tag name
  while (i < n) {
    while (i < n && (IsBlank(tag[i]) || tag[i] == '/')) ++i;
    if (i >= n || tag[i] == '>') break;
    size_t nameStart = i;
    while (i < n && !IsBlank(tag[i]) && tag[i] != '=' && tag[i] != '>') ++i;
    std::string_view attr = tag.substr(nameStart, i - nameStart);
    size_t j = i;
    while (j < n && IsBlank(tag[j])) ++j;
    bool hasValue = j < n && tag[j] == '=';
    std::string_view value;
    if (hasValue) {
      ++j;
      while (j < n && IsBlank(tag[j])) ++j;
      if (j < n && (tag[j] == '"' || tag[j] == '\'')) {
        char quote = tag[j++];
        size_t end = tag.find(quote, j);
        if (end == std::string_view::npos) end = n;
        value = tag.substr(j, end - j);
        i = end < n ? end + 1 : n;
      } else {
        size_t end = j;
        while (end < n && !IsBlank(tag[end]) && tag[end] != '>') ++end;
        value = tag.substr(j, end - j);
        i = end;
      }
    }
    if (attr.empty()) {
      if (!hasValue) ++i;  // a stray character: step over it
      continue;
    }
    if (EqualNoCase(attr, name)) {
      if (!hasValue) return std::string(attr);
      std::string result;
      result.reserve(value.size());
      for (size_t k = 0; k < value.size();) {
        if (StartsWithNoCase(value.substr(k), "&quot;")) {
          result += '"';
          k += 6;
        } else {
          result += value[k++];
        }
      }
      return result;
    }
  }
  return std::nullopt;
}

std::string ResolveLink(std::string_view pageAddress, std::string_view link) {
  if (StartsWithNoCase(link, "http:///")) {
    link.remove_prefix(7);
  } else if (StartsWithNoCase(link, "https:///")) {
    link.remove_prefix(8);
  }
  if (pageAddress.empty() || StartsWithNoCase(link, "http:") || StartsWithNoCase(link, "https:") ||
      StartsWithNoCase(link, "ftp:") || StartsWithNoCase(link, "mailto:")) {
    return std::string(link);
  }
  if (IsLocalPath(pageAddress)) return JoinLocal(pageAddress, link);
  return JoinWeb(pageAddress, link);
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

}  // namespace tolmi
