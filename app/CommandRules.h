// The main window's command set without the window: every menu entry with its id,
// label and menu; which entries are enabled and checked for a given state (menu bar,
// tree pop-up, node-list pop-up); where Copy, Paste, Delete, Select All, Enable and
// Disable go by keyboard focus; the view bits; the Insert blocks; and the
// order-server check. The window builds its menus from kMenuEntries and only sets
// what these functions return (recompute after every change of selection, focus,
// clipboard or changed bits).
#pragma once

#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "app/Config.h"
#include "project/Lifecycle.h"
#include "project/StoreNode.h"
#include "project/TreeEditing.h"
#include "util/Platform.h"

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
  // Node-list pop-up menu (the list forms of the tree's operations).
  kCmdListCopy = 435,
  kCmdListPaste = 436,
  kCmdListDelete = 382,
  kCmdListRename = 598,
  kCmdListEnable = 333,
  kCmdListDisable = 332,
  kCmdListSelectAll = 421,
  // Edit, Insert: 602 to 608 in menu order; 609 is left unused (eight ids, seven entries).
  kCmdInsertCategoryList = 602,
  kCmdInsertCategoryList2 = 603,
  kCmdInsertSummary2 = 604,
  kCmdInsertSummary4 = 605,
  kCmdInsertSummary6 = 606,
  kCmdInsertSpecial = 607,
  kCmdInsertFile = 608,
  // File menu: the recent projects "L0" to "L4"; choosing one opens that project.
  kCmdRecent0 = 19000,
  kCmdRecent4 = 19004,
  // Help, About (a free id: the window shows the version).
  kCmdAbout = 19100,
};

enum class UiFocus { Other, Tree, NodeList, TextField };
enum class PropertyPage { Other, Freight, Layout };

// What the rules look at. CommandStateFor fills it from the project and the window.
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
  // The node list: how many entries it shows, how many are selected, and whether the
  // selection holds a disabled and an enabled entry.
  int listEntries = 0;
  int listSelected = 0;
  bool listHasDisabled = false;
  bool listHasEnabled = false;
  int view = 255;     // the view bits ("view" of config.ini)
  bool busy = false;  // a build is walking: only its dialog's Cancel acts
};

// What the window knows beyond the project and the tree editor.
struct WindowState {
  UiFocus focus = UiFocus::Other;
  PropertyPage page = PropertyPage::Other;
  bool systemClipboardHasText = false;
  bool ordersChanged = false;  // the orders' changed bit
  int view = 255;
  bool busy = false;
};

// The state for the open project (path, current node and its parent, changed bit),
// the editor's clipboard and node-list selection, and the window's own state.
CommandState CommandStateFor(const ProjectSession& session, const TreeEditor& editor,
                             const WindowState& window);

// The menu bar's enabled commands. Commands the rules do not restrict are included.
// Of Enable and Disable only the one that changes something is offered: judged on the
// list selection when the node list has the focus, else on the current node.
// Nothing while busy.
std::set<int> EnabledMenuCommands(const CommandState& state);

// The tree pop-up menu's enabled entries; kCmdNewStore is absent (removed) once a
// project path exists. Nothing while busy.
std::set<int> EnabledTreePopupCommands(const CommandState& state);

// The node-list pop-up menu's enabled entries: the New entries as in the tree pop-up;
// Copy and Delete need a selection, Rename exactly one selected entry, Enable a
// disabled entry among the selection and Disable an enabled one; Paste needs nodes on
// the clipboard; Select All needs entries. Nothing while busy.
std::set<int> EnabledListPopupCommands(const CommandState& state);

// The menu entries that show a check mark: 443, 444, 587 and 589 by their view bits.
std::set<int> CheckedMenuCommands(const CommandState& state);

