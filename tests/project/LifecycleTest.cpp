// The project's life: new, open, save (backups, questions), Save As, restore, merge; and
// what keeps a merchant's project safe: only project files open, a file cut short is not
// saved over unasked, backups rotate only after a whole save and a damaged one is not
// restored, interrupted saves leave nothing behind, older templates are replaced only at
// save, and a project open in another program is not opened twice.
#include "project/Lifecycle.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "tests/project/ProjectFixtures.h"
#include "util/Files.h"

namespace tolmi {
namespace {

const std::string kWhole =
    "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\n"
    "NODE0=Home\nSTATUS=0\nFILE=index.html\n#BRANCH\nNODE1=Tea\nSTATUS=0\n#EOB\n"
    "STITLE=Tea Shop\nCURR=$\nNAVSTYLE=0\nCC=1:Visa\n";

TEST(ProjectFileCheck, WhatIsAProjectAndWhatWasCutShort) {
  struct Case {
    const char* what;
    std::string bytes;
    bool isProject, cutShort;
  };
  std::string crlf;
  for (char c : kWhole) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::vector<Case> cases = {
      {"as written", kWhole, true, false},
      {"Windows line ends", crlf, true, false},
      {"a bare record (no header)", "NODE0=x\nSTATUS=0\n", true, false},
      {"a stray top-level #EOB ends it", "NODE0=x\nSTATUS=0\n#EOB\nSTITLE=x", true, false},
      {"cut inside a line", kWhole.substr(0, kWhole.size() - 3), true, true},
      {"cut inside a branch", kWhole.substr(0, kWhole.find("#EOB")), true, true},
      {"empty", "", false, false},
      {"blank lines", "\n\r\n  \n", false, false},
      {"a NUL byte", std::string("TIME=1\nNODE0=x\0y\n", 17), false, false},
      {"text", "Dear merchant,\nNODE0=x\n", false, false},
  };
  for (const Case& c : cases) {
    ProjectFileCheck check = CheckProjectBytes(c.bytes);
    EXPECT_EQ(check.isProject, c.isProject) << c.what;
    EXPECT_EQ(check.cutShort, c.cutShort) << c.what;
  }
}

class LifecycleTest : public ::testing::Test, protected test::LifecycleHome {
 protected:
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
  std::string Path() const { return (home / "Projects/Tea/Tea.stp").string(); }
  bool Saved(const std::string& line) const {
    return home.Read("Projects/Toys/Toys.stp").find(line) != std::string::npos;
  }

  ProjectSession session;
};

TEST_F(LifecycleTest, NewProjectFoldersStarterNodesAndTemplates) {
  int installs = 0;
  env.installStyleTemplates = [&](const std::string& dir) {
    ++installs;
    EXPECT_EQ(dir, (home / "Projects/Toys").string());
    return Status::Ok();
  };
  session.project.settings.currency = "EUR";  // set by the wizard: kept
  SetVariable(session.project.variables, "$COPYRIGHT", "(c) Toys");
  AppendNode(session.project, nullptr, CreateNode());  // a left-over tree: replaced
  ASSERT_TRUE(NewProject(session, env, "Toys", "Toy Shop").ok());
  EXPECT_TRUE(prompter.shown.empty()) << Texts();
  EXPECT_EQ(installs, 1);
  EXPECT_EQ(session.path, (home / "Projects/Toys/Toys.stp").string());
  EXPECT_TRUE(IsDirectory((home / "Projects/Toys/Web").string()));
  EXPECT_EQ(home.Read("Projects/Toys/Template/order.htm"), "<order form>");
  EXPECT_EQ(session.orderTemplate + session.confirmTemplate, "<order form><confirmation>");
  EXPECT_EQ(session.project.settings.currency, "EUR");
  EXPECT_NE(GetVariable(session.project.variables, "$copyright"), nullptr);

  std::string nodes;
  ForEachNode(session.project, [&](const StoreNode& n) {
    nodes += std::to_string(static_cast<int>(n.kind)) + n.title + "|" + n.page + "|" + n.file +
             "|" + std::to_string(n.serial) + "|" + std::to_string(n.status) + " ";
  });
  EXPECT_EQ(nodes,
            "0Toy Shop|Toy Shop|index.html|1|0 4About Us|About Us|about.html|2|0 "
            "4News|News|news.html|3|0 4Contact Us|Contact Us|contact.html|4|0 ");
}

TEST_F(LifecycleTest, NewProjectRejectsBadNamesAndReportsMissingTemplates) {
  for (const char* bad : {"a/b", "a\\b", "a,b", "", ".."}) {
    prompter.shown.clear();
    EXPECT_FALSE(NewProject(session, env, bad, "x").ok());
    EXPECT_EQ(Texts(),
              "Error: Invalid Project Name.  The name must not include forward/back slash "
              "characters or commas.\n")
        << bad;
  }
  EXPECT_TRUE(session.path.empty());
  EXPECT_FALSE(FileExists((home / "Projects/a").string()));

  prompter.shown.clear();
  std::filesystem::remove(home / "template/order.dat");
  std::filesystem::remove(home / "template/confirm.dat");
  ASSERT_TRUE(NewProject(session, env, "Bare", "Bare").ok());
  EXPECT_EQ(Texts(),
            "Error: ERROR M101: Copying 'template\\order.dat' template\n"
            "Error: ERROR M101: Copying 'template\\confirm.dat' template\n");
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
    // ".1" holds the file as it was before the last save.
    EXPECT_EQ(backups[n - 1].time.value_or(0), 1100000000 + 11 - n);
  }

