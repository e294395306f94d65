// The Build Store window: a build gives the log lines and files of the core build tolmi-cli
// runs; Cancel stops after the current page; a 10,000-product build keeps the window alive;
// modal for the "-R" start option. The Publish/Upload window against a real FTP server
// (pyftpdlib) on loopback: compare, upload and their commands; the server killed mid-upload;
// four connections as tolmi-cli.
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/Config.h"
#include "builder/BuildDialog.h"
#include "builder/BuildDriver.h"
#include "project/ProjectFile.h"
#include "tests/net/NetTestSupport.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/build/BuildStoreDialog.h"
#include "ui/publish/PublishDialog.h"
#include "util/Files.h"

using namespace tolmi;
namespace fs = std::filesystem;
using test::Child;
using Shop = test::SampleShop;

namespace {

QString Web(QStringList lines, const fs::path& web) {
  return lines.join('\n').replace(QString::fromStdString(web.string()), "WEB");
}

// A shop whose build window is open on a build folder "web" in the home.
struct BuildShop : test::SampleShop {
  ui::EventLoopBridge bridge{session.loop()};
  std::unique_ptr<ui::BuildStoreDialog> dialog;
  QProgressBar* progress = nullptr;
  QString shownDir;  // the build folder the window offered
  const fs::path web = home / "web";

  void Open() {
    session.config().server = "http://127.0.0.1:8080/";  // the order form's action
    dialog = std::make_unique<ui::BuildStoreDialog>(ctx, std::vector<StoreNode*>{});
    dialog->show();
    auto* dir = Child<QLineEdit>(dialog.get(), "buildDirEdit");
    shownDir = dir->text();
    dir->setText(QString::fromStdString(web.string()));
    progress = Child<QProgressBar>(dialog.get(), "progressBar");
  }
  void Build() { Child<QPushButton>(dialog.get(), "buildButton")->click(); }
};

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

struct RecordingPlayer : SoundPlayer {
  void Play(const std::string& file) override { played.push_back(file); }
  std::vector<std::string> played;
};

}  // namespace

class BuildStoreTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void buildMatchesTheCoreBuildLineForLineAndByteForByte() {
    BuildShop shop;
    const StoreSettings& settings = shop.session.project().settings;
    shop.Open();
    QCOMPARE(shop.shownDir.toStdString(), BuildDialogDefaults(settings).buildDir);
    ui::BuildStoreDialog& dialog = *shop.dialog;
    QCOMPARE(dialog.windowTitle(), QString("Build Store"));
    QCOMPARE(Child<QLineEdit>(&dialog, "titleEdit")->text().toStdString(), settings.storeTitle);
    QVERIFY(Child<QRadioButton>(&dialog, "allRadio")->isChecked());
    QCOMPARE(dialog.LogLines(), QStringList{QString::fromStdString(ReadyLine())});
    QCOMPARE(shop.progress->maximum(), BuildProgressMaximum(shop.session.project()));
    auto* dir = Child<QLineEdit>(&dialog, "buildDirEdit");
    dir->clear();
    QVERIFY(!Child<QPushButton>(&dialog, "buildButton")->isEnabled());
    dir->setText(QString::fromStdString(shop.web.string()));
    QVERIFY(Child<QPushButton>(&dialog, "buildButton")->isEnabled());
    QSignalSpy finished(&dialog, &ui::BuildStoreDialog::buildFinished);
    shop.Build();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(shop.progress->value(), 0);
    QCOMPARE(shop.session.project().settings.rebuildDir, shop.web.string());
    QCOMPARE(shop.launcher.launched.size(), size_t(1));
    QVERIFY(test::SaveShot(dialog, "build-store-after-build"));

