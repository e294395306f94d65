// What keeps a merchant's project: only project files open, a file cut short is not
// saved over unasked, backups rotate only after a whole save and a damaged one is not
// restored, interrupted saves leave nothing behind, and an older project's templates
// are replaced (keeping every backup) only when it is saved.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "project/Lifecycle.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi {
namespace {

using test::FakePrompter;
using test::TestHome;

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
      {"cut before the settings", kWhole.substr(0, kWhole.find("STITLE")), true, true},
      {"cut inside a branch", kWhole.substr(0, kWhole.find("#EOB")), true, true},
      {"empty", "", false, false},
      {"blank lines", "\n\r\n  \n", false, false},
      {"a NUL byte", std::string("TIME=1\nNODE0=x\0y\n", 17), false, false},
      {"text", "Dear merchant,\nNODE0=x\n", false, false},
      {"a program",
       "\x7f"
       "ELF\x02\x01\x01",
       false, false},
  };
  for (const Case& c : cases) {
    ProjectFileCheck check = CheckProjectBytes(c.bytes);
    EXPECT_EQ(check.isProject, c.isProject) << c.what;
    EXPECT_EQ(check.cutShort, c.cutShort) << c.what;
  }
}

class ProjectSafetyTest : public ::testing::Test {
 protected:
  ProjectSafetyTest() {
    home.Write("template/order.dat", "<new order>");
    home.Write("template/confirm.dat", "<new confirm>");
    home.Write("template/shelf.htm", "<new shelf>");
    env.installDir = home.path().string();
    env.prompter = &prompter;
    env.clock = &clock;
    env.versionNumber = 2034361;
    env.serialCounter = &serial;
  }
  std::string Path() const { return (home / "Projects/Tea/Tea.stp").string(); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& s : prompter.shown) texts.push_back(s.text);
    return texts;
  }

  TestHome home;
  FakePrompter prompter;
  test::FakeClock clock{1100000000};
  std::uint32_t serial = 0;
  LifecycleEnv env;
  ProjectSession session;
};

TEST_F(ProjectSafetyTest, OnlyProjectFilesOpen) {
  for (const std::string& bytes : {std::string(),
                                   std::string("\x7f"
                                               "ELF\0\0",
                                               6),
                                   std::string("<html><body>x</body></html>\n")}) {
    home.Write("Projects/Tea/Tea.stp", bytes);
    prompter.shown.clear();
    EXPECT_EQ(OpenProject(session, env, Path()).kind(), ErrorKind::Corrupt);
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"S103: Unable to read project file '" + Path() + "'",
                                        "ERROR S105: Unable to open project file"}));
    EXPECT_TRUE(session.path.empty());
    EXPECT_EQ(home.Read("Projects/Tea/Tea.stp"), bytes);
  }
}

TEST_F(ProjectSafetyTest, CutShortOpensWithWarningAndIsSavedOverOnlyWithConsent) {
  const std::string cut = kWhole.substr(0, kWhole.find("STITLE"));
  home.Write("Projects/Tea/Tea.stp", cut);
  ASSERT_TRUE(OpenProject(session, env, Path()).ok());
  EXPECT_TRUE(session.readShort);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Warning");
  EXPECT_EQ(prompter.shown[0].text.rfind("The project file '" + Path() + "' ends early", 0), 0u);
  EXPECT_EQ(CountNodes(session.project), 2u);

  prompter.answers = {PromptAnswer::No};
  EXPECT_EQ(SaveProject(session, env).kind(), ErrorKind::Cancelled);
  EXPECT_EQ(home.Read("Projects/Tea/Tea.stp"), cut);
  ASSERT_EQ(prompter.asked.size(), 1u);
  EXPECT_EQ(prompter.asked[0].text.rfind("The project file '" + Path() + "' was cut short", 0), 0u);
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
  EXPECT_EQ(Texts(), (std::vector<std::string>{"The backup 'Tea.stp.1' cannot be restored "
                                               "(damaged: it was cut short)."}));
  EXPECT_FALSE(CheckProjectBytes(home.Read("Projects/Tea/Tea.stp")).cutShort);
}

TEST_F(ProjectSafetyTest, FailedSaveRotatesNothingAndLeavesNoTemporaryFile) {
  home.Write("Projects/Tea/Tea.stp", kWhole);
  ASSERT_TRUE(OpenProject(session, env, Path()).ok());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(SaveProject(session, env).ok());
  const std::string saved = home.Read("Projects/Tea/Tea.stp");
  ASSERT_EQ(ListBackups(Path()).size(), 3u);
  const std::string oldest = home.Read("Projects/Tea/Backup/Tea.stp.3");
  session.project.changed = true;
  for (int i = 0; i < 3; ++i) {
    SetAtomicWriteFaultForTesting(10);
    EXPECT_FALSE(SaveProject(session, env).ok());
    SetAtomicWriteFaultForTesting(-1);
    EXPECT_TRUE(session.project.changed);  // still to be saved
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text, "S101: File Write Error");
    EXPECT_EQ(prompter.shown.back().title, "Error");
  }
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

TEST_F(ProjectSafetyTest, OlderProjectTemplatesAreReplacedAtSaveKeepingEveryBackup) {
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
TEST_F(ProjectSafetyTest, ProjectOpenInAnotherProgramIsNotOpenedTwice) {
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
  EXPECT_EQ(
      Texts(),
      (std::vector<std::string>{"The project '" + Path() + "' is in use by test_project (process " +
                                std::to_string(child) + "); try again when it has finished."}));
  EXPECT_TRUE(OpenProject(session, env, Path()).ok());  // the holder is gone
}

}  // namespace
}  // namespace tolmi
