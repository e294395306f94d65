// Files holding passwords or customer data are created readable by their owner only, and
// older files are tightened when they are next saved; other files keep the usual mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/Config.h"
#include "orders/OrdersFile.h"
#include "project/Lifecycle.h"
#include "project/ProjectFile.h"
#include "project/StoreProject.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Version.h"

namespace tolmi::test {
namespace {

unsigned Mode(const std::filesystem::path& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 0777;
}

TEST(PrivateFiles, EverySavePathOfSecretsOrCustomerDataIsOwnerOnly) {
  TestHome home;
  FakePrompter prompter;
  FakeClock clock(1764948600);

  // The orders file and its backup, also when an older file was world-readable.
  home.Write("orders.ost", "#BEGIN\nTIME=1\n#EOF\n");
  chmod((home / "orders.ost").c_str(), 0644);
  OrdersTree tree;
  LoadOrders(home.path().string(), tree);
  ASSERT_TRUE(SaveOrders(home.path().string(), tree, 1).ok());
  EXPECT_EQ(Mode(home / "orders.ost"), 0600u);
  EXPECT_EQ(Mode(home / "orders.bak"), 0600u);

  // config.ini, which may hold the order-server password (still readable as before).
  AppConfig config;
  config.orderSave = 1;
  config.orderPassword = "secret";
  ASSERT_TRUE(WriteConfigFile(config, (home / "config.ini").string(), prompter).ok());
  EXPECT_EQ(Mode(home / "config.ini"), 0600u);
  EXPECT_NE(home.Read("config.ini").find("o_password="), std::string::npos);

  // A project with a saved FTP password, and one without.
  StoreProject project;
  project.settings.savePassword = true;
  project.settings.ftpPassword = "ftp secret";
  ASSERT_TRUE(WriteProjectFile(project, (home / "secret.stp").string(), prompter, clock,
                               VersionNumber())
                  .ok());
  EXPECT_EQ(Mode(home / "secret.stp"), 0600u);
  project.settings.savePassword = false;
  ASSERT_TRUE(WriteProjectFile(project, (home / "plain.stp").string(), prompter, clock,
                               VersionNumber())
                  .ok());
  EXPECT_EQ(Mode(home / "plain.stp"), 0644u);
  // Copies of a project (its backups) ask whether the original is private.
  EXPECT_TRUE(IsOwnerOnlyFile((home / "secret.stp").string()));
  EXPECT_FALSE(IsOwnerOnlyFile((home / "plain.stp").string()));
}

}  // namespace
}  // namespace tolmi::test
