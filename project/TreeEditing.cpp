#include "project/TreeEditing.h"

#include <algorithm>
#include <unordered_set>

#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

bool HoldsProducts(const StoreNode& node) {
  return !node.isTopHolder && (node.kind == NodeKind::Shelf || node.kind == NodeKind::List);
}

StoreNode& Holder(StoreProject& project, StoreNode& node) {
  return node.parent != nullptr ? *node.parent : project.top();
}

}  // namespace

std::unique_ptr<StoreNode> CopyNode(const StoreNode& node) {
  auto copy = CreateNode();
  copy->kind = node.kind;
  copy->title = node.title;
  copy->displayName = node.displayName;
  copy->page = node.page;
  copy->pagePresent = node.pagePresent;
  copy->cost = node.cost;
  copy->image = node.image;
  copy->link = node.link;
  copy->body = node.body;
  copy->desc = node.desc;
  copy->file = node.file;
  copy->temp = node.temp;
  copy->code = node.code;
  copy->freight = node.freight;
  copy->weight = node.weight;
  copy->tax = node.tax;
  copy->fields = node.fields;
  copy->labels = node.labels;
  copy->keywords = node.keywords;
  copy->optionLabel1 = node.optionLabel1;
  copy->optionLabel2 = node.optionLabel2;
  copy->options1 = node.options1;
  copy->options2 = node.options2;
  copy->serial = node.serial;
  copy->builtSize = node.builtSize;
  copy->builtChecksum = node.builtChecksum;
  copy->publishedSize = node.publishedSize;
  copy->publishedChecksum = node.publishedChecksum;
  copy->imageStamp = node.imageStamp;
  copy->linkStamp = node.linkStamp;
  copy->status = node.status;
  copy->mod = node.mod;
  return copy;
}

bool IsInSubtree(const StoreNode& ancestor, const StoreNode& node) {
  for (const StoreNode* n = &node; n != nullptr; n = n->parent) {
    if (n == &ancestor) return true;
  }
  return false;
}

bool IsShelfOrListOrInside(const StoreNode& node) {
  if (HoldsProducts(node)) return true;
  return node.parent != nullptr && HoldsProducts(*node.parent);
}

std::string FreeFileName(const StoreProject& project, const std::string& name) {
  std::unordered_set<std::string> used;
  ForEachNode(project, [&](const StoreNode& n) {
    if (!n.file.empty()) used.insert(ToLowerAscii(n.file));
  });
  std::string candidate = name;
  for (int n = 1; used.count(ToLowerAscii(candidate)) != 0; ++n) {
    candidate = UniqueFileName(name, n);
  }
  return candidate;
}

std::vector<StoreNode*> TreeEditor::ListEntries() const {
  std::vector<StoreNode*> entries;
  if (project_.selected == nullptr) return entries;
  for (auto& child : project_.selected->children) entries.push_back(child.get());
  return entries;
}

std::vector<StoreNode*> TreeEditor::SelectedEntries() const {
  // Compare pointers only: a stale entry is never dereferenced.
  std::vector<StoreNode*> result;
  for (StoreNode* entry : ListEntries()) {
    if (std::find(listSelection_.begin(), listSelection_.end(), entry) != listSelection_.end()) {
      result.push_back(entry);
    }
  }
  return result;
}

void TreeEditor::SelectAll() {
  listSelection_ = ListEntries();
}

std::size_t TreeEditor::Find(std::string_view text) {
  listSelection_.clear();
  const std::string needle = ToLowerAscii(text);
  for (StoreNode* entry : ListEntries()) {
    if (ToLowerAscii(entry->title).find(needle) != std::string::npos) {
      listSelection_.push_back(entry);
    }
  }
  return listSelection_.size();
}

StoreNode* TreeEditor::Place(std::unique_ptr<StoreNode> node, StoreNode* current) {
  const NodePlace place = InsertPlace(project_, node->kind, current);
  if (listener_ != nullptr) listener_->AboutToInsert(*place.holder, place.index);
  StoreNode* placed = InsertNode(project_, std::move(node), current);
  if (listener_ != nullptr) listener_->Inserted(*placed);
  return placed;
}

