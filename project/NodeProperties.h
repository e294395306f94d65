// The node property page without the window: which fields a node's kind shows, the
// field texts read from a node, and applying edited texts back (the page's Apply,
// also done before a preview). Texts are the node's bytes; the window decodes them
// for display (util/TextEncoding.h) and encodes them back before applying.
//
// Links: navigation (category lists, menus) and preview open a link's FILE, while
// LINK is its "Links to" target. The page shows one target box for a link: FILE, or
// LINK when FILE is empty (projects that kept it there); applying writes the target
// to both, so navigation, preview and the stored target never disagree.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"

namespace tolmi {

// The option labels shown when a node has none of its own.
inline constexpr const char* kDefaultOptionLabel1 = "Color:";
inline constexpr const char* kDefaultOptionLabel2 = "Size:";

// The texts of the node page. Multi-line texts (body) use "\n" line ends here.
struct NodeProperties {
  std::string title;
  std::string page;   // PAGE: the page's HTML title
  std::string file;   // FILE; see ShownFileName for products in a shelf or list
  std::string temp;   // TEMP; empty means the kind's default template
  std::string code;   // CODE
  std::string cost;   // COST
  std::string freight;  // F
  std::string weight;   // W
  std::string tax;      // X
  std::string image;    // IMAGE; "\" becomes "/" when applied
  std::string link;     // LINK ("Links to"); for a link node, its target (see above)
  std::string body;     // BODY
  std::string desc;     // DESC
  std::string keywords;  // KEY
  std::string optionLabel1 = kDefaultOptionLabel1;  // NN1
  std::string optionLabel2 = kDefaultOptionLabel2;  // NN2
  std::vector<std::string> options1;                // "&1" values
  std::vector<std::string> options2;                // "&2" values
  std::array<std::string, 6> fields;  // F1..F6: the " Label:" column of the six pairs
  std::array<std::string, 6> labels;  // T1..T6: the " Value:" column of the six pairs
  bool operator==(const NodeProperties&) const = default;
};

// Which boxes the page shows for a node. Fields not shown are left alone by Apply.
struct NodeFieldSet {
  bool page = false, file = false, temp = false;
  bool fileEditable = false;  // false: the box shows the parent's file, read-only
  bool productData = false;   // CODE, COST, F, W, X and the two option lists
  bool image = false, link = false, body = false, meta = false;  // meta: DESC, KEY
  bool userPairs = false;     // the six label/value pairs
};

// The field set of the node, by kind:
// - category, shelf, list, page: title, PAGE, FILE, TEMP, IMAGE, LINK, BODY, DESC,
//   KEY and the pairs;
// - product with a page of its own: everything;
// - product inside a shelf or list (it has no page): everything but PAGE and TEMP,
//   with FILE read-only showing the shelf's or list's file;
// - link: title, its target (the LINK box) and IMAGE.
NodeFieldSet NodeFieldsFor(const StoreNode& node);

// The file name the page shows: the parent's FILE for an item of a shelf or list,
// else the node's own.
std::string ShownFileName(const StoreNode& node);

// The page's texts for the node: option labels default to "Color:" and "Size:",
// FILE is ShownFileName, BODY has "\n" line ends, a link's target as said above.
NodeProperties ReadNodeProperties(const StoreNode& node);

// Applies the texts of the fields the node's kind shows: IMAGE with "\" turned into
// "/", BODY with line ends made CR LF, an option label equal to its default (or
// empty) stored as absent. When anything differs from the node: MOD = 1, the project
// is marked changed and the display name is recomputed. Returns whether anything
// changed (an unchanged Apply changes nothing, not even MOD).
bool ApplyNodeProperties(StoreProject& project, StoreNode& node, const NodeProperties& props);

// The option values as the page's text box shows them, one per line ("\n").
std::string OptionsText(const std::vector<std::string>& options);
// The values of an option text box: one per line (LF, CR LF or CR), blank lines dropped.
std::vector<std::string> OptionsFromText(std::string_view text);

}  // namespace tolmi
