// The "Tolmi PRO - Data Import" window: a real-world CSV (a header line, quoted
// commas, a currency amount) assigned through the header menu, the header record
// deleted and a raw line edited, imported byte for byte as tolmi-cli import does;
// new settings clear the assignments; Update by code; the exact messages; Cancel
// in "Importing..."; a binary file, a line too long, a missing file and a folder;
// a line of 10,000 columns.
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <fstream>

#include "tests/cli/CliRunner.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/import/DataImportWindow.h"

using namespace tolmi;
namespace fs = std::filesystem;
using test::Child;
using test::WhenModal;

namespace {

fs::path WriteData(const test::SampleShop& shop, const std::string& name, const std::string& bytes) {
  const fs::path path = shop.home / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

QStringList Headers(ui::DataImportWindow* w) {
  QStringList out;
  QAbstractItemModel* m = w->records()->model();
  for (int c = 0; c < m->columnCount(); ++c) out << m->headerData(c, Qt::Horizontal).toString();
  return out;
}

// Triggers the header menu entry of a column (a submenu entry as "User Fields/Field 2").
void Assign(ui::DataImportWindow* w, int column, const QString& entry) {
  QMenu* menu = w->BuildTargetMenu(column);
  QVERIFY(menu);
  const QStringList path = entry.split(QLatin1Char('/'));
  for (QAction* a : menu->actions()) {
    if (a->text() != path[0]) continue;
    if (path.size() == 1) a->trigger();
    else
      for (QAction* sub : a->menu()->actions())
        if (sub->text() == path[1]) sub->trigger();
  }
  delete menu;
}

void SelectRows(ui::DataImportWindow* w, std::initializer_list<int> rows) {
  QTableView* list = w->records();
  list->clearSelection();
  for (int row : rows)
    list->selectionModel()->select(list->model()->index(row, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

std::string WithoutTime(std::string bytes) {
  const std::size_t at = bytes.find("TIME=");
  if (at != std::string::npos) bytes.erase(at, bytes.find('\n', at) - at);
  return bytes;
}

}  // namespace

class DataImportTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void csvImportIsWhatTheCliMakes() {
    test::SampleShop shop;
    const fs::path csv = WriteData(shop, "stock.csv",
                                   "Code,Name,Price\r\n"
                                   "T-1,\"Green, fine\",12.50\r\n"
                                   "\r\n"
                                   "T-2,Black,\"$1,250.00\"\r\n");
    shop.chooser.answers = {csv.string()};
    StoreNode* green = nullptr;
    ForEachNode(shop.session.project(), [&](StoreNode& n) { if (n.file == "green.html") green = &n; });
    shop.session.editor().Select(green);
    std::string finalRecords;
    WhenModal<ui::DataImportWindow>([&](ui::DataImportWindow* w) {
      QCOMPARE(w->windowTitle(), QString("Tolmi PRO - Data Import"));
      QStringList labels;
      for (QLabel* l : w->findChildren<QLabel*>()) labels << l->text();
      for (const char* text : {"Field Delimiter:", "Quote Character:", "Quote Escape Character:",
                               "Decimal Point:"})
        QVERIFY2(labels.contains(text), text);
      QCOMPARE(Child<QLineEdit>(w, "delimiterEdit")->text(), QString(","));
      QCOMPARE(Headers(w), QStringList({"???", "???", "???"}));
      QCOMPARE(w->records()->model()->rowCount(), 3);
      QCOMPARE(w->records()->model()->index(1, 1).data().toString(), QString("Green, fine"));

      // The header menu: every target, the user submenus and Clear.
      QMenu* menu = w->BuildTargetMenu(0);
      QStringList entries;
      for (QAction* a : menu->actions()) entries << a->text();
      QCOMPARE(entries, QStringList({"Title", "Page Title", "Filename", "Product Code",
                                     "Meta Keywords", "Meta Description", "Image URL",
                                     "Image Link", "Template", "Cost", "Tax", "Weight", "Freight",
                                     "Description", "User Fields", "User Labels", "Clear"}));
      QCOMPARE(menu->actions()[15]->menu()->actions().last()->text(), QString("Label 6"));
      delete menu;
      QVERIFY(!w->BuildTargetMenu(26));

      Assign(w, 0, "Product Code");
      Assign(w, 1, "Title");
      Assign(w, 2, "User Fields/Field 2");
      Assign(w, 2, "Clear");
      Assign(w, 2, "Cost");
      QCOMPARE(Headers(w), QStringList({"Product Code", "Title", "Cost"}));

      // The header line goes; the last record's raw line gets one more field.
      SelectRows(w, {0});
      Child<QPushButton>(w, "deleteButton")->click();
      QCOMPARE(w->records()->model()->rowCount(), 2);
      w->records()->setCurrentIndex(w->records()->model()->index(1, 0));
      auto* raw = Child<QLineEdit>(w, "rawLineEdit");
      QCOMPARE(raw->text(), QString("T-2,Black,\"$1,250.00\""));
      raw->end(false);
      QTest::keyClicks(raw, ",extra");
      QCOMPARE(Headers(w), QStringList({"Product Code", "Title", "Cost", "???"}));
      QCOMPARE(w->records()->model()->index(1, 3).data().toString(), QString("extra"));
      test::SaveShot(*w, "data-import");

      Child<QPushButton>(w, "selectAllButton")->click();
      Child<QPushButton>(w, "importButton")->click();
      for (const std::string& r : w->session().data.records) finalRecords += r + "\n";
      Child<QPushButton>(w, "cancelButton")->click();
    });
    QVERIFY(ui::DataImportCommand(shop.ctx).ok());
    QCOMPARE(shop.chooser.asked.at(0).query.title, std::string("Open Data File"));
    QCOMPARE(shop.prompter.shown.back().text, std::string("2 record(s) have been imported."));
    QCOMPARE(shop.prompter.shown.back().title, std::string("Import Complete"));
    QVERIFY(shop.session.project().changed);
    QVERIFY(shop.session.Save().ok());

    test::TestHome cliHome;
    const fs::path cliProject = test::CopySample("TeaShop", cliHome / "Projects" / "TeaShop");
    const fs::path cliData = cliHome / "stock.csv";
    std::ofstream(cliData, std::ios::binary) << finalRecords;
    cli::CliRun run = cli::Cli(cliHome, {"import", cliProject.string(), cliData.string(),
                                         "--columns", "Product Code,Title,Cost", "--under",
                                         "green.html"});
    QVERIFY2(run.code == 0, run.err.c_str());
    const std::string ours = WithoutTime(shop.Bytes(shop.project));
    QVERIFY(ours.find("CODE=T-2") != std::string::npos);
    QVERIFY(ours.find("COST=1250.00") != std::string::npos);
    QCOMPARE(ours, WithoutTime(shop.Bytes(cliProject)));
  }

  void settingsClearAssignmentsAndUpdateByCode() {
    test::SampleShop shop;
    shop.chooser.answers = {WriteData(shop, "prices.txt", "GT-101;12,50;3,5 kg\nGT-999;1;x\n").string()};
    WhenModal<ui::DataImportWindow>([&](ui::DataImportWindow* w) {
      QCOMPARE(Child<QLineEdit>(w, "delimiterEdit")->text(), QString(";"));
      Assign(w, 0, "Product Code");
      // A new decimal point splits again and clears every assignment.
      auto* decimal = Child<QLineEdit>(w, "decimalPointEdit");
      decimal->selectAll();
      QTest::keyClicks(decimal, ",");
      QCOMPARE(Headers(w), QStringList({"???", "???", "???"}));
      SelectRows(w, {0, 1});
      Child<QPushButton>(w, "importButton")->click();
      Child<QPushButton>(w, "updateButton")->click();
      Assign(w, 0, "Product Code");
      Assign(w, 1, "Cost");
      Assign(w, 2, "User Labels/Label 1");
      Child<QPushButton>(w, "updateButton")->click();
      w->reject();
    });
    QVERIFY(ui::DataImportCommand(shop.ctx).ok());
    const std::vector<test::Shown>& shown = shop.prompter.shown;
    QCOMPARE(shown.size(), std::size_t(3));
    QCOMPARE(shown[0].text, std::string("When importing new items, the title must be defined.\r\n"
                                        "To define a title, click on the appropriate column and "
                                        "select \"Title\" from the menu."));
    QCOMPARE(shown[0].title, std::string("Import Error"));
    QCOMPARE(shown[1].text,
             std::string("An update operation requires a Product Code field to be defined."));
    QCOMPARE(shown[2].text, std::string("1 record(s) have been updated."));
    QCOMPARE(shown[2].title, std::string("Update Complete"));
    StoreNode* sencha = FindNodeByCode(RootNode(shop.session.project()), "GT-101");
    QVERIFY(sencha);
    QCOMPARE(sencha->cost, std::string("12.50"));
    QCOMPARE(sencha->labels[0], std::string("3.5 kg"));
  }

  void cancelStopsAfterTheCurrentRecord() {
    test::SampleShop shop;
    std::string many;
    for (int i = 0; i < 250; ++i) many += "Item " + std::to_string(i) + "\n";
    shop.chooser.answers = {WriteData(shop, "many.csv", many).string()};
    const std::size_t before = CountNodes(shop.session.project());
    shop.session.editor().Select(RootNode(shop.session.project()));
    QString progressText;
    WhenModal<ui::DataImportWindow>([&](ui::DataImportWindow* w) {
      Assign(w, 0, "Title");
      w->records()->selectAll();
      // The first progress step lets events run: Cancel is clicked there.
      QTimer::singleShot(0, w, [&] {
        auto* progress = w->findChild<ui::ImportProgressWindow*>();
        progressText = progress->windowTitle() + "|" +
                       Child<QLabel>(progress, "importProgressText")->text();
        QVERIFY(!Child<QWidget>(w, "importContent")->isEnabled());
        Child<QPushButton>(progress, "importProgressCancel")->click();
      });
      w->Import();
      QVERIFY(Child<QWidget>(w, "importContent")->isEnabled());
      w->reject();
    });
    QVERIFY(ui::DataImportCommand(shop.ctx).ok());
    QCOMPARE(progressText, QString("Importing...|100/250 Records imported."));
    QCOMPARE(shop.prompter.shown.back().text, std::string("100 record(s) have been imported."));
    QCOMPARE(CountNodes(shop.session.project()), before + 100);
  }

  void badDataFilesShowWhyAndChangeNothing() {
    test::SampleShop shop;
    const std::string binary("\xFF\xD8\0\0JFIF\n", 9);
    const struct {
      const char* name;
      std::string bytes;
      const char* message;  // "" when the window opens with an empty list
    } cases[] = {
        {"photo.jpg", binary,
         "Record 1 of the data file holds a NUL byte: it is not a text file (save it as plain "
         "text)."},
        {"long.csv", "a,b\n" + std::string(40001, 'x') + "\n",
         "Line 2 of the data file is longer than 40000 bytes; nothing was read."},
        {"missing.csv", "", ""},
        {"folder", "", ""},
    };
    fs::create_directory(shop.home / "folder");
    for (const auto& c : cases) {
      const fs::path path = c.bytes.empty() ? shop.home / c.name : WriteData(shop, c.name, c.bytes);
      shop.chooser.answers = {path.string()};
      int rows = -1;
      if (!*c.message)  // the window opens only then
        WhenModal<ui::DataImportWindow>([&](ui::DataImportWindow* w) {
          rows = w->records()->model()->rowCount();
          w->reject();
        });
      const Status opened = ui::DataImportCommand(shop.ctx);
      QCOMPARE(opened.ok(), *c.message == '\0');
      if (*c.message) {
        QCOMPARE(shop.prompter.shown.back().text, std::string(c.message));
        QCOMPARE(shop.prompter.shown.back().title, std::string("Import Error"));
        QCOMPARE(rows, -1);  // no window
      } else {
        QCOMPARE(rows, 0);
      }
    }
    QVERIFY(!shop.session.project().changed);
  }

  void aLineOfTenThousandColumns() {
    test::SampleShop shop;
    std::string wide = "f0";  // 10,000 fields within the 40,000 bytes of a line
    for (int i = 1; i < 9999; ++i) wide += ",x";
    wide += ",f9999";
    shop.chooser.answers = {WriteData(shop, "wide.csv", wide + "\nGreen\n").string()};
    shop.session.editor().Select(RootNode(shop.session.project()));
    const std::size_t before = CountNodes(shop.session.project());
    WhenModal<ui::DataImportWindow>([&](ui::DataImportWindow* w) {
      QAbstractItemModel* m = w->records()->model();
      QCOMPARE(m->columnCount(), 10000);
      QCOMPARE(m->data(m->index(0, 9999)).toString(), QString("f9999"));
      QCOMPARE(m->data(m->index(1, 9999)).toString(), QString());
      // Only the first 26 columns take a target.
      QMenu* last = w->BuildTargetMenu(25);
      QVERIFY(last != nullptr);
      delete last;
      QVERIFY(w->BuildTargetMenu(26) == nullptr);
      Assign(w, 0, "Title");
      w->records()->selectAll();
      w->Import();
      w->reject();
    });
    QVERIFY(ui::DataImportCommand(shop.ctx).ok());
    QCOMPARE(shop.prompter.shown.back().text, std::string("2 record(s) have been imported."));
    QCOMPARE(CountNodes(shop.session.project()), before + 2);
  }
};

QTEST_MAIN(DataImportTest)
#include "DataImportTest.moc"