StoreNode* TreeEditor::NewNode(NodeKind kind) {
  StoreNode* current = project_.selected;
  if (kind == NodeKind::Product && current == nullptr) return nullptr;
  // With an empty tree there is no current node, so every kind goes to the top level.
  StoreNode* placed = Place(NewStoreNode(project_, kind, serialCounter_, current), current);
  project_.selected = placed;
  return placed;
}

void TreeEditor::CopyFromTree() {
  if (project_.selected == nullptr) return;
  clipboard_.clear();
  clipboard_.push_back(CopyNode(*project_.selected));
}

void TreeEditor::CopyFromList() {
  auto entries = SelectedEntries();
  if (entries.empty()) return;
  clipboard_.clear();
  for (StoreNode* entry : entries) clipboard_.push_back(CopyNode(*entry));
}

std::vector<StoreNode*> TreeEditor::PasteIntoTree() {
  std::vector<StoreNode*> placed;
  StoreNode* current = project_.selected;
  for (const auto& held : clipboard_) {
    auto copy = CopyNode(*held);
    if (!copy->file.empty() && copy->kind != NodeKind::Link) {
      copy->file = FreeFileName(project_, copy->file);
    }
    placed.push_back(Place(std::move(copy), current));
  }
  if (!placed.empty()) project_.selected = placed.back();
  return placed;
}

std::vector<StoreNode*> TreeEditor::PasteIntoList() {
  std::vector<StoreNode*> placed;
  StoreNode* current = project_.selected;
  for (const auto& held : clipboard_) {
    auto copy = CopyNode(*held);
    if (!copy->file.empty() && copy->kind != NodeKind::Link) {
      copy->file = FreeFileName(project_, copy->file);
    }
    placed.push_back(Place(std::move(copy), current));
  }
  for (StoreNode* node : placed) listSelection_.push_back(node);
  return placed;
}

void TreeEditor::DeleteNode(StoreNode& node, bool selectNext) {
  StoreNode* next = NextSibling(node);
  if (next == nullptr) next = PreviousSibling(node);
  if (next == nullptr) next = ParentNode(node);
  MarkNeighboursChanged(project_, node);
  listSelection_.erase(std::remove(listSelection_.begin(), listSelection_.end(), &node),
                       listSelection_.end());
  StoreNode* keep = project_.selected;
  const bool currentGoes = keep != nullptr && IsInSubtree(node, *keep);
  StoreNode& holder = Holder(project_, node);
  const std::size_t row = node.indexInParent;
  if (listener_ != nullptr) listener_->AboutToRemove(node);
  FreeNode(project_, &node);
  if (listener_ != nullptr) listener_->Removed(holder, row);
  project_.changed = true;
  if (selectNext) {
    project_.selected = next;
  } else if (!currentGoes) {
    project_.selected = keep;
  }
}

bool TreeEditor::DeleteFromTree(Prompter& prompter) {
  StoreNode* node = project_.selected;
  if (node == nullptr) return false;
  if (!node->children.empty() && prompter.Ask(kDeleteCategoryQuestion, "Confirmation",
                                              PromptButtons::YesNo) != PromptAnswer::Yes) {
    return false;
  }
  DeleteNode(*node, true);
  return true;
}

bool TreeEditor::DeleteFromList(Prompter& prompter) {
  auto entries = SelectedEntries();
  if (entries.empty()) return false;
  // The question is about the current tree node, whose children the list shows.
  if (prompter.Ask(kDeleteCategoryQuestion, "Confirmation", PromptButtons::YesNo) !=
      PromptAnswer::Yes) {
    return false;
  }
  for (StoreNode* entry : entries) DeleteNode(*entry, false);
  return true;
}

bool TreeEditor::Rename(StoreNode& node, std::string_view text) {
  if (node.title == text) return false;
  node.title = std::string(text);
  DisplayName(node);
  project_.changed = true;
  if (listener_ != nullptr) listener_->Changed(node);
  return true;
}

