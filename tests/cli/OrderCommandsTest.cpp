// tolmi-cli orders on the home's orders file (parse-reply, list, show, mark, export, invoice,
// new, delete) and log on the transaction logs: the exact texts each prints and its exit code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "payments/TransactionLog.h"
#include "tests/cli/CliSteps.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

// A home whose lists show dates day first.
void FillOrdersHome(const TestHome& home) {
  FillHome(home);
  home.Write("config.ini", "ordernum=1000\ndateformat=0\n");
}

const char* kReply =
    "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n0\r\n"
    "#ID=7\r\norderdate=05122026153000\r\nName=Ann <b>Lee</b>\r\nAmount=9.00\r\n"
    "PROD=15:2\tMug\tM1\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n#END 1\r\n";

TEST(OrderCommands, ParseListShowMarkExportInvoiceNewAndDelete) {
  TestHome home;
  FillOrdersHome(home);
  home.Write("reply.txt", kReply);
  const std::string csv = (home / "out.csv").string();
  const std::vector<Step> steps = {
      {{"orders", "parse-reply", (home / "reply.txt").string()}, 0, "1 order(s) received\n", ""},
      {{"orders", "list"}, 0, "[New Orders]\n  1000\t05/12/26 15:30:00\t9.00\tPending\t\t7\n[Trash]\n",
       ""},
      {{"orders", "show", "1000"}, 0,
       "Order: 1000\nOrder ID: 7\nDate: 05/12/26 15:30:00\nStatus: Pending\nCharged: \n"
       " Name: Ann <b>Lee</b>\n Amount: 9.00\nMug\tM1\t2\t4.50\t0.00\t9.00\n"
       "Freight\t\t\t\t\t0.00\nTax:\t\t\t\t\t0.00\nCost:\t\t\t\t\t9.00\n", ""},
      {{"orders", "mark", "1000", "dispatched"}, 0, "1000\tFulfilled\n", ""},
      {{"orders", "mark", "1001", "Charged"}, 1, "", "no order named '1001'"},
      {{"orders", "mark", "1000", "Shipped"}, 1, "", "unknown status 'Shipped'"},
      {{"orders", "export", csv}, 0, "", ""},
      {{"orders", "export", (home / "no/such/dir/x.csv").string()}, 1, "", ""},
      {{"orders", "invoice", "1000"}, 0, (home / "Invoices/1000_Invoice.html").string() + "\n", ""},
      {{"orders", "invoice", "1000", "--template", "Nope"}, 1, "",
       "no invoice template named 'Nope' (Invoice, Packing Slip)"},
      {{"orders", "invoice", "1000", "--project", "Nope"}, 1, "", ""},
      // A hand-made order takes the field template's names and the next number.
      {{"orders", "new"}, 0, "1001\n", ""},
      {{"orders", "delete", "1000"}, 0, "1000 moved to the Trash\n", ""},
      // Inside the Trash the question needs an answer; --no keeps the order.
      {{"orders", "delete", "1000"}, 1, "",
       "The selected item(s) will be permanently deleted. Do you wish to proceed?"},
      {{"--no", "orders", "delete", "1000"}, 0, "", ""},
      {{"orders", "list"}, 0, "[Trash]\n  1000\t", ""},
      {{"--yes", "orders", "delete", "1000"}, 0, "1000 deleted\n", ""},
      {{"orders", "delete", "Trash"}, 1, "", "cannot be deleted"},
  };
  RunSteps(home, steps);
  EXPECT_NE(home.Read("config.ini").find("ordernum=1002\n"), std::string::npos);
  // The export's and the invoice's own bytes are the core's; here that they hold this order.
  EXPECT_NE(home.Read("out.csv").find("\n'Ann <b>Lee</b>','9.00','7','Fulfilled',''\n"),
            std::string::npos);
  EXPECT_NE(home.Read("Invoices/1000_Invoice.html").find("Ann &lt;b&gt;Lee"), std::string::npos);
  const std::string ost = home.Read("orders.ost");
  EXPECT_NE(ost.find("NODE1=1001\nOS=0\nOD=0\nOI=\n*Name=\n*Amount=\n"), std::string::npos);
  EXPECT_EQ(ost.find("NODE1=1000"), std::string::npos);
  ASSERT_EQ(Cli(home, {"orders", "export", csv, "Trash"}).code, 0);  // an empty folder
  EXPECT_EQ(home.Read("out.csv"), "");
}

// The merchant details of an invoice come from the project: the one named, else the last
// one opened.
TEST(OrderCommands, InvoicesTakeTheMerchantFromTheProject) {
  TestHome home;
  FillOrdersHome(home);
  home.Write("reply.txt", kReply);
  ASSERT_EQ(Cli(home, {"orders", "parse-reply", (home / "reply.txt").string()}).code, 0);
  ASSERT_EQ(Cli(home, {"new", "Shop"}).code, 0);
  home.Write("Projects/Shop/Shop.stp", home.Read("Projects/Shop/Shop.stp") + "VAR=$COMPANY|Acme\n");
  for (std::vector<std::string> project : {std::vector<std::string>{"--project", "Shop"}, {}}) {
    std::vector<std::string> args = {"orders", "invoice", "1000", "--out",
                                     (home / "i.html").string()};
    args.insert(args.end(), project.begin(), project.end());
    ASSERT_EQ(Cli(home, args).code, 0);
    EXPECT_NE(home.Read("i.html").find("<strong>Acme</strong>"), std::string::npos);
  }
}

