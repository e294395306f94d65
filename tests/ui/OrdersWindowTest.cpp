// The Orders window: the list and its commands, an invoice and the export as tolmi-cli makes
// them, the template and field editors, a damaged file, downloads from the real tolmi-server;
// the charge dialog (tolmi-server's test gateway, a refused one, a reply after Cancel, no
// gateway) and the transaction log window.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>
#include <atomic>

#include "net/OrderDownload.h"
#include "orders/OrdersFile.h"
#include "orders/OrdersView.h"
#include "payments/TransactionLog.h"
#include "tests/cli/CliRunner.h"
#include "tests/net/NetTestSupport.h"
#include "tests/server/ServerProcess.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/orders/CustomFieldsDialog.h"
#include "ui/orders/InvoiceEditorDialog.h"
#include "ui/orders/OrdersWindow.h"
#include "ui/payments/OrderPayments.h"
#include "ui/templates/TemplateEditor.h"
#include "util/Scramble.h"

using namespace tolmi;
using test::Child;
using test::Texts;
using ui::ChargeDialog;
using ui::OrdersWindow;

namespace {

OrderRecord SampleOrder(const std::string& name, const std::string& customer, int day) {
  OrderRecord r;
  r.name = name;
  r.orderId = "id" + name;
  r.orderDate = 1764979200 + day * 86400;
  AppendField(r, "Name", customer);
  AppendField(r, "Email", customer + "@example.com");
  AppendField(r, "Amount", "12.50");
  AppendField(r, "Freight", "2.00");
  OrderItem& tea = r.items.emplace_back();
  tea.name = "Green Tea", tea.code = "GT-1", tea.option1 = "100 g";
  tea.quantity = 2, tea.unitCents = 525;
  return r;
}

// New Orders [1003, 1002, 1001], a user folder "Wholesale", Trash; saved to the home.
OrdersTree& FillOrders(test::SampleShop& shop) {
  if (!shop.session.LoadOrdersOnce().ok()) qFatal("no orders");
  OrdersTree& tree = shop.session.orders();
  tree.records = {MakeFolder(RecordKind::NewOrders, "New Orders"),
                  MakeFolder(RecordKind::UserFolder, "Wholesale"),
                  MakeFolder(RecordKind::Trash, "Trash")};
  tree.records[0].children = {SampleOrder("1003", "Ann O'Neil", 3), SampleOrder("1002", "Bo", 2),
                              SampleOrder("1001", "Cy", 1)};
  if (!shop.session.SaveOrdersFile().ok()) qFatal("orders not saved");
  return tree;
}

QStringList Column(QTreeWidget* list, int column) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
  return out;
}

