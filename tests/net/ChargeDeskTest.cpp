// The orders window's charge desk: the Charge command's and button's questions and
// messages, and a reply that arrives after the dialog has gone, applied and logged.
#include "net/ChargeDesk.h"

#include <gtest/gtest.h>

#include <atomic>

#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "payments/TransactionLog.h"
#include "tests/net/NetTestSupport.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi::test {
namespace {

class ChargeDeskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(HttpStartup(loop, "Tolmi PRO", nullptr));
    tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
    for (const char* name : {"1000", "1001"}) {
      OrderRecord order;
      order.name = name;
      order.orderId = std::string("id") + name;
      tree.records[0].children.push_back(order);
    }
    gateway.name = "Test Gateway";
    gateway.replyKind = 6;
  }
  void TearDown() override { HttpShutdown(); }

  OrderRecord& Order(int i) { return tree.records[0].children[static_cast<std::size_t>(i)]; }
  static ChargeInput Input() { return {"12.50", "4111111111111111", "Ann Lee", "Visa", "12", "2030"}; }

  TestHome home;
  EventLoop loop;
  OrdersTree tree;
  FakeClock clock{1764948600};
  FakePrompter prompter;
  GatewayDefinition gateway;
};

TEST_F(ChargeDeskTest, CommandAndButtonChecks) {
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
  gateway.request = "http://127.0.0.1:9/g";
  gateway.fieldLabels[0] = "Merchant ID:";
  prompter.answers = {PromptAnswer::Yes, PromptAnswer::No};
  EXPECT_EQ(desk.Charge(Order(0), Input(), &gateway, context, {}, &id),
            ChargePress::OpenGatewaySetup);
  EXPECT_EQ(desk.Charge(Order(0), Input(), nullptr, context, {}, &id), ChargePress::Stayed);
  EXPECT_EQ(prompter.asked.back().text, kGatewaySettingsQuestion);
  EXPECT_EQ(prompter.asked.back().title, "Payment Gatewat Error");
  EXPECT_FALSE(tree.changed);

  // Input messages, titled "Error"; what passed its check before stays stored.
  context.account[0] = "3";
  ChargeInput input = Input();
  input.amount = "0";
  EXPECT_EQ(desk.Charge(Order(0), input, &gateway, context, {}, &id), ChargePress::Stayed);
  EXPECT_EQ(prompter.shown.back().text, kAmountMessage);
  EXPECT_EQ(prompter.shown.back().title, "Error");
  EXPECT_FALSE(tree.changed);
  input = Input();
  input.expiryMonth = "00";
  EXPECT_EQ(desk.Charge(Order(0), input, &gateway, context, {}, &id), ChargePress::Stayed);
  EXPECT_EQ(prompter.shown.back().text, kExpiryMessage);
  EXPECT_EQ(FindField(Order(0), "CardType")->value, "Visa");
  EXPECT_TRUE(tree.changed);
  EXPECT_EQ(desk.Running(), 0u);
}

TEST_F(ChargeDeskTest, AReplyAfterTheDialogHasGoneIsAppliedAndLogged) {
  std::atomic<bool> release{false};
  ScriptedServer peer(
      [&release](int fd, int) {
        ReadUntil(fd, "\r\n\r\n");
        for (int i = 0; i < 500 && !release; ++i) ReadAll(fd, 10);
        WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nOK");
      },
      2);
  gateway.request = "http://127.0.0.1:" + std::to_string(peer.port()) + "/g?c=%CardNumber%";
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
  EXPECT_NE(first, second);
  EXPECT_EQ(desk.Running(), 2u);
  tree.changed = false;
  release = true;
  ASSERT_TRUE(loop.RunUntil([&] { return windowCalls == 2; }, 15000));
  EXPECT_EQ(Order(0).status, kStatusCharged);
  EXPECT_EQ(Order(1).status, kStatusCharged);
  EXPECT_TRUE(tree.changed);
  // The detached dialog heard only its start; the second one its whole charge.
  EXPECT_EQ(dialog, (std::vector<std::string>{"Working", "Working", "Approved", "finished"}));
  const std::string t = std::to_string(clock.now);
  const std::string a = t + ",1000,id1000,1,12.50\n", b = t + ",1001,id1001,1,12.50\n";
  const std::string log = home.Read(TransactionLogPath(clock.now));
  EXPECT_TRUE(log == a + b || log == b + a) << log;  // the replies may come in either order
  EXPECT_EQ(desk.Running(), 0u);
}

}  // namespace
}  // namespace tolmi::test
