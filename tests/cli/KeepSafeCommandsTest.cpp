// tolmi-cli on damaged and older files: nothing is taken as a project that is none, a
// file cut short is saved over only with --force, a damaged backup is never restored,
// read-only commands leave templates alone, and a cut orders file is set aside.
#include <gtest/gtest.h>

#include <map>

#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

const std::string kProject =
    "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\nNODE0=Home\nSTATUS=0\nFILE=index.html\n"
    "STITLE=Tea Shop\nCURR=$\nNAVSTYLE=0\n";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(KeepSafeCommands, OnlyProjectFilesAreReadAndCutOnesAreNotSavedOver) {
  test::TestHome home;
  const std::string stp = "Projects/Tea/Tea.stp";
  const std::string path = (home / stp).string();
  for (const std::string& bytes : {std::string(), std::string("\x7f"
                                                              "ELF\0\x01\x02",
                                                              7)}) {
    home.Write(stp, bytes);
    for (const char* command : {"info", "resave"}) {
      CliRun r = Cli(home, {command, "Tea", "--yes"});
      EXPECT_EQ(r.code, 1) << command;
      EXPECT_TRUE(Has(r.err, "S103: Unable to read project file '" + path + "'\n")) << r.err;
      EXPECT_TRUE(Has(r.err, "ERROR S105: Unable to open project file\n")) << r.err;
      EXPECT_EQ(home.Read(stp), bytes);
    }
  }
  const std::string cut = kProject.substr(0, kProject.find("STITLE"));
  home.Write(stp, cut);
  CliRun r = Cli(home, {"resave", "Tea", "--yes"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "ends early")) << r.err;
  EXPECT_TRUE(Has(r.err, "give --force to save it anyway")) << r.err;
  EXPECT_EQ(home.Read(stp), cut);
  r = Cli(home, {"resave", "Tea", "--force"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(home.Read(stp), "NAVSTYLE="));

  // The cut file is now backup 1: listed as damaged, never restored.
  r = Cli(home, {"backups", "Tea"});
  EXPECT_TRUE(Has(r.out, "Tea.stp.1\t" + std::to_string(cut.size()) + "\t")) << r.out;
  EXPECT_TRUE(Has(r.out, "\tdamaged: it was cut short\n")) << r.out;
  const std::string saved = home.Read(stp);
  r = Cli(home, {"restore", "Tea", "1", "--yes"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "The backup 'Tea.stp.1' cannot be restored (damaged: it was cut short)."))
      << r.err;
  EXPECT_EQ(home.Read(stp), saved);
}

TEST(KeepSafeCommands, ReadingAnOlderProjectTwiceKeepsItsTemplates) {
  test::TestHome home;
  home.Write("template/shelf.htm", "new shelf");
  home.Write("template/order.dat", "new order");
  home.Write("template/confirm.dat", "new confirm");
  std::string old = kProject;
  old.replace(old.find("VERSION=2034361"), 15, "VERSION=101000");
  home.Write("Projects/Tea/Tea.stp", old);
  const std::map<std::string, std::string> mine = {{"shelf.htm", "my shelf"},
                                                   {"order.htm", "my order"},
                                                   {"confirm.htm", "my confirm"},
                                                   {"order.bak", "my older order"}};
  for (const auto& [name, text] : mine) home.Write("Projects/Tea/Template/" + name, text);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(Cli(home, {"info", "Tea"}).code, 0);
  for (const auto& [name, text] : mine)
    EXPECT_EQ(home.Read("Projects/Tea/Template/" + name), text) << name;

  // Saved as new, the project gets the new templates and every older one is kept.
  ASSERT_EQ(Cli(home, {"resave", "Tea", "--yes"}).code, 0);
  EXPECT_EQ(home.Read("Projects/Tea/Template/order.htm"), "new order");
  EXPECT_EQ(home.Read("Projects/Tea/Template/order.bak"), "my older order");
  EXPECT_EQ(home.Read("Projects/Tea/Template/order(1).bak"), "my order");
  EXPECT_EQ(home.Read("Projects/Tea/Template/shelf.bak"), "my shelf");
  EXPECT_EQ(home.Read("Projects/Tea/Template/confirm.bak"), "my confirm");
}

TEST(KeepSafeCommands, CutOrdersFileWithoutBackupIsRefusedAndSetAside) {
  test::TestHome home;
  const std::string cut = "#BEGIN\nTIME=1\nNODE3=New Orders\nOS=0\n#BRANCH\nNODE1=1000\nOS=0\n";
  home.Write("orders.ost", cut);
  CliRun r = Cli(home, {"orders", "list"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "'orders.ost' is incomplete and there is no 'orders.bak'")) << r.err;
  EXPECT_EQ(home.Read("orders.ost.damaged"), cut);
  ASSERT_EQ(Cli(home, {"orders", "new"}).code, 0);
  EXPECT_EQ(home.Read("orders.ost.damaged"), cut);
}

}  // namespace
}  // namespace tolmi::cli
