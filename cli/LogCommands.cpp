// tolmi-cli log: the transaction log of a range of days (today by default) or of one log
// file, sorted by a column, as the "Transaction Log" window lists it:
//   tolmi-cli log [--from DATE] [--to DATE] [--sort date|order|total|status] [--descending]
//                 [--raw] [--file PATH]
// DATE is YYYY-MM-DD or "today". Rows are "Order, Total, Status, Charge Date" separated by
// tabs under a heading line; --raw prints the stored lines instead.
#include <ctime>
#include <memory>
#include <ostream>

#include "app/Config.h"
#include "app/Home.h"
#include "cli/Cli.h"
#include "cli/CliPrompter.h"
#include "payments/TransactionLog.h"
#include "util/Dates.h"

namespace tolmi::cli {
namespace {

struct LogOptions {
  std::string from;
  std::string to;
  std::string file;
  std::string sort = "date";
  bool descending = false;
  bool raw = false;
};

// Noon of a local day given as YYYY-MM-DD or "today"; nullopt when it is neither.
std::optional<std::time_t> ParseDay(const std::string& text, std::time_t now) {
  if (text == "today") return now;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int parts[3] = {0, 0, 0};
  const int starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
  for (int p = 0; p < 3; ++p) {
    for (int i = starts[p]; i < starts[p] + lengths[p]; ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      parts[p] = parts[p] * 10 + (text[i] - '0');
    }
  }
  const int year = parts[0], month = parts[1], day = parts[2];
  if (year < 1970 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31)
    return std::nullopt;
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  // 31 February and the like roll over into the next month: refuse them.
  if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day || tm.tm_mon != month - 1)
    return std::nullopt;
  return t;
}

std::optional<TransactionLogColumn> ParseColumn(const std::string& name) {
  if (name == "date") return TransactionLogColumn::ChargeDate;
  if (name == "order") return TransactionLogColumn::Order;
  if (name == "total") return TransactionLogColumn::Total;
  if (name == "status") return TransactionLogColumn::Status;
  return std::nullopt;
}

void RunLog(Context& ctx, const LogOptions& o) {
  auto fail = [&ctx](const std::string& message, int code) {
    ctx.err << "tolmi-cli: " << message << "\n";
    ctx.exitCode = code;
  };
  std::optional<TransactionLogColumn> column = ParseColumn(o.sort);
  if (!column) return fail("--sort must be date, order, total or status", 2);
  const std::time_t now = std::time(nullptr);
  std::optional<std::time_t> from = now, to = now;
  if (!o.from.empty() || !o.to.empty()) {
    if (!o.from.empty() && !(from = ParseDay(o.from, now)))
      return fail("--from must be a date written YYYY-MM-DD (or today): '" + o.from + "'", 2);
    if (!o.to.empty() && !(to = ParseDay(o.to, now)))
      return fail("--to must be a date written YYYY-MM-DD (or today): '" + o.to + "'", 2);
    if (o.from.empty()) from = to;  // --to alone is that one day
  }

  Result<std::string> home = PrepareHome(ctx.home);
  if (!home) return fail(home.status().message(), 1);

  std::vector<TransactionLogEntry> entries;
  if (!o.file.empty()) {
    Result<std::vector<TransactionLogEntry>> read = ReadTransactionLogFile(o.file);
    if (!read) return fail(read.status().message(), 1);
    entries = std::move(*read);
  } else {
    entries = ReadTransactionLogDays(*home, *from, *to);
  }
  SortTransactionLog(entries, *column, o.descending);

  if (o.raw) {
    for (const TransactionLogEntry& e : entries) ctx.out << FormatTransactionLogLine(e);
    return;
  }
  AppConfig config;
  config.dateFormat = LocaleDateOrder();  // "dateformat" unset: the locale's order, as everywhere
  CliPrompter prompter(ctx.err, ctx.yes, ctx.no);
  ReadConfiguration(config, {}, *home, prompter);
  ctx.out << "Order\tTotal\tStatus\tCharge Date\n";
  for (const TransactionLogEntry& e : entries) {
    TransactionLogRow row = TransactionLogRowFor(e, config.dateFormat);
    ctx.out << row.order << '\t' << row.total << '\t' << row.status << '\t' << row.chargeDate
            << '\n';
  }
}

void Setup(CLI::App& app, Context& ctx) {
  auto o = std::make_shared<LogOptions>();
  CLI::App* cmd = app.add_subcommand("log", "Show the transaction log of card charges");
  cmd->add_option("--from", o->from, "First day, YYYY-MM-DD (default: today)");
  cmd->add_option("--to", o->to, "Last day, YYYY-MM-DD (default: today)");
  cmd->add_option("--file", o->file, "Read this log file instead of the daily logs");
  cmd->add_option("--sort", o->sort, "Sort by date (default), order, total or status");
  cmd->add_flag("--descending", o->descending, "Reverse the sort order");
  cmd->add_flag("--raw", o->raw, "Print the stored lines (time,order,order id,result,amount)");
  cmd->callback([&ctx, o] { RunLog(ctx, *o); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
