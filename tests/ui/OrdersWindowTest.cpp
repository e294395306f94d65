// The Orders window on a tree of sample orders: the list rows, reading an order,
// Trash and Cut/Paste flows with the permanent-delete question, Mark as on several
// orders, the export bytes and the save of the closing window.
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

#include "orders/CsvExport.h"
#include "orders/OrdersFile.h"
#include "orders/OrdersView.h"
#include "net/OrderDownload.h"
#include "tests/server/ServerProcess.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/orders/OrdersWindow.h"
#include "util/Dates.h"
#include "util/Paths.h"
#include "util/Scramble.h"
#include "util/Version.h"

using namespace tolmi;
using test::Child;
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
  r.freightCents = 200;
  OrderItem tea;
  tea.name = "Green Tea";
  tea.code = "GT-1";
  tea.option1 = "100 g";
  tea.quantity = 2;
  tea.unitCents = 525;
  r.items.push_back(tea);
  return r;
}

// New Orders [1003 (unread), 1002, 1001], a user folder "Wholesale", Trash.
void FillOrders(OrdersTree& tree) {
  tree.records.clear();
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  tree.records[0].children = {SampleOrder("1003", "Ann O'Neil", 3),
                              SampleOrder("1002", "Bo", 2), SampleOrder("1001", "Cy", 1)};
  tree.records.push_back(MakeFolder(RecordKind::UserFolder, "Wholesale"));
  tree.records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
}

QStringList Column(QTreeWidget* list, int column) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
  return out;
}

void SelectListRows(QTreeWidget* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int row : rows) list->topLevelItem(row)->setSelected(true);
}

}  // namespace

class OrdersWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    test::PrepareUiTestEnvironment();
    qputenv("TZ", "UTC");
    tzset();
  }

  void listsTrashCutPasteMarkAndExport() {
    test::SampleShop shop;
    QVERIFY(shop.session.LoadOrdersOnce().ok());
    OrdersTree& tree = shop.session.orders();
    FillOrders(tree);
    tree.records[0].children[1].priceMark = PriceMark::Differs;
    tree.records[0].children[1].priceNotes = {"line 1 (GT-1): unit price 0.34, catalogue 5.25"};
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QString("Orders[*]"));
    auto* list = Child<QTreeWidget>(window, "ordersList");
    auto* items = Child<QTreeWidget>(window, "itemsList");
    auto* details = Child<QTableWidget>(window, "detailsPane");
    QCOMPARE(window->selectedUid(), tree.records[0].uid);
    QCOMPARE(Column(list, 1), (QStringList{"1003", "1002", "1001"}));
    QCOMPARE(Column(list, 2)[0], QString("09/12/25 00:00:00"));
    QCOMPARE(Column(list, 4), (QStringList{"Pending", "Pending", "Pending"}));
    // The order whose figures differ from the catalogue: "!" in red, the differences in its tip.
    QCOMPARE(Column(list, 0), (QStringList{"", "!", ""}));
    QCOMPARE(list->topLevelItem(1)->foreground(1).color(), QColor(Qt::red));
    QVERIFY(list->topLevelItem(1)->toolTip(1).contains("unit price 0.34, catalogue 5.25"));
    window->resize(900, 500);
    QDir().mkpath(TOLMI_BINARY_DIR "/ui-shots");
    window->grab().save(TOLMI_BINARY_DIR "/ui-shots/orders-price-mark.png");

    // Reading an order turns it pending and shows its lines and fields.
    SelectListRows(list, {0});
    QCOMPARE(tree.records[0].children[0].status, std::uint16_t(kStatusPending));
    QVERIFY(!tree.changed);
    QCOMPARE(Column(items, 1),
             (QStringList{"Green Tea (100 g)", "Freight", kItemSeparatorText, "Tax:", "Cost:"}));
    // The sample store charges tax (TAXD=1): the shown order now carries its "Tax" field.
    QCOMPARE(FindField(tree.records[0].children[0], "Tax")->value, std::string("0.00"));
    QCOMPARE(details->item(0, 0)->text(), QString(" Name"));
    QCOMPARE(details->item(0, 1)->text(), QString("Ann O'Neil"));
    QVERIFY(Child<QPushButton>(window, "status64")->isChecked());

    // Mark three orders Dispatched from the list.
    SelectListRows(list, {0, 1, 2});
    window->MarkCommand(kStatusDispatched);
    QCOMPARE(Column(list, 4), (QStringList{"Fulfilled", "Fulfilled", "Fulfilled"}));
    QVERIFY(tree.changed);

    // The export of the list's selection equals the core's bytes (tolmi-cli's export).
    const std::string csvPath = (shop.home / "out.csv").string();
    shop.chooser.answers.push_back(csvPath);
    window->ExportOrders();
    std::vector<const OrderRecord*> all;
    for (const auto& r : tree.records[0].children) all.push_back(&r);
    const int order = shop.session.config().dateFormat;
    QCOMPARE(shop.Bytes(csvPath),
             ExportOrdersCsv(all, [order](std::time_t t) { return FormatDateLocale(t, order); }));

    // Cut 1002 from the list, paste it into the user folder: the copy lies in the
    // folder, the cut record in the Trash.
    const std::uint64_t cut = tree.records[0].children[1].uid;
    SelectListRows(list, {1});
    window->CutCommand();
    QCOMPARE(Column(list, 1), (QStringList{"1003", "1001"}));
    window->SelectRecord(tree.records[1].uid);
    window->SetFocusPane(OrdersFocus::Tree);
    window->PasteCommand();
    QCOMPARE(tree.records[1].children.size(), std::size_t(1));
    QCOMPARE(tree.records[1].children[0].name, std::string("1002"));
    QCOMPARE(tree.records[2].children[0].uid, cut);

    // Delete in the Trash asks; No keeps the order, Yes removes it for good.
    window->SelectRecord(cut);
    shop.prompter.answers = {PromptAnswer::No};
    window->DeleteCommand();
    QCOMPARE(shop.prompter.asked.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(shop.prompter.asked[0].text),
             QString("The selected item(s) will be permanently deleted. Do you wish to proceed?"));
    QCOMPARE(tree.records[2].children.size(), std::size_t(1));
    shop.prompter.answers = {PromptAnswer::Yes};
    window->DeleteCommand();
    QVERIFY(tree.records[2].children.empty());
    QCOMPARE(window->selectedUid(), tree.records[2].uid);

    // Rename: user folders only.
    window->SelectRecord(tree.records[0].uid);
    window->RenameCommand("Other");
    QCOMPARE(tree.records[0].name, std::string("New Orders"));
    window->SelectRecord(tree.records[1].uid);
    window->RenameCommand("Trade");
    QCOMPARE(tree.records[1].name, std::string("Trade"));

    window->SelectRecord(tree.records[0].uid);
    SelectListRows(list, {0});
    window->resize(1000, 640);
    QVERIFY(test::SaveShot(*window, "orders-window"));

    // Closing saves: the file holds the pasted order and not the deleted one.
    window->close();
    QCoreApplication::processEvents();
    OrdersTree reread;
    (void)LoadOrders(shop.home.path().string(), reread);
    QCOMPARE(reread.records.size(), std::size_t(3));
    QCOMPARE(reread.records[1].name, std::string("Trade"));
    QCOMPARE(reread.records[1].children.size(), std::size_t(1));
    QVERIFY(reread.records[2].children.empty());
  }

  // Three orders from the real server, listed newest first and saved before the server
  // is asked to delete them (a save that fails leaves them on the server); a wrong
  // password shows the download error and files nothing; Remember Password.
  void downloadsFromTheServer() {
    test::SampleShop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    const std::string data = (shop.home / "server.db").string();
    QCOMPARE(test::RunUser(data, {"add", "shop", "--password", "secret word"}), 0);
    test::ServerProcess server;
    QVERIFY(server.Start({"--data", data, "--hash-cost", "min"}));
    for (const char* name : {"Ann", "Bo", "Cy"}) {
      auto reply = test::PostForm(server.port(), "/",
                                  std::string("tolmi_user=shop&Name=") + name +
                                      "&Amount=9.00&tolmi_item=2%09Mug%09M1%094.50");
      QCOMPARE(reply.status, 200);
    }
    AppConfig& config = shop.session.config();
    config.server = "http://127.0.0.1:" + std::to_string(server.port());
    config.orderUser = "shop";
    config.orderLeave = 0;
    config.orderNumber = 1000;
    OrdersWindow* window = ui::OrdersCommand(shop.ctx);
    QVERIFY(window);

    // The Logon window: the password typed, "Remember Password" as asked; the
    // configuration keeps the password (scrambled) only when remembered.
    auto logon = [](const char* password, bool remember) {
      test::WhenModal<QDialog>([password, remember](QDialog* d) {
        QCOMPARE(d->windowTitle(), QString("Logon"));
        QCOMPARE(Child<QLineEdit>(d, "userEdit")->text(), QString("shop"));
        Child<QLineEdit>(d, "passwordEdit")->setText(password);
        Child<QCheckBox>(d, "rememberCheck")->setChecked(remember);
        d->accept();
      });
    };
    auto download = [&](const char* password, bool remember) {
      logon(password, remember);
      window->DownloadOrders();
      QTRY_VERIFY_WITH_TIMEOUT(!window->downloadBusy(), 15000);
    };
    // Orders the server still holds (asking leaves them there).
    auto held = [&] {
      const test::HttpReply r = test::Get(server.port(), "/?data=300shop%0Dsecret%20word%0D1%0D");
      int n = 0;
      for (std::size_t at = r.body.find("#ID="); at != std::string::npos;
           at = r.body.find("#ID=", at + 1))
        ++n;
      return n;
    };
    const std::string configPath = (shop.home / "config.ini").string();
    download("wrong", false);
    QCOMPARE(shop.prompter.shown.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(shop.prompter.shown[0].title), QString(kDownloadErrorTitle));
    QVERIFY(shop.prompter.shown[0].text.rfind("Unable to retrieve orders. (Error Code: 5)", 0) == 0);
    QVERIFY(shop.session.orders().records.front().children.empty());
    QVERIFY(shop.Bytes(configPath).find("o_save=0\n") != std::string::npos);
    QVERIFY(shop.Bytes(configPath).find("o_password=") == std::string::npos);
    QVERIFY(config.orderPassword.empty());

    // The orders cannot be saved (folders stand where the file and its backup go): they
    // are listed, the write error shows, and the server is not asked to delete them.
    const auto ordersFile = shop.home / "orders.ost";
    const auto backupFile = shop.home / "orders.bak";
    for (const auto& path : {ordersFile, backupFile}) {
      std::filesystem::remove(path);
      std::filesystem::create_directories(path / "in-the-way");
    }
    download("secret word", false);
    QCOMPARE(shop.prompter.shown.size(), std::size_t(2));
    QCOMPARE(shop.prompter.shown[1].text, std::string(kOrdersWriteError));
    QCOMPARE(shop.session.orders().records.front().children.size(), std::size_t(3));
    QCOMPARE(held(), 3);
    std::filesystem::remove_all(ordersFile);
    std::filesystem::remove_all(backupFile);

    // Saved, then deleted on the server; received again, they are not filed twice.
    download("secret word", true);
    QCOMPARE(shop.prompter.shown.size(), std::size_t(2));
    auto* list = Child<QTreeWidget>(window, "ordersList");
    window->SelectRecord(shop.session.orders().records.front().uid);
    QCOMPARE(Column(list, 1), (QStringList{"1002", "1001", "1000"}));
    OrdersTree reread;
    (void)LoadOrders(shop.home.path().string(), reread);
    QCOMPARE(reread.records.front().children.size(), std::size_t(3));
    QCOMPARE(config.orderNumber, 1003);
    QCOMPARE(held(), 0);
    QVERIFY(shop.Bytes(configPath).find("o_password=" + ScrambleText("secret word") + "\n") !=
            std::string::npos);

    // A second download files nothing new; the Logon window offers the remembered password.
    test::WhenModal<QDialog>([](QDialog* d) {
      QCOMPARE(Child<QLineEdit>(d, "passwordEdit")->text(), QString("secret word"));
      QVERIFY(Child<QCheckBox>(d, "rememberCheck")->isChecked());
      d->accept();
    });
    window->DownloadOrders();
    QTRY_VERIFY_WITH_TIMEOUT(!window->downloadBusy(), 15000);
    QCOMPARE(shop.session.orders().records.front().children.size(), std::size_t(3));
    QCOMPARE(shop.prompter.shown.size(), std::size_t(2));
    QCOMPARE(server.Stop(), 0);
    window->close();
  }
};

QTEST_MAIN(OrdersWindowTest)
#include "OrdersWindowTest.moc"
