// The Build Store window on a copy of the sample store: a build through the window gives
// the log lines and files of the core build tolmi-cli runs; Cancel stops after the current
// page with the completion line still last; modal for the "-R" start option, modeless
// otherwise.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
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
    QVERIFY(dialog.LogLines().last().startsWith("Store Build Complete. ("));
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
    const auto built = Files(shop.web);
    QVERIFY(built.size() > 10);
    QVERIFY(built == Files(cliWeb));
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

  // From the "-R" start option the window is modal and the command returns once it closes;
  // from the menu it is modeless and a second command raises the open one.
  void modalForTheStartOptionModelessOtherwise() {
    test::SampleShop shop;
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
};

QTEST_MAIN(BuildStoreTest)
#include "BuildStoreTest.moc"
