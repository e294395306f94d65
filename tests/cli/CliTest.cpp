#include "cli/Cli.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tolmi::cli {
namespace {

TEST(Cli, VersionAndHelp) {
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"--version"}, out, err), 0);
  EXPECT_EQ(out.str(), "Tolmi PRO 2.09.003\n");

  std::ostringstream helpOut, helpErr;
  EXPECT_EQ(RunCli({"--help"}, helpOut, helpErr), 0);
  EXPECT_NE(helpOut.str().find("--home"), std::string::npos);
}

TEST(Cli, UnknownCommandFails) {
  std::ostringstream out, err;
  EXPECT_NE(RunCli({"no-such-command"}, out, err), 0);
}

}  // namespace
}  // namespace tolmi::cli
