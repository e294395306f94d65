#include "util/Dates.h"

#include <langinfo.h>

#include <cstdio>
#include <optional>

#include "util/Strings.h"

namespace tolmi {

namespace {

constexpr const char* kMonthNames[12] = {"january",   "february", "march",    "april",
                                         "may",       "june",     "july",     "august",
                                         "september", "october",  "november", "december"};

bool LocalTime(std::time_t time, std::tm& out) {
  return ::localtime_r(&time, &out) != nullptr;
}

int TwoDigitYear(const std::tm& t) {
  int year = (t.tm_year + 1900) % 100;
  return year < 0 ? year + 100 : year;
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The decimal number of a field as atoi reads it; nullopt when the field holds no digit.
std::optional<int> FieldNumber(std::string_view field) {
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') ++i;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  if (i >= field.size() || field[i] < '0' || field[i] > '9') return std::nullopt;
  int value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    if (value < 100000000) value = value * 10 + (field[i] - '0');
  }
  return negative ? -value : value;
}

// The characters of the text under a token of the pattern; nullopt when the token is not in
// the pattern or the text ends before it.
std::optional<std::string_view> TokenField(std::string_view text, std::string_view pattern,
                                           std::string_view token) {
  std::size_t at = pattern.find(token);
  if (at == std::string_view::npos || at >= text.size()) return std::nullopt;
  return text.substr(at, token.size());
}

// First token found of a preference list, with its field.
std::optional<std::string_view> FirstField(std::string_view text, std::string_view pattern,
                                           std::string_view preferred, std::string_view fallback,
                                           bool& usedPreferred) {
  usedPreferred = pattern.find(preferred) != std::string_view::npos;
  return TokenField(text, pattern, usedPreferred ? preferred : fallback);
}

// A month (0..11) from the leading letters of a field; -1 when no month name begins so.
int MonthFromName(std::string_view field) {
  std::size_t n = 0;
  while (n < field.size() && IsLetter(field[n])) ++n;
  if (n == 0) return -1;
  std::string_view letters = field.substr(0, n);
  for (int m = 0; m < 12; ++m)
    if (StartsWithNoCase(kMonthNames[m], letters)) return m;
  return -1;
}

enum class Field { None, Day, Month, Year };

// The date parts of a strftime format, in order, with the literal text after the first one.
void ScanDateFormat(std::string_view format, Field order[3], std::string& separator) {
  int count = 0;
  bool wantSeparator = false;
  std::string literal;
  auto add = [&](Field f) {
    for (int i = 0; i < count; ++i)
      if (order[i] == f) return;
    if (count == 1 && wantSeparator) {
      separator = literal;
      wantSeparator = false;
    }
    if (count < 3) order[count++] = f;
    if (count == 1) {
      wantSeparator = true;
      literal.clear();
    }
  };
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      if (wantSeparator) literal += format[i];
      continue;
    }
    ++i;
    while (i < format.size() &&
           std::string_view("EO-_0^#").find(format[i]) != std::string_view::npos)
      ++i;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') ++i;
    if (i >= format.size()) break;
    switch (format[i]) {
      case 'd':
      case 'e':
        add(Field::Day);
        break;
      case 'm':
      case 'b':
      case 'B':
      case 'h':
        add(Field::Month);
        break;
      case 'y':
      case 'Y':
      case 'C':
      case 'G':
      case 'g':
        add(Field::Year);
        break;
      case 'D':
        add(Field::Month);
        literal = "/";
        add(Field::Day);
        add(Field::Year);
        break;
      case 'F':
        add(Field::Year);
        literal = "-";
        add(Field::Month);
        add(Field::Day);
        break;
      default:
        break;
    }
  }
}

}  // namespace

