// Change reports of tree editing: a mirror kept only from the listener's calls must
// match the tree after every operation, and CanDrop must agree with Drop.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "project/TreeEditing.h"
#include "tests/support/FakePrompter.h"

namespace tolmi {
namespace {

// Children per holder, updated the way a Qt model updates its rows.
class Mirror : public TreeListener {
 public:
  explicit Mirror(StoreProject& project) : project_(project) { Take(project.top()); }

  void AboutToInsert(const StoreNode& holder, std::size_t row) override {
    ASSERT_EQ(kids_[&holder].size(), holder.children.size());  // not yet inserted
    ASSERT_LE(row, holder.children.size());
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
    Drop(node);
  }
  void Removed(const StoreNode& holder, std::size_t row) override {
    auto& rows = kids_[&holder];
    rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
    ++events;
  }
  void AboutToMove(const StoreNode& node, const StoreNode& holder, std::size_t dest) override {
    move_ = {&node, node.parent, node.indexInParent, &holder, dest};
  }
  void Moved(StoreNode& node) override {
    ASSERT_EQ(&node, move_.node);
    auto& from = kids_[move_.from];
    from.erase(from.begin() + static_cast<std::ptrdiff_t>(move_.row));
    std::size_t dest = move_.dest;
    if (move_.from == move_.to && move_.row < dest) --dest;
    auto& to = kids_[move_.to];
    to.insert(to.begin() + static_cast<std::ptrdiff_t>(dest), &node);
    ++events;
  }
  void Changed(StoreNode&) override { ++changed; }

  // Whether every holder's rows match the tree.
  bool Matches() {
    bool ok = true;
    Check(project_.top(), ok);
    return ok;
  }

  int events = 0;
  int changed = 0;

 private:
  struct Move {
    const StoreNode* node;
    const StoreNode* from;
    std::size_t row;
    const StoreNode* to;
    std::size_t dest;
  };
  void Take(const StoreNode& holder) {
    auto& rows = kids_[&holder];
    rows.clear();
    for (const auto& c : holder.children) {
      rows.push_back(c.get());
      Take(*c);
    }
  }
  void Drop(const StoreNode& node) {
    for (const auto& c : node.children) Drop(*c);
    kids_.erase(&node);
  }
  void Check(const StoreNode& holder, bool& ok) {
    const auto& rows = kids_[&holder];
    if (rows.size() != holder.children.size()) {
      ok = false;
      return;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] != holder.children[i].get()) ok = false;
      Check(*holder.children[i], ok);
    }
  }

  StoreProject& project_;
  std::map<const StoreNode*, std::vector<const StoreNode*>> kids_;
  std::pair<const StoreNode*, std::size_t> pending_;
  Move move_{};
};

struct Tree {
  StoreProject project;
  std::uint32_t serial = 0;
  TreeEditor editor{project, serial};
  test::FakePrompter prompter;
  StoreNode *cat, *shelf, *inShelf, *sub, *page, *loose;

  Tree() {
    cat = New(NodeKind::Category, nullptr);
    shelf = New(NodeKind::Shelf, cat);
    inShelf = New(NodeKind::Product, shelf);
    sub = New(NodeKind::Category, cat);
    page = New(NodeKind::Page, nullptr);
    loose = New(NodeKind::Product, cat);
  }
  StoreNode* New(NodeKind kind, StoreNode* at) {
    editor.Select(at);
    return editor.NewNode(kind);
  }
};

TEST(TreeChangesTest, EveryEditIsReportedRowByRow) {
  Tree t;
  Mirror mirror(t.project);
  t.editor.SetListener(&mirror);
  struct Step {
    const char* name;
    std::function<void(Tree&)> run;
  };
  const std::vector<Step> steps = {
      {"new page beside a shelf product", [](Tree& t) { t.New(NodeKind::Page, t.inShelf); }},
      {"new product in the shelf", [](Tree& t) { t.New(NodeKind::Product, t.shelf); }},
      {"paste into the tree",
       [](Tree& t) {
         t.editor.Select(t.loose);
         t.editor.CopyFromTree();
         t.editor.PasteIntoTree();
       }},
      {"paste into the list",
       [](Tree& t) {
         t.editor.Select(t.shelf);
         t.editor.SelectAll();
         t.editor.CopyFromList();
         t.editor.PasteIntoList();
       }},
      {"move up", [](Tree& t) { t.editor.Select(t.sub), t.editor.MoveUp(); }},
      {"move down", [](Tree& t) { t.editor.Select(t.cat), t.editor.MoveDown(); }},
      {"drop into a category", [](Tree& t) { t.editor.Drop(*t.page, t.sub); }},
      {"drop after a later sibling", [](Tree& t) { t.editor.Drop(*t.shelf, t.loose); }},
      {"drop after an earlier sibling", [](Tree& t) { t.editor.Drop(*t.loose, t.sub); }},
      {"drop on the empty area", [](Tree& t) { t.editor.Drop(*t.sub, nullptr); }},
      {"drop onto its previous sibling (no move)",
       [](Tree& t) { t.editor.Drop(*t.sub, t.cat); }},
      {"delete from the list",
       [](Tree& t) {
         t.editor.Select(t.shelf);
         t.editor.SelectAll();
         t.editor.DeleteFromList(t.prompter);
       }},
      {"delete a subtree from the tree",
       [](Tree& t) {
         t.editor.Select(t.cat);
         t.editor.DeleteFromTree(t.prompter);
       }},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    step.run(t);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    EXPECT_TRUE(mirror.Matches());
  }
  EXPECT_GT(mirror.events, 10);
  EXPECT_EQ(mirror.changed, 0);
}

TEST(TreeChangesTest, RenameAndEnablingReportChangedNodesOnly) {
  Tree t;
  Mirror mirror(t.project);
  t.editor.SetListener(&mirror);
  t.editor.Rename(*t.page, "Page");
  t.editor.Rename(*t.page, "Page");  // no change
  t.editor.Select(t.page);
  t.editor.SetTreeEnabled(false);
  t.editor.SetTreeEnabled(false);  // already disabled
  t.editor.Select(t.cat);
  t.editor.SetListEnabled(false);  // nothing selected
  t.editor.SelectAll();
  EXPECT_EQ(t.editor.SetListEnabled(false), 3);
  EXPECT_EQ(mirror.changed, 5);
  EXPECT_EQ(mirror.events, 0);
}

TEST(TreeChangesTest, CanDropAgreesWithDrop) {
  // Every (dragged, target) pair of the tree, plus the empty area, on a fresh tree.
  const int count = 6;
  for (int d = 0; d < count; ++d) {
    for (int target = -1; target < count; ++target) {
      Tree t;
      StoreNode* nodes[] = {t.cat, t.shelf, t.inShelf, t.sub, t.page, t.loose};
      StoreNode* into = target < 0 ? nullptr : nodes[target];
      const bool can = t.editor.CanDrop(*nodes[d], into);
      t.project.changed = false;
      EXPECT_EQ(t.editor.Drop(*nodes[d], into), can) << d << " onto " << target;
      EXPECT_EQ(t.project.changed, can);
    }
  }
  // Which drops are refused is the drop tests' matter; a node outside the tree never drops.
  Tree t;
  auto detached = CreateNode();
  EXPECT_FALSE(t.editor.CanDrop(*detached, t.cat));  // not in the tree
}

}  // namespace
}  // namespace tolmi
