#include "ui/ProjectWindows.h"

#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/HelpFile.h"
#include "app/Preferences.h"
#include "app/UiTexts.h"
#include "ui/dialogs/AboutDialog.h"
#include "ui/dialogs/HelpWindow.h"
#include "ui/dialogs/ProgressWindow.h"
#include "ui/dialogs/RestoreBackupDialog.h"
#include "ui/dialogs/SaveAsDialog.h"
#include "util/Paths.h"

namespace tolmi::ui {

namespace {

// Puts the progress windows on the lifecycle's callbacks for one command and
// takes them off again when the command is done. A window appears with the first
// count the core reports (its Step shows it), or at once with ShowLoading().
class ScopedProgress {
 public:
  ScopedProgress(QWidget* parent, LifecycleEnv& env)
      : parent_(parent),
        env_(env),
        oldSave_(env.saveProgress),
        oldLoad_(env.fileContext.progress) {
    env_.saveProgress = [this](std::size_t n) { Saving()->Step(n); };
    env_.fileContext.progress = [this](std::size_t n) { Loading()->Step(n); };
  }
  ~ScopedProgress() {
    env_.saveProgress = oldSave_;
    env_.fileContext.progress = oldLoad_;
  }
  ScopedProgress(const ScopedProgress&) = delete;
  ScopedProgress& operator=(const ScopedProgress&) = delete;

  void ShowLoading() { Loading()->Begin(); }

 private:
  ProgressWindow* Saving() { return Window(saving_, kSavingProjectText, loading_.get()); }
  ProgressWindow* Loading() { return Window(loading_, kLoadingProjectText, saving_.get()); }
  ProgressWindow* Window(std::unique_ptr<ProgressWindow>& window, const char* text,
                         ProgressWindow* other) {
    if (other) other->hide();
    if (!window) window = std::make_unique<ProgressWindow>(parent_, QString::fromUtf8(text));
    return window.get();
  }

  QWidget* parent_;
  LifecycleEnv& env_;
  std::function<void(std::size_t)> oldSave_;
  std::function<void(std::size_t)> oldLoad_;
  std::unique_ptr<ProgressWindow> saving_;
  std::unique_ptr<ProgressWindow> loading_;
};

Status Cancelled() { return Status::Error(ErrorKind::Cancelled, ""); }

std::string ProjectsFolder(const AppSession& session) { return JoinPath(session.home(), "Projects"); }

bool OpenAddress(const WindowContext& ctx, const std::string& address) {
  const AppConfig& config = ctx.session.config();
  if (OpenInBrowser(ctx.launcher, config.browser, address, config.newWindow)) return true;
  ShowBrowserError(ctx.prompter);
  return false;
}

}  // namespace

Status LoadProjectCommand(const WindowContext& ctx, const std::string& path) {
  ScopedProgress progress(ctx.parent, ctx.session.env());
  progress.ShowLoading();
  return ctx.session.Open(path);
}

Status OpenStoreCommand(const WindowContext& ctx) {
  const std::string path =
      ctx.chooser.OpenFile({kOpenProjectTitle, kProjectFileFilter, ProjectsFolder(ctx.session)});
  if (path.empty()) return Cancelled();
  ScopedProgress progress(ctx.parent, ctx.session.env());
  (void)AskToSaveChanges(ctx.session.session(), ctx.session.env());
  progress.ShowLoading();
  return ctx.session.Open(path);
}

Status SaveCommand(const WindowContext& ctx) {
  ScopedProgress progress(ctx.parent, ctx.session.env());
  return ctx.session.Save();
}

Status SaveAsCommand(const WindowContext& ctx) {
  AppSession& session = ctx.session;
  const std::string projects = ProjectsFolder(session);
  SaveAsDialog dialog(ctx.parent, !session.session().path.empty(), [&ctx, projects] {
    std::string folder = ctx.chooser.ChooseFolder({kSaveAsTitle, "", projects});
    return folder.empty() ? std::nullopt : std::optional<std::string>(folder);
  });
  if (dialog.exec() != QDialog::Accepted) return Cancelled();
  ScopedProgress progress(ctx.parent, session.env());
  Status saved = SaveProjectAs(session.session(), session.env(), dialog.Name());
  if (saved) RememberRecentProject(session.config(), session.session().path);
  return saved;
}

Status RestoreBackupCommand(const WindowContext& ctx) {
  AppSession& session = ctx.session;
  if (session.session().path.empty()) return Cancelled();
  RestoreBackupDialog dialog(ctx.parent, ListBackups(session.session().path),
                             session.config().dateFormat);
  if (dialog.exec() != QDialog::Accepted) return Cancelled();
  const std::optional<BackupEntry> backup = dialog.Selected();
  if (!backup) return Cancelled();
  ScopedProgress progress(ctx.parent, session.env());
  return RestoreBackup(session.session(), session.env(), *backup);
}

Status MergeCommand(const WindowContext& ctx, StoreNode* selected) {
  const std::string path =
      ctx.chooser.OpenFile({kMergeTitle, kProjectFileFilter, ProjectsFolder(ctx.session)});
  if (path.empty()) return Cancelled();
  ScopedProgress progress(ctx.parent, ctx.session.env());
  return MergeProject(ctx.session.session(), ctx.session.env(), path, selected);
}

bool PreferencesCommand(const WindowContext& ctx, PreferencesPage startPage) {
  AppSession& session = ctx.session;
  PreferencesHooks hooks;
  bool written = false;
  hooks.apply = [&ctx, &session, &written](const Preferences& prefs) {
    Status status =
        ApplyPreferences(prefs, session.globals(), session.proxyStore(), ctx.prompter);
    session.proxy() = ProxySettingsOf(prefs);
    // "config.ini" failures are shown by the core; the proxy store's are not.
    if (!status.ok() && status.message().rfind("ERROR W114", 0) != 0)
      ctx.prompter.Show(status.message(), "Error", PromptIcon::Error);
    written = status.ok();
    return status;
  };
  hooks.selectServer = [&ctx] { (void)OpenAddress(ctx, ctx.session.config().urls.server); };
  hooks.files = &ctx.chooser;
  PreferencesDialog dialog(ctx.parent,
                           ReadPreferences(session.globals(), session.proxyStore(), ctx.launcher),
                           session.globals().gateways, std::move(hooks));
  dialog.ShowPage(startPage);
  dialog.exec();
  return written;
}

void HelpCommand(const WindowContext& ctx) {
  if (ctx.parent) {
    if (auto* open = ctx.parent->findChild<HelpWindow*>("helpWindow")) {
      open->show();
      open->raise();
      open->activateWindow();
      return;
    }
  }
  Result<std::string> page = ReadHelpFile(ctx.session.home());
  if (!page) {
    ctx.prompter.Show(page.status().message(), "Error", PromptIcon::Error);
    return;
  }
  auto* window = new HelpWindow(ctx.parent, ctx.session.home(),
                                [ctx](const std::string& url) { return OpenAddress(ctx, url); });
  window->SetPage(*page);
  AppConfig* config = &ctx.session.config();
  config->help = 1;
  QObject::connect(window, &QObject::destroyed, [config] { config->help = 0; });
  window->show();
}

bool HelpWindowOpen(const QWidget* parent) {
  if (!parent) return false;
  const auto* window = parent->findChild<const HelpWindow*>("helpWindow");
  return window && window->isVisible();
}

void AboutCommand(const WindowContext& ctx) {
  const AppGlobals& globals = ctx.session.globals();
  AboutDialog dialog(ctx.parent, globals.versionText, globals.buildNumber);
  dialog.exec();
}

}  // namespace tolmi::ui
