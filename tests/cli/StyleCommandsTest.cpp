#include <gtest/gtest.h>

#include "tests/cli/CliRunner.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

using test::TestHome;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(StyleCommands, StylesListsGroupsSchemesAndKinds) {
  TestHome home;
  home.Write("scheme.dat",
             "STYLE=Bright\nSCHEMA=One\nDEF=one\nTYP=0\nSCHEMA=Two\nDEF=two\nTYP=0\n"
             "STYLE=Plain\n");
  home.Write("template/one/One.ini", "-Colours\n");
  home.Write("scheme.ini",
             "product=Tolmi PRO\nversion=2\nSTYLE=Bright\n\nSCHEMA=Mine\n"
             "PREVIEW=\nDEF=one\nTYP=1\nSTYLE=\nSCHEMA=Loose\nTYP=1\n");
  CliRun r = Cli(home, {"styles"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Bright\n  One (installed)\n  Two (not available)\n  Mine (merchant)\n"
            "Plain\n(no group)\n  Loose (merchant)\n");
}

TEST(StyleCommands, ChoosingAStyleAsksThenInstallsAndSaves) {
  TestHome home;
  CliRun r = Cli(home, {"new", "Toys", "--title", "Toy Shop"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string stp = "Projects/Toys/Toys.stp";
  const std::string before = home.Read(stp);

  r = Cli(home, {"style", "Toys", "Modern/Meadow"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "In order to use this style, Tolmi PRO needs to assign new templates"))
      << r.err;
  EXPECT_TRUE(Has(r.err, "tolmi-cli: choosing a style needs an answer (--yes or --no)\n"));
  EXPECT_EQ(home.Read(stp), before);

  r = Cli(home, {"--no", "style", "Toys", "Modern/Meadow"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "tolmi-cli: the style was not changed\n")) << r.err;
  EXPECT_EQ(home.Read(stp), before);

  r = Cli(home, {"--yes", "style", "Toys", "Modern/Meadow"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "Style: Modern/Meadow\nTemplates copied: 8\n");
  for (const char* name : {"category.htm", "product.htm", "shelf.htm", "list.htm", "page.htm",
                           "order.htm", "confirm.htm", "search.htm"}) {
    const std::string copy = home.Read(std::string("Projects/Toys/Template/") + name);
    EXPECT_FALSE(copy.empty()) << name;
    EXPECT_EQ(copy, home.Read(std::string("template/meadow/") + name)) << name;
  }
  const std::string saved = home.Read(stp);
  EXPECT_TRUE(Has(saved, "\nLAYOUT=Modern/Meadow\n")) << saved;
  EXPECT_TRUE(Has(saved, "\nTEMP=category.htm\n"));
  EXPECT_TRUE(Has(saved, "\nTEMP=page.htm\n"));
  // The save kept a backup of the file as it was.
  EXPECT_EQ(home.Read("Projects/Toys/Backup/Toys.stp.1"), before);

  r = Cli(home, {"info", "Toys"});
  EXPECT_EQ(r.code, 0);
}

TEST(StyleCommands, UnknownOrMissingStylesFail) {
  TestHome home;
  home.Write("scheme.dat", "STYLE=Bright\nSCHEMA=Gone\nDEF=gone\nTYP=0\n");
  ASSERT_EQ(Cli(home, {"new", "Toys"}).code, 0);
  CliRun r = Cli(home, {"--yes", "style", "Toys", "Bright/Nothing"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "tolmi-cli: no style 'Bright/Nothing' (see tolmi-cli styles)\n")) << r.err;
  r = Cli(home, {"--yes", "style", "Toys", "Bright/Gone"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err,
                  "tolmi-cli: the style 'Bright/Gone' is not available: its files are "
                  "missing\n"))
      << r.err;
  r = Cli(home, {"--yes", "style", "Nobody", "Bright/Gone"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r.err, "tolmi-cli: cannot open the project")) << r.err;
}

TEST(StyleCommands, OpeningAnOlderProjectUpgradesItsTemplates) {
  TestHome home;
  ASSERT_EQ(Cli(home, {"new", "Old"}).code, 0);
  std::string stp = home.Read("Projects/Old/Old.stp");
  const std::size_t at = stp.find("VERSION=");
  ASSERT_NE(at, std::string::npos);
  stp.replace(at, stp.find('\n', at) - at, "VERSION=101003");
  home.Write("Projects/Old/Old.stp", stp);
  home.Write("Projects/Old/Template/shelf.htm", "my shelf");
  home.Write("Projects/Old/Template/order.htm", "my order");
  home.Write("template/order.dat", "installed order");
  home.Write("template/confirm.dat", "installed confirm");

  CliRun r = Cli(home, {"--yes", "style", "Old", "Classic/Slate"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r.err,
                  "needs to replace your Shelf, Order form, and Confirmation page "
                  "templates."))
      << r.err;
  EXPECT_EQ(home.Read("Projects/Old/Template/shelf.bak"), "my shelf");
  EXPECT_EQ(home.Read("Projects/Old/Template/order.bak"), "my order");
  // The chosen style's templates come after the upgrade.
  EXPECT_EQ(home.Read("Projects/Old/Template/order.htm"), home.Read("template/slate/order.htm"));
}

}  // namespace
}  // namespace tolmi::cli
