// Editing the store tree in the main window: keys, the Edit menu by focus, new nodes, delete,
// drop and Find; the model always shows the core's order without a reset. New nodes save as
// `tolmi-cli add` saves them.
#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "app/CommandRules.h"
#include "tests/cli/CliRunner.h"
#include "tests/ui/support/SampleShop.h"
#include "ui/NodeListModel.h"
#include "ui/ProjectTreeModel.h"

using namespace tolmi;
using test::WindowShop;

namespace {

// The nodes a tree model shows, depth first (a node before its children).
std::vector<StoreNode*> ModelOrder(const QAbstractItemModel& model,
                                   const QModelIndex& parent = {}) {
  std::vector<StoreNode*> out;
  for (int row = 0; row < model.rowCount(parent); ++row) {
    QModelIndex index = model.index(row, 0, parent);
    out.push_back(static_cast<StoreNode*>(index.internalPointer()));
    std::vector<StoreNode*> below = ModelOrder(model, index);
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}

}  // namespace

class TreeEditingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<WindowShop> shop_;
  std::unique_ptr<QAbstractItemModelTester> treeTester_, listTester_;
  std::unique_ptr<QSignalSpy> resets_;

  ui::ProjectTreeView* Tree() { return shop_->window->treeView(); }
  StoreNode* Node(const char* title) { return shop_->Node(title); }
  StoreNode* Current() { return shop_->session.editor().current(); }
  std::size_t Count() { return CountNodes(shop_->session.project()); }
  void Select(StoreNode* node) {
    QVERIFY(node);
    shop_->window->SelectNode(node);
    Tree()->setFocus();
  }
  void CheckOrder() {
    std::vector<StoreNode*> core;
    ForEachNode(shop_->session.project(), [&](StoreNode& n) { core.push_back(&n); });
    QCOMPARE(ModelOrder(*shop_->window->treeModel()), core);
    QCOMPARE(resets_->count(), 0);
  }

 private slots:
  void initTestCase() { test::PrepareUiTestEnvironment(); }
  void init() {
    shop_ = std::make_unique<WindowShop>();
    shop_->Show();
    using Mode = QAbstractItemModelTester::FailureReportingMode;
    treeTester_ =
        std::make_unique<QAbstractItemModelTester>(shop_->window->treeModel(), Mode::QtTest);
    listTester_ =
        std::make_unique<QAbstractItemModelTester>(shop_->window->listModel(), Mode::QtTest);
    resets_ =
        std::make_unique<QSignalSpy>(shop_->window->treeModel(), &QAbstractItemModel::modelReset);
  }
  void cleanup() {
    resets_.reset();
    treeTester_.reset();
    listTester_.reset();
    shop_.reset();
  }

