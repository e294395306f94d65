// tolmi-cli commands for style schemes: "styles" lists the style groups with their
// schemes and kinds; "style" chooses a style for a project, installing the
// style's templates into the project (the question is answered with --yes).
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "project/Lifecycle.h"
#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"

namespace tolmi::cli {
namespace {

const char* KindName(int kind) {
  switch (kind) {
    case kSchemeInstalled:
      return "installed";
    case kSchemeUser:
      return "merchant";
    case kSchemeUnavailable:
      return "not available";
    default:
      return "unknown";
  }
}

void SetupStyles(CLI::App& app, Context& ctx) {
  CLI::App* cmd = app.add_subcommand("styles", "List the style groups and their styles");
  cmd->callback([&ctx] {
    CommandRun run(ctx);
    if (!run.Start()) return;
    std::ostream& out = run.out();
    for (const StyleCategory& category : run.schemes().categories) {
      out << (category.name.empty() ? std::string("(no group)") : category.name) << "\n";
      for (const Scheme& scheme : category.schemes)
        out << "  " << scheme.name << " (" << KindName(scheme.kind) << ")\n";
    }
  });
}

void SetupStyle(CLI::App& app, Context& ctx) {
  auto opts = std::make_shared<std::array<std::string, 2>>();
  CLI::App* cmd = app.add_subcommand(
      "style", "Choose a project's style: its templates replace the project's (asks first)");
  cmd->add_option("PROJECT", (*opts)[0], "Project name or .stp file")->required();
  cmd->add_option("STYLE", (*opts)[1], "GROUP/NAME, as 'styles' lists them")->required();
  cmd->callback([&ctx, opts] {
    CommandRun run(ctx);
    if (!run.Start() || !run.Open((*opts)[0])) return;
    const std::string& wanted = (*opts)[1];
    std::optional<SchemeIndex> at = FindSchemeByLayout(run.schemes(), wanted);
    if (!at) {
      run.Fail("no style '" + wanted + "' (see tolmi-cli styles)");
      return;
    }
    if (run.schemes().At(*at)->kind == kSchemeUnavailable) {
      run.Fail("the style '" + wanted + "' is not available: its files are missing");
      return;
    }
    ProjectSession& session = run.session();
    run.app().UpgradeTemplatesNow();
    Result<int> copied = ChooseStyle(session.project, run.schemes(), *at,
                                     session.project.settings.projectDir, run.prompter());
    if (!copied) {
      if (run.prompter().unanswered())
        run.Fail("choosing a style needs an answer (--yes or --no)");
      else
        run.Fail("the style was not changed");
      return;
    }
    Status saved = SaveProject(session, run.env());
    if (!saved) {
      run.Fail(saved.kind() == ErrorKind::Cancelled ? "saving the project was cancelled"
                                                    : "saving the project failed");
      return;
    }
    run.out() << "Style: " << SchemePath(run.schemes(), *at) << "\n"
              << "Templates copied: " << *copied << "\n";
  });
}

const bool registeredStyles = RegisterCommand(&SetupStyles);
const bool registeredStyle = RegisterCommand(&SetupStyle);

}  // namespace
}  // namespace tolmi::cli
