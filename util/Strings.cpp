#include "util/Strings.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tolmi {

namespace {

constexpr std::array<unsigned char, 256> MakeLowerTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) {
    table[i] = static_cast<unsigned char>((i >= 'A' && i <= 'Z') ? i + 32 : i);
  }
  return table;
}
constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

inline unsigned char Fold(char c) {
  return kLower[static_cast<unsigned char>(c)];
}

// Equal ignoring ASCII case over n bytes.
inline bool EqualNoCaseN(const char* a, const char* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

template <typename Find>
int ReplaceAllWith(std::string& s, std::string_view old, std::string_view new_, Find find) {
  if (old.empty()) return 0;
  std::size_t pos = find(s, old, 0);
  if (pos == kNotFound) return 0;
  // Build the result once: linear however many replacements there are. old and new_ may point
  // into s, which stays untouched until the swap.
  std::string out;
  out.reserve(new_.size() > old.size() ? s.size() + (new_.size() - old.size()) * 4 : s.size());
  std::size_t last = 0;
  int count = 0;
  while (pos != kNotFound) {
    out.append(s, last, pos - last);
    out.append(new_);
    last = pos + old.size();
    ++count;
    pos = find(s, old, last);
  }
  out.append(s, last, std::string::npos);
  s.swap(out);
  return count;
}

// Needles up to this length are compared directly at each candidate (at most this many steps per
// text byte); longer ones use a failure table so that the search stays linear.
constexpr std::size_t kShortNeedle = 32;

std::size_t FindNoCaseLong(std::string_view text, std::string_view sub, std::size_t from) {
  std::vector<std::size_t> fail(sub.size() + 1, 0);
  for (std::size_t i = 1, k = 0; i < sub.size(); ++i) {
    while (k > 0 && Fold(sub[i]) != Fold(sub[k])) k = fail[k];
    if (Fold(sub[i]) == Fold(sub[k])) ++k;
    fail[i + 1] = k;
  }
  std::size_t matched = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    while (matched > 0 && Fold(text[i]) != Fold(sub[matched])) matched = fail[matched];
    if (Fold(text[i]) == Fold(sub[matched])) ++matched;
    if (matched == sub.size()) return i + 1 - sub.size();
  }
  return kNotFound;
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

bool IsAsciiAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(Fold(c));
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && EqualNoCaseN(a.data(), b.data(), a.size());
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCaseN(text.data(), prefix.data(), prefix.size());
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualNoCaseN(text.data() + text.size() - suffix.size(), suffix.data(), suffix.size());
}

std::size_t FindExact(std::string_view text, std::string_view sub, std::size_t from) {
  if (from > text.size()) return kNotFound;
  if (sub.empty()) return from;
  // Short needles: the library's first-byte scan is fastest and costs at most kShortNeedle steps
  // per byte. Long needles: glibc's memmem, linear in the worst case (two-way search).
  if (sub.size() <= kShortNeedle) return text.find(sub, from);
  const void* at = memmem(text.data() + from, text.size() - from, sub.data(), sub.size());
  return at ? static_cast<std::size_t>(static_cast<const char*>(at) - text.data()) : kNotFound;
}

std::size_t FindNoCase(std::string_view text, std::string_view sub, std::size_t from) {
  if (from > text.size()) return kNotFound;
  if (sub.empty()) return from;
  if (sub.size() > text.size() - from) return kNotFound;
  if (sub.size() > kShortNeedle) return FindNoCaseLong(text, sub, from);
  const unsigned char first = Fold(sub[0]);
  const unsigned char firstUpper = static_cast<unsigned char>(AsciiUpper(static_cast<char>(first)));
  const char* base = text.data();
  const char* p = base + from;
  const char* last = base + (text.size() - sub.size());  // last possible start
  while (p <= last) {
    if (first == firstUpper) {
      p = static_cast<const char*>(std::memchr(p, first, static_cast<std::size_t>(last - p) + 1));
      if (p == nullptr) return kNotFound;
    } else if (Fold(*p) != first) {
      ++p;
      continue;
    }
    if (EqualNoCaseN(p + 1, sub.data() + 1, sub.size() - 1)) {
      return static_cast<std::size_t>(p - base);
    }
    ++p;
  }
  return kNotFound;
}

std::size_t RFindNoCase(std::string_view text, std::string_view sub) {
  if (sub.size() > text.size()) return kNotFound;
  for (std::size_t i = text.size() - sub.size() + 1; i-- > 0;) {
    if (EqualNoCaseN(text.data() + i, sub.data(), sub.size())) return i;
  }
  return kNotFound;
}

