// The Build Store window on a copy of the sample store: a build through the
// window gives the log lines and files of the core build tolmi-cli runs, and
// Cancel stops after the current page with the completion line still last.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <map>

#include "builder/BuildDialog.h"
#include "builder/BuildDriver.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/EventLoopBridge.h"
#include "ui/build/BuildStoreDialog.h"

using namespace tolmi;
namespace fs = std::filesystem;

using test::Child;
using Shop = test::SampleShop;

namespace {

// Every file below dir (relative name to bytes).
std::map<std::string, std::string> Files(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), dir).string()] =
          ReadWholeFile(entry.path().string()).value_or("");
  return files;
}

QStringList Replaced(QStringList lines, const QString& from, const QString& to) {
  for (QString& line : lines) line.replace(from, to);
  return lines;
}

}  // namespace

class BuildStoreTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }

  void buildMatchesTheCoreBuildLineForLineAndByteForByte() {
    Shop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    ui::BuildStoreDialog dialog(shop.ctx, {});
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Build Store"));
    auto* dir = Child<QLineEdit>(&dialog, "buildDirEdit");
    auto* build = Child<QPushButton>(&dialog, "buildButton");
    auto* progress = Child<QProgressBar>(&dialog, "progressBar");
    const StoreSettings& settings = shop.session.project().settings;
    QCOMPARE(dir->text().toStdString(), BuildDialogDefaults(settings).buildDir);
    QCOMPARE(Child<QLineEdit>(&dialog, "titleEdit")->text().toStdString(), settings.storeTitle);
    QVERIFY(Child<QRadioButton>(&dialog, "allRadio")->isChecked());
    QCOMPARE(dialog.LogLines(), QStringList{QString::fromStdString(ReadyLine())});
    QCOMPARE(progress->maximum(), BuildProgressMaximum(shop.session.project()));
    dir->clear();
    QVERIFY(!build->isEnabled());

    const fs::path windowWeb = shop.home / "window-web";
    dir->setText(QString::fromStdString(windowWeb.string()));
    QVERIFY(build->isEnabled());
    QSignalSpy finished(&dialog, &ui::BuildStoreDialog::buildFinished);
    build->click();
    QCOMPARE(finished.count(), 1);
    const QStringList lines = dialog.LogLines();
    QVERIFY(lines.last().startsWith("Store Build Complete. ("));
    QCOMPARE(progress->value(), progress->maximum());
    QCOMPARE(Child<QLabel>(&dialog, "fileLabel")->text(), QString());
    QCOMPARE(shop.session.project().settings.rebuildDir, windowWeb.string());
    QCOMPARE(shop.launcher.launched.size(), size_t(1));
    QVERIFY(test::SaveShot(dialog, "build-store-after-build"));

    // The same build as tolmi-cli runs it, into another folder.
    std::unique_ptr<BuildSession> reference = shop.session.MakeBuildSession();
    const fs::path cliWeb = shop.home / "cli-web";
    reference->buildDir = cliWeb.string();
    const Clock* clock = &shop.session.clock();
    reference->now = [clock] { return clock->Now(); };
    QStringList printed;
    reference->log.onLine = [&printed](const std::string& line) {
      printed << QString::fromStdString(line);
    };
    QCOMPARE(RunBuild(*reference), BuildOutcome::Completed);
    QCOMPARE(Replaced(lines, QString::fromStdString(windowWeb.string()), "WEB"),
             Replaced(printed, QString::fromStdString(cliWeb.string()), "WEB"));
    const auto built = Files(windowWeb);
    QVERIFY(built.size() > 10);
    QVERIFY(built == Files(cliWeb));
  }

  void cancelStopsAfterThePageWithTheCompletionLineLast() {
    Shop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    ui::BuildStoreDialog dialog(shop.ctx, {});
    dialog.show();
    const fs::path web = shop.home / "web";
    Child<QLineEdit>(&dialog, "buildDirEdit")->setText(QString::fromStdString(web.string()));
    auto* progress = Child<QProgressBar>(&dialog, "progressBar");
    auto* cancel = Child<QPushButton>(&dialog, "cancelButton");
    QList<bool> othersEnabled;
    bool clicked = false;
    int highest = 0;
    // After the first page, Cancel is clicked through the event queue: the walk's
    // pump delivers it before the next page.
    connect(progress, &QProgressBar::valueChanged, &dialog, [&](int value) {
      highest = std::max(highest, value);
      if (value != 1 || clicked) return;
      clicked = true;
      for (const char* name : {"buildButton", "publishButton", "optionsButton", "helpButton",
                               "browseButton", "titleEdit"})
        othersEnabled << Child<QWidget>(&dialog, name)->isEnabled();
      QVERIFY(cancel->isEnabled());
      QVERIFY(test::SaveShot(dialog, "build-store-during-build"));
      QTimer::singleShot(0, cancel, &QPushButton::click);
    });
    Child<QPushButton>(&dialog, "buildButton")->click();
    QVERIFY(clicked);
    QCOMPARE(othersEnabled, QList<bool>(6, false));
    const QStringList lines = dialog.LogLines();
    QVERIFY(lines.last().startsWith("Store Build Complete."));
    QVERIFY(!dialog.isVisible());  // Cancel closed the window once the build ended
    QCOMPARE(highest, 1);  // no page after the one Cancel was clicked on
  }

};

QTEST_MAIN(BuildStoreTest)
#include "BuildStoreTest.moc"
