// The Variables page's rules: the name check the build shares, storing, deleting,
// and the clipboard text both ways; and the View of the order templates.
#include <gtest/gtest.h>

#include "builder/BuildDriver.h"
#include "builder/TemplatePreview.h"
#include "builder/UserVariables.h"
#include "tests/builder/BuilderFixture.h"
#include "util/Browser.h"

namespace tolmi::test {
namespace {

TEST(UserVariables, ReservedNamesAreIllegal) {
  struct Case {
    const char* name;
    bool illegal;
  } cases[] = {{"$PRI", true},      {"$F", true},      {"$LABEL6", true},
               {"$MYBODYX", false}, {"X$BODYX", true}, {"$SALE", false},
               {"$ZIP", false},     {"", false},       {",$SHELF", true}};
  for (const Case& c : cases) EXPECT_EQ(IsIllegalVariableName(c.name), c.illegal) << c.name;
}

TEST(UserVariables, StoreRefusesWithTheMessageAndChangesNothing) {
  StoreProject project;
  project.variables = {{"$SALE", "10%"}};
  struct Case {
    std::optional<std::size_t> row;
    std::string name, value, message;
  } refused[] = {
      {std::nullopt, "$PRI", "x",
       "'$PRI' is an illegal variable name.  A variable name must not be, or be part of, a name "
       "that Tolmi PRO reserves, such as $PRICE or $BODY."},
      {std::nullopt, "", "x", "A variable must have a name."},
      {std::nullopt, "a|b", "x", "A variable name must not contain '|' or line breaks."},
      {std::nullopt, "$sale", "x", "A variable named '$SALE' already exists."},
      {std::nullopt, "$NEW", std::string(4049, 'v'),
       "A variable value must not be longer than 4048 characters."},
      {std::size_t{3}, "$NEW", "x", "No variable in that row."},
  };
  for (const Case& c : refused) {
    Result<std::size_t> stored = StoreVariableEntry(project, c.row, c.name, c.value);
    ASSERT_FALSE(stored.ok());
    EXPECT_EQ(stored.status().message(), c.message);
  }
  EXPECT_FALSE(project.changed);
  EXPECT_EQ(project.variables.size(), 1u);

  // Editing a row may keep its own name in another case; an empty value stays.
  ASSERT_TRUE(StoreVariableEntry(project, 0, "$Sale", "").ok());
  ASSERT_TRUE(StoreVariableEntry(project, std::nullopt, "$NEW", std::string(4048, 'v')).ok());
  EXPECT_EQ(project.variables[0], (StoreVariable{"$Sale", ""}));
  EXPECT_TRUE(project.changed);
}

TEST(UserVariables, CopyPasteAndDelete) {
  StoreProject project;
  project.variables = {{"$GIFT", "one\r\ntwo"}, {"$SALE", "b"}, {"$TEA", "c"}};
  const std::string copied = VariablesClipboardText(project.variables, {2, 0, 7});
  EXPECT_EQ(copied, "$GIFT\tone@@@two\n$TEA\tc\n");

  EXPECT_EQ(DeleteVariables(project, {0, 2, 2, 9}), 2u);
  EXPECT_EQ(project.variables, (std::vector<StoreVariable>{{"$SALE", "b"}}));

  project.changed = false;
  VariablePaste paste = PasteVariables(project, copied + "no tab line\r\n$sale\tB2\r\n$PRICE\t1\n");
  EXPECT_EQ(paste.stored, 3u);
  EXPECT_EQ(paste.refused.message().rfind("'$PRICE' is an illegal variable name.", 0), 0u);
  EXPECT_EQ(project.variables,
            (std::vector<StoreVariable>{{"$sale", "B2"}, {"$GIFT", "one\r\ntwo"}, {"$TEA", "c"}}));
  EXPECT_TRUE(project.changed);
}

class RecordingLauncher : public BrowserLauncher {
 public:
  bool Launch(const std::string&, const std::string& argument) override {
    opened.push_back(argument);
    return true;
  }
  bool Exists(const std::string&) const override { return true; }
  std::vector<std::string> opened;
};

TEST_F(BuilderTest, ViewWritesTheTemplateIntoThePreviewFolderAndOpensIt) {
  RecordingLauncher launcher;
  session->launcher = &launcher;
  session->options.browserPath = "browser";
  session->orderTemplate = "<form bgcolor=\"%S_BGCOLOR%\">$MESSAGE</form>";
  session->confirmTemplate = "Thanks $CONFIRM";
  project.settings.orderMessage = "Call us";
  project.settings.confirmMessage = "for ordering";
  const std::string order = ViewOrderTemplate(*session, OrderTemplateKind::Order);
  const std::string confirm = ViewOrderTemplate(*session, OrderTemplateKind::Confirmation);
  const std::string folder = (home / "Temp/Shop").string();
  EXPECT_EQ(session->buildDir, folder);
  EXPECT_EQ(order, folder + "/order.htm");
  EXPECT_EQ(home.Read("Temp/Shop/order.htm"), "<form bgcolor=\"#FFFFFF\">Call us</form>");
  EXPECT_EQ(home.Read("Temp/Shop/confirm.htm"), "Thanks for ordering");
  EXPECT_EQ(launcher.opened, (std::vector<std::string>{order, confirm}));

  // Without a scheme nothing is written or opened.
  schemes.categories.clear();
  schemes.current.reset();
  EXPECT_EQ(ViewOrderTemplate(*session, OrderTemplateKind::Order), "");
  EXPECT_EQ(launcher.opened.size(), 2u);
}

TEST_F(BuilderTest, StylePreviewUsesThatStyleAndLeavesTheProjectAsItWas) {
  Scheme other;
  other.name = "Other";
  other.folder = "other";
  other.loaded = true;
  other.variables = {{"", "%S_BGCOLOR%", "#000000", 0, kStyleColour}};
  schemes.categories[0].schemes.push_back(other);
  home.Write("template/other/page.htm", "other %S_BGCOLOR%");
  home.Write("Projects/Shop/Template/page.htm", "own %S_BGCOLOR%");
  StoreNode& page = Add(nullptr, NodeKind::Page, "About", "about.htm");
  page.temp = "page.htm";
  page.builtSize = 7;
  page.mod = 1;
  session->buildDir.clear();  // the preview folder

  EXPECT_EQ(PreviewStyle(*session, {0, 1}, page), (home / "Temp/Shop/ftmp.htm").string());
  EXPECT_EQ(home.Read("Temp/Shop/about.htm"), "other #000000");
  EXPECT_EQ(page.builtSize, 7);
  EXPECT_EQ(page.mod, 1);
  EXPECT_FALSE(project.changed);
  EXPECT_EQ(schemes.current, (SchemeIndex{0, 0}));
  EXPECT_EQ(PreviewStyle(*session, {3, 0}, page), "");

  PreviewNode(*session, page);  // the project's own template again
  EXPECT_EQ(home.Read("Temp/Shop/about.htm"), "own #FFFFFF");
  EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace tolmi::test
