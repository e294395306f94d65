#include "app/AppSession.h"

#include <filesystem>

#include "app/Config.h"
#include "app/Home.h"
#include "app/Preferences.h"
#include "payments/CardData.h"
#include "schemes/TemplateInstall.h"
#include "util/Dates.h"
#include "util/Files.h"

namespace tolmi {

unsigned ChangedFlags(const StoreProject& project, const OrdersTree& orders) {
  return (project.changed ? kProjectChangedBit : 0u) | (orders.changed ? kOrdersChangedBit : 0u);
}

AppSession::AppSession(std::string homeArg, Prompter& prompter, const Clock& clock)
    : homeArg_(std::move(homeArg)),
      prompter_(prompter),
      clock_(clock),
      editor_(globals_.session.project, globals_.serialCounter),
      proxyStore_(SettingsStore::DefaultPath()) {}

AppSession::~AppSession() {
  if (networkStarted_) HttpShutdown();
}

void AppSession::SetProxyStorePath(std::string path) { proxyStore_ = SettingsStore(std::move(path)); }

Result<StartupResult> AppSession::Start(const CommandLine& commandLine) {
  Result<std::string> home = PrepareHome(homeArg_);
  if (!home) return home.status();
  StartupHooks hooks;
  // Style schemes as every run loads them, so that new projects and Save As get
  // their style's templates and older projects are upgraded.
  hooks.loadStyleSchemes = [this](AppGlobals& globals) {
    LoadSchemes(schemes_, globals.home);
    globals.styles = SchemeStyleRefs(schemes_);
  };
  hooks.readProxySettings = [this](AppGlobals& globals) {
    (void)proxyStore_.Load();
    LoadProxySettings(proxy_, proxyStore_);
    proxy_.firewall.port = globals.firewallPort;
    LoadFirewallSettings(proxy_.firewall, proxyStore_);
  };
  StartupResult result = StartUp(globals_, *home, commandLine, prompter_, hooks);
  env_ = MakeLifecycleEnv(globals_, prompter_, clock_);
  SetStyleTemplateHooks(env_, schemes_, globals_.session.project);
  env_.writeConfiguration = [this] { (void)WriteConfig(); };
  return result;
}

std::string AppSession::ProjectPath(const std::string& nameOrPath) const {
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

Status AppSession::Open(const std::string& path) {
  editor_.SetListSelection({});
  Status opened = OpenProject(globals_.session, env_, path);
  if (opened) RememberRecentProject(globals_.config, globals_.session.path);
  return opened;
}

Status AppSession::OpenAfterQuestion(const std::string& path) {
  (void)AskToSaveChanges(globals_.session, env_);
  return Open(path);
}

void AppSession::UpgradeTemplatesNow() {
  ProjectSession& session = globals_.session;
  if (!session.templateUpgradeDue || !env_.upgradeTemplates) return;
  session.templateUpgradeDue = false;
  env_.upgradeTemplates(session.project, session.project.settings.projectDir);
  LoadProjectTemplates(session);
}

Status AppSession::SaveAs(const std::string& typed) {
  Status saved = SaveProjectAs(globals_.session, env_, typed);
  if (saved) RememberRecentProject(globals_.config, globals_.session.path);
  return saved;
}

Status AppSession::Save() { return SaveProject(globals_.session, env_); }

Status AppSession::WriteConfig() {
  return WriteConfigurationAtExit(globals_, globals_.config.help != 0, prompter_);
}

Status AppSession::Shutdown(bool helpOpen) {
  StartupHooks hooks;
  hooks.writeUserSchemes = [this](AppGlobals&) { (void)WriteSchemeList(schemes_, prompter_); };
  return WriteConfigurationAtExit(globals_, helpOpen, prompter_, hooks);
}

Status AppSession::LoadOrdersOnce() {
  if (ordersLoaded_) return Status::Ok();
  OrdersLoad load = LoadOrders(globals_.home, orders_);
  ordersLoaded_ = true;
  orders_.changed = false;
  return load.status;
}

Status AppSession::SaveOrdersFile(const std::function<void(std::size_t records)>& progress) {
  Status saved = SaveOrders(globals_.home, orders_, clock_.Now(), progress);
  if (!saved) {
    prompter_.Show(kOrdersWriteError, "Error", PromptIcon::Error);
    return saved;
  }
  orders_.changed = false;
  // The backup still holds the card data that an approved charge since the last save dropped.
  (void)ForgetCardDataInBackup(globals_.home, orders_, clock_.Now());
  return saved;
}

bool AppSession::StartNetwork(HttpNotify notify, bool useProxy) {
  if (networkStarted_) HttpShutdown();
  networkStarted_ =
      HttpStartup(loop_, "Tolmi PRO v" + std::to_string(globals_.versionNumber), std::move(notify));
  if (networkStarted_ && useProxy) ApplyProxySettings(proxy_);
  return networkStarted_;
}

BuildOptions AppSession::MakeBuildOptions() const {
  BuildOptions options;
  const AppGlobals& g = globals_;
  options.installDir = g.home;
  options.orderServer = g.config.server;
  options.orderUser = g.config.orderUser;
  options.lowerCase = g.config.lowerCaseLinks != 0;
  options.otherStores = g.config.other != 0;
  options.browserPath = g.config.browser;
  if (!g.frameFragment.empty()) options.frameText = g.frameFragment;
  if (!g.indexFragment.empty()) options.indexText = g.indexFragment;
  return options;
}

std::unique_ptr<BuildSession> AppSession::MakeBuildSession() {
  StoreProject& project = globals_.session.project;
  if (project.settings.style)
    if (std::optional<SchemeIndex> at = FindScheme(schemes_, *project.settings.style))
      schemes_.current = at;
  auto build = std::make_unique<BuildSession>(project, schemes_, prompter_);
  build->options = MakeBuildOptions();
  build->orderTemplate = globals_.session.orderTemplate;
  build->confirmTemplate = globals_.session.confirmTemplate;
  return build;
}

InvoiceSettings MakeInvoiceSettings(const AppConfig& config, const StoreProject* project,
                                    std::time_t now) {
  InvoiceSettings settings;
  settings.project = project;
  settings.orderUser = config.orderUser;
  settings.accountFields = config.accountFields;
  const int dateFormat = config.dateFormat;
  settings.formatDate = [dateFormat](std::time_t t) { return FormatDateLocale(t, dateFormat); };
  settings.now = now;
  return settings;
}

InvoiceSettings AppSession::MakeInvoiceSettings(const StoreProject* project) const {
  return tolmi::MakeInvoiceSettings(globals_.config, project, clock_.Now());
}

ChargeContext AppSession::MakeChargeContext() const {
  ChargeContext context;
  context.account = globals_.config.accountFields;
  if (const std::string* company = GetVariable(globals_.session.project.variables, "$COMPANY"))
    context.company = *company;
  context.dateOrder = globals_.config.dateFormat;
  context.now = clock_.Now();
  return context;
}

void AppSession::ClearChanged() {
  globals_.session.project.changed = false;
  orders_.changed = false;
}

}  // namespace tolmi
