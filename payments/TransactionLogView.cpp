#include "payments/TransactionLogView.h"

namespace tolmi {

LogDayRange PickLogDay(const LogDayRange& range, std::time_t day, bool extend) {
  if (extend) return {range.anchor, day};
  return {day, day};
}

std::vector<TransactionLogRow> TransactionLogRows(const std::vector<TransactionLogEntry>& entries,
                                                  int dateOrder) {
  std::vector<TransactionLogRow> rows;
  rows.reserve(entries.size());
  for (const auto& entry : entries) rows.push_back(TransactionLogRowFor(entry, dateOrder));
  return rows;
}

std::vector<TransactionLogEntry> ReadTransactionLogRange(const std::string& home,
                                                         const LogDayRange& range) {
  return ReadTransactionLogDays(home, range.first(), range.last());
}

}  // namespace tolmi