int ReplaceAll(std::string& s, std::string_view old, std::string_view new_) {
  return ReplaceAllWith(s, old, new_, FindExact);
}

int ReplaceAllNoCase(std::string& s, std::string_view old, std::string_view new_) {
  return ReplaceAllWith(s, old, new_, FindNoCase);
}

bool ReplaceFirst(std::string& s, std::string_view old, std::string_view new_) {
  return StrReplaceFirst(s, old, new_) != kNotFound;
}

bool ReplaceFirstNoCase(std::string& s, std::string_view old, std::string_view new_) {
  return StrReplaceFirstNoCase(s, old, new_) != kNotFound;
}

bool ReplaceLast(std::string& s, std::string_view old, std::string_view new_) {
  return StrReplaceLast(s, old, new_) != kNotFound;
}

std::size_t StrReplaceFirst(std::string& buffer, std::string_view old, std::string_view new_,
                            std::size_t from) {
  if (buffer.empty() || old.empty()) return kNotFound;
  const std::size_t pos = FindExact(buffer, old, from);
  if (pos == kNotFound) return kNotFound;
  buffer.replace(pos, old.size(), new_.data(), new_.size());
  return pos + new_.size();
}

std::size_t StrReplaceFirstNoCase(std::string& buffer, std::string_view old, std::string_view new_,
                                  std::size_t from) {
  if (buffer.empty() || old.empty()) return kNotFound;
  const std::size_t pos = FindNoCase(buffer, old, from);
  if (pos == kNotFound) return kNotFound;
  buffer.replace(pos, old.size(), new_.data(), new_.size());
  return pos + new_.size();
}

std::size_t StrReplaceLast(std::string& buffer, std::string_view old, std::string_view new_) {
  if (buffer.empty() || old.empty()) return kNotFound;
  const std::size_t pos = buffer.rfind(old);
  if (pos == kNotFound) return kNotFound;
  buffer.replace(pos, old.size(), new_.data(), new_.size());
  return pos + new_.size();
}

std::string& StrCopyN(std::string& dst, std::string_view src, long long n) {
  if (n <= 0) {
    dst.clear();
    return dst;
  }
  const std::size_t count = std::min(src.size(), static_cast<std::size_t>(n));
  dst.assign(src.data(), count);
  return dst;
}

std::string& StrCopyUntil(std::string& dst, std::string_view src, char ch) {
  const std::size_t stop = src.find(ch);
  dst.assign(src.substr(0, stop));
  return dst;
}

std::string& StrCopyUntilN(std::string& dst, std::string_view src, char ch, long long n) {
  const std::size_t stop = src.find(ch);
  return StrCopyN(dst, src.substr(0, stop), n);
}

std::string& StrAppendUntil(std::string& dst, std::string_view src, char ch) {
  const std::size_t stop = src.find(ch);
  dst.append(src.substr(0, stop));
  return dst;
}

std::size_t StrCountChar(std::string_view text, char ch) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), ch));
}

std::optional<std::string> StrExtractAfter(std::string_view text, char start, char stop) {
  const std::size_t at = text.find(start);
  if (at == kNotFound) return std::nullopt;
  std::string_view rest = text.substr(at + 1);
  return std::string(rest.substr(0, rest.find(stop)));
}

std::optional<std::string> StrExtractAfterOutsideQuotes(std::string_view text, char start,
                                                        char stop) {
  const std::size_t at = text.find(start);
  if (at == kNotFound) return std::nullopt;
  std::string_view rest = text.substr(at + 1);
  return std::string(rest.substr(0, StrFindOutsideQuotes(rest, stop)));
}

std::size_t StrFindOutsideQuotes(std::string_view text, char ch) {
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == ch) {
      return i;
    } else if (IsQuote(c)) {
      quote = c;
    }
  }
  return kNotFound;
}

std::size_t StrCountOutsideQuotes(std::string_view text, char ch) {
  std::size_t count = 0;
  char quote = 0;
  for (const char c : text) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == ch) {
      ++count;
    } else if (IsQuote(c)) {
      quote = c;
    }
  }
  return count;
}

std::string& StrTrimSpaces(std::string& s) {
  const std::size_t end = s.find_last_not_of(' ');
  if (end == kNotFound) {
    s.clear();
    return s;
  }
  s.erase(end + 1);
  s.erase(0, s.find_first_not_of(' '));
  return s;
}

std::string& StrTrimNewlines(std::string& s) {
  std::size_t end = s.size();
  while (end > 1 && (s[end - 1] == '\r' || s[end - 1] == '\n')) --end;
  s.erase(end);
  return s;
}

