#include "builder/BuildDialog.h"

namespace tolmi {

namespace {
constexpr std::size_t kBuildDirMax = 512;
}

BuildDialogFields BuildDialogDefaults(const StoreSettings& settings) {
  BuildDialogFields fields;
  fields.storeTitle = settings.storeTitle;
  if (!settings.rebuildDir.empty()) {
    fields.buildDir = settings.rebuildDir;
  } else {
    std::string dir = settings.projectDir;
    while (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    fields.buildDir = dir + "/Web/";
  }
  return fields;
}

void StoreBuildDialogFields(StoreProject& project, const BuildDialogFields& fields) {
  StoreSettings& settings = project.settings;
  std::string dir = fields.buildDir.substr(0, kBuildDirMax);
  if (settings.storeTitle != fields.storeTitle || settings.rebuildDir != dir) project.changed = true;
  settings.storeTitle = fields.storeTitle;
  settings.rebuildDir = std::move(dir);
}

int BuildProgressMaximum(const StoreProject& project) {
  return static_cast<int>(CountNodes(project));
}

std::vector<StoreNode*> SelectedItemsFor(bool lastFocusWasTree, StoreNode* treeCurrent,
                                         const std::vector<StoreNode*>& listSelection) {
  if (!lastFocusWasTree && !listSelection.empty()) return listSelection;
  if (treeCurrent) return {treeCurrent};
  return {};
}

bool BuildControlEnabled(BuildControl control, bool building, const std::string& buildDir) {
  if (control == BuildControl::Cancel) return true;
  if (building) return false;
  if (control == BuildControl::Build) return !buildDir.empty();
  return true;
}

}  // namespace tolmi