  // A file where the "Backup" folder should be: the backup fails, the save does not.
  std::filesystem::remove_all(home / "Projects/Toys/Backup");
  home.Write("Projects/Toys/Backup", "in the way");
  session.project.settings.storeTitle = "Blocked";
  EXPECT_TRUE(SaveProject(session, env).ok());
  EXPECT_TRUE(Saved("STITLE=Blocked\n"));
  EXPECT_NE(Texts().find("Backup"), std::string::npos);
}

TEST_F(LifecycleTest, UnsavedChangesAndOlderVersionQuestions) {
  NewToys();
  const std::string before = home.Read("Projects/Toys/Toys.stp");
  const std::size_t backups = ListBackups(session.path).size();
  session.project.settings.storeTitle = "Changed";
  session.project.changed = true;
  prompter.answers = {PromptAnswer::No};
  EXPECT_TRUE(AskToSaveChanges(session, env).ok());
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text,
            "The current project has changed.  Do you wish to save your changes?");
  EXPECT_EQ(prompter.asked[0].title, "Tolmi PRO - Save Store Confirmation");
  EXPECT_EQ(home.Read("Projects/Toys/Toys.stp"), before);

  // An older project refused at the overwrite question: nothing written or rotated.
  session.project.settings.version = 150000;
  prompter.answers = {PromptAnswer::No};
  EXPECT_EQ(SaveProject(session, env).kind(), ErrorKind::Cancelled);
  EXPECT_EQ(home.Read("Projects/Toys/Toys.stp"), before);
  EXPECT_EQ(ListBackups(session.path).size(), backups);

  session.project.settings.version = 0;
  prompter.answers = {PromptAnswer::Yes};
  EXPECT_TRUE(AskToSaveChanges(session, env).ok());
  EXPECT_FALSE(session.project.changed);
  EXPECT_EQ(ListBackups(session.path).size(), backups + 1);
  EXPECT_TRUE(Saved("STITLE=Changed\n"));
  // Nothing changed: no question.
  EXPECT_TRUE(AskToSaveChanges(session, env).ok());
  EXPECT_EQ(prompter.asked.size(), 3u);
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
  EXPECT_EQ(other.project.settings.projectDir, (home / "Projects/Toys").string());
  EXPECT_EQ(other.orderTemplate, "<order form>");
  EXPECT_FALSE(other.project.changed);
}

