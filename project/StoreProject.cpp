#include "project/StoreProject.h"

#include <unordered_set>

#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

void ResetDeliveryMethodNames(StoreProject& project) {
  for (std::size_t i = 0; i < project.deliveryMethodNames.size(); ++i) {
    project.deliveryMethodNames[i] = kDefaultDeliveryMethodNames[i];
  }
}

void Renumber(StoreNode& holder, std::size_t from) {
  for (std::size_t i = from; i < holder.children.size(); ++i) {
    holder.children[i]->indexInParent = i;
  }
}

bool IsAncestorOrSelf(const StoreNode* ancestor, const StoreNode* node) {
  for (; node != nullptr; node = node->parent) {
    if (node == ancestor) return true;
  }
  return false;
}

// The first node of the subtree in a children-before-node walk.
StoreNode* DeepestFirst(StoreNode* node) {
  while (!node->children.empty()) node = node->children.front().get();
  return node;
}

// Walks `start` and its following siblings, each subtree children first, and
// returns the first node for which match() is true.
template <typename Match>
StoreNode* FindChildrenFirst(StoreNode* start, Match match) {
  if (start == nullptr) return nullptr;
  StoreNode* holder = start->parent;
  StoreNode* node = DeepestFirst(start);
  while (true) {
    if (match(*node)) return node;
    StoreNode* parent = node->parent;
    if (parent == holder && holder == nullptr) return nullptr;  // a lone node
    if (node->indexInParent + 1 < parent->children.size()) {
      node = DeepestFirst(parent->children[node->indexInParent + 1].get());
    } else if (parent == holder) {
      return nullptr;
    } else {
      node = parent;
    }
  }
}

template <typename Node, typename Fn>
void WalkDisplayOrder(Node& top, Fn fn) {
  if (top.children.empty()) return;
  Node* node = top.children.front().get();
  while (node != nullptr) {
    fn(*node);
    if (!node->children.empty()) {
      node = node->children.front().get();
      continue;
    }
    while (node != &top) {
      Node* parent = node->parent;
      if (node->indexInParent + 1 < parent->children.size()) {
        node = parent->children[node->indexInParent + 1].get();
        break;
      }
      node = parent;
    }
    if (node == &top) return;
  }
}

}  // namespace

StoreProject::StoreProject() : top_(std::make_unique<StoreNode>()) {
  top_->isTopHolder = true;
  ResetDeliveryMethodNames(*this);
}

std::unique_ptr<StoreNode> CreateNode() {
  return std::make_unique<StoreNode>();
}

std::unique_ptr<StoreNode> NewStoreNode(const StoreProject& project, NodeKind kind,
                                        std::uint32_t& serialCounter, const StoreNode* selected) {
  auto node = CreateNode();
  node->kind = kind;
  node->title = DefaultTitle(kind);
  if (kind == NodeKind::Link) return node;
  node->serial = ++serialCounter;
  std::string name = std::to_string(node->serial) + ".htm";
  if (kind == NodeKind::Product) {
    std::unordered_set<std::string> used;
    ForEachNode(project, [&](const StoreNode& n) {
      if (!n.file.empty()) used.insert(ToLowerAscii(n.file));
    });
    std::string candidate = name;
    for (int n = 1; used.count(ToLowerAscii(candidate)) != 0; ++n) {
      candidate = UniqueFileName(name, n);
    }
    name = candidate;
    node->code = std::to_string(node->serial);
    if (selected != nullptr) node->labels = selected->labels;
  }
  node->file = name;
  return node;
}

std::unique_ptr<StoreNode> DetachNode(StoreProject& project, StoreNode& node) {
  StoreNode* parent = node.parent;
  if (parent == nullptr) return nullptr;
  if (project.selected != nullptr && IsAncestorOrSelf(&node, project.selected)) {
    project.selected = nullptr;
  }
  std::size_t index = node.indexInParent;
  std::unique_ptr<StoreNode> owned = std::move(parent->children[index]);
  parent->children.erase(parent->children.begin() + static_cast<std::ptrdiff_t>(index));
  Renumber(*parent, index);
  owned->parent = nullptr;
  owned->indexInParent = 0;
  return owned;
}

void FreeNode(StoreProject& project, StoreNode* node) {
  if (node == nullptr || node->isTopHolder) return;
  if (project.selected != nullptr && IsAncestorOrSelf(node, project.selected)) {
    project.selected = nullptr;
  }
  if (node->parent != nullptr) DetachNode(project, *node);
}

StoreNode* RootNode(StoreProject& project) {
  return FirstChild(project.top());
}
const StoreNode* RootNode(const StoreProject& project) {
  return FirstChild(project.top());
}

StoreNode* ParentNode(const StoreNode& node) {
  if (node.parent == nullptr || node.parent->isTopHolder) return nullptr;
  return node.parent;
}

StoreNode* FirstChild(const StoreNode& node) {
  return node.children.empty() ? nullptr : node.children.front().get();
}

StoreNode* NextSibling(const StoreNode& node) {
  if (node.parent == nullptr) return nullptr;
  std::size_t next = node.indexInParent + 1;
  return next < node.parent->children.size() ? node.parent->children[next].get() : nullptr;
}

