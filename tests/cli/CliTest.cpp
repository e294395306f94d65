#include "cli/Cli.h"
#include "cli/CliPrompter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tolmi::cli {
namespace {

TEST(Cli, VersionHelpAndUnknownCommand) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--version"}, out, err), 0);
  EXPECT_EQ(out.str(), "Tolmi PRO 2.09.003\n");

  // The help says what Yes does to each question (only the program's own help).
  std::ostringstream help, build, unused;
  EXPECT_EQ(RunCli({"--help"}, help, unused), 0);
  EXPECT_NE(help.str().find("--home"), std::string::npos);
  EXPECT_NE(help.str().find("  A project with the same name already exists (new, wizard): keeps "
                            "and loads it;\n"),
            std::string::npos)
      << help.str();
  EXPECT_EQ(RunCli({"build", "--help"}, build, unused), 0);
  EXPECT_EQ(build.str().find("Questions"), std::string::npos);
  EXPECT_NE(RunCli({"no-such-command"}, out, err), 0);
}

// --yes / --no answer every kind of question in its own terms; OK/Cancel
// questions answer Ok or Cancel and say so on stderr.
TEST(Cli, PrompterAnswersEachButtonSet) {
  struct Case {
    bool yes, no;
    PromptButtons buttons;
    PromptAnswer answer;
    const char* line;
  } cases[] = {
      {true, false, PromptButtons::YesNo, PromptAnswer::Yes, "Go? [yes]\n"},
      {false, true, PromptButtons::YesNoCancel, PromptAnswer::No, "Go? [no]\n"},
      {true, false, PromptButtons::OkCancel, PromptAnswer::Ok, "Go? [ok]\n"},
      {false, true, PromptButtons::OkCancel, PromptAnswer::Cancel, "Go? [cancel]\n"},
  };
  for (const Case& c : cases) {
    std::ostringstream err;
    CliPrompter prompter(err, c.yes, c.no);
    EXPECT_EQ(prompter.Ask("Go?", "Confirmation", c.buttons), c.answer) << c.line;
    EXPECT_EQ(err.str(), c.line);
    EXPECT_FALSE(prompter.unanswered());
  }
  std::ostringstream err;
  CliPrompter unanswered(err, false, false);
  EXPECT_EQ(unanswered.Ask("Go?", "Confirmation", PromptButtons::OkCancel), PromptAnswer::Cancel);
  EXPECT_TRUE(unanswered.unanswered());
}

}  // namespace
}  // namespace tolmi::cli
