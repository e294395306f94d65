// tolmi-cli siteurl: shows or sets the store's public address (SITEURL), from which a build
// writes robots.txt and sitemap.xml and which publishing then sends.
#include <memory>
#include <ostream>
#include <string>

#include "builder/SiteFiles.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "project/Lifecycle.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

struct SiteUrlOptions {
  std::string project, address;
  bool clear = false;
};

void RunSiteUrl(Context& ctx, const SiteUrlOptions& o) {
  CommandRun run(ctx);
  if (!o.address.empty() && o.clear) {
    run.Fail("give an ADDRESS or --clear, not both");
    return;
  }
  std::string address = o.address;
  StrTrimWhite(address);
  if (!o.address.empty() && StoreBaseAddress(address).empty()) {
    run.Fail("'" + o.address +
             "' is no web address: give it as https://HOST/ or http://HOST/ (no spaces, "
             "quotes, \"?\" or \"#\")");
    return;
  }
  if (!run.Start()) return;
  const std::string path = run.ProjectPath(o.project);
  if (!FileExists(path)) {
    run.Fail("no project '" + path + "'");
    return;
  }
  if (!run.Open(path)) return;
  StoreProject& project = run.project();
  if (o.address.empty() && !o.clear) {
    run.out() << (project.settings.storeAddress.empty() ? "(none)" : project.settings.storeAddress)
              << "\n";
    return;
  }
  if (run.session().readShort) {
    run.Fail("the project file '" + path +
             "' was cut short; open it in tolmi or run tolmi-cli resave --force first");
    return;
  }
  if (project.settings.storeAddress != address) {
    project.settings.storeAddress = address;
    project.changed = true;
    if (!run.Finish(SaveProject(run.session(), run.env()), "saving the project")) return;
  }
  run.out() << (address.empty() ? "(none)" : address) << "\n";
}

void Setup(CLI::App& app, Context& ctx) {
  auto o = std::make_shared<SiteUrlOptions>();
  CLI::App* cmd = app.add_subcommand(
      "siteurl", "Show or set the store's public address (for robots.txt and sitemap.xml)");
  cmd->add_option("PROJECT", o->project, "Project name or .stp file")->required();
  cmd->add_option("ADDRESS", o->address, "The address, e.g. https://shop.example.com/");
  cmd->add_flag("--clear", o->clear, "Remove the address (no robots.txt or sitemap.xml)");
  cmd->callback([&ctx, o] { RunSiteUrl(ctx, *o); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
