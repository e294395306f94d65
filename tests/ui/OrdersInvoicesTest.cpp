// The Orders window's invoices, user fields and items menu, and its bad input: an invoice
// from the menu equals `tolmi-cli orders invoice`, the export `tolmi-cli orders export`; the Invoice Editor's commands with the
// delete question loop; Define User Fields with its check and the CLI's config.ini bytes;
// a damaged orders file; "Leave Orders on Server" against the real tolmi-server.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "app/CustomOrderFields.h"
#include "orders/OrdersFile.h"
#include "tests/cli/CliRunner.h"
#include "tests/server/ServerProcess.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/orders/CustomFieldsDialog.h"
#include "ui/orders/InvoiceEditorDialog.h"
#include "ui/orders/OrdersWindow.h"
#include "ui/templates/TemplateEditor.h"

using namespace tolmi;
using test::Child;
using ui::OrdersWindow;

namespace {

// New Orders [1003 with two lines], Trash, saved to the home's orders file.
void FillAndSave(test::SampleShop& shop) {
  OrdersTree& tree = shop.session.orders();
  tree.records.clear();
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  tree.records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  OrderRecord r;
  r.name = "1003";
  r.orderId = "A-17";
  r.orderDate = 1764979200;
  AppendField(r, "Name", "Ann O'Neil");
  AppendField(r, "Email", "ann@example.com");
  AppendField(r, "Amount", "12.50");
  OrderItem tea;
  tea.name = "Green Tea";
  tea.code = "GT-1";
  tea.option1 = "100 g";
  tea.quantity = 2;
  tea.unitCents = 525;
  r.items.push_back(tea);
  tree.records[0].children.push_back(r);
  QVERIFY(shop.session.SaveOrdersFile().ok());
}

QStringList Texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions) out << a->text();
  return out;
}

QStringList Rows(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

}  // namespace

class OrdersInvoicesTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    test::PrepareUiTestEnvironment();
    qputenv("TZ", "UTC");
    tzset();
  }

  void invoiceMenuEditorUserFieldsAndItemsMenu() {
    test::SampleShop shop;
    shop.clock.now = std::time(nullptr);  // "%DATE%" alike in the window and the CLI
    QVERIFY(shop.session.LoadOrdersOnce().ok());
    FillAndSave(shop);
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    QVERIFY(window);
    QCOMPARE(Texts(window->invoiceMenu()->actions()),
             (QStringList{"Invoice", "Packing Slip", "", "Edit Invoices"}));
    auto* list = Child<QTreeWidget>(window, "ordersList");
    list->topLevelItem(0)->setSelected(true);

    // The menu's invoice is the CLI's, byte for byte, and opens in the browser.
    window->InvoiceCommand(0);
    const auto invoice = shop.home / "Invoices" / "1003_Invoice.html";
    QCOMPARE(shop.launcher.launched.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(shop.launcher.launched[0]).endsWith("1003_Invoice.html"));
    const auto cliOut = shop.home / "cli.html";
    // The open project is locked by the window's session: the CLI reads its own copy.
    const auto cliProject = test::CopySample("TeaShop", shop.home / "CliCopy");
    const cli::CliRun run =
        cli::Cli(shop.home, {"orders", "invoice", "1003", "--template", "Invoice", "--out",
                             cliOut.string(), "--project", cliProject.string()});
    QCOMPARE(run.code, 0);
    QVERIFY(shop.Bytes(invoice).find("Green Tea (100 g)") != std::string::npos);
    // The invoice date carries the time to the second: the CLI runs a moment later.
    auto dated = [&shop](const std::filesystem::path& path) {
      return QString::fromStdString(shop.Bytes(path))
          .replace(QRegularExpression("Invoice date</th><td>[^<]*</td>"), "Invoice date</th><td></td>");
    };
    QVERIFY(dated(invoice).contains("Invoice date</th><td></td>"));
    QCOMPARE(dated(invoice), dated(cliOut));

    // The window's export equals tolmi-cli orders export of the file it saved.
    QVERIFY(window->SaveOrders());
    const auto windowCsv = shop.home / "window.csv";
    shop.chooser.answers.push_back(windowCsv.string());
    window->ExportOrders();
    const auto cliCsv = shop.home / "cli.csv";
    QCOMPARE(cli::Cli(shop.home, {"orders", "export", cliCsv.string()}).code, 0);
    QVERIFY(shop.Bytes(windowCsv).find("'Ann O''Neil','ann@example.com','12.50'") != std::string::npos);
    QCOMPARE(shop.Bytes(windowCsv), shop.Bytes(cliCsv));

    // The Invoice Editor: New, an edit, Rename, Select All and Delete asked until the
    // first Yes, Load from File; closing writes back and rebuilds the menu.
    shop.home.Write("import.htm", "<p>%TOTAL%</p>");
    shop.chooser.answers.push_back((shop.home / "import.htm").string());
    shop.prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    bool drove = false;
    test::WhenModal<ui::InvoiceEditorDialog>([&](ui::InvoiceEditorDialog* d) {
      QCOMPARE(d->windowTitle(), QString("Invoice Editor - Setup"));
      QCOMPARE(Child<QLabel>(d, "templateLabel")->text(), QString(" Template:"));
      auto* templates = Child<QListWidget>(d, "templateList");
      auto* editor = Child<ui::TemplateEditor>(d, "templateEditor");
      QVERIFY(editor->toPlainText().contains("%SUBTOTAL%"));
      QVERIFY(Child<QPushButton>(d, "defaultButton")->isEnabled());
      QVERIFY(test::SaveShot(*d, "invoice-editor"));
      d->NewCommand();
      QCOMPARE(Rows(templates), (QStringList{"Invoice", "Packing Slip", "New Invoice"}));
      QVERIFY(!Child<QPushButton>(d, "defaultButton")->isEnabled());
      QTest::keyClicks(editor, "<b>new</b>");
      d->RenameCommand("Receipt");
      d->RenameCommand("Invoice");  // taken: refused, the name stays
      QCOMPARE(Rows(templates), (QStringList{"Invoice", "Packing Slip", "Receipt"}));
      d->SelectAllCommand();
      d->DeleteCommand();
      QCOMPARE(Rows(templates), (QStringList{"Invoice", "Receipt"}));
      QCOMPARE(d->selected(), std::optional<std::size_t>(1));
      d->LoadCommand();
      d->PreviewCommand();
      drove = true;
      d->accept();
    });
    window->EditInvoicesCommand();
    QVERIFY(drove);
    QCOMPARE(shop.prompter.asked.size(), std::size_t(2));
    QCOMPARE(QString::fromStdString(shop.prompter.asked[0].text),
             QString("The Invoice template 'Invoice.html' will be permanently deleted. Do you "
                     "wish to proceed?"));
    QCOMPARE(QString::fromStdString(shop.prompter.asked[1].title), QString("Confirmation"));
    QVERIFY(!std::filesystem::exists(shop.home / "template/Invoices/Packing Slip.html"));
    QCOMPARE(shop.Bytes(shop.home / "template/Invoices/Receipt.html"),
             std::string("<p>%TOTAL%</p>"));
    QCOMPARE(shop.chooser.asked.back().query.title, std::string("Open Template File"));
    QCOMPARE(shop.chooser.asked.back().query.filter,
             std::string("Template File (*.htm;*.html);;Template File (*.txt);;All Files (*.*)"));
    QCOMPARE(shop.Bytes(shop.home / "temp/preview.html"), std::string("<p>12.50</p>"));
    QCOMPARE(Texts(window->invoiceMenu()->actions()),
             (QStringList{"Invoice", "Receipt", "", "Edit Invoices"}));

    // Define User Fields: a name the order has is refused; the list is saved as the CLI
    // saves it, and the details pane shows the default.
    test::WhenModal<ui::CustomFieldsDialog>([&](ui::CustomFieldsDialog* d) {
      QCOMPARE(d->windowTitle(), QString("Custom Order fields setup"));
      auto* title = Child<QLineEdit>(d, "fieldTitleEdit");
      title->setText("Email");
      d->AddCommand();
      title->setText("Gift Note");
      Child<QLineEdit>(d, "defaultValueEdit")->setText("none");
      d->AddCommand();
      QCOMPARE(Child<QTreeWidget>(d, "fieldList")->topLevelItem(0)->text(1), QString("none"));
      QVERIFY(test::SaveShot(*d, "custom-order-fields"));
      d->accept();
    });
    window->DefineUserFieldsCommand();
    QCOMPARE(shop.prompter.shown.size(), std::size_t(2));
    QCOMPARE(
        QString::fromStdString(shop.prompter.shown[0].text + "|" + shop.prompter.shown[0].title),
        QString("Unable to rename file. An invoice template with the same name may already "
                "exist.|Error"));
    QCOMPARE(
        QString::fromStdString(shop.prompter.shown[1].text + "|" + shop.prompter.shown[1].title),
        QString("A data field with the same name already exists.|Invalid Field"));
    auto* details = Child<QTableWidget>(window, "detailsPane");
    const int last = details->rowCount() - 1;
    QCOMPARE(details->item(last, 0)->text() + "=" + details->item(last, 1)->text(),
             QString(" Gift Note=none"));
    const std::string windowConfig = shop.Bytes(shop.home / "config.ini");
    std::string without = windowConfig;
    const std::size_t at = without.find("FIELD=Gift Note,none\n");
    QVERIFY(at != std::string::npos);
    shop.home.Write("config.ini", without.erase(at, 21));
    QCOMPARE(cli::Cli(shop.home, {"config", "FIELD=Gift Note,none"}).code, 0);
    QCOMPARE(shop.Bytes(shop.home / "config.ini"), windowConfig);

    // The items list's menu: the product-line commands, enabled by the selection.
    QMenu* menu = window->itemsMenu();
    QCOMPARE(Texts(menu->actions()), (QStringList{"New", "", "Copy", "Cut", "Paste", "Delete", "",
                                                  "Enable", "Disable", "", "Select All"}));
    auto* items = Child<QTreeWidget>(window, "itemsList");
    auto action = [menu](const char* text) {
      for (QAction* a : menu->actions())
        if (a->text() == text) return a;
      qFatal("no menu entry %s", text);
      return static_cast<QAction*>(nullptr);
    };
    auto popup = [&] {
      emit items->customContextMenuRequested(QPoint(4, 4));
      menu->hide();
    };
    popup();
    QVERIFY(action("New")->isEnabled());
    QVERIFY(!action("Copy")->isEnabled());
    QVERIFY(!action("Paste")->isEnabled());
    items->topLevelItem(0)->setSelected(true);
    popup();
    QVERIFY(action("Disable")->isEnabled());
    action("Disable")->trigger();
    items->topLevelItem(0)->setSelected(true);
    action("Copy")->trigger();
    popup();
    QVERIFY(action("Paste")->isEnabled());
    action("Paste")->trigger();
    const OrderRecord& order = shop.session.orders().records[0].children[0];
    QCOMPARE(order.items.size(), std::size_t(2));
    QVERIFY(order.items[0].disabled && order.items[1].disabled);
    window->close();
  }

  // A cut-off orders file with its backup opens the backup's orders and keeps the damaged
  // file aside; without a backup the window says so, opens nothing and the file is kept.
  void damagedOrdersFile() {
    test::SampleShop shop;
    FillAndSave(shop);
    const std::string whole = shop.Bytes(shop.home / "orders.ost");
    const std::string cut = whole.substr(0, whole.find("*Email="));
    test::SampleShop other;
    other.home.Write("orders.ost", cut);

    OrdersWindow* window = ui::OrdersCommand(other.ctx);
    QVERIFY(!window);
    QCOMPARE(other.prompter.shown.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(other.prompter.shown[0].title), QString("Error"));
    QVERIFY(QString::fromStdString(other.prompter.shown[0].text)
                .startsWith("The orders file 'orders.ost' is incomplete and there is no "
                            "'orders.bak' to read instead;"));
    QCOMPARE(other.Bytes(other.home / "orders.ost.damaged"), cut);

    test::SampleShop backed;
    backed.home.Write("orders.ost", cut);
    backed.home.Write("orders.bak", whole);
    window = ui::OrdersCommand(backed.ctx);
    QVERIFY(window);
    QVERIFY(backed.prompter.shown.empty());
    QCOMPARE(Child<QTreeWidget>(window, "ordersList")->topLevelItem(0)->text(1), QString("1003"));
    QCOMPARE(backed.Bytes(backed.home / "orders.ost.damaged"), cut);
    window->close();
  }

  // With "Leave Orders on Server" the window sends no delete request: the server still
  // holds both orders, and the next download asks only for orders after the last one.
  void leaveOrdersOnServer() {
    test::SampleShop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    const std::string data = (shop.home / "server.db").string();
    QCOMPARE(test::RunUser(data, {"add", "shop", "--password", "pw"}), 0);
    test::ServerProcess server;
    QVERIFY(server.Start({"--data", data, "--hash-cost", "min"}));
    auto post = [&](const char* name) {
      QCOMPARE(test::PostForm(server.port(), "/",
                              std::string("tolmi_user=shop&Name=") + name +
                                  "&Amount=9.00&tolmi_item=1%09Mug%09M1%099.00")
                   .status,
               200);
    };
    post("Ann");
    post("Bo");
    AppConfig& config = shop.session.config();
    config.server = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    config.orderUser = "shop";
    config.orderPassword = "pw";
    config.orderSave = 1;
    config.orderLeave = 1;
    config.orderNumber = 1000;
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    QVERIFY(window);
    auto download = [&] {
      test::WhenModal<QDialog>([](QDialog* d) { d->accept(); });
      window->DownloadOrders();
      QTRY_VERIFY_WITH_TIMEOUT(!window->downloadBusy(), 15000);
    };
    download();
    const auto& newOrders = shop.session.orders().records.front().children;
    QCOMPARE(newOrders.size(), std::size_t(2));
    auto held = [&] {
      const test::HttpReply r = test::Get(server.port(), "/?data=300shop%0Dpw%0D1%0D");
      int n = 0;
      for (std::size_t at = r.body.find("#ID="); at != std::string::npos;
           at = r.body.find("#ID=", at + 1))
        ++n;
      return n;
    };
    QCOMPARE(held(), 2);
    OrdersTree saved;
    (void)LoadOrders(shop.home.path().string(), saved);
    QCOMPARE(saved.records.front().children.size(), std::size_t(2));

    post("Cy");
    download();
    QCOMPARE(newOrders.size(), std::size_t(3));
    QCOMPARE(FindField(newOrders[0], "Name")->value, std::string("Cy"));
    QCOMPARE(held(), 3);
    QVERIFY(shop.prompter.shown.empty());
    QCOMPARE(server.Stop(), 0);
    window->close();
  }
};

QTEST_MAIN(OrdersInvoicesTest)
#include "OrdersInvoicesTest.moc"
