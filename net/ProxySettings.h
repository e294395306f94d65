// Proxy and firewall settings: kept in the SettingsStore under
// "Software\BREVANTO\Common", the system proxy read from the environment
// (http_proxy, https_proxy, ftp_proxy, all_proxy, either case; set means
// enabled), and handed to the HTTP and FTP engines.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "util/Result.h"

namespace tolmi {

class SettingsStore;

constexpr char kProxySettingsSection[] = "Software\\BREVANTO\\Common";

// Protocol numbers for SystemProxy.
enum : int { kProxyAny = 0, kProxyFtp = 1, kProxyGopher = 2, kProxyHttp = 3, kProxyHttps = 4 };

struct ProxyServerSettings {
  std::string host;
  int port = 0;
  std::string user, password;
  bool operator==(const ProxyServerSettings&) const = default;
};

// type: 0 "None", 1 "Direct Connection", 2 "Socks4", 3 "Socks5".
struct FirewallSettings {
  int type = 0;
  std::string host;
  int port = 21;
  std::string user, password;
  bool operator==(const FirewallSettings&) const = default;
};

struct ProxySettings {
  ProxyServerSettings server;
  FirewallSettings firewall;  // the type comes from the store, the rest from the configuration
};

struct ProxyAddress {
  std::string host;
  int port = 0;
};

// Reads an environment variable (tests pass their own).
using EnvironmentReader = std::function<std::optional<std::string>(const std::string& name)>;
EnvironmentReader ProcessEnvironment();

// The entry of a proxy list ("p:8080", "ftp=f:21;http=h:3128") for protocol:
// an entry without a scheme is taken at once, an entry of the wanted scheme is
// taken, an unknown scheme ends the search with none, others are skipped.
std::optional<ProxyAddress> ParseProxyServerList(std::string_view list, int protocol);
// The system proxy for protocol, from the environment; none when nothing is set.
std::optional<ProxyAddress> SystemProxy(int protocol,
                                        const EnvironmentReader& env = ProcessEnvironment());

// Reads "proxy" (and then "port", "username", "password", "type" as far as
// present) into settings; without "proxy", the system proxy for protocol gives
// the host and port and the type is left alone.
void LoadProxySettings(ProxySettings& settings, const SettingsStore& store,
                       int protocol = kProxyHttp,
                       const EnvironmentReader& env = ProcessEnvironment());
// Writes "proxy", "port", "type", "username", "password" (an empty text deletes
// its value). Settings equal to the system proxy for http with no user delete
// "proxy", so the system setting keeps applying. Saves the store.
Status SaveProxySettings(SettingsStore& store, int type, const std::string& host, int port,
                         const std::string& user, const std::string& password,
                         const EnvironmentReader& env = ProcessEnvironment());
// Hands the settings to the HTTP engine (the proxy server if set, else the
// firewall) and the firewall to the FTP engine.
void ApplyProxySettings(const ProxySettings& settings);

}  // namespace tolmi