TEST_F(LifecycleTest, SaveAsCleansTheNameCopiesSiblingsAndAsksBeforeOverwriting) {
  NewToys();
  home.Write("Projects/Toys/Toys.bak", "old backup");
  home.Write("Projects/Toys/Toyshop.dat", "not a sibling");
  session.project.settings.version = 150000;  // no question: Save As writes VERSION 0
  ASSERT_TRUE(SaveProjectAs(session, env, "My, Shop").ok()) << Texts();
  EXPECT_TRUE(prompter.asked.empty());
  const std::string dir = (home / "Projects/My_ Shop").string();
  EXPECT_EQ(session.path, dir + "/My_ Shop.stp");
  EXPECT_EQ(home.Read("Projects/My_ Shop/My_ Shop.bak"), "old backup");
  EXPECT_FALSE(FileExists(dir + "/My_ Shop.dat"));
  EXPECT_EQ(home.Read("Projects/My_ Shop/Template/order.htm"), "<order form>");
  EXPECT_NE(home.Read("Projects/My_ Shop/My_ Shop.stp").find("REBUILD=" + dir + "/Web\n"),
            std::string::npos);
  EXPECT_TRUE(FileExists((home / "Projects/Toys/Toys.stp").string()));  // the old one stays
  EXPECT_EQ(CleanSaveAsName(std::string(60, 'a') + ",b"), std::string(50, 'a'));

  home.Write("Projects/Shop/keep.txt", "x");
  prompter.answers = {PromptAnswer::Cancel};
  EXPECT_EQ(SaveProjectAs(session, env, "Shop").kind(), ErrorKind::Cancelled);
  EXPECT_EQ(prompter.asked.at(0).text,
            "A Project Directory with the same name already exists.  Would you like to "
            "overwrite it?");
  EXPECT_EQ(session.path, dir + "/My_ Shop.stp");
  EXPECT_FALSE(FileExists((home / "Projects/Shop/Shop.stp").string()));
  prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(SaveProjectAs(session, env, "Shop").ok());
  EXPECT_TRUE(FileExists((home / "Projects/Shop/Shop.stp").string()));
  EXPECT_EQ(SaveProjectAs(session, env, "").kind(), ErrorKind::Cancelled);
  EXPECT_FALSE(SaveProjectAs(session, env, "../escape").ok());
  EXPECT_FALSE(FileExists((home / "escape").string()));
}

TEST_F(LifecycleTest, BackupsAreListedAndRestored) {
  NewToys();
  session.project.settings.storeTitle = "Second";
  ASSERT_TRUE(SaveProject(session, env).ok());
  home.Write("Projects/Toys/Backup/Toys.stp.3", "NODE0=x\nTIME=5\n");
  home.Write("Projects/Toys/Backup/Toys.stp.2", "TIME=1234567890\nVERSION=1\n");
  home.Write("Projects/Toys/Backup/Sub/inner", "TIME=1\n");
  std::vector<BackupEntry> list = ListBackups(session.path);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].name + " " + std::to_string(list[1].size), "Toys.stp.2 26");
  EXPECT_EQ(list[1].time.value_or(0), 1234567890);
  EXPECT_FALSE(list[2].time.has_value());  // TIME is not the first line

  prompter.answers = {PromptAnswer::No};
  EXPECT_EQ(RestoreBackup(session, env, list[0]).kind(), ErrorKind::Cancelled);
  EXPECT_EQ(session.project.settings.storeTitle, "Second");
  EXPECT_EQ(prompter.asked.at(0).text,
            "You are about to revert to a previously saved version of the store project.  All "
            "current changes will be lost. Do you wish to proceed? ");
  prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(RestoreBackup(session, env, list[0]).ok()) << Texts();
  EXPECT_EQ(session.project.settings.storeTitle, "Toy Shop");
  EXPECT_TRUE(Saved("STITLE=Toy Shop\n"));

  // A backup that is gone leaves the project file alone.
  BackupEntry gone = list[0];
  gone.path += ".missing";
  session.project.settings.storeTitle = "Third";
  prompter.answers = {PromptAnswer::Yes};
  EXPECT_FALSE(RestoreBackup(session, env, gone).ok());
  EXPECT_TRUE(Saved("STITLE=Toy Shop\n"));
}

