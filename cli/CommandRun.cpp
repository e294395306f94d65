#include "cli/CommandRun.h"

#include <filesystem>

#include "app/Home.h"
#include "app/Startup.h"
#include "schemes/TemplateInstall.h"
#include "util/Files.h"

namespace tolmi::cli {

CommandRun::CommandRun(Context& ctx) : ctx_(ctx), prompter_(ctx.err, ctx.yes, ctx.no) {}

bool CommandRun::Start() {
  Result<std::string> home = PrepareHome(ctx_.home);
  if (!home) return Fail(home.status().message());
  // Style schemes as the desktop program loads them, so that new projects and
  // Save As get their style's templates and older projects are upgraded.
  StartupHooks hooks;
  hooks.loadStyleSchemes = [this](AppGlobals& globals) {
    LoadSchemes(schemes_, globals.home);
    globals.styles = SchemeStyleRefs(schemes_);
  };
  LoadInstallation(globals_, *home, prompter_, hooks);
  env_ = MakeLifecycleEnv(globals_, prompter_, clock_);
  SetStyleTemplateHooks(env_, schemes_, globals_.session.project);
  env_.writeConfiguration = [this] { WriteConfig(); };
  return true;
}

std::string CommandRun::ProjectPath(const std::string& nameOrPath) const {
  if (nameOrPath.find_first_of("/\\") != std::string::npos || FileExists(nameOrPath)) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(nameOrPath, ec);
    return ec ? nameOrPath : p.string();
  }
  std::string name = nameOrPath;
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".stp") == 0)
    name.resize(name.size() - 4);
  return ProjectFilePath(env_, name);
}

bool CommandRun::Open(const std::string& nameOrPath) {
  const std::string path = ProjectPath(nameOrPath);
  if (!OpenProject(globals_.session, env_, path))
    return Fail("cannot open the project '" + path + "'");
  return true;
}

bool CommandRun::Fail(const std::string& message) {
  ctx_.err << "tolmi-cli: " << message << "\n";
  ctx_.exitCode = 1;
  return false;
}

bool CommandRun::Finish(const Status& status, const std::string& what) {
  if (status.ok()) return true;
  if (prompter_.unanswered()) return Fail(what + " needs an answer (--yes or --no)");
  if (status.kind() == ErrorKind::Cancelled) return Fail(what + " was cancelled");
  return Fail(what + " failed");
}

void CommandRun::WriteConfig() {
  (void)WriteConfigurationAtExit(globals_, globals_.config.help != 0, prompter_);
}

}  // namespace tolmi::cli
