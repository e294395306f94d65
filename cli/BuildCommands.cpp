// tolmi-cli commands of the store builder: "build" builds a project's store and
// prints the build log as it runs; "preview" makes one node's page in the
// preview folder and prints the page to open.
#include <memory>
#include <ostream>

#include "app/Globals.h"
#include "builder/BuildDriver.h"
#include "builder/BuildSession.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "project/Lifecycle.h"
#include "project/ProjectFile.h"
#include "schemes/Schemes.h"
#include "util/Browser.h"

namespace tolmi::cli {
namespace {

struct BuildArgs {
  std::string project;
  std::string dir;
  std::vector<std::string> selected;
  bool open = false;
  bool keepProject = false;
  bool saveFlag = false;  // --save, the default now, still accepted
  int jobs = 0;           // page-filling threads; 0: one per core
  std::string file;
};

// One command run: the installation, its schemes, the opened project and its build.
class BuilderRun : public CommandRun {
 public:
  using CommandRun::CommandRun;

  bool Start(const std::string& nameOrPath) {
    if (!CommandRun::Start() || !Open(nameOrPath)) return false;
    session_ = app().MakeBuildSession();
    return true;
  }

  StoreNode* FindByFile(const std::string& file) {
    StoreNode* node = FindNodeByFile(RootNode(project()), file);
    if (!node) Fail("no node has the file '" + file + "'");
    return node;
  }

  // Saves the sizes and checksums the build stored in the nodes.
  void SaveWhenChanged() {
    if (!project().changed) return;
    (void)SaveProject(session(), env());
  }

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
  session.options.jobs = args.jobs;
  session.log.onLine = [&ctx](const std::string& line) { ctx.out << line << "\n" << std::flush; };
  if (args.open) session.launcher = &run.launcher_;
  BuildOutcome outcome = RunBuild(session);
  if (outcome == BuildOutcome::Completed && !args.keepProject) run.SaveWhenChanged();
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
  build->add_option("--jobs", args->jobs,
                    "Threads that fill the pages (default 0: one per core; 1: a single thread)")
      ->check(CLI::Range(0, 64));
  // The build records each page's size and checksum in its node; publish compares them
  // with the last upload, so they are saved unless the project is to stay untouched.
  build->add_flag("--no-save", args->keepProject,
                  "Leave the project file untouched (else the pages' sizes and checksums are "
                  "saved in it, so that publish sends only what changed)");
  build->add_flag("--save", args->saveFlag)->group("");
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
