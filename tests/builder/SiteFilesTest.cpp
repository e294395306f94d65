#include <gtest/gtest.h>

#include <filesystem>

#include "builder/BuildDriver.h"
#include "builder/SiteFiles.h"
#include "tests/builder/BuilderFixture.h"

namespace tolmi::test {
namespace {

TEST(SiteFiles, StoreAddressMustBeAWebAddress) {
  const std::pair<const char*, const char*> cases[] = {
      {"https://shop.example.com", "https://shop.example.com/"},
      {"  http://example.com/tea/ ", "http://example.com/tea/"},
      {"HTTPS://Example.com/a", "HTTPS://Example.com/a/"},
      {"shop.example.com", ""},
      {"https://", ""},
      {"ftp://example.com/", ""},
      {"https://example.com/a b", ""},
      {"https://example.com/?x=1", ""},
      {"", ""}};
  for (const auto& [given, base] : cases) EXPECT_EQ(StoreBaseAddress(given), base) << given;
}

TEST(SiteFiles, SitemapEncodesAndEscapesEachAddress) {
  EXPECT_EQ(SitemapText("https://s.example/", {"index.html", "shop/Blue Mug&Co.html", "/caf\xE9.htm"}),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n"
            "<url><loc>https://s.example/index.html</loc></url>\n"
            "<url><loc>https://s.example/shop/Blue%20Mug%26Co.html</loc></url>\n"
            "<url><loc>https://s.example/caf%E9.htm</loc></url>\n"
            "</urlset>\n");
  EXPECT_EQ(RobotsText("https://s.example/"),
            "User-agent: *\nDisallow: /trolley.html\nDisallow: /register.html\n\n"
            "Sitemap: https://s.example/sitemap.xml\n");
}

class SiteFilesBuild : public BuilderTest {
 protected:
  void SetUp() override {
    home.Write("Projects/Shop/Template/page.htm", "<p>$TITLE</p>");
    home.Write("Projects/Shop/Template/category.htm", "<p>$TITLE</p>");
    home.Write("Projects/Shop/Template/shelf.htm", "<SHELF>[$TITLE]</SHELF>");
  }
};

// Pages of the walk only: no link, no shelf item, nothing below a disabled node.
TEST_F(SiteFilesBuild, BuildWritesSitemapOfItsPagesWhenTheStoreHasAnAddress) {
  StoreNode& home_ = Add(nullptr, NodeKind::Category, "Home", "index.html");
  Add(&home_, NodeKind::Page, "About", "info\\about.htm");
  StoreNode& shelf = Add(&home_, NodeKind::Shelf, "Cups", "cups.htm");
  Add(&shelf, NodeKind::Product, "Cup", "cup.htm");
  StoreNode& off = Add(&home_, NodeKind::Category, "Old", "old.htm");
  off.status = -1;
  Add(&off, NodeKind::Page, "Older", "older.htm");
  Add(nullptr, NodeKind::Link, "Friends", "https://friends.example/");
  EXPECT_EQ(RunBuild(*session), BuildOutcome::Completed);
  EXPECT_FALSE(std::filesystem::exists(home / "web/sitemap.xml")) << "no address, no sitemap";

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
