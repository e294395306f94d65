#include "app/CommandRules.h"

#include <array>
#include <iterator>

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

// The New entries shared by the two pop-up menus.
void AddPopupNewEntries(const CommandState& s, std::set<int>& on) {
  if (!s.hasProjectPath) {
    on.insert(kCmdNewStore);
    return;
  }
  for (int id : {kCmdTreeNewCategory, kCmdTreeNewProduct, kCmdTreeNewShelf, kCmdTreeNewList,
                 kCmdTreeNewPage, kCmdTreeNewLink}) {
    on.insert(id);
  }
}

constexpr MenuEntry kSeparator(MenuId menu) {
  return MenuEntry{menu, 0, ""};
}

constexpr std::array kEntries = {
    MenuEntry{MenuId::File, kCmdNewStore, "&New Store"},
    MenuEntry{MenuId::File, kCmdOpenStore, "&Open Store"},
    MenuEntry{MenuId::File, kCmdSave, "&Save"},
    MenuEntry{MenuId::File, kCmdSaveAs, "Sa&ve As"},
    MenuEntry{MenuId::File, kCmdRestoreBackup, "&Restore from Backup"},
    MenuEntry{MenuId::File, kCmdImport, "&Import"},
    MenuEntry{MenuId::File, kCmdMerge, "&Merge"},
    MenuEntry{MenuId::File, kCmdUpgrade, "&Upgrade"},
    MenuEntry{MenuId::File, kCmdWorkOffline, "&Work Offline", true},
    kSeparator(MenuId::File),
    MenuEntry{MenuId::File, kCmdQuit, "&Quit"},
    MenuEntry{MenuId::Edit, kCmdCopy, "&Copy"},
    MenuEntry{MenuId::Edit, kCmdPaste, "&Paste"},
    MenuEntry{MenuId::Edit, kCmdDisable, "Disable"},
    MenuEntry{MenuId::Edit, kCmdEnable, "&Enable"},
    MenuEntry{MenuId::Edit, kCmdDelete, "&Delete"},
    MenuEntry{MenuId::Edit, kCmdNewCategory, "New Cate&gory"},
    MenuEntry{MenuId::Edit, kCmdNewProduct, "&New Product"},
    MenuEntry{MenuId::Edit, kCmdNewShelf, "New &Shelf"},
    MenuEntry{MenuId::Edit, kCmdNewList, "New &List"},
    MenuEntry{MenuId::Edit, kCmdNewPage, "New Pa&ge"},
    MenuEntry{MenuId::Edit, kCmdNewLink, "New Lin&k"},
    MenuEntry{MenuId::Edit, 0, "&Insert", false, MenuId::EditInsert},
    MenuEntry{MenuId::EditInsert, kCmdInsertCategoryList, "&Category List - 1 Column"},
    MenuEntry{MenuId::EditInsert, kCmdInsertCategoryList2, "Category List - 2 Columns"},
    MenuEntry{MenuId::EditInsert, kCmdInsertSummary2, "&Summary - 2 Products"},
    MenuEntry{MenuId::EditInsert, kCmdInsertSummary4, "&Summary - 4 Products"},
    MenuEntry{MenuId::EditInsert, kCmdInsertSummary6, "&Summary - 6 Products"},
    MenuEntry{MenuId::EditInsert, kCmdInsertSpecial, "&Special"},
    MenuEntry{MenuId::EditInsert, kCmdInsertFile, "&File"},
    MenuEntry{MenuId::Edit, kCmdFind, "&Find"},
    MenuEntry{MenuId::Edit, kCmdSelectAll, "Select &All"},
    MenuEntry{MenuId::View, kCmdOrders, "&Orders"},
    MenuEntry{MenuId::View, kCmdToolbar, "&Toolbar", true},
    MenuEntry{MenuId::View, kCmdButtons, "&Buttons", true},
    MenuEntry{MenuId::View, kCmdDefaultLabels, "Default &Label Fields", true},
    MenuEntry{MenuId::Options, kCmdPreferences, "&Preferences"},
    MenuEntry{MenuId::Options, kCmdPreview, "Pre&view Page"},
    MenuEntry{MenuId::Options, kCmdBuildStore, "&Build Store"},
    MenuEntry{MenuId::Options, kCmdCreditCards, "Add/Remove &Credit Cards"},
    MenuEntry{MenuId::Options, kCmdFreightRegions, "Add/Remove &Freight Regions"},
    MenuEntry{MenuId::Options, kCmdTaxOptions, "Tax Options"},
    MenuEntry{MenuId::Options, kCmdImportFreight, "&Import Freight Tables"},
    MenuEntry{MenuId::Help, kCmdHelp, "&Help"},
    MenuEntry{MenuId::Help, kCmdFaq, "&FAQ"},
    MenuEntry{MenuId::Help, kCmdManual, "&Manual"},
    MenuEntry{MenuId::Help, kCmdAbout, "&About"},
    MenuEntry{MenuId::TreePopup, kCmdPreview, "Pre&view"},
    MenuEntry{MenuId::TreePopup, 0, "&New", false, MenuId::TreePopupNew},
    MenuEntry{MenuId::TreePopupNew, kCmdTreeNewCategory, "&Category"},
    MenuEntry{MenuId::TreePopupNew, kCmdTreeNewProduct, "&Product"},
    MenuEntry{MenuId::TreePopupNew, kCmdTreeNewShelf, "&Shelf"},
    MenuEntry{MenuId::TreePopupNew, kCmdTreeNewList, "&List"},
    MenuEntry{MenuId::TreePopupNew, kCmdNewStore, "&Store"},
    MenuEntry{MenuId::TreePopupNew, kCmdTreeNewPage, "Pa&ge"},
    MenuEntry{MenuId::TreePopupNew, kCmdTreeNewLink, "Lin&k"},
    MenuEntry{MenuId::TreePopup, kCmdTreeCopy, "&Copy\tCtrl+C"},
    MenuEntry{MenuId::TreePopup, kCmdTreePaste, "&Paste\tCtrl+V"},
    MenuEntry{MenuId::TreePopup, kCmdTreeDelete, "Delete"},
    MenuEntry{MenuId::TreePopup, kCmdTreeRename, "&Rename"},
    MenuEntry{MenuId::TreePopup, kCmdTreeDisable, "Disable"},
    MenuEntry{MenuId::TreePopup, kCmdTreeEnable, "Enable"},
    MenuEntry{MenuId::ListPopup, 0, "&New", false, MenuId::ListPopupNew},
    MenuEntry{MenuId::ListPopupNew, kCmdTreeNewCategory, "&Category"},
    MenuEntry{MenuId::ListPopupNew, kCmdTreeNewProduct, "&Product"},
    MenuEntry{MenuId::ListPopupNew, kCmdTreeNewShelf, "&Shelf"},
    MenuEntry{MenuId::ListPopupNew, kCmdTreeNewList, "&List"},
    MenuEntry{MenuId::ListPopupNew, kCmdNewStore, "&Store"},
    MenuEntry{MenuId::ListPopupNew, kCmdTreeNewPage, "Pa&ge"},
    MenuEntry{MenuId::ListPopupNew, kCmdTreeNewLink, "Lin&k"},
    MenuEntry{MenuId::ListPopup, kCmdListCopy, "&Copy"},
    MenuEntry{MenuId::ListPopup, kCmdListPaste, "&Paste"},
    MenuEntry{MenuId::ListPopup, kCmdListDelete, "Delete"},
    MenuEntry{MenuId::ListPopup, kCmdListRename, "&Rename"},
    MenuEntry{MenuId::ListPopup, kCmdListEnable, "Enable"},
    MenuEntry{MenuId::ListPopup, kCmdListDisable, "Disable"},
    MenuEntry{MenuId::ListPopup, kCmdListSelectAll, "Select &All"},
};

