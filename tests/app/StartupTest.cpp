#include "app/Startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"

namespace tolmi {
namespace {

using test::FakePrompter;
using test::TestHome;

TEST(CommandLine, OptionsArgumentsFolderAndTitle) {
  const struct {
    const char* line;
    char option;
    const char* argument;
  } cases[] = {
      {"-D C:\\tmp\\old\\x.exe", 'D', "C:\\tmp\\old\\x.exe"},
      {"-N -R \"My Shop/Shop.stp\" other", 'N', "My Shop/Shop.stp"},  // the first option counts
      {"-P\"a b c\" file.stp", 'P', "file.stp"},  // a quote as third character runs to the next
      {"  plain.stp -R", 'R', "plain.stp"},
      {"\"unterminated arg", 0, "unterminated arg"},
      {"-", 0, ""},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.line);
    EXPECT_EQ(line.option, c.option) << c.line;
    EXPECT_EQ(line.argument, c.argument) << c.line;
  }
  EXPECT_EQ(OptionOf(ParseCommandLine("-D x")), StartOption::DeleteFolder);
  EXPECT_EQ(OptionOf(ParseCommandLine("-X")), StartOption::None);
  const CommandLine line =
      ParseCommandLine(std::vector<std::string>{"-r", "-D", "/shops/a b.stp", "x"});
  EXPECT_EQ(OptionOf(line), StartOption::BuildStore);
  EXPECT_EQ(line.argument, "/shops/a b.stp");

  // The folder of "-D" is never the working directory or a root.
  for (const auto& [exe, folder] :
       std::vector<std::pair<std::string, std::string>>{{"C:\\tmp\\old\\x.exe", "C:/tmp/old"},
                                                        {"/tmp/old/x", "/tmp/old"},
                                                        {"x.exe", ""},
                                                        {"/x.exe", ""},
                                                        {"C:\\x.exe", ""},
                                                        {"./x.exe", ""},
                                                        {"", ""}})
    EXPECT_EQ(FolderToDelete(exe), folder) << exe;

  EXPECT_EQ(MainWindowTitle("/home/m/Projects/Toys/Toys.stp"), "Tolmi PRO - Toys");
  EXPECT_EQ(MainWindowTitle("C:\\shop\\Projects\\Toys\\Toys.v2.stp"), "Tolmi PRO - Toys.v2");
}

TEST(Startup, StartValuesAndVersion) {
  AppGlobals g;
  SetStartValues(g);
  EXPECT_EQ(g.versionNumber, 2034361);
  EXPECT_EQ(g.versionText, "2.09.003");
  EXPECT_EQ(g.buildNumber, 4361);
  EXPECT_EQ(
      std::vector<int>({g.config.view, g.config.other, g.config.lowerCaseLinks,
                        g.config.orderNumber, g.config.orderSave, g.proxyPort, g.firewallPort}),
      std::vector<int>({255, 1, 1, 1000, 1, 80, 21}));
  EXPECT_EQ(g.session.project.deliveryMethodNames[0].value_or(""), "Economy Air (2-3 Weeks)");
  EXPECT_EQ(g.session.project.deliveryMethodNames[2].value_or(""), "Surface Mail (3-6 Weeks)");
}

TEST(Startup, EmptyHomeReportsMissingListsInLoadOrder) {
  TestHome home;
  AppGlobals g;
  FakePrompter prompter;
  std::vector<std::string> order;
  StartupHooks hooks;
  hooks.loadStyleSchemes = [&](AppGlobals&) { order.push_back("schemes"); };
  hooks.readProxySettings = [&](AppGlobals& gl) {
    // The configuration and the card list are in place by now.
    order.push_back("proxy " + std::to_string(gl.config.uid));
  };
  hooks.findDefaultBrowser = [&](AppGlobals&) { order.push_back("browser"); };
  home.Write("config.ini", "uid=41\n");
  StartupResult r = StartUp(g, home.path().string(), {}, prompter, hooks);
  EXPECT_FALSE(r.exit);
  std::vector<std::string> texts;
  for (const auto& s : prompter.shown) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "ERROR W106: Unable to Load Domains List 'domain.dat'",
                       "ERROR W202: Unable to load 'settings.dat'",
                       "ERROR W202: Unable to load 'settings.dat'",
                       "ERROR W202: Unable to load 'settings.dat'",
                       "ERROR W107: Unable to open credit card list file 'cc.dat'",
                   }));
  EXPECT_EQ(order, (std::vector<std::string>{"schemes", "proxy 41", "browser"}));
  EXPECT_EQ(g.serialCounter, 41u);
  EXPECT_FALSE(g.firstRun);

  // The layout variables start with the copyright line.
  ASSERT_EQ(g.session.project.variables.size(), 1u);
  EXPECT_EQ(g.session.project.variables[0].name, "$COPYRIGHT");
  EXPECT_EQ(g.session.project.variables[0].value,
            "Copyright\xA9"
            "2000");
}