std::string& StrTrimRightWhite(std::string& s) {
  const std::size_t end = s.find_last_not_of(" \r\n");
  s.erase(end == kNotFound ? 0 : end + 1);
  return s;
}

std::string& StrTrimWhite(std::string& s) {
  StrTrimRightWhite(s);
  s.erase(0, s.find_first_not_of(" \r\n"));
  return s;
}

namespace {

template <typename Equal>
int ListContainsWith(std::string_view item, std::string_view list, Equal equal) {
  std::size_t begin = 0;
  while (true) {
    const std::size_t comma = list.find(',', begin);
    const std::string_view element =
        list.substr(begin, comma == kNotFound ? std::string_view::npos : comma - begin);
    if (equal(element, item)) return 0;
    if (comma == kNotFound) return 1;
    begin = comma + 1;
  }
}

}  // namespace

int StrListContains(std::string_view item, std::string_view list) {
  return ListContainsWith(item, list,
                          [](std::string_view a, std::string_view b) { return a == b; });
}

int StrListContainsNoCase(std::string_view item, std::string_view list) {
  return ListContainsWith(item, list, EqualsNoCase);
}

bool StrWildcardMatch(std::string_view text, std::string_view pattern) {
  constexpr std::size_t kMaxRun = 500;
  std::size_t t = 0;
  std::size_t p = 0;
  bool starSeen = false;
  while (true) {
    if (p == pattern.size()) return t == text.size();
    const char c = pattern[p];
    if (c == '?') {
      if (t < text.size()) ++t;
      ++p;
      continue;
    }
    if (c == '*') {
      if (p + 1 == pattern.size()) return true;
      starSeen = true;
      ++p;
      continue;
    }
    std::size_t runEnd = pattern.find_first_of("*?", p);
    if (runEnd == kNotFound) runEnd = pattern.size();
    const std::string_view run = pattern.substr(p, std::min(runEnd - p, kMaxRun));
    if (!starSeen) {
      if (!StartsWithNoCase(text.substr(t), run)) return false;
      t += run.size();
    } else {
      const std::size_t at = FindNoCase(text, run, t);
      if (at == kNotFound) return false;
      t = at + run.size();
    }
    p += run.size();
  }
}

bool StrMatchPatternList(std::string_view text, std::string_view list) {
  const char separator = list.find(',') != kNotFound ? ',' : ';';
  std::size_t begin = 0;
  while (true) {
    const std::size_t end = list.find(separator, begin);
    const std::string_view pattern =
        list.substr(begin, end == kNotFound ? std::string_view::npos : end - begin);
    if (StrWildcardMatch(text, pattern)) return true;
    if (end == kNotFound) return false;
    begin = end + 1;
  }
}

std::string& UrlEncode(std::string& buffer) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(buffer.size() + buffer.size() / 2);
  for (const char ch : buffer) {
    const unsigned char c = static_cast<unsigned char>(ch);
    if (IsAsciiAlnum(c) || c == '*' || c == '.' || c == '-' || c == '_') {
      out.push_back(ch);
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  buffer.swap(out);
  return buffer;
}

std::string EncodeNewlines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out.append("@@@");
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string& DecodeNewlines(std::string& text) {
  if (text.find("@@@") == kNotFound) return text;
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, 3, "@@@") == 0) {
      out.append("\r\n");
      i += 3;
    } else {
      out.push_back(text[i++]);
    }
  }
  text.swap(out);
  return text;
}

std::string& PathToUrlPath(std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const char d = (c == '\\') ? '/' : c;
    if (d == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(d);
  }
  if (out.size() >= 2 && out[1] == ':' && IsAsciiAlnum(static_cast<unsigned char>(out[0])) &&
      !(out[0] >= '0' && out[0] <= '9')) {
    out.erase(0, 2);
  }
  path.swap(out);
  return path;
}

std::string IntToText(std::int64_t n) {
  return std::to_string(n);
}

std::string FloatToText(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 40);
  char small[64];
  const int needed = std::snprintf(small, sizeof small, "%.*f", decimals, value);
  if (needed < 0) return std::string();
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
  std::string out(static_cast<std::size_t>(needed) + 1, '\0');
  std::snprintf(out.data(), out.size(), "%.*f", decimals, value);
  out.resize(static_cast<std::size_t>(needed));
  return out;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int HexPairToInt(char high, char low) {
  const int h = HexDigitValue(high);
  const int l = HexDigitValue(low);
  if (h < 0 || l < 0) return -1;
  return h * 16 + l;
}

std::string DollarToNul(std::string_view text) {
  std::string out(text);
  std::replace(out.begin(), out.end(), '$', '\0');
  return out;
}

}  // namespace tolmi
