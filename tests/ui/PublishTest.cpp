// The Publish/Upload window against a real FTP server (pyftpdlib) on loopback:
// Compare counts, Ignore and Transfer, Upload, a second Compare that finds
// nothing to send, and the password masked in the log.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "builder/BuildDriver.h"
#include "tests/net/NetTestSupport.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/publish/PublishDialog.h"

using namespace tolmi;
namespace fs = std::filesystem;

using test::Child;
using Shop = test::SampleShop;

class PublishTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void compareUploadAndCompareAgain() {
    Shop shop;
    test::PyFtpServer server(shop.home);
    if (server.port() == 0) QSKIP("pyftpdlib did not start (python3-pyftpdlib)");
    ui::EventLoopBridge bridge(shop.session.loop());
    std::unique_ptr<BuildSession> build = shop.session.MakeBuildSession();
    build->buildDir = (shop.project.parent_path() / "Web").string();
    QCOMPARE(RunBuild(*build), BuildOutcome::Completed);
    StoreSettings& settings = shop.session.project().settings;
    settings.ftpServer = "127.0.0.1";
    settings.ftpPort.clear();
    settings.ftpUser = "tolmi";
    settings.ftpPassword = "secret";
    settings.ftpDir = "shop";
    settings.passiveFtp = true;

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
  }
};

QTEST_MAIN(PublishTest)
#include "PublishTest.moc"
