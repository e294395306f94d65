// The Freight page in the main window: the exact columns, " - " cells of a ruled
// record, sorting by name, band and tax, cell, tax, enable and rule edits saved in
// the project file, the page's Copy, Paste and Delete through the Edit menu, the
// three wizard buttons in their modes (the preset on the method shown), and
// Import Freight Tables with its S105 message.
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <fstream>

#include "app/CommandRules.h"
#include "project/ProjectFile.h"
#include "tests/ui/support/MainWindowFixture.h"
#include "ui/freight/FreightPage.h"
#include "ui/wizard/StoreWizardDialog.h"
#include "util/Files.h"

using namespace tolmi;

namespace {

// Runs drive on the next modal window of type T once it shows.
template <typename T>
void WhenModal(std::function<void(T*)> drive) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, drive] {
    if (auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      drive(dialog);
    }
  });
  timer->start();
}

ui::FreightPage* ShowFreight(test::WindowShop& shop) {
  auto* page = shop.window->findChild<ui::FreightPage*>("freightPage");
  if (!page) qFatal("no freight page");
  shop.window->propertyTabs()->setCurrentWidget(page);
  return page;
}

QStringList Column(ui::FreightPage* page, int column) {
  QStringList out;
  for (int r = 0; r < page->model()->rowCount(); ++r)
    out << page->model()->index(r, column).data().toString();
  return out;
}

void ClickHeader(ui::FreightPage* page, int column) {
  QHeaderView* header = page->grid()->horizontalHeader();
  page->grid()->scrollTo(page->model()->index(0, column));
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
}

int RowOf(ui::FreightPage* page, const QString& name) {
  return static_cast<int>(Column(page, 0).indexOf(name));
}

}  // namespace

class FreightPageTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { qputenv("TOLMI_DATA_DIR", TOLMI_SOURCE_DIR "/data"); }

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
    for (int c = 0; c < model->columnCount(); ++c) headers << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"Country", "0.5", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                                   "10", "11+ per/unit of weight", "Tax"}));
    auto* method = page->findChild<QComboBox*>("freightMethod");
    QCOMPARE(method->itemText(0), QString("Standard Post (3-5 days)"));
    const int au_ = RowOf(page, "Australia");
    QCOMPARE(model->index(au_, 1).data().toString(), QString(" - "));
    QCOMPARE(model->index(au_, 12).data().toString(), QString(" - "));
    QVERIFY(!(model->flags(model->index(au_, 3)) & Qt::ItemIsEditable));

    const QString us = QString::fromStdString(project.regions[0].name);
    const QString ca = QString::fromStdString(project.regions[1].name);
    ClickHeader(page, 0);
    QStringList byName{"Australia", ca, "New Zealand", us};
    std::sort(byName.begin(), byName.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    QCOMPARE(Column(page, 0), byName);
    ClickHeader(page, 1);  // as numbers: 5.95 < 7 < 9.95 < 30.00
    QCOMPARE(Column(page, 0), QStringList({us, "Australia", ca, "New Zealand"}));
    ClickHeader(page, 1);
    QCOMPARE(Column(page, 0), QStringList({"New Zealand", ca, "Australia", us}));
    ClickHeader(page, 13);  // tax as text, ties by name
    QCOMPARE(Column(page, 13), QStringList({"", "", "15%", "8.25"}));
    page->grid()->scrollTo(model->index(0, 0));
    test::SaveShot(*shop.window, "freight-page");

    // Edits: a band, the tax, the enabled flag, the rule; a comma is refused.
    const int nzRow = RowOf(page, "New Zealand");
    project.changed = false;
    QVERIFY(model->setData(model->index(nzRow, 3), "12.50", Qt::EditRole));
    QVERIFY(shop.window->isWindowModified());
    QVERIFY(!model->setData(model->index(nzRow, 4), "1,50", Qt::EditRole));
    QVERIFY(model->setData(model->index(nzRow, 13), "10%", Qt::EditRole));
    QVERIFY(model->setData(model->index(nzRow, 0), Qt::Unchecked, Qt::CheckStateRole));
    page->grid()->setCurrentIndex(model->index(RowOf(page, "Australia"), 1));
    auto* rule = page->findChild<QLineEdit*>("freightRule");
    QCOMPARE(rule->text(), QString("x>2k"));
    rule->setText("");
    emit rule->editingFinished();
    QCOMPARE(model->index(RowOf(page, "Australia"), 1).data().toString(), QString("7"));

    // Copy New Zealand's table through the Edit menu, paste it into Australia.
    page->grid()->setFocus();
    page->grid()->setCurrentIndex(model->index(RowOf(page, "New Zealand"), 2));
    QVERIFY(shop.Trigger(kCmdCopy));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("30.00\t\t12.50\t\t\t\t\t\t\t\t\t\t\n"));
    page->grid()->setCurrentIndex(model->index(RowOf(page, "Australia"), 2));
    page->grid()->findChild<QAction*>("freightPaste")->trigger();
    QCOMPARE(model->index(RowOf(page, "Australia"), 3).data().toString(), QString("12.50"));
    page->grid()->setCurrentIndex(model->index(RowOf(page, ca), 2));
    QVERIFY(shop.Trigger(kCmdDelete));
    QCOMPARE(model->index(RowOf(page, ca), 1).data().toString(), QString(""));
    QCOMPARE(project.regions[1].methods[0].costs, (std::array<std::string, 12>{}));

    QVERIFY(shop.session.Save().ok());
    const std::string bytes = ReadWholeFile(shop.project.string()).value_or("");
    QVERIFY(bytes.find("$NZ0,30.00,,12.50,,,,,,,,,,10%,|0\n") != std::string::npos);
    QVERIFY(bytes.find("$AU0,30.00,,12.50,,,,,,,,,,,|1\n") != std::string::npos);
    QVERIFY(bytes.find("RULE=0,") == std::string::npos);
  }

  void buttonsRunTheWizardModes() {
    test::WindowShop shop;
    shop.Show();
    ui::FreightPage* page = ShowFreight(shop);
    auto* method = page->findChild<QComboBox*>("freightMethod");
    method->setCurrentIndex(1);
    emit method->activated(1);

    // Wizard: freight set-up; "Set price per order" lands on the method shown.
    std::vector<WizardPage> pages;
    WhenModal<ui::StoreWizardDialog>([&](ui::StoreWizardDialog* d) {
      QCOMPARE(d->wizard().mode(), WizardMode::FreightSetup);
      for (int guard = 0; guard < 10 && d->isVisible(); ++guard) {
        pages.push_back(d->wizard().page());
        if (d->wizard().page() == WizardPage::FreightCalculation)
          d->findChild<QRadioButton*>("calculation2")->click();
        if (d->wizard().page() == WizardPage::ChargePerOrder)
          QTest::keyClicks(d->findChild<QLineEdit*>("chargeEdit"), "9.50");
        auto* next = d->findChild<QPushButton*>("wizardNext");
        (next->isEnabled() ? next : d->findChild<QPushButton*>("wizardFinish"))->click();
      }
    });
    page->findChild<QPushButton*>("freightWizard")->click();
    QVERIFY(pages.front() == WizardPage::FreightWarning);
    QVERIFY(pages.back() == WizardPage::ChargePerOrder);
    for (const FreightRegion& r : shop.session.project().regions) {
      QCOMPARE(r.methods[1].costs[0], std::string("9.50"));
      QCOMPARE(r.methods[0].costs[0].empty(), false);  // method 0 untouched
    }
    QCOMPARE(page->model()->index(0, 1).data().toString(), QString("9.50"));
    QVERIFY(shop.window->isWindowModified());

    // Methods: the new name shows in the chooser; Add/Remove Regions: regions only.
    WhenModal<ui::StoreWizardDialog>([&](ui::StoreWizardDialog* d) {
      QCOMPARE(d->wizard().mode(), WizardMode::MethodsOnly);
      auto* name = d->findChild<QLineEdit*>("methodEdit3");
      name->selectAll();
      QTest::keyClicks(name, "Sea Freight");
      auto* next = d->findChild<QPushButton*>("wizardNext");
      (next->isEnabled() ? next : d->findChild<QPushButton*>("wizardFinish"))->click();
    });
    page->findChild<QPushButton*>("freightMethods")->click();
    QCOMPARE(method->itemText(2), QString("Sea Freight"));
    WizardMode mode = WizardMode::NewStore;
    WhenModal<ui::StoreWizardDialog>([&](ui::StoreWizardDialog* d) {
      mode = d->wizard().mode();
      d->CancelWizard();
    });
    page->findChild<QPushButton*>("freightRegions")->click();
    QVERIFY(mode == WizardMode::RegionsOnly);
  }

  void importFreightTables() {
    test::WindowShop shop;
    ui::FreightPage* page = ShowFreight(shop);
    const std::filesystem::path other = shop.home / "other.stp";
    std::ofstream(other) << "FNAME=0,Air\n$NZ0,1,2,3,4,5,6,7,8,9,10,11,12,99,|1\nRULE=0,w>1k\n";
    shop.chooser.answers = {other.string(), (shop.home / "none.stp").string()};
    QVERIFY(shop.Trigger(kCmdImportFreight));
    QCOMPARE(shop.chooser.asked.at(0).query.title, std::string("Import Freight Tables"));
    QCOMPARE(page->findChild<QComboBox*>("freightMethod")->itemText(0), QString("Air"));
    const int nz = RowOf(page, QString::fromStdString(shop.session.project().regions.back().name));
    QCOMPARE(page->model()->index(nz, 1).data().toString(), QString(" - "));
    QCOMPARE(page->model()->index(0, 1).data().toString(), QString(""));  // US cleared
    QVERIFY(shop.Trigger(kCmdImportFreight));
    QCOMPARE(shop.prompter.shown.back().text,
             "S105: Unable to read project file '" + (shop.home / "none.stp").string() + "'");
  }
};

QTEST_MAIN(FreightPageTest)
#include "FreightPageTest.moc"
