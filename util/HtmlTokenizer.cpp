#include "util/HtmlTokenizer.h"

#include <array>
#include <cstring>

#include "util/StringTrie.h"

namespace tolmi {

namespace {

// Tag names in the order of their numbers (FORM is 1).
constexpr std::array<std::string_view, kHtmlTagCount> kTagNames = {
    "FORM",  "INPUT",    "TEXTAREA", "TD",    "TR",         "B",       "P",        "TABLE",
    "TH",    "A",        "BR",       "I",     "U",          "UL",      "OL",       "CENTER",
    "HTML",  "BODY",     "TBODY",    "FONT",  "HR",         "DIV",     "SELECT",   "OPTION",
    "NOBR",  "HEAD",     "TITLE",    "META",  "STYLE",      "SCRIPT",  "NOSCRIPT", "IMG",
    "LI",    "STRONG",   "PRE",      "H1",    "H2",         "H3",      "H4",       "H5",
    "H6",    "THEAD",    "IFRAME",   "ABBR",  "ACRONYM",    "ADDRESS", "APPLET",   "AREA",
    "BASE",  "BASEFONT", "BDO",      "BIG",   "BLOCKQUOTE", "BUTTON",  "CAPTION",  "CITE",
    "CODE",  "COL",      "COLGROUP", "DD",    "DEL",        "DFN",     "DIR",      "DL",
    "DT",    "EM",       "FIELDSET", "FRAME", "FRAMESET",   "INS",     "ISINDEX",  "KBD",
    "LABEL", "LEGEND",   "LINK",     "MAP",   "MENU",       "OBJECT",  "OPTGROUP", "PARAM",
    "Q",     "S",        "SAMP",     "SMALL", "SPAN",       "STRIKE",  "SUB",      "SUP",
    "TFOOT", "TT",       "VAR",      "PHP",   "XML",
};

// No tag name is longer than this; longer words are not looked up at all.
constexpr size_t kMaxTagName = 16;

const StringTrie& TagTable() {
  static const StringTrie table = [] {
    StringTrie t;
    for (size_t i = 0; i < kTagNames.size(); ++i) t.Insert(kTagNames[i], int32_t(i + 1));
    return t;
  }();
  return table;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

// Case-insensitive match of an upper-case word at pos.
bool MatchUpper(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Upper(text[pos + i]) != word[i]) return false;
  }
  return true;
}

bool ContainsUpper(std::string_view text, std::string_view word) {
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (MatchUpper(text, i, word)) return true;
  }
  return false;
}

bool IsInlineTag(int kind) {
  int k = kind < 0 ? -kind : kind;
  return k == kHtmlTagA || k == kHtmlTagB || k == kHtmlTagI || k == kHtmlTagU ||
         k == kHtmlTagFont || k == kHtmlTagStrong || k == kHtmlTagEm || k == kHtmlTagSup;
}

bool IsContent(int kind) {
  return kind == kHtmlText || kind == kHtmlReference;
}

// Finds a fixed pattern for a series of calls whose start positions never decrease, reusing
// the last answer while it still lies ahead: the whole series costs one pass over the text.
class ForwardFinder {
 public:
  explicit ForwardFinder(std::string_view pattern) : pattern_(pattern) {}
  size_t Find(std::string_view text, size_t from) {
    if (!valid_ || (found_ != std::string_view::npos && found_ < from)) {
      found_ = text.find(pattern_, from);
      valid_ = true;
    }
    return found_;
  }

 private:
  std::string_view pattern_;
  size_t found_ = 0;
  bool valid_ = false;
};

// A position in the text together with the parity of the double quotes before it.
struct QuoteCursor {
  size_t pos = 0;
  int parity = 0;
  void AdvanceTo(std::string_view text, size_t target) {
    for (; pos < target && pos < text.size(); ++pos) {
      if (text[pos] == '"') parity ^= 1;
    }
  }
};

class Tokenizer {
 public:
  Tokenizer(std::string_view text, int options, const HtmlProgress& progress)
      : text_(text), options_(options), progress_(progress) {}

  std::vector<HtmlToken> Run() {
    tokens_.reserve(text_.size() / 16 + 4);  // typical markup has a token every 10-30 bytes
    size_t pos = 0;
    while (pos < text_.size()) {
      if (text_[pos] == '<') {
        pos = ReadMarkup(pos);
      } else if (text_[pos] == '&' && IsReferenceAt(pos)) {
        size_t end = text_.find(';', pos) + 1;
        Add(kHtmlReference, pos, end);
        pos = end;
      } else {
        pos = ReadText(pos);
      }
      if (progress_ && pos - reported_ >= kProgressStep) {
        reported_ = pos;
        progress_(pos, text_.size());
      }
    }
    if (options_ & kHtmlMergeInline) MergeInlineRuns();
    return std::move(tokens_);
  }

