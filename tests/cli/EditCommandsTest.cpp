// tolmi-cli add and import on a fresh project: placing nodes, importing a
// real-world-shaped file, updating by code, and bad input that must change nothing.
#include <gtest/gtest.h>

#include "tests/cli/CliSteps.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

std::string Line(const CliRun& run) {
  return run.out.empty() ? std::string() : run.out.substr(0, run.out.size() - 1);
}

class EditCommandsTest : public ::testing::Test {
 protected:
  EditCommandsTest() {
    FillHome(home);
    CliRun created = Cli(home, {"new", "Wine", "--title", "Wine Shop"});
    EXPECT_EQ(created.code, 0) << created.err;
  }

  std::string Stp() const { return home.Read("Projects/Wine/Wine.stp"); }
  std::string Data(const std::string& name, const std::string& bytes) const {
    home.Write(name, bytes);
    return (home / name).string();
  }

  TestHome home;
};

TEST_F(EditCommandsTest, AddPlacesEveryKindAndRefusalsChangeNothing) {
  CliRun cat = Cli(home, {"add", "Wine", "category", "--title", "Reds", "--under", "index.html"});
  EXPECT_EQ(cat.out, "5.htm\n");  // the four starter nodes took serials 1 to 4
  CliRun shelf = Cli(home, {"add", "Wine", "shelf", "--title", "Offers", "--under", "5.htm"});
  ASSERT_EQ(shelf.code, 0) << shelf.err;
  ASSERT_EQ(Cli(home, {"add", "Wine", "PRODUCT", "--title", "Merlot", "--under", Line(shelf)}).code,
            0);
  EXPECT_EQ(Cli(home, {"add", "Wine", "link"}).out, "(no file)\n");
  // Reds inside the store's category, the shelf inside Reds, the product in the shelf.
  const std::string before = Stp();
  const auto reds = before.find("NODE0=Reds"), offers = before.find("NODE2=Offers");
  ASSERT_NE(reds, std::string::npos) << before;
  EXPECT_LT(reds, offers);
  EXPECT_LT(offers, before.find("NODE1=Merlot"));
  EXPECT_NE(before.find("NODE5=New Link"), std::string::npos);

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"add", "Wine", "widget"}, "unknown kind 'widget'"},
      {{"add", "Wine", "product"}, ""},
      {{"add", "Wine", "product", "--under", "nope.htm"}, "no node has the file 'nope.htm'"},
      {{"add", "Wine", "category", "--under", Line(shelf)}, "cannot be placed"},
      {{"add", "Beer", "page"}, ""},
  };
  for (const auto& [args, message] : refused) {
    CliRun r = Cli(home, args);
    EXPECT_EQ(r.code, 1) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  EXPECT_EQ(Stp(), before);
}

