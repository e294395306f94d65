// tolmi-cli wizard: a store made from answers given as options, shown by info;
// defaults, the existing-project question, and answers that must write nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

class WizardCommandTest : public ::testing::Test {
 protected:
  WizardCommandTest() {
    home.Write("domain.dat", "AU Australia,AUD\nNZ New Zealand,NZD\nUS United States,USD\n");
    home.Write("cc.dat", "Visa\nMasterCard\n");
    home.Write("settings.dat", "URL_HOME=http://home.test/\n");
  }
  TestHome home;
};

TEST_F(WizardCommandTest, CreatesTheStoreThatInfoShows) {
  CliRun r = Cli(home, {"wizard",
                        "Wine",
                        "--title",
                        "The Fine Wine Shop",
                        "--style",
                        "Classic/Parchment",
                        "--name",
                        "Ann Lee",
                        "--company",
                        "Fine Wines",
                        "--email",
                        "ann@wine.test",
                        "--cards",
                        "visa, MasterCard",
                        "--order-message",
                        "We ship on Mondays.",
                        "--method1",
                        "Air",
                        "--method2",
                        "",
                        "--regions",
                        "AU,New Zealand",
                        "--calculation",
                        "order",
                        "--charge",
                        "9.50",
                        "--tax",
                        "on",
                        "--tax-method",
                        "product",
                        "--taxable-regions",
                        "NZ",
                        "--tax-rate",
                        "15%",
                        "--freight-tax",
                        "5"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string path = (home / "Projects/Wine/Wine.stp").string();
  EXPECT_EQ(r.out, path + "\n");
  EXPECT_TRUE(FileExists((home / "Projects/Wine/Template/category.htm").string()));

  CliRun info = Cli(home, {"info", "Wine"});
  ASSERT_EQ(info.code, 0) << info.err;
  for (const char* expected : {
           "Store title: The Fine Wine Shop\n",
           "Nodes: 4\nCategories: 1\nProducts: 0\nShelves: 0\nLists: 0\nPages: 3\n",
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
           "Top-level node: Page \"About Us\" about.html\n"
           "Top-level node: Page \"News\" news.html\n"
           "Top-level node: Page \"Contact Us\" contact.html\n",
       }) {
    EXPECT_NE(info.out.find(expected), std::string::npos) << expected << "\n---\n" << info.out;
  }
  const std::string stp = home.Read("Projects/Wine/Wine.stp");
  EXPECT_NE(stp.find("VAR=$NAME|Ann Lee\n"), std::string::npos) << stp;
  EXPECT_NE(stp.find("VAR=$COPYRIGHT|Copyright \xA9"
                     "2001 Fine Wines\n"),
            std::string::npos);
  EXPECT_NE(stp.find("OMESSAGE=We ship on Mondays.\n"), std::string::npos);
  EXPECT_NE(stp.find("CMESSAGE=Thank you for your order.\n"), std::string::npos);
  EXPECT_NE(stp.find("TAXD=1\n"), std::string::npos);
}

TEST_F(WizardCommandTest, UnansweredOptionsTakeTheStartValues) {
  CliRun r = Cli(home, {"wizard", "Shop", "--title", "Corner Shop"});
  ASSERT_EQ(r.code, 0) << r.err;
  CliRun info = Cli(home, {"info", "Shop"});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_NE(info.out.find("Style: Modern/Harbour\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("Delivery method 1: Economy Air (2-3 Weeks)\n"
                          "Delivery method 2: Express Courier (1-3 Days)\n"),
            std::string::npos);
  EXPECT_NE(info.out.find("Tax calculation: off\n"), std::string::npos);
  EXPECT_NE(info.out.find("Freight regions: 0\n"), std::string::npos);
  const std::string stp = home.Read("Projects/Shop/Shop.stp");
  EXPECT_NE(stp.find("OMESSAGE=This form is running on an Tolmi Secure Server.<br>@@@All "
                     "information will be encrypted before transmission.\n"),
            std::string::npos)
      << stp;
}

TEST_F(WizardCommandTest, UnknownAnswersWriteNothing) {
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
  CliRun bad = Cli(home, {"wizard", "a,b", "--title", "Wine"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("Invalid Project Name."), std::string::npos);
}

TEST_F(WizardCommandTest, ExistingProjectAsksAndYesLoadsIt) {
  ASSERT_EQ(Cli(home, {"wizard", "Wine", "--title", "First"}).code, 0);
  const std::string first = home.Read("Projects/Wine/Wine.stp");
  CliRun again = Cli(home, {"wizard", "Wine", "--title", "Second"});
  EXPECT_EQ(again.code, 1);
  EXPECT_NE(again.err.find("A project with the same name already exists.  Would you like to load "
                           "this project instead?"),
            std::string::npos)
      << again.err;
  EXPECT_NE(again.err.find("--yes to keep and load it, or with --no to replace it"),
            std::string::npos);
  EXPECT_EQ(home.Read("Projects/Wine/Wine.stp"), first);

  // Yes loads the existing project: nothing is replaced.
  CliRun loaded = Cli(home, {"wizard", "Wine", "--title", "Second", "--yes"});
  ASSERT_EQ(loaded.code, 0) << loaded.err;
  EXPECT_EQ(loaded.out, (home / "Projects/Wine/Wine.stp").string() + "\n");
  EXPECT_EQ(home.Read("Projects/Wine/Wine.stp"), first);

  CliRun replaced = Cli(home, {"wizard", "Wine", "--title", "Second", "--no"});
  ASSERT_EQ(replaced.code, 0) << replaced.err;
  EXPECT_NE(home.Read("Projects/Wine/Wine.stp").find("STITLE=Second\n"), std::string::npos);
  // The replaced project is kept as the newest backup.
  EXPECT_EQ(home.Read("Projects/Wine/Backup/Wine.stp.1"), first);
}

}  // namespace
}  // namespace tolmi::cli
