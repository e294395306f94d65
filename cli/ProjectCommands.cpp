// tolmi-cli commands for whole projects: new, info, resave, merge, backups, restore.
// Each loads the installation of the home the way the desktop program does,
// works through the project lifecycle, and reports the system's messages on stderr.
#include <array>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/Globals.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "project/Lifecycle.h"
#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"
#include "util/Dates.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

void SetupNew(CLI::App& app, Context& ctx) {
  auto opts = std::make_shared<std::array<std::string, 2>>();
  CLI::App* cmd = app.add_subcommand("new", "Create a new store project (with its starter pages)");
  cmd->add_option("NAME", (*opts)[0], "Project name")->required();
  cmd->add_option("--title", (*opts)[1], "Store title");
  cmd->callback([&ctx, opts] {
    CommandRun run(ctx);
    if (!run.Start()) return;
    const std::string& name = (*opts)[0];
    if (FileExists(ProjectFilePath(run.env(), name))) {
      PromptAnswer answer = run.env().prompter->Ask(kProjectExistsQuestion, "Confirmation",
                                                    PromptButtons::YesNoCancel);
      // Yes keeps the existing project; No replaces it; anything else stops.
      if (answer == PromptAnswer::Yes) {
        run.out() << ProjectFilePath(run.env(), name) << "\n";
        return;
      }
      if (answer != PromptAnswer::No) {
        run.Finish(Status::Error(ErrorKind::Cancelled, ""), "creating the project");
        return;
      }
    }
    if (!run.Finish(NewProject(run.session(), run.env(), name, (*opts)[1]), "creating the project"))
      return;
    if (!run.Finish(SaveProject(run.session(), run.env()), "saving the project")) return;
    run.out() << run.session().path << "\n";
  });
}

void SetupInfo(CLI::App& app, Context& ctx) {
  auto project = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand("info", "Show what a store project holds");
  cmd->add_option("PROJECT", *project, "Project name or .stp file")->required();
  cmd->callback([&ctx, project] {
    CommandRun run(ctx);
    if (!run.Start() || !run.Open(*project)) return;
    const StoreProject& p = run.session().project;
    std::array<std::size_t, 6> byKind{};
    ForEachNode(p, [&](const StoreNode& n) {
      if (static_cast<std::size_t>(n.kind) < byKind.size()) ++byKind[static_cast<int>(n.kind)];
    });
    const StoreSettings& s = p.settings;
    std::ostream& out = run.out();
    out << "Project: " << run.session().path << "\n"
        << "Store title: " << s.storeTitle << "\n"
        << "Version: " << s.version << "\n"
        << "Nodes: " << CountNodes(p) << "\n"
        << "Categories: " << byKind[0] << "\n"
        << "Products: " << byKind[1] << "\n"
        << "Shelves: " << byKind[2] << "\n"
        << "Lists: " << byKind[3] << "\n"
        << "Pages: " << byKind[4] << "\n"
        << "Links: " << byKind[5] << "\n"
        << "Currency: " << s.currency << "\n"
        << "Build directory: " << s.rebuildDir << "\n"
        << "Style: " << (s.style ? s.style->group + "/" + s.style->name : std::string()) << "\n"
        << "FTP server: " << s.ftpServer << "\n"
        << "Tax calculation: " << (s.taxOn ? "on" : "off") << "\n"
        << "Freight regions: " << p.regions.size() << "\n"
        << "Accepted cards: " << p.cards.size() << "\n"
        << "Variables: " << p.variables.size() << "\n"
        << "Templates: " << run.session().templateList.size() << "\n";
    // What the Store Wizard set: methods, regions, tax, and the top-level nodes.
    for (std::size_t i = 0; i < p.deliveryMethodNames.size(); ++i)
      out << "Delivery method " << i + 1 << ": " << p.deliveryMethodNames[i].value_or("") << "\n";
    for (const FreightRegion& r : p.regions) {
      out << "Region: " << r.name << " (" << r.key << "), tax "
          << (r.taxRate.empty() ? "-" : r.taxRate) << ", first band";
      for (const FreightMethod& m : r.methods)
        out << " " << (m.costs[0].empty() ? "-" : m.costs[0]);
      out << "\n";
    }
    out << "Tax method: " << (s.taxMethod == 1 ? "region based" : "product based") << "\n"
        << "Freight tax rate: " << s.freightTax << "\n"
        << "Accepted card names:";
    for (const AcceptedCard& c : p.cards) out << " " << c.name << ";";
    out << "\n";
    for (const auto& child : p.top().children) {
      static constexpr const char* kKinds[] = {"Category", "Product", "Shelf",
                                               "List",     "Page",    "Link"};
      out << "Top-level node: " << kKinds[static_cast<int>(child->kind) % 6] << " \""
          << child->title << "\" " << child->file << "\n";
    }
  });
}

