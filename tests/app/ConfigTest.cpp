#include "app/Config.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/PackedFile.h"
#include "util/Scramble.h"

namespace tolmi {
namespace {

using test::FakePrompter;
using test::TestHome;

const char kSettingsDat[] = "URL_HOME=http://home.test/\nurl_faq=http://faq.test/\n";

std::vector<GatewayDefinition> TwoGateways() {
  return ParseGateways("NAME=Acme Pay\nNAME=Other\n");
}

TEST(Config, TableKeysIgnoreCaseSpecialKeysDoNot) {
  TestHome home;
  home.Write("settings.dat", kSettingsDat);
  home.Write("config.ini",
             "version=1.00.000\n"
             "View=5\n"
             "SERVER=http://orders.test/cgi\n"
             "o_f1=merchant-7\n"
             "L0=/p/Toys/Toys.stp\n"
             "ordernum=  1234xyz\n"
             "Gateway=Acme Pay\n"
             "FIELD=Gift wrap,No\n"
             "FIELD=no comma here\n"
             "FIELD=Note,\n"
             "host1=/hosting.html\n"
             "uid=99999999999999999999\n"
             "o_password=" +
                 ScrambleText("s3cret") +
                 "\n"
                 "unknown=1\n");
  AppConfig config;
  FakePrompter prompter;
  ReadConfigFile(config, TwoGateways(), (home / "config.ini").string(), home.path().string(),
                 prompter);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(config.view, 5);
  EXPECT_EQ(config.uid, 2147483647);  // clamped, not wrapped
  EXPECT_EQ(config.server, "http://orders.test/cgi");
  EXPECT_EQ(config.accountFields[0], "merchant-7");
  EXPECT_EQ(config.recent[0], "/p/Toys/Toys.stp");
  EXPECT_EQ(config.orderNumber, 1234);
  EXPECT_EQ(config.gateway, "");  // "Gateway=" is not the special key
  ASSERT_EQ(config.customFields.size(), 2u);
  EXPECT_EQ(config.customFields[0].title, "Gift wrap");
  EXPECT_EQ(config.customFields[0].defaultValue, "No");
  EXPECT_EQ(config.customFields[1].title, "Note");
  EXPECT_EQ(config.orderPassword, "s3cret");
  EXPECT_EQ(HostingInfoPage(config), std::string(kMakerSite) + "/hosting.html");
  EXPECT_EQ(config.urls.home, "http://home.test/");
  EXPECT_EQ(config.urls.faq, "http://faq.test/");
  // "gateway" must name a service exactly.
  EXPECT_TRUE(ApplyConfigLine(config, TwoGateways(), "gateway=Other"));
  EXPECT_EQ(config.gateway, "Other");
  EXPECT_TRUE(ApplyConfigLine(config, TwoGateways(), "gateway=other"));
  EXPECT_EQ(config.gateway, "");
}

TEST(Config, LaterFilesOverrideAndServer2IsAFallback) {
  TestHome home;
  home.Write("settings.dat", kSettingsDat);
  home.Write("config.ini", "ordernum=2000\nbrowser=firefox\nserver2=http://backup.test/\n");
  home.Write("vendor.ini", "ORDERNUM=3000\n");
  AppConfig config;
  FakePrompter prompter;
  ReadConfiguration(config, {}, home.path().string(), prompter);
  EXPECT_EQ(config.orderNumber, 3000);
  EXPECT_EQ(config.browser, "firefox");
  EXPECT_EQ(config.server, "http://backup.test/");
  EXPECT_EQ(config.server2, "");  // once "server" is set, the next file forgets "server2"

  // With "server" set, "server2" is forgotten.
  home.Write("server.ini", "server=http://main.test/\n");
  AppConfig second;
  ReadConfiguration(second, {}, home.path().string(), prompter);
  EXPECT_EQ(second.server, "http://main.test/");
  EXPECT_EQ(second.server2, "");
}

TEST(Config, DeleteKeyRemovesAFileOnceRead) {
  TestHome home;
  home.Write("settings.dat", kSettingsDat);
  home.Write("old-installer.exe", "x");
  home.Write("keep/inner.txt", "x");
  home.Write("config.ini", "delete=old-installer.exe\n");
  AppConfig config;
  FakePrompter prompter;
  ReadConfigFile(config, {}, (home / "config.ini").string(), home.path().string(), prompter);
  EXPECT_FALSE(FileExists((home / "old-installer.exe").string()));
  EXPECT_EQ(config.deleteFile, "");

  // A folder named by "delete" is left alone.
  home.Write("config.ini", "delete=keep\n");
  ReadConfigFile(config, {}, (home / "config.ini").string(), home.path().string(), prompter);
  EXPECT_TRUE(FileExists((home / "keep/inner.txt").string()));
}

// A missing or damaged settings.dat is reported each time; a packed one reads as plain text.
TEST(Config, SettingsDatMissingPackedOrDamaged) {
  std::string damaged = PackText("URL_HOME=x\n");
  damaged.resize(damaged.size() - 3);
  const struct {
    const char* name;
    std::optional<std::string> content;
    bool reported;
  } cases[] = {{"missing", std::nullopt, true},
               {"packed", PackText("URL_SUPPORT=http://support.test/\rURL_MANUAL=m\r\n"), false},
               {"damaged", damaged, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestHome home;
    if (c.content) home.Write("settings.dat", *c.content);
    AppConfig config;
    FakePrompter prompter;
    ReadConfigFile(config, {}, (home / "config.ini").string(), home.path().string(), prompter);
    ASSERT_EQ(prompter.shown.size(), c.reported ? 1u : 0u);
    if (c.reported) {
      EXPECT_EQ(prompter.shown[0].text, "ERROR W202: Unable to load 'settings.dat'");
      EXPECT_EQ(prompter.shown[0].title, "Error");
      EXPECT_EQ(config.orderNumber, 1000);  // defaults stay
    } else {
      EXPECT_EQ(config.urls.support, "http://support.test/");
      EXPECT_EQ(config.urls.manual, "m");
    }
  }
}

TEST(Config, WrittenTextInTableOrderWithSpecialLines) {
  AppConfig config;
  config.browser = "/usr/bin/firefox";
  config.sounds[6] = "bye.wav";
  config.soundPath = "/snd";
  config.server = "http://orders.test/";
  config.deleteFile = "";
  config.accountFields[4] = "f5";
  config.recent[1] = "/b.stp";
  config.customFields = {{"Gift wrap", "No, thanks"}, {"", "ignored"}, {"Note", ""}};
  config.control = -3;
  config.orderPassword = "pw";
  config.gateway = "Acme Pay";
  config.dateFormat = 2;  // the other values as a new configuration has them
  EXPECT_EQ(ConfigFileText(config),
            "version=2.09.003\n"
            "product=Tolmi PRO\n"
            "browser=/usr/bin/firefox\n"
            "server=http://orders.test/\n"
            "o_f5=f5\n"
            "o_leave=0\n"
            "o_save=1\n"
            "newwin=0\n"
            "help=0\n"
            "uid=0\n"
            "ordernum=1000\n"
            "case=1\n"
            "other=1\n"
            "control=-3\n"
            "view=255\n"
            "dateformat=2\n"
            "L1=/b.stp\n"
            "S7=bye.wav\n"
            "SP=/snd\n"
            "FIELD=Gift wrap,No, thanks\n"
            "FIELD=Note,\n"
            "o_password=" +
                ScrambleText("pw") +
                "\n"
                "gateway=Acme Pay\n");

  // Read back line by line, the text gives the same values.
  AppConfig back;
  std::istringstream lines(ConfigFileText(config));
  for (std::string line; std::getline(lines, line);) ApplyConfigLine(back, TwoGateways(), line);
  EXPECT_EQ(ConfigFileText(back), ConfigFileText(config));

  // "Remember Password" off drops the password line; empty texts have no line.
  config.orderSave = 0;
  EXPECT_EQ(ConfigFileText(config).find("o_password"), std::string::npos);
  const std::string fresh = ConfigFileText(AppConfig{});
  for (const char* key : {"browser=", "server=", "SP=", "FIELD=", "gateway="})
    EXPECT_EQ(fresh.find(key), std::string::npos) << key;
}

TEST(Config, FailedWriteKeepsTheOldFile) {
  TestHome home;
  home.Write("config.ini", "uid=5\n");
  AppConfig config;
  FakePrompter prompter;
  SetAtomicWriteFaultForTesting(10);
  Status s = WriteConfigFile(config, (home / "config.ini").string(), prompter);
  SetAtomicWriteFaultForTesting(-1);
  EXPECT_FALSE(s.ok());
  EXPECT_EQ(home.Read("config.ini"), "uid=5\n");
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "ERROR W114: Unable to open file 'config.ini'");
  EXPECT_EQ(prompter.shown[0].title, "Error");
}

// The recent list keeps five paths, newest first, each once; gaps close up.
TEST(Config, RecentProjectsNewestFirstWithoutDuplicates) {
  AppConfig config;
  config.recent = {"/p/A.stp", "", "/p/B.stp", "/p/C.stp", "/p/D.stp"};
  struct Step {
    const char* remembered;
    std::array<std::string, 5> expected;
  } steps[] = {
      {"/p/C.stp", {"/p/C.stp", "/p/A.stp", "/p/B.stp", "/p/D.stp", ""}},
      {"/p/E.stp", {"/p/E.stp", "/p/C.stp", "/p/A.stp", "/p/B.stp", "/p/D.stp"}},
      {"/p/F.stp", {"/p/F.stp", "/p/E.stp", "/p/C.stp", "/p/A.stp", "/p/B.stp"}},
      {"/p/F.stp", {"/p/F.stp", "/p/E.stp", "/p/C.stp", "/p/A.stp", "/p/B.stp"}},
      {"", {"/p/F.stp", "/p/E.stp", "/p/C.stp", "/p/A.stp", "/p/B.stp"}},
  };
  for (const Step& step : steps) {
    RememberRecentProject(config, step.remembered);
    EXPECT_EQ(config.recent, step.expected) << step.remembered;
  }
  AppConfig gaps;
  gaps.recent = {"", "/p/X.stp", "", "/p/Y.stp", ""};
  std::vector<RecentProjectEntry> entries = RecentProjectEntries(gaps);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].command, 19000);
  EXPECT_EQ(entries[0].path, "/p/X.stp");
  EXPECT_EQ(entries[1].command, 19001);
  EXPECT_EQ(RecentProjectPath(gaps, 19001), "/p/Y.stp");
  EXPECT_EQ(RecentProjectPath(gaps, 19002), "");
  EXPECT_EQ(RecentProjectPath(gaps, 411), "");
}

}  // namespace
}  // namespace tolmi
