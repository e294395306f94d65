// The Freight page in the main window: the exact columns, " - " cells of a ruled record,
// sorting bands as numbers, cell, tax, enable and rule edits saved in the project file, the
// page's Copy, Paste and Delete through the Edit menu, the three wizard buttons in their
// modes, and Import Freight Tables with its S105 message.
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include "app/CommandRules.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/freight/FreightPage.h"
#include "ui/wizard/StoreWizardDialog.h"

using namespace tolmi;
using test::Child;

namespace {

ui::FreightPage* ShowFreight(test::WindowShop& shop) {
  auto* page = Child<ui::FreightPage>(shop.window.get(), "freightPage");
  shop.window->propertyTabs()->setCurrentWidget(page);
  return page;
}

QString Cell(ui::FreightPage* page, int row, int column) {
  return page->model()->index(row, column).data().toString();
}

int RowOf(ui::FreightPage* page, const QString& name) {
  for (int r = 0; r < page->model()->rowCount(); ++r)
    if (Cell(page, r, 0) == name) return r;
  return -1;
}

// Runs the wizard a button opens; drive answers its pages.
WizardMode RunWizard(ui::FreightPage* page, const char* button,
                     std::function<void(ui::StoreWizardDialog*)> drive) {
  WizardMode mode = WizardMode::NewStore;
  test::WhenModal<ui::StoreWizardDialog>([&](ui::StoreWizardDialog* d) {
    mode = d->wizard().mode();
    drive(d);
  });
  Child<QPushButton>(page, button)->click();
  return mode;
}

void NextOrFinish(ui::StoreWizardDialog* d) {
  auto* next = Child<QPushButton>(d, "wizardNext");
  (next->isEnabled() ? next : Child<QPushButton>(d, "wizardFinish"))->click();
}

}  // namespace

class FreightPageTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void gridSortsEditsAndSaves() {
    test::WindowShop shop;
    StoreProject& project = shop.session.project();
    FreightRegion r;
    r.key = "NZ", r.name = "New Zealand", r.taxRate = "15%";
    r.methods[0].costs[0] = "30.00";
    project.regions.push_back(r);
    r.key = "AU", r.name = "Australia", r.taxRate = "";
    r.methods[0].costs[0] = "7";
    r.methods[0].rule = "x>2k";
    project.regions.push_back(r);
    shop.window->ProjectReplaced();
    shop.window->resize(1120, 700);  // room for every column in the screenshot
    shop.Show();
    ui::FreightPage* page = ShowFreight(shop);
    QAbstractItemModel* model = page->model();
    QStringList headers;
    for (int c = 0; c < model->columnCount(); ++c)
      headers << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"Country", "0.5", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                   "10", "11+ per/unit of weight", "Tax"}));
    auto* method = Child<QComboBox>(page, "freightMethod");
    QCOMPARE(method->itemText(0), QString("Standard Post (3-5 days)"));
    const int au = RowOf(page, "Australia");
    QCOMPARE(Cell(page, au, 1), QString(" - "));
    QCOMPARE(Cell(page, au, 12), QString(" - "));
    QVERIFY(!(model->flags(model->index(au, 3)) & Qt::ItemIsEditable));
    // A header click sorts the band as numbers: 5.95 < 7 < 9.95 < 30.00.
    QHeaderView* header = page->grid()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 4, header->height() / 2));
    const QString us = QString::fromStdString(project.regions[0].name);
    const QString ca = QString::fromStdString(project.regions[1].name);
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row) names << Cell(page, row, 0);
    QCOMPARE(names, QStringList({us, "Australia", ca, "New Zealand"}));
    test::SaveShot(*shop.window, "freight-page");

    // Edits: a band, the tax, the enabled flag, the rule; a comma is refused.
    const int nz = RowOf(page, "New Zealand");
    project.changed = false;
    QVERIFY(model->setData(model->index(nz, 3), "12.50", Qt::EditRole));
    QVERIFY(shop.window->isWindowModified());
    QVERIFY(!model->setData(model->index(nz, 4), "1,50", Qt::EditRole));
    QVERIFY(model->setData(model->index(nz, 13), "10%", Qt::EditRole));
    QVERIFY(model->setData(model->index(nz, 0), Qt::Unchecked, Qt::CheckStateRole));
    page->grid()->setCurrentIndex(model->index(RowOf(page, "Australia"), 1));
    auto* rule = Child<QLineEdit>(page, "freightRule");
    QCOMPARE(rule->text(), QString("x>2k"));
    rule->setText("");
    emit rule->editingFinished();
    QCOMPARE(Cell(page, RowOf(page, "Australia"), 1), QString("7"));

    // Copy New Zealand's table through the Edit menu, paste it into Australia; delete Canada's.
    page->grid()->setFocus();
    page->grid()->setCurrentIndex(model->index(RowOf(page, "New Zealand"), 2));
    QVERIFY(shop.Trigger(kCmdCopy));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("30.00\t\t12.50\t\t\t\t\t\t\t\t\t\t\n"));
    page->grid()->setCurrentIndex(model->index(RowOf(page, "Australia"), 2));
    page->grid()->findChild<QAction*>("freightPaste")->trigger();
    page->grid()->setCurrentIndex(model->index(RowOf(page, ca), 2));
    QVERIFY(shop.Trigger(kCmdDelete));
    QCOMPARE(Cell(page, RowOf(page, ca), 1), QString(""));
    QVERIFY(shop.session.Save().ok());
    const std::string bytes = shop.Bytes(shop.project);
    QVERIFY(bytes.find("$NZ0,30.00,,12.50,,,,,,,,,,10%,|0\n") != std::string::npos);
    QVERIFY(bytes.find("$AU0,30.00,,12.50,,,,,,,,,,,|1\n") != std::string::npos);
    QVERIFY(bytes.find("$CA0,,,,,,,,,,,,,") != std::string::npos);
    QVERIFY(bytes.find("RULE=0,") == std::string::npos);
  }

  void buttonsRunTheWizardModes() {
    test::WindowShop shop;
    shop.Show();
    ui::FreightPage* page = ShowFreight(shop);
    auto* method = Child<QComboBox>(page, "freightMethod");
    method->setCurrentIndex(1);
    emit method->activated(1);
    // Freight set-up: "Set price per order" lands on the method shown.
    QVERIFY(RunWizard(page, "freightWizard", [](ui::StoreWizardDialog* d) {
              for (int guard = 0; guard < 10 && d->isVisible(); ++guard) {
                if (d->wizard().page() == WizardPage::FreightCalculation)
                  Child<QRadioButton>(d, "calculation2")->click();
                if (d->wizard().page() == WizardPage::ChargePerOrder)
                  QTest::keyClicks(Child<QLineEdit>(d, "chargeEdit"), "9.50");
                NextOrFinish(d);
              }
            }) == WizardMode::FreightSetup);
    for (const FreightRegion& r : shop.session.project().regions) {
      QCOMPARE(r.methods[1].costs[0], std::string("9.50"));
      QVERIFY(!r.methods[0].costs[0].empty());  // method 0 untouched
    }
    QCOMPARE(Cell(page, 0, 1), QString("9.50"));
    // Methods: the new name shows in the chooser; Add/Remove Regions: regions only.
    QVERIFY(RunWizard(page, "freightMethods", [](ui::StoreWizardDialog* d) {
              auto* name = Child<QLineEdit>(d, "methodEdit3");
              name->selectAll();
              QTest::keyClicks(name, "Sea Freight");
              NextOrFinish(d);
            }) == WizardMode::MethodsOnly);
    QCOMPARE(method->itemText(2), QString("Sea Freight"));
    QVERIFY(RunWizard(page, "freightRegions", [](ui::StoreWizardDialog* d) {
              d->CancelWizard();
            }) == WizardMode::RegionsOnly);
  }

  void importFreightTables() {
    test::WindowShop shop;
    ui::FreightPage* page = ShowFreight(shop);
    shop.home.Write("other.stp",
                    "FNAME=0,Air\n$NZ0,1,2,3,4,5,6,7,8,9,10,11,12,99,|1\nRULE=0,w>1k\n");
    shop.chooser.answers = {(shop.home / "other.stp").string(), (shop.home / "none.stp").string()};
    QVERIFY(shop.Trigger(kCmdImportFreight));
    QCOMPARE(shop.chooser.asked.at(0).query.title, std::string("Import Freight Tables"));
    QCOMPARE(Child<QComboBox>(page, "freightMethod")->itemText(0), QString("Air"));
    const int nz = RowOf(page, QString::fromStdString(shop.session.project().regions.back().name));
    QCOMPARE(Cell(page, nz, 1), QString(" - "));
    QCOMPARE(Cell(page, 0, 1), QString(""));  // US cleared
    QVERIFY(shop.Trigger(kCmdImportFreight));
    QCOMPARE(shop.prompter.shown.back().text,
             "S105: Unable to read project file '" + (shop.home / "none.stp").string() + "'");
  }
};

QTEST_MAIN(FreightPageTest)
#include "FreightPageTest.moc"