TEST(Startup, LoadsTheInstallationFiles) {
  TestHome home;
  home.Write("domain.dat", "AU Australia,AUD\n");
  home.Write("cc.dat", "Visa\nAmex\n");
  home.Write("engines.dat", "NAME=Acme\nNAME=Beta\n");
  home.Write("settings.dat", "URL_HOME=h\n");
  home.Write("config.ini", "gateway=Beta\nserver=http://o.test/\n");
  home.Write("Template/frame.dat", "<frame>");
  home.Write("Template/index.dat", "<index>");
  AppGlobals g;
  FakePrompter prompter;
  LoadInstallation(g, home.path().string(), prompter);
  EXPECT_TRUE(prompter.shown.empty());
  ASSERT_EQ(g.domains.size(), 1u);
  EXPECT_EQ(g.cards.size(), 2u);
  EXPECT_EQ(g.gateways.size(), 2u);
  EXPECT_EQ(g.config.gateway, "Beta");
  EXPECT_EQ(g.frameFragment, "<frame>");
  EXPECT_EQ(g.indexFragment, "<index>");
  EXPECT_EQ(g.home, home.path().string());
}

TEST(Startup, DeleteAndExitOptionsEndBeforeAnyWindow) {
  TestHome home;
  home.Write("settings.dat", "");
  home.Write("old/setup.exe", "x");
  AppGlobals g;
  FakePrompter prompter;
  std::vector<std::string> deleted;
  StartupHooks hooks;
  hooks.deleteFolder = [&](const std::string& folder) {
    deleted.push_back(folder);
    return true;
  };
  const std::string exe = (home / "old/setup.exe").string();
  const std::vector<std::string> old = {(home / "old").string()};
  // A quoted full path and a name below the home delete its folder; a bare name nothing.
  for (const auto& [line, folders] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"-D \"" + exe + "\"", old}, {"-D old\\setup.exe", old}, {"-D setup.exe", {}}}) {
    deleted.clear();
    StartupResult r = StartUp(g, home.path().string(), ParseCommandLine(line), prompter, hooks);
    EXPECT_TRUE(r.exit && r.exitCode == 0) << line;
    EXPECT_EQ(deleted, folders) << line;
  }

  // Without a hook the folder really goes.
  StartupResult r = StartUp(g, home.path().string(), ParseCommandLine("-D " + exe), prompter);
  EXPECT_TRUE(r.exit);
  EXPECT_FALSE(FileExists((home / "old").string()));

  r = StartUp(g, home.path().string(), ParseCommandLine("-P"), prompter, hooks);
  EXPECT_TRUE(r.exit);
  EXPECT_EQ(r.exitCode, 0);
  r = StartUp(g, home.path().string(), ParseCommandLine("-N"), prompter, hooks);
  EXPECT_FALSE(r.exit);
}

