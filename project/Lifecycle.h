// What happens to a project as a whole: creating a new one with its folders and
// starter pages, opening, saving with rotating backups, Save As, restoring a
// backup, merging another project's nodes, and the unsaved-changes question.
//
// A project lives in its own folder below the installation's "Projects" folder:
// "<name>.stp" (the project file), "Web" (the built store), "Template" (its page
// templates) and "Backup" ("<name>.stp.1", newest, to "<name>.stp.10").
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "project/ProjectFile.h"
#include "project/StoreProject.h"
#include "util/FileLock.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

inline constexpr const char* kInvalidProjectName =
    "Invalid Project Name.  The name must not include forward/back slash characters or commas.";
inline constexpr const char* kProjectExistsQuestion =
    "A project with the same name already exists.  Would you like to load this project instead?";
inline constexpr const char* kSaveChangesQuestion =
    "The current project has changed.  Do you wish to save your changes?";
inline constexpr const char* kSaveChangesTitle = "Tolmi PRO - Save Store Confirmation";
inline constexpr const char* kOverwriteFolderQuestion =
    "A Project Directory with the same name already exists.  Would you like to overwrite it?";
inline constexpr const char* kRevertQuestion =
    "You are about to revert to a previously saved version of the store project.  All current "
    "changes will be lost. Do you wish to proceed? ";
// Format of the message when an edited project template cannot be written (its path).
inline constexpr const char* kTemplateWriteError = "ERROR M102: Unable to save template '%s'";
inline constexpr std::size_t kMaxSaveAsNameLength = 50;
inline constexpr int kBackupCount = 10;
// A project file that ends early (CheckProjectBytes) opens with this warning (its path),
// and is saved over only after this question (its path) is answered Yes.
inline constexpr const char* kProjectCutShortWarning =
    "The project file '%s' ends early: it was cut short, perhaps by a save or a copy that did "
    "not finish. What it holds has been opened, but records or settings from its end may be "
    "missing. It will not be saved over unless you agree.";
inline constexpr const char* kProjectCutShortQuestion =
    "The project file '%s' was cut short when it was opened. Saving replaces it with what "
    "could be read, and whatever was missing from its end is lost for good. Do you wish to "
    "save anyway?";
// Projects of an older VERSION than this get new templates at their next save (the
// template-upgrade hook); 0 (no VERSION) counts as older.
inline constexpr int kTemplatesCurrentFrom = 103001;

// What the lifecycle needs from the application. Pointers must be set.
struct LifecycleEnv {
  std::string installDir;  // the home: "Projects" and "template" are below it
  Prompter* prompter = nullptr;
  const Clock* clock = nullptr;
  int versionNumber = 0;                   // written as VERSION=
  std::uint32_t* serialCounter = nullptr;  // the "uid" counter
  ProjectFileContext fileContext;          // domain list, card list, styles for the reader
  // Installs the chosen style's templates into a project folder; optional.
  std::function<Status(const std::string& projectDir)> installStyleTemplates;
  // Replaces templates of a project read from an older program; optional.
  std::function<void(StoreProject& project, const std::string& projectDir)> upgradeTemplates;
  // Writes the configuration after a save; optional.
  std::function<void()> writeConfiguration;
  // Told the running record count while the project file is written; optional.
  std::function<void(std::size_t records)> saveProgress;
  // Saves the invoice templates modified in their editor, after the project file;
  // optional. A failure keeps the project marked changed.
  std::function<Status()> saveInvoiceTemplates;
};

// The open project with its path and the templates loaded for the editors.
struct ProjectSession {
  StoreProject project;
  std::string path;                       // the project file; "" when no project is open
  std::string orderTemplate;              // "Template/order.htm" of the project
  std::string confirmTemplate;            // "Template/confirm.htm" of the project
  // Set by the editors when orderTemplate / confirmTemplate were edited; a save
  // writes them back and clears the flag.
  bool orderTemplateChanged = false;
  bool confirmTemplateChanged = false;
  std::vector<std::string> templateList;  // "*.htm" of "Template" but order/confirm
  // Held while the project is open, so that another program does not open it too.
  std::shared_ptr<FileLock> lock;
  // The file was cut short when opened: saving over it needs the merchant's consent.
  bool readShort = false;
  // Read from an older program: its templates are replaced (keeping backups) at the
  // next save, not on opening, so that only a project saved as new gets them.
  bool templateUpgradeDue = false;
};

// "<installDir>/Projects/<name>/<name>.stp".
std::string ProjectFilePath(const LifecycleEnv& env, const std::string& name);

// The folder of a project file path (up to its last "/" or "\").
std::string ProjectDirOf(const std::string& path);

// True when a name contains "/", "\" or "," (or is empty, "." or "..").
bool IsInvalidProjectName(const std::string& name);

// A new project named `name` with the store title `storeTitle`: checks the name
// (kInvalidProjectName, nothing changes), creates the folder with "Web" and
// "Template", empties the tree (settings and lists stay: the wizard filled them),
// sets the store title and adds the four starter nodes, copies the
// installation's order and confirmation templates ("ERROR M101: ..." when a copy
// fails, then goes on), installs the style templates and loads the templates.
// The project file is written at the first save.
Status NewProject(ProjectSession& session, const LifecycleEnv& env, const std::string& name,
                  const std::string& storeTitle);

