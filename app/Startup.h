// Start-up and shutdown without windows: the fixed order in which the
// installation's files are loaded, the command line's early exits, what the main
// window does first, and writing the configuration at exit.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "util/Platform.h"

namespace tolmi {

// Work that other parts of the program plug in; each may be left empty.
struct StartupHooks {
  // Loads the style schemes: "scheme.dat", then the user's "scheme.ini".
  std::function<void(AppGlobals&)> loadStyleSchemes;
  // Reads the proxy and firewall settings.
  std::function<void(AppGlobals&)> readProxySettings;
  // Chooses the first style group when none is chosen.
  std::function<void(AppGlobals&)> chooseFirstStyleGroup;
  // Finds the default browser.
  std::function<void(AppGlobals&)> findDefaultBrowser;
  // At exit, before "config.ini": saves the proxy settings.
  std::function<void(AppGlobals&)> saveProxySettings;
  // At exit, after "config.ini": writes the user style schemes to "scheme.ini".
  std::function<void(AppGlobals&)> writeUserSchemes;
  // Deletes a folder for "-D" (to the trash); the default uses DeleteToRecycleBin.
  std::function<bool(const std::string& folder)> deleteFolder;
};

// Loads the installation into globals, in this order: start values and version;
// "domain.dat"; the style schemes; "engines.dat"; "config.ini", "server.ini",
// "vendor.ini"; "cc.dat"; the "$COPYRIGHT" variable; the proxy settings, the
// first style group and the browser; "template\frame.dat" and
// "template\index.dat". Missing files are reported and do not stop it.
void LoadInstallation(AppGlobals& globals, const std::string& home, Prompter& prompter,
                      const StartupHooks& hooks = {});

struct StartupResult {
  bool exit = false;  // the command line asks to end before any window
  int exitCode = 0;
};

// The whole start-up: LoadInstallation, then the command line: "-D" deletes the
// folder holding the argument and "-P" ends; both exit with code 0. Otherwise an
// argument names the project to open (made absolute against the current folder)
// in place of the remembered one.
StartupResult StartUp(AppGlobals& globals, const std::string& home, const CommandLine& commandLine,
                      Prompter& prompter, const StartupHooks& hooks = {});

// What the main window does once it exists, in order.
enum class StartAction {
  LoadProject,  // load the remembered project ("file")
  ShowHelp,     // the help window was open at the last exit
  // No order server is configured: open Preferences on "Order Server Settings".
  // (This program has no upgrade program to run instead.)
  OrderServerSettings,
  NewStore,     // command 288: no project remembered, or "-N"
  BuildStore,   // command 1519: "-R", then the application ends
};
std::vector<StartAction> MainWindowStartActions(const AppGlobals& globals);

// At exit: records whether the help window is open, saves the proxy settings,
// writes "config.ini" (with the open project as "file" and the serial counter as
// "uid"), then the user style schemes. Returns the status of "config.ini".
Status WriteConfigurationAtExit(AppGlobals& globals, bool helpOpen, Prompter& prompter,
                                const StartupHooks& hooks = {});

}  // namespace tolmi
