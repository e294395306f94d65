// tolmi-cli commands of the store builder: "build" builds a project's store and
// prints the build log as it runs; "preview" makes one node's page in the
// preview folder and prints the page to open.
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/Globals.h"
#include "app/Home.h"
#include "app/Startup.h"
#include "builder/BuildDriver.h"
#include "builder/BuildSession.h"
#include "cli/Cli.h"
#include "cli/CliPrompter.h"
#include "project/Lifecycle.h"
#include "project/ProjectFile.h"
#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"
#include "util/Browser.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

struct BuildArgs {
  std::string project;
  std::string dir;
  std::vector<std::string> selected;
  bool open = false;
  bool save = false;
  std::string file;
};

// One command run: the installation, its schemes and the opened project.
class BuilderRun {
 public:
  explicit BuilderRun(Context& ctx) : ctx_(ctx), prompter_(ctx.err, ctx.yes, ctx.no) {}

  bool Start(const std::string& nameOrPath) {
    Result<std::string> home = PrepareHome(ctx_.home);
    if (!home) return Fail(home.status().message());
    StartupHooks hooks;
    hooks.loadStyleSchemes = [this](AppGlobals& globals) {
      LoadSchemes(schemes_, globals.home);
      globals.styles = SchemeStyleRefs(schemes_);
    };
    LoadInstallation(globals_, *home, prompter_, hooks);
    env_ = MakeLifecycleEnv(globals_, prompter_, clock_);
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
    StoreProject& project = globals_.session.project;
    if (project.settings.style)
      if (std::optional<SchemeIndex> at = FindScheme(schemes_, *project.settings.style))
        schemes_.current = at;
    session_ = std::make_unique<BuildSession>(project, schemes_, prompter_);
    BuildOptions& options = session_->options;
    options.installDir = globals_.home;
    options.orderServer = globals_.config.server;
    options.orderUser = globals_.config.orderUser;
    options.lowerCase = globals_.config.lowerCaseLinks != 0;
    options.otherStores = globals_.config.other != 0;
    options.browserPath = globals_.config.browser;
    if (!globals_.frameFragment.empty()) options.frameText = globals_.frameFragment;
    if (!globals_.indexFragment.empty()) options.indexText = globals_.indexFragment;
    session_->orderTemplate = globals_.session.orderTemplate;
    session_->confirmTemplate = globals_.session.confirmTemplate;
    return true;
  }

  StoreNode* FindByFile(const std::string& file) {
    StoreNode* node = FindNodeByFile(RootNode(globals_.session.project), file);
    if (!node) Fail("no node has the file '" + file + "'");
    return node;
  }

  // Saves the sizes and checksums the build stored in the nodes.
  void SaveWhenChanged() {
    if (!globals_.session.project.changed) return;
    (void)SaveProject(globals_.session, env_);
  }

  bool Fail(const std::string& message) {
    ctx_.err << "tolmi-cli: " << message << "\n";
    ctx_.exitCode = 1;
    return false;
  }

  Context& ctx_;
  CliPrompter prompter_;
  SystemClock clock_;
  AppGlobals globals_;
  SchemeList schemes_;
  LifecycleEnv env_;
  std::unique_ptr<BuildSession> session_;
  SpawnBrowserLauncher launcher_;
};

void RunBuildCommand(Context& ctx, const BuildArgs& args) {
  BuilderRun run(ctx);
  if (!run.Start(args.project)) return;
  BuildSession& session = *run.session_;
  StoreSettings& settings = session.project.settings;
  session.buildDir = !args.dir.empty()              ? args.dir
                     : !settings.rebuildDir.empty() ? settings.rebuildDir
                                                    : settings.projectDir + "/Web/";
  for (const std::string& file : args.selected) {
    StoreNode* node = run.FindByFile(file);
    if (!node) return;
    session.selectedItems.push_back(node);
  }
  session.selectedOnly = !args.selected.empty();
  session.log.onLine = [&ctx](const std::string& line) { ctx.out << line << "\n" << std::flush; };
  if (args.open) session.launcher = &run.launcher_;
  BuildOutcome outcome = RunBuild(session);
  if (outcome == BuildOutcome::Completed && args.save) run.SaveWhenChanged();
  ctx.exitCode = outcome == BuildOutcome::Completed ? 0 : 1;
}

void RunPreviewCommand(Context& ctx, const BuildArgs& args) {
  BuilderRun run(ctx);
  if (!run.Start(args.project)) return;
  StoreNode* node = run.FindByFile(args.file);
  if (!node) return;
  BuildSession& session = *run.session_;
  if (args.open) session.launcher = &run.launcher_;
  std::string opened = PreviewNode(session, *node);
  if (opened.empty()) {
    ctx.exitCode = 1;
    return;
  }
  ctx.out << opened << "\n";
}

void Setup(CLI::App& app, Context& ctx) {
  auto args = std::make_shared<BuildArgs>();
  CLI::App* build = app.add_subcommand("build", "Build a project's web store");
  build->add_option("project", args->project, "Project name or .stp file")->required();
  build->add_option("--dir", args->dir, "Build directory (default: the project's)");
  build->add_option("--selected", args->selected, "Build only the nodes with these files");
  build->add_flag("--open", args->open, "Open the built store in the browser");
  build->add_flag("--save", args->save, "Save the page sizes and checksums into the project");
  build->callback([&ctx, args] { RunBuildCommand(ctx, *args); });

  CLI::App* preview = app.add_subcommand("preview", "Make one page in the preview folder");
  preview->add_option("project", args->project, "Project name or .stp file")->required();
  preview->add_option("file", args->file, "FILE of the node to preview")->required();
  preview->add_flag("--open", args->open, "Open the page in the browser");
  preview->callback([&ctx, args] { RunPreviewCommand(ctx, *args); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
