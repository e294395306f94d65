#include "builder/BuildDriver.h"

#include <gtest/gtest.h>

#include "builder/Pages.h"
#include "tests/builder/BuilderFixture.h"

namespace tolmi::test {
namespace {

class BuildWalkTest : public BuilderTest {
 protected:
  void SetUp() override {
    home.Write("Projects/Shop/Template/page.htm", "<p>$TITLE</p><!-- note --><!--#echo x-->");
    home.Write("Projects/Shop/Template/category.htm", "<h1>$TITLE</h1>%CategoryList%");
    home.Write("Projects/Shop/Template/shelf.htm", "<SHELF>[$TITLE $FNC]</SHELF>");
  }
  std::string Last() { return session->log.lines.back(); }
};

TEST_F(BuildWalkTest, ChildrenFirstDuplicatesAndDisabledSubtrees) {
  StoreNode& top = Add(nullptr, NodeKind::Category, "Top", "top.htm");
  // A shelf item is built first and does not claim its FILE.
  StoreNode& shelf = Add(&top, NodeKind::Shelf, "Shelf", "shelf.htm");
  Add(&shelf, NodeKind::Product, "On shelf", "a.htm");
  Add(&shelf, NodeKind::Product, "Also", "");
  Add(&top, NodeKind::Page, "First", "a.htm");
  Add(&top, NodeKind::Page, "Second", "a.htm");
  StoreNode& off = Add(&top, NodeKind::Category, "Off", "off.htm");
  off.status = -1;
  Add(&off, NodeKind::Page, "Below", "below.htm");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/a.htm"), "<p>Second</p><!--#echo x-->");
  EXPECT_EQ(home.Read("web/shelf.htm"), "[On shelf 1][Also 2]");
  EXPECT_FALSE(std::filesystem::exists(home / "web/off.htm"));
  EXPECT_FALSE(std::filesystem::exists(home / "web/below.htm"));
  EXPECT_NE(home.Read("web/top.htm").find("<a href=\"off.htm\">Off</a>"), std::string::npos);
  const std::vector<std::string>& lines = session->log.lines;
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], ReadyLine());
  EXPECT_EQ(lines[1], "");
  // The shelf's second product has no FILE; the one with "a.htm" is not claimed.
  EXPECT_EQ(lines[2], "error: a.htm: duplicate file name in project");
  EXPECT_EQ(lines.back(), "Store Build Complete. (1 errors, 0 warnings)");
  std::string index = home.Read("web/tolmi.idx");
  EXPECT_NE(index.find("#1|'On shelf'||'a.htm'||||\n"), std::string::npos);
  EXPECT_EQ(index.find("below.htm"), std::string::npos);
  // Sizes and checksums are stored, and a second build changes nothing.
  StoreNode& first = *top.children[2];
  EXPECT_EQ(first.builtSize,
            static_cast<std::int32_t>(std::string("<p>Second</p><!--#echo x-->").size()));
  project.changed = false;
  session->supportFiles.clear();
  RunBuild(*session);
  EXPECT_FALSE(project.changed);
  ASSERT_EQ(session->supportFiles.size(), 5u);
  EXPECT_EQ(session->supportFiles[3].name, "tolmi.idx");
  EXPECT_EQ(session->supportFiles[3].checksum, PageChecksum(home.Read("web/tolmi.idx")));
}

TEST_F(BuildWalkTest, DirectoryThatCannotBeMadeOrNoSchemeStops) {
  home.Write("plain", "x");
  session->buildDir = (home / "plain/web").string();
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Stopped);
  EXPECT_EQ(session->log.lines[2],
            "critical error: unable to create directory '" + (home / "plain/web").string() + "'");
  EXPECT_EQ(Last(), "Build Stopped");
  session->buildDir = (home / "my,shop").string();
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Refused);
  EXPECT_EQ(prompter.shown.back().text, kInvalidDirectoryMessage);
  // Without a style scheme nothing is built.
  session->buildDir = (home / "web").string();
  schemes.categories.clear();
  schemes.current.reset();
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Stopped);
  EXPECT_EQ(session->log.lines[2], "critical error: no scheme defined for current store");
  EXPECT_EQ(Last(), "Build Stopped");
}

TEST_F(BuildWalkTest, BadTemplatesFinish) {
  home.Write("Projects/Shop/Template/shelf.htm", "<SHELF>no end $TITLE");
  home.Write("Projects/Shop/Template/page.htm",
             "<PRODUCT1>open %FILE=unclosed <PRODUCT2>" + std::string(45000, 'x') +
                 "</PRODUCT2> %FILE=self.htm% $BODY($BODY9 <USER></SEARCH><SEARCH>");
  home.Write("self.htm", "%FILE=self.htm%%FILE=self.htm%");
  StoreNode& shelf = Add(nullptr, NodeKind::Shelf, "Shelf", "shelf.htm");
  Add(&shelf, NodeKind::Product, "Item", "");
  StoreNode& page = Add(nullptr, NodeKind::Page, "Page", "page.htm");
  Add(&page, NodeKind::Page, "Child", "child.htm");
  Add(nullptr, NodeKind::Product, "No template", "nt.htm").temp = "missing.htm";
  Add(nullptr, NodeKind::Page, "No file", "");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/shelf.htm"), "no end Shelf");
  EXPECT_FALSE(std::filesystem::exists(home / "web/nt.htm"));
  EXPECT_EQ(Last(), "Store Build Complete. (2 errors, 0 warnings)");
  EXPECT_NE(std::find(session->log.lines.begin(), session->log.lines.end(),
                      "error: shelf.htm: Invalid or Missing <SHELF>..</SHELF> block."),
            session->log.lines.end());
  EXPECT_NE(std::find(session->log.lines.begin(), session->log.lines.end(),
                      "error: 'No file': missing filename"),
            session->log.lines.end());
}

// The walk keeps its levels on the heap: a tree as deep as the reader takes builds.
TEST_F(BuildWalkTest, VeryDeepTreeBuildsWithoutRecursion) {
  StoreNode* parent = nullptr;
  for (int depth = 0; depth < 50000; ++depth)
    parent = &Add(parent, NodeKind::Category, "Level", depth == 49999 ? "deep.htm" : "");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/deep.htm"), "<h1>Level</h1><table></table>\n");
  EXPECT_EQ(session->log.errors, 49999);
}

}  // namespace
}  // namespace tolmi::test
