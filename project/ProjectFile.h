// The project file (".stp"): reading it into a StoreProject (to open a project or
// to merge another project's nodes into it) and writing the project back.
//
// The file is line-oriented KEY=value text, written with LF line ends; records
// start with "NODE<kind>=<title>", "#BRANCH"/"#EOB" bracket a node's children.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

// What the reader needs from the installation; every member is optional.
struct ProjectFileContext {
  // The domain list: a freight region whose key is listed takes the listed key
  // and name; otherwise key and name are the key text.
  const std::vector<KnownRegion>* domains = nullptr;
  // The card list: an entry named by a "CC=" line is marked chosen.
  std::vector<InstalledCard>* installedCards = nullptr;
  // The installed styles in order (first group's styles first). "LAYOUT=" picks
  // the matching one, else the first; when this is null or empty the style is
  // kept as the file names it.
  const std::vector<StyleRef>* styles = nullptr;
  // Called with the running record count after every twelfth record.
  std::function<void(std::size_t records)> progress;
};

// What a read did.
struct ProjectReadStats {
  std::size_t records = 0;  // records started ("NODE..." lines)
  std::size_t placed = 0;   // records placed in the tree
  bool cutShort = false;    // the file ends before its records and settings do
};

// What the bytes of a file say about it as a project file.
struct ProjectFileCheck {
  // Its first line is a line of the project file (a header key, a record, a store key
  // or a block line) and it holds no NUL byte.
  bool isProject = false;
  // It ends inside a line, inside an open "#BRANCH", or (written with the header
  // "OWNER=") before the settings that every save writes ("NAVSTYLE="): the end of
  // the file was lost, as when a save or a copy was cut off.
  bool cutShort = false;
};

// Checks the bytes of a project file; reads nothing into a project.
ProjectFileCheck CheckProjectBytes(std::string_view bytes);

inline constexpr const char* kOlderVersionQuestion =
    "You are about to overwrite a project created with on older version of Tolmi. You may not "
    "be able to load the project using the older version once overwritten. Do you wish to "
    "proceed?";

// Reads a project file into `project`.
// Open mode (merge false, parent null): call on a cleared project. Reads every
// record and setting; afterwards an absent currency becomes "$" and the layout
// variables "$STORETITLE" and "$CURRENCY" are set (FinishProjectLoad).
// Merge mode: top-level records go under `parent` (the top level when null);
// only nodes, the FTP settings, COMP, the six display flags and the stamps are
// taken; the other settings and lists stay as they are.
// Fails (nothing read) with NotFound and "S103: Unable to read project file '%s'"
// (merge: "S105: ...") when the file cannot be opened, and with Corrupt and the same
// message when it is no project file (CheckProjectBytes). A file cut short is read
// as far as it goes and reported in the stats. Malformed lines are skipped.
Result<ProjectReadStats> ReadProjectFile(StoreProject& project, const std::string& path,
                                         StoreNode* parent, bool merge,
                                         const ProjectFileContext& context = {});

// The same over bytes already in memory; never fails.
ProjectReadStats ReadProjectText(StoreProject& project, std::string bytes, StoreNode* parent,
                                 bool merge, const ProjectFileContext& context = {});

// Sets an absent currency to "$" and the variables "$STORETITLE" and "$CURRENCY"
// from the store title and currency when they are set.
void FinishProjectLoad(StoreProject& project);

// The bytes of the project file for `project`, written at time `now` by the
// program whose version number is `versionNumber`.
std::string ProjectFileText(const StoreProject& project, std::time_t now, int versionNumber);

// Writes the project file to `path` atomically (temporary file, flush, rename).
// A project last written by an older program (VERSION 1 to 199999) asks
// kOlderVersionQuestion first ("Confirmation", Yes/No); No returns Cancelled
// and writes nothing. On success the changed flag is cleared; on a write failure
// the old file and the changed flag stay as they were and the status is Io with
// "S101: File Write Error". VERSION in the settings is not changed; CR and LF are
// removed from the stored currency and "|" from the stored variable names.
// The invoice, order-form and confirmation templates open in editors are saved
// by the caller. beforeReplace, when given, runs once the new file is completely
// written and right before it replaces the old one (backups are made there).
Status WriteProjectFile(StoreProject& project, const std::string& path, Prompter& prompter,
                        const Clock& clock, int versionNumber,
                        const std::function<void(std::size_t records)>& progress = {},
                        const std::function<void()>& beforeReplace = {});

}  // namespace tolmi
