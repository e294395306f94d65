// The Publish/Upload window against a real FTP server (pyftpdlib) on loopback:
// Compare counts, Ignore and Transfer, Upload, a second Compare that finds
// nothing to send, Publish Now, Select All, Hosting Info, and the password masked
// in the log; the server killed in the middle of an upload; the merchant's sounds;
// and over four connections the same files, each sent once, as tolmi-cli sends.
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

#include <map>

#include "app/Config.h"
#include "builder/BuildDriver.h"
#include "project/ProjectFile.h"
#include "util/Files.h"
#include "tests/net/NetTestSupport.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/publish/PublishDialog.h"

using namespace tolmi;
namespace fs = std::filesystem;

using test::Child;
using Shop = test::SampleShop;

namespace {

// Builds the shop into its "Web" folder and aims its FTP account at the server.
void BuildAndAim(Shop& shop, int port) {
  std::unique_ptr<BuildSession> build = shop.session.MakeBuildSession();
  build->buildDir = (shop.project.parent_path() / "Web").string();
  QCOMPARE(RunBuild(*build), BuildOutcome::Completed);
  StoreSettings& settings = shop.session.project().settings;
  settings.ftpServer = "127.0.0.1";
  settings.ftpPort = std::to_string(port);
  settings.ftpUser = "tolmi";
  settings.ftpPassword = "secret";
  settings.ftpDir = "shop";
  settings.passiveFtp = true;
}

// Every file below dir (relative name to bytes).
std::map<std::string, std::string> Tree(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), dir).string()] =
          ReadWholeFile(entry.path().string()).value_or("");
  return files;
}

struct RecordingPlayer : SoundPlayer {
  void Play(const std::string& file) override { played.push_back(file); }
  std::vector<std::string> played;
};

}  // namespace

class PublishTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void compareUploadAndCompareAgain() {
    Shop shop;
    test::PyFtpServer server(shop.home);
    if (server.port() == 0) QSKIP("pyftpdlib did not start (python3-pyftpdlib)");
    ui::EventLoopBridge bridge(shop.session.loop());
    BuildAndAim(shop, 0);
    StoreSettings& settings = shop.session.project().settings;
    settings.ftpPort.clear();

    ui::PublishDialog dialog(shop.ctx, &shop.window);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Publish/Upload Store"));
    auto* port = Child<QLineEdit>(&dialog, "portEdit");
    QCOMPARE(port->text(), QString("21"));
    port->setText(QString::number(server.port()));
    auto* list = Child<QTreeWidget>(&dialog, "uploadList");
    QCOMPARE(list->headerItem()->text(0), QString("Page"));
    QCOMPARE(list->headerItem()->text(2), QString("Path"));
    auto* upload = Child<QPushButton>(&dialog, "uploadButton");
    QVERIFY(!upload->isEnabled());

    PublishSession& publish = dialog.publishSession();
    const int total = static_cast<int>(publish.entries().size());
    Child<QPushButton>(&dialog, "compareButton")->click();
    int toSend = 0;
    for (const UploadEntry& entry : publish.entries()) toSend += entry.status == kUploadTransfer;
    QVERIFY(toSend > 10);
    QCOMPARE(dialog.StatusText(),
             QString("Compare: %1 files total, %2 to transfer").arg(total).arg(toSend));
    QCOMPARE(settings.ftpPort, std::to_string(server.port()));

    // One page ignored, so it is not sent.
    int ignored = -1;
    for (int row = 0; row < total && ignored < 0; ++row)
      if (publish.entries()[row].kind == UploadKind::Page &&
          publish.entries()[row].status == kUploadTransfer)
        ignored = row;
    QVERIFY(ignored >= 0);
    list->topLevelItem(ignored)->setSelected(true);
    dialog.IgnoreDuringUpload();
    QCOMPARE(publish.entries()[ignored].status, int(kUploadCurrent));
    QVERIFY(test::SaveShot(dialog, "publish-after-compare"));

