// Tree editing: new nodes, clipboard and paste names, delete, enable/disable, moves,
// drops (CanDrop agreeing with Drop), and the change reports a tree model follows.
#include "project/TreeEditing.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/project/ProjectFixtures.h"

namespace tolmi {
namespace {

using Lines = std::vector<std::string>;
using test::Titles;

struct Tree {
  StoreProject project;
  std::uint32_t serial = 10;
  TreeEditor editor{project, serial};
  test::FakePrompter prompter;

  // A node made with `at` current, then renamed.
  StoreNode* Add(NodeKind kind, const std::string& title, StoreNode* at) {
    editor.Select(at);
    StoreNode* n = editor.NewNode(kind);
    if (n != nullptr) editor.Rename(*n, title);
    return n;
  }
};

// Serials, file names and places are the store tree's rules; the editor needs a current
// node for a product, and the new node becomes current.
TEST(TreeEditingTest, NewNodesNeedACurrentNodeAndBecomeCurrent) {
  Tree t;
  EXPECT_EQ(t.editor.NewNode(NodeKind::Product), nullptr);
  StoreNode* link = t.editor.NewNode(NodeKind::Link);  // the top of an empty tree
  EXPECT_EQ(link->title, "New Link");
  EXPECT_TRUE(t.project.changed);
  StoreNode* cat = t.Add(NodeKind::Category, "Cat", nullptr);
  EXPECT_EQ(t.editor.current(), cat);
  EXPECT_EQ(t.editor.NewNode(NodeKind::Product)->parent, cat);
}

TEST(TreeEditingTest, CopiesAndPastes) {
  Tree t;
  StoreNode* cat = t.Add(NodeKind::Category, "Shop", nullptr);
  StoreNode* product = t.Add(NodeKind::Product, "Mug", cat);
  product->status = kStatusDisabled;
  product->variables.push_back({"$X", "1"});
  t.editor.CopyFromTree();
  const StoreNode& copy = *t.editor.clipboard().at(0);
  EXPECT_EQ(copy.status, kStatusDisabled);
  EXPECT_TRUE(copy.variables.empty());
  // Pasting three times numbers the file names; each paste becomes current.
  Lines files;
  for (int i = 0; i < 3; ++i) {
    t.editor.Select(cat);
    auto placed = t.editor.PasteIntoTree();
    ASSERT_EQ(placed.size(), 1u);
    files.push_back(placed[0]->file);
    EXPECT_EQ(t.editor.current(), placed[0]);
  }
  EXPECT_EQ(files, (Lines{"12(1).htm", "12(2).htm", "12(3).htm"}));
  EXPECT_EQ(product->file, "12.htm");
  // From the list: in list order, the current node kept.
  t.editor.Select(cat);
  t.editor.SetListSelection({cat->children[1].get(), cat->children[0].get()});
  t.editor.CopyFromList();
  auto placed = t.editor.PasteIntoList();
  ASSERT_EQ(placed.size(), 2u);
  EXPECT_EQ(placed[0]->file, "12(4).htm");
  EXPECT_EQ(t.editor.current(), cat);
  // A link's target is no file name: not varied.
  StoreNode* link = t.Add(NodeKind::Link, "Link", nullptr);
  link->file = "x.htm";
  t.editor.CopyFromTree();
  EXPECT_EQ(t.editor.PasteIntoTree().at(0)->file, "x.htm");
}

TEST(TreeEditingTest, PastesBesideShelvesAndListsAndIntoAnEmptiedTree) {
  Tree t;
  t.serial = 0;
  StoreNode* cat = t.Add(NodeKind::Category, "Shop", nullptr);
  StoreNode* list = t.Add(NodeKind::List, "Deals", cat);
  StoreNode* inList = t.Add(NodeKind::Product, "Cup", list);
  StoreNode* page = t.Add(NodeKind::Page, "About", cat);
  StoreNode* sub = t.Add(NodeKind::Category, "Sub", cat);
  t.Add(NodeKind::Product, "Plate", sub);
  // A page and a category pasted by a product inside the list land after the list
  // (the category without its children); a product stays in the list, after it.
  for (StoreNode* copied : {page, sub, inList}) {
    t.editor.Select(copied);
    t.editor.CopyFromTree();
    t.editor.Select(inList);
    t.editor.PasteIntoTree();
  }
  EXPECT_EQ(Titles(t.project), "Shop >Deals >>Cup >>Cup >Sub >About >About >Sub >>Plate");
  EXPECT_EQ(list->children[1]->file, "3(1).htm");

  // The clipboard outlives deleted nodes; with an empty tree pastes go to the top.
  t.editor.Select(cat);
  t.prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(t.editor.current(), nullptr);
  EXPECT_EQ(t.editor.PasteIntoTree().at(0)->file, "3.htm");  // its own name is free again
  EXPECT_EQ(Titles(t.project), "Cup");
}

TEST(TreeEditingTest, DeletesAskForChildrenAndSelectANeighbour) {
  Tree t;
  StoreNode* cat = t.Add(NodeKind::Category, "Shop", nullptr);
  StoreNode* a = t.Add(NodeKind::Product, "A", cat);
  StoreNode* b = t.Add(NodeKind::Product, "B", cat);
  StoreNode* c = t.Add(NodeKind::Product, "C", cat);
  StoreNode* d = t.Add(NodeKind::Product, "D", cat);
  for (auto& child : cat->children) child->mod = 0;
  cat->mod = 0;
  t.editor.Select(b);
  EXPECT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_TRUE(t.prompter.asked.empty());
  EXPECT_EQ(t.editor.current(), c);  // the next, then the previous, then the parent
  EXPECT_EQ(a->mod + cat->mod, 2);   // neighbours must be rebuilt
  t.editor.Select(d);
  EXPECT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(t.editor.current(), c);
  EXPECT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(t.editor.current(), a);
  // From the list: the current node stays.
  t.editor.Select(cat);
  t.editor.SetListSelection({a});
  EXPECT_TRUE(t.editor.DeleteFromList(t.prompter));
  EXPECT_EQ(t.editor.current(), cat);
  ASSERT_EQ(t.prompter.asked.size(), 1u);             // deleting from the list always asks
  EXPECT_FALSE(t.editor.DeleteFromList(t.prompter));  // nothing selected
  // A node with children asks first.
  t.Add(NodeKind::Product, "E", cat);
  t.editor.Select(cat);
  t.project.changed = false;
  t.prompter.answers = {PromptAnswer::No};
  EXPECT_FALSE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(t.prompter.asked.at(1).text, kDeleteCategoryQuestion);
  EXPECT_EQ(t.prompter.asked[1].title, "Confirmation");
  EXPECT_EQ(Titles(t.project), "Shop >E");
  EXPECT_FALSE(t.project.changed);
  t.prompter.answers = {PromptAnswer::Yes};
  EXPECT_TRUE(t.editor.DeleteFromTree(t.prompter));
  EXPECT_EQ(CountNodes(t.project), 0u);
}

TEST(TreeEditingTest, RenameEnableFindAndSelectCountRealChangesOnly) {
  Tree t;
  StoreNode* cat = t.Add(NodeKind::Category, "Shop", nullptr);
  StoreNode* red = t.Add(NodeKind::Product, "Red Wine", cat);
  StoreNode* beer = t.Add(NodeKind::Product, "Beer", cat);
  StoreNode* white = t.Add(NodeKind::Product, "WHITE WINE", cat);
  t.project.changed = false;
  EXPECT_FALSE(t.editor.Rename(*cat, "Shop"));
  EXPECT_FALSE(t.project.changed);
  EXPECT_TRUE(t.editor.Rename(*cat, "<b>Wine</b>"));
  EXPECT_EQ(cat->displayName, "Wine");
  EXPECT_TRUE(t.project.changed);

  t.editor.Select(cat);
  EXPECT_EQ(t.editor.Find("wine"), 2u);
  EXPECT_EQ(t.editor.SelectedEntries(), (std::vector<StoreNode*>{red, white}));
  beer->status = kStatusDisabled;
  t.project.changed = false;
  t.editor.SetListSelection({beer});
  EXPECT_EQ(t.editor.SetListEnabled(false), 0);
  EXPECT_EQ(t.editor.SetTreeEnabled(true), 0);
  EXPECT_FALSE(t.project.changed);
  t.editor.SelectAll();
  EXPECT_EQ(t.editor.SetListEnabled(false), 2);
  EXPECT_EQ(red->status, kStatusDisabled);
  EXPECT_TRUE(t.project.changed);
  EXPECT_EQ(t.editor.SetListEnabled(true), 3);
  EXPECT_EQ(beer->status, 0);
  // Without a current node nothing is selected, deleted or copied.
  t.editor.Select(nullptr);
  EXPECT_TRUE(t.editor.SelectedEntries().empty());
  EXPECT_FALSE(t.editor.DeleteFromTree(t.prompter));
  t.editor.CopyFromTree();
  EXPECT_TRUE(t.editor.ClipboardEmpty());
}

TEST(TreeEditingTest, KeyboardMovesStopAtTheEnds) {
  Tree t;
  t.Add(NodeKind::Category, "A", nullptr);
  StoreNode* b = t.Add(NodeKind::Category, "B", nullptr);
  t.Add(NodeKind::Product, "B1", b);
  t.Add(NodeKind::Category, "C", nullptr);
  t.editor.Select(b);
  t.project.changed = false;
  EXPECT_TRUE(t.editor.MoveUp());
  EXPECT_EQ(Titles(t.project), "B >B1 A C");
  EXPECT_EQ(t.editor.current(), b);
  EXPECT_TRUE(t.project.changed);
  t.project.changed = false;
  EXPECT_FALSE(t.editor.MoveUp());
  EXPECT_FALSE(t.project.changed);
  EXPECT_TRUE(t.editor.MoveDown());
  EXPECT_TRUE(t.editor.MoveDown());
  EXPECT_FALSE(t.editor.MoveDown());
  EXPECT_EQ(Titles(t.project), "A C B >B1");
}

// Cat [ Shelf [ InShelf ], Sub [ Low [ Shelf2 [ Item ] ] ], Loose ], Page, Link
struct DropTree : Tree {
  StoreNode* cat = Add(NodeKind::Category, "Cat", nullptr);
  StoreNode* shelf = Add(NodeKind::Shelf, "Shelf", cat);
  StoreNode* inShelf = Add(NodeKind::Product, "InShelf", shelf);
  StoreNode* sub = Add(NodeKind::Category, "Sub", cat);
  StoreNode* low = Add(NodeKind::Category, "Low", sub);
  StoreNode* shelf2 = Add(NodeKind::Shelf, "Shelf2", low);
  StoreNode* item = Add(NodeKind::Product, "Item", shelf2);
  StoreNode* loose = Add(NodeKind::Product, "Loose", cat);
  StoreNode* page = Add(NodeKind::Page, "Page", nullptr);
  StoreNode* link = Add(NodeKind::Link, "Link", nullptr);
  std::vector<StoreNode*> All() const {
    return {cat, shelf, inShelf, sub, low, shelf2, item, loose, page, link};
  }
};

TEST(TreeEditingTest, DropsFollowTheKindsAndRefuseTheirOwnSubtree) {
  DropTree t;
  t.project.changed = false;
  // (Drop refuses what CanDrop refuses: checked over every pair below.)
  const std::pair<StoreNode*, StoreNode*> refused[] = {
      {t.page, t.inShelf}, {t.link, t.item},  // not beside a product in a shelf
      {t.cat, t.cat},      {t.cat, t.low},    // not into itself or its own subtree
      {t.sub, t.shelf2},   {t.shelf, t.item}, {t.item, t.item}};
  for (auto [dragged, target] : refused)
    EXPECT_FALSE(t.editor.CanDrop(*dragged, target)) << dragged->title << target->title;

  EXPECT_TRUE(t.editor.Drop(*t.loose, t.shelf));  // last child of the shelf
  EXPECT_EQ(t.loose->indexInParent, 1u);
  EXPECT_TRUE(t.project.changed);
  EXPECT_TRUE(t.editor.Drop(*t.page, t.shelf));  // a page onto a shelf goes after it
  EXPECT_TRUE(t.editor.Drop(*t.low, t.link));    // after a top-level link, with its subtree
  EXPECT_TRUE(t.editor.Drop(*t.sub, nullptr));   // the empty area: end of the top level
  EXPECT_EQ(Titles(t.project), "Cat >Shelf >>InShelf >>Loose >Page Link Low >Shelf2 >>Item Sub");
  EXPECT_TRUE(t.editor.Drop(*t.page, t.sub));  // into a category
  // A sibling dropped onto the one after it moves one place down.
  EXPECT_TRUE(t.editor.Drop(*t.inShelf, t.loose));
  EXPECT_EQ(Titles(t.project), "Cat >Shelf >>Loose >>InShelf Link Low >Shelf2 >>Item Sub >Page");

  // CanDrop agrees with Drop for every pair, and the empty area, on a fresh tree.
  for (std::size_t d = 0; d < t.All().size(); ++d) {
    for (int target = -1; target < static_cast<int>(t.All().size()); ++target) {
      DropTree fresh;
      StoreNode* into = target < 0 ? nullptr : fresh.All()[target];
      const bool can = fresh.editor.CanDrop(*fresh.All()[d], into);
      fresh.project.changed = false;
      EXPECT_EQ(fresh.editor.Drop(*fresh.All()[d], into), can) << d << " onto " << target;
      EXPECT_EQ(fresh.project.changed, can);
    }
  }
  auto detached = CreateNode();
  EXPECT_FALSE(t.editor.CanDrop(*detached, t.cat));  // not in the tree
}

// Children per holder, updated from the listener's calls only, the way a Qt model
// updates its rows; it must match the tree after every edit.
class Mirror : public TreeListener {
 public:
  explicit Mirror(StoreProject& project) : project_(project) { Take(project.top()); }

