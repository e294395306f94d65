// tolmi-cli publish: sends a project's built store to its web host by FTP.
//   publish PROJECT [--password PW] [--compare] [--only FILE ...]
//                   [--transfer FILE ...] [--ignore FILE ...] [--connections N] [--verbose]
// The FTP account comes from the project (the password too when it is saved
// there, else from --password). Prints the compare summary, one line per file
// sent or failed, and saves the last-upload values into the project.
// --connections N shares the files to send between N FTP sessions (default: the
// project's own setting, which the Publish/Upload window keeps).
#include <climits>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/Globals.h"
#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "net/EventLoop.h"
#include "net/Publish.h"
#include "project/Lifecycle.h"
#include "schemes/Schemes.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

struct PublishArgs {
  std::string project;
  std::string password;
  bool compareOnly = false;
  bool verbose = false;
  int connections = 0;  // 0: the project's setting
  std::vector<std::string> only;
  std::vector<std::string> transfer;
  std::vector<std::string> ignore;
};

// One command run: the installation, its schemes and the opened project.
class PublishRun : public CommandRun {
 public:
  using CommandRun::CommandRun;

  bool Open(const std::string& nameOrPath) { return Start() && CommandRun::Open(nameOrPath); }

  // The chosen style's extra files (sent in the "Template" group).
  std::vector<std::string> TemplateFiles() {
    const StoreSettings& settings = project().settings;
    if (settings.style)
      if (std::optional<SchemeIndex> at = FindScheme(schemes(), *settings.style))
        schemes().current = at;
    // Without a chosen style the build uses the first one: so does publishing.
    bool any = false;
    for (const StyleCategory& category : schemes().categories) any |= !category.schemes.empty();
    if (!any) return {};
    Scheme* scheme = MakeSchemeCurrent(schemes(), prompter());
    return scheme ? scheme->files : std::vector<std::string>{};
  }

  std::string WebDir() {
    const StoreSettings& settings = project().settings;
    return !settings.rebuildDir.empty() ? settings.rebuildDir : settings.projectDir + "/Web";
  }

  bool Save() {
    if (!project().changed) return true;
    Status status = SaveProject(session(), env());
    if (!status.ok()) return Fail("the project was not saved: " + status.message());
    return true;
  }
};

// The rows named on the command line; false (after the message) for an unknown file.
bool FindRows(PublishRun& run, const PublishSession& session, const std::vector<std::string>& files,
              std::vector<int>& rows) {
  for (const std::string& file : files) {
    int row = session.FindEntry(file);
    if (row < 0) return run.Fail("no file '" + file + "' in the upload list");
    rows.push_back(row);
  }
  return true;
}

