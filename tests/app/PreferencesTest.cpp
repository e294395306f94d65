// The Preferences record: read, applied to config.ini, the proxy settings store and
// the project, read back; the enabling rules; sound files.
#include <gtest/gtest.h>

#include "app/Preferences.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Scramble.h"

namespace tolmi {
namespace {

class NoBrowsers : public BrowserLauncher {
 public:
  bool Launch(const std::string&, const std::string&) override { return false; }
  bool Exists(const std::string& program) const override { return program == "xdg-open"; }
};

std::optional<std::string> NoEnvironment(const std::string&) {
  return std::nullopt;
}

struct PrefsHome {
  test::TestHome home;
  AppGlobals globals;
  SettingsStore store{(home / "settings.ini").string()};
  test::FakePrompter prompter;
  NoBrowsers launcher;

  PrefsHome() {
    SetStartValues(globals);
    globals.home = home.path().string();
    globals.gateways = ParseGateways("NAME=PayCo\nFIELD1=Merchant ID:\nFIELD3=Key:\n");
    globals.session.path = (home / "Projects/shop/shop.stp").string();
  }
  Preferences Read() { return ReadPreferences(globals, store, launcher, NoEnvironment); }
  Status Apply(const Preferences& p) {
    return ApplyPreferences(p, globals, store, prompter, NoEnvironment);
  }
};

Preferences EveryFieldSet(PrefsHome& s) {
  Preferences p = s.Read();
  p.store = {true, false, true, true, false, 1, false, "https://shop.example/"};
  p.merchant.name = "Ann";
  p.merchant.company = "Tea Ltd";
  p.merchant.website = "http://tea.example/";
  p.orderServer = {"http://127.0.0.1:8080/", "shop", "pass word", true, 5000, true};
  SetGatewayService(p, s.globals.gateways, "PayCo");
  p.gateway.fields = {"m-1", "", "k-3", "", ""};
  p.sounds.files = {"start.wav", "", "C:\\snd\\ftp.wav", "", "", "", "err.wav"};
  p.sounds.folder = "/usr/share/sounds";
  p.proxy = {"proxy.example", 3128, "pu", "pp"};
  p.firewall = {3, "fw.example", 1080, "fu", "fp"};
  p.browser.path = "/usr/bin/firefox";
  p.browser.windowMode = kBrowserNewWindow;
  return p;
}

TEST(PreferencesTest, EveryFieldRoundTripsThroughTheFiles) {
  PrefsHome s;
  Preferences p = EveryFieldSet(s);
  ASSERT_TRUE(s.Apply(p).ok());
  ApplyProxySettings(ProxySettings{});  // the engines go back to no proxy

  const std::string ini = s.home.Read("config.ini");
  for (std::string line : {"o_un=shop", "o_f3=k-3", "o_leave=1", "newwin=1", "ordernum=5000",
                           "other=0", "S3=C:\\snd\\ftp.wav", "gateway=PayCo"}) {
    EXPECT_NE(ini.find("\n" + line + "\n"), std::string::npos) << line;
  }
  EXPECT_NE(ini.find("\no_password=" + ScrambleText("pass word") + "\n"), std::string::npos);

  const std::string proxy = s.home.Read("settings.ini");
  for (std::string value :
       {"proxy=proxy.example", "port=3128", "username=pu", "password=pp", "type=3",
        "fw_host=fw.example", "fw_port=1080", "fw_user=fu", "fw_password=fp"}) {
    EXPECT_NE(proxy.find(value), std::string::npos) << value;
  }

  EXPECT_TRUE(s.globals.session.project.changed);

  // A fresh start reads the same preferences back, the store options from the project.
  PrefsHome again;
  again.globals.session = std::move(s.globals.session);
  again.globals.home = s.globals.home;
  test::FakePrompter quiet;
  ReadConfigFile(again.globals.config, again.globals.gateways, (s.home / "config.ini").string(),
                 s.globals.home, quiet);
  SettingsStore reloaded((s.home / "settings.ini").string());
  ASSERT_TRUE(reloaded.Load().ok());
  EXPECT_EQ(ReadPreferences(again.globals, reloaded, again.launcher, NoEnvironment), p);
}

TEST(PreferencesTest, AnUnchangedApplyLeavesTheProjectAlone) {
  PrefsHome s;
  SetVariable(s.globals.session.project.variables, "$COPYRIGHT", "mine");
  ASSERT_TRUE(s.Apply(s.Read()).ok());
  ApplyProxySettings(ProxySettings{});
  EXPECT_FALSE(s.globals.session.project.changed);
  EXPECT_EQ(*GetVariable(s.globals.session.project.variables, "$COPYRIGHT"), "mine");
  // Without a project the project pages are off and nothing of a project is written.
  s.globals.session.path.clear();
  Preferences p = s.Read();
  EXPECT_FALSE(p.projectOpen);
  p.store.hasBullets = false;
  ASSERT_TRUE(s.Apply(p).ok());
  ApplyProxySettings(ProxySettings{});
  EXPECT_TRUE(s.globals.session.project.settings.hasBullets);
}

TEST(PreferencesTest, AFailedWriteKeepsTheConfiguration) {
  PrefsHome s;
  std::filesystem::create_directories(s.home / "config.ini");  // a folder: cannot be written
  Preferences p = s.Read();
  p.orderServer.serverUrl = "http://127.0.0.1:1/";
  EXPECT_FALSE(s.Apply(p).ok());
  ApplyProxySettings(ProxySettings{});
  EXPECT_EQ(s.globals.config.server, "");
  ASSERT_EQ(s.prompter.shown.size(), 1u);
  EXPECT_EQ(s.prompter.shown[0].text, "ERROR W114: Unable to open file 'config.ini'");
}

TEST(PreferencesTest, GatewayFieldsFollowTheService) {
  PrefsHome s;
  Preferences p = s.Read();
  EXPECT_EQ(p.gateway.labels, (std::array<std::string, 5>{"1:", "2:", "3:", "4:", "5:"}));
  EXPECT_EQ(EnablingFor(p).gatewayFields, (std::array<bool, 5>{}));
  SetGatewayService(p, s.globals.gateways, "PayCo");
  EXPECT_EQ(p.gateway.labels[0], "Merchant ID:");
  EXPECT_EQ(EnablingFor(p).gatewayFields, (std::array<bool, 5>{true, false, true, false, false}));
  SetGatewayService(p, s.globals.gateways, "Gone");  // not in engines.dat: stored as none
  EXPECT_EQ(p.gateway.labels[0], "1:");
  ASSERT_TRUE(s.Apply(p).ok());
  ApplyProxySettings(ProxySettings{});
  EXPECT_EQ(s.globals.config.gateway, "");
}

TEST(PreferencesTest, ProxyAndFirewallEnabling) {
  struct Row {
    const char* proxyHost;
    int type;
    const char* firewallHost;
    PreferencesEnabling expected;
  };
  auto e = [](bool port, bool fwHost, bool fwPassword, bool fwPort) {
    PreferencesEnabling x;
    x.storeOptions = x.merchantDetails = true;
    x.proxyPort = x.proxyUser = x.proxyPassword = port;
    x.firewallHost = x.firewallUser = fwHost;
    x.firewallPassword = fwPassword;
    x.firewallPort = fwPort;
    return x;
  };
  const Row rows[] = {
      {"", 0, "", e(false, false, false, false)},
      {"p", 0, "fw", e(true, false, false, false)},  // None: nothing of the firewall
      {"", 1, "", e(false, true, true, false)},      // no host: no port
      {"", 1, "fw", e(false, true, true, true)},
      {"", 2, "fw", e(false, true, false, true)},  // Socks4 has no password
      {"", 3, "fw", e(false, true, true, true)},
  };
  for (const Row& r : rows) {
    Preferences p;
    p.projectOpen = true;
    p.proxy.host = r.proxyHost;
    p.firewall.type = r.type;
    p.firewall.host = r.firewallHost;
    EXPECT_EQ(EnablingFor(p), r.expected) << r.proxyHost << " " << r.type << " " << r.firewallHost;
  }
}

TEST(PreferencesTest, SoundFiles) {
  AppConfig c;
  c.sounds = {"start.wav", "", "sub\\ftp.wav", "/abs/x.wav", "", "", ""};
  c.soundPath = "/snd";
  const std::vector<std::string> expected = {
      "", "/snd/start.wav", "", "sub/ftp.wav", "/abs/x.wav", "", "", "", ""};
  for (int i = 0; i <= 8; ++i) EXPECT_EQ(SoundFileFor(c, i), expected[i]) << i;
  c.soundPath.clear();
  EXPECT_EQ(SoundFileFor(c, 1), "start.wav");
  // Events by name play their file; an event without one, or no such event, plays nothing.
  struct Recorder : SoundPlayer {
    void Play(const std::string& file) override { played.push_back(file); }
    std::vector<std::string> played;
  } player;
  for (const char* event : {"FtpConnect", "FtpDisconnect", "ProgramStart", "Nothing", ""})
    PlaySoundEvent(c, player, event);
  EXPECT_EQ(player.played, (std::vector<std::string>{"sub/ftp.wav", "/abs/x.wav", "start.wav"}));
}

}  // namespace
}  // namespace tolmi
