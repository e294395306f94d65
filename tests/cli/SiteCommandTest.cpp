// tolmi-cli siteurl: the store address shown, set, refused when it is no web address, and
// cleared, as the project file keeps it.
#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

TEST(SiteUrlCommand, ShowsSetsRefusesAndClearsTheStoreAddress) {
  test::TestHome home;
  ASSERT_EQ(Cli(home, {"new", "Wine", "--title", "Wine Shop"}).code, 0);
  const std::string file = "Projects/Wine/Wine.stp";
  struct Step {
    std::vector<std::string> args;
    int code;
    std::string out, err;
  } steps[] = {
      {{"siteurl", "Wine"}, 0, "(none)\n", ""},
      {{"siteurl", "Wine", " https://wine.example/shop "}, 0, "https://wine.example/shop\n", ""},
      {{"siteurl", "Wine"}, 0, "https://wine.example/shop\n", ""},
      {{"siteurl", "Wine", "wine.example"}, 1, "",
       "tolmi-cli: 'wine.example' is no web address: give it as https://HOST/ or http://HOST/ "
       "(no spaces, quotes, \"?\" or \"#\")\n"},
      {{"siteurl", "Wine", "http://x/", "--clear"}, 1, "",
       "tolmi-cli: give an ADDRESS or --clear, not both\n"},
  };
  for (const Step& s : steps) {
    CliRun r = Cli(home, s.args);
    EXPECT_EQ(r.code, s.code) << s.args.back();
    EXPECT_EQ(r.out, s.out) << s.args.back();
    EXPECT_EQ(r.err, s.err) << s.args.back();
  }
  EXPECT_NE(home.Read(file).find("\nSITEURL=https://wine.example/shop\n"), std::string::npos);
  EXPECT_EQ(Cli(home, {"siteurl", "Wine", "--clear"}).out, "(none)\n");
  EXPECT_EQ(home.Read(file).find("SITEURL="), std::string::npos);
}

}  // namespace
}  // namespace tolmi::cli
