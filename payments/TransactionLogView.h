// The "Transaction Log" window's rules without a window: the range of days a month
// calendar picks (one day per click, a second pick with Shift extends it) and the rows
// the window lists for the logs of that range.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "payments/TransactionLog.h"

namespace tolmi {

// The days picked: from the anchor (the first pick) to end, in either direction.
struct LogDayRange {
  std::time_t anchor = 0;
  std::time_t end = 0;

  std::time_t first() const { return anchor < end ? anchor : end; }
  std::time_t last() const { return anchor < end ? end : anchor; }
};

// A pick of day: that day alone; with extend, the days from the range's anchor to day.
LogDayRange PickLogDay(const LogDayRange& range, std::time_t day, bool extend);

// The window's rows for entries, in their order (Order, Total, Status, Charge Date with
// the configured date order).
std::vector<TransactionLogRow> TransactionLogRows(const std::vector<TransactionLogEntry>& entries,
                                                  int dateOrder);

// The entries of every daily log below home in the range, in date order (a missing day
// adds nothing).
std::vector<TransactionLogEntry> ReadTransactionLogRange(const std::string& home,
                                                         const LogDayRange& range);

}  // namespace tolmi
