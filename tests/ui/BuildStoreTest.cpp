// The Build Store window on a copy of the sample store: a build through the
// window gives the log lines and files of the core build tolmi-cli runs, and
// Cancel stops after the current page with the completion line still last.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QElapsedTimer>
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
    shop.session.config().server = "http://127.0.0.1:8080/";  // the order form's action
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
    QCOMPARE(progress->value(), 0);
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
    shop.session.config().server = "http://127.0.0.1:8080/";
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

  // The window stays alive through a 10,000-product build: the walk hands the event
  // loop a pass after every page, so a timer, painting and Cancel are never held up by
  // more than the page being made. The gaps between timer ticks are counted in pages
  // made, not in milliseconds, so a loaded machine cannot fail the test; the longest
  // gap in time is printed for a person to read.
  void theWindowLivesThroughATenThousandProductBuild() {
    Shop shop;
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
    ui::EventLoopBridge bridge(shop.session.loop());
    ui::BuildStoreDialog dialog(shop.ctx, {});
    dialog.show();
    Child<QLineEdit>(&dialog, "buildDirEdit")
        ->setText(QString::fromStdString((shop.home / "web").string()));
    auto* progress = Child<QProgressBar>(&dialog, "progressBar");
    // Pages made (progress steps), the pages made since the last tick of a zero-interval
    // timer and the most of them, and the progress values painted, all while the build is on.
    int pages = 0, sinceTick = 0, mostBetweenTicks = 0, ticks = 0;
    QSet<int> painted;
    connect(progress, &QProgressBar::valueChanged, &dialog, [&](int value) {
      if (!dialog.building() || value == 0) return;
      ++pages;
      mostBetweenTicks = std::max(mostBetweenTicks, ++sinceTick);
    });
    QTimer ticker;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, &dialog, [&] {
      if (!dialog.building()) return;
      ++ticks;
      sinceTick = 0;
    });
    QElapsedTimer clock;
    qint64 longestGap = 0, lastTick = 0;
    QTimer hundred;
    hundred.setInterval(100);
    connect(&hundred, &QTimer::timeout, &dialog, [&] {
      if (!dialog.building()) return;
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
      if (dialog.building()) painted.insert(progress->value());
    };
    progress->installEventFilter(&spy);
    ticker.start();
    hundred.start();
    clock.start();
    Child<QPushButton>(&dialog, "buildButton")->click();
    const qint64 took = clock.elapsed();
    ticker.stop();
    hundred.stop();
    qInfo("%d pages in %lld ms; longest gap between ticks of the 100 ms timer: %lld ms", pages,
          took, longestGap);
    QVERIFY2(dialog.LogLines().last().startsWith("Store Build Complete. ("),
             qPrintable(dialog.LogLines().join('\n').right(600)));
    QVERIFY(pages >= 10100);
    QVERIFY(ticks >= pages - 1);
    QVERIFY2(mostBetweenTicks <= 1, qPrintable(QString("%1 pages without a tick").arg(mostBetweenTicks)));
    QVERIFY(fs::exists(shop.home / "web" / "tea9999.html"));
    // The bar is painted throughout: at every percent it shows (it repaints only when
    // what it shows changes).
    QSet<int> percents;
    for (int value : painted) percents.insert(value * 100 / progress->maximum());
    QVERIFY2(percents.size() >= 95,
             qPrintable(QString("%1 percents painted, %2 pages").arg(percents.size()).arg(pages)));
  }

  // The "-R" start option: the window is modal and the command returns once it closes;
  // from the menu it is modeless and a second command raises the open one.
  void modalForTheStartOptionModelessOtherwise() {
    Shop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    bool drove = false;
    test::WhenModal<ui::BuildStoreDialog>([&](ui::BuildStoreDialog* d) {
      QVERIFY(d->isModal());
      Child<QPushButton>(d, "buildButton")->click();
      drove = d->LogLines().last().startsWith("Store Build Complete.");
      Child<QPushButton>(d, "cancelButton")->click();
    });
    ui::BuildStoreCommand(shop.ctx, true, {});
    QVERIFY(drove);
    QVERIFY(!shop.window.findChild<ui::BuildStoreDialog*>());
    QCOMPARE(shop.launcher.launched.size(), size_t(1));

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
