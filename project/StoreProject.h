// The open store project: settings, store-wide lists and the node tree, with the
// operations that navigate and change the tree.
//
// The tree is held in plain records: every node owns its children in order and
// knows its parent and its index among its siblings. The top level is held by an
// invisible holder node that is not a node of the store (ParentNode() of a
// top-level node is null). Display order, file order and build order are the
// same order: depth first, a node before its children, children in order.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreNode.h"
#include "project/StoreSettings.h"

namespace tolmi {

// The delivery-method names a new program run starts with.
inline constexpr std::array<const char*, 3> kDefaultDeliveryMethodNames = {
    "Economy Air (2-3 Weeks)", "Express Courier (1-3 Days)", "Surface Mail (3-6 Weeks)"};

class StoreProject {
 public:
  StoreProject();
  StoreProject(StoreProject&&) = default;
  StoreProject& operator=(StoreProject&&) = default;

  StoreSettings settings;
  std::vector<StoreVariable> variables;     // "VAR=": layout variables, in order
  std::vector<FreightRegion> regions;       // "$": freight regions, in order
  std::vector<AcceptedCard> cards;          // "CC=": accepted cards, in order
  std::vector<UploadStamp> cartStamps;      // "usd=": stamps of the shared cart files
  std::vector<UploadStamp> templateStamps;  // "utd=": stamps of the style's template files
  // "FNAME=": delivery-method names 0 to 2; kept when the project is cleared.
  std::array<std::optional<std::string>, 3> deliveryMethodNames;

  bool changed = false;           // the project has unsaved changes
  StoreNode* selected = nullptr;  // the node selected in the tree, if any

  // The holder of the top level (its children are the top-level nodes).
  StoreNode& top() { return *top_; }
  const StoreNode& top() const { return *top_; }

 private:
  std::unique_ptr<StoreNode> top_;
};

// A new node with every field empty or 0 (a category, enabled, MOD 0), not in any tree.
std::unique_ptr<StoreNode> CreateNode();

// A new node of the kind as the merchant creates it: default title, the next
// serial from serialCounter (the "uid" counter, which is advanced), file name
// "<serial>.htm" (for a product varied until no node of the project has it),
// and for a product its serial as CODE and T1 to T6 copied from `selected`.
// A link takes no serial and gets no file name. Not inserted in the tree.
std::unique_ptr<StoreNode> NewStoreNode(const StoreProject& project, NodeKind kind,
                                        std::uint32_t& serialCounter, const StoreNode* selected);

// Removes the node (with its subtree) from the tree, if it is in one, and frees it.
// Clears the selection when the selected node is freed.
void FreeNode(StoreProject& project, StoreNode* node);

// Takes the node (with its subtree) out of the tree and hands it to the caller.
std::unique_ptr<StoreNode> DetachNode(StoreProject& project, StoreNode& node);

// Navigation; each returns null where there is no such node.
StoreNode* RootNode(StoreProject& project);  // first top-level node
const StoreNode* RootNode(const StoreProject& project);
StoreNode* ParentNode(const StoreNode& node);  // null at the top level
StoreNode* FirstChild(const StoreNode& node);
StoreNode* NextSibling(const StoreNode& node);
StoreNode* PreviousSibling(const StoreNode& node);

// Places `node` as child number `index` (clamped to the end) of `holder`, which is
// a node or project.top(); renumbers the siblings after it. Returns the node.
// Does not check the kinds and does not mark the project changed.
StoreNode* InsertChildAt(StoreNode& holder, std::size_t index, std::unique_ptr<StoreNode> node);

// Appends `node` as the last child of `parent` (the top level when null) and
// caches its display name. Does not mark the project changed. Returns the node.
StoreNode* AppendNode(StoreProject& project, StoreNode* parent, std::unique_ptr<StoreNode> node);

// Where InsertNode puts a node of the kind: the holder (a node or project.top())
// and the index among its children.
struct NodePlace {
  StoreNode* holder = nullptr;
  std::size_t index = 0;
};
NodePlace InsertPlace(StoreProject& project, NodeKind kind, const StoreNode* current);

// Places a new node relative to the current node and marks the project changed:
// no current node: end of the top level; current is a category, or a shelf or list
// and node is a product: last child of current; otherwise after current in its
// parent, except that a non-product next to a product of a shelf or list goes
// directly after that shelf or list. Returns the placed node.
StoreNode* InsertNode(StoreProject& project, std::unique_ptr<StoreNode> node, StoreNode* current);

// Searches depth first from `start` and its following siblings (a node's children
// before the node itself) for the first node whose FILE equals name without
// regard to ASCII case. Null when none, or when start is null.
StoreNode* FindNodeByFile(StoreNode* start, std::string_view name);

// As FindNodeByFile, comparing CODE exactly.
StoreNode* FindNodeByCode(StoreNode* start, std::string_view code);

// Sets TEMP = newName on every node of the same walk whose TEMP equals oldName
// without regard to ASCII case. Returns how many nodes changed.
int ReplaceTemplate(StoreNode* start, std::string_view oldName, std::string_view newName);

// Enables (STATUS 0) or disables (STATUS -2) a node and marks the project changed.
// A disabled node and everything below it get no page.
void SetNodeEnabled(StoreProject& project, StoreNode& node, bool enabled);

// Sets MOD = 1 on the node's parent and on every child of that parent (at the
// top level: on every top-level node).
void MarkNeighboursChanged(StoreProject& project, StoreNode& node);

// Empties the tree and every store-wide list except the delivery-method names,
// drops the style and resets the settings; clears the chosen marks of the
// installation's card list when one is given. Leaves the project unchanged.
void ClearProject(StoreProject& project, std::vector<InstalledCard>* installedCards = nullptr);

// Sets a variable (name compared without regard to ASCII case): replaces the value
// of an existing one, or appends a new one; an empty value removes it.
void SetVariable(std::vector<StoreVariable>& variables, std::string_view name,
                 std::string_view value);
// The value of the first variable of that name (ASCII case ignored), or null.
const std::string* GetVariable(const std::vector<StoreVariable>& variables, std::string_view name);

// Calls fn for every node of the tree in display order (a node before its children).
void ForEachNode(StoreProject& project, const std::function<void(StoreNode&)>& fn);
void ForEachNode(const StoreProject& project, const std::function<void(const StoreNode&)>& fn);

// Number of nodes in the tree.
std::size_t CountNodes(const StoreProject& project);

}  // namespace tolmi
