// What the Build Store window shows and allows, without any window: the fields
// it opens with, the progress range, the nodes "Selected Items" builds, and which
// buttons act while a build walks (only Cancel: the walk dispatches window events
// after every page, so any other button would re-enter the build).
#pragma once

#include <string>
#include <vector>

#include "project/StoreProject.h"

namespace tolmi {

// The fields the window opens with.
struct BuildDialogFields {
  std::string storeTitle;  // STITLE
  std::string buildDir;    // REBUILD, else the project folder followed by "/Web/"
};

// The fields for the project's settings.
BuildDialogFields BuildDialogDefaults(const StoreSettings& settings);

// Stores the two fields back into the settings (STITLE, REBUILD), marking the
// project changed when either differs. The directory is cut to 512 characters.
void StoreBuildDialogFields(StoreProject& project, const BuildDialogFields& fields);

// The progress bar's range: 0 to the number of nodes of the project.
int BuildProgressMaximum(const StoreProject& project);

// The nodes "Selected Items" walks alone: the tree's current node when the tree
// had the focus last; else the nodes selected in the item list; else the tree's
// current node (none: an empty list, RunBuild then falls back on the same).
std::vector<StoreNode*> SelectedItemsFor(bool lastFocusWasTree, StoreNode* treeCurrent,
                                         const std::vector<StoreNode*>& listSelection);

// The window's buttons and fields.
enum class BuildControl { Build, Publish, Options, Help, Browse, Cancel, Fields, Scope };

// Whether a control is enabled: while a build walks only Cancel; "Build" only
// with a build directory.
bool BuildControlEnabled(BuildControl control, bool building, const std::string& buildDir);

// Guards a build against re-entrance: Enter fails while a build runs. The busy
// flag is cleared when the guard goes out of scope.
class BuildBusyGuard {
 public:
  explicit BuildBusyGuard(bool& busy) : busy_(busy), entered_(!busy) {
    if (entered_) busy_ = true;
  }
  ~BuildBusyGuard() {
    if (entered_) busy_ = false;
  }
  BuildBusyGuard(const BuildBusyGuard&) = delete;
  BuildBusyGuard& operator=(const BuildBusyGuard&) = delete;
  // False when another build already held the flag (nothing must run then).
  bool entered() const { return entered_; }

 private:
  bool& busy_;
  bool entered_;
};

}  // namespace tolmi
