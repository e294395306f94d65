// The Build Store window's rules without a window: defaults, stored fields,
// progress range, "Selected Items" and the busy guard.
#include <gtest/gtest.h>

#include "builder/BuildDialog.h"

namespace tolmi::test {
namespace {

TEST(BuildDialogTest, DefaultsComeFromRebuildElseTheProjectsWebFolder) {
  struct Case {
    const char* rebuild;
    const char* projectDir;
    const char* expected;
  } cases[] = {
      {"", "/home/m/Projects/Shop", "/home/m/Projects/Shop/Web/"},
      {"", "/home/m/Projects/Shop/", "/home/m/Projects/Shop/Web/"},
      {"/srv/www/shop", "/home/m/Projects/Shop", "/srv/www/shop"},
  };
  for (const Case& c : cases) {
    StoreSettings settings;
    settings.rebuildDir = c.rebuild;
    settings.projectDir = c.projectDir;
    settings.storeTitle = "Tea";
    BuildDialogFields fields = BuildDialogDefaults(settings);
    EXPECT_EQ(fields.buildDir, c.expected) << c.rebuild << " " << c.projectDir;
    EXPECT_EQ(fields.storeTitle, "Tea");
  }
}

TEST(BuildDialogTest, StoringTheFieldsMarksChangesOnlyWhenTheyDiffer) {
  StoreProject project;
  project.settings.storeTitle = "Tea";
  project.settings.rebuildDir = "/w";
  StoreBuildDialogFields(project, {"Tea", "/w"});
  EXPECT_FALSE(project.changed);
  StoreBuildDialogFields(project, {"Tea Shop", std::string(600, 'd')});
  EXPECT_TRUE(project.changed);
  EXPECT_EQ(project.settings.storeTitle, "Tea Shop");
  EXPECT_EQ(project.settings.rebuildDir, std::string(512, 'd'));
}

TEST(BuildDialogTest, ProgressRangeAndSelectedItems) {
  StoreProject project;
  EXPECT_EQ(BuildProgressMaximum(project), 0);
  StoreNode* a = AppendNode(project, nullptr, CreateNode());
  StoreNode* b = AppendNode(project, a, CreateNode());
  StoreNode* c = AppendNode(project, a, CreateNode());
  EXPECT_EQ(BuildProgressMaximum(project), 3);

  using Nodes = std::vector<StoreNode*>;
  EXPECT_EQ(SelectedItemsFor(true, a, {b, c}), Nodes{a});
  EXPECT_EQ(SelectedItemsFor(false, a, {b, c}), (Nodes{b, c}));
  EXPECT_EQ(SelectedItemsFor(false, a, {}), Nodes{a});
  EXPECT_EQ(SelectedItemsFor(false, nullptr, {}), Nodes{});
}

TEST(BuildDialogTest, WhileBuildingOnlyCancelActs) {
  const BuildControl all[] = {BuildControl::Build, BuildControl::Publish, BuildControl::Options,
                              BuildControl::Help,  BuildControl::Browse,  BuildControl::Fields,
                              BuildControl::Scope};
  for (BuildControl control : all) {
    EXPECT_FALSE(BuildControlEnabled(control, true, "/w"));
    EXPECT_TRUE(BuildControlEnabled(control, false, "/w"));
  }
  EXPECT_TRUE(BuildControlEnabled(BuildControl::Cancel, true, "/w"));
  EXPECT_FALSE(BuildControlEnabled(BuildControl::Build, false, ""));
  EXPECT_TRUE(BuildControlEnabled(BuildControl::Publish, false, ""));

  bool busy = false;
  {
    BuildBusyGuard outer(busy);
    EXPECT_TRUE(outer.entered());
    BuildBusyGuard inner(busy);
    EXPECT_FALSE(inner.entered());
  }
  EXPECT_FALSE(busy);
}

}  // namespace
}  // namespace tolmi::test
