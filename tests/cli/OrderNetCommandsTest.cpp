// tolmi-cli orders download and orders charge against the real tolmi-server on 127.0.0.1.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "orders/OrdersFile.h"
#include "payments/TransactionLog.h"
#include "project/ProjectFile.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

constexpr const char* kPassword = "secret word";

class OrderNetCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string data = (home / "server.db").string();
    ASSERT_EQ(test::RunUser(data, {"add", "shop", "--password", kPassword}), 0);
    ASSERT_TRUE(server.Start({"--data", data, "--hash-cost", "min"}));
    base = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    home.Write("config.ini", "server=" + base + "\no_un=shop\n");
  }

  std::string PostOrder(const std::string& name, const std::string& card) {
    test::HttpReply reply =
        test::PostForm(server.port(), "/",
                       "tolmi_user=shop&Name=" + name + "&Amount=12.50&CardNumber=" + card +
                           "&CardholderName=" + name +
                           "&CardType=Visa&CardExpiryMonth=12&CardExpiryYear=2030"
                           "&tolmi_item=1%09Pen%09P1%0912.50");
    EXPECT_EQ(reply.status, 200);
    auto p = reply.body.find("Order number: ");
    return p == std::string::npos
               ? ""
               : reply.body.substr(p + 14,
                                   reply.body.find_first_not_of("0123456789", p + 14) - p - 14);
  }

  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home.path().string(), "orders"});
    args.push_back("--no-proxy");
    out.str("");
    err.str("");
    return RunCli(args, out, err);
  }

  OrdersTree Orders() {
    OrdersTree tree;
    LoadOrders(home.path().string(), tree);
    return tree;
  }

  test::TestHome home;
  test::ServerProcess server;
  std::string base;
  std::ostringstream out, err;
};

