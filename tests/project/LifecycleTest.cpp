#include "project/Lifecycle.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi {
namespace {

using test::FakeClock;
using test::FakePrompter;
using test::TestHome;

// A home with the installation's order and confirmation templates, and an env over it.
class LifecycleTest : public ::testing::Test {
 protected:
  LifecycleTest() {
    home.Write("template/order.dat", "<order form>");
    home.Write("template/confirm.dat", "<confirmation>");
    env.installDir = home.path().string();
    env.prompter = &prompter;
    env.clock = &clock;
    env.versionNumber = 2034361;
    env.serialCounter = &serial;
  }

  std::string Texts() const {
    std::string all;
    for (const auto& s : prompter.shown) all += s.title + ": " + s.text + "\n";
    return all;
  }

  // A new project "Toys" saved once.
  void NewToys() {
    ASSERT_TRUE(NewProject(session, env, "Toys", "Toy Shop").ok()) << Texts();
    ASSERT_TRUE(SaveProject(session, env).ok()) << Texts();
  }

  TestHome home;
  FakePrompter prompter;
  FakeClock clock{1100000000};
  std::uint32_t serial = 40;
  LifecycleEnv env;
  ProjectSession session;
};

TEST_F(LifecycleTest, NewProjectFoldersStarterNodesAndTemplates) {
  int installs = 0;
  env.installStyleTemplates = [&](const std::string& dir) {
    ++installs;
    EXPECT_EQ(dir, (home / "Projects/Toys").string());
    return Status::Ok();
  };
  ASSERT_TRUE(NewProject(session, env, "Toys", "Toy Shop").ok());
  EXPECT_TRUE(prompter.shown.empty()) << Texts();
  EXPECT_EQ(installs, 1);
  EXPECT_EQ(session.path, (home / "Projects/Toys/Toys.stp").string());
  EXPECT_FALSE(FileExists(session.path));  // written at the first save
  EXPECT_TRUE(IsDirectory((home / "Projects/Toys/Web").string()));
  EXPECT_EQ(home.Read("Projects/Toys/Template/order.htm"), "<order form>");
  EXPECT_EQ(home.Read("Projects/Toys/Template/confirm.htm"), "<confirmation>");
  EXPECT_EQ(session.orderTemplate, "<order form>");
  EXPECT_EQ(session.confirmTemplate, "<confirmation>");
  EXPECT_EQ(session.project.settings.projectDir, (home / "Projects/Toys").string());

  struct Expected {
    NodeKind kind;
    const char* title;
    const char* file;
  };
  const Expected expected[] = {{NodeKind::Category, "Toy Shop", "index.html"},
                               {NodeKind::Page, "About Us", "about.html"},
                               {NodeKind::Page, "News", "news.html"},
                               {NodeKind::Page, "Contact Us", "contact.html"}};
  const StoreNode* node = RootNode(session.project);
  for (int i = 0; i < 4; ++i) {
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->kind, expected[i].kind);
    EXPECT_EQ(node->title, expected[i].title);
    EXPECT_EQ(node->page, expected[i].title);
    EXPECT_EQ(node->file, expected[i].file);
    EXPECT_EQ(node->serial, 41u + i);
    EXPECT_EQ(node->status, 0);
    node = NextSibling(*node);
  }
  EXPECT_EQ(node, nullptr);
  EXPECT_EQ(serial, 44u);
}

