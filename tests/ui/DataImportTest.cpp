// The Data Import window: a real-world CSV assigned, edited and imported as tolmi-cli import
// does; new settings clear the assignments; Update by code; Cancel; bad data files.
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include "tests/cli/CliRunner.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/import/DataImportWindow.h"

using namespace tolmi;
namespace fs = std::filesystem;
using test::Child;
using test::Texts;
using Window = ui::DataImportWindow;

namespace {

QStringList Headers(Window* w) {
  QStringList out;
  QAbstractItemModel* m = w->records()->model();
  for (int c = 0; c < m->columnCount(); ++c) out << m->headerData(c, Qt::Horizontal).toString();
  return out;
}

// Triggers the header menu entry of a column (a submenu entry as "User Fields/Field 2").
void Assign(Window* w, int column, const QString& entry) {
  std::unique_ptr<QMenu> menu(w->BuildTargetMenu(column));
  const QStringList path = entry.split('/');
  for (QAction* a : menu->actions())
    if (a->text() == path[0] && path.size() == 1)
      a->trigger();
    else if (a->text() == path[0])
      for (QAction* sub : a->menu()->actions())
        if (sub->text() == path[1]) sub->trigger();
}

void Click(Window* w, const char* button) {
  Child<QPushButton>(w, button)->click();
}

// Opens the window on a data file of these bytes and runs drive in it.
Status ImportWith(test::SampleShop& shop, const std::string& bytes,
                  std::function<void(Window*)> drive) {
  shop.home.Write("data.csv", bytes);
  shop.chooser.answers = {(shop.home / "data.csv").string()};
  test::WhenModal<Window>(drive);
  return ui::DataImportCommand(shop.ctx);
}

}  // namespace

class DataImportTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void csvImportIsWhatTheCliMakes() {
    test::SampleShop shop;
    shop.session.editor().Select(shop.Node("Green Tea"));
    std::string finalRecords;
    QVERIFY(
        ImportWith(
            shop, "Code,Name,Price\r\nT-1,\"Green, fine\",12.50\r\n\r\nT-2,Black,\"$1,250.00\"\r\n",
            [&](Window* w) {
              QCOMPARE(w->windowTitle(), QString("Tolmi PRO - Data Import"));
              QStringList labels;
              for (QLabel* l : w->findChildren<QLabel*>()) labels << l->text();
              for (const char* text : {"Field Delimiter:", "Quote Character:",
                                       "Quote Escape Character:", "Decimal Point:"})
                QVERIFY2(labels.contains(text), text);
              QCOMPARE(Child<QLineEdit>(w, "delimiterEdit")->text(), QString(","));
              QCOMPARE(Headers(w), QStringList({"???", "???", "???"}));
              QCOMPARE(w->records()->model()->index(1, 1).data().toString(),
                       QString("Green, fine"));
              // The header menu: every target, the user submenus and Clear; 26 columns take one.
              std::unique_ptr<QMenu> menu(w->BuildTargetMenu(0));
              QCOMPARE(Texts(menu->actions()),
                       QStringList({"Title", "Page Title", "Filename", "Product Code",
                                    "Meta Keywords", "Meta Description", "Image URL", "Image Link",
                                    "Template", "Cost", "Tax", "Weight", "Freight", "Description",
                                    "User Fields", "User Labels", "Clear"}));
              QCOMPARE(menu->actions()[15]->menu()->actions().last()->text(), QString("Label 6"));
              QVERIFY(!w->BuildTargetMenu(26));
              Assign(w, 0, "Product Code");
              Assign(w, 1, "Title");
              Assign(w, 2, "User Fields/Field 2");
              Assign(w, 2, "Clear");
              Assign(w, 2, "Cost");
              QCOMPARE(Headers(w), QStringList({"Product Code", "Title", "Cost"}));
              // The header line goes; the last record's raw line gets one more field.
              w->records()->selectRow(0);
              Click(w, "deleteButton");
              w->records()->setCurrentIndex(w->records()->model()->index(1, 0));
              auto* raw = Child<QLineEdit>(w, "rawLineEdit");
              QCOMPARE(raw->text(), QString("T-2,Black,\"$1,250.00\""));
              raw->end(false);
              QTest::keyClicks(raw, ",extra");
              QCOMPARE(Headers(w), QStringList({"Product Code", "Title", "Cost", "???"}));
              test::SaveShot(*w, "data-import");
              Click(w, "selectAllButton");
              Click(w, "importButton");
              for (const std::string& r : w->session().data.records) finalRecords += r + "\n";
              Click(w, "cancelButton");
            })
            .ok());
    QCOMPARE(shop.chooser.asked.at(0).title, std::string("Open Data File"));
    QCOMPARE(shop.prompter.shown.back().text + "|" + shop.prompter.shown.back().title,
             std::string("2 record(s) have been imported.|Import Complete"));
    QVERIFY(shop.session.Save().ok());

