// tolmi-cli wizard: a store made from answers given as options, as info shows it; the
// existing-project question, and answers that must write nothing.
#include <gtest/gtest.h>

#include "tests/cli/CliSteps.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

class WizardCommandTest : public ::testing::Test {
 protected:
  WizardCommandTest() { FillHome(home); }
  TestHome home;
};

TEST_F(WizardCommandTest, CreatesTheStoreThatInfoShows) {
  CliRun r = Cli(home, {"wizard", "Wine", "--title", "The Fine Wine Shop", "--style",
                        "Classic/Parchment", "--name", "Ann Lee", "--company", "Fine Wines",
                        "--cards", "visa, MasterCard", "--order-message", "We ship on Mondays.",
                        "--method1", "Air", "--method2=", "--regions", "AU,New Zealand",
                        "--calculation", "order", "--charge", "9.50", "--tax", "on",
                        "--tax-method", "product", "--taxable-regions", "NZ", "--tax-rate", "15%",
                        "--freight-tax", "5"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, (home / "Projects/Wine/Wine.stp").string() + "\n");
  EXPECT_TRUE(FileExists((home / "Projects/Wine/Template/category.htm").string()));

  CliRun info = Cli(home, {"info", "Wine"});
  ASSERT_EQ(info.code, 0) << info.err;
  for (const char* expected : {
           "Store title: The Fine Wine Shop\n",
           "Style: Classic/Parchment\n",
           "Tax calculation: on\n",
           "Freight regions: 2\n",
           "Delivery method 1: Air\nDelivery method 2: \n"
           "Delivery method 3: Surface Mail (3-6 Weeks)\n",
           "Region: Australia (AU), tax -, first band 9.50 - -\n",
           "Region: New Zealand (NZ), tax 15%, first band 9.50 - -\n",
           "Tax method: product based\nFreight tax rate: 5\n",
           "Accepted card names: Visa; MasterCard;\n",
           "Top-level node: Category \"The Fine Wine Shop\" index.html\n"
           "Top-level node: Page \"About Us\" about.html\n",
       }) {
    EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n---\n" << info.out;
  }
  const std::string stp = home.Read("Projects/Wine/Wine.stp");
  EXPECT_NE(stp.find("VAR=$NAME|Ann Lee\n"), std::string::npos) << stp;
  EXPECT_NE(stp.find("OMESSAGE=We ship on Mondays.\n"), std::string::npos);
}

TEST_F(WizardCommandTest, UnknownAnswersWriteNothingAndAnExistingProjectAsks) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--style", "Gothic"}, "unknown style 'Gothic'"},
      {{"--regions", "AU,Atlantis"}, "unknown region 'Atlantis'"},
      {{"--cards", "Diners"}, "unknown card 'Diners'"},
      {{"--regions", "AU", "--taxable-regions", "NZ"}, "taxable region 'NZ' is not one"},
      {{"--calculation", "magic"}, "--calculation takes weight, item, order or none"},
      {{"--tax", "maybe"}, "--tax takes on or off"},
      {{"--tax-method", "both"}, "--tax-method takes product or region"},
  };
  for (const auto& [extra, message] : cases) {
    std::vector<std::string> args = {"wizard", "Wine", "--title", "Wine"};
    args.insert(args.end(), extra.begin(), extra.end());
    CliRun r = Cli(home, args);
    EXPECT_EQ(r.code, 1) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(IsDirectory((home / "Projects/Wine").string())) << message;
  }
  EXPECT_NE(Cli(home, {"wizard", "a,b", "--title", "Wine"}).err.find("Invalid Project Name."), std::string::npos);

  // Over an existing project the question needs an answer: Yes keeps and loads it, No
  // replaces it and keeps it as the newest backup.
  ASSERT_EQ(Cli(home, {"wizard", "Wine", "--title", "First"}).code, 0);
  const std::string first = home.Read("Projects/Wine/Wine.stp");
  CliRun again = Cli(home, {"wizard", "Wine", "--title", "Second"});
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("--yes to keep and load it, or with --no to replace it"),
            std::string::npos)
      << again.err;
  CliRun loaded = Cli(home, {"wizard", "Wine", "--title", "Second", "--yes"});
  ASSERT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_EQ(loaded.out, (home / "Projects/Wine/Wine.stp").string() + "\n");
  EXPECT_EQ(home.Read("Projects/Wine/Wine.stp"), first);
  ASSERT_EQ(Cli(home, {"wizard", "Wine", "--title", "Second", "--no"}).code, 0);
  EXPECT_NE(home.Read("Projects/Wine/Wine.stp").find("STITLE=Second\n"), std::string::npos);
  EXPECT_EQ(home.Read("Projects/Wine/Backup/Wine.stp.1"), first);
}

}  // namespace
}  // namespace tolmi::cli
