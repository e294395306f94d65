// The Build Store window on a copy of the sample store: a build through the
// window gives the log lines and files of the core build tolmi-cli runs, and
// Cancel stops after the current page with the completion line still last.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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

  // A timer and the window's painting run while the walk goes, because the walk hands
  // control to the event loop after every page; nothing here measures time.
  void timersAndPaintingRunBetweenThePagesOfABuild() {
    Shop shop;
    StoreProject& project = shop.session.project();
    for (int c = 0; c < 4; ++c) {
      auto category = CreateNode();
      category->title = "Range " + std::to_string(c);
      category->file = "range" + std::to_string(c) + ".html";
      StoreNode* parent = AppendNode(project, nullptr, std::move(category));
      for (int p = 0; p < 50; ++p) {
        auto product = CreateNode();
        product->kind = NodeKind::Product;
        product->title = "Tea " + std::to_string(c) + "-" + std::to_string(p);
        product->file = "tea" + std::to_string(c) + "-" + std::to_string(p) + ".html";
        product->cost = "4.50";
        product->code = "T" + std::to_string(c * 100 + p);
        AppendNode(project, parent, std::move(product));
      }
    }
    ui::EventLoopBridge bridge(shop.session.loop());
    ui::BuildStoreDialog dialog(shop.ctx, {});
    dialog.show();
    Child<QLineEdit>(&dialog, "buildDirEdit")
        ->setText(QString::fromStdString((shop.home / "web").string()));
    auto* progress = Child<QProgressBar>(&dialog, "progressBar");
    // Pages made while the walk runs, the ticks of a zero-interval timer and the
    // progress values painted, all counted only while the build is on.
    int pages = 0, ticks = 0;
    QSet<int> painted;
    connect(progress, &QProgressBar::valueChanged, &dialog, [&] { pages += dialog.building(); });
    QTimer ticker;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, &dialog, [&] { ticks += dialog.building(); });
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
    Child<QPushButton>(&dialog, "buildButton")->click();
    ticker.stop();
    QVERIFY2(dialog.LogLines().last().startsWith("Store Build Complete."),
             qPrintable(dialog.LogLines().join('\n').right(600)));
    QVERIFY(pages > 200);
    // Every page but the last is followed by a pass of the event loop.
    QVERIFY2(ticks >= pages - 1, qPrintable(QString("%1 ticks, %2 pages").arg(ticks).arg(pages)));
    // The bar is painted throughout: early, late and many times between (Qt may merge
    // two updates into one paint).
    const QList<int> values = painted.values();
    QVERIFY2(painted.size() >= pages / 3 && *std::min_element(values.begin(), values.end()) <= 2 &&
                 *std::max_element(values.begin(), values.end()) >= pages - 2,
             qPrintable(QString("%1 values painted, %2 pages").arg(painted.size()).arg(pages)));
  }
};

QTEST_MAIN(BuildStoreTest)
#include "BuildStoreTest.moc"
