// tolmi-cli build and preview: the build log, the pages written, the page values saved with
// the project, builds of chosen pages and builds refused or stopped.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/CliSteps.h"

namespace tolmi::cli {
namespace {

TEST(BuildCommands, BuildsSavesPageValuesAndReportsFailures) {
  test::TestHome home;
  // A new project has the pages index.html, about.html, news.html and contact.html.
  ASSERT_EQ(Cli(home, {"new", "Toys", "--title", "Toy Shop"}).code, 0);
  ASSERT_EQ(Cli(home, {"new", "Plain", "--title", "Plain"}).code, 0);
  home.Write("server.ini", "server=http://127.0.0.1:8080/\n");
  home.Write("plain", "x");
  const std::string web = (home / "web").string(), below = (home / "plain/web").string();
  const std::string ready = "Tolmi PRO v2.9 - Ready\n\n";
  const std::string done = ready +
                           "warning: accepted credit cards list not defined\n\n"
                           "Store Build Complete. (0 errors, 1 warnings)\n";
  const std::vector<Step> steps = {
      {{"build", "Toys", "--dir", web}, 0, done, ""},
      {{"build", "Plain", "--no-save"}, 0, done, "", true},  // into the project's Web folder
      {{"build", "Toys", "--dir", (home / "sel").string(), "--selected", "news.html"}, 0, done, ""},
      {{"build", "Toys", "--dir", web, "--selected", "nosuch.htm"}, 1, "",
       "tolmi-cli: no node has the file 'nosuch.htm'\n"},
      {{"build", "Toys", "--dir", (home / "a,b").string()}, 1, "",
       "Invalid Directory Name.  Must not include forward slash characters or commas."},
      {{"build", "Toys", "--dir", below}, 1,
       ready + "critical error: unable to create directory '" + below + "'\nBuild Stopped\n", ""},
      {{"build", "NoSuchShop"}, 1, "", "tolmi-cli: cannot open the project"},
      {{"preview", "Toys", "about.html"}, 0, (home / "Temp/Toys").string() + "/ftmp.htm\n", ""},
      {{"preview", "Toys", "nosuch.htm"}, 1, "", "tolmi-cli: no node has the file 'nosuch.htm'\n"},
  };
  RunSteps(home, steps, "Projects/Plain/Plain.stp");
  EXPECT_EQ(Cli(home, {"build", "Toys", "--dir", web}).out, done);
  for (const char* file : {"index.html", "about.html", "news.html", "contact.html", "tolmi.idx",
                           "tolmi.tpl", "trolley.html", "register.html", "tolmi.js"})
    EXPECT_TRUE(std::filesystem::exists(home / "web" / file)) << file;
  for (const auto& entry : std::filesystem::directory_iterator(home / "web"))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
  EXPECT_TRUE(std::filesystem::exists(home / "Projects/Plain/Web/about.html"));
  EXPECT_TRUE(std::filesystem::exists(home / "sel/ftmp.htm"));
  EXPECT_FALSE(std::filesystem::exists(home / "sel/about.html"));
  EXPECT_FALSE(std::filesystem::exists(home / "a,b"));
  EXPECT_TRUE(std::filesystem::exists(home / "Temp/Toys/trolley.html"));
  EXPECT_FALSE(std::filesystem::exists(home / "Temp/Toys/news.html"));
  // The build saved its folder with the page values: the next build and publish use them.
  const std::string stp = home.Read("Projects/Toys/Toys.stp");
  EXPECT_NE(stp.find("\nREBUILD=" + web + "\n"), std::string::npos) << stp;
  EXPECT_EQ(stp.find("\ns=0\n"), std::string::npos);  // every page's size is recorded
}

}  // namespace
}  // namespace tolmi::cli