std::string FormatDateTime(std::time_t time, bool monthFirst) {
  if (time == 0) return "00/00/00 00:00:00";
  std::tm t{};
  if (!LocalTime(time, t)) return "";
  int first = monthFirst ? t.tm_mon + 1 : t.tm_mday;
  int second = monthFirst ? t.tm_mday : t.tm_mon + 1;
  char text[64];
  std::snprintf(text, sizeof text, "%02i/%02i/%02i %02i:%02i:%02i", first, second, TwoDigitYear(t),
                t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string FormatDateWithSeparator(std::time_t time, int order, std::string_view separator) {
  if (order < kMonthDayYear || order > kYearMonthDay) return "";
  if (time == 0) return "00/00/00 00:00:00";
  std::tm t{};
  if (!LocalTime(time, t)) return "";
  int parts[3];
  int day = t.tm_mday, month = t.tm_mon + 1, year = TwoDigitYear(t);
  if (order == kMonthDayYear) {
    parts[0] = month, parts[1] = day, parts[2] = year;
  } else if (order == kDayMonthYear) {
    parts[0] = day, parts[1] = month, parts[2] = year;
  } else {
    parts[0] = year, parts[1] = month, parts[2] = day;
  }
  std::string sep(separator);
  char text[128];
  std::snprintf(text, sizeof text, "%02i%s%02i%s%02i %02i:%02i:%02i", parts[0], sep.c_str(),
                parts[1], sep.c_str(), parts[2], t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string FormatDateLocale(std::time_t time, int order) {
  return FormatDateWithSeparator(time, order, LocaleDateSeparator());
}

std::string OrderListDate(std::time_t time) {
  return time ? FormatDateTime(time, false) : std::string();
}

std::string ConfiguredDate(std::time_t time, int dateFormat) {
  return time ? FormatDateLocale(time, dateFormat) : std::string();
}

int DateOrderFromFormat(std::string_view format) {
  Field order[3] = {Field::None, Field::None, Field::None};
  std::string separator;
  ScanDateFormat(format, order, separator);
  if (order[0] == Field::Year) return kYearMonthDay;
  if (order[0] == Field::Month && order[1] == Field::Day) return kMonthDayYear;
  if (order[0] == Field::Day && order[1] == Field::Month) return kDayMonthYear;
  return kDayMonthYear;
}

std::string DateSeparatorFromFormat(std::string_view format) {
  Field order[3] = {Field::None, Field::None, Field::None};
  std::string separator;
  ScanDateFormat(format, order, separator);
  if (separator.empty() || separator.size() > 8) return "/";
  return separator;
}

int LocaleDateOrder() {
  const char* format = ::nl_langinfo(D_FMT);
  return DateOrderFromFormat(format ? format : "");
}

std::string LocaleDateSeparator() {
  const char* format = ::nl_langinfo(D_FMT);
  return DateSeparatorFromFormat(format ? format : "");
}

std::time_t ParseDatePattern(std::string_view text, std::string_view pattern) {
  if (pattern.empty()) pattern = kDefaultDatePattern;
  std::tm t{};
  t.tm_isdst = -1;  // let the C library decide whether summer time applies

  bool named = false;
  std::optional<std::string_view> dayField = FirstField(text, pattern, "DAY", "DD", named);
  std::optional<int> day = dayField ? FieldNumber(*dayField) : std::nullopt;
  if (!day || *day < 1 || *day > 31) return -1;
  t.tm_mday = *day;

  std::optional<std::string_view> monthField = FirstField(text, pattern, "MON", "MM", named);
  if (!monthField) return -1;
  int month = -1;
  if (named && !monthField->empty() && IsLetter((*monthField)[0])) {
    month = MonthFromName(*monthField);
  } else if (std::optional<int> number = FieldNumber(*monthField)) {
    month = *number - 1;
  }
  if (month < 0 || month > 11) return -1;
  t.tm_mon = month;

  bool fourDigits = false;
  std::optional<std::string_view> yearField = FirstField(text, pattern, "YYYY", "YY", fourDigits);
  std::optional<int> year = yearField ? FieldNumber(*yearField) : std::nullopt;
  if (!year) return -1;
  if (fourDigits) {
    t.tm_year = *year - 1900;
  } else {
    t.tm_year = *year < 70 ? *year + 100 : *year;
  }

  auto timePart = [&](std::string_view token) {
    std::optional<std::string_view> field = TokenField(text, pattern, token);
    std::optional<int> value = field ? FieldNumber(*field) : std::nullopt;
    return value ? *value : 0;
  };
  t.tm_hour = timePart("HH");
  t.tm_min = timePart("MI");
  t.tm_sec = timePart("SS");
  return std::mktime(&t);
}

}  // namespace tolmi
