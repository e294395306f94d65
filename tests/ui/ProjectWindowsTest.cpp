// The project windows on the sample store: Save As, backups and Restore, Open, Merge and Save
// with their failures, the progress window, help and About; the Preferences window (every
// field reaches "config.ini" as `tolmi-cli config` writes it, the proxy store and the project;
// the enabling rules; a failed write keeps the window).
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QtTest>

#include "app/Preferences.h"
#include "app/UiTexts.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/HelpWindow.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "ui/dialogs/ProgressWindow.h"
#include "ui/dialogs/RestoreBackupDialog.h"
#include "ui/dialogs/SaveAsDialog.h"
#include "util/Paths.h"
#include "util/SettingsStore.h"

using namespace tolmi;
namespace fs = std::filesystem;
using test::Child;
using test::Type;
using test::WhenModal;
using Shop = test::SampleShop;
using ui::PreferencesDialog;

namespace {

// The text of the progress window whenever it shows while run runs.
QString ProgressSeen(Shop& shop, const std::function<void()>& run) {
  QString seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* progress = shop.window.findChild<ui::ProgressWindow*>("progressWindow");
    if (progress && progress->isVisible()) seen = Child<QLabel>(progress, "progressText")->text();
  });
  watch.start(0);
  run();
  return seen;
}

// The controls the enabling rules cover that are enabled now.
QString EnabledControls(PreferencesDialog* dialog) {
  QStringList on;
  for (const char* name :
       {"storeOptionsPage", "merchantPage", "accountField1Edit", "accountField2Edit",
        "accountField3Edit", "proxyPortEdit", "proxyUserEdit", "proxyPasswordEdit",
        "firewallHostEdit", "firewallPortEdit", "firewallUserEdit", "firewallPasswordEdit"}) {
    if (Child<QWidget>(dialog, name)->isEnabled()) on << name;
  }
  return on.join(' ');
}

}  // namespace

class ProjectWindowsTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void saveAsCleansTheNameAndMakesTheNewProject() {
    Shop shop;
    shop.home.Write("Projects/TeaShop/TeaShop.bak", std::string("sibling\r\n\xff", 10));
    const std::string original = shop.Bytes(shop.project);
    WhenModal<ui::SaveAsDialog>([](ui::SaveAsDialog* dialog) {
      auto* ok = Child<QPushButton>(dialog, "okButton");
      QCOMPARE(dialog->windowTitle(), QString(kSaveAsTitle));
      QVERIFY(!ok->isEnabled());
      QTest::keyClicks(Child<QLineEdit>(dialog, "nameEdit"), "My, Shop");
      QCOMPARE(Child<QLineEdit>(dialog, "nameEdit")->text(), QString("My_ Shop"));
      QVERIFY(test::SaveShot(*dialog, "save-as"));
      ok->click();
    });
    QVERIFY(ui::SaveAsCommand(shop.ctx).ok());
    const fs::path folder = shop.home / "Projects" / "My_ Shop";
    QCOMPARE(shop.session.session().path, (folder / "My_ Shop.stp").string());
    QCOMPARE(shop.session.config().recent[0], shop.session.session().path);
    QVERIFY(shop.Bytes(folder / "My_ Shop.bak") == std::string("sibling\r\n\xff", 10));
    QVERIFY(shop.Bytes(shop.project) == original);  // the old project is left as it was
    AppSession reread(shop.home.path().string(), shop.prompter, shop.clock);
    reread.SetProxyStorePath((shop.home / "settings.ini").string());
    QVERIFY(reread.Start().ok());
    QVERIFY(OpenProject(reread.session(), reread.env(), (folder / "My_ Shop.stp").string()).ok());
    QCOMPARE(CountNodes(reread.project()), CountNodes(shop.session.project()));

