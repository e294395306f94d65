// Card charges through tolmi-server's test gateway on 127.0.0.1, and against peers that
// refuse, stay silent or close without a word; the orders window's charge desk.
#include "net/ChargeSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "net/ChargeDesk.h"
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
    tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
    for (auto [name, id] : {std::pair{"1000", "7"}, {"1001", "8"}}) {
      OrderRecord order;
      order.name = name;
      order.orderId = id;
      AppendField(order, "Name", "Ann Lee");
      tree.records[0].children.push_back(order);
    }
    ASSERT_TRUE(ApplyChargeInput(Order(), Input()).ok());
  }
  void TearDown() override { HttpShutdown(); }

  OrderRecord& Order(int i = 0) { return tree.records[0].children[static_cast<std::size_t>(i)]; }
  static ChargeInput Input() {
    return {"12.50", "4111 1111 1111 1111", "Ann Lee", "Visa", "12", "2030"};
  }

  void StartServer() {
    std::string data = (home / "server.db").string();
    ASSERT_TRUE(server.Start({"--data", data, "--hash-cost", "min"}));
  }

  static GatewayDefinition Gateway(const std::string& request, int kind) {
    GatewayDefinition g;
    g.name = "Test Gateway";
    g.request = request;
    g.replyKind = kind;
    return g;
  }

  std::string Base(int port) { return "http://127.0.0.1:" + std::to_string(port); }

  // Runs one charge of order 1000 to its end.
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
  FakePrompter prompter;
  ServerProcess server;
  bool finished = false;
  ChargeResult result;
  std::vector<std::string> statuses;
};

// Declined (a POST, reply kind 2), then approved (a GET, kind 6): each verdict on the order,
// one log line each.
TEST_F(ChargeSessionTest, DeclinedThenApprovedByTheGatewayMarksTheOrderAndLogsEach) {
  StartServer();
  auto session = Session();
  FindField(Order(), "CardNumber")->value = "4000000000000002";
  ASSERT_TRUE(Run(*session, Gateway(Base(server.port()) +
                                        "/POST /gateway $HTTPCardNumber=%CardNumber%&Amount=$TOTAL",
                                    2)));
  EXPECT_NE(result.outcome.replyText.find("Declined"), std::string::npos);
  EXPECT_EQ(Order().status, kStatusRejected);
  EXPECT_EQ(statuses, (std::vector<std::string>{"Working", "Rejected"}));
  EXPECT_EQ(FindField(Order(), "CardNumber")->value, "4000000000000002");  // may be tried again

  FindField(Order(), "CardNumber")->value = "4111 1111 1111 1111";
  ASSERT_TRUE(
      Run(*session,
          Gateway(Base(server.port()) + "/gateway?CardNumber=%CardNumber%&Amount=$TOTAL", 6)));
  EXPECT_NE(result.outcome.replyText.find("1 OK Transaction Status: Approved"), std::string::npos);
  EXPECT_EQ(Order().status, kStatusCharged);
  EXPECT_EQ(Order().chargeDate, clock.now);
  const std::string t = std::to_string(clock.now);
  EXPECT_EQ(LogText(), t + ",1000,7,0,12.50\n" + t + ",1000,7,1,12.50\n");
  // Charged: the orders file keeps the last four digits of the card typed with blanks.
  ASSERT_TRUE(SaveOrders(home.path().string(), tree, clock.now).ok());
  EXPECT_NE(home.Read("orders.ost").find("\n*CardNumber=************1111\n"), std::string::npos);
}

TEST_F(ChargeSessionTest, NoReplyIsProcessingErrorC101AndChangesNothing) {
  ScriptedServer silent([](int fd, int) {
    ReadUntil(fd, "\r\n\r\n");
    ReadAll(fd, 8000);
  });
  ScriptedServer closer([](int fd, int) { ReadUntil(fd, "\r\n\r\n"); });
  const std::vector<std::pair<std::string, std::string>> peers = {
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
    EXPECT_EQ(statuses, (std::vector<std::string>{"Working", "Error"}));
    EXPECT_EQ(Order().status, kStatusUnread);
    EXPECT_FALSE(FileExists((home / "Logs").string()));
  }
}

// A reply for an order deleted meanwhile is still logged; an unwritable log still lets the
// order be updated.
TEST_F(ChargeSessionTest, AReplyOutlivesItsOrderAndAnUnwritableLogKeepsTheUpdate) {
  ScriptedServer peer(
      [](int fd, int) {
        ReadUntil(fd, "\r\n\r\n");
        WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nOK");
      },
      2);
  const GatewayDefinition gateway = Gateway(Base(peer.port()) + "/g", 6);
  auto session = Session();
  ChargeContext context;
  context.now = clock.now;
  ASSERT_TRUE(session->Start(Order(), gateway, context).ok());
  EXPECT_TRUE(session->Busy());
  EXPECT_FALSE(session->Start(Order(), gateway, context).ok());  // one charge at a time
  const OrderRecord gone = Order();
  tree.records[0].children.clear();
  ASSERT_TRUE(loop.RunUntil([&] { return finished; }, 15000));
  EXPECT_FALSE(result.orderUpdated);
  EXPECT_EQ(LogText(), std::to_string(clock.now) + ",1000,7,1,12.50\n");
  // A gateway without a request template sends nothing.
  EXPECT_FALSE(session->Start(OrderRecord{}, Gateway("", 6), context).ok());
  EXPECT_FALSE(session->Busy());

  tree.records[0].children.push_back(gone);
  std::filesystem::remove_all(home / "Logs");
  home.Write("Logs", "not a folder");
  ASSERT_TRUE(Run(*session, gateway));
  EXPECT_EQ(Order().status, kStatusCharged);
  EXPECT_FALSE(result.logError.empty());
}

