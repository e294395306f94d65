#include "net/ProxySettings.h"

#include <cstdlib>

#include "net/FtpClient.h"
#include "net/HttpClient.h"
#include "util/SettingsStore.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

int ToPort(std::string_view text) {
  long n = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    n = n * 10 + (text[i] - '0');
    if (n > 65535) return 0;
  }
  return static_cast<int>(n);
}

ProxyAddress SplitHostPort(std::string_view entry) {
  ProxyAddress a;
  std::size_t colon = entry.find(':');
  a.host = std::string(entry.substr(0, colon));
  if (colon != std::string_view::npos) a.port = ToPort(entry.substr(colon + 1));
  return a;
}

// "http://user:pw@host:3128/" -> "host:3128".
std::string EnvironmentEntry(std::string value) {
  std::size_t scheme = value.find("://");
  if (scheme != std::string::npos) value = value.substr(scheme + 3);
  std::size_t slash = value.find('/');
  if (slash != std::string::npos) value = value.substr(0, slash);
  std::size_t at = value.rfind('@');
  if (at != std::string::npos) value = value.substr(at + 1);
  return value;
}

}  // namespace

EnvironmentReader ProcessEnvironment() {
  return [](const std::string& name) -> std::optional<std::string> {
    const char* v = std::getenv(name.c_str());
    if (!v) return std::nullopt;
    return std::string(v);
  };
}

std::optional<ProxyAddress> ParseProxyServerList(std::string_view list, int protocol) {
  static const char* kSchemes[] = {"", "ftp", "gopher", "http", "https"};
  std::string_view wanted = (protocol >= 0 && protocol <= 4) ? kSchemes[protocol] : "";
  std::size_t pos = 0;
  while (pos <= list.size()) {
    std::size_t end = list.find(';', pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view entry = list.substr(pos, end - pos);
    pos = end + 1;
    while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
    while (!entry.empty() && entry.back() == ' ') entry.remove_suffix(1);
    if (entry.empty()) {
      if (end == list.size()) break;
      continue;
    }
    std::size_t eq = entry.find('=');
    if (eq == std::string_view::npos) return SplitHostPort(entry);
    std::string_view scheme = entry.substr(0, eq);
    bool known = false;
    for (int i = 1; i <= 4; ++i) known |= EqualsNoCase(scheme, kSchemes[i]);
    if (!known) return std::nullopt;
    if (!wanted.empty() && EqualsNoCase(scheme, wanted)) return SplitHostPort(entry.substr(eq + 1));
    if (end == list.size()) break;
  }
  return std::nullopt;
}

std::optional<ProxyAddress> SystemProxy(int protocol, const EnvironmentReader& env) {
  auto read = [&](const char* lower) -> std::string {
    std::string upper = ToUpperAscii(lower);
    for (const std::string& name : {std::string(lower), upper}) {
      std::optional<std::string> v = env(name);
      if (v && !v->empty()) return EnvironmentEntry(*v);
    }
    return {};
  };
  std::string list;
  const std::pair<const char*, const char*> perScheme[] = {
      {"http", "http_proxy"}, {"https", "https_proxy"}, {"ftp", "ftp_proxy"}};
  for (const auto& [scheme, variable] : perScheme) {
    std::string v = read(variable);
    if (!v.empty()) list += std::string(scheme) + "=" + v + ";";
  }
  std::string all = read("all_proxy");
  if (!all.empty()) list += all;  // no scheme: applies to every protocol, after the specific ones
  if (list.empty()) return std::nullopt;
  std::optional<ProxyAddress> found = ParseProxyServerList(list, protocol);
  if (found && found->host.empty()) return std::nullopt;
  return found;
}

void LoadProxySettings(ProxySettings& settings, const SettingsStore& store, int protocol,
                       const EnvironmentReader& env) {
  std::optional<std::string> proxy = store.Get(kProxySettingsSection, "proxy");
  if (proxy) {
    settings.server.host = *proxy;
    if (auto port = store.Get(kProxySettingsSection, "port")) settings.server.port = ToPort(*port);
    if (auto user = store.Get(kProxySettingsSection, "username")) settings.server.user = *user;
    if (auto password = store.Get(kProxySettingsSection, "password"))
      settings.server.password = *password;
  } else if (std::optional<ProxyAddress> system = SystemProxy(protocol, env)) {
    settings.server.host = system->host;
    settings.server.port = system->port;
  }
  // The firewall type is read even when the system proxy applies: it is saved in
  // every case, and a firewall without a proxy server must survive a restart.
  if (auto type = store.Get(kProxySettingsSection, "type")) {
    int t = ToPort(*type);
    settings.firewall.type = (t >= 0 && t <= 3) ? t : 0;
  }
}

Status SaveProxySettings(SettingsStore& store, int type, const std::string& host, int port,
                         const std::string& user, const std::string& password,
                         const EnvironmentReader& env) {
  auto put = [&](const char* key, const std::string& value) {
    if (value.empty())
      store.Remove(kProxySettingsSection, key);
    else
      store.Set(kProxySettingsSection, key, value);
  };
  std::string proxy = host;
  std::optional<ProxyAddress> system = SystemProxy(kProxyHttp, env);
  if (system && system->host == host && system->port == port && user.empty()) proxy.clear();
  put("proxy", proxy);
  put("port", std::to_string(port));
  put("type", std::to_string(type));
  put("username", user);
  put("password", password);
  return store.Save();
}

void ApplyProxySettings(const ProxySettings& settings) {
  const ProxyServerSettings& s = settings.server;
  const FirewallSettings& f = settings.firewall;
  if (!s.host.empty())
    HttpSetProxy(1, s.host, s.port, s.user, s.password);
  else
    HttpSetProxy(f.type, f.host, f.port, f.user, f.password);
  FtpSetProxy(f.type, f.host, f.port, f.user, f.password);
}

}  // namespace tolmi