    // Without a project file the window cannot be cancelled; names stop at 50 characters.
    ui::SaveAsDialog dialog(nullptr, false, [] { return std::string("/x/Projects/Picked/"); });
    dialog.show();
    QVERIFY(!Child<QPushButton>(&dialog, "cancelButton")->isEnabled());
    dialog.reject();
    QVERIFY(dialog.isVisible());
    Child<QPushButton>(&dialog, "browseButton")->click();
    QCOMPARE(Child<QLineEdit>(&dialog, "nameEdit")->text(), QString("Picked"));
    QTest::keyClicks(Child<QLineEdit>(&dialog, "nameEdit"), QString(60, 'a'));
    QCOMPARE(Child<QLineEdit>(&dialog, "nameEdit")->text().size(), 50);
  }

  void saveAsIntoAFolderThatCannotBeMadeKeepsTheProject() {
    Shop shop;
    shop.home.Write("Projects/Blocked", "not a folder");
    const std::string path = shop.session.session().path;
    WhenModal<ui::SaveAsDialog>([](ui::SaveAsDialog* dialog) {
      QTest::keyClicks(Child<QLineEdit>(dialog, "nameEdit"), "Blocked");
      Child<QPushButton>(dialog, "okButton")->click();
    });
    QVERIFY(!ui::SaveAsCommand(shop.ctx).ok());
    QCOMPARE(shop.prompter.asked.back().text, std::string(kOverwriteFolderQuestion));
    QCOMPARE(shop.prompter.shown.back().text + "|" + shop.prompter.shown.back().title,
             "Unable to create a new Project Directory '" +
                 (shop.home / "Projects" / "Blocked").string() + "'.|Error");
    QCOMPARE(shop.session.session().path, path);
    QCOMPARE(shop.Bytes(shop.home / "Projects" / "Blocked"), std::string("not a folder"));
  }

  void elevenSavesKeepTenBackupsAndOneRestoresByteForByte() {
    Shop shop;
    QCOMPARE(ProgressSeen(shop,
                          [&] {
                            for (int i = 1; i <= 11; ++i) {
                              shop.clock.now += 60;
                              shop.session.project().settings.storeTitle =
                                  "Save " + std::to_string(i);
                              shop.session.project().changed = true;
                              QVERIFY(ui::SaveCommand(shop.ctx).ok());
                            }
                          }),
             QString(kSavingProjectText));
    QVERIFY(!shop.session.env().saveProgress);  // the progress window is off the hooks again
    const fs::path backups = shop.project.parent_path() / "Backup";
    QVERIFY(fs::exists(backups / "TeaShop.stp.10") && !fs::exists(backups / "TeaShop.stp.11"));
    shop.home.Write("Projects/TeaShop/Backup/notes.txt", "no time line\n");
    const std::string chosen = shop.Bytes(backups / "TeaShop.stp.3");
    WhenModal<ui::RestoreBackupDialog>([](ui::RestoreBackupDialog* dialog) {
      auto* list = Child<QTreeWidget>(dialog, "backupList");
      auto* ok = Child<QPushButton>(dialog, "okButton");
      QCOMPARE(list->headerItem()->text(2), QString(kBackupTimeHeading));
      QCOMPARE(list->topLevelItemCount(), 11);
      QVERIFY(!ok->isEnabled());
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        QCOMPARE(row->isDisabled(), row->text(0) == "notes.txt");  // not a project
        if (row->text(0) == "TeaShop.stp.3") list->setCurrentItem(row);
      }
      QVERIFY(test::SaveShot(*dialog, "restore-backup"));
      ok->click();
    });
    QVERIFY(ui::RestoreBackupCommand(shop.ctx).ok());
    QCOMPARE(shop.prompter.asked.back().text, std::string(kRevertQuestion));
    QVERIFY(shop.Bytes(shop.project) == chosen);
    QCOMPARE(shop.session.project().settings.storeTitle, std::string("Save 8"));
  }

  void openFailuresShowTheMessagesAndWriteNothing() {
    const QString cannotRead =
        "S103: Unable to read project file '%1'|ERROR S105: Unable to open project file";
    const struct {
      std::string file, bytes;  // bytes "": the file does not exist
      QString messages;         // %1: the file's path
    } cases[] = {
        {"Projects/Gone/Gone.stp", "", cannotRead},
        {"Projects/Cut/Cut.stp", "TIME=1764979200\nVERSION=2034361\nNODE0=Te",
         QString(kProjectCutShortWarning).replace("%s", "%1")},
    };
    for (const auto& c : cases) {
      Shop shop;
      const std::string sample = shop.Bytes(shop.project);
      const fs::path path = shop.home / c.file;
      if (!c.bytes.empty()) shop.home.Write(c.file, c.bytes);
      shop.chooser.answers = {path.string(), shop.project.string()};
      const bool opens = !c.messages.contains('|');
      QCOMPARE(ui::OpenStoreCommand(shop.ctx).ok(), opens);
      QCOMPARE(shop.chooser.asked.at(0).title + shop.chooser.asked.at(0).filter,
               std::string(kOpenProjectTitle) + kProjectFileFilter);
      QStringList shown;
      for (const test::Shown& m : shop.prompter.shown) shown << QString::fromStdString(m.text);
      QCOMPARE(shown.join('|'), QString(c.messages).arg(QString::fromStdString(path.string())));
      QCOMPARE(shop.session.session().path.empty(), !opens);
      QVERIFY(shop.Bytes(path) == c.bytes);  // nothing written over (or made)
      QVERIFY(shop.Bytes(shop.project) == sample);
      QVERIFY(ui::OpenStoreCommand(shop.ctx).ok());  // the window goes on: the sample opens again
      QCOMPARE(shop.session.project().settings.storeTitle, std::string("Leafward Tea Co."));
    }
  }

  void mergeOfAFileThatIsNoProjectSaysWhy() {
    Shop shop;
    shop.home.Write("Projects/Bad/Bad.stp", std::string("\0\1\2", 3));
    shop.chooser.answers = {(shop.home / "Projects/Bad/Bad.stp").string()};
    QVERIFY(!ui::MergeCommand(shop.ctx, FirstChild(*RootNode(shop.session.project()))).ok());
    QCOMPARE(shop.chooser.asked.at(0).title, std::string(kMergeTitle));
    QCOMPARE(shop.prompter.shown.at(0).text, "S105: Unable to read project file '" +
                                                 (shop.home / "Projects/Bad/Bad.stp").string() +
                                                 "'");
  }

  void loadingShowsItsWindowAndAFailedWriteKeepsTheFile() {
    Shop shop;
    const std::string sample = shop.Bytes(shop.project);
    const std::size_t firstNode = sample.find("NODE");
    std::string big = sample.substr(0, firstNode);
    for (int i = 0; i < 3000; ++i)
      big +=
          "NODE0=Tea " + std::to_string(i) + "\nSTATUS=0\nFILE=t" + std::to_string(i) + ".html\n";
    shop.home.Write("Projects/Big/Big.stp", big + sample.substr(firstNode));
    QCOMPARE(ProgressSeen(shop,
                          [&] {
                            QVERIFY(ui::LoadProjectCommand(
                                        shop.ctx, (shop.home / "Projects/Big/Big.stp").string())
                                        .ok());
                          }),
             QString(kLoadingProjectText));  // painted while the load ran
    QVERIFY(!shop.window.findChild<ui::ProgressWindow*>("progressWindow"));
    QVERIFY(CountNodes(shop.session.project()) > 3000);
    QVERIFY(!shop.session.env().fileContext.progress);

    const std::string before = shop.Bytes(shop.home / "Projects/Big/Big.stp");
    shop.session.project().changed = true;
    SetAtomicWriteFaultForTesting(100);
    const Status status = ui::SaveCommand(shop.ctx);
    SetAtomicWriteFaultForTesting(-1);
    QVERIFY(!status.ok());
    QCOMPARE(shop.prompter.shown.at(0).text, std::string("S101: File Write Error"));
    QVERIFY(shop.session.project().changed);
    QVERIFY(shop.Bytes(shop.home / "Projects/Big/Big.stp") == before);
  }

  // The first step after Begin paints at most once more; the rest wait for the interval.
  void progressWindowCountsAndPaints() {
    ui::ProgressWindow window(nullptr, kLoadingProjectText);
    window.Begin();
    QVERIFY(window.isVisible());
    for (std::size_t n = 12; n <= 1200; n += 12) window.Step(n);
    QCOMPARE(window.records(), std::size_t(1200));
    QVERIFY(window.paints() >= 1 && window.paints() <= 3);
    QTest::qWait(120);
    window.Step(1212);
    QCOMPARE(Child<QLabel>(&window, "progressCount")->text(), QString("1212 record(s)"));
    QVERIFY(test::SaveShot(window, "progress-loading"));
  }

  void helpAndAbout() {
    Shop shop;
    ui::HelpCommand(shop.ctx);
    auto* help = test::Child<ui::HelpWindow>(&shop.window, "helpWindow");
    QCOMPARE(shop.session.config().help, 1);
    QVERIFY(help->browser()->toPlainText().startsWith("Tolmi PRO: a merchant's guide"));  // shipped
    ui::HelpCommand(shop.ctx);  // a second Help raises the same window
    QCOMPARE(shop.window.findChildren<ui::HelpWindow*>("helpWindow").size(), 1);
    emit help->browser()->anchorClicked(QUrl("https://example.com/x"));
    QCOMPARE(shop.launcher.launched.size(), std::size_t(1));
    QVERIFY(test::SaveShot(*help, "help"));
    help->close();
    QTRY_COMPARE(shop.session.config().help, 0);
    // Without its page help says so.
    fs::remove(shop.home / "help.htm");
    ui::HelpCommand(shop.ctx);
    QCOMPARE(shop.prompter.shown.at(0).text + "|" + shop.prompter.shown.at(0).title,
             std::string("ERROR W114: Unable to open file 'help.htm'|Error"));
    QVERIFY(!ui::HelpWindowOpen(&shop.window));

    WhenModal<ui::AboutDialog>([](ui::AboutDialog* about) {
      QVERIFY(Child<QLabel>(about, "versionLabel")->text().contains("2.09.003"));
      QVERIFY(test::SaveShot(*about, "about"));
      about->accept();
    });
    ui::AboutCommand(shop.ctx);
  }

  void preferencesFieldsReachTheirStores() {
    Shop shop;
    const std::string gateway = shop.session.globals().gateways.at(2).name;  // two fields
    WhenModal<PreferencesDialog>([&](PreferencesDialog* d) {
      QCOMPARE(Child<QStackedWidget>(d, "pageStack")->currentWidget()->objectName(),
               QString("orderServerPage"));
      for (const char* name : {"cart3dCheck", "historyNavRadio", "directoryCheck",
                               "leaveOrdersCheck", "firewallSocks5Radio", "newWindowRadio"})
        Child<QAbstractButton>(d, name)->click();
      auto* service = Child<QComboBox>(d, "serviceCombo");
      service->setCurrentIndex(service->findText(QString::fromStdString(gateway)));
      QCOMPARE(Child<QLabel>(d, "accountField1Label")->text(),
               QString::fromStdString(shop.session.globals().gateways.at(2).fieldLabels[0]));
      const std::pair<const char*, QString> typed[] = {
          {"merchantNameEdit", QString::fromUtf8("Caf\xc3\xa9 Ann")},
          {"serverUrlEdit", "http://127.0.0.1:8080/orders"},
          {"orderUserEdit", "shopkeeper"},
          {"orderPasswordEdit", "s3cret"},
          {"nextOrderNumberEdit", "2001"},
          {"accountField1Edit", "M-100"},
          {"accountField2Edit", "k3y"},
          {"sound1Edit", "start.wav"},
          {"soundFolderEdit", "/usr/share/sounds"},
          {"proxyServerEdit", "proxy.local"},
          {"proxyPortEdit", "3128"},
          {"proxyUserEdit", "pu"},
          {"proxyPasswordEdit", "pp"},
          {"firewallHostEdit", "fw.local"},
          {"firewallPortEdit", "1080"},
          {"firewallUserEdit", "fu"},
          {"firewallPasswordEdit", "fp"}};
      for (const auto& [name, text] : typed) Type(d, name, text);
      Child<QComboBox>(d, "browserCombo")->setEditText("/usr/bin/firefox");
      Child<QPushButton>(d, "selectServerButton")->click();
      auto* pages = Child<QListWidget>(d, "pageList");
      for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentRow(i);
        QVERIFY(test::SaveShot(
            *d, "preferences-" + pages->item(i)->text().toLower().replace(' ', '-')));
      }
      Child<QPushButton>(d, "okButton")->click();
    });
    // What tolmi-cli config would write for the same settings.
    AppConfig expected = shop.session.config();
    for (const std::string& line : std::vector<std::string>{
             "other=0", "server=http://127.0.0.1:8080/orders", "o_un=shopkeeper",
             "o_password=s3cret", "ordernum=2001", "o_leave=1", "gateway=" + gateway, "o_f1=M-100",
             "o_f2=k3y", "S1=start.wav", "SP=/usr/share/sounds", "browser=/usr/bin/firefox",
             "newwin=1"})
      QVERIFY(ApplyConfigSetting(expected, shop.session.globals().gateways, line));

    QVERIFY(ui::PreferencesCommand(shop.ctx, ui::PreferencesPage::OrderServer));
    QVERIFY(shop.prompter.shown.empty());
    QCOMPARE(shop.Bytes(shop.home / "config.ini"), ConfigFileText(expected));
    QCOMPARE(shop.launcher.launched.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(shop.launcher.launched[0])
                .endsWith(QString::fromStdString(shop.session.config().urls.server)));

    SettingsStore store((shop.home / "settings.ini").string());
    QVERIFY(store.Load().ok());
    const std::vector<std::pair<const char*, const char*>> values = {
        {"proxy", "proxy.local"}, {"port", "3128"},  {"username", "pu"},
        {"password", "pp"},       {"type", "3"},     {"fw_host", "fw.local"},
        {"fw_port", "1080"},      {"fw_user", "fu"}, {"fw_password", "fp"}};
    for (const auto& [key, value] : values)
      QCOMPARE(store.Get(kProxySettingsSection, key).value_or("(none)"), std::string(value));
    QCOMPARE(shop.session.proxy().server.host, std::string("proxy.local"));

    const StoreProject& project = shop.session.project();
    QVERIFY(project.settings.has3dCart);
    QCOMPARE(int(project.settings.navStyle), 1);
    QCOMPARE(ReadMerchantDetails(project.variables).name, std::string("Caf\xe9 Ann"));  // as read
  }

  void preferencesOkWithoutChangesChangesNothing() {
    Shop shop;
    const Preferences before =
        ReadPreferences(shop.session.globals(), shop.session.proxyStore(), shop.launcher);
    WhenModal<PreferencesDialog>(
        [](PreferencesDialog* d) { Child<QPushButton>(d, "okButton")->click(); });
    QVERIFY(ui::PreferencesCommand(shop.ctx));
    QVERIFY(!shop.session.project().changed);
    QVERIFY(ReadPreferences(shop.session.globals(), shop.session.proxyStore(), shop.launcher) ==
            before);
  }

  void preferencesFailedWriteKeepsTheWindowOpen() {
    Shop shop;
    const std::string server = shop.session.config().server;
    WhenModal<PreferencesDialog>([&](PreferencesDialog* d) {
      Type(d, "serverUrlEdit", "http://127.0.0.1:9/");
      SetAtomicWriteFaultForTesting(0);
      Child<QPushButton>(d, "okButton")->click();
      SetAtomicWriteFaultForTesting(-1);
      QVERIFY(d->isVisible());
      QCOMPARE(Child<QLineEdit>(d, "serverUrlEdit")->text(), QString("http://127.0.0.1:9/"));
      Child<QPushButton>(d, "cancelButton")->click();
    });
    QVERIFY(!ui::PreferencesCommand(shop.ctx));
    QCOMPARE(shop.prompter.shown.at(0).text,
             std::string("ERROR W114: Unable to open file 'config.ini'"));
    QCOMPARE(shop.session.config().server, server);
  }

  // Each control follows its input (a row starts from the opposite state).
  void preferencesEnablingFollowsTheRules() {
    std::vector<GatewayDefinition> gateways(1);
    gateways[0].name = "Two";
    gateways[0].fieldLabels = {"Merchant:", "Key:", "", "", ""};
    const struct {
      bool project;
      QString proxyServer;
      int firewallType;
      QString firewallHost, service, enabled;
    } rows[] = {
        {true, "", 0, "", "", "storeOptionsPage merchantPage"},
        {false, "p", 0, "", "", "proxyPortEdit proxyUserEdit proxyPasswordEdit"},
        {false, "", 2, "h", "", "firewallHostEdit firewallPortEdit firewallUserEdit"},
        {false, "", 0, "", "Two", "accountField1Edit accountField2Edit"},
    };
    for (const auto& r : rows) {
      Preferences prefs;
      prefs.projectOpen = r.project;
      prefs.gateway.labels = GatewayFieldLabels(gateways, "");
      PreferencesDialog dialog(nullptr, prefs, gateways, {});
      Type(&dialog, "proxyServerEdit", r.proxyServer.isEmpty() ? "x" : "");
      Type(&dialog, "proxyServerEdit", r.proxyServer);
      auto* types = dialog.findChild<QButtonGroup*>();
      types->button(1)->click();  // the host box takes input only with a type
      Type(&dialog, "firewallHostEdit", r.firewallHost);
      types->button(r.firewallType)->click();
      auto* combo = Child<QComboBox>(&dialog, "serviceCombo");
      combo->setCurrentIndex(combo->findText(r.service.isEmpty() ? "None" : r.service));
      QCOMPARE(EnabledControls(&dialog), r.enabled);
      QCOMPARE(Child<QLabel>(&dialog, "accountField3Label")->text(),
               r.service.isEmpty() ? QString("3:") : QString());
    }
  }
};

QTEST_MAIN(ProjectWindowsTest)
#include "ProjectWindowsTest.moc"
