#include "builder/UserVariables.h"

#include <algorithm>

#include "builder/FillTemplate.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

std::string WithName(const char* format, std::string_view name) {
  std::string text = format;
  text.replace(text.find("%s"), 2, name);
  return text;
}

Status Refuse(std::string message) {
  return Status::Error(ErrorKind::InvalidArgument, std::move(message));
}

void SortUnique(std::vector<std::size_t>& rows) {
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
}

}  // namespace

bool IsIllegalVariableName(std::string_view name) {
  static const char* const kContained[] = {"$PAGETITLE", "$DESCRIPTION", "$BODY",
                                           "$KEYWORDS",  "$UPDATED",     "$SHELF"};
  if (name.empty()) return false;
  if (FindExact(kReservedVariableNames, name) != kNotFound) return true;
  for (const char* reserved : kContained)
    if (FindExact(name, reserved) != kNotFound) return true;
  return false;
}

Status CheckVariableEntry(const std::vector<StoreVariable>& variables,
                          std::optional<std::size_t> row, std::string_view name,
                          std::string_view value) {
  if (name.empty()) return Refuse(kEmptyVariableNameMessage);
  if (name.find_first_of("|\r\n") != std::string_view::npos)
    return Refuse(kVariableNameCharactersMessage);
  if (IsIllegalVariableName(name)) return Refuse(WithName(kIllegalVariableNameMessage, name));
  for (std::size_t i = 0; i < variables.size(); ++i)
    if (i != row && EqualsNoCase(variables[i].name, name))
      return Refuse(WithName(kDuplicateVariableMessage, variables[i].name));
  if (value.size() > kMaxVariableValueLength) return Refuse(kVariableValueTooLongMessage);
  return Status::Ok();
}

Result<std::size_t> StoreVariableEntry(StoreProject& project, std::optional<std::size_t> row,
                                       std::string name, std::string value) {
  std::vector<StoreVariable>& variables = project.variables;
  if (row && *row >= variables.size())
    return Status::Error(ErrorKind::InvalidArgument, "No variable in that row.");
  if (Status checked = CheckVariableEntry(variables, row, name, value); !checked) return checked;
  StoreVariable entry{std::move(name), std::move(value)};
  std::size_t at = row.value_or(variables.size());
  if (row) {
    if (variables[at] == entry) return at;
    variables[at] = std::move(entry);
  } else {
    variables.push_back(std::move(entry));
  }
  project.changed = true;
  return at;
}

std::size_t DeleteVariables(StoreProject& project, std::vector<std::size_t> rows) {
  SortUnique(rows);
  std::size_t removed = 0;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (*it >= project.variables.size()) continue;
    project.variables.erase(project.variables.begin() + static_cast<std::ptrdiff_t>(*it));
    ++removed;
  }
  if (removed) project.changed = true;
  return removed;
}

std::string VariablesClipboardText(const std::vector<StoreVariable>& variables,
                                   std::vector<std::size_t> rows) {
  SortUnique(rows);
  std::string text;
  for (std::size_t row : rows) {
    if (row >= variables.size()) continue;
    text += variables[row].name + "\t" + EncodeNewlines(variables[row].value) + "\n";
  }
  return text;
}

VariablePaste PasteVariables(StoreProject& project, std::string_view text) {
  VariablePaste paste;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    std::string name(line.substr(0, tab));
    std::string value(line.substr(tab + 1));
    DecodeNewlines(value);
    std::optional<std::size_t> row;
    for (std::size_t i = 0; i < project.variables.size(); ++i)
      if (EqualsNoCase(project.variables[i].name, name)) row = i;
    Result<std::size_t> stored = StoreVariableEntry(project, row, std::move(name), std::move(value));
    if (stored) {
      ++paste.stored;
    } else if (paste.refused) {
      paste.refused = stored.status();
    }
  }
  return paste;
}

}  // namespace tolmi
