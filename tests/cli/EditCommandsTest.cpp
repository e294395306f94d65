// tolmi-cli add and import on a fresh project: placing nodes, importing a
// real-world-shaped file, updating by code, and bad input that must change nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/Cli.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"
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
    home.Write("domain.dat", "AU Australia,AUD\n");
    home.Write("cc.dat", "Visa\n");
    home.Write("settings.dat", "URL_HOME=http://home.test/\n");
    home.Write("template/order.dat", "<order>");
    home.Write("template/confirm.dat", "<confirm>");
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

TEST_F(EditCommandsTest, AddPlacesEveryKind) {
  CliRun cat = Cli(home, {"add", "Wine", "category", "--title", "Reds", "--under", "index.html"});
  ASSERT_EQ(cat.code, 0) << cat.err;
  const std::string catFile = Line(cat);
  EXPECT_EQ(catFile, "5.htm");  // the four starter nodes took serials 1 to 4
  CliRun shelf = Cli(home, {"add", "Wine", "shelf", "--title", "Offers", "--under", catFile});
  ASSERT_EQ(shelf.code, 0) << shelf.err;
  CliRun product =
      Cli(home, {"add", "Wine", "PRODUCT", "--title", "Merlot", "--under", Line(shelf)});
  ASSERT_EQ(product.code, 0) << product.err;
  CliRun link = Cli(home, {"add", "Wine", "link"});
  ASSERT_EQ(link.code, 0) << link.err;
  EXPECT_EQ(link.out, "(no file)\n");
  const std::string stp = Stp();
  // Reds inside the store's category, the shelf inside Reds, the product in the shelf.
  const auto reds = stp.find("NODE0=Reds");
  const auto offers = stp.find("NODE2=Offers");
  const auto merlot = stp.find("NODE1=Merlot");
  ASSERT_NE(reds, std::string::npos) << stp;
  ASSERT_NE(offers, std::string::npos);
  ASSERT_NE(merlot, std::string::npos);
  EXPECT_LT(reds, offers);
  EXPECT_LT(offers, merlot);
  EXPECT_NE(stp.find("NODE5=New Link"), std::string::npos);

  // Refusals change nothing: unknown kind, product without a place, a category by a shelf.
  const std::string before = Stp();
  CliRun bad = Cli(home, {"add", "Wine", "widget"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("unknown kind 'widget'"), std::string::npos);
  EXPECT_EQ(Cli(home, {"add", "Wine", "product"}).code, 1);
  CliRun nowhere = Cli(home, {"add", "Wine", "product", "--under", "nope.htm"});
  EXPECT_EQ(nowhere.code, 1);
  EXPECT_NE(nowhere.err.find("no node has the file 'nope.htm'"), std::string::npos);
  CliRun byShelf = Cli(home, {"add", "Wine", "category", "--under", Line(shelf)});
  EXPECT_EQ(byShelf.code, 1);
  EXPECT_NE(byShelf.err.find("cannot be placed"), std::string::npos) << byShelf.err;
  CliRun noProject = Cli(home, {"add", "Beer", "page"});
  EXPECT_EQ(noProject.code, 1);
  EXPECT_EQ(Stp(), before);
}

TEST_F(EditCommandsTest, ImportsARealWorldCsvAndUpdatesTheFirstCode) {
  // Quoted fields with commas and doubled quotes, currency signs, thousands
  // separators, a decimal comma, an empty line and CR LF line ends.
  const std::string data = Data("wines.csv",
                                "\"Merlot, \"\"Reserve\"\"\";\"EUR 1.250,50\";M1;0,75 l\r\n"
                                "\r\n"
                                "Shiraz;9,00;S1;1,5 l\r\n"
                                "Riesling;\"$ 7,25\";M1;Bottle\r\n"
                                "Rose;5;R1;x\r\n");
  CliRun imported =
      Cli(home, {"import", "Wine", data, "--columns", "Title,Cost,Product Code,Label1",
                 "--decimal-point", ",", "--under", "index.html", "--records", "1-3"});
  ASSERT_EQ(imported.code, 0) << imported.err;
  EXPECT_EQ(imported.out, "3\n");
  EXPECT_NE(imported.err.find("3/3 Records imported.\n3 record(s) have been imported.\n"),
            std::string::npos)
      << imported.err;
  std::string stp = Stp();
  EXPECT_NE(stp.find("NODE1=Merlot, \"Reserve\"\n"), std::string::npos) << stp;
  EXPECT_NE(stp.find("COST=1.250.50\n"), std::string::npos);  // a thousands dot stays as read
  EXPECT_NE(stp.find("COST=9.00\n"), std::string::npos);
  EXPECT_NE(stp.find("COST=7.25\n"), std::string::npos);
  EXPECT_NE(stp.find("T1=0.75 l\n"), std::string::npos);
  EXPECT_NE(stp.find("T1=Bottle\n"), std::string::npos);
  EXPECT_EQ(stp.find("Rose"), std::string::npos);  // record 4 was not chosen

  // Dollar prices with thousands commas update the first product coded M1 only.
  const std::string prices = Data("prices.txt", "M1|\"$1,999.95\"\nX9|3\n");
  CliRun updated =
      Cli(home, {"import", "Wine", prices, "--columns", "Product Code,Cost", "--update"});
  ASSERT_EQ(updated.code, 0) << updated.err;
  EXPECT_EQ(updated.out, "1\n");
  EXPECT_NE(updated.err.find("1 record(s) have been updated."), std::string::npos);
  stp = Stp();
  EXPECT_NE(stp.find("COST=1999.95\n"), std::string::npos);
  EXPECT_EQ(stp.find("COST=1.250.50\n"), std::string::npos);
  EXPECT_NE(stp.find("COST=7.25\n"), std::string::npos);  // the second M1 is untouched
}

TEST_F(EditCommandsTest, HeaderLinesAndQuotedLineBreaks) {
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
      // A spreadsheet's line break inside quotes stays in one product.
      {"Port,\"Sweet\r\nand red\",12\n", {"--columns", "Title,Description,Cost"}, "1\n", "",
       "NODE1=Port\n", "NODE1=and red"},
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
  EXPECT_NE(Stp().find("Sweet@@@and red"), std::string::npos) << Stp();
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
      {{"import", "Wine", good, "--columns", "Cost", "--update"},
       "An update operation requires a Product Code field to be defined."},
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
      {{"import", "Wine", Data("blank.csv", "\r\n\n"), "--columns", "Title"}, "holds no records"},
      {{"import", "Wine", Data("nul.csv", std::string("ok\nMer\0lot,1\n", 13)), "--columns",
        "Title", "--under", "index.html"},
       "record 2 of the data file holds a NUL byte"},
      {{"import", "Wine", Data("long.csv", "a\n" + std::string(40001, 'b') + "\n"), "--columns",
        "Title", "--under", "index.html"},
       "Line 2 of the data file is longer than 40000 bytes; nothing was read."},
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

  // Unbalanced quotes and 10,000 columns import what the rules give, without harm.
  const std::string odd = Data("odd.csv", "\"Open, never closed\n" + wide + "\n");
  CliRun r = Cli(home, {"import", "Wine", odd, "--columns", "Title", "--under", "index.html"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");
  EXPECT_NE(Stp().find("NODE1=Open, never closed\n"), std::string::npos);
}

}  // namespace
}  // namespace tolmi::cli
