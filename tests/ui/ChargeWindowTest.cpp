// The charge dialog and the transaction log window, opened from the Orders window:
// charges against tolmi-server's test gateway (approved, declined), a refused gateway
// (C101), a reply that arrives after Cancel, a gateway that never answers and a garbage
// order download, the missing-gateway question, the log rows of a day range over a month
// boundary and the C100 message of Open.
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
using ui::OrdersWindow;

namespace {

void FillOrders(OrdersTree& tree) {
  tree.records.clear();
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  OrderRecord r;
  r.name = "1005";
  r.orderId = "77";
  AppendField(r, "Name", "Ann Lee");
  AppendField(r, "Amount", "12.50");
  AppendField(r, "CardNumber", "4111111111111111");
  AppendField(r, "CardholderName", "Ann Lee");
  AppendField(r, "CardType", "Visa");
  AppendField(r, "CardExpiryMonth", "07");
  AppendField(r, "CardExpiryYear", "2028");
  tree.records[0].children.push_back(r);
}

QString StatusOf(ChargeDialog* d) { return Child<QLabel>(d, "statusLabel")->text(); }

struct ChargeShop : test::SampleShop {
  ui::EventLoopBridge bridge{session.loop()};
  OrdersWindow* window = nullptr;

  // A gateway named name whose request goes to url, chosen in the configuration.
  void UseGateway(const std::string& name, const std::string& url, int kind) {
    GatewayDefinition g;
    g.name = name;
    g.request = url;
    g.replyKind = kind;
    g.cardTypes = {{"Visa", 1}, {"MasterCard", 2}};
    session.globals().gateways.push_back(g);
    session.config().gateway = name;
  }
  OrderRecord& Order() { return session.orders().records[0].children[0]; }
  void Open() {
    if (!session.LoadOrdersOnce().ok()) qFatal("no orders");
    FillOrders(session.orders());
    window = ui::OrdersCommand(ctx);
    window->SelectRecord(Order().uid);
  }
  ChargeDialog* Charge() {
    window->findChild<QAction*>("chargeAction")->trigger();
    return window->payments()->chargeDialog();
  }
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
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    shop.UseGateway("Local Gateway", base + "/gateway?CardNumber=%CardNumber%&Amount=$TOTAL", 6);
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
    QVERIFY(test::SaveShot(*d, "charge-idle"));

