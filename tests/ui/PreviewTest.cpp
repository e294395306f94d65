// Preview from the main window: the open property page is committed first, the page is
// built into the preview folder and opened; an open Build Store window keeps its live
// log (the preview's messages land there) and builds as before afterwards.
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "tests/ui/support/MainWindowFixture.h"
#include "ui/EventLoopBridge.h"
#include "ui/NodePage.h"
#include "ui/build/BuildStoreDialog.h"
#include "util/Files.h"

using namespace tolmi;
namespace fs = std::filesystem;
using test::WindowShop;

class PreviewTest : public QObject {
  Q_OBJECT
 private slots:
  void previewCommitsThePageAndReportsToTheOpenBuildLog() {
    WindowShop shop;
    ui::EventLoopBridge bridge(shop.session.loop());
    shop.session.config().server = "http://127.0.0.1:1/orders";
    shop.Show();
    QVERIFY(shop.Trigger(kCmdBuildStore));
    auto* build = shop.window->findChild<ui::BuildStoreDialog*>("BuildStoreDialog");
    QVERIFY(build && build->isVisible());

    StoreNode* product = shop.Node("Sencha Yabukita");
    shop.window->SelectNode(product);
    ui::NodePage* page = shop.window->nodePage();
    // Typed but not yet applied (the box still has the focus in a real session).
    page->findChild<QPlainTextEdit*>("bodyEdit")->setPlainText("Picked in the first flush.");
    page->findChild<QLineEdit*>("imageEdit")->setText("pics/not-there.gif");
    QVERIFY(shop.Trigger(kCmdPreview));
    QCOMPARE(product->body, std::string("Picked in the first flush."));
    const fs::path folder = shop.home / "Temp" / "TeaShop";
    QCOMPARE(shop.launcher.launched.size(), std::size_t{1});
    QVERIFY(shop.launcher.launched[0].ends_with(" " + (folder / "ftmp.htm").string()));
    QVERIFY(ReadWholeFile((folder / product->file).string())
                .value_or("")
                .find("Picked in the first flush.") != std::string::npos);
    const QStringList lines = build->LogLines();
    QVERIFY2(lines.size() == 2 && lines[1].startsWith("warning: ") &&
                 lines[1].contains("unable to read image file") &&
                 lines[1].contains("not-there.gif"),
             qPrintable(lines.join('\n')));

    // The window's own build still reports every line.
    build->findChild<QLineEdit*>("buildDirEdit")
        ->setText(QString::fromStdString((shop.home / "web").string()));
    build->findChild<QPushButton*>("buildButton")->click();
    QVERIFY(build->LogLines().contains(lines[1]));
    QVERIFY(build->LogLines().last().startsWith("Store Build Complete. (0 errors, 1 warnings)"));
    build->close();
  }
};

QTEST_MAIN(PreviewTest)
#include "PreviewTest.moc"