TEST_F(LifecycleTest, MergeUnderAProductOrACategoryOrIntoAnEmptyTree) {
  home.Write("Projects/Other/Other.stp",
             "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\n"
             "NODE0=Gifts\nSTATUS=0\nMOD=0\nFILE=gifts.htm\nTEMP=gift.htm\n"
             "NODE1=Teddy\nSTATUS=0\nMOD=0\nFILE=teddy.htm\nTEMP=Order.htm\n"
             "STITLE=Other Shop\nCURR=EUR\nP_SERV=ftp.other.test\n");
  home.Write("Projects/Other/Template/gift.htm", "<gift>");
  home.Write("Projects/Other/Template/Order.htm", "<theirs>");
  const std::string other = (home / "Projects/Other/Other.stp").string();
  // Into an empty tree it reads as opened.
  session.project.settings.projectDir = (home / "Projects/Empty").string();
  ASSERT_TRUE(MergeProject(session, env, other, nullptr).ok());
  EXPECT_EQ(session.project.settings.storeTitle + test::Titles(session.project),
            "Other ShopGifts Teddy");

  NewToys();
  StoreProject& p = session.project;
  EXPECT_EQ(MergeProject(session, env, other, nullptr).kind(), ErrorKind::InvalidArgument);
  const std::string missing = (home / "nothing.stp").string();
  prompter.shown.clear();
  EXPECT_FALSE(MergeProject(session, env, missing, RootNode(p)).ok());
  EXPECT_EQ(Texts(), "Error: S105: Unable to read project file '" + missing + "'\n");
  // Into a category as its children; beside a product (in its shelf); the open store's
  // settings kept.
  StoreNode* shelf = test::AddNode(p, nullptr, NodeKind::Shelf, "Shelf");
  StoreNode* product = test::AddNode(p, shelf, NodeKind::Product, "Mug");
  ASSERT_TRUE(MergeProject(session, env, other, RootNode(p)).ok());
  ASSERT_TRUE(MergeProject(session, env, other, product).ok()) << Texts();
  EXPECT_EQ(p.settings.storeTitle + "|" + test::Titles(p),
            "Toy Shop|Toy Shop >Gifts >Teddy About Us News Contact Us Shelf >Mug >Gifts >Teddy");
  // The missing template is copied; the existing one (order.htm) is kept.
  EXPECT_EQ(home.Read("Projects/Toys/Template/gift.htm"), "<gift>");
  EXPECT_EQ(home.Read("Projects/Toys/Template/order.htm"), "<order form>");
}

TEST_F(LifecycleTest, OnlyProjectFilesOpen) {
  ProjectSession missing;
  EXPECT_EQ(OpenProject(missing, env, Path()).kind(), ErrorKind::NotFound);
  EXPECT_NE(Texts().find("Error: ERROR S105: Unable to open project file\n"), std::string::npos);
  const std::string html = "<html><body>x</body></html>\n";
  home.Write("Projects/Tea/Tea.stp", html);
  prompter.shown.clear();
  EXPECT_EQ(OpenProject(session, env, Path()).kind(), ErrorKind::Corrupt);
  EXPECT_EQ(Texts(), "Error: S103: Unable to read project file '" + Path() +
                         "'\nError: ERROR S105: Unable to open project file\n");
  EXPECT_TRUE(session.path.empty());
  EXPECT_EQ(home.Read("Projects/Tea/Tea.stp"), html);
}

TEST_F(LifecycleTest, CutShortOpensWithWarningAndIsSavedOverOnlyWithConsent) {
  const std::string cut = kWhole.substr(0, kWhole.find("STITLE"));
  home.Write("Projects/Tea/Tea.stp", cut);
  ASSERT_TRUE(OpenProject(session, env, Path()).ok());
  EXPECT_EQ(Texts().rfind("Warning: The project file '" + Path() + "' ends early", 0), 0u);
  EXPECT_EQ(CountNodes(session.project), 2u);

  prompter.answers = {PromptAnswer::No};
  EXPECT_EQ(SaveProject(session, env).kind(), ErrorKind::Cancelled);
  EXPECT_EQ(home.Read("Projects/Tea/Tea.stp"), cut);
  EXPECT_EQ(prompter.asked.at(0).text.rfind("The project file '" + Path() + "' was cut short", 0),
            0u);
  EXPECT_EQ(prompter.asked[0].title, "Confirmation");

  prompter.answers = {PromptAnswer::Yes};
  ASSERT_TRUE(SaveProject(session, env).ok());
  EXPECT_FALSE(session.readShort);
  EXPECT_FALSE(CheckProjectBytes(home.Read("Projects/Tea/Tea.stp")).cutShort);
  // The cut file is the newest backup; a backup cut short is listed but never restored.
  std::vector<BackupEntry> backups = ListBackups(Path());
  ASSERT_EQ(backups.size(), 1u);
  EXPECT_EQ(backups[0].problem, "damaged: it was cut short");
  prompter.shown.clear();
  EXPECT_EQ(RestoreBackup(session, env, backups[0]).kind(), ErrorKind::Corrupt);
  EXPECT_EQ(Texts(),
            "Error: The backup 'Tea.stp.1' cannot be restored (damaged: it was cut short).\n");
  EXPECT_FALSE(CheckProjectBytes(home.Read("Projects/Tea/Tea.stp")).cutShort);
}

