// Tree editing: new nodes, clipboard, paste names, delete, enable/disable, moves, drops.
#include <gtest/gtest.h>

#include "../support/FakePrompter.h"
#include "project/TreeEditing.h"

namespace tolmi {
namespace {

std::vector<std::string> Titles(const StoreProject& project) {
  std::vector<std::string> titles;
  ForEachNode(project, [&](const StoreNode& n) {
    std::string indent(ParentNode(n) == nullptr ? 0 : (ParentNode(*ParentNode(n)) ? 2 : 1), '>');
    titles.push_back(indent + n.title);
  });
  return titles;
}

struct Fixture {
  StoreProject project;
  std::uint32_t serial = 10;
  TreeEditor editor{project, serial};
  test::FakePrompter prompter;

  StoreNode* Add(NodeKind kind, std::string title) {
    StoreNode* n = editor.NewNode(kind);
    if (n != nullptr) editor.Rename(*n, title);
    return n;
  }
};

TEST(TreeEditingTest, NewNodesGetSerialsFileNamesAndPlaces) {
  Fixture f;
  EXPECT_EQ(f.editor.NewNode(NodeKind::Product), nullptr);  // needs a current node
  EXPECT_FALSE(f.project.changed);
  StoreNode* cat = f.editor.NewNode(NodeKind::Category);
  ASSERT_NE(cat, nullptr);
  EXPECT_EQ(cat->title, "New Category");
  EXPECT_EQ(cat->serial, 11u);
  EXPECT_EQ(cat->file, "11.htm");
  EXPECT_TRUE(f.project.changed);
  EXPECT_EQ(f.editor.current(), cat);
  cat->labels[0] = "Colour";
  cat->labels[5] = "Size";
  StoreNode* product = f.editor.NewNode(NodeKind::Product);
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(product->parent, cat);
  EXPECT_EQ(product->code, "12");
  EXPECT_EQ(product->file, "12.htm");
  EXPECT_EQ(product->labels[0], "Colour");
  EXPECT_EQ(product->labels[5], "Size");
  // A new category next to a product lands after it in the same category.
  StoreNode* page = f.editor.NewNode(NodeKind::Page);
  EXPECT_EQ(page->parent, cat);
  EXPECT_EQ(page->indexInParent, 1u);
}

TEST(TreeEditingTest, NewLinkHasNoFileAndGoesToTopLevelOfEmptyTree) {
  Fixture f;
  StoreNode* link = f.editor.NewNode(NodeKind::Link);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->title, "New Link");
  EXPECT_EQ(link->file, "");
  EXPECT_EQ(link->serial, 0u);
  EXPECT_EQ(f.serial, 10u);
  EXPECT_EQ(ParentNode(*link), nullptr);
  EXPECT_TRUE(f.project.changed);
}

TEST(TreeEditingTest, ProductFileNameAvoidsTakenNames) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  cat->file = "12.HTM";
  StoreNode* product = f.editor.NewNode(NodeKind::Product);
  EXPECT_EQ(product->file, "12(1).htm");
}

TEST(TreeEditingTest, CopyLeavesVariablesAndChildrenBehind) {
  StoreNode node;
  node.title = "T";
  node.kind = NodeKind::Shelf;
  node.status = kStatusDisabled;
  node.mod = 1;
  node.serial = 7;
  node.publishedChecksum = -5;
  node.options2 = {"S", "M"};
  node.optionLabel1 = "Colour:";
  node.variables.push_back({"$X", "1"});
  node.children.push_back(CreateNode());
  auto copy = CopyNode(node);
  EXPECT_EQ(copy->title, "T");
  EXPECT_EQ(copy->kind, NodeKind::Shelf);
  EXPECT_EQ(copy->status, kStatusDisabled);
  EXPECT_EQ(copy->mod, 1);
  EXPECT_EQ(copy->serial, 7u);
  EXPECT_EQ(copy->publishedChecksum, -5);
  EXPECT_EQ(copy->options2, node.options2);
  EXPECT_EQ(copy->optionLabel1, node.optionLabel1);
  EXPECT_TRUE(copy->variables.empty());
  EXPECT_TRUE(copy->children.empty());
}