TEST_F(LifecycleTest, NewProjectRejectsBadNamesAndReportsMissingTemplates) {
  for (const char* bad : {"a/b", "a\\b", "a,b", "", ".."}) {
    FakePrompter p;
    env.prompter = &p;
    EXPECT_FALSE(NewProject(session, env, bad, "x").ok());
    ASSERT_EQ(p.shown.size(), 1u) << bad;
    EXPECT_EQ(p.shown[0].text,
              "Invalid Project Name.  The name must not include forward/back slash characters "
              "or commas.");
    EXPECT_EQ(p.shown[0].title, "Error");
  }
  env.prompter = &prompter;
  EXPECT_TRUE(session.path.empty());
  EXPECT_FALSE(FileExists((home / "Projects/a").string()));

  std::filesystem::remove(home / "template/order.dat");
  std::filesystem::remove(home / "template/confirm.dat");
  ASSERT_TRUE(NewProject(session, env, "Bare", "Bare").ok());
  EXPECT_EQ(Texts(),
            "Error: ERROR M101: Copying 'template\\order.dat' template\n"
            "Error: ERROR M101: Copying 'template\\confirm.dat' template\n");
  EXPECT_EQ(CountNodes(session.project), 4u);
}

TEST_F(LifecycleTest, ElevenSavesKeepTenBackups) {
  NewToys();
  for (int i = 1; i <= 11; ++i) {
    clock.now = 1100000000 + i;
    session.project.settings.storeTitle = "Save " + std::to_string(i);
    ASSERT_TRUE(SaveProject(session, env).ok()) << Texts();
  }
  std::vector<BackupEntry> backups = ListBackups(session.path);
  ASSERT_EQ(backups.size(), 10u);
  for (int n = 1; n <= 10; ++n) {
    EXPECT_EQ(backups[n - 1].name, "Toys.stp." + std::to_string(n));
    ASSERT_TRUE(backups[n - 1].time.has_value());
    // ".1" holds the file as it was before the last save.
    EXPECT_EQ(*backups[n - 1].time, 1100000000 + 11 - n);
    EXPECT_GT(backups[n - 1].size, 0u);
  }
  EXPECT_NE(home.Read("Projects/Toys/Backup/Toys.stp.1").find("STITLE=Save 10\n"),
            std::string::npos);
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=Save 11\n"), std::string::npos);
}

TEST_F(LifecycleTest, UnsavedChangesQuestion) {
  NewToys();
  const std::string before = home.Read("Projects/Toys/Toys.stp");
  session.project.settings.storeTitle = "Changed";
  session.project.changed = true;
  prompter.answers = {PromptAnswer::No};
  EXPECT_TRUE(AskToSaveChanges(session, env).ok());
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text,
            "The current project has changed.  Do you wish to save your changes?");
  EXPECT_EQ(prompter.asked[0].title, "Tolmi PRO - Save Store Confirmation");
  EXPECT_EQ(home.Read("Projects/Toys/Toys.stp"), before);
  EXPECT_TRUE(ListBackups(session.path).empty() ||
              ListBackups(session.path).size() == 1u);  // only the first save's

  const size_t backupsBefore = ListBackups(session.path).size();
  prompter.answers = {PromptAnswer::Yes};
  EXPECT_TRUE(AskToSaveChanges(session, env).ok());
  EXPECT_FALSE(session.project.changed);
  EXPECT_EQ(ListBackups(session.path).size(), backupsBefore + 1);
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=Changed\n"), std::string::npos);

  // Nothing changed: no question.
  EXPECT_TRUE(AskToSaveChanges(session, env).ok());
  EXPECT_EQ(prompter.asked.size(), 2u);
}

TEST_F(LifecycleTest, OlderVersionQuestionStopsTheSave) {
  NewToys();
  const std::string before = home.Read("Projects/Toys/Toys.stp");
  session.project.settings.version = 150000;
  session.project.settings.storeTitle = "Changed";
  prompter.answers = {PromptAnswer::No};
  Status s = SaveProject(session, env);
  EXPECT_EQ(s.kind(), ErrorKind::Cancelled);
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].title, "Confirmation");
  EXPECT_EQ(home.Read("Projects/Toys/Toys.stp"), before);
  EXPECT_TRUE(prompter.shown.empty()) << Texts();
}

