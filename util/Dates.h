// Date and time texts: fixed formats for files and logs, the user's locale order and separator
// for display, and reading a date laid out by a pattern such as "DD MON YYYY".
//
// Times are C-library time values (seconds since 1970) shown in local time, so the results
// follow the TZ environment variable (tests set TZ and call tzset()).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tolmi {

// "%02i/%02i/%02i %02i:%02i:%02i": month, day, year when monthFirst, else day, month, year;
// then hour, minute, second. The year has two digits (year modulo 100).
// A time of 0 gives "00/00/00 00:00:00"; a time that cannot be converted gives "".
std::string FormatDateTime(std::time_t time, bool monthFirst);

// The order date as the orders list shows it, day first (FormatDateTime without month
// first); "" for a time of 0, an order without a date.
std::string OrderListDate(std::time_t time);

// A date in the configured date order ("dateformat": charge dates, the transaction log,
// invoices, backups) with the locale's separator; "" for a time of 0 (never set).
std::string ConfiguredDate(std::time_t time, int dateFormat);

// Date orders of FormatDateLocale and LocaleDateOrder.
inline constexpr int kMonthDayYear = 0;
inline constexpr int kDayMonthYear = 1;
inline constexpr int kYearMonthDay = 2;

// "%02i<sep>%02i<sep>%02i %02i:%02i:%02i" with the locale's date separator, in the given
// order (0 month-day-year, 1 day-month-year, 2 year-month-day); the year has two digits.
// A time of 0 gives "00/00/00 00:00:00"; an unknown order or unconvertible time gives "".
std::string FormatDateLocale(std::time_t time, int order);
// The same with an explicit separator.
std::string FormatDateWithSeparator(std::time_t time, int order, std::string_view separator);

// The current locale's short-date order (from nl_langinfo(D_FMT)); 1 (day-month-year) when
// the locale gives none.
int LocaleDateOrder();
// The current locale's short-date separator; "/" when none is found.
std::string LocaleDateSeparator();

// Order and separator read from a strftime date format such as "%d.%m.%Y" or "%m/%d/%y".
// Order 1 and separator "/" when the format does not tell.
int DateOrderFromFormat(std::string_view format);
std::string DateSeparatorFromFormat(std::string_view format);

// The default pattern of ParseDatePattern.
inline constexpr std::string_view kDefaultDatePattern = "DD MM YYYY HH:MI:SS";

// Reads a date from text laid out like the pattern (empty pattern: kDefaultDatePattern).
// Tokens, each looked for once: "DAY" else "DD"; "MON" (a month name, matched by its first
// letters without regard to case) else "MM"; "YYYY" else "YY" (below 70 means 20xx);
// "HH", "MI", "SS" (0 when absent). Each token reads the characters of the text at the same
// position and of the token's length.
// Returns the local time value (mktime), or -1 when the day, month or year is missing or not
// a number, the day is outside 1..31, the month outside 1..12, or the month name is unknown.
std::time_t ParseDatePattern(std::string_view text, std::string_view pattern = {});

}  // namespace tolmi
