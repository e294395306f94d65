// The store's set-up in the main window's pages: Template, Order Form, Variables and Layout
// (templates written byte for byte, Load, Default, View, the variable check, Copy/Paste/Delete,
// the styles) and Freight (its grid, edits saved, the wizard buttons, Import Freight Tables);
// the Store Wizard window (its pages both ways in every mode, a new store as tolmi-cli wizard
// makes it, the folder question, the tax window's Edit and the accepted cards).
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>
#include <QtTest>

#include "app/CommandRules.h"
#include "builder/Freight.h"
#include "builder/UserVariables.h"
#include "project/WizardPages.h"
#include "schemes/ProjectTemplates.h"
#include "schemes/StyleChoice.h"
#include "schemes/TemplateInstall.h"
#include "tests/cli/CliRunner.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/freight/FreightPage.h"
#include "ui/styles/StylePage.h"
#include "ui/templates/OrderTemplatePage.h"
#include "ui/templates/TemplateEditor.h"
#include "ui/templates/TemplatePage.h"
#include "ui/templates/VariablesPage.h"
#include "ui/widgets/ImagePreview.h"
#include "ui/wizard/StoreWizardDialog.h"
#include "ui/wizard/WizardCommands.h"
#include "util/Files.h"

using namespace tolmi;
namespace fs = std::filesystem;
using test::Child;
using test::Type;
using test::WhenModal;
using test::WindowShop;
using P = WizardPage;

namespace {

template <typename T>
T* Find(WindowShop& shop, const char* name) {
  return test::Child<T>(shop.window.get(), name);
}

void ShowTab(WindowShop& shop, const char* title) {
  QTabWidget* tabs = shop.window->propertyTabs();
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->tabText(i) == QLatin1String(title)) tabs->setCurrentIndex(i);
}

std::string FileBytes(const std::filesystem::path& path) {
  return ReadWholeFile(path.string()).value_or("<missing>");
}

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

void SelectByKey(QListWidget* list, const QStringList& keys) {
  list->clearSelection();
  for (int i = 0; i < list->count(); ++i)
    if (keys.contains(QString::fromUtf8(list->item(i)->data(Qt::UserRole).toByteArray())))
      list->item(i)->setSelected(true);
}

// The answers of tolmi-cli's options in newStoreIsWhatTheCliMakes: text typed into a line
// edit, or (no text) a button clicked.
const struct {
  WizardPage page;
  const char* widget;
  const char* text;
} kAnswers[] = {
    {P::FolderName, "folderNameEdit", "Wine"},
    {P::StoreTitle, "storeTitleEdit", "The Fine Wine Shop"},
    {P::ContactDetails, "contactEdit1", "Ann Lee"},
    {P::ContactDetails, "contactEdit11", "ann@wine.test"},
    {P::MethodNames, "methodEdit1", "Air"},
    {P::FreightCalculation, "calculation2", nullptr},
    {P::ChargePerOrder, "chargeEdit", "9.50"},
    {P::TaxOnOff, "taxOn", nullptr},
    {P::TaxMethod, "productTax", nullptr},
    {P::TaxableRegions, "taxableRateEdit", "10"},
    {P::FreightTaxRate, "freightTaxEdit", "5"},
};