TEST_F(LifecycleTest, OpenReadsTheFileAndReportsFailures) {
  NewToys();
  int configWrites = 0;
  env.writeConfiguration = [&] { ++configWrites; };
  ASSERT_TRUE(SaveProject(session, env).ok());
  EXPECT_EQ(configWrites, 1);

  ProjectSession other;
  const std::string noExtension = (home / "Projects/Toys/Toys").string();
  ASSERT_TRUE(OpenProject(other, env, noExtension).ok()) << Texts();
  EXPECT_EQ(other.path, noExtension + ".stp");
  EXPECT_EQ(CountNodes(other.project), 4u);
  EXPECT_EQ(other.project.settings.storeTitle, "Toy Shop");
  EXPECT_EQ(other.project.settings.projectDir, (home / "Projects/Toys").string());
  EXPECT_EQ(other.orderTemplate, "<order form>");
  EXPECT_FALSE(other.project.changed);

  const std::string missing = (home / "Projects/None/None.stp").string();
  EXPECT_FALSE(OpenProject(other, env, missing).ok());
  EXPECT_EQ(Texts(), "Error: S103: Unable to read project file '" + missing +
                         "'\nError: ERROR S105: Unable to open project file\n");
  EXPECT_TRUE(other.path.empty());
  EXPECT_EQ(CountNodes(other.project), 0u);
}

TEST_F(LifecycleTest, SaveAsCleansTheNameAndCopiesSiblings) {
  NewToys();
  home.Write("Projects/Toys/Toys.bak", "old backup");
  home.Write("Projects/Toys/Toys.stp.txt", "notes");
  home.Write("Projects/Toys/Toyshop.dat", "not a sibling");
  session.project.settings.version = 150000;  // no question: Save As writes VERSION 0
  ASSERT_TRUE(SaveProjectAs(session, env, "My, Shop").ok()) << Texts();
  EXPECT_TRUE(prompter.asked.empty());
  const std::string dir = (home / "Projects/My_ Shop").string();
  EXPECT_EQ(session.path, dir + "/My_ Shop.stp");
  EXPECT_TRUE(FileExists(session.path));
  EXPECT_EQ(home.Read("Projects/My_ Shop/My_ Shop.bak"), "old backup");
  EXPECT_EQ(home.Read("Projects/My_ Shop/My_ Shop.stp.txt"), "notes");
  EXPECT_FALSE(FileExists(dir + "/My_ Shop.dat"));
  EXPECT_EQ(home.Read("Projects/My_ Shop/Template/order.htm"), "<order form>");
  EXPECT_EQ(session.project.settings.rebuildDir, dir + "/Web");
  EXPECT_TRUE(IsDirectory(dir + "/Web"));
  EXPECT_EQ(session.project.settings.version, 0);
  EXPECT_NE(home.Read("Projects/My_ Shop/My_ Shop.stp").find("REBUILD=" + dir + "/Web\n"),
            std::string::npos);
  // The old project is untouched.
  EXPECT_TRUE(FileExists((home / "Projects/Toys/Toys.stp").string()));

  EXPECT_EQ(CleanSaveAsName(std::string(60, 'a') + ",b"), std::string(50, 'a'));
  EXPECT_EQ(CleanSaveAsName("a,b,c"), "a_b_c");
}

TEST_F(LifecycleTest, SaveAsIntoAnExistingFolderAsksFirst) {
  NewToys();
  home.Write("Projects/Shop/keep.txt", "x");
  prompter.answers = {PromptAnswer::Cancel};
  Status s = SaveProjectAs(session, env, "Shop");
  EXPECT_EQ(s.kind(), ErrorKind::Cancelled);
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text,
            "A Project Directory with the same name already exists.  Would you like to "
            "overwrite it?");
  EXPECT_EQ(prompter.asked[0].title, "Confirmation");
  EXPECT_EQ(session.path, (home / "Projects/Toys/Toys.stp").string());
  EXPECT_FALSE(FileExists((home / "Projects/Shop/Shop.stp").string()));

  prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(SaveProjectAs(session, env, "Shop").ok());
  EXPECT_TRUE(FileExists((home / "Projects/Shop/Shop.stp").string()));

  // A name that is only commas' replacement is fine, a slash is not.
  EXPECT_EQ(SaveProjectAs(session, env, "").kind(), ErrorKind::Cancelled);
  EXPECT_FALSE(SaveProjectAs(session, env, "../escape").ok());
  EXPECT_FALSE(FileExists((home / "escape").string()));
}

