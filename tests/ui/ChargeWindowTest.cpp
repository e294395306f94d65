// The charge dialog and the transaction log window, opened from the Orders window:
// charges against tolmi-server's test gateway (approved, declined), a refused gateway
// (C101), a reply that arrives after Cancel, the missing-gateway question, the log rows of a day
// range over a month boundary and the C100 message of Open.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>

#include "payments/TransactionLog.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/orders/OrdersWindow.h"
#include "ui/payments/OrderPayments.h"

using namespace tolmi;
using test::Child;
using ui::ChargeDialog;

namespace {

const QString kC101 =
    "Processing Error C101. Connection to payment server failed. If the problem persists, please "
    "contact customer support.\n\n";

QString StatusOf(ChargeDialog* d) {
  return Child<QLabel>(d, "statusLabel")->text();
}
QString Reply(ChargeDialog* d) {
  return Child<QPlainTextEdit>(d, "replyBox")->toPlainText();
}

struct ChargeShop : test::SampleShop {
  ui::EventLoopBridge bridge{session.loop()};
  ui::OrdersWindow* window = nullptr;

  // A gateway named name whose request goes to url, chosen in the configuration.
  void UseGateway(const std::string& name, const std::string& url) {
    GatewayDefinition g;
    g.name = name;
    g.request = url;
    g.replyKind = 6;
    g.cardTypes = {{"Visa", 1}, {"MasterCard", 2}};
    session.globals().gateways.push_back(g);
    session.config().gateway = name;
  }
  OrderRecord& Order() { return session.orders().records[0].children[0]; }
  // The Orders window on New Orders [1005, a Visa card of 07/2028 for 12.50].
  void Open() {
    if (!session.LoadOrdersOnce().ok()) qFatal("no orders");
    OrdersTree& tree = session.orders();
    tree.records = {MakeFolder(RecordKind::NewOrders, "New Orders")};
    OrderRecord r;
    r.name = "1005";
    r.orderId = "77";
    const char* fields[][2] = {
        {"Name", "Ann Lee"},           {"Amount", "12.50"},  {"CardNumber", "4111111111111111"},
        {"CardholderName", "Ann Lee"}, {"CardType", "Visa"}, {"CardExpiryMonth", "07"},
        {"CardExpiryYear", "2028"}};
    for (const auto& f : fields) AppendField(r, f[0], f[1]);
    tree.records[0].children.push_back(r);
    window = ui::OrdersCommand(ctx);
    window->SelectRecord(Order().uid);
  }
  ChargeDialog* Charge() {
    window->findChild<QAction*>("chargeAction")->trigger();
    return window->payments()->chargeDialog();
  }
  QString ListedStatus() {
    return Child<QTreeWidget>(window, "ordersList")->topLevelItem(0)->text(4);
  }
  std::string Log() { return Bytes(home / TransactionLogPath(clock.now)); }
};

}  // namespace

class ChargeWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    test::PrepareUiTestEnvironment();
    qputenv("TZ", "UTC");
    tzset();
  }

  void approvedDeclinedAndNoReply() {
    ChargeShop shop;
    test::ServerProcess server;
    QVERIFY(server.Start({"--data", (shop.home / "server.db").string(), "--hash-cost", "min"}));
    shop.UseGateway("Local Gateway", "http://127.0.0.1:" + std::to_string(server.port()) +
                                         "/gateway?CardNumber=%CardNumber%&Amount=$TOTAL");
    shop.Open();
    ChargeDialog* d = shop.Charge();
    QVERIFY(d);
    QCOMPARE(d->windowTitle(), QString("Online Transaction Processing - Local Gateway"));
    QCOMPARE(Child<QLineEdit>(d, "amountEdit")->text(), QString("12.50"));
    auto* years = Child<QComboBox>(d, "expiryYearCombo");
    QCOMPARE(years->count(), 16);
    QCOMPARE(years->itemText(0), QString("2025"));  // the clock's year, then the next 15
    QCOMPARE(years->currentText(), QString("2028"));
    QCOMPARE(Child<QComboBox>(d, "expiryMonthCombo")->currentText(), QString("07"));
    QCOMPARE(Child<QComboBox>(d, "cardTypeCombo")->currentText(), QString("Visa"));
    d->Charge();
    QVERIFY(StatusOf(d).startsWith("Working"));
    QVERIFY(!Child<QPushButton>(d, "chargeButton")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Approved"), 15000);
    QVERIFY(Reply(d).contains("OK"));
    QVERIFY(!Child<QLineEdit>(d, "amountEdit")->isEnabled());  // until opened again
    QCOMPARE(shop.Order().status, std::uint16_t(kStatusCharged));
    QCOMPARE(shop.ListedStatus(), QString("Charged"));
    QVERIFY(shop.session.orders().changed);
    QVERIFY(test::SaveShot(*d, "charge-approved"));

    // Opened again: idle; a declined card is rejected.
    d = shop.Charge();
    QVERIFY(Child<QLineEdit>(d, "amountEdit")->isEnabled());
    Child<QLineEdit>(d, "cardNumberEdit")->setText("4000000000000002");
    d->Charge();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Rejected"), 15000);
    QCOMPARE(shop.Order().status, std::uint16_t(kStatusRejected));
    QCOMPARE(FindField(shop.Order(), "CardNumber")->value, std::string("4000000000000002"));
    QCOMPARE(server.Stop(), 0);

    // Nobody answers: C101, the order unchanged and nothing more logged.
    shop.UseGateway("Refused", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/g");
    d = shop.Charge();
    QCOMPARE(d->windowTitle(), QString("Online Transaction Processing - Refused"));
    d->Charge();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Error"), 15000);
    QCOMPARE(Reply(d), kC101);
    QCOMPARE(shop.Order().status, std::uint16_t(kStatusRejected));
    QVERIFY(test::SaveShot(*d, "charge-error"));
    QCOMPARE(shop.Log(), std::string("1764979200,1005,77,1,12.50\n1764979200,1005,77,0,12.50\n"));

    // An amount of letters: the message, the dialog stays idle.
    d = shop.Charge();
    Child<QLineEdit>(d, "amountEdit")->setText("abc");
    d->Charge();
    QCOMPARE(d->state(), ChargeDialogState::Idle);
    QCOMPARE(QString::fromStdString(shop.prompter.shown.back().text),
             QString("An amount greater than zero must be specified."));
    shop.window->close();
  }

  void aReplyAfterCancelIsAppliedAndLogged() {
    ChargeShop shop;
    std::atomic<bool> release{false};
    test::ScriptedServer peer([&release](int fd, int) {
      test::ReadUntil(fd, "\r\n\r\n");
      for (int i = 0; i < 1000 && !release; ++i) test::ReadAll(fd, 10);
      test::WriteAll(fd, "HTTP/1.0 200 OK\r\n\r\nOK");
    });
    shop.UseGateway("Slow Gateway", "http://127.0.0.1:" + std::to_string(peer.port()) + "/g");
    shop.Open();
    QPointer<ChargeDialog> d = shop.Charge();
    d->Charge();
    QTest::qWait(250);  // a few animation frames
    QVERIFY(StatusOf(d).startsWith("Working"));
    QVERIFY(test::SaveShot(*d, "charge-working"));
    Child<QPushButton>(d, "cancelButton")->click();
    QTRY_VERIFY(d.isNull());
    QVERIFY(shop.Order().status != kStatusCharged);
    release = true;
    QTRY_COMPARE_WITH_TIMEOUT(shop.Order().status, std::uint16_t(kStatusCharged), 15000);
    QCOMPARE(shop.ListedStatus(), QString("Charged"));
    QCOMPARE(shop.Log(), std::string("1764979200,1005,77,1,12.50\n"));
    QVERIFY(shop.window->isWindowModified());
    shop.window->close();
  }

  void noGatewayAsksAndTheLogShowsADayRange() {
    ChargeShop shop;
    shop.session.config().gateway.clear();
    shop.Open();
    // Yes opens the Preferences on the gateway page; Settings on the order server's.
    QStringList pages;
    auto note = [&pages] {
      test::WhenModal<QDialog>([&pages](QDialog* d) {
        pages << Child<QStackedWidget>(d, "pageStack")->currentWidget()->objectName();
        d->reject();
      });
    };
    shop.prompter.answers = {PromptAnswer::Yes};
    note();
    QVERIFY(!shop.Charge());
    QCOMPARE(shop.prompter.asked.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(shop.prompter.asked[0].title), QString("Warning"));
    note();
    shop.window->findChild<QAction*>("settingsAction")->trigger();
    QCOMPARE(pages, (QStringList{"gatewayPage", "orderServerPage"}));

    // 30 November and 1 December 2025; 2 December lies outside the range.
    shop.home.Write("Logs/2025/251130.log", "1764504000,1001,,1,10.00\n1764507600,1002,,0,5.50\n");
    shop.home.Write("Logs/2025/251201.log", "1764590400,1003,9,2,7.25\n");
    shop.home.Write("Logs/2025/251202.log", "1764676800,1004,,1,1.00\n");
    shop.window->findChild<QAction*>("transactionLogAction")->trigger();
    auto* log = shop.window->findChild<ui::TransactionLogWindow*>("TransactionLogWindow");
    QVERIFY(log);
    QCOMPARE(log->windowTitle(), QString("Transaction Log"));
    auto* list = Child<QTreeWidget>(log, "logList");
    QCOMPARE(list->headerItem()->text(3), QString("Charge Date"));
    QCOMPARE(list->topLevelItemCount(), 0);  // today has no log
    log->PickDay(QDate(2025, 12, 1), false);
    log->PickDay(QDate(2025, 11, 30), true);
    auto rows = [list] {
      QStringList out;
      for (int i = 0; i < list->topLevelItemCount(); ++i)
        for (int c = 0; c < 4; ++c) out << list->topLevelItem(i)->text(c);
      return out.join('|');
    };
    QCOMPARE(rows(), QString("1001|10.00|Approved|11/30/25 12:00:00|1002|5.50|Rejected|11/30/25 "
                             "13:00:00|1003|7.25|Error|12/01/25 12:00:00"));
    log->SortBy(1);  // by total
    QCOMPARE(list->topLevelItem(0)->text(0), QString("1002"));
    QVERIFY(test::SaveShot(*log, "transaction-log"));

    // Open: a file that cannot be read shows C100 and keeps the list.
    shop.chooser.answers = {(shop.home / "missing.log").string()};
    log->OpenCommand();
    QCOMPARE(shop.chooser.asked.back().query.title, std::string("Open Transaction Log"));
    QCOMPARE(shop.chooser.asked.back().query.filter, std::string("Transaction Log (*.log)"));
    QCOMPARE(QString::fromStdString(shop.prompter.shown.back().text),
             QString("Error C100: Unable to load Transaction Log File."));
    QCOMPARE(list->topLevelItemCount(), 3);
    shop.window->close();
  }
};

QTEST_MAIN(ChargeWindowTest)
#include "ChargeWindowTest.moc"
