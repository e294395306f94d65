#include "server/StaticFiles.h"

#include <gtest/gtest.h>

#include "server/Gateway.h"
#include "tests/support/TestHome.h"

namespace tolmi::server {
namespace {

namespace fs = std::filesystem;

TEST(StaticFilesTest, ServesFilesAndFolderIndexesInsideTheRoot) {
  test::TestHome home;
  home.Write("store/index.html", "home");
  home.Write("store/shop/mugs.htm", "mugs");
  home.Write("store/img/a b.gif", "gif");
  fs::path root = home / "store";
  auto r = ResolveStaticPath(root, "/");
  ASSERT_EQ(r.verdict, PathVerdict::Ok);
  EXPECT_EQ(r.file.filename(), "index.html");
  EXPECT_EQ(ResolveStaticPath(root, "/shop/mugs.htm").verdict, PathVerdict::Ok);
  EXPECT_EQ(ResolveStaticPath(root, "/img/a%20b.gif").verdict, PathVerdict::Ok);
  EXPECT_EQ(ResolveStaticPath(root, "//shop//mugs.htm").verdict, PathVerdict::Ok);
  EXPECT_EQ(ResolveStaticPath(root, "/shop/").verdict, PathVerdict::NotFound);
  EXPECT_EQ(ResolveStaticPath(root, "/missing.htm").verdict, PathVerdict::NotFound);
  EXPECT_EQ(ContentTypeFor("a.HTM"), "text/html");
  EXPECT_EQ(ContentTypeFor("tolmi.js"), "application/javascript");
}

TEST(StaticFilesTest, RefusesEveryWayOutOfTheRoot) {
  test::TestHome home;
  home.Write("store/index.html", "home");
  home.Write("secret.txt", "secret");
  fs::path root = home / "store";
  for (std::string bad :
       {"/../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt", "/shop/../../secret.txt",
        "/..%5csecret.txt", "/a%00b", "/.", "secret.txt", "/%", "/%2", "/%zz"}) {
    EXPECT_EQ(ResolveStaticPath(root, bad).verdict, PathVerdict::BadRequest) << bad;
  }
  fs::create_symlink(home / "secret.txt", root / "link.txt");
  fs::create_directory_symlink(home.path(), root / "up");
  EXPECT_EQ(ResolveStaticPath(root, "/link.txt").verdict, PathVerdict::Forbidden);
  EXPECT_EQ(ResolveStaticPath(root, "/up/secret.txt").verdict, PathVerdict::Forbidden);
  // A link that stays inside is fine.
  fs::create_symlink(root / "index.html", root / "home.htm");
  EXPECT_EQ(ResolveStaticPath(root, "/home.htm").verdict, PathVerdict::Ok);
}

TEST(GatewayTest, ApprovesValidCardsAndDeclinesTheRest) {
  EXPECT_TRUE(LuhnValid("4111 1111 1111 1111"));
  EXPECT_TRUE(LuhnValid("4111-1111-1111-1111"));
  EXPECT_FALSE(LuhnValid("4111111111111112"));
  EXPECT_FALSE(LuhnValid("41111111111x1111"));
  EXPECT_FALSE(LuhnValid("0000000000"));  // too short
  EXPECT_EQ(GatewayReply("4111111111111111", "12.50"), "1 OK Transaction Status: Approved");
  EXPECT_EQ(GatewayReply("4000000000000002", "12.50"),
            "0 Transaction Status: Declined: card refused by the issuer");
  EXPECT_EQ(GatewayReply("4111111111111112", "12.50"),
            "0 Transaction Status: Declined: invalid card number");
  for (std::string amount : {"0", "", "-1", "abc", "1x"}) {
    EXPECT_EQ(GatewayReply("4111111111111111", amount),
              "0 Transaction Status: Declined: invalid amount")
        << amount;
  }
  // The declined text must not pass as approved by a check for "OK" or "Approved".
  std::string declined = GatewayReply("4000000000000002", "1");
  EXPECT_EQ(declined.find("OK"), std::string::npos);
  EXPECT_EQ(declined.find("pprov"), std::string::npos);
}

}  // namespace
}  // namespace tolmi::server
