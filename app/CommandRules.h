// Which commands of the main window are enabled: one pure function from the
// window's state to the set of enabled command ids, for the menu bar and for the
// tree pop-up menu. The window only draws what these return.
#pragma once

#include <optional>
#include <set>

#include "project/StoreNode.h"

namespace tolmi {

// Command ids of the menu bar and the pop-up menus.
enum CommandId : int {
  kCmdNewStore = 288,
  kCmdOpenStore = 1367,
  kCmdSave = 1380,
  kCmdSaveAs = 1375,
  kCmdRestoreBackup = 380,
  kCmdImport = 372,
  kCmdMerge = 411,
  kCmdUpgrade = 196,
  kCmdWorkOffline = 589,
  kCmdQuit = 2351,
  kCmdCopy = 2347,
  kCmdPaste = 355,
  kCmdDisable = 360,
  kCmdEnable = 361,
  kCmdDelete = 359,
  kCmdNewCategory = 524,
  kCmdNewProduct = 357,
  kCmdNewShelf = 381,
  kCmdNewList = 441,
  kCmdNewPage = 454,
  kCmdNewLink = 455,
  kCmdFind = 449,
  kCmdSelectAll = 358,
  kCmdOrders = 151,
  kCmdToolbar = 443,
  kCmdButtons = 444,
  kCmdDefaultLabels = 587,
  kCmdPreferences = 588,
  kCmdPreview = 544,
  kCmdBuildStore = 346,
  kCmdCreditCards = 430,
  kCmdFreightRegions = 439,
  kCmdTaxOptions = 451,
  kCmdImportFreight = 434,
  kCmdHelp = 7888,
  kCmdFaq = 377,
  kCmdManual = 378,
  // Tree pop-up menu.
  kCmdTreeNewCategory = 545,
  kCmdTreeNewProduct = 546,
  kCmdTreeNewShelf = 547,
  kCmdTreeNewList = 548,
  kCmdTreeNewPage = 549,
  kCmdTreeNewLink = 550,
  kCmdTreeCopy = 321,
  kCmdTreePaste = 322,
  kCmdTreeDelete = 315,
  kCmdTreeRename = 597,
  kCmdTreeDisable = 2297,
  kCmdTreeEnable = 2298,
};

enum class UiFocus { Other, Tree, NodeList, TextField };
enum class PropertyPage { Other, Freight, Layout };

// What the rules look at.
struct CommandState {
  bool hasProjectPath = false;
  bool hasCurrentNode = false;
  NodeKind currentKind = NodeKind::Category;
  bool currentEnabled = true;          // the current node's STATUS is not negative
  std::optional<NodeKind> parentKind;  // the current node's parent; none at the top level
  UiFocus focus = UiFocus::Other;
  PropertyPage page = PropertyPage::Other;
  bool clipboardHasNodes = false;
  bool systemClipboardHasText = false;
  bool anyChanged = false;  // some changed bit is set
};

// The menu bar's enabled commands. Commands the rules do not restrict are included.
std::set<int> EnabledMenuCommands(const CommandState& state);

// The tree pop-up menu's enabled entries; kCmdNewStore is absent (removed) once a
// project path exists.
std::set<int> EnabledTreePopupCommands(const CommandState& state);

}  // namespace tolmi
