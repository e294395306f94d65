// The Build Store window on a copy of the sample store: a build through the window gives
// the log lines and files of the core build tolmi-cli runs; Cancel stops after the current
// page with the completion line still last; modal for the "-R" start option, modeless
// otherwise.
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
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
    QVERIFY2(mostBetweenTicks <= 1, qPrintable(QString("%1 pages without a tick").arg(mostBetweenTicks)));
    QVERIFY(fs::exists(shop.web / "tea9999.html"));
    // The bar is painted throughout: at every percent it shows.
    QSet<int> percents;
    for (int value : painted) percents.insert(value * 100 / shop.progress->maximum());
    QVERIFY2(percents.size() >= 95, qPrintable(QString("%1 percents painted").arg(percents.size())));
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