  void AboutToInsert(const StoreNode& holder, std::size_t row) override {
    ASSERT_EQ(kids_[&holder].size(), holder.children.size());  // not yet inserted
    pending_ = {&holder, row};
  }
  void Inserted(StoreNode& node) override {
    ASSERT_EQ(node.parent, pending_.first);
    ASSERT_EQ(node.indexInParent, pending_.second);
    auto& rows = kids_[pending_.first];
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(pending_.second), &node);
    Take(node);
    ++events;
  }
  void AboutToRemove(const StoreNode& node) override {
    ASSERT_EQ(kids_[node.parent].at(node.indexInParent), &node);
  }
  void Removed(const StoreNode& holder, std::size_t row) override {
    auto& rows = kids_[&holder];
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
    ++events;
  }
  void AboutToMove(const StoreNode& node, const StoreNode& holder, std::size_t dest) override {
    move_ = {node.parent, &holder, node.indexInParent, dest};
  }
  void Moved(StoreNode& node) override {
    auto& from = kids_[move_.from];
    from.erase(from.begin() + static_cast<std::ptrdiff_t>(move_.row));
    std::size_t dest = move_.dest;
    if (move_.from == move_.to && move_.row < dest) --dest;
    auto& to = kids_[move_.to];
    to.insert(to.begin() + static_cast<std::ptrdiff_t>(dest), &node);
    ++events;
  }
  void Changed(StoreNode&) override { ++changed; }

