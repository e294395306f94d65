// The product search over a built store's index ("tolmi.idx"), shown in the store's search
// template ("tolmi.tpl"). Pure functions over the two texts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolmi::server {

// One node line of the index.
struct IndexEntry {
  int type = 0;  // 1 for products
  std::string name, cost, file, image, link, description, keywords;
};

// The node lines of an index text (header and malformed lines are skipped).
std::vector<IndexEntry> ParseIndex(std::string_view text);

// Reads one node line ("#1|'Mug'|'4.50'|'mugs.htm'||'mug.pdf'|'Blue'|"); false when it is not
// one.
bool ParseIndexLine(std::string_view line, IndexEntry& entry);

// The products whose name, description or keywords contain every word of the query (ASCII
// case ignored), each product once, in index order, at most `limit`.
std::vector<IndexEntry> SearchIndex(const std::vector<IndexEntry>& entries, std::string_view query,
                                    size_t limit = 100);

// The results page: the template with the results block in place of "<!--TOLMI_RESULTS-->"
// (else before "</body>", else at the end) and the escaped query in place of
// "<!--TOLMI_QUERY-->". Result links are `linkBase` + the page file (unless the file is a full
// address).
std::string RenderSearchPage(std::string_view tpl, const std::vector<IndexEntry>& entries,
                             std::string_view query, std::string_view linkBase);

// The results block alone.
std::string RenderResults(const std::vector<IndexEntry>& hits, std::string_view query,
                          std::string_view linkBase);

}  // namespace tolmi::server