// parse-reply takes only what a download would take; a cut orders file is read from its
// backup, and said so.
TEST(OrderCommands, BadRepliesFileNothingAndACutFileIsReadFromItsBackup) {
  TestHome home;
  FillOrdersHome(home);
  const std::string whole = kReply;
  const std::pair<std::string, std::string> cases[] = {
      {"HTTP/1.0 200 OK\r\n\r\n5\r\n",
       "Unable to retrieve orders. (Error Code: 5) Invalid Logon Password"},
      {whole.substr(0, whole.find("PROD=") + 12), "without its end mark"},
  };
  for (const auto& [reply, reason] : cases) {
    home.Write("reply.txt", reply);
    CliRun r = Cli(home, {"orders", "parse-reply", (home / "reply.txt").string()});
    EXPECT_EQ(r.code, 1) << reason;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
  }
  home.Write("reply.txt", "HTTP/1.0 200 OK\r\n\r\n0\r\n");
  EXPECT_EQ(Cli(home, {"orders", "parse-reply", (home / "reply.txt").string()}).out,
            "0 order(s) received\n");
  EXPECT_EQ(Cli(home, {"orders", "parse-reply", (home / "missing.txt").string()}).code, 1);
  EXPECT_FALSE(std::filesystem::exists(home / "orders.ost"));

  home.Write("orders.bak", "#BEGIN\nTIME=1\nNODE1=42\nOS=0\n#EOF\n");
  home.Write("orders.ost", "#BEGIN\nTIME=2\nNODE1=43\nOS=0\n");
  CliRun r = Cli(home, {"orders", "list"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "42\t\t0.00\tPending\t\t\n");
  EXPECT_NE(r.err.find("orders.bak was read"), std::string::npos);
  // Without a backup the cut file is refused.
  std::filesystem::remove(home / "orders.bak");
  home.Write("orders.ost", "#BEGIN\nTIME=2\nNODE1=43\nOS=0\n");
  r = Cli(home, {"orders", "list"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("'orders.ost' is incomplete and there is no 'orders.bak'"),
            std::string::npos)
      << r.err;
}

// log: the day range (either way round), sorting, the table in the configured date order,
// raw lines, log files and bad dates; reading and sorting the logs are the core's.
TEST(LogCommand, RangesSortingDatesAndBadInput) {
  const char* tz = std::getenv("TZ");
  const std::string oldTz = tz ? tz : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  TestHome home;
  // 29 November to 2 December 2026; times are 10:00 UTC of each day.
  home.Write("Logs/2026/261129.log",
             "1795946400,1002,a-1,1,20.00\n1795950000,1001,,0,5.50\nbroken line\n");
  home.Write("Logs/2026/261130.log", "1796032800,1003,b-2,2,7.25\n");
  home.Write("Logs/2026/261201.log", "1796119200,1000,,1,99.99\n");
  home.Write("Logs/2026/261202.log", "1796205600,1009,,1,1.00\n");
  home.Write("old.log", "5,7,,0,1.00\n3,6,,1,2.00\n");
  const std::time_t now = std::time(nullptr);
  ASSERT_TRUE(AppendTransactionLog(home.path().string(),
                                   {static_cast<std::int32_t>(now), "1200", "z-9", 1, 350}, now)
                  .ok());
  const std::string head = "Order\tTotal\tStatus\tCharge Date\n";
  const std::string bad = "tolmi-cli: --from must be a date written YYYY-MM-DD (or today): '";
  const std::vector<Step> steps = {
      {{"log", "--from", "2026-12-01", "--to", "2026-11-29", "--sort", "total", "--descending",
        "--raw"}, 0,
       "1796119200,1000,,1,99.99\n1795946400,1002,a-1,1,20.00\n1796032800,1003,b-2,2,7.25\n"
       "1795950000,1001,,0,5.50\n", ""},
      {{"log", "--to", "2026-12-02", "--raw"}, 0, "1796205600,1009,,1,1.00\n", ""},  // that day
      {{"log", "--raw"}, 0, std::to_string(now) + ",1200,z-9,1,3.50\n", ""},  // today
      {{"log", "--file", (home / "old.log").string(), "--raw"}, 0, "3,6,,1,2.00\n5,7,,0,1.00\n",
       ""},
      // Without "dateformat" the locale's order (the tests' C locale: month first).
      {{"log", "--from", "2026-11-30", "--to", "2026-11-30"}, 0,
       head + "1003\t7.25\tError\t11/30/26 10:00:00\n", ""},
      {{"log", "--file", (home / "missing.log").string()}, 1, "",
       "tolmi-cli: Error C100: Unable to load Transaction Log File.\n"},
      {{"log", "--from", "2026-02-30"}, 2, "", bad + "2026-02-30'\n"},
      {{"log", "--from", "2026/12/05"}, 2, "", bad + "2026/12/05'\n"},
      {{"log", "--sort", "colour"}, 2, "", "tolmi-cli: --sort must be date, order, total or status\n"},
  };
  RunSteps(home, steps);
  home.Write("config.ini", "dateformat=2\n");  // year-month-day
  CliRun r = Cli(home, {"log", "--from", "2026-11-30", "--to", "2026-12-01"});
  EXPECT_EQ(r.out, head + "1003\t7.25\tError\t26/11/30 10:00:00\n" +
                       "1000\t99.99\tApproved\t26/12/01 10:00:00\n");
  tz ? ::setenv("TZ", oldTz.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
}

}  // namespace
}  // namespace tolmi::cli
