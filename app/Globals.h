// The application's process-wide values: configuration, reference lists, the
// open project and the version, with their start values. One instance lives for
// the whole run; everything runs on one thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Config.h"
#include "payments/Gateways.h"
#include "project/Lifecycle.h"
#include "project/StoreSettings.h"

namespace tolmi {

// The layout variable every fresh variable list starts with.
inline constexpr const char* kCopyrightVariable = "$COPYRIGHT";
// "Copyright", the copyright sign (byte 169) and "2000".
inline constexpr const char* kCopyrightValue =
    "Copyright\xA9"
    "2000";

struct AppGlobals {
  std::string home;  // the installation directory every relative name is below
  AppConfig config;
  int proxyPort = 80;               // default port of the HTTP proxy setting
  int firewallPort = 21;            // default port of the FTP firewall setting
  std::uint32_t serialCounter = 0;  // the node serial counter, kept as "uid"

  int versionNumber = 0;    // written into project and orders files (2034361)
  std::string versionText;  // "2.09.003"
  int buildNumber = 0;      // 4361

  std::vector<KnownRegion> domains;         // "domain.dat"
  std::vector<InstalledCard> cards;         // "cc.dat"
  std::vector<GatewayDefinition> gateways;  // "engines.dat"
  std::vector<StyleRef> styles;             // the installed style schemes, in order
  std::string frameFragment;                // "template\frame.dat"
  std::string indexFragment;                // "template\index.dat"

  ProjectSession session;  // the open project
  CommandLine commandLine;
  bool firstRun = false;  // "config.ini" did not exist at start
  bool closing = false;
};

// Sets the start values that come before any file is read: view options 255,
// directory participation 1, lower-case links 1, proxy port 80, firewall port
// 21, next order number 1000, remember password 1, the locale's date order, the
// three delivery-method names, a fresh project, and the version values.
void SetStartValues(AppGlobals& globals);

// Adds "$COPYRIGHT" to the layout variables when there are none.
void AddDefaultVariables(AppGlobals& globals);

// The lifecycle's view of the globals. The prompter and clock must outlive it.
LifecycleEnv MakeLifecycleEnv(AppGlobals& globals, Prompter& prompter, const Clock& clock);

}  // namespace tolmi