    test::TestHome cliHome;
    const fs::path cliProject = test::CopySample("TeaShop", cliHome / "Projects" / "TeaShop");
    cliHome.Write("stock.csv", finalRecords);
    cli::CliRun run =
        cli::Cli(cliHome, {"import", cliProject.string(), (cliHome / "stock.csv").string(),
                           "--columns", "Product Code,Title,Cost", "--under", "green.html"});
    QVERIFY2(run.code == 0, run.err.c_str());
    const std::string ours = test::WithoutTime(shop.Bytes(shop.project));
    QVERIFY(ours.find("CODE=T-2") != std::string::npos &&
            ours.find("COST=1250.00") != std::string::npos);
    QCOMPARE(ours, test::WithoutTime(shop.Bytes(cliProject)));
  }

  void settingsClearAssignmentsAndUpdateByCode() {
    test::SampleShop shop;
    QVERIFY(ImportWith(shop, "GT-101;12,50;3,5 kg\nGT-999;1;x\n", [&](Window* w) {
              QCOMPARE(Child<QLineEdit>(w, "delimiterEdit")->text(), QString(";"));
              Assign(w, 0, "Product Code");
              // A new decimal point splits again and clears every assignment.
              auto* decimal = Child<QLineEdit>(w, "decimalPointEdit");
              decimal->selectAll();
              QTest::keyClicks(decimal, ",");
              QCOMPARE(Headers(w), QStringList({"???", "???", "???"}));
              w->records()->selectAll();
              Click(w, "importButton");
              Click(w, "updateButton");
              Assign(w, 0, "Product Code");
              Assign(w, 1, "Cost");
              Assign(w, 2, "User Labels/Label 1");
              Click(w, "updateButton");
              w->reject();
            }).ok());
    const std::vector<test::Shown>& shown = shop.prompter.shown;
    QCOMPARE(shown.size(), std::size_t(3));
    QCOMPARE(shown[0].text, std::string("When importing new items, the title must be defined.\r\n"
                                        "To define a title, click on the appropriate column and "
                                        "select \"Title\" from the menu."));
    QCOMPARE(shown[1].text,
             std::string("An update operation requires a Product Code field to be defined."));
    QCOMPARE(shown[2].text + "|" + shown[2].title,
             std::string("1 record(s) have been updated.|Update Complete"));
    StoreNode* sencha = FindNodeByCode(RootNode(shop.session.project()), "GT-101");
    QCOMPARE(sencha->cost + "|" + sencha->labels[0], std::string("12.50|3.5 kg"));
  }

  void cancelStopsAfterTheCurrentRecord() {
    test::SampleShop shop;
    std::string many;
    for (int i = 0; i < 250; ++i) many += "Item " + std::to_string(i) + "\n";
    const std::size_t before = CountNodes(shop.session.project());
    shop.session.editor().Select(RootNode(shop.session.project()));
    QString progressText;
    QVERIFY(ImportWith(shop, many, [&](Window* w) {
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
            }).ok());
    QCOMPARE(progressText, QString("Importing...|100/250 Records imported."));
    QCOMPARE(shop.prompter.shown.back().text, std::string("100 record(s) have been imported."));
    QCOMPARE(CountNodes(shop.session.project()), before + 100);
  }

  // A file that is no text is refused with its message; a folder reads as an empty file.
  void badDataFilesShowWhyAndChangeNothing() {
    test::SampleShop shop;
    shop.home.Write("photo.jpg", std::string("\xFF\xD8\0\0JFIF\n", 9));
    shop.chooser.answers = {(shop.home / "photo.jpg").string()};
    QVERIFY(!ui::DataImportCommand(shop.ctx).ok());  // the window does not open
    QCOMPARE(shop.prompter.shown.back().text + "|" + shop.prompter.shown.back().title,
             std::string("Record 1 of the data file holds a NUL byte: it is not a text file (save "
                         "it as plain text).|Import Error"));
    fs::create_directory(shop.home / "folder");
    shop.chooser.answers = {(shop.home / "folder").string()};
    int rows = -1;
    test::WhenModal<Window>([&](Window* w) {
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
