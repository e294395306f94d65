#include "server/Search.h"

#include <cctype>
#include <cstdio>
#include <set>
#include <utility>

#include "server/FormData.h"

namespace tolmi::server {

namespace {

constexpr size_t kIndexFields = 7;
constexpr size_t kMaxWords = 20;
constexpr size_t kMaxDescription = 300;

std::vector<std::string> Words(std::string_view query) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < query.size() && words.size() < kMaxWords) {
    while (i < query.size() && static_cast<unsigned char>(query[i]) <= ' ') ++i;
    size_t start = i;
    while (i < query.size() && static_cast<unsigned char>(query[i]) > ' ') ++i;
    if (i > start) words.push_back(AsciiLower(query.substr(start, i - start)));
  }
  return words;
}

// White space runs made one space, trimmed.
std::string Collapse(std::string_view text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (static_cast<unsigned char>(c) <= ' ') {
      space = !out.empty();
    } else {
      if (space) out.push_back(' ');
      space = false;
      out.push_back(c);
    }
  }
  return out;
}

// Tags removed, white space collapsed.
std::string PlainText(std::string_view text) {
  return Collapse(StripTags(text));
}

// HTML escaping that keeps entity references ("&pound;", "&#8364;") as they are: a currency
// is written into the pages unescaped, so it may be one.
std::string EscapeKeepingEntities(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      size_t j = i + 1;
      if (j < text.size() && text[j] == '#') ++j;
      size_t start = j;
      while (j < text.size() && std::isalnum(static_cast<unsigned char>(text[j]))) ++j;
      if (j > start && j < text.size() && text[j] == ';' && j - i <= 12) {
        out.append(text.substr(i, j - i + 1));
        i = j;
        continue;
      }
    }
    out += HtmlEscape(text.substr(i, 1));
  }
  return out;
}

// A file name made safe in a link: bytes other than letters, digits and "-._~" as %XX.
std::string UrlPathEscape(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

bool ParseIndexLine(std::string_view line, IndexEntry& entry) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  if (line.size() < 2 || line[0] != '#') return false;
  size_t bar = line.find('|');
  if (bar == std::string_view::npos || bar == 1 || bar > 4) return false;
  int type = 0;
  for (size_t i = 1; i < bar; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
    type = type * 10 + (line[i] - '0');
  }
  std::string values[kIndexFields];
  size_t pos = bar + 1;
  for (size_t k = 0; k < kIndexFields && pos <= line.size(); ++k) {
    if (pos < line.size() && line[pos] == '\'') {
      size_t end;
      if (k + 1 == kIndexFields) {
        end = line.rfind('\'');
        if (end <= pos) end = line.size();
      } else {
        end = line.find("'|", pos + 1);
        if (end == std::string_view::npos) return false;
      }
      values[k] = std::string(line.substr(pos + 1, end - pos - 1));
      pos = end + 2;
    } else {
      // Empty field: the separator follows at once.
      if (pos < line.size() && line[pos] != '|') return false;
      pos += 1;
    }
  }
  entry.type = type;
  entry.name = std::move(values[0]);
  entry.cost = std::move(values[1]);
  entry.file = std::move(values[2]);
  entry.image = std::move(values[3]);
  entry.link = std::move(values[4]);
  entry.description = std::move(values[5]);
  entry.keywords = std::move(values[6]);
  return true;
}

std::vector<IndexEntry> ParseIndex(std::string_view text) {
  std::vector<IndexEntry> entries;
  std::string page;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    IndexEntry entry;
    if (ParseIndexLine(text.substr(pos, end - pos), entry)) {
      if (entry.file.empty()) {
        entry.file = page;
      } else {
        page = entry.file;
      }
      entries.push_back(std::move(entry));
    }
    pos = end + 1;
  }
  return entries;
}

ResultLook StoreLook(const std::filesystem::path& storeDir, std::string_view indexText) {
  constexpr size_t kMaxPictures = 200000;
  ResultLook look;
  size_t pos = 0;
  while (pos < indexText.size()) {
    size_t end = indexText.find('\n', pos);
    if (end == std::string_view::npos) end = indexText.size();
    std::string_view line = indexText.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, 9) == "CURRENCY=") {
      look.currency = std::string(line.substr(9));
      break;
    }
    if (!line.empty() && line[0] == '#') break;  // the header is over
    pos = end + 1;
  }
  std::error_code ec;
  for (std::filesystem::directory_iterator it(storeDir / "img", ec), last; !ec && it != last;
       it.increment(ec)) {
    if (look.pictures.size() >= kMaxPictures) break;
    std::string name = it->path().filename().string();
    look.pictures.emplace(AsciiLower(name), name);
  }
  return look;
}

