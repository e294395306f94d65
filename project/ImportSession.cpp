#include "project/ImportSession.h"

#include <algorithm>

namespace tolmi {
namespace {

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

void SplitAll(ImportSession& session) {
  session.rows.clear();
  session.rows.reserve(session.data.records.size());
  session.columnCount = 0;
  for (const std::string& record : session.data.records) {
    session.rows.push_back(SplitRecord(record, session.data.settings));
    session.columnCount = std::max(session.columnCount, session.rows.back().size());
  }
}

}  // namespace

Status CheckDataRecords(const ImportData& data) {
  for (std::size_t i = 0; i < data.records.size(); ++i) {
    if (data.records[i].find('\0') != std::string::npos)
      return Status::Error(ErrorKind::Corrupt,
                           "Record " + std::to_string(i + 1) +
                               " of the data file holds a NUL byte: it is not a text file (save "
                               "it as plain text).");
  }
  return Status::Ok();
}

ImportSession StartImportSession(ImportData data) {
  ImportSession session;
  session.data = std::move(data);
  SplitAll(session);
  return session;
}

bool SetImportSettings(ImportSession& session, const ImportSettings& settings) {
  if (settings.delimiter == '\0' || settings.delimiter == '\r' || settings.delimiter == '\n')
    return false;
  if (HoldsLineBreak(settings.quote) || HoldsLineBreak(settings.escape) ||
      HoldsLineBreak(settings.decimalPoint))
    return false;
  session.data.settings = settings;
  session.data.columns.fill(ImportTarget::None);
  SplitAll(session);
  return true;
}

bool AssignColumn(ImportSession& session, std::size_t column, ImportTarget target) {
  if (column >= kAssignableColumns) return false;
  session.data.columns[column] = target;
  return true;
}

std::size_t RemoveRecords(ImportSession& session, std::vector<std::size_t> indices) {
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  std::size_t removed = 0;
  for (auto it = indices.rbegin(); it != indices.rend(); ++it) {
    if (*it >= session.data.records.size()) continue;
    session.data.records.erase(session.data.records.begin() + static_cast<std::ptrdiff_t>(*it));
    session.rows.erase(session.rows.begin() + static_cast<std::ptrdiff_t>(*it));
    ++removed;
  }
  session.columnCount = 0;
  for (const auto& row : session.rows) session.columnCount = std::max(session.columnCount, row.size());
  return removed;
}

bool SetRecordText(ImportSession& session, std::size_t index, std::string_view text) {
  if (index >= session.data.records.size() || HoldsLineBreak(text) ||
      text.size() > kImportPieceSize)
    return false;
  session.data.records[index] = std::string(text);
  session.rows[index] = SplitRecord(text, session.data.settings);
  session.columnCount = std::max(session.columnCount, session.rows[index].size());
  return true;
}

const std::string& ImportCell(const ImportSession& session, std::size_t record,
                              std::size_t column) {
  static const std::string kEmpty;
  if (record >= session.rows.size() || column >= session.rows[record].size()) return kEmpty;
  return session.rows[record][column];
}

}  // namespace tolmi
