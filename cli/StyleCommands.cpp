// tolmi-cli commands for style schemes: "styles" lists the style groups with their
// schemes and kinds; "style" chooses a style for a project, installing the
// style's templates into the project (the question is answered with --yes).
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/Globals.h"
#include "app/Home.h"
#include "app/Startup.h"
#include "cli/Cli.h"
#include "cli/CliPrompter.h"
#include "project/Lifecycle.h"
#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"

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

// One command run: the loaded installation with its style schemes.
class StyleRun {
 public:
  explicit StyleRun(Context& ctx) : ctx_(ctx), prompter_(ctx.err, ctx.yes, ctx.no) {}

  bool Start() {
    Result<std::string> home = PrepareHome(ctx_.home);
    if (!home) return Fail(home.status().message());
    StartupHooks hooks;
    hooks.loadStyleSchemes = [this](AppGlobals& globals) {
      LoadSchemes(schemes_, globals.home);
      globals.styles = SchemeStyleRefs(schemes_);
    };
    LoadInstallation(globals_, *home, prompter_, hooks);
    env_ = MakeLifecycleEnv(globals_, prompter_, clock_);
    SetStyleTemplateHooks(env_, schemes_, globals_.session.project);
    return true;
  }

  // An existing file as given, else "Projects/<name>/<name>.stp" of the home.
  bool Open(const std::string& nameOrPath) {
    std::string path;
    if (nameOrPath.find_first_of("/\\") != std::string::npos || FileExists(nameOrPath)) {
      std::error_code ec;
      std::filesystem::path p = std::filesystem::absolute(nameOrPath, ec);
      path = ec ? nameOrPath : p.string();
    } else {
      std::string name = nameOrPath;
      if (name.size() > 4 && name.compare(name.size() - 4, 4, ".stp") == 0)
        name.resize(name.size() - 4);
      path = ProjectFilePath(env_, name);
    }
    if (!OpenProject(globals_.session, env_, path))
      return Fail("cannot open the project '" + path + "'");
    return true;
  }

  bool Fail(const std::string& message) {
    ctx_.err << "tolmi-cli: " << message << "\n";
    ctx_.exitCode = 1;
    return false;
  }

  SchemeList& schemes() { return schemes_; }
  ProjectSession& session() { return globals_.session; }
  const LifecycleEnv& env() const { return env_; }
  CliPrompter& prompter() { return prompter_; }
  std::ostream& out() { return ctx_.out; }

 private:
  Context& ctx_;
  CliPrompter prompter_;
  SystemClock clock_;
  AppGlobals globals_;
  LifecycleEnv env_;
  SchemeList schemes_;
};

void SetupStyles(CLI::App& app, Context& ctx) {
  CLI::App* cmd = app.add_subcommand("styles", "List the style groups and their styles");
  cmd->callback([&ctx] {
    StyleRun run(ctx);
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
    StyleRun run(ctx);
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