TEST(TreeEditingTest, PastingThreeTimesNumbersTheFileNames) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  StoreNode* product = f.editor.NewNode(NodeKind::Product);
  product->file = "12.htm";
  f.editor.CopyFromTree();
  ASSERT_FALSE(f.editor.ClipboardEmpty());
  std::vector<std::string> files;
  for (int i = 0; i < 3; ++i) {
    f.editor.Select(cat);
    auto placed = f.editor.PasteIntoTree();
    ASSERT_EQ(placed.size(), 1u);
    files.push_back(placed[0]->file);
    EXPECT_EQ(f.editor.current(), placed[0]);
  }
  EXPECT_EQ(files, (std::vector<std::string>{"12(1).htm", "12(2).htm", "12(3).htm"}));
  EXPECT_EQ(product->file, "12.htm");
  EXPECT_EQ(cat->children.size(), 4u);
}

TEST(TreeEditingTest, PastedLinkKeepsItsTarget) {
  Fixture f;
  StoreNode* link = f.editor.NewNode(NodeKind::Link);
  link->file = "x.htm";  // a link's file name is not varied
  f.editor.CopyFromTree();
  auto placed = f.editor.PasteIntoTree();
  ASSERT_EQ(placed.size(), 1u);
  EXPECT_EQ(placed[0]->file, "x.htm");
}

TEST(TreeEditingTest, ListCopyPasteKeepsListOrder) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  StoreNode* a = f.Add(NodeKind::Product, "A");
  f.editor.Select(cat);
  StoreNode* b = f.Add(NodeKind::Product, "B");
  f.editor.Select(cat);
  f.editor.SetListSelection({b, a});
  EXPECT_EQ(f.editor.SelectedEntries(), (std::vector<StoreNode*>{a, b}));
  f.editor.CopyFromList();
  ASSERT_EQ(f.editor.clipboard().size(), 2u);
  auto placed = f.editor.PasteIntoList();
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[0]->title, "A");
  EXPECT_EQ(placed[1]->title, "B");
  EXPECT_EQ(f.editor.current(), cat);
  EXPECT_EQ(cat->children.size(), 4u);
}

TEST(TreeEditingTest, DeletingACategoryWithChildrenAsksFirst) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  f.Add(NodeKind::Product, "A");
  f.editor.Select(cat);
  f.project.changed = false;
  f.prompter.answers = {PromptAnswer::No};
  EXPECT_FALSE(f.editor.DeleteFromTree(f.prompter));
  ASSERT_EQ(f.prompter.asked.size(), 1u);
  EXPECT_EQ(f.prompter.asked[0].text, kDeleteCategoryQuestion);
  EXPECT_EQ(f.prompter.asked[0].title, "Confirmation");
  EXPECT_EQ(CountNodes(f.project), 2u);
  EXPECT_FALSE(f.project.changed);
  f.prompter.answers = {PromptAnswer::Yes};
  EXPECT_TRUE(f.editor.DeleteFromTree(f.prompter));
  EXPECT_EQ(CountNodes(f.project), 0u);
  EXPECT_EQ(f.editor.current(), nullptr);
  EXPECT_TRUE(f.project.changed);
}

TEST(TreeEditingTest, DeletingALeafSelectsNextThenPreviousThenParent) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  StoreNode* a = f.Add(NodeKind::Product, "A");
  f.editor.Select(cat);
  StoreNode* b = f.Add(NodeKind::Product, "B");
  f.editor.Select(cat);
  StoreNode* c = f.Add(NodeKind::Product, "C");
  for (auto& child : cat->children) child->mod = 0;
  f.editor.Select(b);
  EXPECT_TRUE(f.editor.DeleteFromTree(f.prompter));
  EXPECT_TRUE(f.prompter.asked.empty());
  EXPECT_EQ(f.editor.current(), c);
  EXPECT_EQ(a->mod, 1);  // neighbours must be rebuilt
  EXPECT_EQ(cat->mod, 1);
  EXPECT_TRUE(f.editor.DeleteFromTree(f.prompter));
  EXPECT_EQ(f.editor.current(), a);
  EXPECT_TRUE(f.editor.DeleteFromTree(f.prompter));
  EXPECT_EQ(f.editor.current(), cat);
}

