// The main window as a whole: every action's state against the core's rules over
// a matrix of states, the title and its changed mark, quitting without saving,
// the backups of repeated saves, and screenshots with each node kind selected.
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QtTest>
#include <functional>

#include "app/CommandRules.h"
#include "project/Lifecycle.h"
#include "tests/ui/support/MainWindowFixture.h"
#include "ui/CommandActions.h"
#include "ui/NodePage.h"
#include "ui/ProjectTreeModel.h"
#include "util/Files.h"

using namespace tolmi;
using test::WindowShop;
namespace fs = std::filesystem;

namespace {

const char* PrefixOf(MenuId menu) {
  switch (menu) {
    case MenuId::TreePopup:
    case MenuId::TreePopupNew: return "treeAction";
    case MenuId::ListPopup:
    case MenuId::ListPopupNew: return "listAction";
    default: return "action";
  }
}

const std::set<int>& RulesFor(MenuId menu, const std::set<int>& bar, const std::set<int>& tree,
                              const std::set<int>& list) {
  switch (menu) {
    case MenuId::TreePopup:
    case MenuId::TreePopupNew: return tree;
    case MenuId::ListPopup:
    case MenuId::ListPopupNew: return list;
    default: return bar;
  }
}

// Every action of every menu has the state the rules give for the window's state.
void CheckParity(WindowShop& shop, const char* scenario) {
  shop.window->ApplyCommandStates();
  const CommandState state = shop.window->CurrentCommandState();
  const std::set<int> bar = EnabledMenuCommands(state);
  const std::set<int> tree = EnabledTreePopupCommands(state);
  const std::set<int> list = EnabledListPopupCommands(state);
  const std::set<int> checked = CheckedMenuCommands(state);
  int seen = 0;
  for (const MenuEntry& entry : MenuEntries()) {
    if (entry.id == 0) continue;
    const QString name = QStringLiteral("%1%2").arg(QLatin1String(PrefixOf(entry.menu))).arg(entry.id);
    QAction* action = shop.Action(name);
    if (!action) QFAIL(qPrintable(QStringLiteral("%1: no action %2").arg(scenario, name)));
    QCOMPARE(action->text(), QString::fromUtf8(entry.label));
    const bool expected = RulesFor(entry.menu, bar, tree, list).count(entry.id) != 0;
    if (action->isEnabled() != expected)
      QFAIL(qPrintable(QStringLiteral("%1: %2 enabled %3").arg(scenario, name).arg(action->isEnabled())));
    if (entry.checkable) QCOMPARE(action->isChecked(), checked.count(entry.id) != 0);
    ++seen;
  }
  QVERIFY(seen > 60);
  // The pop-ups' "&Store" entry is there only without a project path.
  QCOMPARE(shop.Action(QStringLiteral("treeAction288"))->isVisible(), !state.hasProjectPath);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void actionStatesFollowTheRules() {
    struct Scenario {
      const char* name;
      bool sample;
      std::function<void(WindowShop&)> setup;
      std::function<void(const CommandState&)> check;
    };
    auto selectKind = [](NodeKind kind, bool inside = false) {
      return [kind, inside](WindowShop& s) {
        s.window->SelectNode(s.NodeOfKind(kind, inside));
        s.window->treeView()->setFocus();
      };
    };
    const std::vector<Scenario> scenarios = {
        {"no project", false, [](WindowShop& s) { s.window->treeView()->setFocus(); },
         [](const CommandState& st) {
           QVERIFY(!st.hasProjectPath);
           QVERIFY(!st.hasCurrentNode);
         }},
        {"category, clipboard empty", true, selectKind(NodeKind::Category),
         [](const CommandState& st) {
           QCOMPARE(st.currentKind, NodeKind::Category);
           QCOMPARE(st.focus, UiFocus::Tree);
           QVERIFY(!st.clipboardHasNodes);
         }},
        {"product, clipboard full", true,
         [](WindowShop& s) {
           s.window->SelectNode(s.NodeOfKind(NodeKind::Product));
           s.window->treeView()->setFocus();
           s.window->HandleTreeKey(ui::TreeKey::Copy);
         },
         [](const CommandState& st) {
           QCOMPARE(st.currentKind, NodeKind::Product);
           QVERIFY(st.clipboardHasNodes);
         }},
        {"shelf", true, selectKind(NodeKind::Shelf),
         [](const CommandState& st) { QCOMPARE(st.currentKind, NodeKind::Shelf); }},
        {"product in a shelf", true, selectKind(NodeKind::Product, true),
         [](const CommandState& st) { QVERIFY(st.parentKind.has_value()); }},
        {"list", true, selectKind(NodeKind::List),
         [](const CommandState& st) { QCOMPARE(st.currentKind, NodeKind::List); }},
        {"link", true, selectKind(NodeKind::Link),
         [](const CommandState& st) { QCOMPARE(st.currentKind, NodeKind::Link); }},
        {"disabled page", true,
         [](WindowShop& s) {
           s.window->SelectNode(s.NodeOfKind(NodeKind::Page));
           s.window->treeView()->setFocus();
           s.window->RunCommand(kCmdTreeDisable);
         },
         [](const CommandState& st) {
           QVERIFY(!st.currentEnabled);
           QVERIFY(st.anyChanged);
         }},
        {"several selected in the list", true,
         [](WindowShop& s) {
           s.window->SelectNode(s.NodeOfKind(NodeKind::Category));
           s.window->listView()->setFocus();
           s.window->listView()->selectAll();
         },
         [](const CommandState& st) {
           QCOMPARE(st.focus, UiFocus::NodeList);
           QVERIFY(st.listSelected >= 2);
         }},
        {"text field with text on the clipboard", true,
         [](WindowShop& s) {
           QGuiApplication::clipboard()->setText(QStringLiteral("Oolong"));
           s.window->SelectNode(s.NodeOfKind(NodeKind::Product));
           s.window->findChild<QLineEdit*>(QStringLiteral("titleEdit"))->setFocus();
         },
         [](const CommandState& st) {
           QCOMPARE(st.focus, UiFocus::TextField);
           QVERIFY(st.systemClipboardHasText);
         }},
    };
    for (const Scenario& sc : scenarios) {
      QGuiApplication::clipboard()->clear();
      WindowShop shop(sc.sample);
      shop.Show();
      sc.setup(shop);
      QCoreApplication::processEvents();
      sc.check(shop.window->CurrentCommandState());
      CheckParity(shop, sc.name);
      if (QTest::currentTestFailed()) return;
    }
  }

  // A few states spelled out, so a rule that went wrong on both sides still shows.
  void actionStatesAnchors() {
    WindowShop none(false);
    none.Show();
    QVERIFY(!none.Action(QStringLiteral("action1380"))->isEnabled());
    QVERIFY(!none.Action(QStringLiteral("action524"))->isEnabled());
    QVERIFY(none.Action(QStringLiteral("action1367"))->isEnabled());

    WindowShop shop;
    shop.Show();
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Shelf));
    shop.window->treeView()->setFocus();
    QCoreApplication::processEvents();
    QVERIFY(!shop.Action(QStringLiteral("action524"))->isEnabled());
    QVERIFY(shop.Action(QStringLiteral("action357"))->isEnabled());
    QVERIFY(!shop.Action(QStringLiteral("action1380"))->isEnabled());  // nothing changed
    QVERIFY(!shop.Action(QStringLiteral("action355"))->isEnabled());   // clipboard empty
    QTest::keyClick(shop.window->treeView(), Qt::Key_C, Qt::ControlModifier);
    QVERIFY(shop.Action(QStringLiteral("action355"))->isEnabled());
    QVERIFY(shop.Action(QStringLiteral("action360"))->isEnabled() !=
            shop.Action(QStringLiteral("action361"))->isEnabled());
  }

  void titleShowsTheChangedMark() {
    WindowShop none(false);
    QCOMPARE(none.window->windowTitle(), QStringLiteral("Tolmi PRO - [*]"));
    QVERIFY(!none.window->isWindowModified());

    WindowShop shop;
    shop.Show();
    QCOMPARE(shop.window->windowTitle(), QStringLiteral("Tolmi PRO - TeaShop[*]"));
    QVERIFY(!shop.window->isWindowModified());
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Page));
    shop.window->RunCommand(kCmdTreeDisable);
    QVERIFY(shop.window->isWindowModified());
    QVERIFY(shop.Trigger(kCmdSave));
    QVERIFY(!shop.window->isWindowModified());
    QVERIFY(!shop.Action(QStringLiteral("action1380"))->isEnabled());
  }

  void quitAnsweredNoKeepsTheFile() {
    WindowShop shop;
    shop.Show();
    const std::string before = ReadWholeFile(shop.project.string()).value_or("");
    QVERIFY(!before.empty());
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Product));
    auto* title = shop.window->findChild<QLineEdit*>(QStringLiteral("titleEdit"));
    title->setText(QStringLiteral("Renamed on the page"));
    emit title->editingFinished();
    QVERIFY(shop.session.project().changed);
    shop.prompter.answers = {PromptAnswer::No};
    QVERIFY(shop.Trigger(kCmdQuit));
    QCOMPARE(shop.prompter.asked.size(), std::size_t{1});
    QCOMPARE(shop.prompter.asked[0].text, std::string(kSaveChangesQuestion));
    QCOMPARE(shop.prompter.asked[0].title, std::string(kSaveChangesTitle));
    QVERIFY(!shop.window->isVisible());
    QCOMPARE(ReadWholeFile(shop.project.string()).value_or(""), before);
    QVERIFY(fs::exists(shop.home / "config.ini"));  // the configuration is written at exit
  }

  void elevenSavesLeaveTenBackups() {
    WindowShop shop;
    shop.Show();
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Page));
    for (int i = 0; i < 11; ++i) {
      shop.window->RunCommand(i % 2 ? kCmdTreeEnable : kCmdTreeDisable);
      QVERIFY(shop.Trigger(kCmdSave));
    }
    int backups = 0;
    for (const auto& entry : fs::directory_iterator(shop.project.parent_path() / "Backup")) {
      (void)entry;
      ++backups;
    }
    QCOMPARE(backups, 10);
  }

  void buildAndOrdersNeedAnOrderServer() {
    WindowShop shop;  // a fresh home has no order server
    shop.Show();
    std::vector<std::string> opened;
    shop.window->hooks.buildStore = [&](bool) { opened.push_back("build"); };
    shop.window->hooks.orders = [&] { opened.push_back("orders"); };
    shop.window->hooks.preferences = [&](bool page) { opened.push_back(page ? "server" : "prefs"); };
    shop.prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    QVERIFY(shop.Trigger(kCmdBuildStore));
    QVERIFY(shop.Trigger(kCmdOrders));
    QCOMPARE(shop.prompter.asked.size(), std::size_t{2});
    QCOMPARE(shop.prompter.asked[0].text, std::string(kNoOrderServerQuestion));
    QCOMPARE(shop.prompter.asked[0].title, std::string("Configuration Error"));
    QCOMPARE(opened, std::vector<std::string>{"server"});  // neither window opened
    shop.session.config().server = "http://127.0.0.1:1/orders";
    QVERIFY(shop.Trigger(kCmdBuildStore));
    QCOMPARE(opened.back(), std::string("build"));
    QCOMPARE(shop.prompter.asked.size(), std::size_t{2});
  }

  void previewOpensTheCurrentPage() {
    WindowShop shop;
    shop.Show();
    StoreNode* product = shop.Node("Sencha Yabukita");
    shop.window->SelectNode(product);
    QVERIFY(shop.Trigger(kCmdPreview));
    QCOMPARE(shop.launcher.launched.size(), std::size_t{1});
    // The preview folder is the project's name inside "Temp", with the node's page.
    const fs::path folder = shop.home / "Temp" / "TeaShop";
    const std::string page = " " + (folder / "ftmp.htm").string();  // after the browser's name
    const std::string& launched = shop.launcher.launched[0];
    QVERIFY2(launched.size() > page.size() &&
                 launched.compare(launched.size() - page.size(), page.size(), page) == 0,
             launched.c_str());
    QVERIFY(fs::exists(folder / product->file));
  }

  void screenshotsOfEachKind() {
    WindowShop shop;
    shop.Show();
    const std::vector<std::pair<NodeKind, const char*>> kinds = {
        {NodeKind::Category, "category"}, {NodeKind::Product, "product"},
        {NodeKind::Shelf, "shelf"},       {NodeKind::List, "list"},
        {NodeKind::Page, "page"},         {NodeKind::Link, "link"}};
    for (const auto& [kind, name] : kinds) {
      StoreNode* node = shop.NodeOfKind(kind);
      QVERIFY(node);
      shop.window->SelectNode(node);
      shop.window->treeView()->expandAll();
      QCoreApplication::processEvents();
      QVERIFY(test::SaveShot(*shop.window, QStringLiteral("main-window-%1").arg(QLatin1String(name))));
    }
    shop.window->SelectNode(shop.NodeOfKind(NodeKind::Product, true));
    QCoreApplication::processEvents();
    QVERIFY(test::SaveShot(*shop.window, QStringLiteral("main-window-product-in-shelf")));
    WindowShop none(false);
    none.Show();
    QCoreApplication::processEvents();
    QVERIFY(test::SaveShot(*none.window, QStringLiteral("main-window-no-project")));
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
