// Splitting HTML into tokens (tags, text, character references, comments, script and
// style content) for the template and page editors, and the table of known tag names.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

// Token kinds. A known opening tag has its tag number (1..kHtmlTagCount) as kind; the
// matching closing tag has the negated number.
inline constexpr int kHtmlText = 0;
inline constexpr int kHtmlReference = 100;      // "&name;" or "&#nnn;"
inline constexpr int kHtmlStyleContent = 101;   // everything inside a STYLE element
inline constexpr int kHtmlScriptContent = 102;  // everything inside a SCRIPT element
inline constexpr int kHtmlComment = 103;        // "<!--", "<!-" or a CDATA section
inline constexpr int kHtmlOtherTag = 127;       // unknown tag name, or a DOCTYPE declaration

inline constexpr int kHtmlTagCount = 93;
inline constexpr int kHtmlTagB = 6;
inline constexpr int kHtmlTagA = 10;
inline constexpr int kHtmlTagI = 12;
inline constexpr int kHtmlTagU = 13;
inline constexpr int kHtmlTagFont = 20;
inline constexpr int kHtmlTagStyle = 29;
inline constexpr int kHtmlTagScript = 30;
inline constexpr int kHtmlTagStrong = 34;
inline constexpr int kHtmlTagEm = 66;
inline constexpr int kHtmlTagSup = 88;

// Tokenizer options (bit flags).
inline constexpr int kHtmlSplitSentences = 1;  // split text after each "." followed by a blank
inline constexpr int kHtmlMergeInline = 2;     // join text across inline formatting tags

// One token: its kind, its characters exactly as in the source, and where it starts.
struct HtmlToken {
  int kind = kHtmlText;
  std::string text;
  size_t offset = 0;

  bool operator==(const HtmlToken&) const = default;
};

// True for the kinds that stand for a tag: known opening and closing tags and kHtmlOtherTag.
bool HtmlIsTagKind(int kind);

// The number (1..kHtmlTagCount) of a tag name, ignoring ASCII case ("b", "Font"); 0 when the
// name is not in the table.
int HtmlTagNumber(std::string_view name);

// The upper-case name of tag number n ("FONT" for 20); "" when n is out of range.
std::string_view HtmlTagName(int number);

// Called now and then while tokenizing with the bytes done so far and the total.
using HtmlProgress = std::function<void(size_t done, size_t total)>;

// Splits text into tokens in text order; the concatenated texts of the tokens give the
// input back unless kHtmlMergeInline is set (merged tokens keep their characters too, so
// the concatenation is still the input). An empty text gives no tokens. Any bytes,
// including NUL and unterminated tags, quotes, comments and references, are accepted; the
// cost is linear in the size of the text.
std::vector<HtmlToken> HtmlTokenize(std::string_view text, int options = 0,
                                    const HtmlProgress& progress = {});

}  // namespace tolmi