TEST(Startup, ProjectNamedOnTheCommandLineReplacesTheRememberedOne) {
  TestHome home;
  home.Write("settings.dat", "");
  home.Write("config.ini", "file=/p/Old/Old.stp\nserver=http://o.test/\n");
  FakePrompter prompter;
  const std::string named = (home / "Shop/Shop.stp").string();
  for (const std::string& line : {"\"" + named + "\"", "-N " + named, "-R " + named}) {
    AppGlobals g;
    StartUp(g, home.path().string(), ParseCommandLine(line), prompter);
    EXPECT_EQ(g.config.file, named) << line;
    EXPECT_EQ(MainWindowStartActions(g).front(), StartAction::LoadProject) << line;
  }
  AppGlobals g;
  StartUp(g, home.path().string(), {}, prompter);
  EXPECT_EQ(g.config.file, "/p/Old/Old.stp");
  const CommandLine relative = ParseCommandLine("Shop.stp");
  StartUp(g, home.path().string(), relative, prompter);
  EXPECT_EQ(g.config.file, (std::filesystem::current_path() / "Shop.stp").string());
}

TEST(Startup, FirstActionsOfTheMainWindow) {
  AppGlobals g;
  // A fresh home (no server, no project) opens the order-server settings, never an
  // upgrade program; so it does with a remembered project.
  EXPECT_EQ(MainWindowStartActions(g), std::vector<StartAction>{StartAction::OrderServerSettings});
  g.config.file = "/p/Toys/Toys.stp";
  EXPECT_EQ(MainWindowStartActions(g),
            (std::vector<StartAction>{StartAction::LoadProject, StartAction::OrderServerSettings}));
  g.config.server = "http://o.test/";
  EXPECT_EQ(MainWindowStartActions(g), std::vector<StartAction>{StartAction::LoadProject});
  g.config.file.clear();
  g.config.help = 1;
  EXPECT_EQ(MainWindowStartActions(g),
            (std::vector<StartAction>{StartAction::ShowHelp, StartAction::NewStore}));
  g.config.help = 0;
  g.config.file = "/p/Toys/Toys.stp";
  g.commandLine = ParseCommandLine("-R");
  EXPECT_EQ(MainWindowStartActions(g),
            (std::vector<StartAction>{StartAction::LoadProject, StartAction::BuildStore}));
}

TEST(Startup, ConfigurationWrittenAtExit) {
  TestHome home;
  home.Write("settings.dat", "");
  AppGlobals g;
  FakePrompter prompter;
  LoadInstallation(g, home.path().string(), prompter);
  EXPECT_TRUE(g.firstRun);
  g.serialCounter = 12;
  g.session.path = "/p/Toys/Toys.stp";
  std::vector<std::string> order;
  StartupHooks hooks;
  hooks.saveProxySettings = [&](AppGlobals&) {
    order.push_back(std::string("proxy ") +
                    (FileExists((home / "config.ini").string()) ? "after" : "before"));
  };
  hooks.writeUserSchemes = [&](AppGlobals&) {
    order.push_back(std::string("schemes ") +
                    (FileExists((home / "config.ini").string()) ? "after" : "before"));
  };
  ASSERT_TRUE(WriteConfigurationAtExit(g, true, prompter, hooks).ok());
  EXPECT_EQ(order, (std::vector<std::string>{"proxy before", "schemes after"}));
  const std::string text = home.Read("config.ini");
  EXPECT_NE(text.find("\nfile=/p/Toys/Toys.stp\n"), std::string::npos);
  EXPECT_NE(text.find("\nhelp=1\n"), std::string::npos);
  EXPECT_NE(text.find("\nuid=12\n"), std::string::npos);
  EXPECT_EQ(text.rfind("version=2.09.003\nproduct=Tolmi PRO\n", 0), 0u);
}

}  // namespace
}  // namespace tolmi
