// tolmi-cli project commands run one after another in one home: new, info, the
// existing-project question, resave, backups, restore, merge, siteurl, config, style, build,
// preview and the program's own options; each row's exit code and what it prints, and
// refusals that must leave the project file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "cli/CliPrompter.h"
#include "tests/cli/CliSteps.h"
#include "util/Files.h"
#include "util/Scramble.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

TEST(ProjectCommands, EachCommandsExitCodeOutputAndRefusals) {
  TestHome home;
  FillHome(home);
  const std::string path = (home / "Projects/Toys/Toys.stp").string();
  const std::string missing = (home / "Projects/Missing/Missing.stp").string();
  const std::vector<Step> steps0 = {
      {{"--version"}, 0, "Tolmi PRO 2.09.003\n", ""},
      {{"no-such-command"}, -1, "", ""},
      {{"new", "Toys", "--title", "Toy Shop"}, 0, path + "\n", ""},
  };
  RunSteps(home, steps0);
  // The serial counter moved on by the four starter pages and was stored.
  EXPECT_NE(home.Read("config.ini").find("\nuid=4\n"), std::string::npos);
  const std::vector<Step> steps1 = {
      {{"info", "Toys"}, 0, "Store title: Toy Shop\n", ""},
      {{"info", "Toys"}, 0,
       "Nodes: 4\nCategories: 1\nProducts: 0\nShelves: 0\nLists: 0\nPages: 3\nLinks: 0\n", ""},
      {{"new", "Toys", "--title", "Two"}, 1, "",
       "A project with the same name already exists.  Would you like to load this project "
       "instead?", true},
      {{"new", "Toys", "--title", "Two", "--yes"}, 0, "", " [yes]\n", true},  // keeps, loads it
      {{"resave", path}, 0, "", ""},
      {{"resave", "Toys"}, 0, "", ""},
      {{"backups", "Toys"}, 0, "Toys.stp.1\t", ""},
      {{"restore", "Toys", "2"}, -1, "",
       "\ntolmi-cli: this question needs an answer: run again with --yes or --no\n", true},
      {{"restore", "Toys", "7", "--yes"}, -1, "", "no backup 7", true},
      {{"new", "a,b"}, -1, "",
       "Invalid Project Name.  The name must not include forward/back slash characters or "
       "commas.\n"},
      {{"info", "Missing"}, -1, "",
       "S103: Unable to read project file '" + missing +
           "'\nERROR S105: Unable to open project file\n"},
      {{"backups", "Missing"}, 1, "", "no project '"},
      {{"new", "Other", "--title", "Other"}, 0, "", ""},
      {{"merge", "Toys", "Other", "--under", "nowhere.htm"}, -1, "",
       "no node has the file 'nowhere.htm'", true},
      {{"merge", "Toys", "Other"}, -1, "", "", true},
      {{"siteurl", "Toys"}, 0, "(none)\n", ""},
      {{"siteurl", "Toys", " https://toys.example/shop "}, 0, "https://toys.example/shop\n", ""},
      {{"siteurl", "Toys", "toys.example"}, 1, "",
       "tolmi-cli: 'toys.example' is no web address: give it as https://HOST/ or http://HOST/ "
       "(no spaces, quotes, \"?\" or \"#\")\n", true},
      {{"siteurl", "Toys", "http://x/", "--clear"},
       1, "",
       "tolmi-cli: give an ADDRESS or --clear, not both\n", true},
      {{"style", "Toys", "Modern/Meadow"}, 1, "",
       "In order to use this style, Tolmi PRO needs to assign new templates", true},
      {{"style", "Toys", "Modern/Meadow"}, 1, "",
       "tolmi-cli: choosing a style needs an answer (--yes or --no)\n", true},
      {{"--no", "style", "Toys", "Modern/Meadow"}, 1, "",
       "tolmi-cli: the style was not changed\n", true},
      {{"config", "server=http://127.0.0.1:8080/", "O_UN=shop", "o_password=secret word"},
       0, "", ""},
      // One bad assignment among good ones: nothing of the command is written.
      {{"config", "server=http://changed/", "nosuchkey=1"}, 1, "", "tolmi-cli: "},
      {{"config", "server=http://changed/", "server"}, 1, "", "tolmi-cli: "},
      {{"config"}, 0, "\nserver=http://127.0.0.1:8080/\n", ""},
      {{"config"}, 0, "\no_un=shop\n", ""},
      // The password is typed in clear and kept scrambled.
      {{"config"}, 0, "\no_password=" + ScrambleText("secret word") + "\n", ""},
  };
  RunSteps(home, steps1);
  std::string stp = home.Read("Projects/Toys/Toys.stp");
  EXPECT_NE(stp.find("STITLE=Toy Shop\n"), std::string::npos);
  EXPECT_NE(stp.find("\nSITEURL=https://toys.example/shop\n"), std::string::npos);
  EXPECT_EQ(home.Read("config.ini").find("secret word"), std::string::npos);

  const std::vector<Step> steps2 = {
      {{"siteurl", "Toys", "--clear"}, 0, "(none)\n", ""},
      {{"restore", "Toys", "2", "--yes"}, 0, "", ""},
      {{"merge", "Toys", "Other", "--under", "INDEX.HTML"}, 0, "", ""},
      {{"info", "Toys"}, 0, "Nodes: 8\n", ""},
      {{"--yes", "style", "Toys", "Modern/Meadow"}, 0,
       "Style: Modern/Meadow\nTemplates copied: 8\n", "proceed? [yes]\n"},
  };
  RunSteps(home, steps2);
  stp = home.Read("Projects/Toys/Toys.stp");
  EXPECT_NE(stp.find("\nLAYOUT=Modern/Meadow\n"), std::string::npos) << stp;
  EXPECT_NE(stp.find("\nTEMP=category.htm\n"), std::string::npos);
  EXPECT_EQ(home.Read("Projects/Toys/Template/search.htm"),
            home.Read("template/meadow/search.htm"));
  // No replaces the project; the replaced one is kept as the newest backup.
  RunSteps(home, {{{"new", "Toys", "--title", "Two", "--no"}, 0, "", " [no]\n"}});
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=Two\n"), std::string::npos);
  EXPECT_EQ(home.Read("Projects/Toys/Backup/Toys.stp.1"), stp);
}

