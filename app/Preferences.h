// The "Tolmi PRO Preferences" window without the window: one plain record of every
// field of its pages, read from the configuration, the proxy settings store and the
// open project, written back by ApplyPreferences, and the rule for which controls
// are enabled. The window copies the record into its controls and back; nothing else.
//
// Storage: the store options and merchant details belong to the open project (they
// mark it changed); directory participation, the order server, the gateway, the
// sounds and the browser go to "config.ini", written at once the way
// `tolmi-cli config` writes it (StoreConfiguration); the proxy server and the
// firewall type go to the proxy settings store. The firewall host, port, user and
// password are kept in the same store ("fw_host", "fw_port", "fw_user",
// "fw_password"), since the configuration files have no keys for them and they
// would otherwise be lost at exit.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/Globals.h"
#include "net/ProxySettings.h"
#include "project/StoreWizard.h"
#include "util/Browser.h"
#include "util/Platform.h"
#include "util/Result.h"
#include "util/SettingsStore.h"

namespace tolmi {

inline constexpr const char* kPreferencesTitle = "Tolmi PRO Preferences";

// Store options page: the project's StoreSettings flags and AppConfig::other.
struct StoreOptionsPrefs {
  bool has3dCart = false;     // "3D Shopping Cart"
  bool hasBullets = true;     // "Use Bullets"
  bool cartOnScreen = false;  // "Shopping Cart always on Screen"
  bool crlf = false;          // "Translate CR/LF to HTML breaks"
  bool search = true;         // "Product Search"
  int navStyle = 0;           // 0 "Classic (2 Level)", 1 "Browse History (1 Level)"
  bool shoppingDirectory = true;  // AppConfig::other
  std::string storeAddress;       // "Store Address:" (SITEURL), for robots.txt and sitemap.xml
  bool operator==(const StoreOptionsPrefs&) const = default;
};

// "Order Server Settings".
struct OrderServerPrefs {
  std::string serverUrl;          // "Server URL:" (server)
  std::string username;           // "Username:" (o_un)
  std::string password;           // in clear (o_password, stored scrambled)
  bool rememberPassword = true;   // "Remember Password" (o_save)
  int nextOrderNumber = 1000;     // "Next Order Number:" (ordernum)
  bool leaveOrdersOnServer = false;  // "Leave Orders on Server" (o_leave)
  bool operator==(const OrderServerPrefs&) const = default;
};

// "Payment Gateway Setup".
struct GatewayPrefs {
  std::string service;                // "Service:": a gateway NAME, "" for none
  std::array<std::string, 5> fields;  // o_f1 to o_f5
  std::array<std::string, 5> labels;  // FIELD1-5 of the service, "1:"-"5:" without one
  bool operator==(const GatewayPrefs&) const = default;
};

// The sound events S1 to S7 in order.
inline constexpr std::array<const char*, 7> kSoundEventNames = {
    "ProgramStart", "ProgramExit", "FtpConnect", "FtpDisconnect",
    "FtpUpload",    "FtpDownload", "FtpError"};

struct SoundPrefs {
  std::array<std::string, 7> files;  // S1 to S7
  std::string folder;                // SP
  bool operator==(const SoundPrefs&) const = default;
};

// "HTML Browser".
struct BrowserPrefs {
  std::string path;                     // the chosen browser ("browser"; "" = the one found)
  std::vector<std::string> candidates;  // the combo: the path found, then the two candidates
  int windowMode = kBrowserExistingWindow;  // "newwin": "Open in Existing/New Browser Window"
  bool operator==(const BrowserPrefs&) const = default;
};

struct Preferences {
  bool projectOpen = false;  // store options and merchant details need an open project
  StoreOptionsPrefs store;
  MerchantDetails merchant;
  OrderServerPrefs orderServer;
  GatewayPrefs gateway;
  SoundPrefs sounds;
  ProxyServerSettings proxy;   // "Proxy Server Settings"
  FirewallSettings firewall;   // "Firewall"
  BrowserPrefs browser;
  bool operator==(const Preferences&) const = default;
};

// Which controls are enabled.
struct PreferencesEnabling {
  bool storeOptions = false;     // the store options page (a project is open)
  bool merchantDetails = false;  // the Merchant Details page (a project is open)
  std::array<bool, 5> gatewayFields{};  // where the service defines a label
  bool proxyPort = false, proxyUser = false, proxyPassword = false;  // with a server
  bool firewallHost = false, firewallUser = false;  // every type but None
  bool firewallPassword = false;  // Direct Connection and Socks5
  bool firewallPort = false;      // a host and a type other than None
  bool operator==(const PreferencesEnabling&) const = default;
};

// The labels of the five account fields: FIELD1 to FIELD5 of the service, or "1:" to
// "5:" when no service of that NAME exists.
std::array<std::string, 5> GatewayFieldLabels(const std::vector<GatewayDefinition>& gateways,
                                              std::string_view service);

// Chooses the service on the gateway page and takes its field labels.
void SetGatewayService(Preferences& prefs, const std::vector<GatewayDefinition>& gateways,
                       std::string_view service);

// The preferences as they stand: the configuration of globals, the open project
// (globals.session) when there is one, the proxy server (LoadProxySettings: the
// system proxy when none is stored) and firewall from store, and the browser
// candidates (FindBrowser through launcher).
Preferences ReadPreferences(const AppGlobals& globals, const SettingsStore& store,
                            const BrowserLauncher& launcher,
                            const EnvironmentReader& env = ProcessEnvironment());

// Writes the record back: project settings and merchant details (only what differs;
// the project is then marked changed), the configuration through StoreConfiguration,
// the proxy server and firewall type with SaveProxySettings and the firewall values
// beside them, then hands the proxy settings to the HTTP and FTP engines. A gateway
// service that does not exist is stored as none. Returns the first failure; the
// configuration is changed in globals only when "config.ini" was written.
Status ApplyPreferences(const Preferences& prefs, AppGlobals& globals, SettingsStore& store,
                        Prompter& prompter, const EnvironmentReader& env = ProcessEnvironment());

// The proxy settings the record stands for.
ProxySettings ProxySettingsOf(const Preferences& prefs);

// Which controls are enabled for the record.
PreferencesEnabling EnablingFor(const Preferences& prefs);

// Reads the firewall host, port, user and password kept beside the proxy settings
// (values missing from the store are left alone). The type comes with
// LoadProxySettings.
void LoadFirewallSettings(FirewallSettings& firewall, const SettingsStore& store);

// Writes config as the home's "config.ini" (WriteConfigFile) and, when that worked,
// makes it the configuration of globals. Shared with `tolmi-cli config`.
Status StoreConfiguration(AppGlobals& globals, const AppConfig& config, Prompter& prompter);

// One KEY=VALUE setting as `tolmi-cli config` takes it: ApplyConfigLine, except that
// "o_password=" is typed in clear. False for an unknown key or a line without "=".
bool ApplyConfigSetting(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                        const std::string& line);

// Raises a sound event by its name in kSoundEventNames ("FtpConnect"): plays its file
// when one is set; an unknown name or an event without a file plays nothing.
void PlaySoundEvent(const AppConfig& config, SoundPlayer& player, std::string_view event);

// The sound file for event 1 to 7 (S1 to S7): "" when none is set or the event is out
// of range; a name without "\" or "/" is taken from the folder SP (when set); "\"
// becomes "/".
std::string SoundFileFor(const AppConfig& config, int event);

}  // namespace tolmi
