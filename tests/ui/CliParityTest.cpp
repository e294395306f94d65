// The desktop program and tolmi-cli share one application session: the same edits
// made through the main window and through `tolmi-cli add` save the same project file.
#include <QLineEdit>
#include <QtTest>

#include "app/CommandRules.h"
#include "tests/cli/CliRunner.h"
#include "tests/ui/support/MainWindowFixture.h"
#include "util/Files.h"

using namespace tolmi;
using test::WindowShop;

namespace {

// The save time differs between the test clock and the CLI's real one.
std::string WithoutTime(std::string bytes) {
  const std::size_t at = bytes.find("TIME=");
  if (at != std::string::npos) bytes.erase(at, bytes.find('\n', at) - at);
  return bytes;
}

}  // namespace

class CliParityTest : public QObject {
  Q_OBJECT

 private slots:
  void windowEditsSaveWhatTheCliSaves() {
    // The CLI: a category inside "Green Tea", then a product inside it.
    test::TestHome cliHome;
    const std::filesystem::path cliProject =
        test::CopySample("TeaShop", cliHome / "Projects" / "TeaShop");
    cli::CliRun category = cli::Cli(
        cliHome, {"add", cliProject.string(), "category", "--title", "Oolong", "--under",
                       "green.html"});
    QCOMPARE(category.code, 0);
    const std::string categoryFile = category.out.substr(0, category.out.find('\n'));
    QCOMPARE(cli::Cli(cliHome, {"add", cliProject.string(), "product", "--under", categoryFile})
                 .code,
             0);

    // The window: the same edits by menu commands and the label editor, then Save.
    WindowShop shop;
    shop.Show();
    shop.window->SelectNode(shop.Node("Green Tea"));
    QVERIFY(shop.Trigger(kCmdNewCategory));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Oolong"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(shop.session.editor().current()->file, categoryFile);
    QVERIFY(shop.Trigger(kCmdNewProduct));
    QVERIFY(shop.Trigger(kCmdSave));

    const std::string fromCli = ReadWholeFile(cliProject.string()).value_or("cli");
    const std::string fromWindow = ReadWholeFile(shop.project.string()).value_or("window");
    QVERIFY(fromCli.find("NODE0=Oolong\n") != std::string::npos);
    QCOMPARE(WithoutTime(fromWindow), WithoutTime(fromCli));
  }
};

QTEST_MAIN(CliParityTest)
#include "CliParityTest.moc"
