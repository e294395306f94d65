#include "app/AppSession.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi {
namespace {

using test::FakeClock;
using test::FakePrompter;
using test::TestHome;

// A started session in a fresh home, its proxy settings kept inside the home.
struct Started {
  TestHome home;
  FakePrompter prompter;
  FakeClock clock{1700000000};
  AppSession app{home.path().string(), prompter, clock};
  Started() {
    app.SetProxyStorePath((home / "settings.ini").string());
    Result<StartupResult> started = app.Start();
    EXPECT_TRUE(started.ok());
  }
  // A new project "Toys" with twenty pages more than the four starter nodes.
  void NewToys() {
    ASSERT_TRUE(NewProject(app.session(), app.env(), "Toys", "Toys"));
    for (int i = 0; i < 20; ++i) app.editor().NewNode(NodeKind::Page);
  }
};

TEST(AppSession, FreshHomeGetsItsProjectsFolderAndTheShippedSchemes) {
  Started s;
  EXPECT_TRUE(FileExists((s.home / "Projects").string()));
  EXPECT_FALSE(FileExists((s.home / "config.ini").string()));
  EXPECT_EQ(s.app.env().installDir, s.home.path().string());
  EXPECT_FALSE(s.app.globals().styles.empty());  // the shipped schemes were loaded
}

TEST(AppSession, OpenRemembersTheProjectAndSaveWritesEverything) {
  Started s;
  s.NewToys();
  const std::string path = s.app.session().path;
  std::vector<std::size_t> counts;
  s.app.env().saveProgress = [&](std::size_t records) { counts.push_back(records); };
  s.app.session().orderTemplate = "<form>edited</form>";
  s.app.session().orderTemplateChanged = true;
  const std::string confirmBefore = s.home.Read("Projects/Toys/Template/confirm.htm");
  s.app.session().confirmTemplate = "not flagged, not written";
  int invoiceSaves = 0;
  s.app.env().saveInvoiceTemplates = [&] {
    ++invoiceSaves;
    return Status::Ok();
  };
  ASSERT_TRUE(s.app.Save());

  EXPECT_EQ(counts, (std::vector<std::size_t>{12, 24}));
  EXPECT_EQ(s.home.Read("Projects/Toys/Template/order.htm"), "<form>edited</form>");
  EXPECT_EQ(s.home.Read("Projects/Toys/Template/confirm.htm"), confirmBefore);
  EXPECT_FALSE(s.app.session().orderTemplateChanged);
  EXPECT_EQ(invoiceSaves, 1);
  EXPECT_FALSE(s.app.anyChanged());
  // The save wrote "config.ini" with the project as "file".
  EXPECT_NE(s.home.Read("config.ini").find("file=" + path + "\n"), std::string::npos);

  // Opening puts the project first in the recent list, written with the configuration.
  s.app.config().recent = {"/old/A.stp", path, "", "", ""};
  ASSERT_TRUE(s.app.Open(path));
  ASSERT_TRUE(s.app.WriteConfig());
  EXPECT_NE(s.home.Read("config.ini").find("L0=" + path + "\nL1=/old/A.stp\n"),
            std::string::npos);

  // Save As goes first in the list too (the comma becomes "_").
  ASSERT_TRUE(s.app.SaveAs("My, Shop"));
  const std::string saved = (s.home / "Projects/My_ Shop/My_ Shop.stp").string();
  EXPECT_EQ(s.app.session().path, saved);
  EXPECT_EQ(s.app.config().recent[0], saved);

  // A failed open forgets the project and leaves the recent list alone.
  EXPECT_FALSE(s.app.Open((s.home / "Projects/None/None.stp").string()));
  EXPECT_EQ(s.app.session().path, "");
  EXPECT_EQ(s.app.config().recent[0], saved);
}

// A template or invoice save that fails is reported and keeps Save enabled.
TEST(AppSession, FailedTemplateSaveKeepsTheProjectChanged) {
  Started s;
  s.NewToys();
  const std::filesystem::path order = s.home / "Projects/Toys/Template/order.htm";
  std::filesystem::remove(order);
  std::filesystem::create_directories(order / "blocked");  // a folder where the file goes
  s.app.session().orderTemplate = "text";
  s.app.session().orderTemplateChanged = true;
  EXPECT_FALSE(s.app.Save());
  ASSERT_FALSE(s.prompter.shown.empty());
  EXPECT_EQ(s.prompter.shown.back().text,
            "ERROR M102: Unable to save template '" + order.string() + "'");
  EXPECT_EQ(s.prompter.shown.back().title, "Error");
  EXPECT_TRUE(s.app.session().orderTemplateChanged);
  EXPECT_EQ(s.app.changedFlags(), kProjectChangedBit);
  EXPECT_TRUE(FileExists(s.app.session().path));  // the project file itself was written

  std::filesystem::remove_all(order);
  s.app.env().saveInvoiceTemplates = [] { return Status::Error(ErrorKind::Io, "I101"); };
  EXPECT_FALSE(s.app.Save());
  EXPECT_FALSE(s.app.session().orderTemplateChanged);  // written this time
  EXPECT_TRUE(s.app.project().changed);
}

TEST(AppSession, ChangeFlagsAndOrdersSave) {
  Started s;
  ASSERT_TRUE(s.app.LoadOrdersOnce());
  EXPECT_EQ(s.app.changedFlags(), 0u);
  s.app.orders().changed = true;
  EXPECT_EQ(s.app.changedFlags(), kOrdersChangedBit);
  s.app.project().changed = true;
  EXPECT_EQ(s.app.changedFlags(), kProjectChangedBit | kOrdersChangedBit);
  EXPECT_TRUE(s.app.anyChanged());
  s.app.ClearChanged();
  EXPECT_FALSE(s.app.anyChanged());

  // Twenty-five orders and the two folders: the count after every twelfth record.
  for (int i = 0; i < 25; ++i) {
    OrderRecord order;
    order.kind = RecordKind::Order;
    order.name = std::to_string(1000 + i);
    s.app.orders().records.push_back(order);
  }
  s.app.orders().changed = true;
  std::vector<std::size_t> counts;
  ASSERT_TRUE(s.app.SaveOrdersFile([&](std::size_t n) { counts.push_back(n); }));
  EXPECT_FALSE(s.app.orders().changed);
  EXPECT_EQ(counts, (std::vector<std::size_t>{12, 24}));
  EXPECT_TRUE(FileExists((s.home / "orders.ost").string()));
}

// Build, invoice and charge set-ups take their values from the configuration and the clock.
TEST(AppSession, SetUpsFollowTheConfiguration) {
  Started s;
  AppConfig& config = s.app.config();
  config.server = "http://127.0.0.1:9/orders";
  config.orderUser = "shop";
  config.lowerCaseLinks = 0;
  config.other = 0;
  config.dateFormat = 2;
  config.accountFields = {"f1", "f2", "", "", ""};
  BuildOptions options = s.app.MakeBuildOptions();
  EXPECT_EQ(options.orderServer + " " + options.orderUser, "http://127.0.0.1:9/orders shop");
  EXPECT_FALSE(options.lowerCase);
  EXPECT_FALSE(options.otherStores);

  s.NewToys();
  SetVariable(s.app.project().variables, "$COMPANY", "Toy Co");
  std::unique_ptr<BuildSession> build = s.app.MakeBuildSession();
  EXPECT_FALSE(build->orderTemplate.empty());
  EXPECT_EQ(build->orderTemplate, s.app.session().orderTemplate);

  InvoiceSettings invoice = s.app.MakeInvoiceSettings(&s.app.project());
  EXPECT_EQ(invoice.orderUser + " " + invoice.accountFields[1], "shop f2");
  EXPECT_EQ(invoice.now, 1700000000);
  EXPECT_EQ(invoice.formatDate(1700000000).substr(0, 2), "23");  // year first

  ChargeContext charge = s.app.MakeChargeContext();
  EXPECT_EQ(charge.company + " " + charge.account[0], "Toy Co f1");
  EXPECT_EQ(charge.dateOrder, 2);
}

TEST(AppSession, AFirewallWithoutAProxyServerSurvivesARestart) {
  Started s;
  s.home.Write("settings.ini",
               "[Software\\BREVANTO\\Common]\ntype=3\nfw_host=fw.lan\nfw_port=1080\n"
               "fw_user=fu\nfw_password=fp\n");
  FakePrompter prompter;
  FakeClock clock;
  AppSession again(s.home.path().string(), prompter, clock);
  again.SetProxyStorePath((s.home / "settings.ini").string());
  ASSERT_TRUE(again.Start().ok());
  const FirewallSettings& f = again.proxy().firewall;
  EXPECT_EQ(f.type, 3);
  EXPECT_EQ(f.host, "fw.lan");
  EXPECT_EQ(f.port, 1080);
  EXPECT_EQ(f.user + "/" + f.password, "fu/fp");
  EXPECT_TRUE(again.proxy().server.host.empty());
}

}  // namespace
}  // namespace tolmi
