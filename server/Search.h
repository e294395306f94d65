// The product search over a built store's index ("tolmi.idx"), shown in the store's search
// template ("tolmi.tpl"). Pure functions over the two texts.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi::server {

// One node line of the index.
struct IndexEntry {
  int type = 0;  // 1 for products
  std::string name, cost, file, image, link, description, keywords;
};

// The node lines of an index text (header and malformed lines are skipped). A line without a
// file of its own (an item shown on a shelf or list page, or in a product block) takes the
// file of the page line before it, the page that shows it.
std::vector<IndexEntry> ParseIndex(std::string_view text);

// How results show like the catalogue pages: the store's currency sign before each price and
// the product's picture from the store's "img" folder.
struct ResultLook {
  std::string currency;                          // the index's CURRENCY=, as the pages show it
  std::map<std::string, std::string> pictures;  // lower-cased file name -> name in "img"
};

// The look of a store folder: the currency of its index text and the names of its pictures.
// Pictures the folder does not hold are never shown.
ResultLook StoreLook(const std::filesystem::path& storeDir, std::string_view indexText);

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
// address), pictures `linkBase` + "img/" + the picture's name.
std::string RenderSearchPage(std::string_view tpl, const std::vector<IndexEntry>& entries,
                             std::string_view query, std::string_view linkBase,
                             const ResultLook& look = {});

// The results block alone.
std::string RenderResults(const std::vector<IndexEntry>& hits, std::string_view query,
                          std::string_view linkBase, const ResultLook& look = {});

}  // namespace tolmi::server