TEST(TreeEditingTest, DeletingFromTheListKeepsTheCurrentNode) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  StoreNode* a = f.Add(NodeKind::Product, "A");
  f.editor.Select(cat);
  f.Add(NodeKind::Product, "B");
  f.editor.Select(cat);
  f.editor.SetListSelection({a});
  EXPECT_TRUE(f.editor.DeleteFromList(f.prompter));
  EXPECT_EQ(f.editor.current(), cat);
  EXPECT_EQ(Titles(f.project), (std::vector<std::string>{"Shop", ">B"}));
  EXPECT_TRUE(f.editor.SelectedEntries().empty());
  EXPECT_FALSE(f.editor.DeleteFromList(f.prompter));  // nothing selected
}

TEST(TreeEditingTest, RenameOnlyCountsRealChanges) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  f.project.changed = false;
  EXPECT_FALSE(f.editor.Rename(*cat, "Shop"));
  EXPECT_FALSE(f.project.changed);
  EXPECT_TRUE(f.editor.Rename(*cat, "<b>Wine</b>"));
  EXPECT_EQ(cat->displayName, "Wine");
  EXPECT_TRUE(f.project.changed);
}

TEST(TreeEditingTest, DisablingADisabledEntryIsNoChange) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  StoreNode* a = f.Add(NodeKind::Product, "A");
  f.editor.Select(cat);
  StoreNode* b = f.Add(NodeKind::Product, "B");
  f.editor.Select(cat);
  b->status = kStatusDisabled;
  f.project.changed = false;
  f.editor.SetListSelection({b});
  EXPECT_EQ(f.editor.SetListEnabled(false), 0);
  EXPECT_FALSE(f.project.changed);
  f.editor.SetListSelection({a, b});
  EXPECT_EQ(f.editor.SetListEnabled(false), 1);
  EXPECT_EQ(a->status, kStatusDisabled);
  EXPECT_TRUE(f.project.changed);
  f.project.changed = false;
  EXPECT_EQ(f.editor.SetTreeEnabled(true), 0);  // the category is enabled already
  EXPECT_FALSE(f.project.changed);
  EXPECT_EQ(f.editor.SetListEnabled(true), 2);
  EXPECT_EQ(b->status, 0);
}

TEST(TreeEditingTest, KeyboardMovesStopAtTheEnds) {
  Fixture f;
  f.Add(NodeKind::Category, "A");
  f.editor.Select(nullptr);
  StoreNode* b = f.Add(NodeKind::Category, "B");
  f.Add(NodeKind::Product, "B1");
  f.editor.Select(nullptr);
  f.Add(NodeKind::Category, "C");
  f.editor.Select(b);
  f.project.changed = false;
  EXPECT_TRUE(f.editor.MoveUp());
  EXPECT_EQ(Titles(f.project), (std::vector<std::string>{"B", ">B1", "A", "C"}));
  EXPECT_EQ(f.editor.current(), b);
  EXPECT_TRUE(f.project.changed);
  f.project.changed = false;
  EXPECT_FALSE(f.editor.MoveUp());
  EXPECT_FALSE(f.project.changed);
  EXPECT_TRUE(f.editor.MoveDown());
  EXPECT_TRUE(f.editor.MoveDown());
  EXPECT_FALSE(f.editor.MoveDown());
  EXPECT_EQ(Titles(f.project), (std::vector<std::string>{"A", "C", "B", ">B1"}));
}