// Answers the open page; style gets the style chosen on the style page.
void AnswerPage(ui::StoreWizardDialog* dialog, StyleRef* style) {
  const WizardPage page = dialog->wizard().page();
  if (page == P::Style) {
    auto* styles = Child<QTreeWidget>(dialog, "styleList");
    styles->setCurrentItem(styles->topLevelItem(0)->child(0));
    QVERIFY(Child<ui::ImagePreview>(dialog, "wizardStylePreview")->HasPicture());
    if (style) *style = *dialog->wizard().state().style;
  } else if (page == P::Cards) {
    SelectByKey(Child<QListWidget>(dialog, "availableCards"), {"Visa", "MasterCard"});
    Child<QPushButton>(dialog, "addCard")->click();
  } else if (page == P::Regions) {
    SelectByKey(Child<QListWidget>(dialog, "availableRegions"), {"AU", "NZ"});
    Child<QPushButton>(dialog, "addRegion")->click();
  } else if (page == P::TaxableRegions) {
    auto* list = Child<QListWidget>(dialog, "taxableRegions");
    for (int i = 0; i < list->count(); ++i)
      if (list->item(i)->data(Qt::UserRole).toByteArray() == "NZ")
        list->item(i)->setCheckState(Qt::Checked);
  }
  for (const auto& a : kAnswers)
    if (a.page == page && a.text)
      Type(dialog, a.widget, a.text);
    else if (a.page == page)
      Child<QAbstractButton>(dialog, a.widget)->click();
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

class StorePagesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }
  void templateEditedLoadedAndWrittenByteForByte() {
    WindowShop shop;
    shop.Show();
    ShowTab(shop, "Template");
    auto* page = Find<ui::TemplatePage>(shop, "templatePage");
    auto* list = Find<QListWidget>(shop, "templateList");
    QCOMPARE(list->item(0)->text(), QStringLiteral("category.htm"));

    const std::filesystem::path dir = shop.project.parent_path() / "template";
    page->ShowTemplate(QStringLiteral("page.htm"));
    ui::TemplateEditor* editor = page->editor();
    QCOMPARE(editor->Bytes(), FileBytes(dir / "page.htm"));  // shown unchanged
    QVERIFY(test::SaveShot(*shop.window, QStringLiteral("template-page")));

    // An edit with Insert at the top, written when another template is chosen.
    editor->moveCursor(QTextCursor::Start);
    QMenu* insert = page->findChild<QPushButton*>("insertButton")->menu();
    QCOMPARE(insert->actions().at(2)->text(), QStringLiteral("&Summary - 2 Products"));
    insert->actions().at(2)->trigger();
    const std::string before = FileBytes(dir / "page.htm");
    list->setCurrentRow(0);
    QCOMPARE(page->shownTemplate(), QStringLiteral("category.htm"));
    QCOMPARE(FileBytes(dir / "page.htm"), "%FILE=html\\summary2.htm%" + before);

    // Load: a file over the limit is refused with its message, a good one replaces the text.
    test::TestHome files;
    files.Write("huge.htm", std::string(kMaxTemplateBytes + 1, 'x'));
    const std::string loaded = "<html>\r\n\xE9t\xE9 $TITLE\r\n</html>\r\n";
    files.Write("mine.htm", loaded);
    shop.chooser.answers = {(files / "huge.htm").string(), (files / "mine.htm").string()};
    const std::string category = editor->Bytes();
    QTest::mouseClick(page->findChild<QPushButton*>("loadButton"), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(shop.prompter.shown.back().text),
             QStringLiteral("The file '%1' is too large for a template (more than 1048576 bytes).")
                 .arg(QString::fromStdString((files / "huge.htm").string())));
    QCOMPARE(editor->Bytes(), category);
    QTest::mouseClick(page->findChild<QPushButton*>("loadButton"), Qt::LeftButton);
    QCOMPARE(shop.chooser.asked.back().title, std::string("Open Template File"));
    QCOMPARE(shop.session.config().ld3, files.path().string());
    // Saving commits the page: the file holds the loaded bytes, line ends and accents kept.
    shop.window->RunCommand(kCmdSave);
    QCOMPARE(FileBytes(dir / "category.htm"), loaded);

    // Edit, Find while the page is shown searches the template, not the node list.
    page->askFindText = [] { return std::optional<QString>(QStringLiteral("nowhere")); };
    shop.window->RunCommand(kCmdFind);
    QCOMPARE(shop.prompter.shown.back().text + shop.prompter.shown.back().title,
             std::string("Cannot find \"nowhere\".Find"));

    // The store opened again shows the template as saved.
    shop.chooser.answers = {shop.project.string()};
    shop.window->RunCommand(kCmdOpenStore);
    page->ShowTemplate(QStringLiteral("category.htm"));
    QCOMPARE(editor->Bytes(), loaded);
    QVERIFY(!editor->document()->isModified());
  }

  void editorColoursHtml() {
    ui::TemplateEditor editor;
    editor.SetBytes("<a href=\"x.htm\">$TITLE %S_BGCOLOR%</a> <!-- note\r\nstill -->text");
    QCoreApplication::processEvents();
    // The colour at a position of a line (block), as the highlighter set it.
    auto colour = [&](int block, int at) {
      const QTextBlock b = editor.document()->findBlockByNumber(block);
      for (const QTextLayout::FormatRange& r : b.layout()->formats())
        if (at >= r.start && at < r.start + r.length) return r.format.foreground().color().name();
      return QString("plain");
    };
    const struct {
      int block, at;
      const char* colour;
    } cases[] = {
        {0, 0, "#1f4e9e"},   // the tag
        {0, 8, "#9c2f1f"},   // its quoted value
        {0, 16, "#7a1f8c"},  // $TITLE
        {0, 23, "#0b6e5f"},  // %S_BGCOLOR%
        {0, 40, "#6b737b"},  // the comment
        {1, 0, "#6b737b"},   // the comment's second line
        {1, 10, "plain"},    // after it
    };
    for (const auto& c : cases) QCOMPARE(colour(c.block, c.at), QString(c.colour));
  }

  void orderFormDefaultViewAndSave() {
    WindowShop shop;
    shop.Show();
    ShowTab(shop, "Order Form");
    auto* editor = Find<ui::TemplateEditor>(shop, "orderFormEditor");
    auto* page = Find<ui::OrderTemplatePage>(shop, "orderFormPage");
    const std::filesystem::path file = shop.project.parent_path() / "template" / "order.htm";
    QCOMPARE(editor->Bytes(), FileBytes(file));

    // Default answered Cancel changes nothing; OK restores the shipped text.
    const std::string shipped = FileBytes(test::SourceDir() / "data/template/order.dat");
    shop.prompter.answers = {PromptAnswer::Cancel};
    QTest::mouseClick(page->findChild<QPushButton*>("defaultButton"), Qt::LeftButton);
    QCOMPARE(shop.prompter.asked.back().text, std::string(kResetTemplateQuestion));
    QVERIFY(shop.prompter.asked.back().buttons == PromptButtons::OkCancel);
    QVERIFY(!shop.window->isWindowModified());
    shop.prompter.answers = {PromptAnswer::Ok};
    QTest::mouseClick(page->findChild<QPushButton*>("defaultButton"), Qt::LeftButton);
    QCOMPARE(editor->Bytes(), shipped);
    QVERIFY(shop.window->isWindowModified());

    // A typed edit reaches the project; View writes it into the preview folder.
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, "<p>Thanks</p>");
    QCOMPARE(shop.session.session().orderTemplate, shipped + "<p>Thanks</p>");
    QTest::mouseClick(page->findChild<QPushButton*>("viewButton"), Qt::LeftButton);
    const std::filesystem::path preview = shop.home / "Temp" / "TeaShop" / "order.htm";
    QVERIFY(shop.launcher.launched.at(0).ends_with(" " + preview.string()));
    QVERIFY(FileBytes(preview).find("<p>Thanks</p>") != std::string::npos);
    QVERIFY(FileBytes(preview).find("$MESSAGE") == std::string::npos);

    shop.window->RunCommand(kCmdSave);
    QCOMPARE(FileBytes(file), shipped + "<p>Thanks</p>");
    QVERIFY(test::SaveShot(*shop.window, QStringLiteral("order-form-page")));
  }

  void variablesCheckedCopiedPastedDeleted() {
    WindowShop shop;
    shop.Show();
    ShowTab(shop, "Variables");
    auto* page = Find<ui::VariablesPage>(shop, "variablesPage");
    QTableWidget* table = page->table();
    const int count = table->rowCount();
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("Leafward Tea Co."));

    // An illegal name: the check's message, nothing changed.
    page->askVariable = [](const QString&, const ui::VariableInput&) {
      return std::optional<ui::VariableInput>({QStringLiteral("$PRI"), QStringLiteral("9")});
    };
    QTest::mouseClick(Find<QPushButton>(shop, "addVariableButton"), Qt::LeftButton);
    QCOMPARE(shop.prompter.shown.back().text,
             std::string("'$PRI' is an illegal variable name.  A variable name must not be, or "
                         "be part of, a name that Tolmi PRO reserves, such as $PRICE or $BODY."));
    QVERIFY(!shop.window->isWindowModified());

    page->askVariable = [](const QString&, const ui::VariableInput&) {
      return std::optional<ui::VariableInput>({QStringLiteral("$SALE"), QStringLiteral("10%")});
    };
    QTest::mouseClick(Find<QPushButton>(shop, "addVariableButton"), Qt::LeftButton);
    QCOMPARE(shop.session.project().variables.back(), (StoreVariable{"$SALE", "10%"}));
    QVERIFY(shop.window->isWindowModified());

    // Edit keeps the row; the list's key copies it, the page's button deletes it, and the
    // Edit menu's Paste, routed to the page, brings it back.
    page->askVariable = [](const QString&, const ui::VariableInput& shown) {
      return std::optional<ui::VariableInput>({shown.name, QStringLiteral("15%")});
    };
    table->selectRow(count);
    page->Edit();
    QCOMPARE(shop.session.project().variables.back().value, std::string("15%"));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("$SALE\t15%\n"));
    QTest::mouseClick(Find<QPushButton>(shop, "deleteVariableButton"), Qt::LeftButton);
    QCOMPARE(table->rowCount(), count);
    table->setFocus();
    shop.window->RunCommand(kCmdPaste);
    QCOMPARE(table->rowCount(), count + 1);
    QCOMPARE(table->item(count, 0)->text(), QStringLiteral("$SALE"));
    QVERIFY(test::SaveShot(*shop.window, QStringLiteral("variables-page")));
  }

  void styleChooserAndEditor() {
    WindowShop shop;
    shop.window->resize(1200, 800);
    shop.Show();
    // A style whose files are missing is not offered, nor its group.
    SchemeList& schemes = shop.session.schemes();
    Scheme gone;
    gone.name = "Gone";
    gone.kind = kSchemeUnavailable;
    schemes.categories.push_back({"Retired", {gone}});
    ShowTab(shop, "Layout");
    auto* page = Find<ui::StylePage>(shop, "layoutPage");
    page->Reload();
    QTreeWidget* tree = page->styleTree();
    QStringList shown;
    for (int g = 0; g < tree->topLevelItemCount(); ++g)
      for (int s = 0; s < tree->topLevelItem(g)->childCount(); ++s)
        shown << tree->topLevelItem(g)->text(0) + "/" + tree->topLevelItem(g)->child(s)->text(0);
    QCOMPARE(shown, QStringList(
                        {"Modern/Harbour", "Modern/Meadow", "Classic/Parchment", "Classic/Slate"}));
    // The store's own style is selected, with its preview; installed styles are read-only.
    QCOMPARE(*page->selectedStyle(), (SchemeIndex{0, 1}));
    QVERIFY(page->preview()->HasPicture());
    QVERIFY(!Find<QPushButton>(shop, "useStyleButton")->isEnabled());
    QCOMPARE(Find<QLabel>(shop, "styleEditNote")->text(), QString(ui::kInstalledStyleNote));
    QVERIFY(test::SaveShot(*shop.window, QStringLiteral("style-chooser")));

    // New: an editable copy; a colour chosen is written to its settings file.
    QTest::mouseClick(Find<QPushButton>(shop, "newStyleButton"), Qt::LeftButton);
    Scheme* mine = schemes.At(*page->selectedStyle());
    QVERIFY(mine && mine->kind == kSchemeUser);
    auto rowOf = [&](const char* name) {
      for (std::size_t i = 0; i < mine->variables.size(); ++i)
        if (mine->variables[i].name == name) return static_cast<int>(i);
      return -1;
    };
    const int colourRow = rowOf("%BGCOLOR%"), border = rowOf("%S_BORDER%");
    page->askColour = [](const QColor&, std::array<std::uint32_t, 16>& custom) {
      custom[0] = 0x00112233;
      return std::optional<QColor>(QColor(255, 0, 10));
    };
    page->EditSetting(colourRow);
    const std::string settings = FileBytes(SchemeSettingsPath(schemes.installDir, *mine));
    QVERIFY(settings.find("%BGCOLOR%,1,4,Background Color:,#FF000A\n") != std::string::npos);
    QVERIFY(settings.find("CLR=33221100") != std::string::npos);

    // A number is typed: anything else is refused with its message and the value kept.
    page->settings()->item(border, 1)->setText(QStringLiteral("2px"));
    QCOMPARE(shop.prompter.shown.back().text, std::string(kStyleValueNotNumber));
    QCOMPARE(page->settings()->item(border, 1)->text(), QStringLiteral("0"));
    page->settings()->item(border, 1)->setText(QStringLiteral("2"));
    QVERIFY(FileBytes(SchemeSettingsPath(schemes.installDir, *mine))
                .find("%S_BORDER%,32,0,Outside Border Width,2\n") != std::string::npos);
    QVERIFY(test::SaveShot(*page, QStringLiteral("style-editor")));

    // Using another style asks first; Yes gives every node its kind's template.
    page->SelectStyle({1, 0});
    shop.prompter.answers = {PromptAnswer::No};
    QTest::mouseClick(Find<QPushButton>(shop, "useStyleButton"), Qt::LeftButton);
    QCOMPARE(shop.session.project().settings.style->name, std::string("Meadow"));
    shop.prompter.answers = {PromptAnswer::Yes};
    QTest::mouseClick(Find<QPushButton>(shop, "useStyleButton"), Qt::LeftButton);
    const std::filesystem::path own = shop.project.parent_path() / "template";
    QCOMPARE(FileBytes(own / "page.htm"),
             FileBytes(test::SourceDir() / "data/template/parchment/page.htm"));
    QCOMPARE(shop.session.session().orderTemplate,
             FileBytes(test::SourceDir() / "data/template/parchment/order.htm"));
    QVERIFY(shop.window->isWindowModified());
  }

  void freightGridSortsEditsAndSaves() {
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
    // A record with a rule shows " - " and takes no edit.
    const int au = RowOf(page, "Australia");
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

  void freightButtonsRunTheWizardModes() {
    test::WindowShop shop;
    shop.Show();
    ui::FreightPage* page = ShowFreight(shop);
    auto* method = Child<QComboBox>(page, "freightMethod");
    method->setCurrentIndex(1);
    emit method->activated(1);
    // Freight set-up: "Set price per order" lands on the method shown.
    QVERIFY(RunWizard(page, "freightWizard", [](ui::StoreWizardDialog* d) {
              AnswerAll(d, nullptr);  // 9.50 per order
            }) == WizardMode::FreightSetup);
    const FreightRegion& us = shop.session.project().regions.at(0);
    QVERIFY(us.methods[1].costs[0] == "9.50" && !us.methods[0].costs[0].empty());
    QCOMPARE(Cell(page, 0, 1), QString("9.50"));
    // Methods: the new name shows in the chooser; Add/Remove Regions: regions only.
    QVERIFY(RunWizard(page, "freightMethods", [](ui::StoreWizardDialog* d) {
              Type(d, "methodEdit3", "Sea Freight");
              AnswerAll(d, nullptr);
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
    QCOMPARE(Child<QComboBox>(page, "freightMethod")->itemText(0), QString("Air"));
    const int nz = RowOf(page, QString::fromStdString(shop.session.project().regions.back().name));
    QCOMPARE(Cell(page, nz, 1), QString(" - "));
    QCOMPARE(Cell(page, 0, 1), QString(""));  // US cleared
    QVERIFY(shop.Trigger(kCmdImportFreight));
    QCOMPARE(shop.prompter.shown.back().text,
             "S105: Unable to read project file '" + (shop.home / "none.stp").string() + "'");
  }

  // Every mode: the pages forward are the core's, each with its heading, and Back walks
  // them in reverse with the answers kept.
  void everyModeBothWaysFollowsTheCore() {
    for (WizardMode mode : {WizardMode::NewStore, WizardMode::FreightSetup, WizardMode::RegionsOnly,
                            WizardMode::MethodsOnly, WizardMode::TaxSetup}) {
      test::SampleShop shop(mode != WizardMode::NewStore);
      StoreWizard wizard(mode, shop.session.project(), shop.session.wizardMemory(), shop.prompter);
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
            QStringLiteral("wizard-mode%1-page-%2").arg(int(mode)).arg(int(wizard.page()))));
        if (!next->isEnabled()) break;
      }
      QVERIFY(wizard.Pages() == forward);
      QVERIFY(Child<QPushButton>(&dialog, "wizardFinish")->isEnabled());
      std::vector<WizardPage> backward{wizard.page()};
      while (Child<QPushButton>(&dialog, "wizardBack")->isEnabled()) {
        Child<QPushButton>(&dialog, "wizardBack")->click();
        backward.push_back(wizard.page());
      }
      std::reverse(backward.begin(), backward.end());
      QVERIFY(backward == forward);
      if (mode == WizardMode::NewStore)
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
      QCOMPARE(fresh.prompter.asked.at(0).text + fresh.prompter.asked[0].title,
               std::string(kProjectExistsQuestion) + "Confirmation");
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
    QVERIFY(fresh.session.Save().ok());
    const fs::path made = fresh.home / "Projects" / "Wine" / "Wine.stp";
    QCOMPARE(QString::fromStdString(fresh.session.session().path),
             QString::fromStdString(made.string()));

    // The same answers as tolmi-cli's options.
    std::vector<std::string> args;
    for (const QString& arg :
         QString("wizard|Wine|--title|The Fine Wine Shop|--name|Ann Lee|--email|ann@wine.test|"
                 "--cards|Visa,MasterCard|--method1|Air|--regions|AU,NZ|--calculation|order|"
                 "--charge|9.50|--tax|on|--tax-method|product|--taxable-regions|NZ|--tax-rate|"
                 "10|--freight-tax|5")
             .split('|'))
      args.push_back(arg.toStdString());
    args.insert(args.end(), {"--style", style.group + "/" + style.name});
    test::TestHome cliHome;
    cli::CliRun run = cli::Cli(cliHome, args);
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

QTEST_MAIN(StorePagesTest)
#include "StorePagesTest.moc"
