#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"
#include "util/Scramble.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

CliRun ConfigCli(const TestHome& home, std::vector<std::string> args) {
  args.insert(args.begin(), "config");
  return Cli(home, std::move(args));
}

TEST(ConfigCommand, SetsValuesThatTheNextRunReads) {
  TestHome home;
  CliRun set =
      ConfigCli(home, {"server=http://127.0.0.1:8080/", "O_UN=shop", "o_password=secret word"});
  ASSERT_EQ(set.code, 0) << set.err;
  CliRun shown = ConfigCli(home, {});
  ASSERT_EQ(shown.code, 0) << shown.err;
  EXPECT_NE(shown.out.find("\nserver=http://127.0.0.1:8080/\n"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("\no_un=shop\n"), std::string::npos) << shown.out;
  // The password is typed in clear and kept scrambled.
  EXPECT_EQ(shown.out.find("secret word"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("\no_password=" + ScrambleText("secret word") + "\n"), std::string::npos)
      << shown.out;
}

TEST(ConfigCommand, ABadSettingWritesNothing) {
  TestHome home;
  ASSERT_EQ(ConfigCli(home, {"o_un=shop"}).code, 0);
  const std::string before = home.Read("config.ini");
  // One bad assignment among good ones: nothing of the command is written.
  for (const char* bad : {"nosuchkey=1", "server"}) {
    std::vector<std::string> args = {"server=http://changed/", bad};
    CliRun r = ConfigCli(home, args);
    EXPECT_EQ(r.code, 1) << bad;
    EXPECT_NE(r.err.find("tolmi-cli: "), std::string::npos) << r.err;
    EXPECT_EQ(home.Read("config.ini"), before) << bad;
  }
}

}  // namespace
}  // namespace tolmi::cli