TEST(TreeEditingTest, DropsFollowTheKindsAndRefuseTheirOwnSubtree) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Cat");
  StoreNode* shelf = f.Add(NodeKind::Shelf, "Shelf");
  StoreNode* inShelf = f.Add(NodeKind::Product, "InShelf");
  f.editor.Select(cat);
  StoreNode* sub = f.Add(NodeKind::Category, "Sub");
  f.editor.Select(nullptr);
  StoreNode* page = f.Add(NodeKind::Page, "Page");
  f.editor.Select(cat);
  StoreNode* loose = f.Add(NodeKind::Product, "Loose");
  ASSERT_EQ(Titles(f.project),
            (std::vector<std::string>{"Cat", ">Shelf", ">>InShelf", ">Sub", ">Loose", "Page"}));
  f.project.changed = false;
  const auto before = Titles(f.project);
  EXPECT_FALSE(f.editor.Drop(*page, inShelf));  // a page onto a product in a shelf
  EXPECT_FALSE(f.editor.Drop(*cat, cat));
  EXPECT_FALSE(f.editor.Drop(*cat, sub));  // into its own subtree
  EXPECT_FALSE(f.editor.Drop(*cat, inShelf));
  EXPECT_EQ(Titles(f.project), before);
  EXPECT_FALSE(f.project.changed);

  EXPECT_TRUE(f.editor.Drop(*loose, shelf));  // last child of the shelf
  EXPECT_EQ(loose->parent, shelf);
  EXPECT_EQ(loose->indexInParent, 1u);
  EXPECT_TRUE(f.project.changed);
  EXPECT_TRUE(f.editor.Drop(*page, shelf));  // a page onto a shelf goes after it
  EXPECT_EQ(Titles(f.project),
            (std::vector<std::string>{"Cat", ">Shelf", ">>InShelf", ">>Loose", ">Page", ">Sub"}));
  EXPECT_TRUE(f.editor.Drop(*page, sub));  // into a category
  EXPECT_EQ(page->parent, sub);
  EXPECT_TRUE(f.editor.Drop(*sub, nullptr));  // the empty area: end of the top level
  EXPECT_EQ(Titles(f.project),
            (std::vector<std::string>{"Cat", ">Shelf", ">>InShelf", ">>Loose", "Sub", ">Page"}));
  // A product onto a product in a shelf lands right after it.
  EXPECT_TRUE(f.editor.Drop(*loose, inShelf));
  EXPECT_EQ(loose->indexInParent, 1u);
  // A sibling dropped onto the one after it moves one place down.
  EXPECT_TRUE(f.editor.Drop(*inShelf, loose));
  EXPECT_EQ(Titles(f.project),
            (std::vector<std::string>{"Cat", ">Shelf", ">>Loose", ">>InShelf", "Sub", ">Page"}));
}

TEST(TreeEditingTest, SelectAllAndFindIgnoreCase) {
  Fixture f;
  StoreNode* cat = f.Add(NodeKind::Category, "Shop");
  StoreNode* red = f.Add(NodeKind::Product, "Red Wine");
  f.editor.Select(cat);
  f.Add(NodeKind::Product, "Beer");
  f.editor.Select(cat);
  StoreNode* white = f.Add(NodeKind::Product, "WHITE WINE");
  f.editor.Select(cat);
  EXPECT_EQ(f.editor.Find("wine"), 2u);
  EXPECT_EQ(f.editor.SelectedEntries(), (std::vector<StoreNode*>{red, white}));
  f.editor.SelectAll();
  EXPECT_EQ(f.editor.SelectedEntries().size(), 3u);
  f.editor.Select(nullptr);
  EXPECT_TRUE(f.editor.SelectedEntries().empty());
  EXPECT_EQ(f.editor.SetListEnabled(false), 0);
  EXPECT_FALSE(f.editor.DeleteFromTree(f.prompter));
  f.editor.CopyFromTree();
  EXPECT_TRUE(f.editor.ClipboardEmpty());
}

}  // namespace
}  // namespace tolmi
