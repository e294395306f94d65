// The windows the main window opens, wired to the program's own windows. A window
// that does not exist yet is a stand-in that does nothing.
#include "ui/MainWindow.h"

#include <QPointer>

#include "ui/ProjectWindows.h"
#include "ui/freight/FreightPage.h"
#include "ui/import/DataImportWindow.h"
#include "ui/orders/OrdersWindow.h"
#include "ui/wizard/WizardCommands.h"
#include "builder/BuildDriver.h"
#include "builder/BuildDialog.h"
#include "ui/build/BuildStoreDialog.h"

namespace tolmi::ui {

void MainWindow::InstallDefaultHooks() {
  auto ctx = [this] {
    return WindowContext{this, session_, prompter_, chooser_, launcher_};
  };
  hooks.openStore = [this, ctx] { (void)OpenStoreCommand(ctx()); };
  hooks.saveProject = [ctx] { (void)SaveCommand(ctx()); };
  hooks.saveAs = [ctx] { (void)SaveAsCommand(ctx()); };
  hooks.restoreBackup = [ctx] { (void)RestoreBackupCommand(ctx()); };
  hooks.merge = [this, ctx] { (void)MergeCommand(ctx(), session_.editor().current()); };
  hooks.loadProject = [ctx](const std::string& path) { (void)LoadProjectCommand(ctx(), path); };
  hooks.preferences = [ctx](bool orderServerPage) {
    (void)PreferencesCommand(ctx(), orderServerPage ? PreferencesPage::OrderServer
                                                    : PreferencesPage::StoreOptions);
  };
  hooks.help = [ctx] { HelpCommand(ctx()); };
  hooks.about = [ctx] { AboutCommand(ctx()); };
  hooks.newStore = [ctx] { (void)NewStoreCommand(ctx()); };
  hooks.orders = [ctx] { (void)OrdersCommand(ctx()); };
  hooks.buildStore = [this, ctx](bool modal) {
    BuildStoreCommand(ctx(), modal,
                      SelectedItemsFor(lastFocus_ == UiFocus::Tree, session_.editor().current(),
                                       session_.editor().SelectedEntries()));
  };
  // Preview: the current node's page built into the preview folder and opened.
  hooks.preview = [this] {
    StoreNode* node = session_.editor().current();
    if (!node) return;
    std::unique_ptr<BuildSession> build = session_.MakeBuildSession();
    if (!build) return;
    build->launcher = &launcher_;
    // An open Build Store window shows the preview's messages in its log.
    if (auto* dialog = findChild<BuildStoreDialog*>("BuildStoreDialog")) {
      QPointer<BuildStoreDialog> open(dialog);
      build->log.onLine = [open](const std::string& line) {
        if (open) open->AddLogLine(QString::fromStdString(line));
      };
    }
    (void)PreviewNode(*build, *node);
  };
  hooks.storeSetup = [ctx](int command) {
    switch (command) {
      case kCmdCreditCards: CreditCardsCommand(ctx()); break;
      case kCmdFreightRegions: (void)FreightRegionsCommand(ctx()); break;
      case kCmdTaxOptions: TaxOptionsCommand(ctx()); break;
      case kCmdImport: (void)DataImportCommand(ctx()); break;
      case kCmdImportFreight: (void)ImportFreightTablesCommand(ctx()); break;
      default: break;
    }
  };
}

}  // namespace tolmi::ui
