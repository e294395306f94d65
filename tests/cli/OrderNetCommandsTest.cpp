// tolmi-cli orders download, check and charge against the real tolmi-server on 127.0.0.1:
// what each prints, what it saves and its exit code.
#include <gtest/gtest.h>

#include "orders/OrdersFile.h"
#include "payments/TransactionLog.h"
#include "project/ProjectFile.h"
#include "tests/cli/CliRunner.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"

namespace tolmi::cli {
namespace {

constexpr const char* kPassword = "secret word";

class OrderNetCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string data = (home.path() / "server.db").string();
    ASSERT_EQ(test::RunUser(data, {"add", "shop", "--password", kPassword}), 0);
    ASSERT_TRUE(server.Start({"--data", data, "--hash-cost", "min"}));
    base = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    home.Write("config.ini", "server=" + base + "\no_un=shop\n");
  }
  // Posts an order of one pen at the unit price; returns the server's order id.
  std::string PostOrder(const std::string& name, const std::string& card,
                        const std::string& price = "12.50") {
    test::HttpReply reply = test::PostForm(
        server.port(), "/",
        "tolmi_user=shop&Name=" + name + "&Amount=" + price + "&CardNumber=" + card +
            "&CardholderName=" + name + "&CardType=Visa&CardExpiryMonth=12&CardExpiryYear=2030" +
            "&tolmi_item=1%09Pen%09P1%09" + price);
    EXPECT_EQ(reply.status, 200);
    return reply.Header("X-Tolmi-Order");
  }
  CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "orders");
    args.push_back("--no-proxy");
    return Cli(home, args);
  }
  size_t Filed() {
    OrdersTree tree;
    LoadOrders(home.path().string(), tree);
    return tree.records.front().children.size();
  }

  test::TestHome home;
  test::ServerProcess server;
  std::string base;
};

TEST_F(OrderNetCommandsTest, DownloadPrintsSavesAndEmptiesTheServerOrLeavesTheOrders) {
  std::string a = PostOrder("Ann", "4111111111111111");
  CliRun r = Run({"download", "--leave", "--password", kPassword});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Received 1 orders (1 new).\nOrders left on the server.\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(home.Read("config.ini").find("o_last=" + a), std::string::npos);

  std::string b = PostOrder("Bo", "4111111111111111");
  r = Run({"download", "--password", kPassword});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("1001  id " + b + "  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  12.50  Bo\n"), std::string::npos);
  EXPECT_NE(r.out.find("Received 2 orders (1 new).\nDeleted 2 orders on the server.\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(Filed(), 2u);

  r = Run({"download", "--password", "wrong"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Unable to retrieve orders. (Error Code: 5)\nInvalid Logon Password"),
            std::string::npos)
      << r.err;
  home.Write("config.ini", "o_un=shop\n");
  r = Run({"download"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no order server is set"), std::string::npos);
}

TEST_F(OrderNetCommandsTest, CheckAndChargeApproveDeclineRefuseAndReportC101) {
  StoreProject project;
  std::unique_ptr<StoreNode> pen = CreateNode();
  pen->kind = NodeKind::Product;
  pen->code = "P1";
  pen->cost = "12.50";
  AppendNode(project, nullptr, std::move(pen));
  home.Write("Shop.stp", ProjectFileText(project, 1, 1));
  PostOrder("Ann", "4111111111111111");         // 1000: priced as the catalogue prices it
  PostOrder("Bo", "4000000000000002", "0.50");  // 1001: a tampered price, a refused card
  ASSERT_EQ(Run({"download", "--password", kPassword}).code, 0);

  CliRun r = Cli(home, {"orders", "check", "--project", (home.path() / "Shop.stp").string()});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.out,
            "1001: DIFFERS from the catalogue\n  line 1 (P1): unit price 0.50, catalogue 12.50\n"
            "  total 0.50, catalogue 12.50\n1000: matches the catalogue\n");
  r = Run({"charge", "1000"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("gateway has not been setup"), std::string::npos) << r.err;

  home.Write("engines.dat", "NAME=Test Gateway\nREQ=" + base +
                                "gateway?CardNumber=%CardNumber%&Amount=$TOTAL\nID=6\n"
                                "NAME=Closed\nREQ=http://127.0.0.1:" +
                                std::to_string(test::FreePort()) + "/gateway?x=1\nID=6\n");
  home.Write("config.ini", "server=" + base + "\no_un=shop\ngateway=Test Gateway\n");
  r = Run({"charge", "1000"});
  ASSERT_EQ(r.code, 0) << r.err;
  // Reply kind 6 shows the whole reply, header included; the card number is kept masked.
  EXPECT_EQ(r.out.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\r\n\r\n1 OK Transaction Status: Approved\r\nApproved\n"),
            std::string::npos);
  EXPECT_EQ(r.out.find("4111111111111111"), std::string::npos);

  r = Run({"charge", "1001"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("order 1001 differs from the catalogue: not charged"), std::string::npos);
  r = Run({"charge", "1001", "--force", "--amount", "3.00"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("Declined"), std::string::npos);
  EXPECT_NE(r.out.find("Rejected\n"), std::string::npos);
  // The forced amount is the one charged and logged.
  EXPECT_NE(home.Read(TransactionLogPath(std::time(nullptr))).find(",0,3.00\n"), std::string::npos);

  EXPECT_NE(Run({"charge", "1001", "--force", "--amount", "0"})
                .err.find("An amount greater than zero must be specified."),
            std::string::npos);
  EXPECT_NE(Run({"charge", "999"}).err.find("no order '999'"), std::string::npos);
  home.Write("config.ini", "server=" + base + "\no_un=shop\ngateway=Closed\n");
  r = Run({"charge", "1000"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Processing Error C101. Connection to payment server failed."),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out, "Error\n");
}

}  // namespace
}  // namespace tolmi::cli
