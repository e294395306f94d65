#include "app/Startup.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "app/ReferenceLists.h"
#include "util/Files.h"
#include "util/Paths.h"

namespace tolmi {
namespace {

std::string InHome(const std::string& home, const char* name) {
  return ResolveExistingPath((std::filesystem::path(home) / name).string());
}

void Call(const std::function<void(AppGlobals&)>& hook, AppGlobals& globals) {
  if (hook) hook(globals);
}

}  // namespace

void LoadInstallation(AppGlobals& globals, const std::string& home, Prompter& prompter,
                      const StartupHooks& hooks) {
  globals.home = home;
  SetStartValues(globals);
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  globals.firstRun = !FileExists(InHome(home, "config.ini"));

  (void)LoadDomainList(InHome(home, "domain.dat"), globals.domains, prompter);
  Call(hooks.loadStyleSchemes, globals);
  globals.gateways = LoadGateways(InHome(home, "engines.dat"));
  ReadConfiguration(globals.config, globals.gateways, home, prompter);
  globals.serialCounter = static_cast<std::uint32_t>(globals.config.uid);
  (void)LoadCardList(InHome(home, "cc.dat"), globals.cards, prompter);

  AddDefaultVariables(globals);

  Call(hooks.readProxySettings, globals);
  Call(hooks.chooseFirstStyleGroup, globals);
  Call(hooks.findDefaultBrowser, globals);

  globals.frameFragment = ReadWholeFile(InHome(home, "template/frame.dat")).value_or("");
  globals.indexFragment = ReadWholeFile(InHome(home, "template/index.dat")).value_or("");
}

StartupResult StartUp(AppGlobals& globals, const std::string& home, const CommandLine& commandLine,
                      Prompter& prompter, const StartupHooks& hooks) {
  LoadInstallation(globals, home, prompter, hooks);
  globals.commandLine = commandLine;
  switch (OptionOf(commandLine)) {
    case StartOption::DeleteFolder: {
      std::string folder = FolderToDelete(commandLine.argument);
      // A relative name is relative to the home, the program's installation directory.
      if (!folder.empty() && std::filesystem::path(folder).is_relative())
        folder = (std::filesystem::path(home) / folder).string();
      if (!folder.empty()) {
        if (hooks.deleteFolder)
          hooks.deleteFolder(folder);
        else
          DeleteToRecycleBin(folder);
      }
      return {true, 0};
    }
    case StartOption::ExitAfterConfig:
      return {true, 0};
    default:
      // A project named on the command line opens instead of the remembered one.
      if (!commandLine.argument.empty()) {
        std::error_code error;
        std::filesystem::path named = std::filesystem::absolute(commandLine.argument, error);
        globals.config.file = error ? commandLine.argument : named.lexically_normal().string();
      }
      return {};
  }
}

std::vector<StartAction> MainWindowStartActions(const AppGlobals& globals) {
  std::vector<StartAction> actions;
  if (!globals.config.file.empty()) actions.push_back(StartAction::LoadProject);
  if (globals.config.help) actions.push_back(StartAction::ShowHelp);
  if (globals.config.server.empty())
    actions.push_back(StartAction::OrderServerSettings);
  else if (globals.config.file.empty())
    actions.push_back(StartAction::NewStore);
  switch (OptionOf(globals.commandLine)) {
    case StartOption::NewStore:
      actions.push_back(StartAction::NewStore);
      break;
    case StartOption::BuildStore:
      actions.push_back(StartAction::BuildStore);
      break;
    default:
      break;
  }
  return actions;
}

Status WriteConfigurationAtExit(AppGlobals& globals, bool helpOpen, Prompter& prompter,
                                const StartupHooks& hooks) {
  globals.closing = true;
  globals.config.help = helpOpen ? 1 : 0;
  Call(hooks.saveProxySettings, globals);
  globals.config.file = globals.session.path;
  globals.config.uid = static_cast<int>(globals.serialCounter);
  Status written = WriteConfigFile(
      globals.config, (std::filesystem::path(globals.home) / "config.ini").string(), prompter);
  Call(hooks.writeUserSchemes, globals);
  return written;
}

}  // namespace tolmi
