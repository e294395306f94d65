#include "util/Dates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace tolmi {
namespace {

// Runs each test in a fixed time zone and puts the old one back afterwards.
class DatesIn : public ::testing::Test {
 protected:
  void SetUp() override { UseZone("UTC"); }
  void TearDown() override { UseZone(oldTz_ ? oldTz_->c_str() : nullptr); }
  static void UseZone(const char* zone) {
    zone ? ::setenv("TZ", zone, 1) : ::unsetenv("TZ");
    ::tzset();
  }
  static std::time_t Local(int year, int month, int day, int h = 0, int m = 0, int s = 0) {
    std::tm t{s, m, h, day, month - 1, year - 1900, 0, 0, -1, 0, nullptr};
    return std::mktime(&t);
  }

 private:
  std::optional<std::string> oldTz_ =
      std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

TEST_F(DatesIn, FormatDateTimeInBothOrders) {
  std::time_t march1 = Local(2005, 3, 1, 13, 4, 5);
  EXPECT_EQ(FormatDateTime(march1, true), "03/01/05 13:04:05");
  EXPECT_EQ(FormatDateTime(march1, false), "01/03/05 13:04:05");
  EXPECT_EQ(FormatDateTime(0, true), "00/00/00 00:00:00");
  EXPECT_EQ(FormatDateTime(Local(1999, 12, 31, 23, 59, 59), false), "31/12/99 23:59:59");
  EXPECT_EQ(FormatDateTime(Local(2100, 1, 2), false), "02/01/00 00:00:00");
  // Shown in local time.
  UseZone("EST5");
  EXPECT_EQ(FormatDateTime(march1, true), "03/01/05 08:04:05");
}

TEST_F(DatesIn, FormatDateLocaleOrdersAndSeparator) {
  std::time_t t = Local(2005, 3, 1, 13, 4, 5);
  EXPECT_EQ(FormatDateWithSeparator(t, kMonthDayYear, "-"), "03-01-05 13:04:05");
  EXPECT_EQ(FormatDateWithSeparator(t, kDayMonthYear, "."), "01.03.05 13:04:05");
  EXPECT_EQ(FormatDateWithSeparator(t, kYearMonthDay, "/"), "05/03/01 13:04:05");
  EXPECT_EQ(FormatDateWithSeparator(0, kDayMonthYear, "."), "00/00/00 00:00:00");
  EXPECT_EQ(FormatDateWithSeparator(t, 3, "/"), "");
  EXPECT_EQ(FormatDateWithSeparator(t, -1, "/"), "");
  // The program runs in the C locale's time format unless it chose another.
  EXPECT_EQ(FormatDateLocale(t, LocaleDateOrder()),
            FormatDateWithSeparator(t, LocaleDateOrder(), LocaleDateSeparator()));
}

TEST(LocaleDate, OrderAndSeparatorFromTheLocaleFormat) {
  struct Case {
    const char* format;
    int order;
    const char* separator;
  } cases[] = {
      {"%m/%d/%y", kMonthDayYear, "/"},
      {"%d.%m.%Y", kDayMonthYear, "."},
      {"%Y-%m-%d", kYearMonthDay, "-"},
      {"%F", kYearMonthDay, "-"},
      {"%D", kMonthDayYear, "/"},
      {"%e/%-m/%Ey", kDayMonthYear, "/"},
      {"%d. %m. %Y", kDayMonthYear, ". "},
      // Nothing to go by: day-month-year with "/".
      {"", kDayMonthYear, "/"},
      {"%x", kDayMonthYear, "/"},
      {"%d%m%Y", kDayMonthYear, "/"},
      {"%", kDayMonthYear, "/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateOrderFromFormat(c.format), c.order) << c.format;
    EXPECT_EQ(DateSeparatorFromFormat(c.format), c.separator) << c.format;
  }
}

TEST_F(DatesIn, ParseDatePatternReadsLocalTimeOrRefuses) {
  EXPECT_EQ(ParseDatePattern("15 03 2004 10:30:00"), Local(2004, 3, 15, 10, 30, 0));
  EXPECT_EQ(ParseDatePattern("15 mar 04", "DD MON YY"), Local(2004, 3, 15));
  EXPECT_EQ(ParseDatePattern("Dec 07 1999", "MON DD YYYY"), Local(1999, 12, 7));
  EXPECT_EQ(ParseDatePattern("2004-03-15T08:09", "YYYY-MM-DDTHH:MI"), Local(2004, 3, 15, 8, 9));
  // Time parts are 0 when the pattern has none or the text stops early.
  EXPECT_EQ(ParseDatePattern("15 03 2004"), Local(2004, 3, 15));
  // Read in local time.
  UseZone("EST5");
  EXPECT_EQ(ParseDatePattern("01 01 1970 00:00:00"), 5 * 3600);
  UseZone("UTC");
  // Two-digit years: 00-69 in this century, 70-99 in the last.
  EXPECT_EQ(ParseDatePattern("01 01 69", "DD MM YY"), Local(2069, 1, 1));
  EXPECT_EQ(ParseDatePattern("01 01 70", "DD MM YY"), Local(1970, 1, 1));
  EXPECT_EQ(ParseDatePattern("01 01 99", "DD MM YY"), Local(1999, 1, 1));
  // Missing and impossible parts.
  EXPECT_EQ(ParseDatePattern("15 13 2004"), -1);  // month above 12
  EXPECT_EQ(ParseDatePattern("15 00 2004"), -1);  // month 0
  EXPECT_EQ(ParseDatePattern("00 03 2004"), -1);  // day 0
  EXPECT_EQ(ParseDatePattern("32 03 2004"), -1);  // day 32
  EXPECT_EQ(ParseDatePattern("15 xyz 04", "DD MON YY"), -1);
  EXPECT_EQ(ParseDatePattern("15 03", "DD MM"), -1);  // no year in the pattern
  EXPECT_EQ(ParseDatePattern("15 03"), -1);           // text ends before the year
  EXPECT_EQ(ParseDatePattern("ab 03 2004"), -1);      // day not a number
  EXPECT_EQ(ParseDatePattern(""), -1);
  EXPECT_EQ(ParseDatePattern("15 03 2004", "nothing"), -1);
}

}  // namespace
}  // namespace tolmi