std::vector<IndexEntry> SearchIndex(const std::vector<IndexEntry>& entries, std::string_view query,
                                    size_t limit) {
  std::vector<IndexEntry> hits;
  std::vector<std::string> words = Words(query);
  if (words.empty()) return hits;
  std::set<std::pair<std::string, std::string>> seen;
  for (const auto& e : entries) {
    if (e.type != 1) continue;
    std::string haystack = AsciiLower(e.name + "\n" + e.description + "\n" + e.keywords);
    bool all = true;
    for (const auto& w : words) {
      if (haystack.find(w) == std::string::npos) {
        all = false;
        break;
      }
    }
    if (!all || !seen.insert({e.name, e.file}).second) continue;
    hits.push_back(e);
    if (hits.size() >= limit) break;
  }
  return hits;
}

std::string RenderResults(const std::vector<IndexEntry>& hits, std::string_view query,
                          std::string_view linkBase, const ResultLook& look) {
  std::string words = Collapse(query);
  std::string out = "<div class=\"tolmi-search\">\n<p class=\"tolmi-search-count\">";
  if (Words(query).empty()) {
    out += "Please enter a word to search for.";
  } else if (hits.empty()) {
    out += "No products found for &quot;" + HtmlEscape(words) + "&quot;.";
  } else {
    out += std::to_string(hits.size()) + (hits.size() == 1 ? " product" : " products") +
           " found for &quot;" + HtmlEscape(words) + "&quot;.";
  }
  out += "</p>\n";
  for (const auto& hit : hits) {
    std::string href =
        StartsWithNoCase(hit.file, "http") ? hit.file : std::string(linkBase) + hit.file;
    std::string description = PlainText(hit.description);
    if (description.size() > kMaxDescription)
      description = description.substr(0, kMaxDescription) + "...";
    std::string picture;
    if (StartsWithNoCase(hit.image, "http")) {
      picture = hit.image;
    } else if (auto it = look.pictures.find(AsciiLower(hit.image)); it != look.pictures.end()) {
      picture = std::string(linkBase) + "img/" + UrlPathEscape(it->second);
    }
    out += "<div class=\"tolmi-result\">";
    if (!picture.empty())
      out += "<img src=\"" + HtmlEscape(picture) +
             "\" alt=\"\" width=\"64\" height=\"64\" loading=\"lazy\">";
    out += "<a href=\"" + HtmlEscape(href) + "\">" + HtmlEscape(PlainText(hit.name)) + "</a>";
    if (!hit.cost.empty())
      out += " <span class=\"tolmi-price\">" + EscapeKeepingEntities(look.currency) +
             HtmlEscape(PlainText(hit.cost)) + "</span>";
    if (!description.empty()) out += "<br>" + HtmlEscape(description);
    out += "</div>\n";
  }
  out += "</div>\n";
  return out;
}

std::string RenderSearchPage(std::string_view tpl, const std::vector<IndexEntry>& entries,
                             std::string_view query, std::string_view linkBase,
                             const ResultLook& look) {
  std::string results = RenderResults(SearchIndex(entries, query), query, linkBase, look);
  std::string page(tpl);
  const std::string kResults = "<!--TOLMI_RESULTS-->";
  const std::string kQuery = "<!--TOLMI_QUERY-->";
  // The query goes in first so that nothing inserted later is searched again.
  std::string escapedQuery = HtmlEscape(Collapse(query));
  std::string withQuery;
  size_t pos = 0;
  while (true) {
    size_t at = page.find(kQuery, pos);
    if (at == std::string::npos) break;
    withQuery.append(page, pos, at - pos);
    withQuery += escapedQuery;
    pos = at + kQuery.size();
  }
  withQuery.append(page, pos, std::string::npos);
  page = std::move(withQuery);
  size_t at = page.find(kResults);
  if (at != std::string::npos) {
    page.replace(at, kResults.size(), results);
    return page;
  }
  std::string lower = AsciiLower(page);
  at = lower.rfind("</body>");
  if (at != std::string::npos) {
    page.insert(at, results);
  } else {
    page += results;
  }
  return page;
}

}  // namespace tolmi::server