constexpr std::array<InsertEntry, 7> kInserts = {{
    {kCmdInsertCategoryList, "&Category List - 1 Column", "%CategoryList%"},
    {kCmdInsertCategoryList2, "Category List - 2 Columns", "%CategoryList2%"},
    {kCmdInsertSummary2, "&Summary - 2 Products", "%FILE=html\\summary2.htm%"},
    {kCmdInsertSummary4, "&Summary - 4 Products", "%FILE=html\\summary4.htm%"},
    {kCmdInsertSummary6, "&Summary - 6 Products", "%FILE=html\\summary6.htm%"},
    {kCmdInsertSpecial, "&Special", "%FILE=html\\special.htm%"},
    {kCmdInsertFile, "&File", "%FILE=filename.htm%"},
}};

}  // namespace

CommandState CommandStateFor(const ProjectSession& session, const TreeEditor& editor,
                             const WindowState& window) {
  CommandState s;
  const StoreProject& project = session.project;
  s.hasProjectPath = !session.path.empty();
  if (const StoreNode* current = project.selected) {
    s.hasCurrentNode = true;
    s.currentKind = current->kind;
    s.currentEnabled = current->Enabled();
    if (const StoreNode* parent = ParentNode(*current)) s.parentKind = parent->kind;
  }
  s.focus = window.focus;
  s.page = window.page;
  s.clipboardHasNodes = !editor.ClipboardEmpty();
  s.systemClipboardHasText = window.systemClipboardHasText;
  s.anyChanged = project.changed || window.ordersChanged;
  s.listEntries = static_cast<int>(editor.ListEntries().size());
  for (const StoreNode* entry : editor.SelectedEntries()) {
    ++s.listSelected;
    (entry->Enabled() ? s.listHasEnabled : s.listHasDisabled) = true;
  }
  s.view = window.view;
  s.busy = window.busy;
  return s;
}

