// HTML text routines shared by the builder, invoices, gateways and the editors: decoding
// character references, turning markup into plain text, dropping leftover %VARIABLES%,
// reading a tag's attributes and resolving a link against the page that holds it.
// Text is single-byte (ISO 8859-1); nothing here transcodes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "util/HtmlTokenizer.h"

namespace tolmi {

// Decodes character references in place, left to right. A reference is an "&" with a ";"
// at most 8 characters after it. "&#nnn;" with exactly three digits and a value of 1..255
// becomes that byte ("&#065;" is "A"; "&#65;" stays). A known name becomes its Latin-1 byte
// ("&nbsp;" a plain space); the first letter's case must match ("&Ouml;" and "&ouml;" differ),
// the other letters ignore case. Anything else is left as it is. A decoded "&" is not
// examined again.
void HtmlDecodeEntities(std::string& text);

// Replaces every tag ("<" to the next ">" outside a quoted run) by one space, then decodes
// the references. From an unclosed "<" on, the text is kept as it is.
void HtmlToPlainText(std::string& text);

// Removes every tag ("<" to the next ">" outside a quoted run). From an unclosed "<" on, the
// text is kept as it is.
void HtmlStripTags(std::string& text);

// Escapes "&", "<", ">", '"' and "'" as character references, for HTML text and attribute
// values that came from outside (shoppers, queries).
std::string HtmlEscape(std::string_view text);

// Removes every run from a "%" to the next "%" ("%NAME%"), unless a "<", ">" or the end of
// the text comes first; then that "%" stays. "Total: %TOTAL% 100%" gives "Total:  100%".
void StripPercentVariables(std::string& text);

// The value of the attribute called name (ignoring ASCII case) of a tag: the text between
// double or single quotes, or up to the next blank or ">" when unquoted, with "&quot;" turned
// into a double quote. An attribute without "=" gives its own name. Nothing when the token
// is not a tag or has no such attribute.
std::optional<std::string> TagGetAttribute(const HtmlToken& tag, std::string_view name);

// The same on the text of one tag ("<img src=a.gif>"); nothing when it does not begin "<".
std::optional<std::string> TagGetAttribute(std::string_view tagText, std::string_view name);

// Resolves a link found in the page at pageAddress:
// - "http:///x" and "https:///x" become the site-absolute "/x";
// - a link with its own scheme ("http:", "https:", "ftp:", "mailto:") or an empty page
//   address gives the link unchanged;
// - a local page (a drive path "C:\..." or a path beginning "/" or "\") gives the page's
//   folder joined with the link, with "/" separators, doubled separators reduced and "."
//   and ".." segments resolved;
// - a web page address loses anything from "HTTP" on, its "?" part (unless it holds
//   ".jsp") and "/POST"; a link beginning "/" replaces everything after the host, another
//   link everything after the last "/"; ".." segments after the host are resolved.
std::string ResolveLink(std::string_view pageAddress, std::string_view link);

}  // namespace tolmi
