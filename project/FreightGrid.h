// The freight page's grid without a window: one row per freight region for one
// delivery method at a time, its cell texts ("Country", the twelve weight bands,
// "Tax"), the sort orders, and the edits of a record (band, tax, enabled flag,
// rule) and of whole tables (copy, paste, delete). Every edit that changes a
// value marks the project changed; a refused one changes nothing.
//
// Band and tax texts end up between commas of the project file's freight line,
// so a text holding ",", "|" or a line break is refused: it would split or cut the
// record when the file is read back.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"

namespace tolmi {

inline constexpr std::array<const char*, 14> kFreightGridHeaders = {
    "Country", "0.5", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",
    "11+ per/unit of weight", "Tax"};
inline constexpr int kFreightNameColumn = 0;
inline constexpr int kFreightTaxColumn = 13;
// What a band cell shows when the record has a rule in place of its bands.
inline constexpr const char* kFreightRuleCell = " - ";
// The longest rule the freight text takes.
inline constexpr std::size_t kMaxFreightRule = 4048;

struct FreightGridRow {
  std::size_t region = 0;  // index in project.regions
  std::array<std::string, 14> cells;
  bool enabled = false;
  bool hasRule = false;
};

// The rows of delivery method `method` (0 to 2; none for another). sortColumn 0
// sorts by region name ignoring case, 1 to 12 by the band's value as a number
// (an empty band before any number), 13 by the tax rate as text ignoring case;
// ties go by name, then list order. Any other column keeps the list order.
std::vector<FreightGridRow> FreightGridRows(const StoreProject& project, int method,
                                            int sortColumn = -1, bool descending = false);

// Sets band column 1 to 12 or the tax column of a region's record (white space
// around the text dropped). False for the name column, a band of a record with a
// rule, an index out of range, or a text holding ",", "|" or a line break.
bool SetFreightCell(StoreProject& project, std::size_t region, int method, int column,
                    std::string_view text);

// Offers the method to the region's customers or not. False for an index out of range.
bool SetFreightEnabled(StoreProject& project, std::size_t region, int method, bool enabled);

// Sets the record's rule (trailing white space dropped; empty: the bands count
// again). False for an index out of range, a line break or a rule longer than
// kMaxFreightRule.
bool SetFreightRule(StoreProject& project, std::size_t region, int method, std::string_view rule);

// The tables of the regions' records as text for the clipboard: one line per
// region, its twelve band texts and its rule separated by tabs.
std::string CopyFreightTables(const StoreProject& project, int method,
                              const std::vector<std::size_t>& regions);

// Pastes such text (or rows copied from a spreadsheet: up to twelve bands and a
// rule per line, tab separated) into the regions' records: one line goes into
// every region, several lines go one per region in order. A line whose bands
// would be refused by SetFreightCell, or whose rule by SetFreightRule, is skipped.
// Returns how many records were written.
int PasteFreightTables(StoreProject& project, int method, const std::vector<std::size_t>& regions,
                       std::string_view text);

// Clears the bands and the rule of the regions' records. Returns how many changed.
int ClearFreightTables(StoreProject& project, int method, const std::vector<std::size_t>& regions);

}  // namespace tolmi
