// The Preferences window: every field typed into its control reaches "config.ini"
// exactly as `tolmi-cli config` writes it, the proxy settings store and the open
// project; the enabling rules as the controls show them; a failed write keeps the
// window and the merchant's input.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QtTest>

#include "app/Preferences.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/dialogs/PreferencesDialog.h"
#include "util/Paths.h"
#include "util/SettingsStore.h"

using namespace tolmi;
using test::Child;
using test::WhenModal;
using ui::PreferencesDialog;

namespace {

void Type(QWidget* dialog, const char* name, const QString& text) {
  auto* edit = Child<QLineEdit>(dialog, name);
  edit->clear();
  // QTest types ASCII keys only; other characters arrive as typed text.
  for (QChar c : text) {
    if (c.unicode() < 128)
      QTest::keyClick(edit, c.toLatin1());
    else
      edit->insert(c);
  }
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

class PreferencesWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void everyFieldReachesItsStore() {
    test::SampleShop shop;
    const std::string gateway = shop.session.globals().gateways.at(2).name;  // two fields
    WhenModal<PreferencesDialog>([&](PreferencesDialog* d) {
      QCOMPARE(d->windowTitle(), QString(kPreferencesTitle));
      QCOMPARE(Child<QStackedWidget>(d, "pageStack")->currentWidget()->objectName(),
               QString("orderServerPage"));
      Child<QCheckBox>(d, "cart3dCheck")->click();
      Child<QRadioButton>(d, "historyNavRadio")->click();
      Child<QCheckBox>(d, "directoryCheck")->click();
      Type(d, "merchantNameEdit", QString::fromUtf8("Caf\xc3\xa9 Ann"));
      Type(d, "serverUrlEdit", "http://127.0.0.1:8080/orders");
      Type(d, "orderUserEdit", "shopkeeper");
      Type(d, "orderPasswordEdit", "s3cret");
      Type(d, "nextOrderNumberEdit", "2001");
      Child<QCheckBox>(d, "leaveOrdersCheck")->click();
      auto* service = Child<QComboBox>(d, "serviceCombo");
      service->setCurrentIndex(service->findText(QString::fromStdString(gateway)));
      QCOMPARE(Child<QLabel>(d, "accountField1Label")->text(),
               QString::fromStdString(shop.session.globals().gateways.at(2).fieldLabels[0]));
      Type(d, "accountField1Edit", "M-100");
      Type(d, "accountField2Edit", "k3y");
      Type(d, "sound1Edit", "start.wav");
      Type(d, "soundFolderEdit", "/usr/share/sounds");
      Type(d, "proxyServerEdit", "proxy.local");
      Type(d, "proxyPortEdit", "3128");
      Type(d, "proxyUserEdit", "pu");
      Type(d, "proxyPasswordEdit", "pp");
      Child<QRadioButton>(d, "firewallSocks5Radio")->click();
      Type(d, "firewallHostEdit", "fw.local");
      Type(d, "firewallPortEdit", "1080");
      Type(d, "firewallUserEdit", "fu");
      Type(d, "firewallPasswordEdit", "fp");
      Child<QComboBox>(d, "browserCombo")->setEditText("/usr/bin/firefox");
      Child<QRadioButton>(d, "newWindowRadio")->click();
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
    QVERIFY(project.changed);
    QVERIFY(project.settings.has3dCart);
    QCOMPARE(int(project.settings.navStyle), 1);
    QCOMPARE(ReadMerchantDetails(project.variables).name, std::string("Caf\xe9 Ann"));  // as read
  }

  void okWithoutChangesChangesNothing() {
    test::SampleShop shop;
    const Preferences before =
        ReadPreferences(shop.session.globals(), shop.session.proxyStore(), shop.launcher);
    WhenModal<PreferencesDialog>(
        [](PreferencesDialog* d) { Child<QPushButton>(d, "okButton")->click(); });
    QVERIFY(ui::PreferencesCommand(shop.ctx));
    QVERIFY(!shop.session.project().changed);
    QVERIFY(ReadPreferences(shop.session.globals(), shop.session.proxyStore(), shop.launcher) ==
            before);
  }

  void aFailedWriteKeepsTheWindowOpen() {
    test::SampleShop shop;
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

  void enablingFollowsTheRules_data() {
    QTest::addColumn<bool>("project");
    QTest::addColumn<QString>("proxyServer");
    QTest::addColumn<int>("firewallType");
    QTest::addColumn<QString>("firewallHost");
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("a project") << true << "" << 0 << ""
                               << ""
                               << "storeOptionsPage merchantPage";
    QTest::newRow("socks4 has no password") << false << "" << 2 << "h"
                                            << ""
                                            << "firewallHostEdit firewallPortEdit firewallUserEdit";
    QTest::newRow("two-field service") << false << "" << 0 << ""
                                       << "Two"
                                       << "accountField1Edit accountField2Edit";
  }
  void enablingFollowsTheRules() {
    QFETCH(bool, project);
    QFETCH(QString, proxyServer);
    QFETCH(int, firewallType);
    QFETCH(QString, firewallHost);
    QFETCH(QString, service);
    QFETCH(QString, enabled);
    std::vector<GatewayDefinition> gateways(1);
    gateways[0].name = "Two";
    gateways[0].fieldLabels = {"Merchant:", "Key:", "", "", ""};
    Preferences prefs;
    prefs.projectOpen = project;
    prefs.gateway.labels = GatewayFieldLabels(gateways, "");
    PreferencesDialog dialog(nullptr, prefs, gateways, {});
    // Start from the opposite state, so each control is seen to follow its input.
    Type(&dialog, "proxyServerEdit", proxyServer.isEmpty() ? "x" : "");
    Type(&dialog, "proxyServerEdit", proxyServer);
    auto* types = dialog.findChild<QButtonGroup*>();
    types->button(1)->click();  // the host box takes input only with a type
    Type(&dialog, "firewallHostEdit", firewallHost);
    types->button(firewallType)->click();
    auto* combo = Child<QComboBox>(&dialog, "serviceCombo");
    combo->setCurrentIndex(combo->findText(service.isEmpty() ? "None" : service));
    QCOMPARE(EnabledControls(&dialog), enabled);
    QCOMPARE(Child<QLabel>(&dialog, "accountField3Label")->text(),
             service.isEmpty() ? QString("3:") : QString());
  }
};

QTEST_MAIN(PreferencesWindowTest)
#include "PreferencesWindowTest.moc"