    d->Charge();
    QVERIFY(StatusOf(d).startsWith("Working"));
    QVERIFY(!Child<QPushButton>(d, "chargeButton")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Approved"), 15000);
    QVERIFY(Child<QPlainTextEdit>(d, "replyBox")->toPlainText().contains("OK"));
    QVERIFY(!Child<QLineEdit>(d, "amountEdit")->isEnabled());  // until opened again
    QCOMPARE(shop.Order().status, std::uint16_t(kStatusCharged));
    QCOMPARE(Child<QTreeWidget>(shop.window, "ordersList")->topLevelItem(0)->text(4),
             QString("Charged"));
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
    QVERIFY(test::SaveShot(*d, "charge-rejected"));
    QCOMPARE(server.Stop(), 0);

    // Nobody answers: C101, the order unchanged and nothing more logged.
    shop.session.config().gateway = "Refused";
    shop.UseGateway("Refused", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/g", 6);
    d = shop.Charge();
    QCOMPARE(d->windowTitle(), QString("Online Transaction Processing - Refused"));
    d->Charge();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Error"), 15000);
    QCOMPARE(Child<QPlainTextEdit>(d, "replyBox")->toPlainText(),
             QString("Processing Error C101. Connection to payment server failed. If the problem "
                     "persists, please contact customer support.\n\n"));
    QCOMPARE(shop.Order().status, std::uint16_t(kStatusRejected));
    QVERIFY(test::SaveShot(*d, "charge-error"));
    const std::string log = shop.Bytes(shop.home / TransactionLogPath(shop.clock.now));
    QCOMPARE(log, std::string("1764979200,1005,77,1,12.50\n1764979200,1005,77,0,12.50\n"));

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
    shop.UseGateway("Slow Gateway", "http://127.0.0.1:" + std::to_string(peer.port()) + "/g", 6);
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
    QCOMPARE(Child<QTreeWidget>(shop.window, "ordersList")->topLevelItem(0)->text(4),
             QString("Charged"));
    QCOMPARE(shop.Bytes(shop.home / TransactionLogPath(shop.clock.now)),
             std::string("1764979200,1005,77,1,12.50\n"));
    QVERIFY(shop.window->isWindowModified());
    shop.window->close();
  }

  // A gateway that takes the request and never answers, and an order server whose reply
  // is a web page: the exact messages, no order lost or changed, and the window goes on.
  void silentGatewayAndGarbageDownloadLoseNothing() {
    ChargeShop shop;
    std::atomic<bool> release{false};
    test::ScriptedServer silent([&release](int fd, int) {
      test::ReadUntil(fd, "\r\n\r\n");
      while (!release) test::ReadAll(fd, 50);
    });
    test::ScriptedServer garbage([](int fd, int) {
      test::ReadUntil(fd, "\r\n\r\n");
      test::WriteAll(fd, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                         "<html><body>Down for maintenance</body></html>");
    });
    shop.UseGateway("Silent Gateway", "http://127.0.0.1:" + std::to_string(silent.port()) + "/g", 6);
    shop.Open();
    QVERIFY(shop.session.SaveOrdersFile().ok());
    const std::string saved = shop.Bytes(shop.home / "orders.ost");
    const std::uint16_t status = shop.Order().status;
    shop.window->payments()->desk().SetTimeoutMs(200);
    ChargeDialog* d = shop.Charge();
    d->Charge();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Error"), 15000);
    release = true;
    QCOMPARE(Child<QPlainTextEdit>(d, "replyBox")->toPlainText(),
             QString("Processing Error C101. Connection to payment server failed. If the problem "
                     "persists, please contact customer support.\n\n"));
    QCOMPARE(shop.Order().status, status);
    QVERIFY(!std::filesystem::exists(shop.home / TransactionLogPath(shop.clock.now)));
    d->reject();

    AppConfig& config = shop.session.config();
    config.server = "http://127.0.0.1:" + std::to_string(garbage.port()) + "/";
    config.orderUser = "shop";
    config.orderPassword = "pw";
    test::WhenModal<QDialog>([](QDialog* logon) { logon->accept(); });
    shop.window->DownloadOrders();
    QTRY_VERIFY_WITH_TIMEOUT(!shop.window->downloadBusy(), 15000);
    QCOMPARE(shop.prompter.shown.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(shop.prompter.shown[0].title + "|" + shop.prompter.shown[0].text),
             QString("Download Error|Unable to retrieve orders. (Error Code: 99)\nConnection to "
                     "Tolmi server failed. Please check your server and/or proxy settings.\nThe "
                     "server's reply is not an order-server reply (it does not start with a "
                     "result code)."));
    QCOMPARE(shop.session.orders().records[0].children.size(), std::size_t(1));
    QCOMPARE(shop.Bytes(shop.home / "orders.ost"), saved);

    // The window goes on: the order is there to charge again.
    shop.window->SelectRecord(shop.Order().uid);
    d = shop.Charge();
    QVERIFY(d && d->state() == ChargeDialogState::Idle);
    d->reject();
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
    QCOMPARE(list->topLevelItemCount(), 3);
    auto row = [list](int i) {
      QStringList cells;
      for (int c = 0; c < 4; ++c) cells << list->topLevelItem(i)->text(c);
      return cells;
    };
    QCOMPARE(row(0), (QStringList{"1001", "10.00", "Approved", "11/30/25 12:00:00"}));
    QCOMPARE(row(1), (QStringList{"1002", "5.50", "Rejected", "11/30/25 13:00:00"}));
    QCOMPARE(row(2), (QStringList{"1003", "7.25", "Error", "12/01/25 12:00:00"}));
    log->SortBy(1);  // by total
    QCOMPARE(row(0)[0], QString("1002"));
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
