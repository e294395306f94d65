// The application's configuration: "config.ini", "server.ini" and "vendor.ini"
// share one key table (keys without regard to case, a later file overrides an
// earlier one), plus a few special lines compared case-sensitively. Only
// "config.ini" is ever written, at exit.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "payments/Gateways.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

// One "Custom Order fields setup" entry: Field Title and Default Value.
struct CustomOrderField {
  std::string title;
  std::string defaultValue;
};

// The product's web-page addresses from "settings.dat".
struct WebAddresses {
  std::string home;       // URL_HOME
  std::string server;     // URL_SERVER
  std::string faq;        // URL_FAQ
  std::string manual;     // URL_MANUAL
  std::string subscribe;  // URL_SUBSCRIBE
  std::string hosting;    // URL_HOSTING
  std::string support;    // URL_SUPPORT
  std::string cookie;     // URL_COOKIE
};

// Every value the configuration files hold, with its start value.
struct AppConfig {
  std::string browser;                       // "browser"
  std::string ld2, ld3, lde;                 // "LD2", "LD3", "LDE": last file-dialog folders
  std::string server;                        // "server": the order server
  std::string server2;                       // "server2": fallback order server
  std::string orderUser;                     // "o_un"
  std::string file;                          // "file": the open project file
  std::string host2;                         // "host2"
  std::string deleteFile;                    // "delete": removed once the file is read
  std::array<std::string, 5> accountFields;  // "o_f1" to "o_f5"
  std::string orderLast;                     // "o_last"
  int orderLeave = 0;                        // "o_leave"
  int orderSave = 1;                         // "o_save": remember the order-server password
  int newWindow = 0;                         // "newwin"
  int help = 0;                              // "help"
  int uid = 0;                               // "uid": the node serial counter
  int orderNumber = 1000;                    // "ordernum"
  int lowerCaseLinks = 1;                    // "case"
  int other = 1;                             // "other": shopping-directory participation
  int control = 0;                           // "control"
  int view = 255;                            // "view": view-option bits
  int dateFormat = 1;                        // "dateformat": 0 m-d-y, 1 d-m-y, 2 y-m-d
  std::array<std::string, 5> recent;         // "L0" to "L4", newest first
  std::array<std::string, 7> sounds;         // "S1" to "S7"
  std::string soundPath;                     // "SP"

  std::vector<CustomOrderField> customFields;  // "FIELD=title,default"
  std::string orderPassword;                   // "o_password=", held in clear
  std::string gateway;  // "gateway=": NAME of the chosen service, "" for none
  std::string host1;    // "host1=": path below the maker's web site

  WebAddresses urls;  // from "settings.dat"
};

// The File menu's recent-project entries take the command ids 19000 to 19004,
// one per "L0" to "L4".
inline constexpr int kCmdRecentProjectFirst = 19000;
inline constexpr int kRecentProjectCount = 5;

// Puts path first in the recent list ("L0"), moving the others down: a path
// already listed moves up instead of appearing twice, empty entries close up,
// and the oldest falls off after five. An empty path changes nothing.
void RememberRecentProject(AppConfig& config, const std::string& path);

// One recent-project entry of the File menu: its command id and project path.
struct RecentProjectEntry {
  int command = 0;
  std::string path;
};

// The entries for the non-empty "L0" to "L4", newest first, numbered from
// kCmdRecentProjectFirst in list order.
std::vector<RecentProjectEntry> RecentProjectEntries(const AppConfig& config);

// The project path of a recent-project command id; "" when the id is not one or
// its entry is empty.
std::string RecentProjectPath(const AppConfig& config, int command);

// The maker's web site that a "host1=" path is appended to.
inline constexpr const char* kMakerSite = "https://www.tolmi.example";

// The hosting information page: the maker's site with "host1", else "host2",
// else URL_HOSTING of "settings.dat".
std::string HostingInfoPage(const AppConfig& config);

// Applies one configuration line: a table key (without regard to case) or one of
// "FIELD=", "o_password=", "gateway=", "host1=" (case-sensitive). The gateway is
// chosen only when gateways has an entry of that exact NAME; otherwise none is.
// Returns true when the line was used.
bool ApplyConfigLine(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                     const std::string& line);

// Reads one configuration file over config (a missing file changes nothing), then
// deletes the "delete" file, applies the "server2" fallback and reads
// "settings.dat" from dir, showing "ERROR W202: Unable to load 'settings.dat'"
// when that fails. path and dir are full paths (dir is the home).
void ReadConfigFile(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                    const std::string& path, const std::string& dir, Prompter& prompter);

// Reads "config.ini", "server.ini" and "vendor.ini" of home in this order.
void ReadConfiguration(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                       const std::string& home, Prompter& prompter);

// The text of "config.ini" for config: "version=", "product=", the table keys in
// table order (empty texts left out, integers always), custom fields, the
// scrambled password when "o_save" is on, and the chosen gateway.
std::string ConfigFileText(const AppConfig& config);

// Writes ConfigFileText to path through a temporary file that is flushed and
// renamed over the old one. On failure shows "ERROR W114: Unable to open file
// 'config.ini'" (titled "Error"), leaves the old file as it was and returns the error.
Status WriteConfigFile(const AppConfig& config, const std::string& path, Prompter& prompter);

}  // namespace tolmi