    // The same build as tolmi-cli runs it, into another folder.
    std::unique_ptr<BuildSession> reference = shop.session.MakeBuildSession();
    const fs::path cliWeb = shop.home / "cli-web";
    reference->buildDir = cliWeb.string();
    const Clock* clock = &shop.session.clock();
    reference->now = [clock] { return clock->Now(); };
    QStringList printed;
    reference->log.onLine = [&printed](const std::string& l) {
      printed << QString::fromStdString(l);
    };
    QCOMPARE(RunBuild(*reference), BuildOutcome::Completed);
    QCOMPARE(Web(dialog.LogLines(), shop.web), Web(printed, cliWeb));
    const auto built = test::FilesBelow(shop.web);
    QVERIFY(built.size() > 10);
    QVERIFY(built == test::FilesBelow(cliWeb));
  }

  // Cancel, clicked through the event queue after the first page, is delivered by the
  // walk's pump before the next page; the other controls are off while the build runs.
  void cancelStopsAfterThePageWithTheCompletionLineLast() {
    BuildShop shop;
    shop.Open();
    ui::BuildStoreDialog* dialog = shop.dialog.get();
    QList<bool> othersEnabled;
    int highest = 0;
    connect(shop.progress, &QProgressBar::valueChanged, dialog, [&](int value) {
      highest = std::max(highest, value);
      if (value != 1 || !othersEnabled.isEmpty()) return;
      for (const char* name : {"buildButton", "publishButton", "optionsButton", "helpButton",
                               "browseButton", "titleEdit", "cancelButton"})
        othersEnabled << Child<QWidget>(dialog, name)->isEnabled();
      QVERIFY(test::SaveShot(*dialog, "build-store-during-build"));
      QTimer::singleShot(0, Child<QPushButton>(dialog, "cancelButton"), &QPushButton::click);
    });
    shop.Build();
    QCOMPARE(othersEnabled, (QList<bool>{false, false, false, false, false, false, true}));
    QVERIFY(dialog->LogLines().last().startsWith("Store Build Complete."));
    QVERIFY(!dialog->isVisible());  // Cancel closed the window once the build ended
    QCOMPARE(highest, 1);           // no page after the one Cancel was clicked on
  }

  // The window stays alive through a 10,000-product build: the walk hands the event loop
  // a pass after every page, so a timer, painting and Cancel wait for one page at most.
  // Gaps are counted in pages, not milliseconds, so a loaded machine cannot fail it; the
  // longest gap of a 100 ms timer is printed for a person to read.
  void theWindowLivesThroughATenThousandProductBuild() {
    BuildShop shop;
    StoreProject& project = shop.session.project();
    for (int c = 0; c < 100; ++c) {
      auto category = CreateNode();
      category->title = "Range " + std::to_string(c);
      category->file = "range" + std::to_string(c) + ".html";
      StoreNode* parent = AppendNode(project, nullptr, std::move(category));
      for (int p = 0; p < 100; ++p) {
        const std::string n = std::to_string(c * 100 + p);
        auto product = CreateNode();
        product->kind = NodeKind::Product;
        product->title = "Tea " + n;
        product->file = "tea" + n + ".html";
        product->cost = "4.50";
        product->code = "T" + n;
        AppendNode(project, parent, std::move(product));
      }
    }
    shop.Open();
    ui::BuildStoreDialog* dialog = shop.dialog.get();
    int pages = 0, sinceTick = 0, mostBetweenTicks = 0, ticks = 0;
    QSet<int> painted;
    connect(shop.progress, &QProgressBar::valueChanged, dialog, [&](int value) {
      if (!dialog->building() || value == 0) return;
      ++pages;
      mostBetweenTicks = std::max(mostBetweenTicks, ++sinceTick);
    });
    QTimer ticker, hundred;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, dialog, [&] {
      if (dialog->building()) ++ticks, sinceTick = 0;
    });
    QElapsedTimer clock;
    qint64 longestGap = 0, lastTick = 0;
    hundred.setInterval(100);
    connect(&hundred, &QTimer::timeout, dialog, [&] {
      if (!dialog->building()) return;
      longestGap = std::max(longestGap, clock.elapsed() - lastTick);
      lastTick = clock.elapsed();
    });
    struct PaintSpy : QObject {
      std::function<void()> seen;
      bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) seen();
        return false;
      }
    } spy;
    spy.seen = [&] {
      if (dialog->building()) painted.insert(shop.progress->value());
    };
    shop.progress->installEventFilter(&spy);
    ticker.start();
    hundred.start();
    clock.start();
    shop.Build();
    qInfo("%d pages in %lld ms; longest gap between ticks of the 100 ms timer: %lld ms", pages,
          clock.elapsed(), longestGap);
    QVERIFY(dialog->LogLines().last().startsWith("Store Build Complete. ("));
    QVERIFY(pages >= 10100);
    QVERIFY(ticks >= pages - 1);
    QVERIFY2(mostBetweenTicks <= 1,
             qPrintable(QString("%1 pages without a tick").arg(mostBetweenTicks)));
    QVERIFY(fs::exists(shop.web / "tea9999.html"));
    // The bar is painted throughout: at every percent it shows.
    QSet<int> percents;
    for (int value : painted) percents.insert(value * 100 / shop.progress->maximum());
    QVERIFY2(percents.size() >= 95,
             qPrintable(QString("%1 percents painted").arg(percents.size())));
  }

  // From the "-R" start option the window is modal and the command returns once it closes;
  // from the menu it is modeless and a second command raises the open one.
  void modalForTheStartOptionModelessOtherwise() {
    Shop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    bool drove = false;
    test::WhenModal<ui::BuildStoreDialog>([&](ui::BuildStoreDialog* d) {
      Child<QPushButton>(d, "buildButton")->click();
      drove = d->LogLines().last().startsWith("Store Build Complete.");
      Child<QPushButton>(d, "cancelButton")->click();
    });
    ui::BuildStoreCommand(shop.ctx, true, {});
    QVERIFY(drove);
    QVERIFY(!shop.window.findChild<ui::BuildStoreDialog*>());

    ui::BuildStoreCommand(shop.ctx, false, {});
    auto* open = shop.window.findChild<ui::BuildStoreDialog*>();
    QVERIFY(open && open->isVisible() && !open->isModal());
    ui::BuildStoreCommand(shop.ctx, false, {});
    QCOMPARE(shop.window.findChildren<ui::BuildStoreDialog*>().size(), 1);
    // Options opens the Preferences on the store options; Publish the Publish/Upload window.
    bool storeOptionsShown = false;
    test::WhenModal<QDialog>([&storeOptionsShown](QDialog* d) {
      storeOptionsShown = Child<QWidget>(d, "storeOptionsPage")->isVisible();
      d->reject();
    });
    Child<QPushButton>(open, "optionsButton")->click();
    QVERIFY(storeOptionsShown);
    Child<QPushButton>(open, "publishButton")->click();
    auto* publish = open->findChild<QDialog*>("PublishDialog");
    QVERIFY(publish && publish->isVisible());
    QCOMPARE(publish->windowTitle(), QString("Publish/Upload Store"));
    publish->close();
    open->close();
  }

  void publishCompareUploadAndCompareAgain() {
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
    QVERIFY(publish.sentCount() > 10);  // a picture shown by two nodes is sent once
    QCOMPARE(dialog.StatusText(), QString("Published: %1 sent, 0 failed").arg(publish.sentCount()));
    for (const UploadEntry& entry : publish.entries()) QVERIFY(entry.status != kUploadTransfer);
    const fs::path remote = shop.home / "root" / "shop";
    const std::string ignoredPath = publish.entries()[ignored].path;
    QVERIFY(!fs::exists(remote / ignoredPath));
    QVERIFY(test::SaveShot(dialog, "publish-after-upload"));

    // The password never reaches the log: the line is masked, its length hidden too.
    const QStringList log = dialog.LogLines();
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
    dialog.SelectAll();
    QCOMPARE(list->selectedItems().size(), total);
    Child<QPushButton>(&dialog, "infoButton")->click();
    QVERIFY(shop.launcher.launched.at(0).ends_with(HostingInfoPage(shop.session.config())));
  }

  void publishKilledServerLeavesTheRestToSendAndTheWindowUsable() {
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
    QVERIFY(left > 1);
    const QStringList log = dialog.LogLines();
    QVERIFY(log.contains(QString("Unable to upload '%1'").arg(entries[big].path.c_str())));
    QVERIFY2(log.last().contains("not sent"), qPrintable(log.join('\n')));
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
    Child<QPushButton>(&dialog, "uploadButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(closed.count() > 1, 30000);
    QVERIFY(ReadWholeFile((shop.home / "root/shop" / entries[big].path).string()) == bigBytes);
    Child<QPushButton>(&dialog, "compareButton")->click();
    QCOMPARE(dialog.StatusText(),
             QString("Compare: %1 files total, 0 to transfer").arg(entries.size()));
  }

  // The window and `tolmi-cli publish` send the same files with the same bytes, both
  // over the four connections the project keeps: every file once.
  void publishFourConnectionsSendWhatTolmiCliSends() {
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
      process.start(cli,
                    QStringList{"--home", QString::fromStdString(cliHome.path().string())} + args);
      process.waitForFinished(60000);
      cliLog = QString::fromUtf8(process.readAllStandardError());
      return "\n" + QString::fromUtf8(process.readAllStandardOutput());
    };
    run({"build", QString::fromStdString(cliProject.string())});
    const qsizetype cliSent = run({"publish", QString::fromStdString(cliProject.string()),
                                   "--password", "secret", "--verbose"})
                                  .count("\nSent ");
    QVERIFY(cliSent > 10);
    QCOMPARE(cliLog.count("PASS ********"), 4);

    Shop shop;
    test::PyFtpServer server(shop.home);
    ui::EventLoopBridge bridge(shop.session.loop());
    BuildAndAim(shop, server.port());
    auto dialog = std::make_unique<ui::PublishDialog>(shop.ctx, &shop.window);
    dialog->show();
    auto* connections = Child<QSpinBox>(dialog.get(), "connectionsSpin");
    QCOMPARE(connections->value(), 1);
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
    // Every file once: as many uploads as tolmi-cli's, and the same files.
    QCOMPARE(log.filter(QRegularExpression("^STOR ")).size(), cliSent);
    QVERIFY(test::FilesBelow(shop.home / "root/shop") == test::FilesBelow(cliHome / "root/shop"));

    // The setting is kept with the account: the project file and the next window.
    QVERIFY(ProjectFileText(shop.session.project(), 1700000000, 1).find("P_CONN=4") !=
            std::string::npos);
    dialog.reset();
    ui::PublishDialog again(shop.ctx, &shop.window);
    QCOMPARE(Child<QSpinBox>(&again, "connectionsSpin")->value(), 4);
  }
};

QTEST_MAIN(BuildStoreTest)
#include "BuildStoreTest.moc"