QStringList Rows(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

void SelectListRows(QTreeWidget* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

const QString kC101 =
    "Processing Error C101. Connection to payment server failed. If the problem persists, please "
    "contact customer support.\n\n";

QString StatusOf(ChargeDialog* d) {
  return Child<QLabel>(d, "statusLabel")->text();
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
  // The Orders window on the sample orders, the first paid by a Visa card of 07/2028.
  void Open() {
    FillOrders(*this);
    const char* fields[][2] = {{"CardNumber", "4111111111111111"},
                               {"CardholderName", "Ann"},
                               {"CardType", "Visa"},
                               {"CardExpiryMonth", "07"},
                               {"CardExpiryYear", "2028"}};
    for (const auto& f : fields) AppendField(Order(), f[0], f[1]);
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

class OrdersWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    test::PrepareUiTestEnvironment();
    qputenv("TZ", "UTC");
    tzset();
  }

  void listsMarkCutPasteDeleteAndSave() {
    test::SampleShop shop;
    OrdersTree& tree = FillOrders(shop);
    tree.records[0].children[1].priceMark = PriceMark::Differs;
    tree.records[0].children[1].priceNotes = {"line 1 (GT-1): unit price 0.34, catalogue 5.25"};
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    QCOMPARE(window->windowTitle(), QString("Orders[*]"));
    auto* list = Child<QTreeWidget>(window, "ordersList");
    QCOMPARE(Column(list, 1), (QStringList{"1003", "1002", "1001"}));
    QCOMPARE(Column(list, 2)[0], QString("09/12/25 00:00:00"));
    QCOMPARE(Column(list, 4)[0], QString("Pending"));
    // The order whose figures differ from the catalogue: "!" in red, the differences in its tip.
    QCOMPARE(Column(list, 0), (QStringList{"", "!", ""}));
    QCOMPARE(list->topLevelItem(1)->foreground(1).color(), QColor(Qt::red));
    QVERIFY(list->topLevelItem(1)->toolTip(1).contains("unit price 0.34, catalogue 5.25"));

    // Reading an order shows its lines and fields.
    SelectListRows(list, {0});
    QCOMPARE(Column(Child<QTreeWidget>(window, "itemsList"), 1),
             (QStringList{"Green Tea (100 g)", "Freight", kItemSeparatorText, "Tax:", "Cost:"}));
    auto* details = Child<QTableWidget>(window, "detailsPane");
    QCOMPARE(details->item(0, 0)->text() + "=" + details->item(0, 1)->text(),
             QString(" Name=Ann O'Neil"));
    QVERIFY(Child<QPushButton>(window, "status64")->isChecked());
    window->resize(1000, 640);
    QVERIFY(test::SaveShot(*window, "orders-window"));

    SelectListRows(list, {0, 1, 2});
    QVERIFY(!tree.changed);
    window->MarkCommand(kStatusDispatched);
    QCOMPARE(Column(list, 4), (QStringList{"Fulfilled", "Fulfilled", "Fulfilled"}));

    // Cut 1002 from the list, paste it into the user folder: the copy lies in the folder,
    // the cut record in the Trash.
    const std::uint64_t cut = tree.records[0].children[1].uid;
    SelectListRows(list, {1});
    window->CutCommand();
    QCOMPARE(Column(list, 1), (QStringList{"1003", "1001"}));
    window->SelectRecord(tree.records[1].uid);
    window->SetFocusPane(OrdersFocus::Tree);
    window->PasteCommand();
    QCOMPARE(tree.records[1].children.at(0).name, std::string("1002"));
    QCOMPARE(tree.records[2].children.at(0).uid, cut);

    // Delete in the Trash asks; No keeps the order, Yes removes it for good.
    window->SelectRecord(cut);
    shop.prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    window->DeleteCommand();
    QCOMPARE(
        shop.prompter.asked.at(0).text,
        std::string("The selected item(s) will be permanently deleted. Do you wish to proceed?"));
    QCOMPARE(tree.records[2].children.size(), std::size_t(1));
    window->DeleteCommand();
    QCOMPARE(window->selectedUid(), tree.records[2].uid);

    // Closing saves: the file holds the pasted order and not the deleted one.
    window->close();
    QCoreApplication::processEvents();
    OrdersTree reread;
    (void)LoadOrders(shop.home.path().string(), reread);
    QCOMPARE(reread.records[1].children.size(), std::size_t(1));
    QVERIFY(reread.records[2].children.empty());
  }

  void invoiceExportEditorUserFieldsAndItemsMenu() {
    test::SampleShop shop;
    shop.clock.now = std::time(nullptr);  // "%DATE%" alike in the window and the CLI
    FillOrders(shop);
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    QCOMPARE(Texts(window->invoiceMenu()->actions()),
             (QStringList{"Invoice", "Packing Slip", "", "Edit Invoices"}));
    auto* list = Child<QTreeWidget>(window, "ordersList");
    SelectListRows(list, {0});

    // The menu's invoice is the CLI's, byte for byte, and opens in the browser. The open
    // project is locked by the window's session: the CLI reads its own copy.
    QVERIFY(window->SaveOrders());  // the CLI reads the orders file
    window->InvoiceCommand(0);
    const auto invoice = shop.home / "Invoices" / "1003_Invoice.html";
    QVERIFY(shop.launcher.launched.at(0).ends_with("1003_Invoice.html"));
    const auto cliOut = shop.home / "cli.html";
    const auto cliProject = test::CopySample("TeaShop", shop.home / "CliCopy");
    QCOMPARE(cli::Cli(shop.home, {"orders", "invoice", "1003", "--template", "Invoice", "--out",
                                  cliOut.string(), "--project", cliProject.string()})
                 .code,
             0);
    QVERIFY(shop.Bytes(invoice).find("Green Tea (100 g)") != std::string::npos);
    // The invoice date carries the time to the second: the CLI runs a moment later.
    auto dated = [&shop](const std::filesystem::path& path) {
      return QString::fromStdString(shop.Bytes(path))
          .replace(QRegularExpression("Invoice date</th><td>[^<]*</td>"),
                   "Invoice date</th><td></td>");
    };
    QCOMPARE(dated(invoice), dated(cliOut));

    // The window's export of the list's selection equals tolmi-cli orders export.
    SelectListRows(list, {0, 1, 2});
    const auto windowCsv = shop.home / "window.csv", cliCsv = shop.home / "cli.csv";
    shop.chooser.answers.push_back(windowCsv.string());
    window->ExportOrders();
    QCOMPARE(cli::Cli(shop.home, {"orders", "export", cliCsv.string()}).code, 0);
    QVERIFY(shop.Bytes(windowCsv).find("'Ann O''Neil'") != std::string::npos);
    QCOMPARE(shop.Bytes(windowCsv), shop.Bytes(cliCsv));
    SelectListRows(list, {0});

    // The Invoice Editor: New, Rename, Select All and Delete (asked until the first Yes), Load
    // from File, Preview; closing writes back and rebuilds the menu.
    shop.home.Write("import.htm", "<p>%TOTAL%</p>");
    shop.chooser.answers.push_back((shop.home / "import.htm").string());
    shop.prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    test::WhenModal<ui::InvoiceEditorDialog>([&](ui::InvoiceEditorDialog* d) {
      QCOMPARE(d->windowTitle(), QString("Invoice Editor - Setup"));
      auto* templates = Child<QListWidget>(d, "templateList");
      QVERIFY(Child<ui::TemplateEditor>(d, "templateEditor")->toPlainText().contains("%SUBTOTAL%"));
      QVERIFY(test::SaveShot(*d, "invoice-editor"));
      d->NewCommand();
      QCOMPARE(Rows(templates), (QStringList{"Invoice", "Packing Slip", "New Invoice"}));
      d->RenameCommand("Receipt");
      d->SelectAllCommand();
      d->DeleteCommand();
      QCOMPARE(Rows(templates), (QStringList{"Invoice", "Receipt"}));
      d->LoadCommand();
      d->PreviewCommand();
      d->accept();
    });
    window->EditInvoicesCommand();
    QCOMPARE(shop.prompter.asked.size(), std::size_t(2));  // no question after the Yes
    QCOMPARE(shop.prompter.asked[0].text + "|" + shop.prompter.asked[1].title,
             std::string("The Invoice template 'Invoice.html' will be permanently deleted. Do you "
                         "wish to proceed?|Confirmation"));
    QVERIFY(!std::filesystem::exists(shop.home / "template/Invoices/Packing Slip.html"));
    QCOMPARE(shop.Bytes(shop.home / "template/Invoices/Receipt.html"),
             std::string("<p>%TOTAL%</p>"));
    QCOMPARE(shop.Bytes(shop.home / "temp/preview.html"), std::string("<p>12.50</p>"));
    QCOMPARE(Texts(window->invoiceMenu()->actions()),
             (QStringList{"Invoice", "Receipt", "", "Edit Invoices"}));

    // Define User Fields: a name the order has is refused; the field is saved in the
    // configuration, and the details pane shows the default.
    test::WhenModal<ui::CustomFieldsDialog>([&](ui::CustomFieldsDialog* d) {
      QCOMPARE(d->windowTitle(), QString("Custom Order fields setup"));
      auto* title = Child<QLineEdit>(d, "fieldTitleEdit");
      title->setText("Email");
      d->AddCommand();
      title->setText("Gift Note");
      Child<QLineEdit>(d, "defaultValueEdit")->setText("none");
      d->AddCommand();
      QVERIFY(test::SaveShot(*d, "custom-order-fields"));
      d->accept();
    });
    window->DefineUserFieldsCommand();
    QCOMPARE(shop.prompter.shown.at(0).text + "|" + shop.prompter.shown[0].title,
             std::string("A data field with the same name already exists.|Invalid Field"));
    auto* details = Child<QTableWidget>(window, "detailsPane");
    const int last = details->rowCount() - 1;
    QCOMPARE(details->item(last, 0)->text() + "=" + details->item(last, 1)->text(),
             QString(" Gift Note=none"));
    QVERIFY(shop.Bytes(shop.home / "config.ini").find("\nFIELD=Gift Note,none\n") !=
            std::string::npos);

    // The items list's menu: the product-line commands.
    QMenu* menu = window->itemsMenu();
    QCOMPARE(Texts(menu->actions()), (QStringList{"New", "", "Copy", "Cut", "Paste", "Delete", "",
                                                  "Enable", "Disable", "", "Select All"}));
    window->close();
  }

  // A cut-off orders file without a backup: the window says so and opens nothing.
  void damagedOrdersFile() {
    test::SampleShop shop;
    FillOrders(shop);
    const std::string whole = shop.Bytes(shop.home / "orders.ost");
    test::SampleShop other;
    other.home.Write("orders.ost", whole.substr(0, whole.find("*Email=")));
    QVERIFY(!ui::OrdersCommand(other.ctx));
    QCOMPARE(other.prompter.shown.at(0).title, std::string("Error"));
    QVERIFY(
        other.prompter.shown[0].text.starts_with("The orders file 'orders.ost' is incomplete and "
                                                 "there is no 'orders.bak' to read instead;"));
  }

  // Orders from the real server: a wrong password files nothing; a save that fails leaves
  // them on the server; Remember Password; Leave Orders on Server.
  void downloadsFromTheServer() {
    test::SampleShop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    const std::string data = (shop.home / "server.db").string();
    QCOMPARE(test::RunUser(data, {"add", "shop", "--password", "secret word"}), 0);
    test::ServerProcess server;
    QVERIFY(server.Start({"--data", data, "--hash-cost", "min"}));
    auto post = [&](const std::string& name) {
      QCOMPARE(test::PostForm(
                   server.port(), "/",
                   "tolmi_user=shop&Name=" + name + "&Amount=9.00&tolmi_item=2%09Mug%09M1%094.50")
                   .status,
               200);
    };
    for (const char* name : {"Ann", "Bo", "Cy"}) post(name);
    AppConfig& config = shop.session.config();
    config.server = "http://127.0.0.1:" + std::to_string(server.port());
    config.orderUser = "shop";
    config.orderLeave = 0;
    config.orderNumber = 1000;
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    // The Logon window: the password typed, "Remember Password" as asked.
    auto download = [&](const char* password, bool remember) {
      test::WhenModal<QDialog>([password, remember](QDialog* d) {
        QCOMPARE(d->windowTitle(), QString("Logon"));
        QCOMPARE(Child<QLineEdit>(d, "userEdit")->text(), QString("shop"));
        auto* edit = Child<QLineEdit>(d, "passwordEdit");
        if (password)
          edit->setText(password);
        else
          QCOMPARE(edit->text(), QString("secret word"));
        Child<QCheckBox>(d, "rememberCheck")->setChecked(remember);
        d->accept();
      });
      window->DownloadOrders();
      QTRY_VERIFY_WITH_TIMEOUT(!window->downloadBusy(), 15000);
    };
    // Orders the server still holds (asking leaves them there).
    auto held = [&] {
      const std::string body =
          test::Get(server.port(), "/?data=300shop%0Dsecret%20word%0D1%0D").body;
      return int(QString::fromStdString(body).count("#ID="));
    };
    const auto& newOrders = shop.session.orders().records.front().children;
    const std::string configPath = (shop.home / "config.ini").string();
    download("wrong", false);
    QCOMPARE(shop.prompter.shown[0].title, std::string(kDownloadErrorTitle));
    QVERIFY(shop.prompter.shown[0].text.starts_with("Unable to retrieve orders. (Error Code: 5)"));
    QVERIFY(shop.Bytes(configPath).find("o_password=") == std::string::npos);

    // The orders cannot be saved (folders stand where the file and its backup go): they
    // are listed, the write error shows, and the server is not asked to delete them.
    for (const char* name : {"orders.ost", "orders.bak"}) {
      std::filesystem::remove(shop.home / name);
      std::filesystem::create_directories(shop.home / name / "in-the-way");
    }
    download("secret word", false);
    QCOMPARE(shop.prompter.shown.size(), std::size_t(2));
    QCOMPARE(shop.prompter.shown[1].text, std::string(kOrdersWriteError));
    QCOMPARE(newOrders.size(), std::size_t(3));
    QCOMPARE(held(), 3);
    for (const char* name : {"orders.ost", "orders.bak"})
      std::filesystem::remove_all(shop.home / name);

    // Saved, then deleted on the server; received again, they are not filed twice.
    download("secret word", true);
    window->SelectRecord(shop.session.orders().records.front().uid);
    QCOMPARE(Column(Child<QTreeWidget>(window, "ordersList"), 1),
             (QStringList{"1002", "1001", "1000"}));
    OrdersTree reread;
    (void)LoadOrders(shop.home.path().string(), reread);
    QCOMPARE(reread.records.front().children.size(), std::size_t(3));
    QCOMPARE(held(), 0);
    QVERIFY(shop.Bytes(configPath).find("o_password=" + ScrambleText("secret word") + "\n") !=
            std::string::npos);

    // Leave Orders on Server: no delete request; the Logon window offers the remembered
    // password.
    config.orderLeave = 1;
    post("Dee");
    download(nullptr, true);
    QCOMPARE(newOrders.size(), std::size_t(4));
    QCOMPARE(held(), 1);
    QCOMPARE(shop.prompter.shown.size(), std::size_t(2));
    QCOMPARE(server.Stop(), 0);
    window->close();
  }

  void chargeApprovedDeclinedAndNoReply() {
    ChargeShop shop;
    test::ServerProcess server;
    QVERIFY(server.Start({"--data", (shop.home / "server.db").string(), "--hash-cost", "min"}));
    shop.UseGateway("Local Gateway", "http://127.0.0.1:" + std::to_string(server.port()) +
                                         "/gateway?CardNumber=%CardNumber%&Amount=$TOTAL");
    shop.Open();
    ChargeDialog* d = shop.Charge();
    QCOMPARE(d->windowTitle(), QString("Online Transaction Processing - Local Gateway"));
    QCOMPARE(Child<QLineEdit>(d, "amountEdit")->text(), QString("12.50"));
    auto* years = Child<QComboBox>(d, "expiryYearCombo");
    // The clock's year, then the next 15.
    QCOMPARE(years->itemText(0) + "-" + years->itemText(15), QString("2025-2040"));
    QCOMPARE(years->currentText(), QString("2028"));
    QCOMPARE(Child<QComboBox>(d, "expiryMonthCombo")->currentText(), QString("07"));
    QCOMPARE(Child<QComboBox>(d, "cardTypeCombo")->currentText(), QString("Visa"));
    d->Charge();
    QVERIFY(StatusOf(d).startsWith("Working"));
    QVERIFY(!Child<QPushButton>(d, "chargeButton")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Approved"), 15000);
    QVERIFY(Child<QPlainTextEdit>(d, "replyBox")->toPlainText().contains("OK"));
    QVERIFY(!Child<QLineEdit>(d, "amountEdit")->isEnabled());  // until opened again
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
    QVERIFY(test::SaveShot(*d, "charge-rejected"));
    QCOMPARE(FindField(shop.Order(), "CardNumber")->value, std::string("4000000000000002"));
    QCOMPARE(server.Stop(), 0);

    // Nobody answers: C101, the order unchanged and nothing more logged.
    shop.UseGateway("Refused", "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/g");
    d = shop.Charge();
    d->Charge();
    QTRY_COMPARE_WITH_TIMEOUT(StatusOf(d), QString("Error"), 15000);
    QCOMPARE(Child<QPlainTextEdit>(d, "replyBox")->toPlainText(), kC101);
    QCOMPARE(shop.Order().status, std::uint16_t(kStatusRejected));
    QVERIFY(test::SaveShot(*d, "charge-error"));
    QCOMPARE(shop.Log(),
             std::string("1764979200,1003,id1003,1,12.50\n1764979200,1003,id1003,0,12.50\n"));

    // An amount of letters: the message, the dialog stays idle.
    d = shop.Charge();
    Child<QLineEdit>(d, "amountEdit")->setText("abc");
    d->Charge();
    QCOMPARE(d->state(), ChargeDialogState::Idle);
    QCOMPARE(QString::fromStdString(shop.prompter.shown.back().text),
             QString("An amount greater than zero must be specified."));
    shop.window->close();
  }

  void chargeReplyAfterCancelIsAppliedAndLogged() {
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
    QTRY_COMPARE_WITH_TIMEOUT(shop.ListedStatus(), QString("Charged"), 15000);
    QCOMPARE(shop.Log(), std::string("1764979200,1003,id1003,1,12.50\n"));
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
    QCOMPARE(shop.prompter.asked.at(0).title, std::string("Warning"));
    note();
    shop.window->findChild<QAction*>("settingsAction")->trigger();
    QCOMPARE(pages, (QStringList{"gatewayPage", "orderServerPage"}));

    // 30 November and 1 December 2025; 2 December lies outside the range.
    shop.home.Write("Logs/2025/251130.log", "1764504000,1001,,1,10.00\n1764507600,1002,,0,5.50\n");
    shop.home.Write("Logs/2025/251201.log", "1764590400,1003,9,2,7.25\n");
    shop.home.Write("Logs/2025/251202.log", "1764676800,1004,,1,1.00\n");
    shop.window->findChild<QAction*>("transactionLogAction")->trigger();
    auto* log = Child<ui::TransactionLogWindow>(shop.window, "TransactionLogWindow");
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
    QCOMPARE(shop.chooser.asked.back().filter, std::string("Transaction Log (*.log)"));
    QCOMPARE(QString::fromStdString(shop.prompter.shown.back().text),
             QString("Error C100: Unable to load Transaction Log File."));
    QCOMPARE(list->topLevelItemCount(), 3);
    shop.window->close();
  }
};

QTEST_MAIN(OrdersWindowTest)
#include "OrdersWindowTest.moc"
