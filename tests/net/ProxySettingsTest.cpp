// Proxy settings: the store, the environment's proxy, and what reaches the engines.
#include "net/ProxySettings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "tests/support/TestHome.h"
#include "util/SettingsStore.h"

namespace tolmi {
namespace {

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
  EXPECT_EQ(fromSystem.server.host, "newer.lan");
  EXPECT_EQ(fromSystem.server.port, 81);
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

}  // namespace
}  // namespace tolmi
