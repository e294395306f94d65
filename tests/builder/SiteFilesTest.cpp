#include "builder/SiteFiles.h"

#include <gtest/gtest.h>

namespace tolmi {
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
  EXPECT_EQ(
      SitemapText("https://s.example/", {"index.html", "shop/Blue Mug&Co.html", "/caf\xE9.htm"}),
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

}  // namespace
}  // namespace tolmi
