#include "app/Preferences.h"

#include <algorithm>

#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

constexpr const char* kFirewallHostKey = "fw_host";
constexpr const char* kFirewallPortKey = "fw_port";
constexpr const char* kFirewallUserKey = "fw_user";
constexpr const char* kFirewallPasswordKey = "fw_password";

// A port as stored: digits only, 1 to 65535; nullopt otherwise.
std::optional<int> ParsePort(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

void PutOrRemove(SettingsStore& store, const char* key, const std::string& value) {
  if (value.empty()) {
    store.Remove(kProxySettingsSection, key);
  } else {
    store.Set(kProxySettingsSection, key, value);
  }
}

}  // namespace

std::array<std::string, 5> GatewayFieldLabels(const std::vector<GatewayDefinition>& gateways,
                                              std::string_view service) {
  if (const GatewayDefinition* g = service.empty() ? nullptr : FindGateway(gateways, service)) {
    return g->fieldLabels;
  }
  return {"1:", "2:", "3:", "4:", "5:"};
}

void SetGatewayService(Preferences& prefs, const std::vector<GatewayDefinition>& gateways,
                       std::string_view service) {
  prefs.gateway.service = std::string(service);
  prefs.gateway.labels = GatewayFieldLabels(gateways, service);
}

void LoadFirewallSettings(FirewallSettings& firewall, const SettingsStore& store) {
  if (auto host = store.Get(kProxySettingsSection, kFirewallHostKey)) firewall.host = *host;
  if (auto port = store.Get(kProxySettingsSection, kFirewallPortKey)) {
    if (auto value = ParsePort(*port)) firewall.port = *value;
  }
  if (auto user = store.Get(kProxySettingsSection, kFirewallUserKey)) firewall.user = *user;
  if (auto password = store.Get(kProxySettingsSection, kFirewallPasswordKey)) {
    firewall.password = *password;
  }
}

Preferences ReadPreferences(const AppGlobals& globals, const SettingsStore& store,
                            const BrowserLauncher& launcher, const EnvironmentReader& env) {
  Preferences p;
  const AppConfig& c = globals.config;
  const ProjectSession& session = globals.session;
  p.projectOpen = !session.path.empty();
  const StoreSettings& s = session.project.settings;
  p.store.has3dCart = s.has3dCart;
  p.store.hasBullets = s.hasBullets;
  p.store.cartOnScreen = s.cartOnScreen;
  p.store.crlf = s.crlf;
  p.store.search = s.search;
  p.store.navStyle = s.navStyle;
  p.store.storeAddress = s.storeAddress;
  p.store.shoppingDirectory = c.other != 0;
  p.merchant = ReadMerchantDetails(session.project.variables);

  p.orderServer.serverUrl = c.server;
  p.orderServer.username = c.orderUser;
  p.orderServer.password = c.orderPassword;
  p.orderServer.rememberPassword = c.orderSave != 0;
  p.orderServer.nextOrderNumber = c.orderNumber;
  p.orderServer.leaveOrdersOnServer = c.orderLeave != 0;

  p.gateway.fields = c.accountFields;
  SetGatewayService(p, globals.gateways, c.gateway);

  p.sounds.files = c.sounds;
  p.sounds.folder = c.soundPath;

  ProxySettings proxy;
  proxy.firewall.port = globals.firewallPort;
  LoadProxySettings(proxy, store, kProxyHttp, env);
  LoadFirewallSettings(proxy.firewall, store);
  p.proxy = proxy.server;
  p.firewall = proxy.firewall;

  p.browser.path = c.browser;
  p.browser.windowMode = c.newWindow != 0 ? kBrowserNewWindow : kBrowserExistingWindow;
  std::string found, candidate2, candidate1;
  FindBrowser(found, candidate2, candidate1, launcher, env);
  for (const std::string& candidate : {found, candidate1, candidate2}) {
    if (!candidate.empty() && std::find(p.browser.candidates.begin(), p.browser.candidates.end(),
                                        candidate) == p.browser.candidates.end()) {
      p.browser.candidates.push_back(candidate);
    }
  }
  return p;
}

ProxySettings ProxySettingsOf(const Preferences& prefs) {
  ProxySettings settings;
  settings.server = prefs.proxy;
  settings.firewall = prefs.firewall;
  return settings;
}