std::set<int> EnabledMenuCommands(const CommandState& s) {
  if (s.busy) return {};
  std::set<int> on = {
      kCmdNewStore,      kCmdOpenStore,   kCmdUpgrade,        kCmdWorkOffline, kCmdQuit,
      kCmdCopy,          kCmdDelete,      kCmdOrders,         kCmdToolbar,     kCmdButtons,
      kCmdDefaultLabels, kCmdPreferences, kCmdFreightRegions, kCmdTaxOptions,  kCmdImportFreight,
      kCmdHelp,          kCmdFaq,         kCmdManual,         kCmdAbout};
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
    on.insert(kCmdPreview);
    if (s.focus == UiFocus::NodeList) {
      if (s.listHasDisabled) on.insert(kCmdEnable);
      if (s.listHasEnabled) on.insert(kCmdDisable);
    } else {
      on.insert(s.currentEnabled ? kCmdDisable : kCmdEnable);
    }
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
  // The Insert blocks go into the page text being edited.
  if (s.focus == UiFocus::TextField) {
    for (const InsertEntry& e : kInserts) on.insert(e.id);
  }
  for (int id = kCmdRecent0; id <= kCmdRecent4; ++id) on.insert(id);
  return on;
}

std::set<int> EnabledTreePopupCommands(const CommandState& s) {
  if (s.busy) return {};
  std::set<int> on = {kCmdTreeRename};
  AddPopupNewEntries(s, on);
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

std::set<int> EnabledListPopupCommands(const CommandState& s) {
  if (s.busy) return {};
  std::set<int> on;
  AddPopupNewEntries(s, on);
  if (s.listSelected > 0) {
    on.insert(kCmdListCopy);
    on.insert(kCmdListDelete);
  }
  if (s.listSelected == 1) on.insert(kCmdListRename);
  if (s.listHasDisabled) on.insert(kCmdListEnable);
  if (s.listHasEnabled) on.insert(kCmdListDisable);
  if (s.clipboardHasNodes) on.insert(kCmdListPaste);
  if (s.listEntries > 0) on.insert(kCmdListSelectAll);
  return on;
}

std::set<int> CheckedMenuCommands(const CommandState& s) {
  std::set<int> checked;
  for (int id : {kCmdToolbar, kCmdButtons, kCmdDefaultLabels, kCmdWorkOffline}) {
    if ((s.view & ViewBitFor(id)) != 0) checked.insert(id);
  }
  return checked;
}

Route RouteByFocus(int command, UiFocus focus) {
  int list = 0, tree = 0;
  switch (command) {
    case kCmdCopy:
      list = kCmdListCopy, tree = kCmdTreeCopy;
      break;
    case kCmdPaste:
      list = kCmdListPaste, tree = kCmdTreePaste;
      break;
    case kCmdDelete:
      list = kCmdListDelete, tree = kCmdTreeDelete;
      break;
    case kCmdSelectAll:
      list = kCmdListSelectAll;
      break;
    case kCmdEnable:
      return {RouteTarget::Command,
              focus == UiFocus::NodeList ? int(kCmdListEnable) : int(kCmdTreeEnable)};
    case kCmdDisable:
      return {RouteTarget::Command,
              focus == UiFocus::NodeList ? int(kCmdListDisable) : int(kCmdTreeDisable)};
    default:
      return {RouteTarget::None, command};
  }
  switch (focus) {
    case UiFocus::TextField:
      return {RouteTarget::TextField, command};
    case UiFocus::NodeList:
      return {RouteTarget::Command, list};
    case UiFocus::Tree:
      if (tree != 0) return {RouteTarget::Command, tree};
      break;
    case UiFocus::Other:
      break;
  }
  return {RouteTarget::Page, command};
}

int ViewBitFor(int command) {
  switch (command) {
    case kCmdToolbar:
      return kViewToolbar;
    case kCmdButtons:
      return kViewButtons;
    case kCmdDefaultLabels:
      return kViewDefaultLabels;
    case kCmdWorkOffline:
      return kViewWorkOffline;
    default:
      return 0;
  }
}

int ToggleView(int view, int command) {
  return view ^ ViewBitFor(command);
}

bool RefreshesViews(int viewBefore, int command) {
  return command == kCmdWorkOffline && (viewBefore & kViewWorkOffline) != 0;
}

const char* MenuTitle(MenuId menu) {
  switch (menu) {
    case MenuId::File:
      return "&File";
    case MenuId::Edit:
      return "&Edit";
    case MenuId::EditInsert:
      return "&Insert";
    case MenuId::View:
      return "&View";
    case MenuId::Options:
      return "&Options";
    case MenuId::Help:
      return "&Help";
    case MenuId::TreePopupNew:
    case MenuId::ListPopupNew:
      return "&New";
    case MenuId::TreePopup:
    case MenuId::ListPopup:
      return "";
  }
  return "";
}

std::span<const MenuEntry> MenuEntries() {
  return kEntries;
}

std::vector<MenuEntry> MenuEntriesOf(MenuId menu) {
  std::vector<MenuEntry> out;
  for (const MenuEntry& e : kEntries) {
    if (e.menu == menu) out.push_back(e);
  }
  return out;
}

const MenuEntry* FindMenuEntry(int id) {
  if (id == 0) return nullptr;
  for (const MenuEntry& e : kEntries) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

std::span<const InsertEntry> InsertEntries() {
  return kInserts;
}

const InsertEntry* FindInsertEntry(int id) {
  for (const InsertEntry& e : kInserts) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

bool NeedsOrderServer(int command) {
  return command == kCmdOrders || command == kCmdBuildStore;
}

OrderServerCheck CheckOrderServer(const AppConfig& config, Prompter& prompter) {
  if (!config.server.empty()) return OrderServerCheck::Go;
  const PromptAnswer answer =
      prompter.Ask(kNoOrderServerQuestion, kNoOrderServerTitle, PromptButtons::YesNo);
  return answer == PromptAnswer::Yes ? OrderServerCheck::OpenPreferences : OrderServerCheck::Stop;
}

}  // namespace tolmi
