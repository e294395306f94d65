#include "project/FreightGrid.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "util/Strings.h"

namespace tolmi {
namespace {

bool ValidMethod(int method) { return method >= 0 && method <= 2; }

FreightMethod* Record(StoreProject& project, std::size_t region, int method) {
  if (!ValidMethod(method) || region >= project.regions.size()) return nullptr;
  return &project.regions[region].methods[static_cast<std::size_t>(method)];
}

// The text as stored, or nothing when the file could not hold it.
std::optional<std::string> CellValue(std::string_view text) {
  if (text.find_first_of(",|\r\n") != std::string_view::npos) return std::nullopt;
  std::string value(text);
  StrTrimWhite(value);
  return value;
}

std::optional<std::string> RuleValue(std::string_view text) {
  if (text.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  std::string value(text);
  StrTrimRightWhite(value);
  if (value.size() > kMaxFreightRule) return std::nullopt;
  return value;
}

// A band as a number for sorting: empty or not a number sorts first.
double BandNumber(const std::string& text, bool& isNumber) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  isNumber = end != text.c_str();
  return isNumber ? value : 0.0;
}

// -1, 0 or 1 for the column's order of a and b (ties not broken).
int CompareColumn(const FreightGridRow& a, const FreightGridRow& b, int column,
                  const StoreProject& project, int method) {
  if (column == kFreightNameColumn || column == kFreightTaxColumn) {
    const std::string x = ToLowerAscii(a.cells[static_cast<std::size_t>(column)]);
    const std::string y = ToLowerAscii(b.cells[static_cast<std::size_t>(column)]);
    return x < y ? -1 : (y < x ? 1 : 0);
  }
  const auto& costsA = project.regions[a.region].methods[static_cast<std::size_t>(method)].costs;
  const auto& costsB = project.regions[b.region].methods[static_cast<std::size_t>(method)].costs;
  bool numA = false, numB = false;
  const double x = BandNumber(costsA[static_cast<std::size_t>(column - 1)], numA);
  const double y = BandNumber(costsB[static_cast<std::size_t>(column - 1)], numB);
  if (numA != numB) return numA ? 1 : -1;
  return x < y ? -1 : (y < x ? 1 : 0);
}

}  // namespace

std::vector<FreightGridRow> FreightGridRows(const StoreProject& project, int method,
                                            int sortColumn, bool descending) {
  std::vector<FreightGridRow> rows;
  if (!ValidMethod(method)) return rows;
  rows.reserve(project.regions.size());
  for (std::size_t i = 0; i < project.regions.size(); ++i) {
    const FreightRegion& region = project.regions[i];
    const FreightMethod& record = region.methods[static_cast<std::size_t>(method)];
    FreightGridRow row;
    row.region = i;
    row.enabled = record.enabled;
    row.hasRule = !record.rule.empty();
    row.cells[kFreightNameColumn] = region.name.empty() ? region.key : region.name;
    for (std::size_t band = 0; band < record.costs.size(); ++band)
      row.cells[band + 1] = row.hasRule ? kFreightRuleCell : record.costs[band];
    row.cells[kFreightTaxColumn] = region.taxRate;
    rows.push_back(std::move(row));
  }
  if (sortColumn < 0 || sortColumn >= static_cast<int>(kFreightGridHeaders.size())) return rows;
  std::stable_sort(rows.begin(), rows.end(), [&](const FreightGridRow& a, const FreightGridRow& b) {
    int order = CompareColumn(a, b, sortColumn, project, method);
    if (order == 0 && sortColumn != kFreightNameColumn)
      order = CompareColumn(a, b, kFreightNameColumn, project, method);
    if (order == 0) return false;
    return descending ? order > 0 : order < 0;
  });
  return rows;
}

bool SetFreightCell(StoreProject& project, std::size_t region, int method, int column,
                    std::string_view text) {
  FreightMethod* record = Record(project, region, method);
  if (!record || column <= kFreightNameColumn || column > kFreightTaxColumn) return false;
  const std::optional<std::string> value = CellValue(text);
  if (!value) return false;
  std::string& target = column == kFreightTaxColumn
                            ? project.regions[region].taxRate
                            : record->costs[static_cast<std::size_t>(column - 1)];
  if (column != kFreightTaxColumn && !record->rule.empty()) return false;
  if (target != *value) {
    target = *value;
    project.changed = true;
  }
  return true;
}

bool SetFreightEnabled(StoreProject& project, std::size_t region, int method, bool enabled) {
  FreightMethod* record = Record(project, region, method);
  if (!record) return false;
  if (record->enabled != enabled) {
    record->enabled = enabled;
    project.changed = true;
  }
  return true;
}

bool SetFreightRule(StoreProject& project, std::size_t region, int method, std::string_view rule) {
  FreightMethod* record = Record(project, region, method);
  const std::optional<std::string> value = RuleValue(rule);
  if (!record || !value) return false;
  if (record->rule != *value) {
    record->rule = *value;
    project.changed = true;
  }
  return true;
}

std::string CopyFreightTables(const StoreProject& project, int method,
                              const std::vector<std::size_t>& regions) {
  std::string text;
  if (!ValidMethod(method)) return text;
  for (std::size_t region : regions) {
    if (region >= project.regions.size()) continue;
    const FreightMethod& record = project.regions[region].methods[static_cast<std::size_t>(method)];
    for (const std::string& cost : record.costs) text += cost + "\t";
    text += record.rule + "\n";
  }
  return text;
}

int PasteFreightTables(StoreProject& project, int method, const std::vector<std::size_t>& regions,
                       std::string_view text) {
  struct Table {
    std::array<std::string, 12> costs;
    std::string rule;
    bool valid = true;
  };
  std::vector<Table> tables;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    Table table;
    std::size_t field = 0, pos = 0;
    while (pos <= line.size()) {
      std::size_t tab = line.find('\t', pos);
      if (tab == std::string_view::npos) tab = line.size();
      std::string_view part = line.substr(pos, tab - pos);
      if (field < 12) {
        std::optional<std::string> value = CellValue(part);
        if (value) table.costs[field] = *value;
        else table.valid = false;
      } else if (field == 12) {
        std::optional<std::string> rule = RuleValue(part);
        if (rule) table.rule = *rule;
        else table.valid = false;
      }
      ++field;
      pos = tab + 1;
    }
    tables.push_back(std::move(table));
  }
  if (tables.empty() || !ValidMethod(method)) return 0;
  int written = 0;
  for (std::size_t i = 0; i < regions.size(); ++i) {
    if (tables.size() > 1 && i >= tables.size()) break;
    const Table& table = tables.size() == 1 ? tables[0] : tables[i];
    FreightMethod* record = Record(project, regions[i], method);
    if (!record || !table.valid) continue;
    if (record->costs != table.costs || record->rule != table.rule) {
      record->costs = table.costs;
      record->rule = table.rule;
      project.changed = true;
    }
    ++written;
  }
  return written;
}

int ClearFreightTables(StoreProject& project, int method, const std::vector<std::size_t>& regions) {
  int changed = 0;
  for (std::size_t region : regions) {
    FreightMethod* record = Record(project, region, method);
    if (!record || (record->rule.empty() &&
                    std::all_of(record->costs.begin(), record->costs.end(),
                                [](const std::string& c) { return c.empty(); })))
      continue;
    record->costs = {};
    record->rule.clear();
    project.changed = true;
    ++changed;
  }
  return changed;
}

}  // namespace tolmi
