// Enabling rules of the main menu and the tree pop-up menu.
#include <gtest/gtest.h>

#include "app/CommandRules.h"

#include <functional>
#include <map>

#include "tests/support/FakePrompter.h"

namespace tolmi {
namespace {

bool On(const std::set<int>& set, int id) {
  return set.count(id) != 0;
}

// Paste needs a focus that takes it; Find is off on the freight and layout pages.
TEST(CommandRulesTest, PasteNeedsAFocusAndFindAListPage) {
  CommandState s;
  EXPECT_EQ(EnabledTreePopupCommands(s), (std::set<int>{kCmdNewStore}));  // no project
  s.clipboardHasNodes = true;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdPaste));
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdFind));
  for (PropertyPage page : {PropertyPage::Freight, PropertyPage::Layout}) {
    s.page = page;
    EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdFind));
  }
}

TEST(CommandRulesTest, TreePopupOffersOnlyTheApplicableEnableOrDisable) {
  CommandState s;
  s.hasProjectPath = true;
  s.hasCurrentNode = true;
  auto popup = EnabledTreePopupCommands(s);
  EXPECT_FALSE(On(popup, kCmdNewStore));
  EXPECT_TRUE(On(popup, kCmdTreeDisable));
  EXPECT_FALSE(On(popup, kCmdTreeEnable));
  EXPECT_FALSE(On(popup, kCmdTreePaste));
  EXPECT_TRUE(On(popup, kCmdTreeNewCategory));
  s.currentEnabled = false;
  s.clipboardHasNodes = true;
  popup = EnabledTreePopupCommands(s);
  EXPECT_FALSE(On(popup, kCmdTreeDisable));
  EXPECT_TRUE(On(popup, kCmdTreeEnable));
  EXPECT_TRUE(On(popup, kCmdTreePaste));
  s.hasCurrentNode = false;
  popup = EnabledTreePopupCommands(s);
  for (int id : {kCmdTreeCopy, kCmdTreeDelete, kCmdTreeEnable, kCmdTreeDisable, kCmdPreview}) {
    EXPECT_FALSE(On(popup, id)) << id;
  }
}

// A project of a category holding a shelf (one enabled and one disabled product) and a page.
struct Store {
  ProjectSession session;
  std::uint32_t serial = 0;
  TreeEditor editor{session.project, serial};
  std::map<std::string, StoreNode*> nodes;

  Store() {
    session.path = "shop.stp";
    StoreProject& p = session.project;
    auto add = [&](const std::string& name, NodeKind kind, StoreNode* parent) {
      auto n = CreateNode();
      n->kind = kind;
      n->title = name;
      return nodes[name] = AppendNode(p, parent, std::move(n));
    };
    StoreNode* cat = add("category", NodeKind::Category, nullptr);
    StoreNode* shelf = add("shelf", NodeKind::Shelf, cat);
    add("shelf item", NodeKind::Product, shelf);
    add("shelf item off", NodeKind::Product, shelf)->status = kStatusDisabled;
    add("page", NodeKind::Page, cat);
  }
};