TEST_F(OrderNetCommandsTest, DownloadPrintsTheOrdersSavesThemAndEmptiesTheServer) {
  std::string a = PostOrder("Ann", "4111111111111111");
  std::string b = PostOrder("Bo", "4111111111111111");
  ASSERT_EQ(Run({"download", "--password", kPassword}), 0) << err.str();
  EXPECT_NE(out.str().find("1000  id " + a + "  "), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("1001  id " + b + "  "), std::string::npos);
  EXPECT_NE(out.str().find("  12.50  Bo\n"), std::string::npos);
  EXPECT_NE(out.str().find("Received 2 orders (2 new).\nDeleted 2 orders on the server.\n"),
            std::string::npos);
  OrdersTree tree = Orders();
  ASSERT_EQ(tree.records.front().children.size(), 2u);
  EXPECT_EQ(tree.records.front().children[0].orderId, b);
  EXPECT_NE(home.Read("config.ini").find("ordernum=1002"), std::string::npos);

  ASSERT_EQ(Run({"download", "--password", kPassword}), 0);
  EXPECT_EQ(out.str(), "Received 0 orders (0 new).\n");

  ASSERT_EQ(Run({"download", "--password", "wrong"}), 1);
  EXPECT_NE(err.str().find("Unable to retrieve orders. (Error Code: 5)\nInvalid Logon Password"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(Orders().records.front().children.size(), 2u);
}

TEST_F(OrderNetCommandsTest, LeaveKeepsOrdersOnTheServerAndRemembersTheLastId) {
  std::string a = PostOrder("Ann", "4111111111111111");
  ASSERT_EQ(Run({"download", "--leave", "--password", kPassword}), 0) << err.str();
  EXPECT_NE(out.str().find("Received 1 orders (1 new).\nOrders left on the server.\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(Orders().records.front().children.size(), 1u);
  EXPECT_NE(home.Read("config.ini").find("o_last=" + a), std::string::npos);

  // The next run asks only for later orders.
  std::string b = PostOrder("Bo", "4111111111111111");
  ASSERT_EQ(Run({"download", "--leave", "--password", kPassword}), 0);
  EXPECT_NE(out.str().find("Received 1 orders (1 new)."), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("id " + b), std::string::npos);

  // Without --leave no last id is sent: both come again, neither is filed twice, both go.
  ASSERT_EQ(Run({"download", "--password", kPassword}), 0);
  EXPECT_NE(out.str().find("Received 2 orders (0 new).\nDeleted 2 orders on the server.\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(Orders().records.front().children.size(), 2u);
}

TEST_F(OrderNetCommandsTest, DownloadNeedsAServer) {
  home.Write("config.ini", "o_un=shop\n");
  EXPECT_EQ(Run({"download"}), 1);
  EXPECT_NE(err.str().find("no order server is set"), std::string::npos);
}

TEST_F(OrderNetCommandsTest, ChargeApprovesDeclinesAndReportsC101) {
  PostOrder("Ann", "4111111111111111");
  PostOrder("Bo", "4000000000000002");
  ASSERT_EQ(Run({"download", "--password", kPassword}), 0) << err.str();

  // No gateway chosen yet.
  EXPECT_EQ(Run({"charge", "1000"}), 1);
  EXPECT_NE(err.str().find("gateway has not been setup"), std::string::npos) << err.str();

  home.Write("engines.dat", "NAME=Test Gateway\nREQ=" + base +
                                "gateway?CardNumber=%CardNumber%&Amount=$TOTAL\nID=6\n"
                                "NAME=Closed\nREQ=http://127.0.0.1:" +
                                std::to_string(test::FreePort()) + "/gateway?x=1\nID=6\n");
  home.Write("config.ini", "server=" + base + "\no_un=shop\ngateway=Test Gateway\n");
  ASSERT_EQ(Run({"charge", "1000"}), 0) << err.str();
  // Reply kind 6 shows the whole reply, header included.
  EXPECT_EQ(out.str().rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << out.str();
  EXPECT_NE(out.str().find("\r\n\r\n1 OK Transaction Status: Approved\r\nApproved\n"),
            std::string::npos);
  const OrderRecord* ann = nullptr;
  OrdersTree tree = Orders();
  for (const OrderRecord& r : tree.records.front().children)
    if (r.name == "1000") ann = &r;
  ASSERT_NE(ann, nullptr);
  EXPECT_EQ(ann->status, kStatusCharged);

  ASSERT_EQ(Run({"charge", "1001", "--amount", "3.00"}), 1);
  EXPECT_NE(out.str().find("Declined"), std::string::npos);
  EXPECT_NE(out.str().find("Rejected\n"), std::string::npos);
  std::string log = home.Read(TransactionLogPath(std::time(nullptr)));
  EXPECT_NE(log.find(",1000,"), std::string::npos) << log;
  EXPECT_NE(log.find(",1001,"), std::string::npos);
  EXPECT_NE(log.find(",0,3.00\n"), std::string::npos);

  EXPECT_EQ(Run({"charge", "1001", "--amount", "0"}), 1);
  EXPECT_NE(err.str().find("An amount greater than zero must be specified."), std::string::npos);
  EXPECT_EQ(Run({"charge", "999"}), 1);
  EXPECT_NE(err.str().find("no order '999'"), std::string::npos);

  home.Write("config.ini", "server=" + base + "\no_un=shop\ngateway=Closed\n");
  EXPECT_EQ(Run({"charge", "1000"}), 1);
  EXPECT_NE(err.str().find("Processing Error C101. Connection to payment server failed."),
            std::string::npos)
      << err.str();
  EXPECT_EQ(out.str(), "Error\n");
}

TEST_F(OrderNetCommandsTest, CheckMarksATamperedOrderWhichChargesOnlyWithForce) {
  StoreProject project;
  std::unique_ptr<StoreNode> pen = CreateNode();
  pen->kind = NodeKind::Product;
  pen->code = "P1";
  pen->cost = "12.50";
  AppendNode(project, nullptr, std::move(pen));
  const std::string path = (home / "Shop.stp").string();
  home.Write("Shop.stp", ProjectFileText(project, 1, 1));
  PostOrder("Ann", "4111111111111111");  // priced as the catalogue prices it
  ASSERT_EQ(test::PostForm(server.port(), "/",
                           "tolmi_user=shop&Name=Bo&Amount=0.50&CardNumber=4000000000000002"
                           "&CardholderName=Bo&CardType=Visa&CardExpiryMonth=12"
                           "&CardExpiryYear=2030&tolmi_item=1%09Pen%09P1%090.50")
                .status,
            200);
  ASSERT_EQ(Run({"download", "--password", kPassword}), 0) << err.str();
  auto check = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"--home", home.path().string(), "orders", "check", "--project", path});
    out.str("");
    return RunCli(args, out, err);
  };
  EXPECT_EQ(check({}), 1) << err.str();
  EXPECT_NE(out.str().find("1000: matches the catalogue\n"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("1001: DIFFERS from the catalogue\n"
                           "  line 1 (P1): unit price 0.50, catalogue 12.50\n"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(check({"1000"}), 0) << out.str();

  home.Write("engines.dat", "NAME=Test Gateway\nREQ=" + base +
                                "gateway?CardNumber=%CardNumber%&Amount=$TOTAL\nID=6\n");
  home.Write("config.ini", "server=" + base + "\no_un=shop\ngateway=Test Gateway\n");
  EXPECT_EQ(Run({"charge", "1001"}), 1);
  EXPECT_NE(err.str().find("order 1001 differs from the catalogue: not charged"), std::string::npos)
      << err.str();
  ASSERT_EQ(Run({"charge", "1000"}), 0) << err.str();
  // Charged: neither the orders file nor the output holds the full card number.
  EXPECT_EQ(home.Read("orders.ost").find("4111111111111111"), std::string::npos);
  EXPECT_NE(home.Read("orders.ost").find("*CardNumber=************1111\n"), std::string::npos);
  EXPECT_EQ(out.str().find("4111111111111111"), std::string::npos) << out.str();
  EXPECT_EQ(Run({"charge", "1001", "--force", "--amount", "0.50"}), 1);  // declined, but sent
  EXPECT_NE(out.str().find("Rejected"), std::string::npos) << out.str() << err.str();
}

}  // namespace
}  // namespace tolmi::cli
