#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/Cli.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

// A home with the reference lists, so that start-up has nothing to report.
void FillHome(const TestHome& home) {
  home.Write("domain.dat", "AU Australia,AUD\n");
  home.Write("cc.dat", "Visa\n");
  home.Write("settings.dat", "URL_HOME=http://home.test/\n");
  home.Write("template/order.dat", "<order>");
  home.Write("template/confirm.dat", "<confirm>");
}

TEST(ProjectCommands, NewInfoResaveBackupsRestore) {
  TestHome home;
  FillHome(home);
  const std::string path = (home / "Projects/Toys/Toys.stp").string();

  CliRun r = Cli(home, {"new", "Toys", "--title", "Toy Shop"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, path + "\n");
  EXPECT_TRUE(FileExists(path));
  // The serial counter moved on by the four starter pages and was stored.
  EXPECT_NE(home.Read("config.ini").find("\nuid=4\n"), std::string::npos);

  r = Cli(home, {"info", "Toys"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Store title: Toy Shop\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Nodes: 4\nCategories: 1\nProducts: 0\nShelves: 0\nLists: 0\n"
                       "Pages: 3\nLinks: 0\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Currency: $\n"), std::string::npos);
  // "$COPYRIGHT" of a fresh start, "$STORETITLE" and "$CURRENCY" of the load.
  EXPECT_NE(r.out.find("Variables: 3\n"), std::string::npos) << r.out;

  r = Cli(home, {"resave", path});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Cli(home, {"resave", "Toys"});
  ASSERT_EQ(r.code, 0) << r.err;

  r = Cli(home, {"backups", "Toys"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream lines(r.out);
  std::string first, second, third;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(first.rfind("Toys.stp.1\t", 0), 0u) << r.out;
  EXPECT_EQ(second.rfind("Toys.stp.2\t", 0), 0u) << r.out;
  EXPECT_FALSE(std::getline(lines, third));

  // Restoring asks a question: without an answer the command fails and changes nothing.
  const std::string before = home.Read("Projects/Toys/Toys.stp");
  r = Cli(home, {"restore", "Toys", "2"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("You are about to revert"), std::string::npos);
  EXPECT_NE(r.err.find("--yes"), std::string::npos);
  EXPECT_EQ(home.Read("Projects/Toys/Toys.stp"), before);

  r = Cli(home, {"restore", "Toys", "2", "--yes"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(home.Read("Projects/Toys/Toys.stp"), home.Read("Projects/Toys/Backup/Toys.stp.2"));

  r = Cli(home, {"restore", "Toys", "7", "--yes"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("no backup 7"), std::string::npos);
}

TEST(ProjectCommands, FailuresExitNonZeroWithTheSystemsMessages) {
  TestHome home;
  FillHome(home);
  CliRun r = Cli(home, {"new", "a,b"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("Invalid Project Name.  The name must not include forward/back slash "
                       "characters or commas.\n"),
            std::string::npos)
      << r.err;

  r = Cli(home, {"info", "Missing"});
  EXPECT_NE(r.code, 0);
  const std::string missing = (home / "Projects/Missing/Missing.stp").string();
  EXPECT_NE(r.err.find("S103: Unable to read project file '" + missing +
                       "'\nERROR S105: Unable to open project file\n"),
            std::string::npos)
      << r.err;

  r = Cli(home, {"backups", "Missing"});
  EXPECT_NE(r.code, 0);

  // A fresh home seeded from an empty data folder still works, with its messages on stderr.
  TestHome bare, noData;
  setenv("TOLMI_DATA_DIR", noData.path().c_str(), 1);
  r = Cli(bare, {"new", "Shop", "--title", "Shop"});
  unsetenv("TOLMI_DATA_DIR");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("ERROR W106: Unable to Load Domains List 'domain.dat'\n"),
            std::string::npos);
}

TEST(ProjectCommands, NewOverAnExistingProjectAsks) {
  TestHome home;
  FillHome(home);
  ASSERT_EQ(Cli(home, {"new", "Toys", "--title", "One"}).code, 0);
  CliRun r = Cli(home, {"new", "Toys", "--title", "Two"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("A project with the same name already exists.  Would you like to load "
                       "this project instead?"),
            std::string::npos);
  r = Cli(home, {"new", "Toys", "--title", "Two", "--yes"});  // Yes loads the existing one
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=One\n"), std::string::npos);
  r = Cli(home, {"new", "Toys", "--title", "Two", "--no"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=Two\n"), std::string::npos);
}

TEST(ProjectCommands, MergeUnderAFile) {
  TestHome home;
  FillHome(home);
  ASSERT_EQ(Cli(home, {"new", "Toys", "--title", "Toys"}).code, 0);
  ASSERT_EQ(Cli(home, {"new", "Other", "--title", "Other"}).code, 0);

  CliRun r = Cli(home, {"merge", "Toys", "Other", "--under", "nowhere.htm"});
  EXPECT_NE(r.code, 0);
  EXPECT_NE(r.err.find("no node has the file 'nowhere.htm'"), std::string::npos);
  r = Cli(home, {"merge", "Toys", "Other"});
  EXPECT_NE(r.code, 0);

  r = Cli(home, {"merge", "Toys", "Other", "--under", "INDEX.HTML"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Cli(home, {"info", "Toys"});
  EXPECT_NE(r.out.find("Nodes: 8\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Store title: Toys\n"), std::string::npos);
  // The merge was saved through the lifecycle: the previous file is the newest backup.
  r = Cli(home, {"backups", "Toys"});
  EXPECT_EQ(r.out.rfind("Toys.stp.1\t", 0), 0u) << r.out;
}

}  // namespace
}  // namespace tolmi::cli
