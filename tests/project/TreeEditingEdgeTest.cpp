// Tree editing at the edges: an emptied tree, pastes next to shelves and lists,
// the top level, and drops deep into a node's own subtree.
#include <gtest/gtest.h>

#include "project/TreeEditing.h"
#include "tests/support/FakePrompter.h"

namespace tolmi {
namespace {

std::vector<std::string> Outline(const StoreProject& project) {
  std::vector<std::string> lines;
  ForEachNode(project, [&](const StoreNode& n) {
    int depth = 0;
    for (const StoreNode* p = ParentNode(n); p != nullptr; p = ParentNode(*p)) ++depth;
    lines.push_back(std::string(static_cast<std::size_t>(depth), '>') + n.title);
  });
  return lines;
}

struct Tree {
  StoreProject project;
  std::uint32_t serial = 0;
  TreeEditor editor{project, serial};
  test::FakePrompter prompter;

  StoreNode* Add(NodeKind kind, const std::string& title, StoreNode* at) {
    editor.Select(at);
    StoreNode* n = editor.NewNode(kind);
    if (n != nullptr) editor.Rename(*n, title);
    return n;
  }
};

TEST(TreeEditingEdgeTest, EmptiedTreeTakesNewNodesAndPastesAtTheTop) {
  Tree t;
  StoreNode* cat = t.Add(NodeKind::Category, "Shop", nullptr);
  StoreNode* product = t.Add(NodeKind::Product, "Mug", cat);
  t.editor.Select(product);
  t.editor.CopyFromTree();
  t.editor.Select(cat);
  t.prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(CountNodes(t.project), 0u);
  EXPECT_EQ(t.editor.current(), nullptr);
  // The clipboard outlives the deleted nodes; with an empty tree pastes go to the top.
  ASSERT_FALSE(t.editor.ClipboardEmpty());
  auto pasted = t.editor.PasteIntoTree();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(ParentNode(*pasted[0]), nullptr);
  EXPECT_EQ(pasted[0]->file, "2.htm");  // its own name is free again
  t.editor.Select(nullptr);
  StoreNode* page = t.editor.NewNode(NodeKind::Page);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Outline(t.project), (std::vector<std::string>{"Mug", "New Page"}));
  // Deleting the last node of the top level selects the one before it.
  ASSERT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(t.editor.current(), pasted[0]);
}

TEST(TreeEditingEdgeTest, PastesBesideShelvesAndListsKeepThemProductsOnly) {
  Tree t;
  StoreNode* cat = t.Add(NodeKind::Category, "Shop", nullptr);
  StoreNode* list = t.Add(NodeKind::List, "Deals", cat);
  StoreNode* inList = t.Add(NodeKind::Product, "Cup", list);
  StoreNode* page = t.Add(NodeKind::Page, "About", cat);
  StoreNode* sub = t.Add(NodeKind::Category, "Sub", cat);
  t.Add(NodeKind::Product, "Plate", sub);
  // A page and a category with children, pasted by a product inside the list,
  // land after the list; the copy of the category comes without children.
  t.editor.Select(page);
  t.editor.CopyFromTree();
  t.editor.Select(inList);
  t.editor.PasteIntoTree();
  t.editor.Select(sub);
  t.editor.CopyFromTree();
  t.editor.Select(inList);
  t.editor.PasteIntoTree();
  // A product pasted by the product inside the list stays in the list, after it.
  t.editor.Select(inList);
  t.editor.CopyFromTree();
  t.editor.PasteIntoTree();
  EXPECT_EQ(Outline(t.project),
            (std::vector<std::string>{"Shop", ">Deals", ">>Cup", ">>Cup", ">Sub", ">About",
                                      ">About", ">Sub", ">>Plate"}));
  for (const auto& child : list->children) EXPECT_EQ(child->kind, NodeKind::Product);
  EXPECT_EQ(list->children[1]->file, "3(1).htm");
}

TEST(TreeEditingEdgeTest, RefusedDropsLeaveTheTreeAsItWas) {
  Tree t;
  StoreNode* top = t.Add(NodeKind::Category, "Top", nullptr);
  StoreNode* mid = t.Add(NodeKind::Category, "Mid", top);
  StoreNode* low = t.Add(NodeKind::Category, "Low", mid);
  StoreNode* shelf = t.Add(NodeKind::Shelf, "Shelf", low);
  StoreNode* item = t.Add(NodeKind::Product, "Item", shelf);
  StoreNode* link = t.Add(NodeKind::Link, "Link", nullptr);
  t.project.changed = false;
  const auto before = Outline(t.project);
  EXPECT_FALSE(t.editor.Drop(*top, low));    // into its own grandchild
  EXPECT_FALSE(t.editor.Drop(*mid, shelf));  // after a shelf inside itself
  EXPECT_FALSE(t.editor.Drop(*link, item));  // a link onto a product in a shelf
  EXPECT_FALSE(t.editor.Drop(*shelf, item));
  EXPECT_FALSE(t.editor.Drop(*item, item));
  EXPECT_EQ(Outline(t.project), before);
  EXPECT_FALSE(t.project.changed);
  // Onto a top-level link: directly after it, at the top level, with the subtree.
  EXPECT_TRUE(t.editor.Drop(*low, link));
  EXPECT_EQ(Outline(t.project),
            (std::vector<std::string>{"Top", ">Mid", "Link", "Low", ">Shelf", ">>Item"}));
  // A product onto a shelf at the top level becomes its last child.
  t.editor.Select(mid);
  StoreNode* loose = t.editor.NewNode(NodeKind::Product);
  ASSERT_NE(loose, nullptr);
  EXPECT_TRUE(t.editor.Drop(*loose, shelf));
  EXPECT_EQ(loose->parent, shelf);
  EXPECT_EQ(loose->indexInParent, 1u);
  EXPECT_TRUE(t.project.changed);
}

}  // namespace
}  // namespace tolmi
