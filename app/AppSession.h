// One run of the program: the prepared home with the installation loaded, the
// style schemes, the open project with its lifecycle and tree editor, the wizard
// memory, the orders, the proxy settings and the network engine on one event
// loop. The desktop program and tolmi-cli both run through it, so the way they
// set things up cannot drift apart. Everything runs on one thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "app/Globals.h"
#include "app/Startup.h"
#include "builder/BuildSession.h"
#include "net/EventLoop.h"
#include "net/HttpClient.h"
#include "net/ProxySettings.h"
#include "orders/Invoices.h"
#include "orders/OrdersFile.h"
#include "orders/OrdersTree.h"
#include "payments/Charge.h"
#include "project/Lifecycle.h"
#include "project/StoreWizard.h"
#include "project/TreeEditing.h"
#include "schemes/Schemes.h"
#include "util/Platform.h"
#include "util/Result.h"
#include "util/SettingsStore.h"

namespace tolmi {

// The change flags shared by the main window and the orders window: setting a
// bit adds it, clearing clears all bits. Any set bit enables Save.
inline constexpr unsigned kProjectChangedBit = 1;
inline constexpr unsigned kOrdersChangedBit = 2;

// The bits for a project and an orders tree: bit 1 when the project has unsaved
// changes, bit 2 when the orders have.
unsigned ChangedFlags(const StoreProject& project, const OrdersTree& orders);

// Invoice settings for an order: the project's store variables (null leaves
// them), "o_un", the account fields, the configured date format and now.
InvoiceSettings MakeInvoiceSettings(const AppConfig& config, const StoreProject* project,
                                    std::time_t now);

class AppSession {
 public:
  // homeArg is --home (empty: $TOLMI_HOME, else the XDG data folder). The
  // prompter and the clock must outlive the session.
  AppSession(std::string homeArg, Prompter& prompter, const Clock& clock);
  // Stops the HTTP engine when StartNetwork started it.
  ~AppSession();
  AppSession(const AppSession&) = delete;
  AppSession& operator=(const AppSession&) = delete;

  // Where the proxy settings are kept; the default is SettingsStore::DefaultPath().
  // Call before Start (tests point it into their home).
  void SetProxyStorePath(std::string path);

  // Prepares the home (created and seeded from the shipped data), loads the
  // installation with the style schemes and the proxy settings, handles the
  // command line ("-D" and "-P": the result says exit) and sets up the lifecycle
  // hooks: style templates for new projects and Save As, template upgrades of
  // older projects, the configuration written after every save. Fails with the
  // home's error (nothing loaded) when the home cannot be prepared.
  Result<StartupResult> Start(const CommandLine& commandLine = {});

  // The project file for a name or a path: an existing file (or a path) as given,
  // made absolute, else "Projects/<name>/<name>.stp" of the home (".stp" on the
  // name is dropped).
  std::string ProjectPath(const std::string& nameOrPath) const;

  // Opens the project at path without asking about unsaved changes (start-up,
  // tolmi-cli); on success remembers it first in the recent list. Failures show
  // the reader's message and "ERROR S105: ..." and leave no project open. The
  // editor's list selection is emptied either way (its nodes are gone).
  Status Open(const std::string& path);
  // The File menu's Open: the unsaved-changes question, then Open.
  Status OpenAfterQuestion(const std::string& path);
  // File, Save As under the typed name (see SaveProjectAs); on success the new
  // project file goes first in the recent list.
  Status SaveAs(const std::string& typed);

  // An older project's template upgrade, due at its first save, runs now (keeping
  // the merchant's copies as ".bak"): call it before a style replaces the
  // templates, so the save that follows does not replace the style's ones.
  void UpgradeTemplatesNow();

  // File, Save: backup, older-version question, the project file with the edited
  // order-form and confirmation templates and the invoice hook, then "config.ini".
  // saveProgress of env() is told the running record count.
  Status Save();

  // Writes "config.ini" as a save does (the open project is "file").
  Status WriteConfig();
  // At exit: writes "config.ini" (recording whether the help window is open) and
  // the user style schemes to "scheme.ini". Returns the status of "config.ini".
  Status Shutdown(bool helpOpen);

  // The orders file, read once (falling back on "orders.bak"); later calls
  // return at once with Ok. The status is the load's: an error when a damaged
  // file had no backup or the orders lock was not taken.
  Status LoadOrdersOnce();
  bool ordersLoaded() const { return ordersLoaded_; }
  // Saves the orders tree (clearing its changed mark on success), telling progress
  // the running count of written records after every twelfth (the "Saving orders"
  // window). On failure shows kOrdersWriteError titled "Error" and returns the
  // error (the mark stays).
  Status SaveOrdersFile(const std::function<void(std::size_t records)>& progress = {});

  // Starts the HTTP engine on loop() with the User-Agent "Tolmi PRO v<number>" and
  // notify, and hands it the proxy settings unless useProxy is false. False when
  // the engine cannot start. A second call restarts it.
  bool StartNetwork(HttpNotify notify, bool useProxy = true);
  bool networkStarted() const { return networkStarted_; }

  // A build of the open project set up from the configuration: the project's
  // style made current, the order server and user, "case", "other", the browser,
  // the shared page fragments and the project's order and confirmation templates.
  // The build directory and the dialog hooks are the caller's.
  std::unique_ptr<BuildSession> MakeBuildSession();
  // The build options from the configuration alone.
  BuildOptions MakeBuildOptions() const;

  // MakeInvoiceSettings with this session's configuration and clock.
  InvoiceSettings MakeInvoiceSettings(const StoreProject* project) const;
  // The charge context: the account fields, the open project's "$COMPANY" (""
  // without one), the date order and now.
  ChargeContext MakeChargeContext() const;

  // The change flags of the open project and the orders (kProjectChangedBit,
  // kOrdersChangedBit); anyChanged() is the Save rule's "some changed bit is set".
  unsigned changedFlags() const { return ChangedFlags(globals_.session.project, orders_); }
  bool anyChanged() const { return changedFlags() != 0; }
  // Clears every changed bit (Quit after the save question).
  void ClearChanged();

  const std::string& home() const { return globals_.home; }
  AppGlobals& globals() { return globals_; }
  const AppGlobals& globals() const { return globals_; }
  AppConfig& config() { return globals_.config; }
  ProjectSession& session() { return globals_.session; }
  StoreProject& project() { return globals_.session.project; }
  SchemeList& schemes() { return schemes_; }
  LifecycleEnv& env() { return env_; }
  const LifecycleEnv& env() const { return env_; }
  TreeEditor& editor() { return editor_; }
  WizardMemory& wizardMemory() { return wizardMemory_; }
  OrdersTree& orders() { return orders_; }
  ProxySettings& proxy() { return proxy_; }
  SettingsStore& proxyStore() { return proxyStore_; }
  EventLoop& loop() { return loop_; }
  Prompter& prompter() { return prompter_; }
  const Clock& clock() const { return clock_; }

 private:
  std::string homeArg_;
  Prompter& prompter_;
  const Clock& clock_;
  AppGlobals globals_;
  SchemeList schemes_;
  LifecycleEnv env_;
  TreeEditor editor_;
  WizardMemory wizardMemory_;
  OrdersTree orders_;
  bool ordersLoaded_ = false;
  SettingsStore proxyStore_;
  ProxySettings proxy_;
  EventLoop loop_;
  bool networkStarted_ = false;
};

}  // namespace tolmi
