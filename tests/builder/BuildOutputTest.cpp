#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "builder/BuildDriver.h"
#include "builder/OrderForm.h"
#include "builder/SiteFiles.h"
#include "tests/builder/BuilderFixture.h"

namespace tolmi::test {
namespace {

namespace fs = std::filesystem;

class BuildOutputTest : public BuilderTest {
 protected:
  void SetUp() override {
    home.Write("Projects/Shop/Template/page.htm", "<p>$TITLE</p>");
    home.Write("Projects/Shop/Template/category.htm", "<p>$TITLE</p>");
    home.Write("Projects/Shop/Template/shelf.htm", "<SHELF>[$TITLE]</SHELF>");
  }

  bool Logged(const std::string& line) {
    const std::vector<std::string>& lines = session->log.lines;
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::vector<std::string> Entries(const std::string& relative) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(home / relative))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(BuildOutputTest, PagesReplaceFilesWhoseNamesDifferOnlyInCase) {
  home.Write("web/About.HTM", "old");
  home.Write("web/NEWS.htm", "old");
  Add(nullptr, NodeKind::Page, "About", "about.htm");
  Add(nullptr, NodeKind::Page, "News", "news.htm");
  Add(nullptr, NodeKind::Page, "Fresh", "fresh.htm");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/About.HTM"), "<p>About</p>");
  EXPECT_EQ(home.Read("web/NEWS.htm"), "<p>News</p>");
  EXPECT_EQ(home.Read("web/fresh.htm"), "<p>Fresh</p>");
  std::vector<std::string> names = Entries("web");
  EXPECT_EQ(std::count(names.begin(), names.end(), "about.htm"), 0);
  for (const std::string& name : names) EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
  // A second build gives the same; one after the old file went writes the name as given.
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(Entries("web"), names);
  fs::remove(home / "web/About.HTM");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/about.htm"), "<p>About</p>");
  EXPECT_FALSE(fs::exists(home / "web/About.HTM"));
}

// A rebuild leaves unchanged output alone and copies keep the picture's own stamp, so
// publishing (which compares file stamps) sends only what really changed.
TEST_F(BuildOutputTest, RebuildKeepsStampsOfUnchangedFiles) {
  home.Write("Pics/logo.gif", "gif");
  const fs::file_time_type old = fs::file_time_type::clock::now() - std::chrono::hours(48);
  fs::last_write_time(home / "Pics/logo.gif", old);
  StoreNode& a = Add(nullptr, NodeKind::Page, "A", "a.htm");
  a.image = "Pics/logo.gif";
  StoreNode& b = Add(nullptr, NodeKind::Page, "B", "b.htm");
  ASSERT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/img/logo.gif"), "gif");
  EXPECT_EQ(fs::last_write_time(home / "web/img/logo.gif"), old);
  fs::last_write_time(home / "web/a.htm", old);
  fs::last_write_time(home / "web/b.htm", old);
  b.title = "Bee";
  ASSERT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(fs::last_write_time(home / "web/a.htm"), old);
  EXPECT_NE(fs::last_write_time(home / "web/b.htm"), old);
  EXPECT_EQ(home.Read("web/b.htm"), "<p>Bee</p>");
  EXPECT_EQ(fs::last_write_time(home / "web/img/logo.gif"), old);
  // Support pages likewise: the same cart page is not written again.
  home.Write("template/trolley.dat", "cart");
  ASSERT_TRUE(WriteCartPage(*session));
  fs::last_write_time(home / "web/trolley.html", old);
  ASSERT_TRUE(WriteCartPage(*session));
  EXPECT_EQ(fs::last_write_time(home / "web/trolley.html"), old);
  session->cartTemplate = "new cart $STORETITLE";
  ASSERT_TRUE(WriteCartPage(*session));
  EXPECT_EQ(home.Read("web/trolley.html"), "new cart $STORETITLE");
  EXPECT_NE(fs::last_write_time(home / "web/trolley.html"), old);
}

TEST_F(BuildOutputTest, OversizedBlocksAreCutAndTheBuildFinishes) {
  const std::string big(45000, 'x');
  home.Write("Projects/Shop/Template/page.htm", "<PRODUCT1>$TITLE" + big + "</PRODUCT1>|");
  home.Write("Projects/Shop/Template/shelf.htm", "<SHELF>$TITLE" + big + "</SHELF>|");
  StoreNode& page = Add(nullptr, NodeKind::Page, "Page", "page.htm");
  Add(&page, NodeKind::Product, "Item", "item.htm").temp = "product.htm";
  StoreNode& shelf = Add(nullptr, NodeKind::Shelf, "Shelf", "shelf.htm");
  Add(&shelf, NodeKind::Product, "On shelf", "");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  // A block keeps its first 39,999 characters, filled.
  EXPECT_EQ(home.Read("web/page.htm"), "Item" + std::string(39999 - 6, 'x') + "|");
  EXPECT_EQ(home.Read("web/shelf.htm"), "On shelf" + std::string(39999 - 6, 'x') + "|");
  EXPECT_EQ(session->log.lines.back(), "Store Build Complete. (0 errors, 0 warnings)");
}

TEST_F(BuildOutputTest, UnreadableAndUncopyablePictures) {
  home.Write("Pics/folder.gif/inside", "a folder, not a picture");
  home.Write("Pics/Logo.GIF", "gif");
  home.Write("web/img/logo.gif/blocked", "a folder where the copy should go");
  StoreNode& a = Add(nullptr, NodeKind::Page, "A", "a.htm");
  a.image = "Pics/folder.gif";
  StoreNode& b = Add(nullptr, NodeKind::Page, "B", "b.htm");
  b.image = "Pics/Logo.GIF";
  StoreNode& c = Add(nullptr, NodeKind::Page, "C", "c.htm");
  c.link = "Pics/folder.gif";
  // A linked file is copied beside the pictures; a missing picture is a warning; a picture on
  // the web is not copied.
  home.Write("files/manual.pdf", "pdf");
  StoreNode& d = Add(nullptr, NodeKind::Page, "D", "d.htm");
  d.link = "files/manual.pdf";
  d.image = "pics/missing.gif";
  Add(nullptr, NodeKind::Page, "W", "w.htm").image = "http://example.com/a.gif";
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/img/manual.pdf"), "pdf");
  EXPECT_TRUE(Logged("warning: d.htm: unable to read image file: 'pics\\missing.gif'"));
  EXPECT_TRUE(Logged("warning: a.htm: unable to read image file: 'Pics\\folder.gif'"));
  EXPECT_TRUE(Logged("warning: c.htm: unable to read image link file: 'Pics/folder.gif'"));
  EXPECT_TRUE(Logged("error: b.htm: unable to copy image file: 'Pics\\Logo.GIF' to '" +
                     (home / "web/img/logo.gif").string() + "'"));
  EXPECT_EQ(session->log.lines.back(), "Store Build Complete. (1 errors, 3 warnings)");
  // Every page is still written.
  EXPECT_EQ(home.Read("web/b.htm"), "<p>B</p>");
  EXPECT_EQ(home.Read("web/c.htm"), "<p>C</p>");
}

TEST_F(BuildOutputTest, PreviewMakesTheNodesPageInThePreviewFolder) {
  StoreNode& shelf = Add(nullptr, NodeKind::Shelf, "Shelf", "shelf.htm");
  StoreNode& item = Add(&shelf, NodeKind::Product, "Item", "");
  Add(&shelf, NodeKind::Product, "Second", "");
  Add(nullptr, NodeKind::Page, "Other", "other.htm");
  session->buildDir.clear();
  // A product on a shelf previews the shelf's page.
  std::string opened = PreviewNode(*session, item);
  const std::string folder = (home / "Temp/Shop").string();
  EXPECT_EQ(opened, folder + "/ftmp.htm");
  EXPECT_EQ(session->buildDir, folder);
  EXPECT_EQ(home.Read("Temp/Shop/shelf.htm"), "[Item][Second]");
  EXPECT_TRUE(fs::exists(home / "Temp/Shop/ftmp.htm"));
  EXPECT_TRUE(fs::is_directory(home / "Temp/Shop/img"));
  EXPECT_FALSE(fs::exists(home / "Temp/Shop/other.htm"));
  // The preview leaves the log as it was: an open Build Store log stays live.
  EXPECT_TRUE(session->log.shown);
  EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(BuildOutputTest, PreviewOfLinksAndNodesWithoutAFile) {
  StoreNode& local = Add(nullptr, NodeKind::Link, "Local", "terms.htm");
  StoreNode& web = Add(nullptr, NodeKind::Link, "Web", "http://example.com/a.htm");
  StoreNode& nameless = Add(nullptr, NodeKind::Page, "Nameless", "");
  EXPECT_EQ(PreviewNode(*session, local), (home / "web/terms.htm").string());
  EXPECT_EQ(PreviewNode(*session, web), "http://example.com/a.htm");
  EXPECT_FALSE(fs::exists(home / "web/terms.htm"));
  EXPECT_EQ(PreviewNode(*session, nameless), "");
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "A filename has not been specified for the current item.");
  EXPECT_EQ(prompter.shown[0].title, "Build Error");
  // Without a style scheme nothing is made.
  schemes.categories.clear();
  schemes.current.reset();
  StoreNode& page = Add(nullptr, NodeKind::Page, "Page", "page.htm");
  EXPECT_EQ(PreviewNode(*session, page), "");
  EXPECT_FALSE(fs::exists(home / "web/page.htm"));
}

// Pages of the walk only: no link, no shelf item, nothing below a disabled node.
TEST_F(BuildOutputTest, BuildWritesSitemapOfItsPagesWhenTheStoreHasAnAddress) {
  StoreNode& home_ = Add(nullptr, NodeKind::Category, "Home", "index.html");
  Add(&home_, NodeKind::Page, "About", "info\\about.htm");
  StoreNode& shelf = Add(&home_, NodeKind::Shelf, "Cups", "cups.htm");
  Add(&shelf, NodeKind::Product, "Cup", "cup.htm");
  StoreNode& off = Add(&home_, NodeKind::Category, "Old", "old.htm");
  off.status = -1;
  Add(&off, NodeKind::Page, "Older", "older.htm");
  Add(nullptr, NodeKind::Link, "Friends", "https://friends.example/");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_FALSE(fs::exists(home / "web/sitemap.xml")) << "no address, no sitemap";

  project.settings.storeAddress = "https://tea.example/shop";
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(home.Read("web/sitemap.xml"),
            SitemapText("https://tea.example/shop/", {"index.html", "info/about.htm", "cups.htm"}));
  EXPECT_EQ(home.Read("web/robots.txt"), RobotsText("https://tea.example/shop/"));

  project.settings.storeAddress = "tea.example";
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_EQ(session->log.warnings, 1);
}

}  // namespace
}  // namespace tolmi::test