Status ApplyPreferences(const Preferences& prefs, AppGlobals& globals, SettingsStore& store,
                        Prompter& prompter, const EnvironmentReader& env) {
  // The open project.
  StoreProject& project = globals.session.project;
  if (prefs.projectOpen && !globals.session.path.empty()) {
    StoreSettings s = project.settings;
    s.has3dCart = prefs.store.has3dCart;
    s.hasBullets = prefs.store.hasBullets;
    s.cartOnScreen = prefs.store.cartOnScreen;
    s.crlf = prefs.store.crlf;
    s.search = prefs.store.search;
    s.navStyle = static_cast<std::int16_t>(prefs.store.navStyle == 1 ? 1 : 0);
    s.storeAddress = prefs.store.storeAddress;
    StrTrimWhite(s.storeAddress);
    if (!(s == project.settings)) {
      project.settings = std::move(s);
      project.changed = true;
    }
    // Writing the details also rewrites "$COPYRIGHT": only when they were edited.
    if (!(ReadMerchantDetails(project.variables) == prefs.merchant)) {
      WriteMerchantDetails(project.variables, prefs.merchant);
      project.changed = true;
    }
  }

  // The configuration.
  AppConfig c = globals.config;
  c.other = prefs.store.shoppingDirectory ? 1 : 0;
  c.server = prefs.orderServer.serverUrl;
  c.orderUser = prefs.orderServer.username;
  c.orderPassword = prefs.orderServer.password;
  c.orderSave = prefs.orderServer.rememberPassword ? 1 : 0;
  c.orderNumber = prefs.orderServer.nextOrderNumber;
  c.orderLeave = prefs.orderServer.leaveOrdersOnServer ? 1 : 0;
  c.gateway = FindGateway(globals.gateways, prefs.gateway.service) != nullptr
                  ? prefs.gateway.service
                  : std::string();
  c.accountFields = prefs.gateway.fields;
  c.sounds = prefs.sounds.files;
  c.soundPath = prefs.sounds.folder;
  c.browser = prefs.browser.path;
  c.newWindow = prefs.browser.windowMode == kBrowserNewWindow ? 1 : 0;
  Status config = StoreConfiguration(globals, c, prompter);

  // The proxy settings store.
  const FirewallSettings& f = prefs.firewall;
  const int type = (f.type >= 0 && f.type <= 3) ? f.type : 0;
  PutOrRemove(store, kFirewallHostKey, f.host);
  PutOrRemove(store, kFirewallPortKey, f.port > 0 ? std::to_string(f.port) : std::string());
  PutOrRemove(store, kFirewallUserKey, f.user);
  PutOrRemove(store, kFirewallPasswordKey, f.password);
  Status proxy = SaveProxySettings(store, type, prefs.proxy.host, prefs.proxy.port,
                                   prefs.proxy.user, prefs.proxy.password, env);
  ApplyProxySettings(ProxySettingsOf(prefs));
  if (!config.ok()) return config;
  return proxy;
}

PreferencesEnabling EnablingFor(const Preferences& prefs) {
  PreferencesEnabling e;
  e.storeOptions = e.merchantDetails = prefs.projectOpen;
  const bool service = !prefs.gateway.service.empty();
  for (std::size_t i = 0; i < 5; ++i) {
    e.gatewayFields[i] = service && !prefs.gateway.labels[i].empty();
  }
  const bool server = !prefs.proxy.host.empty();
  e.proxyPort = e.proxyUser = e.proxyPassword = server;
  const int type = prefs.firewall.type;
  const bool firewall = type >= 1 && type <= 3;
  e.firewallHost = e.firewallUser = firewall;
  e.firewallPassword = type == 1 || type == 3;
  e.firewallPort = firewall && !prefs.firewall.host.empty();
  return e;
}

Status StoreConfiguration(AppGlobals& globals, const AppConfig& config, Prompter& prompter) {
  Status written = WriteConfigFile(config, JoinPath(globals.home, "config.ini"), prompter);
  if (written.ok()) globals.config = config;
  return written;
}

bool ApplyConfigSetting(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                        const std::string& line) {
  if (line.find('=') == std::string::npos) return false;
  // The files hold the password scrambled; a setting gives it in clear.
  if (line.rfind("o_password=", 0) == 0) {
    config.orderPassword = line.substr(11);
    return true;
  }
  return ApplyConfigLine(config, gateways, line);
}

std::string SoundFileFor(const AppConfig& config, int event) {
  if (event < 1 || event > static_cast<int>(config.sounds.size())) return {};
  std::string name = config.sounds[static_cast<std::size_t>(event - 1)];
  if (name.empty()) return {};
  const bool hasFolder = name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
  if (!hasFolder && !config.soundPath.empty()) return JoinPath(config.soundPath, name);
  std::replace(name.begin(), name.end(), '\\', '/');
  return name;
}

void PlaySoundEvent(const AppConfig& config, SoundPlayer& player, std::string_view event) {
  for (std::size_t i = 0; i < kSoundEventNames.size(); ++i) {
    if (event != kSoundEventNames[i]) continue;
    const std::string file = SoundFileFor(config, static_cast<int>(i) + 1);
    if (!file.empty()) player.Play(file);
    return;
  }
}

}  // namespace tolmi