TEST_F(LifecycleTest, BackupListingDates) {
  NewToys();
  home.Write("Projects/Toys/Backup/Toys.stp.3", "NODE0=x\nTIME=5\n");
  home.Write("Projects/Toys/Backup/Toys.stp.2", "TIME=1234567890\nVERSION=1\n");
  home.Write("Projects/Toys/Backup/Sub/inner", "TIME=1\n");
  std::vector<BackupEntry> list = ListBackups(session.path);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "Toys.stp.2");
  EXPECT_EQ(list[0].time.value_or(0), 1234567890);
  EXPECT_EQ(list[0].size, 26u);
  EXPECT_EQ(list[1].name, "Toys.stp.3");
  EXPECT_FALSE(list[1].time.has_value());
}

TEST_F(LifecycleTest, RestoreRevertsOrStartsAfresh) {
  NewToys();
  session.project.settings.storeTitle = "Second";
  ASSERT_TRUE(SaveProject(session, env).ok());
  std::vector<BackupEntry> list = ListBackups(session.path);
  ASSERT_EQ(list.size(), 1u);

  prompter.answers = {PromptAnswer::No};
  EXPECT_EQ(RestoreBackup(session, env, list[0]).kind(), ErrorKind::Cancelled);
  EXPECT_EQ(session.project.settings.storeTitle, "Second");
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text,
            "You are about to revert to a previously saved version of the store project.  All "
            "current changes will be lost. Do you wish to proceed? ");

  prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(RestoreBackup(session, env, list[0]).ok()) << Texts();
  EXPECT_EQ(session.project.settings.storeTitle, "Toy Shop");
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=Toy Shop\n"), std::string::npos);

  // A backup that is gone leaves the project file alone.
  BackupEntry gone = list[0];
  gone.path += ".missing";
  prompter.answers = {PromptAnswer::Yes};
  EXPECT_FALSE(RestoreBackup(session, env, gone).ok());
  EXPECT_NE(home.Read("Projects/Toys/Toys.stp").find("STITLE=Toy Shop\n"), std::string::npos);
}

// Writes a project "Other" with a shelf holding a product that uses its own template.
void WriteOtherProject(const TestHome& home) {
  home.Write("Projects/Other/Other.stp",
             "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\n"
             "NODE0=Gifts\nSTATUS=0\nMOD=0\nFILE=gifts.htm\nTEMP=gift.htm\n"
             "NODE1=Teddy\nSTATUS=0\nMOD=0\nFILE=teddy.htm\nTEMP=Order.htm\n"
             "STITLE=Other Shop\nCURR=EUR\nP_SERV=ftp.other.test\n");
  home.Write("Projects/Other/Template/gift.htm", "<gift>");
  home.Write("Projects/Other/Template/Order.htm", "<theirs>");
}

