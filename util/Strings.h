// String routines on std::string and std::string_view: case-insensitive search and comparison,
// replacing, trimming, comma lists, wildcard patterns, URL and newline encoding, number text.
// Text is bytes; "no case" means ASCII letters fold, every other byte compares exactly.
// Positions are byte offsets; std::string::npos means "not found".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolmi {

inline constexpr std::size_t kNotFound = std::string::npos;

// ASCII case folding of one byte; other bytes are returned unchanged.
inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// Copies of text with ASCII letters folded.
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// True when a and b are equal ignoring ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);
// True when text begins (ends) with affix, ignoring ASCII case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool EndsWithNoCase(std::string_view text, std::string_view suffix);

// Position of the first occurrence of sub at or after from (exact bytes); kNotFound if none. An
// empty sub is found at from (when from <= text.size()). Linear in the worst case.
std::size_t FindExact(std::string_view text, std::string_view sub, std::size_t from = 0);
// Position of the first occurrence of sub at or after from, ignoring ASCII case; kNotFound if
// none. An empty sub is found at from (when from <= text.size()). Linear in the worst case.
std::size_t FindNoCase(std::string_view text, std::string_view sub, std::size_t from = 0);
// Position of the last occurrence of sub ignoring ASCII case; kNotFound if none.
std::size_t RFindNoCase(std::string_view text, std::string_view sub);

// Replaces every occurrence of old by new_ left to right; text produced by a replacement is
// never searched again. Returns the number of replacements (0 and s unchanged when old is
// empty or absent). Linear in the size of s plus the output.
int ReplaceAll(std::string& s, std::string_view old, std::string_view new_);
// The same with an ASCII case-insensitive search.
int ReplaceAllNoCase(std::string& s, std::string_view old, std::string_view new_);
// Replaces the first (last) occurrence; true when one was replaced. An empty old never matches.
bool ReplaceFirst(std::string& s, std::string_view old, std::string_view new_);
bool ReplaceFirstNoCase(std::string& s, std::string_view old, std::string_view new_);
bool ReplaceLast(std::string& s, std::string_view old, std::string_view new_);

// Replaces the first occurrence of old at or after from; returns the position just after the
// inserted text, or kNotFound (s unchanged) when buffer or old is empty or old does not occur.
std::size_t StrReplaceFirst(std::string& buffer, std::string_view old, std::string_view new_,
                            std::size_t from = 0);
std::size_t StrReplaceFirstNoCase(std::string& buffer, std::string_view old, std::string_view new_,
                                  std::size_t from = 0);
// The same for the last occurrence.
std::size_t StrReplaceLast(std::string& buffer, std::string_view old, std::string_view new_);
// Position of the first case-insensitive occurrence of sub, or kNotFound.
inline std::size_t StrFindNoCase(std::string_view text, std::string_view sub) {
  return FindNoCase(text, sub, 0);
}

// dst becomes at most n characters of src; a negative n gives "". Returns dst.
std::string& StrCopyN(std::string& dst, std::string_view src, long long n);
// dst becomes src up to (not including) the first ch, all of src if ch does not occur; at most n
// characters for the N form (a negative n gives ""). Returns dst.
std::string& StrCopyUntil(std::string& dst, std::string_view src, char ch);
std::string& StrCopyUntilN(std::string& dst, std::string_view src, char ch, long long n);
// Appends src up to the first ch to dst. Returns dst.
std::string& StrAppendUntil(std::string& dst, std::string_view src, char ch);
// Number of occurrences of ch in text.
std::size_t StrCountChar(std::string_view text, char ch);

// The text after the first start character up to (not including) the first stop character after
// it, or to the end; nullopt when start does not occur.
std::optional<std::string> StrExtractAfter(std::string_view text, char start, char stop);
// As StrExtractAfter, but a stop character counts only outside quoted runs.
std::optional<std::string> StrExtractAfterOutsideQuotes(std::string_view text, char start,
                                                        char stop);
// Position of the first ch that is not inside a run enclosed in double quotes or in apostrophes
// (searching for a quote character itself finds the first one outside a run); kNotFound if none.
std::size_t StrFindOutsideQuotes(std::string_view text, char ch);
// Number of ch outside quoted runs.
std::size_t StrCountOutsideQuotes(std::string_view text, char ch);

// Trims in place, returning s. Spaces: leading and trailing ' ' only. Newlines: trailing CR and
// LF, but never the first character. RightWhite: trailing ' ', CR, LF. White: leading and
// trailing ' ', CR, LF (a tab stays).
std::string& StrTrimSpaces(std::string& s);
std::string& StrTrimNewlines(std::string& s);
std::string& StrTrimRightWhite(std::string& s);
std::string& StrTrimWhite(std::string& s);

// Comma-separated list lookup, answered like a comparison: 0 when an element equals item
// exactly (ignoring ASCII case for the NoCase twin), 1 when none does.
int StrListContains(std::string_view item, std::string_view list);
int StrListContainsNoCase(std::string_view item, std::string_view list);

// Case-insensitive wildcard match: "*" any run, "?" any one character (or none at the end of
// the text). A literal run after a "*" jumps to its first occurrence; a failure later is not
// retried at a later occurrence, so "*.htm" does not match "a.htm.htm".
bool StrWildcardMatch(std::string_view text, std::string_view pattern);
// True when text matches any pattern of list, separated by "," (or by ";" if there is no ",").
bool StrMatchPatternList(std::string_view text, std::string_view list);

// In place: every byte other than an ASCII letter or digit, space, "*", ".", "-", "_" becomes
// "%" and two upper-case hex digits; then every space becomes "+". Returns buffer.
std::string& UrlEncode(std::string& buffer);
// A copy with every CR LF, lone LF and lone CR replaced by "@@@" (one-line storage of a value).
std::string EncodeNewlines(std::string_view text);
// In place: every "@@@" becomes CR LF. Returns text.
std::string& DecodeNewlines(std::string& text);
// In place: "\" becomes "/", runs of "/" collapse to one, a leading drive "X:" is removed:
// "C:\web\a.htm" gives "/web/a.htm". Returns path.
std::string& PathToUrlPath(std::string& path);

// Decimal text of n.
std::string IntToText(std::int64_t n);
// n formatted with "%.<decimals>f"; decimals is clamped to 0..40.
std::string FloatToText(double value, int decimals);
// Value 0..255 of two hexadecimal digits of either case; -1 when either is not a hex digit.
int HexPairToInt(char high, char low);
// Value 0..15 of one hexadecimal digit; -1 when it is not one.
int HexDigitValue(char c);
// A copy with every "$" replaced by a NUL byte ("File (*.*)$*.*$$" becomes a NUL-separated list).
std::string DollarToNul(std::string_view text);

}  // namespace tolmi