    dialog.Upload();  // the disabled button's command says why nothing is sent
    QVERIFY(dialog.LogLines().contains(kNotConnected));
    QSignalSpy closed(&dialog, &ui::PublishDialog::sessionClosed);
    Child<QPushButton>(&dialog, "connectButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(publish.loggedIn() && !publish.busy(), 15000);
    QCOMPARE(Child<QPushButton>(&dialog, "connectButton")->text(), QString("Disconnect"));
    QVERIFY(upload->isEnabled());
    upload->click();
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() > 0, 30000);
    QCOMPARE(publish.failedCount(), 0);
    QVERIFY(publish.sentCount() > 10);  // a picture shown by two nodes is sent once
    QCOMPARE(dialog.StatusText(), QString("Published: %1 sent, 0 failed").arg(publish.sentCount()));
    for (const UploadEntry& entry : publish.entries()) QVERIFY(entry.status != kUploadTransfer);
    const fs::path remote = shop.home / "root" / "shop";
    const std::string ignoredPath = publish.entries()[ignored].path;
    QVERIFY(!fs::exists(remote / ignoredPath));
    QVERIFY(fs::exists(remote / "tolmi.js"));
    QVERIFY(test::SaveShot(dialog, "publish-after-upload"));

    // The password never reaches the log.
    const QStringList log = dialog.LogLines();
    // The engine masks the line before it is logged (hiding the length too).
    QVERIFY(log.contains("PASS ********"));
    QVERIFY(!log.join('\n').contains("secret"));
    QCOMPARE(Child<QPushButton>(&dialog, "connectButton")->text(), QString("&Connect"));

    // Everything sent: a second compare finds nothing; the ignored page, marked for
    // transfer, is the one row to send.
    Child<QPushButton>(&dialog, "compareButton")->click();
    QCOMPARE(dialog.StatusText(), QString("Compare: %1 files total, 0 to transfer").arg(total));
    list->clearSelection();
    list->topLevelItem(ignored)->setSelected(true);
    dialog.TransferDuringUpload();
    QCOMPARE(publish.entries()[ignored].status, int(kUploadTransfer));
    Child<QPushButton>(&dialog, "compareButton")->click();
    QCOMPARE(dialog.StatusText(), QString("Compare: %1 files total, 1 to transfer").arg(total));

