#include "cli/Cli.h"

#include <algorithm>
#include <iostream>

#include "util/Version.h"

namespace tolmi::cli {
namespace {

std::vector<Registrar>& Registry() {
  static std::vector<Registrar> registrars;
  return registrars;
}

}  // namespace

bool RegisterCommand(Registrar registrar) {
  Registry().push_back(registrar);
  return true;
}

CLI::App* CommandGroup(CLI::App& parent, const std::string& name, const std::string& description) {
  for (CLI::App* sub : parent.get_subcommands([](CLI::App*) { return true; }))
    if (sub->get_name() == name) return sub;
  CLI::App* group = parent.add_subcommand(name, description);
  group->require_subcommand(1);
  return group;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Context ctx{out, err, {}, false, false, 0};
  CLI::App app{std::string(kProductName) + " " + VersionText() +
                   ": build, publish and run a small online shop",
               "tolmi-cli"};
  app.fallthrough();
  app.require_subcommand(0, 1);
  bool version = false;
  app.add_flag("--version", version, "Print the version and exit");
  app.add_option("--home", ctx.home,
                 "Home folder (default: $TOLMI_HOME, else ~/.local/share/tolmi)");
  app.add_flag("--yes", ctx.yes, "Answer every question with Yes");
  app.add_flag("--no", ctx.no, "Answer every question with No");
  for (Registrar r : Registry()) r(app, ctx);
  // After the commands, so that only the program's own help lists the questions.
  app.footer(
      "Questions, and what --yes does:\n"
      "  A project with the same name already exists (new, wizard): keeps and loads it;\n"
      "    --no replaces it (the old file becomes the newest backup).\n"
      "  The project file was cut short when it was opened: saves what could be read.\n"
      "  A project created with an older version is overwritten: saves it.\n"
      "  Reverting to a saved version (restore), a new style's templates (style): goes on.\n"
      "  The selected item(s) will be permanently deleted (orders delete in the Trash):\n"
      "    deletes them for good.\n"
      "Without --yes or --no a question stops the command with exit code 1.");

  // "--name=" is an empty value: the parser would take the next argument as the value.
  std::vector<std::string> reversed;
  for (auto arg = args.rbegin(); arg != args.rend(); ++arg) {
    if (arg->size() > 3 && arg->starts_with("--") && arg->back() == '=' &&
        arg->find('=') == arg->size() - 1) {
      reversed.push_back("");
      reversed.push_back(arg->substr(0, arg->size() - 1));
    } else {
      reversed.push_back(*arg);
    }
  }
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err);
  }
  if (version) {
    out << kProductName << " " << VersionText() << "\n";
    return 0;
  }
  if (app.get_subcommands().empty()) {
    out << app.help();
    return 0;
  }
  return ctx.exitCode;
}

}  // namespace tolmi::cli
