// Enabling rules of the main menu and the tree pop-up menu.
#include <gtest/gtest.h>

#include "app/CommandRules.h"

namespace tolmi {
namespace {

bool On(const std::set<int>& set, int id) {
  return set.count(id) != 0;
}

TEST(CommandRulesTest, NothingOpen) {
  CommandState s;
  auto menu = EnabledMenuCommands(s);
  for (int id :
       {kCmdSave, kCmdSaveAs, kCmdMerge, kCmdImport, kCmdRestoreBackup, kCmdCreditCards,
        kCmdBuildStore, kCmdNewProduct, kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdNewPage,
        kCmdNewLink, kCmdDisable, kCmdEnable, kCmdPreview, kCmdPaste, kCmdSelectAll}) {
    EXPECT_FALSE(On(menu, id)) << id;
  }
  EXPECT_TRUE(On(menu, kCmdNewStore));
  EXPECT_TRUE(On(menu, kCmdFind));
  auto popup = EnabledTreePopupCommands(s);
  EXPECT_EQ(popup, (std::set<int>{kCmdNewStore}));
}

TEST(CommandRulesTest, SaveNeedsAPathAndAChange) {
  CommandState s;
  s.anyChanged = true;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdSave));
  s.hasProjectPath = true;
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdSave));
  s.anyChanged = false;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdSave));
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdSaveAs));
}

TEST(CommandRulesTest, InsideAShelfOnlyProductsCanBeAdded) {
  CommandState s;
  s.hasProjectPath = true;
  auto empty = EnabledMenuCommands(s);  // empty tree: containers, no page, link or product
  EXPECT_TRUE(On(empty, kCmdNewCategory));
  EXPECT_FALSE(On(empty, kCmdNewPage));
  EXPECT_FALSE(On(empty, kCmdNewProduct));
  s.hasCurrentNode = true;
  s.currentKind = NodeKind::Category;
  auto cat = EnabledMenuCommands(s);
  for (int id : {kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdNewPage, kCmdNewLink,
                 kCmdNewProduct, kCmdBuildStore, kCmdPreview}) {
    EXPECT_TRUE(On(cat, id)) << id;
  }
  for (NodeKind kind : {NodeKind::Shelf, NodeKind::List}) {
    s.currentKind = kind;
    s.parentKind = std::nullopt;
    auto menu = EnabledMenuCommands(s);
    EXPECT_TRUE(On(menu, kCmdNewProduct));
    for (int id : {kCmdNewCategory, kCmdNewShelf, kCmdNewList, kCmdNewPage, kCmdNewLink}) {
      EXPECT_FALSE(On(menu, id)) << id;
    }
    s.currentKind = NodeKind::Product;
    s.parentKind = kind;
    menu = EnabledMenuCommands(s);
    EXPECT_TRUE(On(menu, kCmdNewProduct));
    EXPECT_FALSE(On(menu, kCmdNewCategory));
  }
  s.parentKind = NodeKind::Category;
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdNewPage));
}

TEST(CommandRulesTest, PasteSelectAllAndFindFollowTheFocus) {
  CommandState s;
  s.clipboardHasNodes = true;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdPaste));
  s.focus = UiFocus::Tree;
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdPaste));
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdSelectAll));
  s.focus = UiFocus::NodeList;
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdPaste));
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdSelectAll));
  s.focus = UiFocus::TextField;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdPaste));
  s.systemClipboardHasText = true;
  EXPECT_TRUE(On(EnabledMenuCommands(s), kCmdPaste));
  s.page = PropertyPage::Freight;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdFind));
  s.page = PropertyPage::Layout;
  EXPECT_FALSE(On(EnabledMenuCommands(s), kCmdFind));
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

}  // namespace
}  // namespace tolmi
