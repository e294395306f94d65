// The window's start and end: the program's arguments, the start actions in
// order, the recent projects in the File menu, the view bits and the window
// state kept in the home.
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QtTest>

#include "tests/ui/support/MainWindowFixture.h"
#include "ui/AppMain.h"
#include "ui/CommandActions.h"

using namespace tolmi;
using test::WindowShop;

class StartupTest : public QObject {
  Q_OBJECT

  // Records which windows the start actions open.
  static std::vector<std::string> Record(ui::MainWindow& w) {
    auto log = std::make_shared<std::vector<std::string>>();
    w.hooks.preferences = [log](bool serverPage) {
      log->push_back(serverPage ? "preferences:server" : "preferences");
    };
    w.hooks.newStore = [log] { log->push_back("new store"); };
    w.hooks.help = [log] { log->push_back("help"); };
    w.hooks.loadProject = [log](const std::string& path) { log->push_back("load " + path); };
    w.hooks.buildStore = [log](bool modal) { log->push_back(modal ? "build:modal" : "build"); };
    w.RunStartActions();
    return *log;
  }

 private slots:
  void programArguments() {
    struct Case {
      std::vector<std::string> args;
      std::string home;
      std::vector<std::string> words;
    };
    const Case cases[] = {
        {{"--home", "/h", "-N"}, "/h", {"-N"}},
        {{"-R", "--home=/x y", "shop.stp"}, "/x y", {"-R", "shop.stp"}},
        {{"shop.stp"}, "", {"shop.stp"}},
        {{"--home"}, "", {"--home"}},  // no folder follows: left to the command line
    };
    for (const Case& c : cases) {
      ui::ProgramArguments a = ui::SplitProgramArguments(c.args);
      QCOMPARE(a.home, c.home);
      QCOMPARE(a.words, c.words);
    }
  }

  void startActionsInOrder() {
    {  // A fresh home: no order server, so its settings page opens instead of New Store.
      WindowShop shop(false);
      QCOMPARE(Record(*shop.window), (std::vector<std::string>{"preferences:server"}));
    }
    {  // A server but no project: New Store.
      WindowShop shop(false);
      shop.session.config().server = "http://127.0.0.1:1/orders";
      QCOMPARE(Record(*shop.window), (std::vector<std::string>{"new store"}));
    }
    {  // A server and a remembered project with help open: load, then help.
      WindowShop shop(false);
      shop.session.config().server = "http://127.0.0.1:1/orders";
      shop.session.config().file = "/nowhere/Shop.stp";
      shop.session.config().help = 1;
      QCOMPARE(Record(*shop.window),
               (std::vector<std::string>{"load /nowhere/Shop.stp", "help"}));
    }
    {  // "-R": the build window opens modal and the window closes after it.
      WindowShop shop;
      shop.session.config().server = "http://127.0.0.1:1/orders";
      shop.session.globals().commandLine = ParseCommandLine(std::vector<std::string>{"-R"});
      shop.Show();
      const std::vector<std::string> log = Record(*shop.window);
      QCOMPARE(log.back(), std::string("build:modal"));
      QVERIFY(!shop.window->isVisible());
    }
  }

  void recentProjectsInTheFileMenu() {
    WindowShop shop;  // opening the sample put it first in the list
    QAction* recent = shop.Action(QStringLiteral("action19000"));
    QVERIFY(recent);
    QCOMPARE(recent->text(), QStringLiteral("&1 ") + QString::fromStdString(shop.project.string()));
    QVERIFY(!shop.Action(QStringLiteral("action19001")));
    // It sits just before "&Quit".
    const QList<QAction*> file = shop.window->menuBar()->actions().first()->menu()->actions();
    const qsizetype quit = file.indexOf(shop.Action(QStringLiteral("action2351")));
    QCOMPARE(file.at(quit - 2), recent);
    QVERIFY(file.at(quit - 1)->isSeparator());
  }

  void viewBitsShowAndHideTheBars() {
    WindowShop shop;
    shop.Show();
    auto* toolBar = shop.window->findChild<QToolBar*>(QStringLiteral("toolBar"));
    auto* buttonBar = shop.window->findChild<QToolBar*>(QStringLiteral("buttonBar"));
    QVERIFY(toolBar->isVisible() && buttonBar->isVisible());
    QVERIFY(shop.Action(QStringLiteral("action443"))->isChecked());
    QVERIFY(shop.Trigger(kCmdToolbar));
    QVERIFY(!toolBar->isVisible());
    QCOMPARE(shop.session.config().view, 255 & ~1);
    QVERIFY(!shop.Action(QStringLiteral("action443"))->isChecked());
    QVERIFY(shop.Trigger(kCmdButtons));
    QVERIFY(!buttonBar->isVisible());
    QVERIFY(shop.Trigger(kCmdWorkOffline));
    QCOMPARE(shop.session.config().view, 255 & ~(1 | 2 | 32));
    QVERIFY(!shop.Action(QStringLiteral("action589"))->isChecked());
  }

  void windowStateIsKeptInTheHome() {
    WindowShop shop;
    shop.Show();
    shop.window->resize(900, 640);
    QVERIFY(shop.window->close());
    QVERIFY(std::filesystem::exists(shop.home / "tolmi-window.ini"));
    ui::MainWindow again(shop.session, shop.prompter, shop.chooser, shop.launcher);
    QCOMPARE(again.size(), QSize(900, 640));
  }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
