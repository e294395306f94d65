// Card charges through tolmi-server's test gateway on 127.0.0.1, and against peers that
// refuse, stay silent or close without a word.
#include "net/ChargeSession.h"

#include <gtest/gtest.h>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "orders/OrdersFile.h"
#include "payments/TransactionLog.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi::test {
namespace {

class ChargeSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HttpStartup(loop, "Tolmi PRO", nullptr));
    OrderRecord order;
    order.name = "1000";
    order.orderId = "7";
    AppendField(order, "Name", "Ann Lee");
    ChargeInput input;
    input.amount = "12.50";
    input.cardNumber = "4111 1111 1111 1111";
    input.cardHolder = "Ann Lee";
    input.cardType = "Visa";
    input.expiryMonth = "12";
    input.expiryYear = "2030";
    ASSERT_TRUE(ApplyChargeInput(order, input).ok());
    tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
    tree.records[0].children.push_back(order);
  }
  void TearDown() override { HttpShutdown(); }

  OrderRecord& Order() { return tree.records[0].children[0]; }

  void StartServer() {
    std::string data = (home / "server.db").string();
    ASSERT_TRUE(server.Start({"--data", data, "--hash-cost", "min"}));
  }

  GatewayDefinition Gateway(const std::string& request, int kind) {
    GatewayDefinition g;
    g.name = "Test Gateway";
    g.request = request;
    g.replyKind = kind;
    return g;
  }

  std::string Base(int port) { return "http://127.0.0.1:" + std::to_string(port); }

  // Runs one charge to its end.
  bool Run(ChargeSession& session, const GatewayDefinition& gateway) {
    finished = false;
    ChargeContext context;
    context.now = clock.now;
    if (!session.Start(Order(), gateway, context).ok()) return false;
    return loop.RunUntil([&] { return finished; }, 15000);
  }

  std::unique_ptr<ChargeSession> Session() {
    ChargeSessionHooks hooks;
    hooks.status = [this](const std::string& text) { statuses.push_back(text); };
    hooks.finished = [this](const ChargeResult& r) {
      result = r;
      finished = true;
    };
    return std::make_unique<ChargeSession>(loop, tree, home.path().string(), clock, hooks);
  }

  std::string LogText() { return home.Read(TransactionLogPath(clock.now)); }

  TestHome home;
  EventLoop loop;
  OrdersTree tree;
  FakeClock clock{1764948600};  // 5 December 2026 around 15:30 UTC
  ServerProcess server;
  bool finished = false;
  ChargeResult result;
  std::vector<std::string> statuses;
};

TEST_F(ChargeSessionTest, ApprovedByTheGatewayMarksTheOrderChargedAndLogsIt) {
  StartServer();
  auto session = Session();
  ASSERT_TRUE(
      Run(*session,
          Gateway(Base(server.port()) + "/gateway?CardNumber=%CardNumber%&Amount=$TOTAL", 6)));
  EXPECT_EQ(result.outcome.verdict, ChargeVerdict::Approved);
  EXPECT_NE(result.outcome.replyText.find("1 OK Transaction Status: Approved"), std::string::npos);
  EXPECT_TRUE(result.orderUpdated);
  EXPECT_EQ(Order().status, kStatusCharged);
  EXPECT_EQ(Order().chargeDate, clock.now);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Working", "Approved"}));
  EXPECT_TRUE(result.logged);
  EXPECT_EQ(LogText(), std::to_string(clock.now) + ",1000,7,1,12.50\n");
  // Charged: the orders file keeps the card's last four digits only.
  ASSERT_TRUE(SaveOrders(home.path().string(), tree, clock.now).ok());
  const std::string file = home.Read("orders.ost");
  EXPECT_NE(file.find("\n*CardNumber=************1111\n"), std::string::npos) << file;
  for (const char* full : {"4111 1111", "41111111"}) EXPECT_EQ(file.find(full), std::string::npos);
}