  bool Matches() { return Check(project_.top()); }

  int events = 0;
  int changed = 0;

 private:
  struct Move {
    const StoreNode *from, *to;
    std::size_t row, dest;
  };
  void Take(const StoreNode& holder) {
    auto& rows = kids_[&holder];
    rows.clear();
    for (const auto& c : holder.children) {
      rows.push_back(c.get());
      Take(*c);
    }
  }
  bool Check(const StoreNode& holder) {
    const auto& rows = kids_[&holder];
    bool ok = rows.size() == holder.children.size();
    for (std::size_t i = 0; ok && i < rows.size(); ++i)
      ok = rows[i] == holder.children[i].get() && Check(*holder.children[i]);
    return ok;
  }

  StoreProject& project_;
  std::map<const StoreNode*, std::vector<const StoreNode*>> kids_;
  std::pair<const StoreNode*, std::size_t> pending_;
  Move move_{};
};

TEST(TreeEditingTest, EveryEditIsReportedRowByRow) {
  DropTree t;
  Mirror mirror(t.project);
  t.editor.SetListener(&mirror);
  const std::pair<const char*, std::function<void(DropTree&)>> steps[] = {
      {"new page beside a shelf product",
       [](DropTree& t) {
         t.editor.Select(t.inShelf);
         t.editor.NewNode(NodeKind::Page);
       }},
      {"paste into the list",
       [](DropTree& t) {
         t.editor.Select(t.shelf);
         t.editor.SelectAll();
         t.editor.CopyFromList();
         t.editor.PasteIntoList();
       }},
      {"move up", [](DropTree& t) { t.editor.Select(t.sub), t.editor.MoveUp(); }},
      {"drop after a later sibling", [](DropTree& t) { t.editor.Drop(*t.shelf, t.loose); }},
      {"drop after an earlier sibling", [](DropTree& t) { t.editor.Drop(*t.loose, t.sub); }},
      {"drop on the empty area", [](DropTree& t) { t.editor.Drop(*t.sub, nullptr); }},
      {"delete from the list",
       [](DropTree& t) {
         t.editor.Select(t.shelf);
         t.editor.SelectAll();
         t.editor.DeleteFromList(t.prompter);
       }},
      {"delete a subtree",
       [](DropTree& t) {
         t.editor.Select(t.cat);
         t.prompter.answers = {PromptAnswer::Yes};
         t.editor.DeleteFromTree(t.prompter);
       }},
  };
  for (const auto& [name, run] : steps) {
    SCOPED_TRACE(name);
    run(t);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    EXPECT_TRUE(mirror.Matches());
  }
  EXPECT_GT(mirror.events, 8);
  EXPECT_EQ(mirror.changed, 0);

  // Renames and status changes report the changed nodes only, and only real changes.
  mirror.events = 0;
  t.editor.Rename(*t.link, "Linked");
  t.editor.Rename(*t.link, "Linked");
  t.editor.Select(t.link);
  t.editor.SetTreeEnabled(false);
  t.editor.SetTreeEnabled(false);
  EXPECT_EQ(mirror.changed, 2);
  EXPECT_EQ(mirror.events, 0);
}

}  // namespace
}  // namespace tolmi
