// One node of the store tree: a category, product, shelf, list, page or link,
// with every field the project file stores for it and its place in the tree.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

// The kind of a node; the value is the digit written behind "NODE" in the project file.
enum class NodeKind : std::uint8_t {
  Category = 0,
  Product = 1,
  Shelf = 2,
  List = 3,
  Page = 4,
  Link = 5,
};

// A name/value pair: a layout variable of the project or a variable of one node.
struct StoreVariable {
  std::string name;
  std::string value;
  bool operator==(const StoreVariable&) const = default;
};

// A node record. Texts are bytes; an empty text counts as absent.
// The tree links (parent, children, indexInParent) are kept by the tree
// operations of StoreProject.h; do not change them directly.
struct StoreNode {
  StoreNode() = default;
  ~StoreNode();  // frees deep subtrees without deep recursion
  StoreNode(const StoreNode&) = delete;
  StoreNode& operator=(const StoreNode&) = delete;

  NodeKind kind = NodeKind::Category;
  std::string title;                        // "NODE%i=" text; may hold HTML
  std::string displayName;                  // last result of DisplayName(); not stored
  std::string page;                         // "PAGE=": the HTML title of the node's page
  bool pagePresent = false;  // a "PAGE=" line was read or imported, even an empty one
  std::string cost;                         // "COST=": price as typed
  std::string image;                        // "IMAGE=": local picture path or http address
  std::string link;                         // "LINK=": "Links to" target
  std::string body;                         // "BODY=": description, may hold CR LF
  std::string desc;                         // "DESC=": meta description
  std::string file;                         // "FILE=": page file name in the web directory
  std::string temp;                         // "TEMP=": template; empty means DefaultTemplate(kind)
  std::string code;                         // "CODE=": product code
  std::string freight;                      // "F=": freight charge of a product
  std::string weight;                       // "W=": weight of a product
  std::string tax;                          // "X=": tax rate of a product in percent
  std::array<std::string, 6> fields;        // "F1=" to "F6=": user fields ($FIELD1..6)
  std::array<std::string, 6> labels;        // "T1=" to "T6=": user labels ($LABEL1..6)
  std::string keywords;                     // "KEY=": meta keywords
  std::optional<std::string> optionLabel1;  // "NN1=": label of options1; absent means "Color:"
  std::optional<std::string> optionLabel2;  // "NN2=": label of options2; absent means "Size:"
  std::vector<std::string> options1;        // "&1" lines: values of the first product option
  std::vector<std::string> options2;        // "&2" lines: values of the second product option
  std::vector<StoreVariable> variables;     // per-node variables; never stored in the file

  std::uint32_t serial = 0;            // given at creation; not stored
  std::int32_t builtSize = 0;          // "s="
  std::int32_t builtChecksum = 0;      // "c="
  std::int32_t publishedSize = 0;      // "ls="
  std::int32_t publishedChecksum = 0;  // "lc="
  std::int32_t imageStamp = 0;         // "lsd1="
  std::int32_t linkStamp = 0;          // "lsd2="
  // SHA-256 (hex) of the page when last built and at its last upload. The checksum
  // above misses pages whose bytes are only reordered, so publishing compares these too.
  std::string builtDigest;      // "dg="
  std::string publishedDigest;  // "ldg="
  std::int16_t status = 0;      // "STATUS=": 0 enabled, negative disabled (-2)
  std::uint8_t mod = 0;         // "MOD=": 1 when the page needs building

  // Tree links.
  StoreNode* parent = nullptr;  // the holder of the top level for top-level nodes
  std::vector<std::unique_ptr<StoreNode>> children;
  std::size_t indexInParent = 0;
  bool isTopHolder = false;  // true only for the project's invisible top-level holder

  bool Enabled() const { return status >= 0; }
};

inline constexpr std::int16_t kStatusDisabled = -2;

// "New Category", "New Product", ... for a new node of the kind.
const char* DefaultTitle(NodeKind kind);

// The template used when a node's TEMP is empty ("category.htm", "shelf.htm", ...).
const char* DefaultTemplate(NodeKind kind);

// The node's template: TEMP, or the kind's default when TEMP is empty.
std::string_view NodeTemplate(const StoreNode& node);

// Whether a node of kind `parent` may hold a child of kind `child`
// (categories hold every kind, shelves and lists hold products, others nothing).
bool MayHoldChild(NodeKind parent, NodeKind child);

// The kind for a kind digit of a project file: 0 to 5, anything else is nullopt.
std::optional<NodeKind> NodeKindFromDigit(int digit);

// The display name of a title: the first 500 bytes with every HTML tag removed;
// the title itself when that changes nothing; for a title of tags only, the
// value of its ALT attribute when it has one; otherwise the tag-free text or the title.
std::string ComputeDisplayName(std::string_view title);

// Recomputes the node's display name from its title, caches it and returns it.
const std::string& DisplayName(StoreNode& node);

// The checksum of a page or file text: the 32-bit sum plus the 32-bit
// exclusive-or of its bytes taken as signed 8-bit values (0 for an empty text).
std::int32_t PageChecksum(std::string_view text);

// The SHA-256 digest of a page or file text as 64 lower-case hex digits. Unlike
// PageChecksum it changes when bytes are only reordered (12.50 becoming 15.20).
std::string PageDigest(std::string_view text);

}  // namespace tolmi