TEST(ProjectCommands, StylesListsGroupsAndRefusesUnknownOrMissingStyles) {
  TestHome home;
  home.Write("scheme.dat",
             "STYLE=Bright\nSCHEMA=One\nDEF=one\nTYP=0\nSCHEMA=Two\nDEF=two\nTYP=0\nSTYLE=Plain\n");
  home.Write("template/one/One.ini", "-Colours\n");
  home.Write("scheme.ini",
             "product=Tolmi PRO\nversion=2\nSTYLE=Bright\n\nSCHEMA=Mine\n"
             "PREVIEW=\nDEF=one\nTYP=1\nSTYLE=\nSCHEMA=Loose\nTYP=1\n");
  EXPECT_EQ(Cli(home, {"styles"}).out,
            "Bright\n  One (installed)\n  Two (not available)\n  Mine (merchant)\n"
            "Plain\n(no group)\n  Loose (merchant)\n");
  ASSERT_EQ(Cli(home, {"new", "Toys"}).code, 0);
  const std::vector<Step> steps3 = {
      {{"--yes", "style", "Toys", "Bright/Nothing"}, 1, "",
       "tolmi-cli: no style 'Bright/Nothing' (see tolmi-cli styles)\n", true},
      {{"--yes", "style", "Toys", "Bright/Two"}, 1, "",
       "tolmi-cli: the style 'Bright/Two' is not available: its files are missing\n", true},
      {{"--yes", "style", "Nobody", "Bright/One"}, 1, "", "tolmi-cli: cannot open the project"},
  };
  RunSteps(home, steps3);
}

// A file cut short is saved over only with --force, and the cut file, now a backup, is listed
// as damaged and never restored (the rules are the lifecycle's; here the options and texts).
TEST(ProjectCommands, DamagedProjectsAreNotSavedOverOrRestored) {
  TestHome home;
  const std::string stp = "Projects/Tea/Tea.stp";
  const std::string cut =
      "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\nNODE0=Home\nSTATUS=0\nFILE=index.html\n";
  home.Write(stp, cut);
  const std::vector<Step> steps = {
      {{"resave", "Tea", "--yes"}, 1, "", "give --force to save it anyway", true},
      {{"resave", "Tea", "--force"}, 0, "", ""},
      {{"backups", "Tea"}, 0, "Tea.stp.1\t" + std::to_string(cut.size()) + "\t", ""},
      {{"backups", "Tea"}, 0, "\tdamaged: it was cut short\n", ""},
      {{"restore", "Tea", "1", "--yes"}, 1, "",
       "The backup 'Tea.stp.1' cannot be restored (damaged: it was cut short).", true},
  };
  RunSteps(home, steps, stp);
}

// No command asks an OK/Cancel question yet: --yes answers it Ok and --no Cancel, and say so.
TEST(ProjectCommands, OkCancelQuestionsAreAnsweredByYesAndNo) {
  for (bool yes : {true, false}) {
    std::ostringstream err;
    CliPrompter prompter(err, yes, !yes);
    EXPECT_EQ(prompter.Ask("Go?", "Confirmation", PromptButtons::OkCancel),
              yes ? PromptAnswer::Ok : PromptAnswer::Cancel);
    EXPECT_EQ(err.str(), yes ? "Go? [ok]\n" : "Go? [cancel]\n");
  }
}

// The build log, the pages written, the page values saved with the project, builds of
// chosen pages and builds refused or stopped.
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
