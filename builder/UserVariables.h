// The store's user variables as the Variables page edits them: the name check
// the build shares (a name that is, or is part of, a reserved name), adding,
// editing and deleting entries, and their clipboard text for Copy and Paste.
// Every change marks the project changed; a refused change leaves it alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"
#include "util/Result.h"

namespace tolmi {

// Messages of the checks ("%s" is the name).
inline constexpr const char* kIllegalVariableNameMessage =
    "'%s' is an illegal variable name.  A variable name must not be, or be part of, a name "
    "that Tolmi PRO reserves, such as $PRICE or $BODY.";
inline constexpr const char* kEmptyVariableNameMessage = "A variable must have a name.";
inline constexpr const char* kVariableNameCharactersMessage =
    "A variable name must not contain '|' or line breaks.";
inline constexpr const char* kDuplicateVariableMessage =
    "A variable named '%s' already exists.";
// The project file keeps this many characters of a value; a longer one would be cut.
inline constexpr std::size_t kMaxVariableValueLength = 4048;
inline constexpr const char* kVariableValueTooLongMessage =
    "A variable value must not be longer than 4048 characters.";

// True when the name occurs anywhere in the reserved-name list (so any part of a
// reserved name, such as "$PRI" or "$F", is illegal) or contains "$PAGETITLE",
// "$DESCRIPTION", "$BODY", "$KEYWORDS", "$UPDATED" or "$SHELF". The empty name
// is not illegal here (CheckVariableEntry refuses it).
bool IsIllegalVariableName(std::string_view name);

// Whether an entry may be stored in row (nullopt: a new entry): a name that is not
// empty, without "|" or line breaks, not illegal, not the name of another entry
// (ASCII case ignored; editing a row may keep its own name); a value of at most
// kMaxVariableValueLength characters. The failure's message is the text to show.
Status CheckVariableEntry(const std::vector<StoreVariable>& variables,
                          std::optional<std::size_t> row, std::string_view name,
                          std::string_view value);

// Adds the entry at the end (row nullopt) or replaces row's name and value, after
// CheckVariableEntry. An empty value is kept as an empty value. Returns the row.
Result<std::size_t> StoreVariableEntry(StoreProject& project, std::optional<std::size_t> row,
                                       std::string name, std::string value);

// Removes the rows (any order, out-of-range rows ignored). Returns how many went.
std::size_t DeleteVariables(StoreProject& project, std::vector<std::size_t> rows);

// The clipboard text of the rows in list order: "name\tvalue\n" each, line breaks
// in a value written as "@@@".
std::string VariablesClipboardText(const std::vector<StoreVariable>& variables,
                                   std::vector<std::size_t> rows);

// What a Paste did: how many entries were set, and the first refusal (Ok for none).
struct VariablePaste {
  std::size_t stored = 0;
  Status refused = Status::Ok();
};

// Pastes clipboard text: every line "name\tvalue" (a line without a tab is skipped)
// sets that variable: an existing entry of the name (ASCII case ignored) gets the
// value, else the entry is appended. An entry CheckVariableEntry refuses is skipped.
VariablePaste PasteVariables(StoreProject& project, std::string_view text);

}  // namespace tolmi