 private:
  static constexpr size_t kProgressStep = 64 * 1024;

  void Add(int kind, size_t begin, size_t end) {
    tokens_.push_back(HtmlToken{kind, std::string(text_.substr(begin, end - begin)), begin});
  }

  // "&" followed by ";" within 10 characters and no blank before it.
  bool IsReferenceAt(size_t pos) const {
    for (size_t k = pos + 1; k <= pos + 10 && k < text_.size(); ++k) {
      if (text_[k] == ';') return true;
      if (IsBlank(text_[k])) return false;
    }
    return false;
  }

  size_t ReadText(size_t pos) {
    size_t end = pos;
    while (end < text_.size()) {
      char c = text_[end];
      if (c == '<' || (c == '&' && end > pos && IsReferenceAt(end))) break;
      ++end;
    }
    if (!(options_ & kHtmlSplitSentences)) {
      Add(kHtmlText, pos, end);
      return end;
    }
    size_t start = pos;
    for (size_t i = pos; i + 1 < end; ++i) {
      if (text_[i] == '.' && IsBlank(text_[i + 1])) {
        Add(kHtmlText, start, i + 1);
        start = i + 1;
      }
    }
    if (start < end) Add(kHtmlText, start, end);
    return end;
  }

  // Position of the first ">" after the "<" at pos that is outside double quotes (counted
  // from pos), or npos when there is none. The calls come with growing pos, so each quote
  // cursor only moves forward.
  size_t TagClose(size_t pos) {
    base_.AdvanceTo(text_, pos);
    int parity = base_.parity;
    QuoteCursor& c = close_[parity];
    if (c.pos <= pos) c.AdvanceTo(text_, pos + 1);
    while (c.pos < text_.size() && !(text_[c.pos] == '>' && c.parity == parity)) {
      c.AdvanceTo(text_, c.pos + 1);
    }
    return c.pos < text_.size() ? c.pos : std::string_view::npos;
  }

  // Position just past the tag at pos: after its ">", or the end of the text.
  size_t TagEnd(size_t pos) {
    size_t close = TagClose(pos);
    return close != std::string_view::npos ? close + 1 : text_.size();
  }

  size_t ReadComment(size_t pos) {
    size_t from = pos + 4;
    size_t end = dashClose_.Find(text_, from);
    if (end != std::string_view::npos) return end + 3;
    end = bangClose_.Find(text_, from);
    if (end != std::string_view::npos) return end + 3;
    end = gt_.Find(text_, from);
    if (end != std::string_view::npos) return end + 1;
    return text_.size();
  }

  // Reads the tag, comment or declaration at the "<" at pos; returns where to go on.
  size_t ReadMarkup(size_t pos) {
    if (text_.compare(pos, 4, "<!--") == 0) {
      size_t end = ReadComment(pos);
      Add(kHtmlComment, pos, end);
      return end;
    }
    size_t name = pos + 1;
    while (name < text_.size() && IsBlank(text_[name])) ++name;
    if (name < text_.size() && text_[name] == '!') {
      if (text_.compare(name, 8, "![CDATA[") == 0) {
        size_t close = cdataClose_.Find(text_, name + 8);
        size_t end = close != std::string_view::npos ? close + 3 : TagEnd(pos);
        Add(kHtmlComment, pos, end);
        return end;
      }
      size_t end = TagEnd(pos);
      std::string_view tag = text_.substr(pos, end - pos);
      int kind = kHtmlText;
      if (ContainsUpper(tag, "DOCTYPE")) {
        kind = kHtmlOtherTag;
      } else if (name + 1 < text_.size() && text_[name + 1] == '-') {
        kind = kHtmlComment;
      }
      Add(kind, pos, end);
      return end;
    }
    bool closing = name < text_.size() && text_[name] == '/';
    if (closing) ++name;
    size_t nameEnd = name;
    while (nameEnd < text_.size() && nameEnd - name <= kMaxTagName && !IsBlank(text_[nameEnd]) &&
           text_[nameEnd] != '>' && text_[nameEnd] != '/' && text_[nameEnd] != '<') {
      ++nameEnd;
    }
    int number = 0;
    if (nameEnd - name <= kMaxTagName) {
      number = TagTable().FindNoCase(text_.substr(name, nameEnd - name));
    }
    size_t close = TagClose(pos);
    size_t end = close != std::string_view::npos ? close + 1 : text_.size();
    if (number == 0) {
      // An unknown word is a tag only when its ">" comes before any further "<".
      size_t nextOpen = lt_.Find(text_, pos + 1);
      if (close == std::string_view::npos || nextOpen < close) {
        Add(kHtmlText, pos, pos + 1);
        return pos + 1;
      }
      Add(kHtmlOtherTag, pos, end);
      return end;
    }
    Add(closing ? -number : number, pos, end);
    if (!closing && (number == kHtmlTagScript || number == kHtmlTagStyle)) {
      end = ReadRawContent(end, number == kHtmlTagScript ? "/SCRIPT" : "/STYLE",
                           number == kHtmlTagScript ? kHtmlScriptContent : kHtmlStyleContent);
    }
    return end;
  }