// The orders window's charge desk: the Charge command's and button's questions and messages.
TEST_F(ChargeSessionTest, DeskCommandAndButtonChecks) {
  GatewayDefinition gateway = Gateway("http://127.0.0.1:9/g", 6);
  // The Charge command without a gateway asks; Yes opens the setup page.
  prompter.answers = {PromptAnswer::Yes, PromptAnswer::Cancel};
  EXPECT_EQ(ChargeCommand(nullptr, prompter), ChargeCommandStep::OpenGatewaySetup);
  EXPECT_EQ(ChargeCommand(nullptr, prompter), ChargeCommandStep::Nothing);
  EXPECT_EQ(ChargeCommand(&gateway, prompter), ChargeCommandStep::OpenDialog);
  ASSERT_EQ(prompter.asked.size(), 2u);
  EXPECT_EQ(prompter.asked[0].text, kGatewayNotSetupQuestion);
  EXPECT_EQ(prompter.asked[0].title, "Warning");
  EXPECT_EQ(prompter.asked[0].buttons, PromptButtons::YesNoCancel);

  ChargeDesk desk(loop, tree, home.path().string(), clock, prompter);
  ChargeContext context;
  int id = 0;
  // A labelled account value left empty: the settings question.
  gateway.fieldLabels[0] = "Merchant ID:";
  prompter.answers = {PromptAnswer::Yes, PromptAnswer::No};
  EXPECT_EQ(desk.Charge(Order(0), Input(), &gateway, context, {}, &id),
            ChargePress::OpenGatewaySetup);
  EXPECT_EQ(desk.Charge(Order(0), Input(), nullptr, context, {}, &id), ChargePress::Stayed);
  EXPECT_EQ(prompter.asked.back().text, kGatewaySettingsQuestion);
  EXPECT_EQ(prompter.asked.back().title, "Payment Gatewat Error");
  EXPECT_FALSE(tree.changed);

  // An input message, titled "Error"; what passed its check before stays stored.
  context.account[0] = "3";
  ChargeInput input = Input();
  input.amount = "0";
  EXPECT_EQ(desk.Charge(Order(1), input, &gateway, context, {}, &id), ChargePress::Stayed);
  EXPECT_FALSE(tree.changed);  // nothing was stored
  input = Input();
  input.expiryMonth = "00";
  EXPECT_EQ(desk.Charge(Order(1), input, &gateway, context, {}, &id), ChargePress::Stayed);
  EXPECT_EQ(prompter.shown.back().text, kExpiryMessage);
  EXPECT_EQ(prompter.shown.back().title, "Error");
  ASSERT_NE(FindField(Order(1), "CardType"), nullptr);
  EXPECT_TRUE(tree.changed);
  EXPECT_EQ(desk.Running(), 0u);
}

// A reply that arrives after the dialog has gone is applied and logged.
TEST_F(ChargeSessionTest, DeskAppliesAndLogsAReplyAfterTheDialogHasGone) {
  std::atomic<bool> release{false};
  ScriptedServer peer(
      [&release](int fd, int) {
        ReadUntil(fd, "\r\n\r\n");
        for (int i = 0; i < 500 && !release; ++i) ReadAll(fd, 10);
        WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nOK");
      },
      2);
  const GatewayDefinition gateway = Gateway(Base(peer.port()) + "/g?c=%CardNumber%", 6);
  ChargeDesk desk(loop, tree, home.path().string(), clock, prompter);
  int windowCalls = 0;
  desk.SetOnFinished([&](const ChargeResult& r) {
    EXPECT_TRUE(r.orderUpdated);
    ++windowCalls;
  });
  std::vector<std::string> dialog;
  ChargeSessionHooks hooks;
  hooks.status = [&](const std::string& s) { dialog.push_back(s); };
  hooks.finished = [&](const ChargeResult&) { dialog.push_back("finished"); };
  int first = 0, second = 0;
  ASSERT_EQ(desk.Charge(Order(0), Input(), &gateway, ChargeContext{}, hooks, &first),
            ChargePress::Sent);
  desk.Detach(first);  // the dialog's Cancel
  // The next dialog charges another order while the first reply is outstanding.
  ASSERT_EQ(desk.Charge(Order(1), Input(), &gateway, ChargeContext{}, hooks, &second),
            ChargePress::Sent);
  tree.changed = false;
  release = true;
  ASSERT_TRUE(loop.RunUntil([&] { return windowCalls == 2; }, 15000));
  EXPECT_EQ(Order(0).status, kStatusCharged);
  EXPECT_EQ(Order(1).status, kStatusCharged);
  EXPECT_TRUE(tree.changed);
  // The detached dialog heard only its start; the second one its whole charge.
  EXPECT_EQ(dialog, (std::vector<std::string>{"Working", "Working", "Approved", "finished"}));
  const std::string t = std::to_string(clock.now);
  const std::string a = t + ",1000,7,1,12.50\n", b = t + ",1001,8,1,12.50\n";
  const std::string log = home.Read(TransactionLogPath(clock.now));
  EXPECT_TRUE(log == a + b || log == b + a) << log;  // the replies may come in either order
  EXPECT_EQ(desk.Running(), 0u);
}

}  // namespace
}  // namespace tolmi::test
