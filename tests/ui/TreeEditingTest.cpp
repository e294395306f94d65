// Editing the store tree through the main window on a copy of the sample store:
// the tree's keys, the Edit menu routed by focus, new nodes with their label
// editor, the delete question, drag and drop with its refusals and Find. After
// every step the tree model shows the core's order, and no single edit resets it.
#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include "app/CommandRules.h"
#include "tests/ui/support/MainWindowFixture.h"
#include "ui/NodeListModel.h"
#include "ui/ProjectTreeModel.h"

using namespace tolmi;
using test::WindowShop;

class TreeEditingTest : public QObject {
  Q_OBJECT

  std::unique_ptr<WindowShop> shop_;
  std::unique_ptr<QAbstractItemModelTester> treeTester_, listTester_;
  std::unique_ptr<QSignalSpy> resets_;

  ui::ProjectTreeView* Tree() { return shop_->window->treeView(); }
  void Select(StoreNode* node) {
    QVERIFY(node);
    shop_->window->SelectNode(node);
    Tree()->setFocus();
  }
  void CheckOrder() {
    QCOMPARE(test::ModelOrder(*shop_->window->treeModel()), test::CoreOrder(shop_->session.project()));
    QCOMPARE(resets_->count(), 0);
  }
  StoreNode* Current() { return shop_->session.editor().current(); }

 private slots:
  void init() {
    shop_ = std::make_unique<WindowShop>();
    shop_->Show();
    using Mode = QAbstractItemModelTester::FailureReportingMode;
    treeTester_ = std::make_unique<QAbstractItemModelTester>(shop_->window->treeModel(), Mode::QtTest);
    listTester_ = std::make_unique<QAbstractItemModelTester>(shop_->window->listModel(), Mode::QtTest);
    resets_ = std::make_unique<QSignalSpy>(shop_->window->treeModel(), &QAbstractItemModel::modelReset);
  }
  void cleanup() {
    resets_.reset();
    treeTester_.reset();
    listTester_.reset();
    shop_.reset();
  }