// A project file that was cut short is saved over only with --force: the save would
// make the loss of its end permanent. False (reported) when that is refused.
bool MaySaveOver(CommandRun& run, bool force) {
  if (!run.session().readShort) return true;
  if (!force)
    return run.Fail("the project file '" + run.session().path +
                    "' was cut short; saving it would lose what is missing from its end for "
                    "good (give --force to save it anyway)");
  run.session().readShort = false;  // --force is the merchant's consent
  return true;
}

void SetupResave(CLI::App& app, Context& ctx) {
  auto project = std::make_shared<std::string>();
  auto force = std::make_shared<bool>(false);
  CLI::App* cmd = app.add_subcommand("resave", "Open a project and save it again (with a backup)");
  cmd->add_option("PROJECT", *project, "Project name or .stp file")->required();
  cmd->add_flag("--force", *force, "Save even a project file that was cut short");
  cmd->callback([&ctx, project, force] {
    CommandRun run(ctx);
    if (!run.Start() || !run.Open(*project) || !MaySaveOver(run, *force)) return;
    if (!run.Finish(SaveProject(run.session(), run.env()), "saving the project")) return;
    run.out() << run.session().path << "\n";
  });
}

void SetupMerge(CLI::App& app, Context& ctx) {
  auto opts = std::make_shared<std::array<std::string, 3>>();
  auto force = std::make_shared<bool>(false);
  CLI::App* cmd = app.add_subcommand(
      "merge", "Merge another project's pages into a project, below the node of a file");
  cmd->add_option("PROJECT", (*opts)[0], "Project name or .stp file")->required();
  cmd->add_option("OTHER", (*opts)[1], "Project name or .stp file to merge in")->required();
  cmd->add_option("--under", (*opts)[2], "FILE of the node to merge under");
  cmd->add_flag("--force", *force, "Save even a project file that was cut short");
  cmd->callback([&ctx, opts, force] {
    CommandRun run(ctx);
    if (!run.Start() || !run.Open((*opts)[0]) || !MaySaveOver(run, *force)) return;
    StoreProject& p = run.session().project;
    StoreNode* under = nullptr;
    if (!(*opts)[2].empty()) {
      under = FindNodeByFile(RootNode(p), (*opts)[2]);
      if (!under) {
        run.Fail("no node has the file '" + (*opts)[2] + "'");
        return;
      }
    } else if (RootNode(p)) {
      run.Fail("give --under FILE: the node to merge under");
      return;
    }
    const std::string other = run.ProjectPath((*opts)[1]);
    if (!run.Finish(MergeProject(run.session(), run.env(), other, under), "merging")) return;
    if (!run.Finish(SaveProject(run.session(), run.env()), "saving the project")) return;
    run.out() << run.session().path << "\n";
  });
}

void SetupBackups(CLI::App& app, Context& ctx) {
  auto project = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand("backups", "List a project's backups, newest first");
  cmd->add_option("PROJECT", *project, "Project name or .stp file")->required();
  cmd->callback([&ctx, project] {
    CommandRun run(ctx);
    if (!run.Start()) return;
    const std::string path = run.ProjectPath(*project);
    if (!FileExists(path) && !IsDirectory(ProjectDirOf(path))) {
      run.Fail("no project '" + path + "'");
      return;
    }
    for (const BackupEntry& b : ListBackups(path)) {
      run.out() << b.name << "\t" << b.size << "\t"
                << ConfiguredDate(b.time.value_or(0), run.globals().config.dateFormat);
      if (!b.problem.empty()) run.out() << "\t" << b.problem;
      run.out() << "\n";
    }
  });
}

void SetupRestore(CLI::App& app, Context& ctx) {
  auto project = std::make_shared<std::string>();
  auto number = std::make_shared<int>(0);
  CLI::App* cmd = app.add_subcommand("restore", "Revert a project to backup N (1 is the newest)");
  cmd->add_option("PROJECT", *project, "Project name or .stp file")->required();
  cmd->add_option("N", *number, "Backup number")->required();
  cmd->callback([&ctx, project, number] {
    CommandRun run(ctx);
    if (!run.Start()) return;
    const std::string path = run.ProjectPath(*project);
    const std::string wanted = "." + std::to_string(*number);
    const BackupEntry* chosen = nullptr;
    std::vector<BackupEntry> backups = ListBackups(path);
    for (const BackupEntry& b : backups)
      if (b.name.size() > wanted.size() &&
          b.name.compare(b.name.size() - wanted.size(), wanted.size(), wanted) == 0)
        chosen = &b;
    if (!chosen) {
      run.Fail("no backup " + std::to_string(*number) + " of '" + path + "'");
      return;
    }
    run.session().path = path;
    if (!run.Finish(RestoreBackup(run.session(), run.env(), *chosen), "restoring the backup"))
      return;
    run.out() << path << "\n";
  });
}

void Setup(CLI::App& app, Context& ctx) {
  SetupNew(app, ctx);
  SetupInfo(app, ctx);
  SetupResave(app, ctx);
  SetupMerge(app, ctx);
  SetupBackups(app, ctx);
  SetupRestore(app, ctx);
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
