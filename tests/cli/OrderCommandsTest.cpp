#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

using OrdersCliResult = CliRun;
OrdersCliResult Orders(const TestHome& home, std::vector<std::string> args) {
  return Cli(home, std::move(args));
}

// A home with the reference lists, so that start-up has nothing to report.
void FillHome(const TestHome& home) {
  home.Write("domain.dat", "AU Australia,AUD\n");
  home.Write("cc.dat", "Visa\n");
  home.Write("settings.dat", "URL_HOME=http://home.test/\n");
  home.Write("config.ini", "ordernum=1000\ndateformat=0\n");  // lists stay day first
}

const char* kReply =
    "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n0\r\n"
    "#ID=7\r\norderdate=05122026153000\r\nName=Ann <b>Lee</b>\r\nAmount=9.00\r\n"
    "PROD=15:2\tMug\tM1\t4.50\t\t\t\t\t\t\t\t\t\t\t<BR>\r\n#END 1\r\n";

TEST(OrderCommands, ParseListShowMarkExport) {
  TestHome home;
  FillHome(home);
  home.Write("reply.txt", kReply);
  OrdersCliResult r = Orders(home, {"orders", "parse-reply", (home / "reply.txt").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1 order(s) received\n");
  EXPECT_NE(home.Read("config.ini").find("ordernum=1001\n"), std::string::npos);

  r = Orders(home, {"orders", "list"});
  EXPECT_EQ(r.out, "[New Orders]\n  1000\t05/12/26 15:30:00\t9.00\tPending\t\t7\n[Trash]\n");

  r = Orders(home, {"orders", "show", "1000"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Order: 1000\nOrder ID: 7\nDate: 05/12/26 15:30:00\nStatus: Pending\nCharged: \n"
            " Name: Ann <b>Lee</b>\n Amount: 9.00\n"
            "Mug\tM1\t2\t4.50\t0.00\t9.00\n"
            "Freight\t\t\t\t\t0.00\nTax:\t\t\t\t\t0.00\nCost:\t\t\t\t\t9.00\n");
  EXPECT_NE(home.Read("orders.ost").find("NODE1=1000\nOS=64\n"), std::string::npos);

  r = Orders(home, {"orders", "mark", "1000", "dispatched"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1000\tFulfilled\n");
  const std::string csv = (home / "out.csv").string();
  r = Orders(home, {"orders", "export", csv});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(home.Read("out.csv"),
            "Name,Amount,OrderID,ChargeStatus,ChargeDate\n"
            ",ProductName,ProductCode,Quantity,Total,Status,Option1,Option2\n"
            "'Ann <b>Lee</b>','9.00','7','Fulfilled',''\n"
            ",'Mug','M1',2,4.50,0,,,\n");
  r = Orders(home, {"orders", "export", csv, "Trash"});  // an empty folder: an empty file
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(home.Read("out.csv"), "");
}

TEST(OrderCommands, InvoiceNewAndDelete) {
  TestHome home;
  FillHome(home);
  home.Write("reply.txt", kReply);
  ASSERT_EQ(Orders(home, {"orders", "parse-reply", (home / "reply.txt").string()}).code, 0);

  OrdersCliResult r = Orders(home, {"orders", "invoice", "1000"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string page = (home / "Invoices/1000_Invoice.html").string();
  EXPECT_EQ(r.out, page + "\n");
  std::string html = home.Read("Invoices/1000_Invoice.html");
  EXPECT_NE(html.find("Ann &lt;b&gt;Lee&lt;/b&gt;"), std::string::npos);
  EXPECT_NE(html.find("<td>2</td><td>Mug</td><td>M1</td>"), std::string::npos) << html;

  r = Orders(home, {"orders", "invoice", "1000", "--template", "Packing Slip", "--out",
                    (home / "slip.html").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(home.Read("slip.html").find("Packing slip"), std::string::npos);
  r = Orders(home, {"orders", "invoice", "1000", "--template", "Nope"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no invoice template named 'Nope' (Invoice, Packing Slip)"),
            std::string::npos);
  r = Orders(home, {"orders", "invoice", "1000", "--out",
                    (home / "Invoices/1000_Invoice.html/x").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("ERROR I108: Unable to write temporary Invoice file "), std::string::npos);

  // The merchant details come from the project: the one named, else the last one opened.
  ASSERT_EQ(Orders(home, {"new", "Shop"}).code, 0);
  std::string stp = home.Read("Projects/Shop/Shop.stp");
  ASSERT_FALSE(stp.empty());
  stp += "VAR=$COMPANY|Acme Ltd\n";
  home.Write("Projects/Shop/Shop.stp", stp);
  r = Orders(home, {"orders", "invoice", "1000", "--project", "Shop", "--out",
                    (home / "named.html").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(home.Read("named.html").find("<strong>Acme Ltd</strong>"), std::string::npos);
  r = Orders(home, {"orders", "invoice", "1000", "--out", (home / "last.html").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(home.Read("last.html").find("<strong>Acme Ltd</strong>"), std::string::npos);
  EXPECT_EQ(Orders(home, {"orders", "invoice", "1000", "--project", "Nope"}).code, 1);

  // A hand-made order takes the field template's names and the next number.
  r = Orders(home, {"orders", "new"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1001\n");
  EXPECT_NE(home.Read("orders.ost").find("NODE1=1001\nOS=0\nOD=0\nOI=\n*Name=\n*Amount=\n"),
            std::string::npos);

  r = Orders(home, {"orders", "delete", "1000"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1000 moved to the Trash\n");
  // Inside the Trash the question needs an answer; --no keeps the order.
  r = Orders(home, {"orders", "delete", "1000"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("The selected item(s) will be permanently deleted. Do you wish to proceed?"),
            std::string::npos);
  r = Orders(home, {"--no", "orders", "delete", "1000"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(Orders(home, {"orders", "list"}).out.find("[Trash]\n  1000\t"), std::string::npos);
  r = Orders(home, {"--yes", "orders", "delete", "1000"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1000 deleted\n");
  EXPECT_EQ(home.Read("orders.ost").find("NODE1=1000"), std::string::npos);
  r = Orders(home, {"orders", "delete", "Trash"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot be deleted"), std::string::npos);
}

TEST(OrderCommands, FailuresAreReported) {
  TestHome home;
  FillHome(home);
  home.Write("bad.txt", "HTTP/1.0 200 OK\r\n\r\n5\r\n");
  OrdersCliResult r = Orders(home, {"orders", "parse-reply", (home / "bad.txt").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Unable to retrieve orders. (Error Code: 5) Invalid Logon Password"),
            std::string::npos);
  home.Write("empty.txt", "HTTP/1.0 200 OK\r\n\r\n0\r\n");
  r = Orders(home, {"orders", "parse-reply", (home / "empty.txt").string()});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "0 order(s) received\n");
  EXPECT_FALSE(std::filesystem::exists(home / "orders.ost"));  // nothing to save
  r = Orders(home, {"orders", "mark", "1000", "Charged"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no order named '1000'"), std::string::npos);
  r = Orders(home, {"orders", "mark", "1000", "Shipped"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("unknown status 'Shipped'"), std::string::npos);
  r = Orders(home, {"orders", "parse-reply", (home / "missing.txt").string()});
  EXPECT_EQ(r.code, 1);
  r = Orders(home, {"orders", "export", (home / "no/such/dir/x.csv").string()});
  EXPECT_EQ(r.code, 1);

  // A truncated orders file: the backup is read, and the command says so.
  home.Write("orders.bak", "#BEGIN\nTIME=1\nNODE1=42\nOS=0\n#EOF\n");
  home.Write("orders.ost", "#BEGIN\nTIME=2\nNODE1=43\nOS=0\n");
  r = Orders(home, {"orders", "list"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "42\t\t0.00\tPending\t\t\n");
  EXPECT_NE(r.err.find("orders.bak was read"), std::string::npos);
}

// parse-reply takes only what a download would take: a web page or a cut reply is an error
// and files nothing.
TEST(OrderCommands, ParseReplyRefusesPagesAndCutReplies) {
  TestHome home;
  FillHome(home);
  const std::string whole = kReply;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>0 orders</body></html>",
       "not an order-server reply"},
      {whole.substr(0, whole.find("PROD=") + 12), "without its end mark"},
      {"HTTP/1.0 200 OK\r\nContent-Length: 900\r\n\r\n" + whole.substr(whole.find("0\r\n#ID")),
       "cut off"},
  };
  for (const auto& [reply, reason] : cases) {
    home.Write("reply.txt", reply);
    OrdersCliResult r = Orders(home, {"orders", "parse-reply", (home / "reply.txt").string()});
    EXPECT_EQ(r.code, 1) << reason;
    EXPECT_NE(r.err.find(reason), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(home / "orders.ost"));
  }
}

}  // namespace
}  // namespace tolmi::cli
