#include "app/HelpFile.h"

#include <gtest/gtest.h>

#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

using test::TestHome;

// The help page of the home, found in any letter case; without one, the open-file error.
TEST(HelpFileTest, ReadsThePageOfTheHomeOrGivesTheOpenFileError) {
  TestHome home;
  Result<std::string> page = ReadHelpFile(home.path().string());
  ASSERT_FALSE(page.ok());
  EXPECT_EQ(page.status().kind(), ErrorKind::NotFound);
  EXPECT_EQ(page.status().message(), "ERROR W114: Unable to open file 'help.htm'");
  home.Write("HELP.HTM", "<p>guide</p>");
  page = ReadHelpFile(home.path().string());
  ASSERT_TRUE(page.ok());
  EXPECT_EQ(*page, "<p>guide</p>");
}

}  // namespace
}  // namespace tolmi
