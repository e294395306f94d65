// The data import window's state without a window: the records of a data file,
// their fields split with the current settings, the column assignments, and the
// edits the window offers (new settings, target of a column, deleting records,
// editing a record's raw line). Import and Update then run ImportProducts and
// UpdateProducts on `data` exactly as tolmi-cli import does.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "project/ProductImport.h"

namespace tolmi {

// The targets in the column menu's order (Title ... Description, then the user
// fields and labels); the menu adds Clear, which is ImportTarget::None.
inline constexpr ImportTarget kImportMenuTargets[] = {
    ImportTarget::Title,       ImportTarget::PageTitle,    ImportTarget::Filename,
    ImportTarget::ProductCode, ImportTarget::MetaKeywords, ImportTarget::MetaDescription,
    ImportTarget::ImageUrl,    ImportTarget::ImageLink,    ImportTarget::Template,
    ImportTarget::Cost,        ImportTarget::Tax,          ImportTarget::Weight,
    ImportTarget::Freight,     ImportTarget::Description};

struct ImportSession {
  ImportData data;
  std::vector<std::vector<std::string>> rows;  // the fields of each record, as split
  std::size_t columnCount = 0;                 // the most fields of any record
};

// Records that are not text: "Record %d of the data file holds a NUL byte: it is
// not a text file (save it as plain text)." for the first one (numbered from 1);
// ok when every record is text.
Status CheckDataRecords(const ImportData& data);

// A session over the data read from a file: every record split.
ImportSession StartImportSession(ImportData data);

// Takes new settings: every record is split again, the columns are counted again
// and every column assignment is cleared. A delimiter that is a line break or NUL
// is refused (false, nothing changed); so is a setting text holding a line break.
bool SetImportSettings(ImportSession& session, const ImportSettings& settings);

// Gives a column its target (None clears it). False beyond the assignable columns.
bool AssignColumn(ImportSession& session, std::size_t column, ImportTarget target);

// Removes the records of those indices (any order, repeats and indices past the
// end ignored); the assignments stay. Returns how many were removed.
std::size_t RemoveRecords(ImportSession& session, std::vector<std::size_t> indices);

// Replaces a record's raw line and splits it again; the column count may grow but
// the assignments stay. False (nothing changed) for an index past the end, a text
// holding a line break (a record is one line of the file) or a text longer than
// the longest line the file reader takes.
bool SetRecordText(ImportSession& session, std::size_t index, std::string_view text);

// The field text of a record's column; empty where the record has fewer fields.
const std::string& ImportCell(const ImportSession& session, std::size_t record,
                              std::size_t column);

}  // namespace tolmi
