// The editing model of the store tree: the current node, the node list's
// multi-selection, the shared clipboard, and the operations the merchant runs
// from the tree and the node list. The desktop window and the CLI both call these.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"
#include "util/Platform.h"

namespace tolmi {

inline constexpr const char* kDeleteCategoryQuestion =
    "You are about to delete a Category and all nodes below it. Do you wish to proceed?";

// A copy of every field of a node (texts, kind, serial, STATUS, MOD, build and
// publish state, option lists), without its node variables and its children.
std::unique_ptr<StoreNode> CopyNode(const StoreNode& node);

// Whether `node` is `ancestor` or lies in its subtree.
bool IsInSubtree(const StoreNode& ancestor, const StoreNode& node);

// Whether the node is a shelf or list, or sits directly inside one.
bool IsShelfOrListOrInside(const StoreNode& node);

// Told about every change an editing operation makes to the tree, in about-to/done
// pairs, so a view can insert, remove and move single rows instead of resetting.
// A "holder" is the parent node, or project.top() for the top level; rows are
// indices among the holder's children. Calls come on the editing thread, in order,
// while the operation runs; a listener must not edit the tree.
class TreeListener {
 public:
  virtual ~TreeListener() = default;
  // A node goes in as child `row` of holder (rows from `row` on shift down).
  virtual void AboutToInsert(const StoreNode& /*holder*/, std::size_t /*row*/) {}
  virtual void Inserted(StoreNode& /*node*/) {}
  // The node (with its subtree) goes out; it is freed before Removed.
  virtual void AboutToRemove(const StoreNode& /*node*/) {}
  virtual void Removed(const StoreNode& /*holder*/, std::size_t /*row*/) {}
  // The node moves into newHolder in front of child `destRow`, counted before the
  // move (the row convention of QAbstractItemModel::beginMoveRows).
  virtual void AboutToMove(const StoreNode& /*node*/, const StoreNode& /*newHolder*/,
                           std::size_t /*destRow*/) {}
  virtual void Moved(StoreNode& /*node*/) {}
  // The node's title, display name or STATUS changed (its label or icon).
  virtual void Changed(StoreNode& /*node*/) {}
};

class TreeEditor {
 public:
  TreeEditor(StoreProject& project, std::uint32_t& serialCounter)
      : project_(project), serialCounter_(serialCounter) {}

  // The listener told about every change from now on (null: none). Not owned.
  void SetListener(TreeListener* listener) { listener_ = listener; }

  StoreProject& project() { return project_; }
  const StoreProject& project() const { return project_; }
  StoreNode* current() const { return project_.selected; }
  void Select(StoreNode* node) { project_.selected = node; }

  // The node list: the children of the current node, in order (empty without one).
  std::vector<StoreNode*> ListEntries() const;
  // The selected list entries, in list order; entries no longer in the list are dropped.
  std::vector<StoreNode*> SelectedEntries() const;
  void SetListSelection(std::vector<StoreNode*> entries) { listSelection_ = std::move(entries); }
  void SelectAll();                         // every entry of the list
  std::size_t Find(std::string_view text);  // entries whose title contains text, case ignored

  // New nodes. Returns the placed node (now current), or null when nothing was made
  // (a product needs a current node).
  StoreNode* NewNode(NodeKind kind);

  // Clipboard.
  void CopyFromTree();
  void CopyFromList();
  bool ClipboardEmpty() const { return clipboard_.empty(); }
  const std::vector<std::unique_ptr<StoreNode>>& clipboard() const { return clipboard_; }
  // Paste places fresh copies of the chain relative to the current node; from the
  // tree the last copy becomes current, from the list the copies join the list selection.
  std::vector<StoreNode*> PasteIntoTree();
  std::vector<StoreNode*> PasteIntoList();

  // Delete. A node with children asks first; No (or no prompter answer Yes) stops.
  // Returns whether anything was deleted.
  bool DeleteFromTree(Prompter& prompter);
  bool DeleteFromList(Prompter& prompter);

  // Rename: a text that differs from the title replaces it. Returns whether it changed.
  bool Rename(StoreNode& node, std::string_view text);

  // Enable/disable the current node or the selected list entries; only nodes whose
  // state actually changes count. Return how many changed.
  int SetTreeEnabled(bool enabled);
  int SetListEnabled(bool enabled);

  // "+" moves the current node before its previous sibling, "-" after its next one.
  bool MoveUp();
  bool MoveDown();

  // Whether `dragged` may be dropped onto `target` (null: the empty area below the
  // nodes). Refused: onto itself; a non-product onto a product inside a shelf or
  // list; anything that would land in its own subtree; a node not in the tree.
  bool CanDrop(const StoreNode& dragged, const StoreNode* target) const;
  // Drag and drop of `dragged` onto `target` (null: the empty area below the nodes):
  // into a category (or a product into a shelf or list that is not inside one) as its
  // last child, else after the target. Returns false when refused (CanDrop); the
  // tree is then unchanged.
  bool Drop(StoreNode& dragged, StoreNode* target);

 private:
  void DeleteNode(StoreNode& node, bool selectNext);
  StoreNode* Place(std::unique_ptr<StoreNode> node, StoreNode* current);
  void SetEnabled(StoreNode& node, bool enabled);
  // Moves node in front of child destRow (counted before the move) of holder.
  void MoveTo(StoreNode& node, StoreNode& holder, std::size_t destRow);
  std::optional<NodePlace> DropPlace(const StoreNode& dragged, const StoreNode* target) const;

  StoreProject& project_;
  std::uint32_t& serialCounter_;
  std::vector<StoreNode*> listSelection_;
  std::vector<std::unique_ptr<StoreNode>> clipboard_;
  TreeListener* listener_ = nullptr;
};

// The first free file name for a pasted or imported node: `name` itself when no node
// of the project has it (case ignored), else UniqueFileName(name, n) for n = 1, 2, ...
std::string FreeFileName(const StoreProject& project, const std::string& name);

}  // namespace tolmi
