#include "payments/TransactionLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "payments/TransactionLogView.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

// Runs each test in a fixed time zone and puts the old one back afterwards.
class TransactionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) oldTz_ = tz;
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
  }
  void TearDown() override {
    if (oldTz_)
      ::setenv("TZ", oldTz_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  static std::time_t Local(int year, int month, int day, int h = 12, int m = 0) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_isdst = -1;
    return std::mktime(&t);
  }
  static TransactionLogEntry Entry(std::int32_t time, std::string order, int result, float amount,
                                   std::string id = "") {
    return {time, std::move(order), std::move(id), result, CentsOfDouble(amount)};
  }

  test::TestHome home_;
  std::string home() const { return home_.path().string(); }

 private:
  std::optional<std::string> oldTz_;
};

TEST_F(TransactionLogTest, PathOfTheDay) {
  EXPECT_EQ(TransactionLogPath(Local(2026, 12, 5)), "Logs/2026/261205.log");
  EXPECT_EQ(TransactionLogName(Local(2026, 12, 5)), "Logs\\2026\\261205.log");
  // Local days: 23:30 on 31 December in Berlin is still that day, 00:10 is the next.
  EXPECT_EQ(TransactionLogPath(Local(2026, 12, 31, 23, 30)), "Logs/2026/261231.log");
  EXPECT_EQ(TransactionLogPath(Local(2027, 1, 1, 0, 10)), "Logs/2027/270101.log");
  EXPECT_EQ(TransactionLogPath(Local(2009, 3, 7)), "Logs/2009/090307.log");
}

TEST_F(TransactionLogTest, LineBytesAndReadingThemBack) {
  OrderRecord order;
  order.name = "1005";
  order.orderId = "2026-77";
  order.totalCents = 1250;
  const std::string line = FormatTransactionLogLine(MakeTransactionLogEntry(order, 1, 1796466600));
  EXPECT_EQ(line, "1796466600,1005,2026-77,1,12.50\n");
  std::optional<TransactionLogEntry> e = ParseTransactionLogLine("1796466600,1005,2026-77,1,12.50");
  ASSERT_TRUE(e);
  EXPECT_EQ(FormatTransactionLogLine(*e), line);
  EXPECT_EQ(FormatTransactionLogLine(Entry(7, "1006", 0, 0.25f)), "7,1006,,0,0.25\n");
  // A comma or line end in a name cannot split the line or forge another one.
  EXPECT_EQ(FormatTransactionLogLine(Entry(7, "a,b\n8,x", 1, 1, "i\r\nd")),
            "7,a b 8 x,i  d,1,1.00\n");

  // Five fields at least; a foreign name holding a comma takes the extra one.
  for (std::string_view bad : {"", ",,,", "1,2,3,4", "garbage", "1,,,", ",,"})
    EXPECT_FALSE(ParseTransactionLogLine(bad)) << bad;
  e = ParseTransactionLogLine(",,,,");
  ASSERT_TRUE(e);
  EXPECT_EQ(FormatTransactionLogLine(*e), "0,,,0,0.00\n");
  e = ParseTransactionLogLine("5,a,b,c,2,x\r\n");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->order, "a,b");
  EXPECT_EQ(FormatTransactionLogLine(*e), "5,a b,c,2,0.00\n");
}

TEST_F(TransactionLogTest, AppendCreatesTheFolderAndKeepsEarlierLines) {
  const std::time_t day = Local(2026, 12, 5, 10, 30);
  ASSERT_TRUE(AppendTransactionLog(home(), Entry(100, "1005", 1, 12.5f, "x-1"), day).ok());
  ASSERT_TRUE(AppendTransactionLog(home(), Entry(200, "1006", 0, 3.0f), day + 3600).ok());
  EXPECT_EQ(home_.Read("Logs/2026/261205.log"), "100,1005,x-1,1,12.50\n200,1006,,0,3.00\n");

  // A last line cut short by a crash is ended before the next one is added.
  home_.Write("Logs/2026/261206.log", "1,1000,,1,1.00\n2,10");
  ASSERT_TRUE(AppendTransactionLog(home(), Entry(300, "1007", 1, 2), day + 86400).ok());
  EXPECT_EQ(home_.Read("Logs/2026/261206.log"), "1,1000,,1,1.00\n2,10\n300,1007,,1,2.00\n");

  // A folder standing where the file should be: an error that names the file.
  std::filesystem::create_directories(home_ / "Logs/2026/261207.log");
  Status s = AppendTransactionLog(home(), Entry(1, "1", 1, 1), day + 2 * 86400);
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  EXPECT_NE(s.message().find("261207.log"), std::string::npos);
  // A file standing where the year folder should be.
  home_.Write("blocked/Logs", "x");
  EXPECT_EQ(AppendTransactionLog((home_ / "blocked").string(), Entry(1, "1", 1, 1), day).kind(),
            ErrorKind::Io);
}

TEST_F(TransactionLogTest, ReadFileReportsC100) {
  Result<std::vector<TransactionLogEntry>> missing =
      ReadTransactionLogFile((home_ / "none.log").string());
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.status().message(), "Error C100: Unable to load Transaction Log File.");
  EXPECT_FALSE(ReadTransactionLogFile(home()).ok());  // a folder

  home_.Write("a.log",
              "1,1,,1,1.00\r\nshort,line\n\n" + std::string(50000, ',') + "\n2,2,id,0,2.50");
  Result<std::vector<TransactionLogEntry>> read =
      ReadTransactionLogFile((home_ / "a.log").string());
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read->size(), 4u);  // the long run of commas comes as two pieces of empty fields
  EXPECT_EQ((*read)[0].order, "1");
  EXPECT_EQ((*read)[3].orderId, "id");
  EXPECT_EQ((*read)[3].amountCents, 250);
}

