// The "Tolmi PRO - Data Import" window: a real-world CSV (a header line, quoted
// commas, a currency amount) assigned through the header menu, the header record
// deleted and a raw line edited, imported byte for byte as tolmi-cli import does;
// new settings clear the assignments; Update by code; the exact messages; Cancel
// in "Importing..."; a binary and a missing file.
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

  void binaryAndMissingFiles() {
    test::SampleShop shop;
    shop.chooser.answers = {WriteData(shop, "photo.jpg", std::string("\xFF\xD8\0\0JFIF\n", 9)).string(),
                            (shop.home / "missing.csv").string()};
    QVERIFY(!ui::DataImportCommand(shop.ctx).ok());
    QCOMPARE(shop.prompter.shown.back().text,
             std::string("Record 1 of the data file holds a NUL byte: it is not a text file "
                         "(save it as plain text)."));
    QCOMPARE(shop.prompter.shown.back().title, std::string("Import Error"));
    int rows = -1;
    WhenModal<ui::DataImportWindow>([&](ui::DataImportWindow* w) {
      rows = w->records()->model()->rowCount();
      w->reject();
    });
    QVERIFY(ui::DataImportCommand(shop.ctx).ok());
    QCOMPARE(rows, 0);
    QVERIFY(!shop.session.project().changed);
  }
};

QTEST_MAIN(DataImportTest)
#include "DataImportTest.moc"
