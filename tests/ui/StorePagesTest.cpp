// The Template, Order Form, Confirmation, Variables and Layout pages on the sample
// store: templates written byte for byte, Load refusing what is no template, Default
// answered Cancel and OK, View opening the preview, the variable check's message,
// the page's own Copy, Paste and Delete, and the style chooser and editor.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeWidget>
#include <QtTest>

#include "builder/UserVariables.h"
#include "schemes/ProjectTemplates.h"
#include "schemes/StyleChoice.h"
#include "schemes/TemplateInstall.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/styles/StylePage.h"
#include "ui/templates/OrderTemplatePage.h"
#include "ui/templates/TemplateEditor.h"
#include "ui/templates/TemplatePage.h"
#include "ui/templates/VariablesPage.h"
#include "ui/widgets/ImagePreview.h"
#include "util/Files.h"

using namespace tolmi;
using test::WindowShop;

namespace {

template <typename T>
T* Find(WindowShop& shop, const char* name) {
  auto* widget = shop.window->findChild<T*>(QLatin1String(name));
  if (!widget) qFatal("no %s", name);
  return widget;
}

void ShowTab(WindowShop& shop, const char* title) {
  QTabWidget* tabs = shop.window->propertyTabs();
  for (int i = 0; i < tabs->count(); ++i)
    if (tabs->tabText(i) == QLatin1String(title)) tabs->setCurrentIndex(i);
}

std::string FileBytes(const std::filesystem::path& path) {
  return ReadWholeFile(path.string()).value_or("<missing>");
}

}  // namespace

class StorePagesTest : public QObject {
  Q_OBJECT

 private slots:
  void templateEditedLoadedAndWrittenByteForByte() {
    WindowShop shop;
    shop.Show();
    ShowTab(shop, "Template");
    auto* page = Find<ui::TemplatePage>(shop, "templatePage");
    auto* list = Find<QListWidget>(shop, "templateList");
    QStringList names;
    for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
    QCOMPARE(names, QStringList({"category.htm", "list.htm", "page.htm", "product.htm",
                                 "search.htm", "shelf.htm"}));

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
    QCOMPARE(shop.chooser.asked.back().query.title, std::string("Open Template File"));
    QCOMPARE(shop.session.config().ld3, files.path().string());
    // Saving commits the page: the file holds the loaded bytes, line ends and accents kept.
    shop.window->RunCommand(kCmdSave);
    QCOMPARE(FileBytes(dir / "category.htm"), loaded);

    // Edit, Find while the page is shown searches the template, not the node list.
    page->askFindText = [] { return std::optional<QString>(QStringLiteral("nowhere")); };
    shop.window->RunCommand(kCmdFind);
    QCOMPARE(shop.prompter.shown.back().text, std::string("Cannot find \"nowhere\"."));
    QCOMPARE(shop.prompter.shown.back().title, std::string("Find"));

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
    QCOMPARE(shop.prompter.asked.back().title, std::string("Confirmation"));
    QVERIFY(shop.prompter.asked.back().buttons == PromptButtons::OkCancel);
    QVERIFY(!shop.window->isWindowModified());
    QCOMPARE(FileBytes(file), editor->Bytes());
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
    QCOMPARE(shop.launcher.launched.size(), std::size_t(1));
    QVERIFY(shop.launcher.launched[0].ends_with(" " + preview.string()));
    QVERIFY(FileBytes(preview).find("<p>Thanks</p>") != std::string::npos);
    QVERIFY(FileBytes(preview).find("$MESSAGE") == std::string::npos);

    shop.window->RunCommand(kCmdSave);
    QCOMPARE(FileBytes(file), shipped + "<p>Thanks</p>");
    QVERIFY(!shop.window->isWindowModified());
    QVERIFY(test::SaveShot(*shop.window, QStringLiteral("order-form-page")));
  }

  void variablesCheckedCopiedPastedDeleted() {
    WindowShop shop;
    shop.Show();
    ShowTab(shop, "Variables");
    auto* page = Find<ui::VariablesPage>(shop, "variablesPage");
    QTableWidget* table = page->table();
    const int count = table->rowCount();
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("$COMPANY"));
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("Leafward Tea Co."));

    // An illegal name: the check's message, nothing changed.
    page->askVariable = [](const QString&, const ui::VariableInput&) {
      return std::optional<ui::VariableInput>({QStringLiteral("$PRI"), QStringLiteral("9")});
    };
    QTest::mouseClick(Find<QPushButton>(shop, "addVariableButton"), Qt::LeftButton);
    QCOMPARE(shop.prompter.shown.back().text,
             std::string("'$PRI' is an illegal variable name.  A variable name must not be, or "
                         "be part of, a name that Tolmi PRO reserves, such as $PRICE or $BODY."));
    QCOMPARE(table->rowCount(), count);
    QVERIFY(!shop.window->isWindowModified());

    page->askVariable = [](const QString&, const ui::VariableInput&) {
      return std::optional<ui::VariableInput>({QStringLiteral("$SALE"), QStringLiteral("10%")});
    };
    QTest::mouseClick(Find<QPushButton>(shop, "addVariableButton"), Qt::LeftButton);
    QCOMPARE(table->rowCount(), count + 1);
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
    QVERIFY(Find<QLabel>(shop, "styleEditNote")->isHidden());
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
    QCOMPARE(page->settings()->item(colourRow, 1)->text(), QStringLiteral("#FF000A"));
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
    QCOMPARE(shop.session.project().settings.style->name, std::string("Parchment"));
    const std::filesystem::path own = shop.project.parent_path() / "template";
    QCOMPARE(FileBytes(own / "page.htm"),
             FileBytes(test::SourceDir() / "data/template/parchment/page.htm"));
    QCOMPARE(shop.session.session().orderTemplate,
             FileBytes(test::SourceDir() / "data/template/parchment/order.htm"));
    QVERIFY(shop.window->isWindowModified());
  }
};

QTEST_MAIN(StorePagesTest)
#include "StorePagesTest.moc"