  // The content of a SCRIPT or STYLE element: everything up to the "<" (blanks may follow
  // it) of the closing tag, or to the end of the text.
  size_t ReadRawContent(size_t pos, std::string_view closer, int kind) {
    size_t end = pos;
    while (true) {
      const void* hit = std::memchr(text_.data() + end, '<', text_.size() - end);
      if (!hit) {
        end = text_.size();
        break;
      }
      end = static_cast<const char*>(hit) - text_.data();
      size_t k = end + 1;
      while (k < text_.size() && IsBlank(text_[k])) ++k;
      if (MatchUpper(text_, k, closer)) break;
      ++end;
    }
    if (end > pos) Add(kind, pos, end);
    return end;
  }

  // Joins text and references separated only by inline formatting tags into one text token.
  // A run may start with opening inline tags and end with closing ones; two text tokens that
  // follow each other directly (a sentence split) stay apart.
  void MergeInlineRuns() {
    std::vector<HtmlToken> out;
    out.reserve(tokens_.size());
    size_t i = 0;
    const size_t n = tokens_.size();
    while (i < n) {
      int kind = tokens_[i].kind;
      if (!IsContent(kind) && !(IsInlineTag(kind) && kind > 0)) {
        out.push_back(std::move(tokens_[i++]));
        continue;
      }
      size_t j = i + 1;
      while (j < n) {
        int k = tokens_[j].kind;
        if (IsInlineTag(k)) {
          ++j;
        } else if (IsContent(k) && !(k == kHtmlText && tokens_[j - 1].kind == kHtmlText)) {
          ++j;
        } else {
          break;
        }
      }
      // The run ends with its last content or closing tag; opening tags after it stay apart.
      size_t last = i;
      bool hasText = false;
      for (size_t k = i; k < j; ++k) {
        int kk = tokens_[k].kind;
        if (IsContent(kk) || kk < 0) last = k;
        if (kk == kHtmlText) hasText = true;
      }
      if (last > i && hasText) {
        HtmlToken merged{kHtmlText, {}, tokens_[i].offset};
        for (size_t k = i; k <= last; ++k) merged.text += tokens_[k].text;
        out.push_back(std::move(merged));
      } else {
        for (size_t k = i; k <= last; ++k) out.push_back(std::move(tokens_[k]));
      }
      for (size_t k = last + 1; k < j; ++k) out.push_back(std::move(tokens_[k]));
      i = j;
    }
    tokens_.swap(out);
  }

  std::string_view text_;
  int options_;
  const HtmlProgress& progress_;
  std::vector<HtmlToken> tokens_;
  size_t reported_ = 0;
  QuoteCursor base_;
  QuoteCursor close_[2];
  ForwardFinder dashClose_{"-->"};
  ForwardFinder bangClose_{"-!>"};
  ForwardFinder gt_{">"};
  ForwardFinder lt_{"<"};
  ForwardFinder cdataClose_{"]]>"};
};

}  // namespace

bool HtmlIsTagKind(int kind) {
  return (kind >= 1 && kind <= kHtmlTagCount) || (kind <= -1 && kind >= -kHtmlTagCount) ||
         kind == kHtmlOtherTag;
}

int HtmlTagNumber(std::string_view name) {
  if (name.empty() || name.size() > kMaxTagName) return 0;
  return TagTable().FindNoCase(name);
}

std::string_view HtmlTagName(int number) {
  if (number < 1 || number > kHtmlTagCount) return {};
  return kTagNames[number - 1];
}

std::vector<HtmlToken> HtmlTokenize(std::string_view text, int options,
                                    const HtmlProgress& progress) {
  if (text.empty()) return {};
  return Tokenizer(text, options, progress).Run();
}

}  // namespace tolmi
