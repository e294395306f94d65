// Settings taken from the environment: the proxy (the store, the environment's proxy, what
// reaches the engines) and the browser launch.
#include "net/ProxySettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Browser.h"
#include "util/SettingsStore.h"

namespace tolmi {
namespace {

// An environment of these variables (for the proxy and the browser).
EnvironmentReader Env(std::map<std::string, std::string> vars) {
  return [vars](const std::string& name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

// "host:port" of an address, "-" for none.
std::string Text(const std::optional<ProxyAddress>& a) {
  return a ? a->host + ":" + std::to_string(a->port) : "-";
}

TEST(ProxySettings, ProxyListEntries) {
  EXPECT_EQ(Text(ParseProxyServerList("p:8080", kProxyFtp)), "p:8080");
  EXPECT_EQ(Text(ParseProxyServerList("ftp=f:21;http=h:3128", kProxyHttp)), "h:3128");
  EXPECT_EQ(Text(ParseProxyServerList("ftp=f:21;http=h:3128", kProxyHttps)), "-");
  // An unknown scheme ends the search.
  EXPECT_EQ(Text(ParseProxyServerList("socks=s:1080;p:80", kProxyHttp)), "-");
  EXPECT_EQ(Text(ParseProxyServerList("HTTP=h", kProxyHttp)), "h:0");
  EXPECT_EQ(Text(ParseProxyServerList("", kProxyHttp)), "-");
  EXPECT_EQ(Text(ParseProxyServerList(";;;", kProxyHttp)), "-");
  EXPECT_EQ(Text(ParseProxyServerList("h:999999", kProxyAny)), "h:0");
}

TEST(ProxySettings, SystemProxyFromTheEnvironment) {
  EXPECT_EQ(Text(SystemProxy(kProxyHttp, Env({}))), "-");
  EXPECT_EQ(Text(SystemProxy(kProxyHttp, Env({{"http_proxy", ""}}))), "-");  // empty is unset
  EXPECT_EQ(Text(SystemProxy(kProxyHttp, Env({{"HTTP_PROXY", "http://user:pw@cache.lan:3128/"}}))),
            "cache.lan:3128");
  auto env =
      Env({{"ftp_proxy", "f:21"}, {"all_proxy", "socks.lan:1080"}, {"http_proxy", "h:8080"}});
  EXPECT_EQ(Text(SystemProxy(kProxyFtp, env)), "f:21");
  EXPECT_EQ(Text(SystemProxy(kProxyHttp, env)), "h:8080");
  EXPECT_EQ(Text(SystemProxy(kProxyHttps, env)), "socks.lan:1080");  // all_proxy for the rest
  EXPECT_EQ(Text(SystemProxy(kProxyHttp, Env({{"http_proxy", "low:1"}, {"HTTP_PROXY", "up:2"}}))),
            "low:1");
}

TEST(ProxySettings, SaveLoadRoundTripAndSystemProxyDeletesProxy) {
  test::TestHome home;
  std::string file = (home / "config/tolmi/settings.ini").string();
  SettingsStore store(file);
  ASSERT_TRUE(store.Load().ok());  // a missing file is an empty store
  ASSERT_TRUE(SaveProxySettings(store, 3, "proxy.lan", 8080, "merchant", "pa ss", Env({})).ok());
  EXPECT_EQ(home.Read("config/tolmi/settings.ini"),
            "[Software\\BREVANTO\\Common]\nproxy=proxy.lan\nport=8080\ntype=3\nusername="
            "merchant\npassword=pa ss\n");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  SettingsStore again(file);
  ASSERT_TRUE(again.Load().ok());
  ProxySettings loaded;
  LoadProxySettings(loaded, again, kProxyHttp, Env({{"http_proxy", "sys:1"}}));
  EXPECT_EQ(loaded.server, (ProxyServerSettings{"proxy.lan", 8080, "merchant", "pa ss"}));
  EXPECT_EQ(loaded.firewall.type, 3);

  // Equal to the system proxy with no user: "proxy" is deleted, so the system applies.
  auto env = Env({{"http_proxy", "http://sys.lan:3128"}});
  ASSERT_TRUE(SaveProxySettings(again, 0, "sys.lan", 3128, "", "", env).ok());
  EXPECT_FALSE(again.Get(kProxySettingsSection, "proxy"));
  EXPECT_FALSE(again.Get(kProxySettingsSection, "username"));
  ProxySettings fromSystem;
  fromSystem.firewall.type = 2;
  LoadProxySettings(fromSystem, again, kProxyHttp, Env({{"http_proxy", "newer.lan:81"}}));
  EXPECT_EQ(fromSystem.server.host + ":" + std::to_string(fromSystem.server.port), "newer.lan:81");
  EXPECT_EQ(fromSystem.firewall.type, 0);  // the saved type holds beside the system proxy
}

TEST(SettingsStore, MalformedFilesAndLineBreaks) {
  test::TestHome home;
  const char kIni[] = "junk\n[a]\n=x\nk=v\r\n[unterminated\nk2=v2\n\0\xff=\n[a]\nk=w\n";
  home.Write("s.ini", std::string(kIni, sizeof kIni - 1));
  SettingsStore store((home / "s.ini").string());
  ASSERT_TRUE(store.Load().ok());
  EXPECT_EQ(store.Get("a", "k"), "w");
  store.Set("a", "evil", "x\n[b]\ny=1");
  ASSERT_TRUE(store.Save().ok());
  SettingsStore back((home / "s.ini").string());
  ASSERT_TRUE(back.Load().ok());
  EXPECT_EQ(back.Get("a", "evil"), "x [b] y=1");
  EXPECT_FALSE(back.HasSection("b"));
  EXPECT_TRUE(back.Remove("a", "evil"));
  EXPECT_FALSE(back.Remove("a", "evil"));
}

// --- Browser launch: which program is started with which page, and the error text ---

class FakeLauncher : public BrowserLauncher {
 public:
  bool Launch(const std::string& program, const std::string& argument) override {
    launched.push_back(program + " " + argument);
    return startable.count(program) != 0;
  }
  bool Exists(const std::string& program) const override { return installed.count(program) != 0; }
  std::set<std::string> installed, startable;
  std::vector<std::string> launched;
};

TEST(Browser, FindsConfiguredThenBrowserVariableThenXdgOpen) {
  FakeLauncher l;
  l.installed = {"xdg-open", "firefox"};
  std::string path, c1, c2;
  FindBrowser(path, c2, c1, l, Env({{"BROWSER", "firefox:chromium"}}));
  EXPECT_EQ(path, "firefox");
  EXPECT_EQ(c1, "xdg-open");
  EXPECT_EQ(c2, "firefox");

  path.clear();
  FindBrowser(path, c2, c1, l, Env({{"BROWSER", "not-installed"}}));
  EXPECT_EQ(path, "xdg-open");

  path = "/opt/browser/bin/run";  // a configured path is kept
  FindBrowser(path, c2, c1, l, Env({}));
  EXPECT_EQ(path, "/opt/browser/bin/run");

  FakeLauncher bare;
  path.clear();
  FindBrowser(path, c2, c1, bare, Env({}));
  EXPECT_EQ(path, "xdg-open");
  EXPECT_EQ(c1, "");
}

TEST(Browser, OpensRelativeNamesFromTheCurrentDirectory) {
  FakeLauncher l;
  l.installed = {"xdg-open"};
  l.startable = {"xdg-open", "mybrowser"};
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(OpenInBrowser(l, "mybrowser", "Projects/store/index.html", kBrowserExistingWindow), 1);
  EXPECT_EQ(OpenInBrowser(l, "", "http://127.0.0.1:8080/", kBrowserNewWindow, Env({})), 1);
  EXPECT_EQ(OpenInBrowser(l, "missing-browser", "a.html", kBrowserExistingWindow), 0);
  ASSERT_EQ(l.launched.size(), 3u);
  EXPECT_EQ(l.launched[0], "mybrowser " + cwd + "/Projects/store/index.html");
  EXPECT_EQ(l.launched[1], "xdg-open http://127.0.0.1:8080/");
}

TEST(Browser, RealLauncherStartsTheProgramWithThePage) {
  test::TestHome home;
  std::string out = (home / "opened.txt").string();
  home.Write("browser.sh", "#!/bin/sh\nprintf '%s' \"$1\" > '" + out + ".tmp' && mv '" + out +
                               ".tmp' '" + out + "'\n");
  std::string script = (home / "browser.sh").string();
  chmod(script.c_str(), 0755);
  SpawnBrowserLauncher launcher;
  EXPECT_TRUE(launcher.Exists(script));
  EXPECT_TRUE(launcher.Exists("sh"));
  EXPECT_FALSE(launcher.Exists((home / "none").string()));
  EXPECT_EQ(OpenInBrowser(launcher, script, "http://127.0.0.1/x y", kBrowserExistingWindow), 1);
  for (int i = 0; i < 200 && home.Read("opened.txt").empty(); ++i) usleep(20000);
  EXPECT_EQ(home.Read("opened.txt"), "http://127.0.0.1/x y");
  EXPECT_EQ(OpenInBrowser(launcher, (home / "none").string(), "a:b", 0), 0);

  test::FakePrompter prompter;
  ShowBrowserError(prompter);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "\"Unable to open the specified Browser. Please check the  Preferences.\"");
  EXPECT_EQ(prompter.shown[0].title, "Browser Error");
}

}  // namespace
}  // namespace tolmi