// Replaces the tree by the four starter nodes: a category titled storeTitle
// ("index.html") and the pages "About Us", "News" and "Contact Us".
void AddStarterNodes(StoreProject& project, const LifecycleEnv& env, const std::string& storeTitle);

// Opens the project file at path (".stp" appended when the name has no "."):
// takes the project's lock (LockProject; when another program holds it, shows
// who and fails with the open project unchanged), clears the open project, reads
// the file, removes temporary files that interrupted saves left, and loads its
// templates. A file cut short opens with kProjectCutShortWarning ("Warning") and
// sets readShort. On failure (also for a file that is no project) shows the
// reader's "S103: ..." and then "ERROR S105: Unable to open project file", forgets
// the path and leaves an empty project. Does not ask about unsaved changes (see
// AskToSaveChanges). An older project's template upgrade is left to its next save.
Status OpenProject(ProjectSession& session, const LifecycleEnv& env, std::string path);

// Loads "Template/order.htm" and "Template/confirm.htm" of the project and lists
// its other "*.htm" templates.
void LoadProjectTemplates(ProjectSession& session);

// The lock of the project file at path: "." + file name + ".lock" beside it,
// waiting up to `wait` for another program to let go.
Result<std::shared_ptr<FileLock>> LockProject(const std::string& path,
                                              std::chrono::milliseconds wait = kDefaultLockWait);

// Rotates the backups of the project file at path: drops "<file>.10", renames
// ".9" to ".10" ... ".1" to ".2", then makes ".1" a second name of the file (or,
// where that is not possible, a copy written atomically). A missing project file
// leaves nothing to copy. Fails with Io when the "Backup" folder cannot be made
// or the copy fails. Saves call it only once the new file is completely written.
Status MakeBackup(const std::string& path);

// Save: for a file cut short when opened, kProjectCutShortQuestion (Yes/No; No
// cancels); the older-version question (No cancels); the write, and once the new
// file is complete the backup (a failed backup is reported and the save goes on)
// and then the replacing rename (env.saveProgress told the record
// count), the edited order-form and confirmation templates and env.saveInvoiceTemplates,
// then the configuration. A failed write shows "S101: File Write Error" and keeps the
// changed flag; a template that cannot be written shows kTemplateWriteError with its
// path, keeps its own flag and marks the project changed again. A project read from
// an older program gets its template upgrade (env.upgradeTemplates) after the write.
Status SaveProject(ProjectSession& session, const LifecycleEnv& env);

// When the project has changed, asks kSaveChangesQuestion (Yes/No, titled
// kSaveChangesTitle); Yes saves as SaveProject does. Returns the save's status
// (Ok when nothing was to be saved or the answer was No).
Status AskToSaveChanges(ProjectSession& session, const LifecycleEnv& env);

// The name as the Save As window takes it: "," replaced by "_", at most 50 characters.
std::string CleanSaveAsName(const std::string& typed);

// Save As under a new name: a new folder below "Projects" (asks
// kOverwriteFolderQuestion when it exists; anything but Yes stops with
// Cancelled), "Web" as REBUILD and "Template", copies the old project's sibling
// files "<old>.<ext>" as "<new>.<ext>", copies the order and confirmation
// templates, sets VERSION to 0 and saves.
Status SaveProjectAs(ProjectSession& session, const LifecycleEnv& env, const std::string& typed);

// One file of the project's "Backup" folder.
struct BackupEntry {
  std::string name;                 // file name, e.g. "Toys.stp.1"
  std::string path;                 // full path
  std::uint64_t size = 0;           // bytes
  std::optional<std::time_t> time;  // its "TIME=" when that is the first line
  // Why it cannot be restored ("damaged: ..."); empty when it reads whole.
  std::string problem;
};

// The files of the project's "Backup" folder, ".1" first (newest), then ".2"...,
// each checked as opening checks a project file (problem says what is wrong).
// Temporary files of interrupted saves are not listed.
std::vector<BackupEntry> ListBackups(const std::string& projectPath);

// A backup that is no project file or was cut short is refused (its problem shown,
// Corrupt, nothing asked or changed). Otherwise asks kRevertQuestion (Yes/No/Cancel);
// Yes copies the backup over the project file and opens it again; when that read
// fails, the project becomes a new one with the four starter nodes. Anything but Yes
// returns Cancelled.
Status RestoreBackup(ProjectSession& session, const LifecycleEnv& env, const BackupEntry& backup);

// Merges the records of another project file into the open project below the
// selected node (its parent for a product, page or link). With an empty tree the
// file is read as if opened. With no selected node and a non-empty tree nothing
// happens (InvalidArgument). A file that cannot be read shows
// "S105: Unable to read project file '%s'". Templates the merged nodes use and
// the open project lacks are copied from the merged project's "Template" folder.
// The project is marked changed.
Status MergeProject(ProjectSession& session, const LifecycleEnv& env, const std::string& file,
                    StoreNode* selected);

}  // namespace tolmi