void RunPublish(Context& ctx, const PublishArgs& args) {
  PublishRun run(ctx);
  if (!run.Open(args.project)) return;
  StoreSettings& settings = run.project().settings;
  if (!(settings.savePassword && !settings.ftpPassword.empty()))
    settings.ftpPassword = args.password;

  EventLoop loop;
  PublishSession session(run.project(), loop, run.WebDir(), run.globals().home,
                         run.TemplateFiles());
  session.connections = args.connections > 0 ? args.connections : settings.ftpConnections;
  session.BuildList();
  std::vector<int> onlyRows, transferRows, ignoreRows;
  if (!FindRows(run, session, args.only, onlyRows) ||
      !FindRows(run, session, args.transfer, transferRows) ||
      !FindRows(run, session, args.ignore, ignoreRows))
    return;

  session.Compare();
  session.TransferDuringUpload(transferRows);
  session.IgnoreDuringUpload(ignoreRows);
  CompareCounts counts;
  counts.total = static_cast<int>(session.entries().size());
  int missing = 0;
  for (const UploadEntry& entry : session.entries()) {
    if (entry.status == kUploadTransfer) ++counts.toTransfer;
    if (entry.status == kUploadMissing) ++missing;
  }
  // Not one file of the store is there: it was never built (or built elsewhere).
  if (counts.total > 0 && missing == counts.total) {
    run.Fail("nothing is built in '" + run.WebDir() + "': build the store first (tolmi-cli build " +
             args.project + ")");
    return;
  }
  for (const UploadEntry& entry : session.entries())
    if (entry.status == kUploadMissing) ctx.err << "Missing local file: " << entry.path << "\n";
  if (!args.compareOnly && settings.ftpPassword.empty()) {
    run.Fail("the project keeps no FTP password: give it with --password");
    return;
  }
  ctx.out << CompareText(counts) << "\n";
  if (args.compareOnly) {
    for (const UploadEntry& entry : session.entries())
      if (entry.status == kUploadTransfer) ctx.out << "  " << entry.path << "\n";
    return;  // a dry run: the project is left as it was
  }
  if (onlyRows.empty() && counts.toTransfer == 0) {
    ctx.out << kAllUpToDate << "\n";
    run.Save();
    return;
  }

  bool finished = false;
  bool loginFailed = false;
  session.hooks.fileDone = [&](const UploadEntry& entry, bool ok, const std::string& reply) {
    if (ok)
      ctx.out << "Sent " << entry.path << "\n" << std::flush;
    else
      ctx.out << "Failed " << entry.path << (reply.empty() ? "" : ": " + reply) << "\n"
              << std::flush;
    // A session left idle after a refused last file is ended, so the command finishes.
    loop.Post([&session] {
      if (session.connected() && session.loggedIn() && !session.busy()) session.Disconnect();
    });
  };
  session.hooks.loginDone = [&](bool ok) {
    if (!ok) {
      loginFailed = true;
      return;
    }
    if (onlyRows.empty()) session.Upload();
  };
  session.hooks.sessionClosed = [&finished] { finished = true; };
  if (args.verbose)
    session.hooks.log = [&ctx](const std::string& line) { ctx.err << line << "\n"; };

  if (!onlyRows.empty()) {
    session.PublishNow(onlyRows);
    if (!session.connected()) {
      run.Fail("cannot connect to '" + settings.ftpServer + "'");
      return;
    }
  } else if (Status status = session.Connect(); !status.ok()) {
    run.Fail(status.message());
    return;
  }
  // The engine's own time-out ends a session whose server stops answering.
  while (!finished) loop.RunUntil([&finished] { return finished; }, INT_MAX / 2);
  session.Cancel();

  ctx.out << "Published: " << session.sentCount() << " sent, " << session.failedCount()
          << " failed\n";
  bool saved = run.Save();
  if (loginFailed) {
    run.Fail("login to '" + settings.ftpServer + "' failed");
  } else if (session.failedCount() > 0) {
    run.Fail("the publish failed; the files not sent stay marked to transfer");
  } else if (!saved) {
    ctx.exitCode = 1;
  }
}

void Setup(CLI::App& app, Context& ctx) {
  auto args = std::make_shared<PublishArgs>();
  CLI::App* publish = app.add_subcommand("publish", "Publish a project's built store by FTP");
  publish->add_option("project", args->project, "Project name or .stp file")->required();
  publish->add_option("--password", args->password,
                      "FTP password (when the project does not keep it)");
  publish->add_flag("--compare", args->compareOnly, "Only compare and list what would be sent");
  publish->add_option("--only", args->only, "Send only these files (Publish Now)");
  publish->add_option("--transfer", args->transfer, "Send these files whatever the compare says");
  publish->add_option("--ignore", args->ignore, "Count these files as uploaded");
  publish
      ->add_option("--connections", args->connections,
                   "FTP sessions that share the files to send (default: the project's, else 1)")
      ->check(CLI::Range(1, kMaxFtpConnections));
  publish->add_flag("--verbose", args->verbose, "Print the session log on stderr");
  publish->callback([&ctx, args] { RunPublish(ctx, *args); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