void TreeEditor::SetEnabled(StoreNode& node, bool enabled) {
  SetNodeEnabled(project_, node, enabled);
  if (listener_ != nullptr) listener_->Changed(node);
}

int TreeEditor::SetTreeEnabled(bool enabled) {
  StoreNode* node = project_.selected;
  if (node == nullptr || node->Enabled() == enabled) return 0;
  SetEnabled(*node, enabled);
  return 1;
}

int TreeEditor::SetListEnabled(bool enabled) {
  int count = 0;
  for (StoreNode* entry : SelectedEntries()) {
    if (entry->Enabled() == enabled) continue;
    SetEnabled(*entry, enabled);
    ++count;
  }
  return count;
}

void TreeEditor::MoveTo(StoreNode& node, StoreNode& holder, std::size_t destRow) {
  const bool sameHolder = node.parent == &holder;
  // In front of itself or of its next sibling: the node stays where it is.
  if (sameHolder && (destRow == node.indexInParent || destRow == node.indexInParent + 1)) return;
  if (listener_ != nullptr) listener_->AboutToMove(node, holder, destRow);
  // Removing the node first shifts later siblings in the same holder by one.
  const std::size_t index = sameHolder && node.indexInParent < destRow ? destRow - 1 : destRow;
  auto owned = DetachNode(project_, node);
  InsertChildAt(holder, index, std::move(owned));
  if (listener_ != nullptr) listener_->Moved(node);
}

bool TreeEditor::MoveUp() {
  StoreNode* node = project_.selected;
  if (node == nullptr || node->parent == nullptr || node->indexInParent == 0) return false;
  MoveTo(*node, *node->parent, node->indexInParent - 1);
  project_.selected = node;
  project_.changed = true;
  return true;
}

bool TreeEditor::MoveDown() {
  StoreNode* node = project_.selected;
  if (node == nullptr || node->parent == nullptr ||
      node->indexInParent + 1 >= node->parent->children.size()) {
    return false;
  }
  MoveTo(*node, *node->parent, node->indexInParent + 2);
  project_.selected = node;
  project_.changed = true;
  return true;
}

std::optional<NodePlace> TreeEditor::DropPlace(const StoreNode& dragged,
                                               const StoreNode* target) const {
  if (dragged.parent == nullptr || dragged.isTopHolder) return std::nullopt;
  NodePlace place;
  if (target == nullptr) {
    place.holder = const_cast<StoreNode*>(&project_.top());
    place.index = place.holder->children.size();
  } else {
    if (target == &dragged || target->parent == nullptr || target->isTopHolder) {
      return std::nullopt;
    }
    const bool targetInShelf = target->parent != nullptr && HoldsProducts(*target->parent);
    if (target->kind == NodeKind::Product && targetInShelf && dragged.kind != NodeKind::Product) {
      return std::nullopt;
    }
    const bool intoTarget = (target->kind == NodeKind::Category ||
                             (HoldsProducts(*target) && dragged.kind == NodeKind::Product)) &&
                            !targetInShelf;
    if (intoTarget) {
      place.holder = const_cast<StoreNode*>(target);
      place.index = target->children.size();
    } else {
      place.holder = target->parent;
      place.index = target->indexInParent + 1;
    }
  }
  // Never into its own subtree.
  if (IsInSubtree(dragged, *place.holder)) return std::nullopt;
  return place;
}

bool TreeEditor::CanDrop(const StoreNode& dragged, const StoreNode* target) const {
  return DropPlace(dragged, target).has_value();
}

bool TreeEditor::Drop(StoreNode& dragged, StoreNode* target) {
  const std::optional<NodePlace> place = DropPlace(dragged, target);
  if (!place) return false;
  StoreNode* selected = project_.selected;
  const bool wasSelected = selected != nullptr && IsInSubtree(dragged, *selected);
  MoveTo(dragged, *place->holder, place->index);
  if (wasSelected) project_.selected = selected;
  project_.changed = true;
  return true;
}

}  // namespace tolmi