StoreNode* PreviousSibling(const StoreNode& node) {
  if (node.parent == nullptr || node.indexInParent == 0) return nullptr;
  return node.parent->children[node.indexInParent - 1].get();
}

StoreNode* InsertChildAt(StoreNode& holder, std::size_t index, std::unique_ptr<StoreNode> node) {
  if (index > holder.children.size()) index = holder.children.size();
  StoreNode* placed = node.get();
  placed->parent = &holder;
  holder.children.insert(holder.children.begin() + static_cast<std::ptrdiff_t>(index),
                         std::move(node));
  Renumber(holder, index);
  return placed;
}

StoreNode* AppendNode(StoreProject& project, StoreNode* parent, std::unique_ptr<StoreNode> node) {
  StoreNode& holder = parent != nullptr ? *parent : project.top();
  StoreNode* placed = node.get();
  placed->parent = &holder;
  placed->indexInParent = holder.children.size();
  holder.children.push_back(std::move(node));
  DisplayName(*placed);
  return placed;
}

NodePlace InsertPlace(StoreProject& project, NodeKind kind, const StoreNode* current) {
  if (current == nullptr || current->parent == nullptr) {
    return {&project.top(), project.top().children.size()};
  }
  const bool isProduct = kind == NodeKind::Product;
  const bool currentHoldsProducts =
      current->kind == NodeKind::Shelf || current->kind == NodeKind::List;
  if (current->kind == NodeKind::Category || (currentHoldsProducts && isProduct)) {
    StoreNode* holder = const_cast<StoreNode*>(current);
    return {holder, holder->children.size()};
  }
  StoreNode* parent = current->parent;  // the top-level holder at the top level
  if (!parent->isTopHolder && (parent->kind == NodeKind::Shelf || parent->kind == NodeKind::List) &&
      !isProduct) {
    return {parent->parent, parent->indexInParent + 1};
  }
  return {parent, current->indexInParent + 1};
}

StoreNode* InsertNode(StoreProject& project, std::unique_ptr<StoreNode> node, StoreNode* current) {
  project.changed = true;
  const NodePlace place = InsertPlace(project, node->kind, current);
  StoreNode* placed = InsertChildAt(*place.holder, place.index, std::move(node));
  DisplayName(*placed);
  return placed;
}

StoreNode* FindNodeByFile(StoreNode* start, std::string_view name) {
  return FindChildrenFirst(start, [&](const StoreNode& n) { return EqualsNoCase(n.file, name); });
}

StoreNode* FindNodeByCode(StoreNode* start, std::string_view code) {
  return FindChildrenFirst(start, [&](const StoreNode& n) { return n.code == code; });
}

int ReplaceTemplate(StoreNode* start, std::string_view oldName, std::string_view newName) {
  int count = 0;
  FindChildrenFirst(start, [&](StoreNode& n) {
    if (EqualsNoCase(n.temp, oldName)) {
      n.temp = std::string(newName);
      ++count;
    }
    return false;
  });
  return count;
}

void SetNodeEnabled(StoreProject& project, StoreNode& node, bool enabled) {
  node.status = enabled ? 0 : kStatusDisabled;
  project.changed = true;
}

void MarkNeighboursChanged(StoreProject& project, StoreNode& node) {
  StoreNode* holder = node.parent != nullptr ? node.parent : &project.top();
  if (!holder->isTopHolder) holder->mod = 1;
  for (auto& child : holder->children) child->mod = 1;
}

void ClearProject(StoreProject& project, std::vector<InstalledCard>* installedCards) {
  project.selected = nullptr;
  project.top().children.clear();
  project.settings = StoreSettings{};
  project.variables.clear();
  project.regions.clear();
  project.cards.clear();
  project.cartStamps.clear();
  project.templateStamps.clear();
  project.changed = false;
  if (installedCards != nullptr) {
    for (auto& card : *installedCards) card.chosen = false;
  }
}

void SetVariable(std::vector<StoreVariable>& variables, std::string_view name,
                 std::string_view value) {
  for (auto it = variables.begin(); it != variables.end(); ++it) {
    if (!EqualsNoCase(it->name, name)) continue;
    if (value.empty()) {
      variables.erase(it);
    } else {
      it->value = std::string(value);
    }
    return;
  }
  if (!value.empty()) variables.push_back({std::string(name), std::string(value)});
}

const std::string* GetVariable(const std::vector<StoreVariable>& variables, std::string_view name) {
  for (const auto& variable : variables) {
    if (EqualsNoCase(variable.name, name)) return &variable.value;
  }
  return nullptr;
}

void ForEachNode(StoreProject& project, const std::function<void(StoreNode&)>& fn) {
  WalkDisplayOrder(project.top(), fn);
}

void ForEachNode(const StoreProject& project, const std::function<void(const StoreNode&)>& fn) {
  WalkDisplayOrder(project.top(), fn);
}

std::size_t CountNodes(const StoreProject& project) {
  std::size_t count = 0;
  ForEachNode(project, [&](const StoreNode&) { ++count; });
  return count;
}

}  // namespace tolmi