TEST(CommandRulesTest, StateMatrix) {
  struct Case {
    const char* name;
    std::function<void(Store&, WindowState&)> setup;
    std::vector<int> menuOn, menuOff, listOn, listOff;
  };
  const std::vector<Case> cases = {
      {"no project",
       [](Store& st, WindowState&) {
         st.session.path.clear();
         st.session.project.selected = nullptr;
       },
       {kCmdNewStore, kCmdOpenStore, kCmdFind},
       {kCmdSave, kCmdSaveAs, kCmdMerge, kCmdImport, kCmdRestoreBackup, kCmdCreditCards,
        kCmdNewCategory, kCmdNewProduct, kCmdNewPage, kCmdNewLink, kCmdEnable, kCmdDisable,
        kCmdPreview, kCmdBuildStore, kCmdPaste, kCmdSelectAll},
       {kCmdNewStore},
       {kCmdTreeNewCategory, kCmdListCopy, kCmdListSelectAll, kCmdListPaste}},
      {"category, tree focus",
       [](Store& st, WindowState& w) {
         st.editor.Select(st.nodes["category"]);
         w.focus = UiFocus::Tree;
       },
       {kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdNewPage, kCmdNewLink, kCmdNewProduct,
        kCmdDisable, kCmdPreview, kCmdBuildStore, kCmdSave},
       {kCmdEnable, kCmdPaste, kCmdSelectAll, kCmdInsertCategoryList},
       {kCmdTreeNewCategory, kCmdListSelectAll},
       {kCmdNewStore, kCmdListCopy, kCmdListDelete, kCmdListRename, kCmdListEnable,
        kCmdListDisable, kCmdListPaste}},
      {"nothing selected: containers only",
       [](Store& st, WindowState&) { st.session.project.selected = nullptr; },
       {kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdSaveAs},
       {kCmdNewPage, kCmdNewLink, kCmdNewProduct, kCmdPreview, kCmdBuildStore},
       {},
       {}},
      {"shelf: only products go in",
       [](Store& st, WindowState&) { st.editor.Select(st.nodes["shelf"]); },
       {kCmdNewProduct},
       {kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdNewPage, kCmdNewLink},
       {},
       {}},
      {"shelf item",
       [](Store& st, WindowState&) { st.editor.Select(st.nodes["shelf item"]); },
       {kCmdNewProduct, kCmdDisable},
       {kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdNewPage, kCmdNewLink, kCmdEnable},
       {},
       {}},
      {"disabled shelf item",
       [](Store& st, WindowState&) { st.editor.Select(st.nodes["shelf item off"]); },
       {kCmdEnable},
       {kCmdDisable},
       {},
       {}},
      {"several selected, mixed, list focus, clipboard full",
       [](Store& st, WindowState& w) {
         st.editor.Select(st.nodes["shelf"]);
         st.editor.SelectAll();
         st.editor.CopyFromList();
         w.focus = UiFocus::NodeList;
       },
       {kCmdEnable, kCmdDisable, kCmdPaste, kCmdSelectAll},
       {},
       {kCmdListCopy, kCmdListDelete, kCmdListEnable, kCmdListDisable, kCmdListPaste,
        kCmdListSelectAll, kCmdTreeNewProduct},
       {kCmdListRename}},
      {"one enabled entry selected, list focus, clipboard empty",
       [](Store& st, WindowState& w) {
         st.editor.Select(st.nodes["shelf"]);
         st.editor.SetListSelection({st.nodes["shelf item"]});
         w.focus = UiFocus::NodeList;
       },
       {kCmdDisable},
       {kCmdEnable, kCmdPaste},
       {kCmdListCopy, kCmdListRename, kCmdListDisable},
       {kCmdListEnable, kCmdListPaste}},
      {"list focus, nothing selected",
       [](Store& st, WindowState& w) {
         st.editor.Select(st.nodes["category"]);
         w.focus = UiFocus::NodeList;
       },
       {kCmdSelectAll},
       {kCmdEnable, kCmdDisable},
       {kCmdListSelectAll},
       {kCmdListCopy, kCmdListDelete, kCmdListRename, kCmdListEnable, kCmdListDisable}},
      {"text field with text on the system clipboard",
       [](Store& st, WindowState& w) {
         st.editor.Select(st.nodes["page"]);
         w.focus = UiFocus::TextField;
         w.systemClipboardHasText = true;
       },
       {kCmdPaste, kCmdSelectAll, kCmdInsertCategoryList, kCmdInsertFile, kCmdNewPage},
       {},
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Store st;
    st.session.project.changed = true;
    WindowState window;
    c.setup(st, window);
    const CommandState state = CommandStateFor(st.session, st.editor, window);
    const auto menu = EnabledMenuCommands(state);
    const auto list = EnabledListPopupCommands(state);
    for (int id : c.menuOn) EXPECT_TRUE(On(menu, id)) << id;
    for (int id : c.menuOff) EXPECT_FALSE(On(menu, id)) << id;
    for (int id : c.listOn) EXPECT_TRUE(On(list, id)) << id;
    for (int id : c.listOff) EXPECT_FALSE(On(list, id)) << id;
    // Enable and Disable: never both for one node in the tree.
    if (window.focus != UiFocus::NodeList) {
      EXPECT_FALSE(On(menu, kCmdEnable) && On(menu, kCmdDisable));
    }
  }
}

TEST(CommandRulesTest, BusyLeavesNothingEnabled) {
  Store st;
  st.editor.Select(st.nodes["category"]);
  WindowState window;
  window.busy = true;
  const CommandState state = CommandStateFor(st.session, st.editor, window);
  EXPECT_TRUE(EnabledMenuCommands(state).empty());
  EXPECT_TRUE(EnabledTreePopupCommands(state).empty());
  EXPECT_TRUE(EnabledListPopupCommands(state).empty());
}

TEST(CommandRulesTest, OrdersChangedEnablesSave) {
  Store st;
  WindowState window;
  EXPECT_FALSE(On(EnabledMenuCommands(CommandStateFor(st.session, st.editor, window)), kCmdSave));
  window.ordersChanged = true;
  EXPECT_TRUE(On(EnabledMenuCommands(CommandStateFor(st.session, st.editor, window)), kCmdSave));
}

TEST(CommandRulesTest, RoutingByFocus) {
  struct Row {
    int command;
    UiFocus focus;
    RouteTarget target;
    int routed;
  };
  const Row rows[] = {
      {kCmdCopy, UiFocus::TextField, RouteTarget::TextField, kCmdCopy},
      {kCmdCopy, UiFocus::NodeList, RouteTarget::Command, kCmdListCopy},
      {kCmdCopy, UiFocus::Tree, RouteTarget::Command, kCmdTreeCopy},
      {kCmdCopy, UiFocus::Other, RouteTarget::Page, kCmdCopy},
      {kCmdPaste, UiFocus::NodeList, RouteTarget::Command, kCmdListPaste},
      {kCmdPaste, UiFocus::Tree, RouteTarget::Command, kCmdTreePaste},
      {kCmdDelete, UiFocus::NodeList, RouteTarget::Command, kCmdListDelete},
      {kCmdDelete, UiFocus::Tree, RouteTarget::Command, kCmdTreeDelete},
      {kCmdDelete, UiFocus::Other, RouteTarget::Page, kCmdDelete},
      {kCmdSelectAll, UiFocus::TextField, RouteTarget::TextField, kCmdSelectAll},
      {kCmdSelectAll, UiFocus::NodeList, RouteTarget::Command, kCmdListSelectAll},
      {kCmdSelectAll, UiFocus::Tree, RouteTarget::Page, kCmdSelectAll},
      {kCmdEnable, UiFocus::NodeList, RouteTarget::Command, kCmdListEnable},
      {kCmdEnable, UiFocus::Tree, RouteTarget::Command, kCmdTreeEnable},
      {kCmdDisable, UiFocus::NodeList, RouteTarget::Command, kCmdListDisable},
      {kCmdDisable, UiFocus::TextField, RouteTarget::Command, kCmdTreeDisable},
      {kCmdSave, UiFocus::Tree, RouteTarget::None, kCmdSave},
  };
  for (const Row& r : rows) {
    const Route route = RouteByFocus(r.command, r.focus);
    EXPECT_EQ(route.target, r.target) << r.command << " " << int(r.focus);
    EXPECT_EQ(route.command, r.routed) << r.command << " " << int(r.focus);
  }
}

TEST(CommandRulesTest, ViewBitsCheckAndToggle) {
  CommandState s;
  s.view = 1 | 16;
  EXPECT_EQ(CheckedMenuCommands(s), (std::set<int>{kCmdToolbar, kCmdDefaultLabels}));
  EXPECT_EQ(ToggleView(s.view, kCmdButtons), 1 | 2 | 16);
  EXPECT_EQ(ToggleView(s.view, kCmdToolbar), 16);
  EXPECT_EQ(ToggleView(s.view, kCmdSave), s.view);
  EXPECT_EQ(ToggleView(0, kCmdWorkOffline), 32);
  EXPECT_FALSE(RefreshesViews(0, kCmdWorkOffline));  // switched on
  EXPECT_TRUE(RefreshesViews(32, kCmdWorkOffline));  // switched off
  s.view = 255;
  EXPECT_EQ(CheckedMenuCommands(s).size(), 4u);
}

TEST(CommandRulesTest, MenuTableAndInsertBlocks) {
  const std::vector<MenuEntry> edit = MenuEntriesOf(MenuId::Edit);
  ASSERT_EQ(edit.size(), 14u);
  EXPECT_STREQ(edit[0].label, "&Copy");
  EXPECT_EQ(edit[11].submenu, MenuId::EditInsert);
  ASSERT_NE(FindMenuEntry(kCmdTreeCopy), nullptr);
  EXPECT_STREQ(FindMenuEntry(kCmdTreeCopy)->label, "&Copy\tCtrl+C");
  EXPECT_STREQ(FindMenuEntry(kCmdPreview)->label, "Pre&view Page");  // menu bar first
  EXPECT_TRUE(FindMenuEntry(kCmdWorkOffline)->checkable);
  EXPECT_EQ(MenuEntriesOf(MenuId::ListPopup).size(), 8u);
  // Every enabled menu-bar command has an entry.
  CommandState all;
  all.hasProjectPath = all.hasCurrentNode = all.anyChanged = true;
  all.focus = UiFocus::TextField;
  all.systemClipboardHasText = true;
  for (int id : EnabledMenuCommands(all)) {
    if (id >= kCmdRecent0 && id <= kCmdRecent4) continue;
    EXPECT_NE(FindMenuEntry(id), nullptr) << id;
  }
  const char* texts[] = {"%CategoryList%",          "%CategoryList2%",
                         "%FILE=html\\summary2.htm%", "%FILE=html\\summary4.htm%",
                         "%FILE=html\\summary6.htm%", "%FILE=html\\special.htm%",
                         "%FILE=filename.htm%"};
  ASSERT_EQ(InsertEntries().size(), 7u);
  for (int i = 0; i < 7; ++i) {
    const InsertEntry* e = FindInsertEntry(kCmdInsertCategoryList + i);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->text, texts[i]);
    EXPECT_STREQ(e->label, MenuEntriesOf(MenuId::EditInsert)[i].label);
  }
  EXPECT_EQ(FindInsertEntry(609), nullptr);
}

TEST(CommandRulesTest, OrderServerCheck) {
  test::FakePrompter prompter;
  AppConfig config;
  prompter.answers = {PromptAnswer::Yes, PromptAnswer::No};
  EXPECT_EQ(CheckOrderServer(config, prompter), OrderServerCheck::OpenPreferences);
  EXPECT_EQ(CheckOrderServer(config, prompter), OrderServerCheck::Stop);
  ASSERT_EQ(prompter.asked.size(), 2u);
  EXPECT_EQ(prompter.asked[0].text,
            "No Tolmi server selected.  You need to set an Tolmi Order server address in "
            "Preferences. Would you like to set it now?");
  EXPECT_EQ(prompter.asked[0].title, "Configuration Error");
  config.server = "http://127.0.0.1:1/";
  EXPECT_EQ(CheckOrderServer(config, prompter), OrderServerCheck::Go);
  EXPECT_EQ(prompter.asked.size(), 2u);
  EXPECT_TRUE(NeedsOrderServer(kCmdOrders) && NeedsOrderServer(kCmdBuildStore));
  EXPECT_FALSE(NeedsOrderServer(kCmdPreview));
}

}  // namespace
}  // namespace tolmi
