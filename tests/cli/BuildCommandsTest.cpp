#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

class BuildCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    // A new project has the pages index.html, about.html, news.html and contact.html.
    CliRun made = Run({"new", "Toys", "--title", "Toy Shop"});
    ASSERT_EQ(made.code, 0) << made.err;
    home.Write("server.ini", "server=http://127.0.0.1:8080/\n");
  }

  CliRun Run(std::vector<std::string> args) { return Cli(home, std::move(args)); }

  bool Exists(const std::string& relative) { return std::filesystem::exists(home / relative); }

  TestHome home;
};

const char* const kCompleted =
    "Tolmi PRO v2.9 - Ready\n"
    "\n"
    "warning: accepted credit cards list not defined\n"
    "\n"
    "Store Build Complete. (0 errors, 1 warnings)\n";

TEST_F(BuildCommands, BuildPrintsTheLogAndEndsWithTheCompletionLine) {
  CliRun r = Run({"build", "Toys", "--dir", (home / "web").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, kCompleted);
  for (const char* file :
       {"web/index.html", "web/about.html", "web/news.html", "web/contact.html", "web/tolmi.idx",
        "web/tolmi.tpl", "web/trolley.html", "web/register.html", "web/tolmi.js"})
    EXPECT_TRUE(Exists(file)) << file;
  EXPECT_NE(home.Read("web/news.html").find("News"), std::string::npos);
  // No temporary files are left behind.
  for (const auto& entry : std::filesystem::directory_iterator(home / "web"))
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();

  // The build saved its folder with the page values: the next build and publish use it.
  const std::string stp = home.Read("Projects/Toys/Toys.stp");
  EXPECT_NE(stp.find("\nREBUILD=" + (home / "web").string() + "\n"), std::string::npos) << stp;
  EXPECT_EQ(stp.find("\ns=0\n"), std::string::npos);  // every page's size is recorded
  // --no-save leaves the project as it was; without a folder the project's Web is used.
  ASSERT_EQ(Run({"new", "Plain", "--title", "Plain"}).code, 0);
  const std::string plain = home.Read("Projects/Plain/Plain.stp");
  r = Run({"build", "Plain", "--no-save"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Exists("Projects/Plain/Web/about.html"));
  EXPECT_EQ(home.Read("Projects/Plain/Plain.stp"), plain);
}

TEST_F(BuildCommands, SelectedBuildsOnlyTheNamedPages) {
  CliRun r =
      Run({"build", "Toys", "--dir", (home / "sel").string(), "--selected", "news.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, kCompleted);
  EXPECT_TRUE(Exists("sel/news.html"));
  EXPECT_TRUE(Exists("sel/ftmp.htm"));
  EXPECT_FALSE(Exists("sel/about.html"));
  EXPECT_FALSE(Exists("sel/contact.html"));

  r = Run({"build", "Toys", "--dir", (home / "sel").string(), "--selected", "nosuch.htm"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "tolmi-cli: no node has the file 'nosuch.htm'\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(BuildCommands, RefusedAndStoppedBuildsExitWithOne) {
  CliRun r = Run({"build", "Toys", "--dir", (home / "a,b").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Invalid Directory Name.  Must not include forward slash characters or "
                       "commas."),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(Exists("a,b"));

  home.Write("plain", "x");
  const std::string below = (home / "plain/web").string();
  r = Run({"build", "Toys", "--dir", below});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "Tolmi PRO v2.9 - Ready\n\ncritical error: unable to create directory '" +
                       below + "'\nBuild Stopped\n");

  r = Run({"build", "NoSuchShop"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("tolmi-cli: cannot open the project"), std::string::npos) << r.err;
}

TEST_F(BuildCommands, PreviewMakesOnePageAndPrintsWhatToOpen) {
  CliRun r = Run({"preview", "Toys", "about.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string folder = (home / "Temp/Toys").string();
  EXPECT_EQ(r.out, folder + "/ftmp.htm\n");
  EXPECT_TRUE(Exists("Temp/Toys/about.html"));
  EXPECT_TRUE(Exists("Temp/Toys/ftmp.htm"));
  EXPECT_TRUE(Exists("Temp/Toys/trolley.html"));
  EXPECT_FALSE(Exists("Temp/Toys/news.html"));

  r = Run({"preview", "Toys", "nosuch.htm"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "tolmi-cli: no node has the file 'nosuch.htm'\n");
}

}  // namespace
}  // namespace tolmi::cli
