// tolmi-cli config: shows the home's configuration, or sets values in "config.ini"
// (KEY=VALUE, the keys of the configuration files, e.g. server=, o_un=, and o_password=
// typed in clear).
// Every assignment is checked before anything is written.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/Config.h"
#include "app/Preferences.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "util/Paths.h"

namespace tolmi::cli {
namespace {

void SetupConfig(CLI::App& app, Context& ctx) {
  auto assignments = std::make_shared<std::vector<std::string>>();
  CLI::App* cmd = app.add_subcommand(
      "config", "Show the configuration, or set KEY=VALUE settings in config.ini");
  cmd->add_option("SETTING", *assignments, "KEY=VALUE, e.g. server=http://127.0.0.1:8080/");
  cmd->callback([&ctx, assignments] {
    CommandRun run(ctx);
    if (!run.Start()) return;
    AppConfig& config = run.globals().config;
    if (assignments->empty()) {
      run.out() << ConfigFileText(config);
      return;
    }
    AppConfig changed = config;
    for (const std::string& line : *assignments) {
      if (line.find('=') == std::string::npos)
        return (void)run.Fail("'" + line + "' is not KEY=VALUE");
      if (!ApplyConfigSetting(changed, run.globals().gateways, line))
        return (void)run.Fail("unknown setting '" + line.substr(0, line.find('=')) + "'");
    }
    const std::string path = JoinPath(run.globals().home, "config.ini");
    if (!StoreConfiguration(run.globals(), changed, run.prompter()).ok())
      return (void)run.Fail("config.ini was not written");
    run.out() << path << "\n";
  });
}

const bool registered = RegisterCommand(&SetupConfig);

}  // namespace
}  // namespace tolmi::cli