  void copyPasteAndMoveWithKeys() {
    StoreNode* sencha = shop_->Node("Sencha Yabukita");
    Select(sencha);
    const std::size_t before = CountNodes(shop_->session.project());
    QTest::keyClick(Tree(), Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(Tree(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(CountNodes(shop_->session.project()), before + 1);
    StoreNode* copy = Current();
    QVERIFY(copy != sencha);
    QCOMPARE(copy->title, sencha->title);
    QCOMPARE(copy->file, std::string("sencha(1).html"));
    QCOMPARE(copy->indexInParent, sencha->indexInParent + 1);
    QCOMPARE(Tree()->currentIndex(), shop_->window->treeModel()->IndexOf(copy));
    CheckOrder();

    QTest::keyClick(Tree(), Qt::Key_Plus);  // before its previous sibling
    QCOMPARE(copy->indexInParent, std::size_t{0});
    QCOMPARE(Current(), copy);
    CheckOrder();
    QTest::keyClick(Tree(), Qt::Key_Plus);  // already first: nothing happens
    QCOMPARE(copy->indexInParent, std::size_t{0});
    QTest::keyClick(Tree(), Qt::Key_Minus);
    QCOMPARE(copy->indexInParent, std::size_t{1});
    CheckOrder();
    QVERIFY(shop_->window->isWindowModified());
  }

  void deleteAsksOnlyForNodesWithChildren() {
    StoreNode* green = shop_->Node("Green Tea");
    Select(green);
    const std::size_t before = CountNodes(shop_->session.project());
    shop_->prompter.answers = {PromptAnswer::No};
    QTest::keyClick(Tree(), Qt::Key_Delete);
    QCOMPARE(shop_->prompter.asked.size(), std::size_t{1});
    QCOMPARE(shop_->prompter.asked[0].text,
             std::string("You are about to delete a Category and all nodes below it. Do you "
                         "wish to proceed?"));
    QCOMPARE(shop_->prompter.asked[0].title, std::string("Confirmation"));
    QCOMPARE(shop_->prompter.asked[0].buttons, PromptButtons::YesNo);
    QCOMPARE(CountNodes(shop_->session.project()), before);

    shop_->prompter.answers = {PromptAnswer::Yes};
    QTest::keyClick(Tree(), Qt::Key_Delete);
    QCOMPARE(CountNodes(shop_->session.project()), before - 4);
    QVERIFY(!shop_->Node("Green Tea"));
    QCOMPARE(Current(), shop_->Node("Black Tea"));  // the next sibling
    CheckOrder();

    // A leaf goes without a question, from the Edit menu with the tree focused.
    Select(shop_->Node("Brewing Guide"));
    QVERIFY(shop_->Trigger(kCmdDelete));
    QCOMPARE(shop_->prompter.asked.size(), std::size_t{2});
    QVERIFY(!shop_->Node("Brewing Guide"));
    CheckOrder();
  }

  void editMenuGoesToTheListWhenItHasTheFocus() {
    Select(shop_->Node("Black Tea"));
    QTableView* list = shop_->window->listView();
    QCOMPARE(shop_->window->listModel()->rowCount(), 3);
    list->setFocus();
    list->selectionModel()->select(
        QItemSelection(shop_->window->listModel()->index(0, 0), shop_->window->listModel()->index(1, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(shop_->window->CurrentFocus(), UiFocus::NodeList);
    QVERIFY(shop_->Trigger(kCmdDisable));
    QVERIFY(!shop_->Node("Assam Breakfast")->Enabled());
    QVERIFY(!shop_->Node("Darjeeling First Flush")->Enabled());
    QVERIFY(shop_->Node("Lapsang Souchong")->Enabled());
    QVERIFY(shop_->Node("Black Tea")->Enabled());  // the tree node stays as it was
    QVERIFY(shop_->Trigger(kCmdDelete));
    QCOMPARE(shop_->window->listModel()->rowCount(), 1);
    // The list's own keys: copy the last entry, paste it into the list, delete it again.
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(shop_->window->listModel()->rowCount(), 2);
    QCOMPARE(shop_->session.editor().SelectedEntries().size(), std::size_t{2});
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(shop_->window->listModel()->rowCount(), 0);
    QCOMPARE(Current(), shop_->Node("Black Tea"));
    CheckOrder();
  }

  void newNodesOpenTheirLabelEditor() {
    Select(shop_->Node("Green Tea"));
    QVERIFY(shop_->Trigger(kCmdNewCategory));
    StoreNode* made = Current();
    QCOMPARE(made->title, std::string("New Category"));
    QCOMPARE(made->parent, shop_->Node("Green Tea"));
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
    QVERIFY(shop_->window->isWindowModified());

    // A product is placed without a label editor; a link likewise.
    Select(shop_->Node("Teaware"));
    QVERIFY(!shop_->Action(QStringLiteral("action524"))->isEnabled());
    QVERIFY(shop_->Trigger(kCmdNewProduct));
    QCOMPARE(Current()->parent, shop_->Node("Teaware"));
    QVERIFY(!Tree()->IsEditingLabel());
    CheckOrder();
  }

  void dropFollowsTheRules() {
    ui::MainWindow& w = *shop_->window;
    StoreNode* scoop = shop_->Node("Bamboo Scoop");  // a product inside the shelf
    StoreNode* guide = shop_->Node("Brewing Guide");
    StoreNode* sencha = shop_->Node("Sencha Yabukita");
    StoreNode* teaware = shop_->Node("Teaware");
    QVERIFY(!w.CanDropNode(*guide, scoop));  // a page onto a product in a shelf
    QVERIFY(!w.CanDropNode(*guide, guide));
    QVERIFY(!w.CanDropNode(*shop_->Node("Green Tea"), sencha));  // into its own subtree

    w.DropNode(*sencha, teaware);  // a product onto a shelf: its last child
    QCOMPARE(sencha->parent, teaware);
    QCOMPARE(sencha->indexInParent, teaware->children.size() - 1);
    CheckOrder();
    w.DropNode(*guide, nullptr);  // below the nodes: the end of the top level
    QCOMPARE(guide->indexInParent, shop_->session.project().top().children.size() - 1);
    CheckOrder();
    // Dropped onto the category it already ends: nothing moves.
    StoreNode* genmaicha = shop_->Node("Genmaicha");
    w.DropNode(*genmaicha, shop_->Node("Green Tea"));
    QCOMPARE(genmaicha->parent, shop_->Node("Green Tea"));
    CheckOrder();
  }

  void findSelectsMatchingEntries() {
    Select(shop_->Node("Taster Boxes"));
    shop_->window->askFindText = [] { return std::optional<QString>(QStringLiteral("BLACK")); };
    QVERIFY(shop_->Trigger(kCmdFind));
    const auto selected = shop_->session.editor().SelectedEntries();
    QCOMPARE(selected.size(), std::size_t{1});
    QCOMPARE(selected[0], shop_->Node("Black Taster"));
    QCOMPARE(shop_->window->listView()->selectionModel()->selectedRows().size(), 1);
  }
};

QTEST_MAIN(TreeEditingTest)
#include "TreeEditingTest.moc"
