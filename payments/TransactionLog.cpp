#include "payments/TransactionLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "util/Dates.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

bool LocalDay(std::time_t time, std::tm& out) {
  return localtime_r(&time, &out) != nullptr;
}

// Commas and line ends would split one charge into several fields or lines.
std::string OneField(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == ',' || c == '\r' || c == '\n') c = ' ';
  return out;
}

Status IoError(const std::string& path, const char* what, int error) {
  return Status::Error(
      ErrorKind::Io, "Unable to " + std::string(what) + " '" + path + "': " + std::strerror(error));
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Case-insensitive order text comparison: negative, 0 or positive.
int CompareNoCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(AsciiLower(a[i]));
    unsigned char y = static_cast<unsigned char>(AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

std::string TransactionLogPath(std::time_t time) {
  std::tm tm{};
  if (!LocalDay(time, tm)) return {};
  const int yy = ((tm.tm_year + 1900) % 100 + 100) % 100;
  char path[64];
  std::snprintf(path, sizeof path, "Logs/20%02i/%02i%02i%02i.log", yy, yy, tm.tm_mon + 1,
                tm.tm_mday);
  return path;
}

std::string TransactionLogName(std::time_t time) {
  std::string name = TransactionLogPath(time);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

TransactionLogEntry MakeTransactionLogEntry(const OrderRecord& order, int result,
                                            std::int32_t time) {
  TransactionLogEntry e;
  e.time = time;
  e.order = order.name;
  e.orderId = order.orderId;
  e.result = result;
  e.amountCents = order.totalCents;
  return e;
}

std::string FormatTransactionLogLine(const TransactionLogEntry& entry) {
  return FormatText("%i,%s,%s,%i,%s\n", static_cast<int>(entry.time),
                    OneField(entry.order).c_str(), OneField(entry.orderId).c_str(),
                    static_cast<int>(entry.result), FormatCents(entry.amountCents).c_str());
}

Status AppendTransactionLog(const std::string& home, const TransactionLogEntry& entry,
                            std::time_t now) {
  const std::string relative = TransactionLogPath(now);
  if (relative.empty())
    return Status::Error(ErrorKind::InvalidArgument, "No transaction log for this date.");
  const std::string path = ResolveExistingPath(JoinPath(home, relative));
  const std::string folder = path.substr(0, path.rfind('/'));
  int made = CreateDirectoryPath(folder);
  if (made != 1 && made != 183) return IoError(folder, "create the folder", made);

  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return IoError(path, "open", errno);
  std::string line = FormatTransactionLogLine(entry);
  // A line cut short by an earlier crash is ended, so this one stays a line of its own.
  off_t size = ::lseek(fd, 0, SEEK_END);
  if (size > 0) {
    int rfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char last = '\n';
    if (rfd >= 0) {
      if (::pread(rfd, &last, 1, size - 1) != 1) last = '\n';
      ::close(rfd);
    }
    if (last != '\n') line.insert(0, "\n");
  }
  bool ok = WriteAll(fd, line);
  int error = errno;
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    error = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) return IoError(path, "write", error);
  if (size == 0) {
    // A new file: make its name durable too.
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      ::fsync(dfd);
      ::close(dfd);
    }
  }
  return Status::Ok();
}

std::optional<TransactionLogEntry> ParseTransactionLogLine(std::string_view line) {
  line = TrimLineEnd(line);
  std::size_t first = line.find(',');
  if (first == std::string_view::npos) return std::nullopt;
  std::size_t last = line.rfind(',');
  std::size_t beforeLast = last == 0 ? std::string_view::npos : line.rfind(',', last - 1);
  if (beforeLast == std::string_view::npos || beforeLast <= first) return std::nullopt;
  // The middle holds the order and the order id: at least one more comma.
  std::string_view middle = line.substr(first + 1, beforeLast - first - 1);
  std::size_t split = middle.rfind(',');
  if (split == std::string_view::npos) return std::nullopt;
  TransactionLogEntry e;
  e.time = ParseInt32(line.substr(0, first));
  e.order = std::string(middle.substr(0, split));
  e.orderId = std::string(middle.substr(split + 1));
  e.result = ParseInt32(line.substr(beforeLast + 1, last - beforeLast - 1));
  e.amountCents = ParseAmount(line.substr(last + 1));
  return e;
}

Result<std::vector<TransactionLogEntry>> ReadTransactionLogFile(const std::string& path) {
  if (IsDirectory(path)) return Status::Error(ErrorKind::NotFound, std::string(kLogLoadError));
  std::optional<LineReader> reader = LineReader::Open(path);
  if (!reader) return Status::Error(ErrorKind::NotFound, std::string(kLogLoadError));
  std::vector<TransactionLogEntry> entries;
  std::string line;
  while (reader->Next(line))
    if (std::optional<TransactionLogEntry> e = ParseTransactionLogLine(line))
      entries.push_back(std::move(*e));
  return entries;
}

std::vector<TransactionLogEntry> ReadTransactionLogDays(const std::string& home, std::time_t from,
                                                        std::time_t to) {
  std::vector<TransactionLogEntry> entries;
  std::tm day{}, last{};
  if (!LocalDay(from, day) || !LocalDay(to, last)) return entries;
  auto key = [](const std::tm& t) { return (t.tm_year * 13 + t.tm_mon) * 32 + t.tm_mday; };
  if (key(day) > key(last)) std::swap(day, last);
  // Walk the calendar at noon, so that daylight-saving changes never skip or repeat a day.
  day.tm_hour = 12;
  day.tm_min = day.tm_sec = 0;
  day.tm_isdst = -1;
  const int lastKey = key(last);
  while (key(day) <= lastKey) {
    std::tm copy = day;
    std::time_t noon = std::mktime(&copy);
    if (noon == static_cast<std::time_t>(-1)) break;
    const std::string path = ResolveExistingPath(JoinPath(home, TransactionLogPath(noon)));
    if (!IsDirectory(path)) {
      if (std::optional<LineReader> reader = LineReader::Open(path)) {
        std::string line;
        while (reader->Next(line))
          if (std::optional<TransactionLogEntry> e = ParseTransactionLogLine(line))
            entries.push_back(std::move(*e));
      }
    }
    copy.tm_mday += 1;
    copy.tm_hour = 12;
    copy.tm_isdst = -1;
    if (std::mktime(&copy) == static_cast<std::time_t>(-1)) break;
    day = copy;
  }
  return entries;
}

void SortTransactionLog(std::vector<TransactionLogEntry>& entries, TransactionLogColumn column,
                        bool descending) {
  auto columnOrder = [column](const TransactionLogEntry& a, const TransactionLogEntry& b) {
    switch (column) {
      case TransactionLogColumn::Order:
        return CompareNoCase(a.order, b.order);
      case TransactionLogColumn::Total: {
        const Cents x = a.amountCents, y = b.amountCents;
        return x < y ? -1 : (y < x ? 1 : 0);
      }
      case TransactionLogColumn::Status:
        return a.result < b.result ? -1 : (b.result < a.result ? 1 : 0);
      case TransactionLogColumn::ChargeDate:
        return a.time < b.time ? -1 : (b.time < a.time ? 1 : 0);
    }
    return 0;
  };
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const TransactionLogEntry& a, const TransactionLogEntry& b) {
                     int c = columnOrder(a, b);
                     if (c != 0) return descending ? c > 0 : c < 0;
                     return CompareNoCase(a.order, b.order) < 0;
                   });
}

std::string_view TransactionLogStatusText(std::int32_t result) {
  if (result == 1) return "Approved";
  if (result == 2) return "Error";
  return "Rejected";
}

TransactionLogRow TransactionLogRowFor(const TransactionLogEntry& entry, int dateOrder) {
  TransactionLogRow row;
  row.order = entry.order;
  row.total = FormatCents(entry.amountCents);
  row.status = std::string(TransactionLogStatusText(entry.result));
  row.chargeDate = FormatDateLocale(entry.time, dateOrder);
  return row;
}

}  // namespace tolmi
