// The Store Wizard window against the core: the page order both ways in every
// mode, a new store byte for byte as tolmi-cli wizard makes it, the folder question, the tax
// window's Edit and the accepted cards, with a screenshot of every page.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include "builder/Freight.h"
#include "project/WizardPages.h"
#include "tests/cli/CliRunner.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/widgets/ImagePreview.h"
#include "ui/wizard/StoreWizardDialog.h"
#include "ui/wizard/WizardCommands.h"

using namespace tolmi;
namespace fs = std::filesystem;

using test::Child;
using test::WhenModal;
using P = WizardPage;

namespace {

void Type(QWidget* dialog, const char* name, const QString& text) {
  auto* edit = Child<QLineEdit>(dialog, name);
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

void SelectByKey(QListWidget* list, const QStringList& keys) {
  list->clearSelection();
  for (int i = 0; i < list->count(); ++i)
    if (keys.contains(QString::fromUtf8(list->item(i)->data(Qt::UserRole).toByteArray())))
      list->item(i)->setSelected(true);
}

// Answers the open page as the CLI's options of SameAnswersAsCli do; returns the
// style chosen on the style page.
void AnswerPage(ui::StoreWizardDialog* dialog, StyleRef* style) {
  switch (dialog->wizard().page()) {
    case P::FolderName:
      Type(dialog, "folderNameEdit", "Wine");
      break;
    case P::StoreTitle:
      Type(dialog, "storeTitleEdit", "The Fine Wine Shop");
      break;
    case P::Style: {
      auto* styles = Child<QTreeWidget>(dialog, "styleList");
      QTreeWidgetItem* first = styles->topLevelItem(0)->child(0);
      styles->setCurrentItem(first);
      QVERIFY(Child<ui::ImagePreview>(dialog, "wizardStylePreview")->HasPicture());
      if (style) *style = *dialog->wizard().state().style;
      break;
    }
    case P::ContactDetails:
      Type(dialog, "contactEdit1", "Ann Lee");
      Type(dialog, "contactEdit11", "ann@wine.test");
      break;
    case P::Cards:
      SelectByKey(Child<QListWidget>(dialog, "availableCards"), {"Visa", "MasterCard"});
      Child<QPushButton>(dialog, "addCard")->click();
      break;
    case P::MethodNames:
      Type(dialog, "methodEdit1", "Air");
      break;
    case P::Regions:
      SelectByKey(Child<QListWidget>(dialog, "availableRegions"), {"AU", "NZ"});
      Child<QPushButton>(dialog, "addRegion")->click();
      break;
    case P::FreightCalculation:
      Child<QRadioButton>(dialog, "calculation2")->click();
      break;
    case P::ChargePerOrder:
      Type(dialog, "chargeEdit", "9.50");
      break;
    case P::TaxOnOff:
      Child<QRadioButton>(dialog, "taxOn")->click();
      break;
    case P::TaxMethod:
      Child<QRadioButton>(dialog, "productTax")->click();
      break;
    case P::TaxableRegions: {
      auto* list = Child<QListWidget>(dialog, "taxableRegions");
      for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toByteArray() == "NZ")
          list->item(i)->setCheckState(Qt::Checked);
      Type(dialog, "taxableRateEdit", "10");
      break;
    }
    case P::FreightTaxRate:
      Type(dialog, "freightTaxEdit", "5");
      break;
    default:
      break;
  }
}

// Answers and leaves every page with Next (Finish on the last), recording the pages.
std::vector<WizardPage> AnswerAll(ui::StoreWizardDialog* dialog, StyleRef* style) {
  std::vector<WizardPage> seen;
  for (int guard = 0; guard < 40 && dialog->isVisible(); ++guard) {
    const WizardPage page = dialog->wizard().page();
    seen.push_back(page);
    AnswerPage(dialog, style);
    auto* next = Child<QPushButton>(dialog, "wizardNext");
    auto* finish = Child<QPushButton>(dialog, "wizardFinish");
    if (next->isEnabled() == finish->isEnabled())
      qFatal("Next and Finish both %d", next->isEnabled());
    (next->isEnabled() ? next : finish)->click();
  }
  return seen;
}

}  // namespace

class StoreWizardTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  // Every mode: the pages forward are the core's, each with its heading, and Back walks
  // them in reverse with the answers kept.
  void everyModeBothWaysFollowsTheCore() {
    const struct {
      WizardMode mode;
      std::vector<WizardPage> pages;  // empty: the new store's (the core's own list)
    } cases[] = {
        {WizardMode::NewStore, {}},
        {WizardMode::FreightSetup,
         {P::FreightWarning, P::MethodNames, P::Regions, P::FreightCalculation, P::ChargePerOrder}},
        {WizardMode::RegionsOnly, {P::Regions}},
        {WizardMode::MethodsOnly, {P::MethodNames}},
        {WizardMode::TaxSetup, {P::TaxOnOff, P::TaxMethod, P::TaxableRegions, P::FreightTaxRate}},
    };
    for (const auto& c : cases) {
      test::SampleShop shop(c.mode != WizardMode::NewStore);
      StoreWizard wizard(c.mode, shop.session.project(), shop.session.wizardMemory(),
                         shop.prompter);
      ui::StoreWizardDialog dialog(wizard, shop.session.schemes(), shop.session.globals().domains,
                                   shop.session.globals().cards, {});
      dialog.show();
      std::vector<WizardPage> forward;
      for (auto* next = Child<QPushButton>(&dialog, "wizardNext");; next->click()) {
        forward.push_back(wizard.page());
        QCOMPARE(Child<QLabel>(&dialog, "wizardHeading")->text(),
                 QString::fromUtf8(WizardPageHeading(wizard.page())));
        AnswerPage(&dialog, nullptr);
        QVERIFY(test::SaveShot(
            dialog,
            QStringLiteral("wizard-mode%1-page-%2").arg(int(c.mode)).arg(int(wizard.page()))));
        if (!next->isEnabled()) break;
      }
      QVERIFY(wizard.Pages() == forward);
      QVERIFY(c.pages.empty() ? forward.back() == P::Final : forward == c.pages);
      QVERIFY(Child<QPushButton>(&dialog, "wizardFinish")->isEnabled());
      std::vector<WizardPage> backward{wizard.page()};
      while (Child<QPushButton>(&dialog, "wizardBack")->isEnabled()) {
        Child<QPushButton>(&dialog, "wizardBack")->click();
        backward.push_back(wizard.page());
      }
      std::reverse(backward.begin(), backward.end());
      QVERIFY(backward == forward);
      if (c.mode == WizardMode::NewStore)
        QCOMPARE(Child<QLineEdit>(&dialog, "folderNameEdit")->text(), QString("Wine"));
      dialog.CancelWizard();
      QVERIFY(wizard.cancelled() && dialog.outcome() == WizardStep::Cancelled);
    }
  }

  void anExistingFolderAsksToLoadIt() {
    const struct {
      PromptAnswer answer;
      WizardPage after;  // the page shown after Next, or the folder page when the wizard ended
      bool loaded, ended;
    } cases[] = {
        {PromptAnswer::Yes, P::FolderName, true, true},
        {PromptAnswer::No, P::StoreTitle, false, false},
        {PromptAnswer::Cancel, P::FolderName, false, true},
    };
    for (const auto& c : cases) {
      test::SampleShop fresh(false);
      const fs::path existing = test::CopySample("TeaShop", fresh.home / "Projects" / "TeaShop");
      fresh.prompter.answers = {c.answer};
      bool ended = true;
      WizardPage after = P::Welcome;
      WhenModal<ui::StoreWizardDialog>([&](ui::StoreWizardDialog* dialog) {
        Child<QPushButton>(dialog, "wizardNext")->click();
        Type(dialog, "folderNameEdit", "TeaShop");
        Child<QPushButton>(dialog, "wizardNext")->click();
        ended = !dialog->isVisible();
        after = dialog->wizard().page();
        if (!ended) dialog->CancelWizard();
      });
      (void)ui::NewStoreCommand(fresh.ctx);
      QCOMPARE(fresh.prompter.asked.at(0).text, std::string(kProjectExistsQuestion));
      QCOMPARE(fresh.prompter.asked.at(0).title, std::string("Confirmation"));
      QCOMPARE(ended, c.ended);
      QVERIFY(after == c.after);
      QCOMPARE(fresh.session.session().path == existing.string(), c.loaded);
    }
  }

  void newStoreIsWhatTheCliMakes() {
    test::SampleShop fresh(false);
    StyleRef style;
    std::vector<WizardPage> seen;
    WhenModal<ui::StoreWizardDialog>(
        [&](ui::StoreWizardDialog* dialog) { seen = AnswerAll(dialog, &style); });
    QVERIFY(ui::NewStoreCommand(fresh.ctx).ok());
    QVERIFY(seen.back() == P::Final);
    QVERIFY(fresh.session.project().changed);
    QVERIFY(fresh.session.Save().ok());
    const fs::path made = fresh.home / "Projects" / "Wine" / "Wine.stp";
    QCOMPARE(QString::fromStdString(fresh.session.session().path),
             QString::fromStdString(made.string()));

    test::TestHome cliHome;
    cli::CliRun run = cli::Cli(cliHome, {"wizard",
                                         "Wine",
                                         "--title",
                                         "The Fine Wine Shop",
                                         "--style",
                                         style.group + "/" + style.name,
                                         "--name",
                                         "Ann Lee",
                                         "--email",
                                         "ann@wine.test",
                                         "--cards",
                                         "Visa,MasterCard",
                                         "--method1",
                                         "Air",
                                         "--regions",
                                         "AU,NZ",
                                         "--calculation",
                                         "order",
                                         "--charge",
                                         "9.50",
                                         "--tax",
                                         "on",
                                         "--tax-method",
                                         "product",
                                         "--taxable-regions",
                                         "NZ",
                                         "--tax-rate",
                                         "10",
                                         "--freight-tax",
                                         "5"});
    QVERIFY2(run.code == 0, run.err.c_str());
    // The save time is the only line that may differ (the window's clock is fixed).
    const std::string ours = test::WithoutTime(ReadWholeFile(made.string()).value_or(""));
    const std::string theirs = test::WithoutTime(
        ReadWholeFile((cliHome / "Projects" / "Wine" / "Wine.stp").string()).value_or("x"));
    QVERIFY(ours.find("STITLE=The Fine Wine Shop\n") != std::string::npos);
    QCOMPARE(ours, theirs);
  }

  void taxOptionsEditRunsTheTaxPages() {
    test::SampleShop shop;
    shop.session.project().settings.taxOn = false;
    WhenModal<QDialog>([](QDialog* taxWindow) {
      QCOMPARE(taxWindow->windowTitle(), QString("Tax Options"));
      WhenModal<ui::StoreWizardDialog>([](ui::StoreWizardDialog* dialog) {
        QVERIFY(dialog->wizard().mode() == WizardMode::TaxSetup);
        Child<QRadioButton>(dialog, "taxOn")->click();
        Child<QPushButton>(dialog, "wizardNext")->click();
        Child<QRadioButton>(dialog, "regionTax")->click();
        Child<QPushButton>(dialog, "wizardNext")->click();
        QVERIFY(dialog->wizard().page() == P::RegionalTaxRate);
        Type(dialog, "regionRateEdit", "12.5");
        Child<QPushButton>(dialog, "wizardNext")->click();
        Type(dialog, "freightTaxEdit", "3");
        Child<QPushButton>(dialog, "wizardFinish")->click();
      });
      Child<QPushButton>(taxWindow, "taxEdit")->click();
      QVERIFY(Child<QLabel>(taxWindow, "taxSummary")->text().startsWith("3%Region based"));
      QVERIFY(test::SaveShot(*taxWindow, "tax-options"));
      taxWindow->reject();
    });
    ui::TaxOptionsCommand(shop.ctx);
    const StoreSettings& s = shop.session.project().settings;
    QVERIFY(s.taxOn);
    QVERIFY(s.taxMethod == 1);
    QCOMPARE(QString::fromStdString(s.freightTax), QString("3"));
    for (const FreightRegion& region : shop.session.project().regions)
      QCOMPARE(QString::fromStdString(region.taxRate), QString("12.5"));
  }

  void acceptedCardsAddedAndRemoved() {
    test::SampleShop shop;
    StoreProject& project = shop.session.project();
    project.cards.clear();
    project.changed = false;
    WhenModal<QDialog>([](QDialog* window) {
      QCOMPARE(window->windowTitle(), QString("Accepted Credit Cards"));
      auto* available = Child<QListWidget>(window, "availableCards");
      QCOMPARE(available->count(), 8);
      SelectByKey(available, {"Visa", "American Express"});
      Child<QPushButton>(window, "addCard")->click();
      QCOMPARE(available->count(), 6);
      Type(window, "otherCardEdit", "Store Card");
      Child<QPushButton>(window, "addOtherCard")->click();
      SelectByKey(Child<QListWidget>(window, "acceptedCards"), {"Visa"});
      Child<QPushButton>(window, "removeCard")->click();
      QCOMPARE(available->count(), 7);
      QVERIFY(test::SaveShot(*window, "accepted-cards"));
      window->reject();
    });
    ui::CreditCardsCommand(shop.ctx);
    QVERIFY(project.cards ==
            (std::vector<AcceptedCard>{{"American Express", 1}, {"Store Card", 1}}));
    QVERIFY(project.changed);
  }
};

QTEST_MAIN(StoreWizardTest)
#include "StoreWizardTest.moc"
