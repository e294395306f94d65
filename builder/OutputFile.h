// Writing build output with as few system calls as a page needs: one open of the
// existing file to compare its bytes, and only when they differ a temporary file
// beside it (one open, one write) renamed over it. The two halves may run apart:
// a worker thread compares, the build's own thread writes and renames when the
// page's turn comes, so the pages appear in walk order.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "util/Result.h"

namespace tolmi {

// What the output path held before the page was written.
struct ExistingOutput {
  bool exists = false;  // a regular file was there
  bool same = false;    // holding exactly the new bytes
  mode_t mode = 0;      // its permission bits, kept by the replacement
};

// Opens path once: whether it exists and holds exactly text.
ExistingOutput CompareOutput(const std::string& path, std::string_view text);

// Writes text into a new temporary file beside path (a hidden name of its own, never
// another writer's) with the permission bits of mode, or 0644 when mode is 0.
// Returns the temporary path.
Result<std::string> WriteOutputTemp(const std::string& path, std::string_view text, mode_t mode);

// Renames the temporary file over target; on failure the temporary file is removed.
Status ReplaceWithTemp(const std::string& temp, const std::string& target);

// Writes text to path whole (temporary file and rename) unless it already holds it.
Status WriteOutputIfChanged(const std::string& path, std::string_view text);

}  // namespace tolmi
