// The daily transaction logs: one line per card charge, appended to
// "Logs\20yy\yymmdd.log" below the home (on disk "Logs/20yy/yymmdd.log"), read back by
// day ranges for the "Transaction Log" window and `tolmi-cli log`, and sorted by column.
//
// A line is "%i,%s,%s,%i,%0.2f\n": time (seconds since 1970), order name, order id,
// result (1 approved, 0 rejected, 2 shown as an error) and the amount with two decimals.
// Days are local calendar days (the TZ environment variable decides).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

// A log file that the Open command cannot read.
inline constexpr std::string_view kLogLoadError =
    "Error C100: Unable to load Transaction Log File.";

struct TransactionLogEntry {
  std::int32_t time = 0;  // when the reply arrived
  std::string order;      // the order's name (its number)
  std::string orderId;    // the order server's id; "" for hand-made orders
  std::int32_t result = 0;
  Cents amountCents = 0;  // the amount charged
};

// The log of the local day holding time, relative to the home: "Logs/2026/261205.log" for
// 5 December 2026. "" when the time cannot be converted.
std::string TransactionLogPath(std::time_t time);
// The same in the system's own notation, "Logs\2026\261205.log".
std::string TransactionLogName(std::time_t time);

// The entry for a charge of order: its name, id and total, result 1 or 0.
TransactionLogEntry MakeTransactionLogEntry(const OrderRecord& order, int result,
                                            std::int32_t time);

// The line's bytes, with its LF. Commas, CR and LF inside the order name or id become
// spaces so that one charge always stays one line of five fields.
std::string FormatTransactionLogLine(const TransactionLogEntry& entry);

// Appends the entry's line to the log of the local day holding `now` below home, creating
// the file and its folders when missing. The line is written with one append and flushed to
// disk before success is reported; earlier lines are never rewritten (a last line cut off by
// a crash is ended first, so the new line stays whole). Io error naming the file on failure.
Status AppendTransactionLog(const std::string& home, const TransactionLogEntry& entry,
                            std::time_t now);

// One line: five comma-separated fields (time, order, order id, result, amount). Lines with
// fewer fields give nullopt. The first comma ends the time, the last two commas start the
// result and the amount; an order name with a comma in a foreign file keeps it.
std::optional<TransactionLogEntry> ParseTransactionLogLine(std::string_view line);

// Every entry of a log file in file order. NotFound with kLogLoadError when the file cannot
// be opened (what the Open command shows).
Result<std::vector<TransactionLogEntry>> ReadTransactionLogFile(const std::string& path);

// The entries of every daily log below home from the day holding `from` to the day holding
// `to` (both included; swapped when reversed), in date order and file order within a day.
// A missing daily log adds nothing.
std::vector<TransactionLogEntry> ReadTransactionLogDays(const std::string& home, std::time_t from,
                                                        std::time_t to);

// The window's columns.
enum class TransactionLogColumn { Order, Total, Status, ChargeDate };

// Sorts by the column's value (order text ignoring case, amount, result or time), ties by
// order text ignoring case; descending reverses the column order (ties stay ascending).
// Entries equal in both keep their order.
void SortTransactionLog(std::vector<TransactionLogEntry>& entries, TransactionLogColumn column,
                        bool descending = false);

// The Status column: "Approved" for 1, "Error" for 2, "Rejected" otherwise.
std::string_view TransactionLogStatusText(std::int32_t result);

// One row of the window: Order, Total ("%0.2f"), Status, Charge Date (the time as date text
// in the configured order: 0 m-d-y, 1 d-m-y, 2 y-m-d).
struct TransactionLogRow {
  std::string order;
  std::string total;
  std::string status;
  std::string chargeDate;
};
TransactionLogRow TransactionLogRowFor(const TransactionLogEntry& entry, int dateOrder);

}  // namespace tolmi
