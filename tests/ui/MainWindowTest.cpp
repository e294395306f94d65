// The main window: its actions against the core's rules, the changed mark, quitting, Preview,
// the node page of each kind, the picture preview, the start; and the glue between Qt and the
// core (prompt texts, the core's event loop run from Qt's, the pump hook).
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QToolBar>
#include <QtTest>

#include "app/CommandRules.h"
#include "net/EventLoop.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/AppMain.h"
#include "ui/CommandActions.h"
#include "ui/EventLoopBridge.h"
#include "ui/NodePage.h"
#include "ui/ProjectTreeModel.h"
#include "ui/QtPrompter.h"
#include "ui/build/BuildStoreDialog.h"
#include "ui/widgets/ImagePreview.h"
#include "util/PumpMessages.h"

using namespace tolmi;
using test::WindowShop;
namespace fs = std::filesystem;

namespace {

// Every action of every menu has the label and state the rules give for the window's state.
void CheckParity(WindowShop& shop, const char* scenario) {
  shop.window->ApplyCommandStates();
  const CommandState state = shop.window->CurrentCommandState();
  const std::set<int> bar = EnabledMenuCommands(state), checked = CheckedMenuCommands(state);
  const std::set<int> tree = EnabledTreePopupCommands(state),
                      list = EnabledListPopupCommands(state);
  int seen = 0;
  for (const MenuEntry& entry : MenuEntries()) {
    if (entry.id == 0) continue;
    const bool inTree = entry.menu == MenuId::TreePopup || entry.menu == MenuId::TreePopupNew;
    const bool inList = entry.menu == MenuId::ListPopup || entry.menu == MenuId::ListPopupNew;
    const QString name = QStringLiteral("%1%2")
                             .arg(inTree   ? "treeAction"
                                  : inList ? "listAction"
                                           : "action")
                             .arg(entry.id);
    QAction* action = shop.Action(name);
    if (!action) QFAIL(qPrintable(QStringLiteral("%1: no action %2").arg(scenario, name)));
    QCOMPARE(action->text(), QString::fromUtf8(entry.label));
    const bool expected = (inTree ? tree : inList ? list : bar).count(entry.id) != 0;
    if (action->isEnabled() != expected)
      QFAIL(qPrintable(
          QStringLiteral("%1: %2 enabled %3").arg(scenario, name).arg(action->isEnabled())));
    if (entry.checkable) QCOMPARE(action->isChecked(), checked.count(entry.id) != 0);
    ++seen;
  }
  QVERIFY(seen > 60);
  // The pop-ups' "&Store" entry is there only without a project path.
  QCOMPARE(shop.Action(QStringLiteral("treeAction288"))->isVisible(), !state.hasProjectPath);
}

QLineEdit* Line(WindowShop& shop, const char* name) {
  return test::Child<QLineEdit>(shop.window.get(), name);
}

// Records which windows the start actions open.
std::vector<std::string> StartActions(ui::MainWindow& w) {
  auto log = std::make_shared<std::vector<std::string>>();
  w.hooks.preferences = [log](bool server) {
    log->push_back(server ? "preferences:server" : "preferences");
  };
  w.hooks.newStore = [log] { log->push_back("new store"); };
  w.hooks.help = [log] { log->push_back("help"); };
  w.hooks.loadProject = [log](const std::string& path) { log->push_back("load " + path); };
  w.hooks.buildStore = [log](bool modal) { log->push_back(modal ? "build:modal" : "build"); };
  w.RunStartActions();
  return *log;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  // The actions follow the rules for the window's state (with and without a project), and
  // the state is the window's own: focus, the clipboards, the changed mark.
  void actionStatesFollowTheRules() {
    WindowShop none(false);
    none.Show();
    none.window->treeView()->setFocus();
    CheckParity(none, "no project");
    QVERIFY(!none.Action(kCmdSave)->isEnabled() && none.Action(kCmdOpenStore)->isEnabled());
    QVERIFY(test::SaveShot(*none.window, QStringLiteral("main-window-no-project")));

    QGuiApplication::clipboard()->clear();
    WindowShop shop;
    shop.Show();
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Shelf));
    shop.window->treeView()->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(shop.window->CurrentCommandState().currentKind, NodeKind::Shelf);
    QVERIFY(!shop.Action(kCmdNewCategory)->isEnabled() && shop.Action(kCmdNewProduct)->isEnabled());
    QVERIFY(!shop.Action(kCmdPaste)->isEnabled());
    QTest::keyClick(shop.window->treeView(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY(shop.Action(kCmdPaste)->isEnabled());
    CheckParity(shop, "shelf copied");
    // In a text field Paste takes the system clipboard's text.
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Product));
    Line(shop, "titleEdit")->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(shop.window->CurrentFocus(), UiFocus::TextField);
    QVERIFY(!shop.Action(kCmdPaste)->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("Oolong"));
    QVERIFY(shop.Action(kCmdPaste)->isEnabled());
  }

  // The title's changed mark goes with Save; Quit answered No leaves the file as it was.
  void changedMarkSaveAndQuitWithoutSaving() {
    WindowShop none(false);
    QCOMPARE(none.window->windowTitle(), QStringLiteral("Tolmi PRO - [*]"));
    WindowShop shop;
    shop.Show();
    QCOMPARE(shop.window->windowTitle(), QStringLiteral("Tolmi PRO - TeaShop[*]"));
    QVERIFY(!shop.window->isWindowModified() && !shop.Action(kCmdSave)->isEnabled());
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Page));
    shop.window->RunCommand(kCmdTreeDisable);
    QVERIFY(shop.window->isWindowModified());
    QVERIFY(shop.Trigger(kCmdSave));
    QVERIFY(!shop.window->isWindowModified());

    const std::string before = shop.Bytes(shop.project);
    shop.window->RunCommand(kCmdTreeEnable);
    shop.prompter.answers = {PromptAnswer::No};
    QVERIFY(shop.Trigger(kCmdQuit));
    QCOMPARE(shop.prompter.asked.size(), std::size_t{1});
    QCOMPARE(shop.prompter.asked[0].text + shop.prompter.asked[0].title,
             std::string(kSaveChangesQuestion) + kSaveChangesTitle);
    QVERIFY(!shop.window->isVisible());
    QCOMPARE(shop.Bytes(shop.project), before);
    QVERIFY(fs::exists(shop.home / "config.ini"));  // the configuration is written at exit
  }

  void buildAndOrdersNeedAnOrderServer() {
    WindowShop shop;  // a fresh home has no order server
    shop.Show();
    std::vector<std::string> opened;
    shop.window->hooks.buildStore = [&](bool) { opened.push_back("build"); };
    shop.window->hooks.orders = [&] { opened.push_back("orders"); };
    shop.window->hooks.preferences = [&](bool page) {
      opened.push_back(page ? "server" : "prefs");
    };
    shop.prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    QVERIFY(shop.Trigger(kCmdBuildStore));
    QVERIFY(shop.Trigger(kCmdOrders));
    QCOMPARE(shop.prompter.asked.size(), std::size_t{2});
    QCOMPARE(shop.prompter.asked[0].text + shop.prompter.asked[0].title,
             std::string(kNoOrderServerQuestion) + "Configuration Error");
    QCOMPARE(opened, std::vector<std::string>{"server"});  // neither window opened
    shop.session.config().server = "http://127.0.0.1:1/orders";
    QVERIFY(shop.Trigger(kCmdBuildStore));
    QCOMPARE(opened.back(), std::string("build"));
    QCOMPARE(shop.prompter.asked.size(), std::size_t{2});
  }

  // Preview commits the open page first, builds the page into the preview folder and opens
  // it; an open Build Store window gets the preview's messages and builds as before after.
  void previewCommitsThePageAndReportsToTheOpenBuildLog() {
    WindowShop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    shop.session.config().server = "http://127.0.0.1:1/orders";
    shop.Show();
    QVERIFY(shop.Trigger(kCmdBuildStore));
    auto* build = test::Child<ui::BuildStoreDialog>(shop.window.get(), "BuildStoreDialog");
    StoreNode* product = shop.Node("Sencha Yabukita");
    shop.window->SelectNode(product);
    ui::NodePage* page = shop.window->nodePage();
    page->findChild<QPlainTextEdit*>("bodyEdit")->setPlainText("Picked in the first flush.");
    page->findChild<QLineEdit*>("imageEdit")->setText("pics/not-there.gif");
    QVERIFY(shop.Trigger(kCmdPreview));
    QCOMPARE(product->body, std::string("Picked in the first flush."));
    const fs::path folder = shop.home / "Temp" / "TeaShop";
    QVERIFY(shop.launcher.launched.at(0).ends_with(" " + (folder / "ftmp.htm").string()));
    QVERIFY(shop.Bytes(folder / product->file).find("Picked in the first flush.") !=
            std::string::npos);
    const QStringList lines = build->LogLines();
    QVERIFY2(lines.size() == 2 && lines[1].startsWith("warning: ") &&
                 lines[1].contains("unable to read image file") &&
                 lines[1].contains("not-there.gif"),
             qPrintable(lines.join('\n')));
    build->findChild<QLineEdit*>("buildDirEdit")
        ->setText(QString::fromStdString((shop.home / "web").string()));
    build->findChild<QPushButton*>("buildButton")->click();
    QVERIFY(build->LogLines().contains(lines[1]));
    QVERIFY(build->LogLines().last().startsWith("Store Build Complete. (0 errors, 1 warnings)"));
    build->close();
  }

  void nodePageFieldsFollowTheKind() {
    WindowShop shop;
    shop.Show();
    const struct {
      NodeKind kind;
      bool inside, code, page, fileEditable, body;
    } rows[] = {
        {NodeKind::Category, false, false, true, true, true},
        {NodeKind::Product, false, true, true, true, true},
        {NodeKind::Product, true, true, false, false, true},
        {NodeKind::Page, false, false, true, true, true},
        {NodeKind::Link, false, false, false, true, false},
    };
    auto shown = [&](const char* name) {
      return !test::Child<QWidget>(shop.window.get(), name)->isHidden();
    };
    for (const auto& r : rows) {
      shop.window->SelectNode(shop.NodeOfKind(r.kind, r.inside));
      QCOMPARE(shown("codeEdit"), r.code);
      QCOMPARE(shown("pageEdit"), r.page);
      QCOMPARE(shown("bodyEdit"), r.body);
      if (r.kind != NodeKind::Link) QCOMPARE(!Line(shop, "fileEdit")->isReadOnly(), r.fileEditable);
      shop.window->treeView()->expandAll();
      QCoreApplication::processEvents();
      QVERIFY(test::SaveShot(
          *shop.window, QStringLiteral("main-window-kind%1-%2").arg(int(r.kind)).arg(r.inside)));
    }
    // An item of a shelf shows the shelf's file.
    StoreNode* item = shop.NodeOfKind(NodeKind::Product, true);
    shop.window->SelectNode(item);
    QCOMPARE(Line(shop, "fileEdit")->text().toStdString(), item->parent->file);
  }

  // Texts are shown decoded and applied back in the encoding they were read in; an apply
  // marks the project and relabels the tree row without resetting the model.
  void nodePageAppliesOnLeavingAField() {
    WindowShop shop;
    shop.Show();
    StoreNode* product = shop.NodeOfKind(NodeKind::Product);
    shop.window->SelectNode(product);
    QSignalSpy resets(shop.window->treeModel(), &QAbstractItemModel::modelReset);
    emit Line(shop, "costEdit")->editingFinished();
    QVERIFY(!shop.session.project().changed);  // nothing edited

    Line(shop, "costEdit")->setText(QStringLiteral("9.95"));
    Line(shop, "titleEdit")->setText(QStringLiteral("Sencha Caf\u00e9"));
    Line(shop, "imageEdit")->setText(QStringLiteral("images\\tea.png"));
    shop.window->findChild<QPlainTextEdit*>(QStringLiteral("bodyEdit"))
        ->setPlainText(QStringLiteral("one\ntwo"));
    emit Line(shop, "costEdit")->editingFinished();
    QCOMPARE(product->cost, std::string("9.95"));
    QCOMPARE(product->title, std::string("Sencha Caf\xE9"));
    QCOMPARE(product->image, std::string("images/tea.png"));
    QCOMPARE(product->body, std::string("one\r\ntwo"));
    QVERIFY(shop.window->isWindowModified());
    QCOMPARE(resets.count(), 0);
    QCOMPARE(shop.window->treeModel()->data(shop.window->treeModel()->IndexOf(product)).toString(),
             QStringLiteral("Sencha Caf\u00e9"));
    // An edit left unapplied is applied when another node is chosen.
    Line(shop, "codeEdit")->setText(QStringLiteral("GT-999"));
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Page));
    QCOMPARE(product->code, std::string("GT-999"));
  }

  void picturePreviewShowsPicturesOrAClearText() {
    test::TestHome home;
    QImage png(40, 20, QImage::Format_RGB32);
    png.fill(Qt::red);
    QVERIFY(png.save(QString::fromStdString((home / "red.png").string())));
    home.Write("broken.png", "not a picture");
    const QStringList base{QString::fromStdString(home.path().string())};
    ui::ImagePreview preview;
    preview.resize(200, 150);
    const struct {
      QString path, text;  // text: "" when the picture shows
    } cases[] = {
        {"red.png", ""},
        {"", "No picture"},
        {"gone.jpg", "Picture not found:\ngone.jpg"},
        {"broken.png", "Cannot read the picture:\nbroken.png"},
        {"http://shop.example/a.png", "Picture on the web:\nhttp://shop.example/a.png"},
    };
    for (const auto& c : cases) {
      preview.SetImage(c.path, base);
      QCOMPARE(preview.HasPicture(), c.text.isEmpty());
      QCOMPARE(preview.PlaceholderText(), c.text);
    }
    preview.SetImage(QStringLiteral("red.png"), base);
    preview.show();
    QVERIFY(test::SaveShot(preview, QStringLiteral("image-preview")));
  }

  void startActionsInOrder() {
    {  // A fresh home: no order server, so its settings page opens instead of New Store.
      WindowShop shop(false);
      QCOMPARE(StartActions(*shop.window), (std::vector<std::string>{"preferences:server"}));
      shop.session.config().server = "http://127.0.0.1:1/orders";
      QCOMPARE(StartActions(*shop.window), (std::vector<std::string>{"new store"}));
      // A remembered project with help open: load, then help.
      shop.session.config().file = "/nowhere/Shop.stp";
      shop.session.config().help = 1;
      QCOMPARE(StartActions(*shop.window),
               (std::vector<std::string>{"load /nowhere/Shop.stp", "help"}));
    }
    // "-R": the build window opens modal and the window closes after it.
    WindowShop shop;
    shop.session.config().server = "http://127.0.0.1:1/orders";
    shop.session.globals().commandLine = ParseCommandLine(std::vector<std::string>{"-R"});
    shop.Show();
    QCOMPARE(StartActions(*shop.window).back(), std::string("build:modal"));
    QVERIFY(!shop.window->isVisible());
  }

  // The recent project sits just before "&Quit"; the bars follow the view bits; the window
  // size is kept in the home.
  void recentProjectsBarsAndWindowState() {
    WindowShop shop;  // opening the sample put it first in the list
    shop.Show();
    QAction* recent = test::Child<QAction>(shop.window.get(), "action19000");
    QCOMPARE(recent->text(), QStringLiteral("&1 ") + QString::fromStdString(shop.project.string()));
    QVERIFY(!shop.Action(19001));
    const QList<QAction*> file = shop.window->menuBar()->actions().first()->menu()->actions();
    const qsizetype quit = file.indexOf(shop.Action(kCmdQuit));
    QCOMPARE(file.at(quit - 2), recent);

    auto* toolBar = test::Child<QToolBar>(shop.window.get(), "toolBar");
    auto* buttonBar = test::Child<QToolBar>(shop.window.get(), "buttonBar");
    QVERIFY(toolBar->isVisible() && buttonBar->isVisible() &&
            shop.Action(kCmdToolbar)->isChecked());
    QVERIFY(shop.Trigger(kCmdToolbar));
    QVERIFY(!toolBar->isVisible() && !shop.Action(kCmdToolbar)->isChecked());
    QVERIFY(shop.Trigger(kCmdButtons));
    QVERIFY(!buttonBar->isVisible());
    QVERIFY(shop.Trigger(kCmdWorkOffline));
    QCOMPARE(shop.session.config().view, 255 & ~(1 | 2 | 32));

    shop.window->resize(900, 640);
    QVERIFY(shop.window->close());
    ui::MainWindow again(shop.session, shop.prompter, shop.chooser, shop.launcher);
    QCOMPARE(again.size(), QSize(900, 640));
  }

  void promptTextLineBreaks() {
    const std::pair<const char*, QString> cases[] = {{"a\r\nb", "a\nb"},
                                                     {"a\rb\r", "a\nb\n"},
                                                     {"a\nb", "a\nb"},
                                                     {"Gr\xc3\xbcn\r\n", "Gr\u00fcn\n"}};
    for (const auto& [in, out] : cases) QCOMPARE(ui::PromptText(in), out);
  }

  void bridgeRunsTasksAndTimers() {
    EventLoop loop;
    ui::EventLoopBridge bridge(loop);
    int ticks = 0;
    bool posted = false;
    loop.StartTimer(1, 5, [&] { ++ticks; });
    loop.Post([&] { posted = true; });
    bridge.Poke();
    QTRY_VERIFY(posted);
    QTRY_VERIFY(ticks >= 2);
    loop.StopTimer(1);
  }

  void pumpHookRunsCoreLoopAndIsRemoved() {
    EventLoop loop;
    bool ran = false;
    {
      ui::EventLoopBridge bridge(loop);
      loop.Post([&] { ran = true; });
      PumpMessages();
      QVERIFY(ran);
    }
    ran = false;
    loop.Post([&] { ran = true; });
    PumpMessages();  // the hook left with the bridge
    QVERIFY(!ran);
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
