#include <gtest/gtest.h>

#include "builder/Freight.h"
#include "project/ProjectFile.h"
#include "tests/builder/BuilderFixture.h"

namespace tolmi::test {
namespace {

class FreightImportTest : public BuilderTest {
 protected:
  FreightImportTest() {
    FreightRegion usa;
    usa.key = "US";
    usa.name = "USA";
    usa.taxRate = "7";
    for (FreightMethod& method : usa.methods) {
      method.costs.fill("1");
      method.rule = "old";
    }
    project.regions = {usa};
    project.deliveryMethodNames = {std::string("Air"), std::string("Sea"), std::nullopt};
  }

  std::vector<KnownRegion> known = {{"CA", "Canada"}, {"NZ", "New Zealand"}};
};

TEST_F(FreightImportTest, TakesRatesRulesAndNamesLineByLine) {
  home.Write("other.stp",
             "TIME=1\r\n"
             "$usa0,2.50,4.00,,,,,,,,,9.00,1.00,10%,|1  \r\n"
             "$canada1,5,,,,,,,,,,,,,|0\n"
             "$Atlantis2,3\n"
             "RULE=2,weight*2\n"
             "RULE=7,ignored\n"
             "FNAME=1,Courier\n"
             "FNAME=5,ignored\n"
             "$no comma\n"
             "$x9,1\n"
             "NODE0=Not freight\n");
  ASSERT_TRUE(ImportFreightTables(project, (home / "other.stp").string(), known, prompter));
  EXPECT_TRUE(project.changed);
  ASSERT_EQ(project.regions.size(), 3u);
  // The existing region keeps its name, key and tax rate; the file's tax rate is not taken.
  const FreightRegion& usa = project.regions[0];
  EXPECT_EQ(usa.name, "USA");
  EXPECT_EQ(usa.key, "US");
  EXPECT_EQ(usa.taxRate, "7");
  EXPECT_EQ(
      usa.methods[0],
      FreightMethod({{"2.50", "4.00", "", "", "", "", "", "", "", "", "9.00", "1.00"}, true, ""}));
  // Records the file does not name are disabled and cleared.
  EXPECT_EQ(usa.methods[1], FreightMethod({{}, false, ""}));
  EXPECT_EQ(usa.methods[2], FreightMethod({{}, false, ""}));
  // A known country takes the list's name and key; "|0" disables the record.
  const FreightRegion& canada = project.regions[1];
  EXPECT_EQ(canada.name, "Canada");
  EXPECT_EQ(canada.key, "CA");
  EXPECT_FALSE(canada.methods[0].enabled);
  EXPECT_FALSE(canada.methods[1].enabled);
  EXPECT_EQ(canada.methods[1].costs[0], "5");
  // An unknown region is named from the line; the rule goes to the last "$" line's region.
  const FreightRegion& atlantis = project.regions[2];
  EXPECT_EQ(atlantis.name, "Atlantis");
  EXPECT_TRUE(atlantis.methods[2].enabled);
  EXPECT_EQ(atlantis.methods[2].costs[0], "3");
  EXPECT_EQ(atlantis.methods[2].rule, "weight*2");
  EXPECT_EQ(project.deliveryMethodNames,
            (std::array<std::optional<std::string>, 3>{"Air", "Courier", std::nullopt}));
}

TEST_F(FreightImportTest, UnreadableFileChangesNothing) {
  StoreProject before;
  before.regions = project.regions;
  std::string path = (home / "missing.stp").string();
  EXPECT_FALSE(ImportFreightTables(project, path, known, prompter));
  EXPECT_EQ(project.regions, before.regions);
  EXPECT_FALSE(project.changed);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "S105: Unable to read project file '" + path + "'");
}

TEST_F(FreightImportTest, ProjectFileRoundTrip) {
  // A project file names regions by key: importing it into an empty project must give
  // regions that are saved and read back the same way.
  StoreProject source;
  FreightRegion nz;
  nz.key = "NZ";
  nz.name = "New Zealand";
  nz.methods[0].costs[0] = "4";
  nz.methods[1].enabled = false;
  nz.methods[2].rule = "flat 5";
  FreightRegion home1;
  home1.key = "Home";
  home1.name = "Home";
  home1.methods[0].costs[3] = "6.5";
  source.regions = {nz, home1};
  source.deliveryMethodNames = {std::string("Air"), std::nullopt, std::string("Post")};
  home.Write("source.stp", ProjectFileText(source, 1700000000, 2034361));

  StoreProject target;
  ASSERT_TRUE(ImportFreightTables(target, (home / "source.stp").string(), known, prompter));
  EXPECT_EQ(target.regions, source.regions);
  EXPECT_EQ(target.deliveryMethodNames[0], "Air");
  EXPECT_EQ(target.deliveryMethodNames[2], "Post");

  // Importing again matches the regions it made (by key or name) instead of adding more.
  ASSERT_TRUE(ImportFreightTables(target, (home / "source.stp").string(), known, prompter));
  EXPECT_EQ(target.regions, source.regions);
}

}  // namespace
}  // namespace tolmi::test