// The import options reach the import: decimal comma, chosen records, update by code.
TEST_F(EditCommandsTest, ImportsChosenRecordsAndUpdatesTheFirstCode) {
  const std::string data = Data("wines.csv",
                                "\"Merlot, \"\"Reserve\"\"\";\"EUR 1.250,50\";M1\r\n\r\n"
                                "Shiraz;9,00;S1\r\nRiesling;\"$ 7,25\";M1\r\nRose;5;R1\r\n");
  CliRun r = Cli(home, {"import", "Wine", data, "--columns", "Title,Cost,Product Code",
                        "--decimal-point", ",", "--under", "index.html", "--records", "1-3"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "3\n");
  EXPECT_NE(r.err.find("3/3 Records imported.\n3 record(s) have been imported.\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(Stp().find("NODE1=Merlot, \"Reserve\"\n"), std::string::npos) << Stp();
  EXPECT_NE(Stp().find("COST=9.00\n"), std::string::npos);
  EXPECT_EQ(Stp().find("Rose"), std::string::npos);  // record 4 was not chosen

  r = Cli(home, {"import", "Wine", Data("prices.txt", "M1|\"$1,999.95\"\nX9|3\n"), "--columns",
                 "Product Code,Cost", "--update"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_NE(r.err.find("1 record(s) have been updated."), std::string::npos);
  EXPECT_NE(Stp().find("COST=1999.95\n"), std::string::npos);
  EXPECT_NE(Stp().find("COST=7.25\n"), std::string::npos);  // the second M1 is untouched
}

TEST_F(EditCommandsTest, HeaderLines) {
  const struct {
    std::string bytes;
    std::vector<std::string> args;
    std::string out, err, kept, dropped;
  } kCases[] = {
      // Without --header a first line whose number column holds no digit is skipped.
      {"Title,Cost\nMerlot,12\n", {"--columns", "Title,Cost"}, "1\n",
       "Record 1 reads like a header line (Cost \"Cost\"): skipped. Give --header to name the "
       "columns by it, or --records to import it.\n",
       "NODE1=Merlot\n", "NODE1=Title\n"},
      // --records says otherwise: the first line is imported as it stands.
      {"Name,Price\nShiraz,9\n", {"--columns", "Title,Cost", "--records", "1-2"}, "2\n", "",
       "NODE1=Name\n", ""},
      // --header: columns by their names; an unknown name is left out; records count after it.
      {"Price;Notes;title\nRiesling;x;y\nRose;\"7\";Rose\n",
       {"--header", "--records", "2"}, "1\n",
       "Column 2 (Notes) names no import target: left out\n", "NODE1=Rose\n",
       "NODE1=Riesling\n"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args = {"import", "Wine", Data("h.csv", c.bytes), "--under",
                                     "index.html"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliRun r = Cli(home, args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, c.out) << c.bytes;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_NE(Stp().find(c.kept), std::string::npos) << Stp();
    if (!c.dropped.empty()) {
      EXPECT_EQ(Stp().find(c.dropped), std::string::npos) << c.bytes;
    }
  }
  CliRun none = Cli(home, {"import", "Wine", Data("n.csv", "a\n"), "--under", "index.html"});
  EXPECT_EQ(none.code, 1);
  EXPECT_NE(none.err.find("give --columns TARGETS, or --header"), std::string::npos);
}

TEST_F(EditCommandsTest, BadInputChangesNothing) {
  const std::string good = Data("good.csv", "Merlot,12\nShiraz,9\n");
  std::string wide;
  for (int i = 0; i < 10000; ++i) wide += "x,";
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"import", "Wine", good, "--columns", "Cost", "--under", "index.html"},
       "When importing new items, the title must be defined.\r\nTo define a title, click on the "
       "appropriate column and select \"Title\" from the menu."},
      {{"import", "Wine", good, "--columns", "Colour"}, "unknown column target 'Colour'"},
      {{"import", "Wine", good, "--columns", "Title", "--records", "x"},
       "--records takes N or N-M, numbered from 1"},
      {{"import", "Wine", good, "--columns", "Title", "--records", "0-1"},
       "--records takes N or N-M, numbered from 1"},
      {{"import", "Wine", good, "--columns", "Title", "--records", "3-5", "--under", "index.html"},
       "the data file has 2 record(s)"},
      {{"import", "Wine", good, "--columns", "Title", "--records", "2-1"}, "runs backwards"},
      {{"import", "Wine", good, "--columns", "Title"}, "give --under FILE"},
      {{"import", "Wine", good, "--columns", "Title", "--under", "about.html"},
       "products cannot be placed by the top-level node of 'about.html'"},
      {{"import", "Wine", good, "--columns", "Title", "--delimiter", ";;"}, "one character"},
      {{"import", "Wine", (home / "missing.csv").string(), "--columns", "Title"},
       "cannot read the data file"},
      {{"import", "Wine", Data("empty.csv", ""), "--columns", "Title"}, "holds no records"},
      {{"import", "Wine", Data("nul.csv", std::string("ok\nMer\0lot,1\n", 13)), "--columns",
        "Title", "--under", "index.html"},
       "record 2 of the data file holds a NUL byte"},
      {{"import", "Wine", Data("wide.csv", wide), "--columns", std::string(26, ',') + "Title",
        "--under", "index.html"},
       "only the first 26 columns can be assigned"},
  };
  const std::string before = Stp();
  for (const Case& c : cases) {
    CliRun r = Cli(home, c.args);
    EXPECT_EQ(r.code, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_EQ(Stp(), before) << c.message;
  }
  EXPECT_FALSE(FileExists((home / "Projects/Wine/Backup/Wine.stp.1").string()));
}

}  // namespace
}  // namespace tolmi::cli