    // Publish Now logs in and sends the selected row at once; Select All takes every row;
    // Hosting Info opens the hosting page in the browser.
    dialog.PublishNow();
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() > 1, 30000);
    QVERIFY(fs::exists(remote / ignoredPath));
    QCOMPARE(dialog.StatusText(), QString("Published: 1 sent, 0 failed"));
    Child<QPushButton>(&dialog, "compareButton")->click();
    QCOMPARE(dialog.StatusText(), QString("Compare: %1 files total, 0 to transfer").arg(total));
    dialog.SelectAll();
    QCOMPARE(list->selectedItems().size(), total);
    Child<QPushButton>(&dialog, "infoButton")->click();
    QCOMPARE(shop.launcher.launched.size(), std::size_t(1));
    QVERIFY(shop.launcher.launched[0].ends_with(HostingInfoPage(shop.session.config())));
  }

  void killedServerLeavesTheRestToSendAndTheWindowUsable() {
    Shop shop;
    auto slow = std::make_unique<test::PyFtpServer>(shop.home, "root", 64 * 1024);
    if (slow->port() == 0) QSKIP("pyftpdlib did not start (python3-pyftpdlib)");
    ui::EventLoopBridge bridge(shop.session.loop());
    BuildAndAim(shop, slow->port());
    AppConfig& config = shop.session.config();
    config.soundPath = (shop.home / "sounds").string();
    config.sounds[2] = "connect.wav";  // FtpConnect
    config.sounds[4] = "upload.wav";   // FtpUpload
    config.sounds[6] = "error.wav";    // FtpError
    RecordingPlayer player;
    ui::WindowContext ctx = shop.ctx;
    ctx.sounds = &player;
    ui::PublishDialog dialog(ctx, &shop.window);
    dialog.show();
    PublishSession& publish = dialog.publishSession();
    const auto& entries = publish.entries();
    // The third page grows to a megabyte: at 64 KB/s it is on its way for 16 s.
    int big = -1;
    for (int row = 0, pages = 0; row < static_cast<int>(entries.size()) && big < 0; ++row)
      if (entries[row].kind == UploadKind::Page && ++pages == 3) big = row;
    QVERIFY(big > 0);
    const fs::path web = shop.project.parent_path() / "Web";
    const std::string bigBytes(1 << 20, 'x');
    QVERIFY(WriteFileAtomic((web / entries[big].path).string(), bigBytes).ok());

    QSignalSpy closed(&dialog, &ui::PublishDialog::sessionClosed);
    Child<QPushButton>(&dialog, "compareButton")->click();
    Child<QPushButton>(&dialog, "connectButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(publish.loggedIn() && !publish.busy(), 15000);
    Child<QPushButton>(&dialog, "uploadButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(entries[big - 1].status == kUploadDone, 15000);
    QTest::qWait(500);  // the big page is on its way
    slow.reset();       // killed, as a crash would end it
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() > 0, 30000);

    // What was sent is recorded; nothing after it is.
    int left = 0;
    for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
      const UploadEntry& entry = entries[row];
      if (row < big) QVERIFY2(entry.status != kUploadTransfer, entry.path.c_str());
      if (row >= big) QVERIFY2(entry.status != kUploadDone, entry.path.c_str());
      left += entry.status == kUploadTransfer;
    }
    QCOMPARE(entries[big].node->publishedSize, 0);
    QVERIFY(left > 1);
    const QStringList log = dialog.LogLines();
    QVERIFY(log.contains(QString("Unable to upload '%1'").arg(entries[big].path.c_str())));
    QVERIFY2(log.last().contains("not sent"), qPrintable(log.join('\n')));
    QCOMPARE(dialog.StatusText(), QString("Published: %1 sent, %2 failed")
                                      .arg(publish.sentCount())
                                      .arg(publish.failedCount()));
    // The merchant's sounds: the login, one per file sent, the error.
    const std::string sounds = (shop.home / "sounds").string() + "/";
    QCOMPARE(player.played.front(), sounds + "connect.wav");
    QCOMPARE(std::count(player.played.begin(), player.played.end(), sounds + "upload.wav"),
             long(publish.sentCount()));
    QVERIFY(std::count(player.played.begin(), player.played.end(), sounds + "error.wav") > 0);
    QVERIFY(test::SaveShot(dialog, "publish-after-server-killed"));

    // The window goes on: a compare finds the rest, a new server takes it all.
    QCOMPARE(Child<QPushButton>(&dialog, "connectButton")->text(), QString("&Connect"));
    Child<QPushButton>(&dialog, "compareButton")->click();
    QCOMPARE(dialog.StatusText(),
             QString("Compare: %1 files total, %2 to transfer").arg(entries.size()).arg(left));
    test::PyFtpServer again(shop.home);
    QVERIFY(again.port() != 0);
    Child<QLineEdit>(&dialog, "portEdit")->setText(QString::number(again.port()));
    Child<QPushButton>(&dialog, "connectButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(publish.loggedIn() && !publish.busy(), 15000);
    const int failedBefore = publish.failedCount();
    Child<QPushButton>(&dialog, "uploadButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() > 1, 30000);
    QCOMPARE(publish.failedCount(), failedBefore);
    QVERIFY(ReadWholeFile((shop.home / "root/shop" / entries[big].path).string()) == bigBytes);
    Child<QPushButton>(&dialog, "compareButton")->click();
    QCOMPARE(dialog.StatusText(),
             QString("Compare: %1 files total, 0 to transfer").arg(entries.size()));
  }

  // The window and `tolmi-cli publish` send the same files with the same bytes, both
  // over the four connections the project keeps: every file once.
  void fourConnectionsSendWhatTolmiCliSends() {
    const QString cli = TOLMI_BINARY_DIR "/cli/tolmi-cli";
    if (!QFileInfo::exists(cli)) QSKIP("tolmi-cli is not built");
    test::TestHome cliHome;
    test::PyFtpServer cliServer(cliHome);
    if (cliServer.port() == 0) QSKIP("pyftpdlib did not start (python3-pyftpdlib)");
    const fs::path cliProject = test::CopySample("TeaShop", cliHome / "Projects" / "TeaShop");
    std::string text = ReadWholeFile(cliProject.string()).value_or("");
    text += "P_SERV=127.0.0.1\nP_PORT=" + std::to_string(cliServer.port()) +
            "\nP_USER=tolmi\nP_DIR=shop\nP_PASV=1\nP_CONN=4\n";
    QVERIFY(WriteFileAtomic(cliProject.string(), text).ok());
    QString cliLog;  // --verbose: the session log on stderr
    auto run = [&](const QStringList& args) {
      QProcess process;
      process.start(cli, QStringList{"--home", QString::fromStdString(cliHome.path().string())} +
                             args);
      process.waitForFinished(60000);
      cliLog = QString::fromUtf8(process.readAllStandardError());
      return QString::fromUtf8(process.readAllStandardOutput());
    };
    run({"build", QString::fromStdString(cliProject.string())});
    QStringList cliSent;
    for (const QString& line : run({"publish", QString::fromStdString(cliProject.string()),
                                    "--password", "secret", "--verbose"})
                                   .split('\n'))
      if (line.startsWith("Sent ")) cliSent << line.mid(5);
    QVERIFY(cliSent.size() > 10);
    QCOMPARE(cliLog.count("PASS ********"), 4);

    Shop shop;
    test::PyFtpServer server(shop.home);
    ui::EventLoopBridge bridge(shop.session.loop());
    BuildAndAim(shop, server.port());
    auto dialog = std::make_unique<ui::PublishDialog>(shop.ctx, &shop.window);
    dialog->show();
    auto* connections = Child<QSpinBox>(dialog.get(), "connectionsSpin");
    QCOMPARE(connections->value(), 1);
    QCOMPARE(connections->maximum(), 16);
    connections->setValue(4);
    PublishSession& publish = dialog->publishSession();
    QSignalSpy closed(dialog.get(), &ui::PublishDialog::sessionClosed);
    Child<QPushButton>(dialog.get(), "compareButton")->click();
    Child<QPushButton>(dialog.get(), "connectButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(publish.loggedIn() && !publish.busy(), 15000);
    Child<QPushButton>(dialog.get(), "uploadButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() > 0, 30000);
    QVERIFY(test::SaveShot(*dialog, "publish-four-connections"));
    const QStringList log = dialog->LogLines();
    QCOMPARE(log.count("PASS ********"), 4);
    QSet<QString> stored;
    for (const QString& line : log)
      if (line.startsWith("STOR ")) stored << line;
    QCOMPARE(stored.size(), int(cliSent.size()));
    QCOMPARE(log.filter(QRegularExpression("^STOR ")).size(), int(cliSent.size()));
    QCOMPARE(publish.sentCount(), int(cliSent.size()));
    const auto windowTree = Tree(shop.home / "root/shop");
    QCOMPARE(windowTree.size(), size_t(cliSent.size()));
    QVERIFY(windowTree == Tree(cliHome / "root/shop"));

    // The setting is kept with the account: the project file and the next window.
    QCOMPARE(shop.session.project().settings.ftpConnections, 4);
    QVERIFY(ProjectFileText(shop.session.project(), 1700000000, 1).find("P_CONN=4") !=
            std::string::npos);
    dialog.reset();
    ui::PublishDialog again(shop.ctx, &shop.window);
    QCOMPARE(Child<QSpinBox>(&again, "connectionsSpin")->value(), 4);
  }
};

QTEST_MAIN(PublishTest)
#include "PublishTest.moc"