TEST_F(ChargeSessionTest, DeclinedPostMarksTheOrderRejectedAndLogsIt) {
  StartServer();
  auto session = Session();
  FindField(Order(), "CardNumber")->value = "4000000000000002";
  ASSERT_TRUE(Run(*session, Gateway(Base(server.port()) +
                                        "/POST /gateway $HTTPCardNumber=%CardNumber%&Amount=$TOTAL",
                                    2)));
  EXPECT_EQ(result.outcome.verdict, ChargeVerdict::Rejected);
  EXPECT_NE(result.outcome.replyText.find("Declined"), std::string::npos);
  EXPECT_EQ(Order().status, kStatusRejected);
  EXPECT_EQ(Order().chargeDate, 0);
  EXPECT_EQ(statuses.back(), "Rejected");
  EXPECT_EQ(LogText(), std::to_string(clock.now) + ",1000,7,0,12.50\n");
  EXPECT_EQ(FindField(Order(), "CardNumber")->value, "4000000000000002");  // may be tried again

  // A second charge appends its own line.
  FindField(Order(), "CardNumber")->value = "4111111111111111";
  ASSERT_TRUE(Run(*session, Gateway(Base(server.port()) + "/gateway?CardNumber=%CardNumber%&"
                                                          "Amount=$TOTAL",
                                    4)));
  EXPECT_EQ(Order().status, kStatusCharged);
  EXPECT_EQ(LogText(), std::to_string(clock.now) + ",1000,7,0,12.50\n" + std::to_string(clock.now) +
                           ",1000,7,1,12.50\n");
}

TEST_F(ChargeSessionTest, NoReplyIsProcessingErrorC101AndChangesNothing) {
  ScriptedServer silent([](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    ReadAll(fd, 8000);
  });
  ScriptedServer closer([](int fd, int) { ReadUntil(fd, "\r\n\r\n"); });
  const std::vector<std::pair<std::string, std::string>> peers = {
      {"refused", Base(FreePort()) + "/gateway?x=1"},
      {"silent", Base(silent.port()) + "/gateway?x=1"},
      {"closed", Base(closer.port()) + "/gateway?x=1"},
      {"unusable address", "ftp://127.0.0.1/gateway"},
  };
  for (const auto& [what, url] : peers) {
    SCOPED_TRACE(what);
    auto session = Session();
    session->SetTimeoutMs(100);
    statuses.clear();
    ASSERT_TRUE(Run(*session, Gateway(url, 6)));
    EXPECT_EQ(result.outcome.verdict, ChargeVerdict::NoReply);
    EXPECT_EQ(result.outcome.replyText,
              "Processing Error C101. Connection to payment server failed. If the problem "
              "persists, please contact customer support.\n\n");
    EXPECT_EQ(statuses, (std::vector<std::string>{"Working", "Error"}));
    EXPECT_FALSE(result.orderUpdated);
    EXPECT_FALSE(result.logged);
    EXPECT_EQ(Order().status, kStatusUnread);
    EXPECT_FALSE(FileExists((home / "Logs").string()));
  }
}

TEST_F(ChargeSessionTest, AReplyForAnOrderThatHasGoneIsStillLogged) {
  ScriptedServer peer([](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nOK");
  });
  auto session = Session();
  ChargeContext context;
  ASSERT_TRUE(session->Start(Order(), Gateway(Base(peer.port()) + "/g", 6), context).ok());
  EXPECT_TRUE(session->Busy());
  EXPECT_FALSE(session->Start(Order(), Gateway(Base(peer.port()) + "/g", 6), context).ok());
  tree.records[0].children.clear();
  ASSERT_TRUE(loop.RunUntil([&] { return finished; }, 15000));
  EXPECT_FALSE(session->Busy());
  EXPECT_TRUE(result.outcome.approved());
  EXPECT_FALSE(result.orderUpdated);
  EXPECT_EQ(LogText(), std::to_string(clock.now) + ",1000,7,1,12.50\n");

  // A gateway without a request template sends nothing.
  EXPECT_FALSE(session->Start(OrderRecord{}, Gateway("", 6), context).ok());
  EXPECT_FALSE(session->Busy());
}

TEST_F(ChargeSessionTest, AnUnwritableLogStillUpdatesTheOrder) {
  ScriptedServer peer([](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nOK");
  });
  home.Write("Logs", "not a folder");
  auto session = Session();
  ASSERT_TRUE(Run(*session, Gateway(Base(peer.port()) + "/g", 6)));
  EXPECT_TRUE(result.outcome.approved());
  EXPECT_EQ(Order().status, kStatusCharged);
  EXPECT_FALSE(result.logged);
  EXPECT_FALSE(result.logError.empty());
}

}  // namespace
}  // namespace tolmi::test