  void copyPasteAndMoveWithKeys() {
    StoreNode* sencha = Node("Sencha Yabukita");
    Select(sencha);
    const std::size_t before = Count();
    QTest::keyClick(Tree(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(Tree(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(Count(), before + 1);
    StoreNode* copy = Current();
    QVERIFY(copy != sencha);
    QCOMPARE(Tree()->currentIndex(), shop_->window->treeModel()->IndexOf(copy));
    CheckOrder();
    // "+" moves before the previous sibling (not past the first place), "-" after the next.
    const std::pair<Qt::Key, int> moves[] = {
        {Qt::Key_Plus, 0}, {Qt::Key_Plus, 0}, {Qt::Key_Minus, 1}};
    for (auto [key, at] : moves) {
      QTest::keyClick(Tree(), key);
      QCOMPARE(copy->indexInParent, std::size_t(at));
      QCOMPARE(Current(), copy);
      CheckOrder();
    }
  }

  void deleteAsksOnlyForNodesWithChildren() {
    Select(Node("Green Tea"));
    const std::size_t before = Count();
    shop_->prompter.answers = {PromptAnswer::No, PromptAnswer::Yes};
    QTest::keyClick(Tree(), Qt::Key_Delete);
    QCOMPARE(shop_->prompter.asked.size(), std::size_t{1});
    QCOMPARE(shop_->prompter.asked[0].text + "|" + shop_->prompter.asked[0].title,
             std::string("You are about to delete a Category and all nodes below it. Do you "
                         "wish to proceed?|Confirmation"));
    QCOMPARE(shop_->prompter.asked[0].buttons, PromptButtons::YesNo);
    QCOMPARE(Count(), before);
    QTest::keyClick(Tree(), Qt::Key_Delete);
    QCOMPARE(Count(), before - 4);
    QCOMPARE(Current(), Node("Black Tea"));  // the next sibling
    CheckOrder();
    // A leaf goes without a question, from the Edit menu with the tree focused.
    Select(Node("Brewing Guide"));
    QVERIFY(shop_->Trigger(kCmdDelete));
    QCOMPARE(shop_->prompter.asked.size(), std::size_t{2});
    QVERIFY(!Node("Brewing Guide"));
    CheckOrder();
  }

  void editMenuGoesToTheListWhenItHasTheFocus() {
    Select(Node("Black Tea"));
    QTableView* list = shop_->window->listView();
    QAbstractItemModel* model = shop_->window->listModel();
    QCOMPARE(model->rowCount(), 3);
    list->setFocus();
    list->selectionModel()->select(QItemSelection(model->index(0, 0), model->index(1, 0)),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(shop_->window->CurrentFocus(), UiFocus::NodeList);
    QVERIFY(shop_->Trigger(kCmdDisable));
    QVERIFY(!Node("Assam Breakfast")->Enabled() && !Node("Darjeeling First Flush")->Enabled());
    // The rows not selected and the tree node stay as they were.
    QVERIFY(Node("Lapsang Souchong")->Enabled() && Node("Black Tea")->Enabled());
    QVERIFY(shop_->Trigger(kCmdDelete));
    QCOMPARE(model->rowCount(), 1);
    // The list's own keys: copy the last entry, paste it into the list, delete both.
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(shop_->session.editor().SelectedEntries().size(), std::size_t{2});
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(Current(), Node("Black Tea"));
    CheckOrder();
  }

  void dropFollowsTheRules() {
    ui::MainWindow& w = *shop_->window;
    StoreNode* guide = Node("Brewing Guide");
    StoreNode* sencha = Node("Sencha Yabukita");
    StoreNode* teaware = Node("Teaware");
    QVERIFY(!w.CanDropNode(*guide, Node("Bamboo Scoop")));  // a page onto a product in a shelf
    QVERIFY(!w.CanDropNode(*Node("Green Tea"), sencha));    // into its own subtree
    w.DropNode(*sencha, teaware);  // a product onto a shelf: its last child
    QCOMPARE(sencha->parent, teaware);
    QCOMPARE(sencha->indexInParent, teaware->children.size() - 1);
    CheckOrder();
  }

  void findSelectsMatchingEntries() {
    Select(Node("Taster Boxes"));
    shop_->window->askFindText = [] { return std::optional<QString>(QStringLiteral("BLACK")); };
    QVERIFY(shop_->Trigger(kCmdFind));
    const auto selected = shop_->session.editor().SelectedEntries();
    QCOMPARE(selected.size(), std::size_t{1});
    QCOMPARE(selected[0], Node("Black Taster"));
    QCOMPARE(shop_->window->listView()->selectionModel()->selectedRows().size(), 1);
  }

  // A category inside "Green Tea" named in its label editor, then a product inside it: the
  // window saves what `tolmi-cli add` saves.
  void newNodesSaveWhatTheCliSaves() {
    test::TestHome cliHome;
    const auto cliProject = test::CopySample("TeaShop", cliHome / "Projects" / "TeaShop");
    cli::CliRun category = cli::Cli(cliHome, {"add", cliProject.string(), "category", "--title",
                                              "Oolong - Caf\xE9", "--under", "green.html"});
    QCOMPARE(category.code, 0);
    const std::string categoryFile = category.out.substr(0, category.out.find('\n'));
    QCOMPARE(
        cli::Cli(cliHome, {"add", cliProject.string(), "product", "--under", categoryFile}).code,
        0);

    Select(Node("Green Tea"));
    QVERIFY(shop_->Trigger(kCmdNewCategory));
    StoreNode* made = Current();
    QCOMPARE(made->title, std::string("New Category"));
    QVERIFY(Tree()->IsEditingLabel());
    CheckOrder();
    // While the label is edited every key goes to the editor, "-" included.
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Oolong - Caf"));
    editor->insert(QStringLiteral("\u00e9"));
    QCOMPARE(made->indexInParent, std::size_t{3});
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!Tree()->IsEditingLabel());
    QCOMPARE(made->title, std::string("Oolong - Caf\xE9"));  // stored in Windows-1252
    QCOMPARE(shop_->window->treeModel()->data(shop_->window->treeModel()->IndexOf(made)).toString(),
             QStringLiteral("Oolong - Caf\u00e9"));
    QCOMPARE(made->file, categoryFile);
    // A product is placed without a label editor.
    QVERIFY(shop_->Trigger(kCmdNewProduct));
    QCOMPARE(Current()->parent, made);
    QVERIFY(!Tree()->IsEditingLabel());
    CheckOrder();
    QVERIFY(shop_->Trigger(kCmdSave));
    const std::string fromCli = shop_->Bytes(cliProject);
    QVERIFY(fromCli.find("NODE0=Oolong - Caf\xE9\n") != std::string::npos);
    QCOMPARE(test::WithoutTime(shop_->Bytes(shop_->project)), test::WithoutTime(fromCli));
  }
};

QTEST_MAIN(TreeEditingTest)
#include "TreeEditingTest.moc"