TEST_F(LifecycleTest, FailedSaveRotatesNothingAndLeavesNoTemporaryFile) {
  home.Write("Projects/Tea/Tea.stp", kWhole);
  ASSERT_TRUE(OpenProject(session, env, Path()).ok());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(SaveProject(session, env).ok());
  const std::string saved = home.Read("Projects/Tea/Tea.stp");
  ASSERT_EQ(ListBackups(Path()).size(), 3u);
  const std::string oldest = home.Read("Projects/Tea/Backup/Tea.stp.3");
  session.project.changed = true;
  SetAtomicWriteFaultForTesting(10);
  EXPECT_FALSE(SaveProject(session, env).ok());
  SetAtomicWriteFaultForTesting(-1);
  EXPECT_TRUE(session.project.changed);  // still to be saved
  EXPECT_EQ(Texts(), "Error: S101: File Write Error\n");
  EXPECT_EQ(ListBackups(Path()).size(), 3u);
  EXPECT_EQ(home.Read("Projects/Tea/Backup/Tea.stp.3"), oldest);
  EXPECT_EQ(home.Read("Projects/Tea/Tea.stp"), saved);

  // A killed save leaves its temporary files; the next open removes them, and only them.
  home.Write("Projects/Tea/.Tea.stp.tmp-AbC123", "half");
  home.Write("Projects/Tea/Backup/.Tea.stp.1.tmp-xYz789", "half");
  home.Write("Projects/Tea/.Other.stp.tmp-AbC123", "not ours");
  home.Write("Projects/Tea/Tea.stp.tmp-AbC123", "not a temporary name");
  ASSERT_TRUE(OpenProject(session, env, Path()).ok());
  EXPECT_FALSE(FileExists((home / "Projects/Tea/.Tea.stp.tmp-AbC123").string()));
  EXPECT_FALSE(FileExists((home / "Projects/Tea/Backup/.Tea.stp.1.tmp-xYz789").string()));
  EXPECT_TRUE(FileExists((home / "Projects/Tea/.Other.stp.tmp-AbC123").string()));
  EXPECT_TRUE(FileExists((home / "Projects/Tea/Tea.stp.tmp-AbC123").string()));
}

TEST_F(LifecycleTest, OlderProjectTemplatesAreReplacedAtSaveKeepingEveryBackup) {
  int upgrades = 0;
  env.upgradeTemplates = [&](StoreProject& p, const std::string&) {
    ++upgrades;
    EXPECT_LT(p.settings.version, kTemplatesCurrentFrom);
  };
  std::string old = kWhole;
  old.replace(old.find("VERSION=2034361"), 15, "VERSION=101000");
  home.Write("Projects/Tea/Tea.stp", old);
  for (int i = 0; i < 2; ++i) {  // opening alone changes nothing
    ASSERT_TRUE(OpenProject(session, env, Path()).ok());
    EXPECT_TRUE(session.templateUpgradeDue);
  }
  EXPECT_EQ(upgrades, 0);
  ASSERT_TRUE(SaveProject(session, env).ok());
  EXPECT_EQ(upgrades, 1);
  EXPECT_FALSE(session.templateUpgradeDue);
  ASSERT_TRUE(SaveProject(session, env).ok());
  EXPECT_EQ(upgrades, 1);
}

// A second program that wants the project waits briefly, then says who has it open.
TEST_F(LifecycleTest, ProjectOpenInAnotherProgramIsNotOpenedTwice) {
  home.Write("Projects/Tea/Tea.stp", kWhole);
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = ::fork();
  if (child == 0) {
    ProjectSession other;
    char c = OpenProject(other, env, Path()).ok() ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  (void)!::read(ready[0], &c, 1);
  ASSERT_EQ(c, 'y');
  SetDefaultLockWaitForTesting(std::chrono::milliseconds(100));
  Status opened = OpenProject(session, env, Path());
  SetDefaultLockWaitForTesting(std::chrono::milliseconds(-1));
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_FALSE(opened.ok());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "The project '" + Path() + "' is in use by test_project (process " +
                std::to_string(child) + "); try again when it has finished.");
  EXPECT_TRUE(OpenProject(session, env, Path()).ok());  // the holder is gone
}

}  // namespace
}  // namespace tolmi
