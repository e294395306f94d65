// The page of one node: template choice, shelf and list blocks, navigation index
// (classic and browse-history styles), category lists, template-only markup
// removal, and writing the file; plus the preview of one node.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "builder/BuildSession.h"

namespace tolmi {

// The HTML of one navigation or category-list row. subIndex 0, 1 or 2; cls 0 "m", 1 "b", 2 "pl".
std::string IndexRow(const BuildSession& session, std::string_view bullet, std::string_view link,
                     std::string_view item, int subIndex, int cls, bool external = false);

// "$INDEX", "$BACK" and "$SUBINDEX" for a node (visit mark: session.visitMark).
void NavigationIndex(BuildSession& session, std::string& text, const StoreNode& node,
                     const StoreNode& pageNode);

// "%CategoryList%" (one column) and "%CategoryList2%" (two columns).
void CategoryLists(BuildSession& session, std::string& text, const StoreNode& node);

// Expands the <SHELF> block of a shelf or list page. False (after the log line) when
// the block is missing.
bool ExpandShelfBlock(BuildSession& session, std::string& text, StoreNode& node,
                      const StoreNode& pageNode);

// HTML comments removed, except server-side includes ("<!--#").
std::string RemoveComments(std::string_view text);

// The template name of a node (setting TEMP to the default when empty).
std::string PageTemplateName(StoreNode& node);
// The same name without setting TEMP.
std::string PageTemplateNameOf(const StoreNode& node);

// A node's page filled but not yet written.
struct FilledPage {
  bool started = false;  // past the refusals: the progress step and label were due
  bool result = false;   // MakePage's answer when there is nothing to write
  std::string path;      // the output file; empty: nothing to write
  std::string folder;    // the output folder below the build folder the file goes in, if any
  std::string text;
  std::int32_t size = 0;
  std::int32_t checksum = 0;
  std::string digest;
};

// Fills the node's page as MakePage does, up to writing it. Nothing in the output
// folder changes: the page's folder is left to MakePageFolder.
void FillPage(BuildSession& session, StoreNode& node, FilledPage& page);

// Makes the folder a filled page's file goes in (looked at once per build); a new
// folder drops the kept folder listings.
void MakePageFolder(BuildSession& session, const FilledPage& page);

// Records a written page's size, checksum and digest in its node.
void RecordBuiltPage(BuildSession& session, StoreNode& node, FilledPage& page);

// Makes the node's page. False for links, nodes without FILE outside shelves and
// lists, an abandoned fill and an output file that cannot be written.
bool MakePage(BuildSession& session, StoreNode& node);

}  // namespace tolmi
