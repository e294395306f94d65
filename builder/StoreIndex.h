// The store index "tolmi.idx" (a header and one line per node per page that shows
// it) and the search template "tolmi.tpl".
#pragma once

#include <string>
#include <string_view>

#include "builder/BuildSession.h"

namespace tolmi {

// A FILE, IMAGE or LINK value in index form: web addresses unchanged, otherwise
// the lower-cased part after the last separator.
std::string IndexForm(std::string_view value);
// The node line (with its line feed).
std::string IndexLine(const StoreNode& node);
// The header lines (with line feeds).
std::string IndexHeader(const StoreProject& project);
// Appends the node's line when the index file is open (to session.indexLines while
// the session buffers them).
void WriteIndexLine(BuildSession& session, const StoreNode& node);
// Writes "tolmi.tpl" from the template "search.htm" and the first top-level node.
bool WriteSearchTemplate(BuildSession& session);

}  // namespace tolmi