TEST_F(LifecycleTest, MergeUnderTheShelfOfASelectedProduct) {
  NewToys();
  WriteOtherProject(home);
  StoreProject& p = session.project;
  std::unique_ptr<StoreNode> shelfNode = CreateNode();
  shelfNode->kind = NodeKind::Shelf;
  shelfNode->title = "Shelf";
  StoreNode* shelf = AppendNode(p, nullptr, std::move(shelfNode));
  std::unique_ptr<StoreNode> productNode = CreateNode();
  productNode->kind = NodeKind::Product;
  StoreNode* product = AppendNode(p, shelf, std::move(productNode));

  ASSERT_TRUE(
      MergeProject(session, env, (home / "Projects/Other/Other.stp").string(), product).ok())
      << Texts();
  ASSERT_EQ(shelf->children.size(), 3u);
  EXPECT_EQ(shelf->children[1]->title, "Gifts");
  EXPECT_EQ(shelf->children[1]->kind, NodeKind::Product);  // under a shelf: products
  EXPECT_EQ(shelf->children[2]->title, "Teddy");
  EXPECT_TRUE(p.changed);
  EXPECT_EQ(p.settings.storeTitle, "Toy Shop");  // merge keeps the open store's settings
  EXPECT_EQ(p.settings.ftpServer, "ftp.other.test");
  // The missing template is copied; the existing one (order.htm) is kept.
  EXPECT_EQ(home.Read("Projects/Toys/Template/gift.htm"), "<gift>");
  EXPECT_EQ(home.Read("Projects/Toys/Template/order.htm"), "<order form>");
}

TEST_F(LifecycleTest, MergeNeedsASelectionAndAReadableFile) {
  NewToys();
  WriteOtherProject(home);
  const std::string other = (home / "Projects/Other/Other.stp").string();
  EXPECT_EQ(MergeProject(session, env, other, nullptr).kind(), ErrorKind::InvalidArgument);
  EXPECT_EQ(CountNodes(session.project), 4u);
  EXPECT_TRUE(prompter.shown.empty());

  const std::string missing = (home / "nothing.stp").string();
  EXPECT_FALSE(MergeProject(session, env, missing, RootNode(session.project)).ok());
  EXPECT_EQ(Texts(), "Error: S105: Unable to read project file '" + missing + "'\n");

  // Into the home page category: the top-level records become its children.
  ASSERT_TRUE(MergeProject(session, env, other, RootNode(session.project)).ok());
  EXPECT_EQ(RootNode(session.project)->children.size(), 2u);
  EXPECT_EQ(CountNodes(session.project), 6u);
}

TEST_F(LifecycleTest, MergeIntoAnEmptyTreeReadsAsOpened) {
  WriteOtherProject(home);
  session.project.settings.projectDir = (home / "Projects/Empty").string();
  ASSERT_TRUE(
      MergeProject(session, env, (home / "Projects/Other/Other.stp").string(), nullptr).ok());
  EXPECT_EQ(CountNodes(session.project), 2u);
  EXPECT_EQ(session.project.settings.storeTitle, "Other Shop");
  EXPECT_TRUE(session.project.changed);
}

}  // namespace
}  // namespace tolmi

namespace tolmi {
namespace {

TEST_F(LifecycleTest, NewProjectKeepsWizardSettingsAndABlockedBackupDoesNotStopTheSave) {
  session.project.settings.currency = "EUR";
  SetVariable(session.project.variables, "$COPYRIGHT", "(c) Toys");
  std::unique_ptr<StoreNode> stale = CreateNode();
  stale->title = "left over";
  AppendNode(session.project, nullptr, std::move(stale));
  ASSERT_TRUE(NewProject(session, env, "Toys", "Toy Shop").ok());
  EXPECT_EQ(CountNodes(session.project), 4u);
  EXPECT_EQ(RootNode(session.project)->title, "Toy Shop");
  EXPECT_EQ(session.project.settings.currency, "EUR");
  ASSERT_NE(GetVariable(session.project.variables, "$copyright"), nullptr);

  // A file where the "Backup" folder should be: the backup fails, the save does not.
  home.Write("Projects/Toys/Backup", "in the way");
  Status s = SaveProject(session, env);
  EXPECT_TRUE(s.ok());
  EXPECT_TRUE(FileExists(session.path));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_NE(prompter.shown[0].text.find("Backup"), std::string::npos);
}

}  // namespace
}  // namespace tolmi