TEST_F(TransactionLogTest, DayRangeAcrossAMonthEndInDateOrder) {
  home_.Write("Logs/2026/261127.log", "1,before,,1,1.00\n");
  home_.Write("Logs/2026/261130.log", "3,thirty,,1,1.00\n");
  home_.Write("Logs/2026/261129.log", "2,twentynine,,0,1.00\nbad\n22,twentynine-b,,1,2.00\n");
  home_.Write("Logs/2026/261201.log", "4,first,,2,1.00\n");
  home_.Write("Logs/2026/261202.log", "5,after,,1,1.00\n");
  // 28 November has no log; daylight saving does not matter at the end of November.
  auto orders = [](const std::vector<TransactionLogEntry>& list) {
    std::vector<std::string> names;
    for (const TransactionLogEntry& e : list) names.push_back(e.order);
    return names;
  };
  const std::vector<std::string> expected{"twentynine", "twentynine-b", "thirty", "first"};
  EXPECT_EQ(
      orders(ReadTransactionLogDays(home(), Local(2026, 11, 28, 0, 0), Local(2026, 12, 1, 23, 59))),
      expected);
  EXPECT_EQ(orders(ReadTransactionLogDays(home(), Local(2026, 12, 1), Local(2026, 11, 28))),
            expected);
  EXPECT_EQ(orders(ReadTransactionLogDays(home(), Local(2026, 12, 2), Local(2026, 12, 2))),
            std::vector<std::string>{"after"});
  EXPECT_TRUE(ReadTransactionLogDays(home(), Local(2025, 1, 1), Local(2025, 1, 3)).empty());

  // Across the spring clock change and a year end.
  home_.Write("Logs/2027/270328.log", "6,dst,,1,1.00\n");
  home_.Write("Logs/2027/270329.log", "7,dst2,,1,1.00\n");
  home_.Write("Logs/2027/270101.log", "8,newyear,,1,1.00\n");
  home_.Write("Logs/2026/261231.log", "9,oldyear,,1,1.00\n");
  EXPECT_EQ(orders(ReadTransactionLogDays(home(), Local(2027, 3, 27), Local(2027, 3, 29))),
            (std::vector<std::string>{"dst", "dst2"}));
  EXPECT_EQ(orders(ReadTransactionLogDays(home(), Local(2026, 12, 31), Local(2027, 1, 1))),
            (std::vector<std::string>{"oldyear", "newyear"}));
}

TEST_F(TransactionLogTest, SortsByColumnThenOrderIgnoringCase) {
  std::vector<TransactionLogEntry> list{Entry(30, "b", 1, 5), Entry(10, "C", 0, 5),
                                        Entry(20, "a", 2, 7), Entry(30, "A", 1, 1)};
  auto orders = [&] {
    std::string s;
    for (const TransactionLogEntry& e : list) s += e.order;
    return s;
  };
  SortTransactionLog(list, TransactionLogColumn::Order);
  EXPECT_EQ(orders(), "aAbC");  // equal ignoring case keep their order
  SortTransactionLog(list, TransactionLogColumn::Total);
  EXPECT_EQ(orders(), "AbCa");
  SortTransactionLog(list, TransactionLogColumn::Status);
  EXPECT_EQ(orders(), "CAba");
  SortTransactionLog(list, TransactionLogColumn::ChargeDate);
  EXPECT_EQ(orders(), "CaAb");
  SortTransactionLog(list, TransactionLogColumn::ChargeDate, true);
  EXPECT_EQ(orders(), "AbaC");

  // A NaN amount sorts as 0 instead of breaking the ordering.
  list.push_back(Entry(1, "n", 1, std::nanf("")));
  list.push_back(Entry(1, "m", 1, -1));
  SortTransactionLog(list, TransactionLogColumn::Total);
  EXPECT_EQ(orders(), "mnAbCa");
}

TEST_F(TransactionLogTest, RowsForTheWindow) {
  const auto rows = TransactionLogRows({Entry(Local(2026, 12, 5, 10, 30), "1005", 1, 12.5f),
                                        Entry(1, "1006", 2, 3), Entry(1, "7", -3, 0)},
                                       1);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].order + " " + rows[0].total, "1005 12.50");
  EXPECT_EQ(rows[0].chargeDate.substr(rows[0].chargeDate.size() - 8), "10:30:00");
  EXPECT_EQ(rows[0].chargeDate.substr(0, 2), "05");  // day first
  EXPECT_EQ(rows[0].status + rows[1].status + rows[2].status, "ApprovedErrorRejected");
  EXPECT_EQ(TransactionLogStatusText(0), "Rejected");
}

// The log window's picks of days.
TEST(TransactionLogView, LogDayPicks) {
  const std::time_t day = 86400;
  auto days = [](const LogDayRange& r) { return std::pair(r.first() / day, r.last() / day); };
  LogDayRange r = PickLogDay({}, 30 * day, false);
  EXPECT_EQ(days(r), std::pair(30L, 30L));
  r = PickLogDay(r, 28 * day, true);  // extended backwards
  EXPECT_EQ(days(r), std::pair(28L, 30L));
  r = PickLogDay(r, 29 * day, true);  // from the same anchor
  EXPECT_EQ(days(r), std::pair(29L, 30L));
  EXPECT_EQ(days(PickLogDay(r, 2 * day, false)), std::pair(2L, 2L));
}

}  // namespace
}  // namespace tolmi
