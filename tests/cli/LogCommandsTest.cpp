// tolmi-cli log: day ranges, sorting, the table and raw lines, log files and bad dates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "payments/TransactionLog.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

class LogCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (tz) oldTz_ = tz;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 29 November to 2 December 2026; times are 10:00 UTC of each day.
    home_.Write("Logs/2026/261129.log",
                "1795946400,1002,a-1,1,20.00\n1795950000,1001,,0,5.50\nbroken line\n");
    home_.Write("Logs/2026/261130.log", "1796032800,1003,b-2,2,7.25\n");
    home_.Write("Logs/2026/261201.log", "1796119200,1000,,1,99.99\n");
    home_.Write("Logs/2026/261202.log", "1796205600,1009,,1,1.00\n");
  }
  void TearDown() override {
    if (hadTz_) {
      ::setenv("TZ", oldTz_.c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "log");
    return Cli(home_, std::move(args));
  }

  TestHome home_;

 private:
  bool hadTz_ = false;
  std::string oldTz_;
};

TEST_F(LogCommandsTest, RangeAcrossAMonthEndSortedByDate) {
  CliRun r = Run({"--from", "2026-11-29", "--to", "2026-12-01", "--raw"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "1795946400,1002,a-1,1,20.00\n"
            "1795950000,1001,,0,5.50\n"
            "1796032800,1003,b-2,2,7.25\n"
            "1796119200,1000,,1,99.99\n");

  // The table uses the configured date order: without "dateformat" the locale's (the C
  // locale of the tests: month first), with it that order (2: year-month-day).
  r = Run({"--from", "2026-11-30", "--to", "2026-11-30"});
  EXPECT_EQ(r.out, "Order\tTotal\tStatus\tCharge Date\n1003\t7.25\tError\t11/30/26 10:00:00\n");
  home_.Write("config.ini", "dateformat=2\n");
  r = Run({"--from", "2026-11-30", "--to", "2026-12-01"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Order\tTotal\tStatus\tCharge Date\n"
            "1003\t7.25\tError\t26/11/30 10:00:00\n"
            "1000\t99.99\tApproved\t26/12/01 10:00:00\n");

  r = Run(
      {"--from", "2026-12-01", "--to", "2026-11-29", "--sort", "total", "--descending", "--raw"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "1796119200,1000,,1,99.99\n"
            "1795946400,1002,a-1,1,20.00\n"
            "1796032800,1003,b-2,2,7.25\n"
            "1795950000,1001,,0,5.50\n");

  r = Run({"--to", "2026-12-02", "--sort", "order", "--raw"});  // --to alone: that day
  EXPECT_EQ(r.out, "1796205600,1009,,1,1.00\n");
  r = Run({"--from", "2025-01-01", "--to", "2025-01-03"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "Order\tTotal\tStatus\tCharge Date\n");
}

TEST_F(LogCommandsTest, TodayByDefault) {
  const std::time_t now = std::time(nullptr);
  ASSERT_TRUE(AppendTransactionLog(home_.path().string(),
                                   {static_cast<std::int32_t>(now), "1200", "z-9", 1, 350}, now)
                  .ok());
  CliRun r = Run({"--raw"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, std::to_string(now) + ",1200,z-9,1,3.50\n");
}

TEST_F(LogCommandsTest, LogFilesAndBadInput) {
  home_.Write("old.log", "5,7,,0,1.00\n3,6,,1,2.00\n");
  CliRun r = Run({"--file", (home_.path() / "old.log").string(), "--raw"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "3,6,,1,2.00\n5,7,,0,1.00\n");

  r = Run({"--file", (home_.path() / "missing.log").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "tolmi-cli: Error C100: Unable to load Transaction Log File.\n");

  for (const char* bad : {"2026-02-30", "26-12-05", "2026/12/05", "2026-13-01", "yesterday", ""}) {
    r = Run({"--from", bad, "--to", "2026-12-05"});
    if (std::string(bad).empty()) continue;  // an empty --from is no --from
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_EQ(r.err,
              std::string("tolmi-cli: --from must be a date written YYYY-MM-DD (or today): '") +
                  bad + "'\n");
  }
  r = Run({"--sort", "colour"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "tolmi-cli: --sort must be date, order, total or status\n");
}

}  // namespace
}  // namespace tolmi::cli
