#include "app/CommandRules.h"

namespace tolmi {

namespace {

bool HoldsProducts(NodeKind kind) {
  return kind == NodeKind::Shelf || kind == NodeKind::List;
}

// Categories, shelves and lists can be added with no node current, or with one that
// is neither a shelf or list nor inside one.
bool MayAddContainers(const CommandState& s) {
  if (!s.hasProjectPath) return false;
  if (!s.hasCurrentNode) return true;
  if (HoldsProducts(s.currentKind)) return false;
  return !(s.parentKind && HoldsProducts(*s.parentKind));
}

}  // namespace

std::set<int> EnabledMenuCommands(const CommandState& s) {
  std::set<int> on = {
      kCmdNewStore,      kCmdOpenStore,   kCmdUpgrade,        kCmdWorkOffline, kCmdQuit,
      kCmdCopy,          kCmdDelete,      kCmdOrders,         kCmdToolbar,     kCmdButtons,
      kCmdDefaultLabels, kCmdPreferences, kCmdFreightRegions, kCmdTaxOptions,  kCmdImportFreight,
      kCmdHelp,          kCmdFaq,         kCmdManual};
  const bool path = s.hasProjectPath;
  const bool node = s.hasCurrentNode;
  if (path && s.anyChanged) on.insert(kCmdSave);
  if (path) {
    for (int id : {kCmdSaveAs, kCmdMerge, kCmdImport, kCmdRestoreBackup, kCmdCreditCards}) {
      on.insert(id);
    }
  }
  if (path && node) {
    on.insert(kCmdBuildStore);
    on.insert(kCmdNewProduct);
  }
  if (node) {
    on.insert(kCmdDisable);
    on.insert(kCmdEnable);
    on.insert(kCmdPreview);
  }
  if (MayAddContainers(s)) {
    on.insert(kCmdNewCategory);
    on.insert(kCmdNewShelf);
    on.insert(kCmdNewList);
    if (node) {
      on.insert(kCmdNewPage);
      on.insert(kCmdNewLink);
    }
  }
  if (s.page != PropertyPage::Freight && s.page != PropertyPage::Layout) on.insert(kCmdFind);
  if (s.focus == UiFocus::NodeList || s.focus == UiFocus::TextField) on.insert(kCmdSelectAll);
  const bool nodesPaste =
      s.clipboardHasNodes && (s.focus == UiFocus::Tree || s.focus == UiFocus::NodeList);
  const bool textPaste = s.focus == UiFocus::TextField && s.systemClipboardHasText;
  if (nodesPaste || textPaste) on.insert(kCmdPaste);
  return on;
}

std::set<int> EnabledTreePopupCommands(const CommandState& s) {
  std::set<int> on = {kCmdTreeRename};
  if (!s.hasProjectPath) on.insert(kCmdNewStore);
  if (s.hasProjectPath) {
    for (int id : {kCmdTreeNewCategory, kCmdTreeNewProduct, kCmdTreeNewShelf, kCmdTreeNewList,
                   kCmdTreeNewPage, kCmdTreeNewLink}) {
      on.insert(id);
    }
  }
  if (s.hasCurrentNode) {
    on.insert(kCmdTreeCopy);
    on.insert(kCmdTreeDelete);
    on.insert(kCmdPreview);
    on.insert(s.currentEnabled ? kCmdTreeDisable : kCmdTreeEnable);
  } else {
    on.erase(kCmdTreeRename);
  }
  if (s.clipboardHasNodes) on.insert(kCmdTreePaste);
  return on;
}

}  // namespace tolmi