// Where a command routed by focus goes.
enum class RouteTarget {
  None,       // the command is not routed by focus: run it as it is
  TextField,  // the focused text field's own copy, paste, delete or select-all
  Command,    // run `command` (a list or tree form)
  Page,       // the property page shown runs its own copy, paste, delete or select-all
};
struct Route {
  RouteTarget target = RouteTarget::None;
  int command = 0;
};

// Routing of Edit, Copy (2347), Paste (355), Delete (359) and Select All (358): a text
// field of the property area first, then the node list (435, 436, 382, 421), then the
// tree (321, 322, 315; Select All has no tree form and goes to the page), then the
// page. Edit, Enable (361) and Disable (360) go to the list forms (333, 332) when the
// node list has the focus, else to the tree forms (2298, 2297). The tree's Ctrl+A
// goes to 421 directly. Other commands: RouteTarget::None with the command itself.
Route RouteByFocus(int command, UiFocus focus);

// View bits of the View and File menu entries.
enum ViewBit : int {
  kViewToolbar = 1,        // 443
  kViewButtons = 2,        // 444
  kViewDefaultLabels = 16,  // 587
  kViewWorkOffline = 32,   // 589
};

// The view bit a command toggles (443, 444, 587, 589), or 0 for any other command.
int ViewBitFor(int command);
// The view bits after the command: its bit flipped (unchanged for other commands).
int ToggleView(int view, int command);
// Whether the views are refreshed after the command: Work Offline switched off.
bool RefreshesViews(int viewBefore, int command);

// The menus the entries live in. Submenus are named after their parent.
enum class MenuId {
  File,
  Edit,
  EditInsert,  // Edit, "&Insert"
  View,
  Options,
  Help,
  TreePopup,
  TreePopupNew,  // tree pop-up, "&New"
  ListPopup,
  ListPopupNew,  // node-list pop-up, "&New"
};

// One menu entry. id 0 is a separator. A submenu's place in its parent menu is an
// entry with id 0 and the submenu's title in `label` and `submenu` set.
struct MenuEntry {
  MenuId menu;
  int id;
  const char* label;  // the exact text, "\t" before a shortcut shown in the menu
  bool checkable = false;
  std::optional<MenuId> submenu = std::nullopt;
};

// The menu titles of the menu bar ("&File", "&Edit", "&View", "&Options", "&Help").
const char* MenuTitle(MenuId menu);

// Every entry of every menu in menu order. The recent projects (19000 to 19004) are
// not listed: they go between the File menu's separator and "&Quit"
// (RecentProjectEntries of app/Config.h).
std::span<const MenuEntry> MenuEntries();
// The entries of one menu, in order.
std::vector<MenuEntry> MenuEntriesOf(MenuId menu);
// The first entry of a command in any menu (menu bar first), or null.
const MenuEntry* FindMenuEntry(int id);

// An Edit, Insert entry: its label and the block it puts into the page text being edited.
struct InsertEntry {
  int id;
  const char* label;
  const char* text;
};
std::span<const InsertEntry> InsertEntries();
// The entry for 602 to 608, or null.
const InsertEntry* FindInsertEntry(int id);

// The order-server check before Orders (151) and Build Store (346).
inline constexpr const char* kNoOrderServerQuestion =
    "No Tolmi server selected.  You need to set an Tolmi Order server address in "
    "Preferences. Would you like to set it now?";
inline constexpr const char* kNoOrderServerTitle = "Configuration Error";

// Whether the command needs an order-server address (151, 346).
bool NeedsOrderServer(int command);

enum class OrderServerCheck {
  Go,               // a server is set: run the command
  OpenPreferences,  // none, answered Yes: open Preferences on "Order Server Settings"
  Stop,             // none, answered No
};
// With "server" set: Go, nothing asked. Otherwise asks kNoOrderServerQuestion
// (Yes/No, kNoOrderServerTitle); the command itself never goes on.
OrderServerCheck CheckOrderServer(const AppConfig& config, Prompter& prompter);

}  // namespace tolmi
