// The windows the main window opens, wired to the program's own windows. A window
// that does not exist yet is a stand-in that does nothing.
#include "ui/MainWindow.h"

namespace tolmi::ui {

void MainWindow::InstallDefaultHooks() {
  hooks.openStore = [this] {
    FileQuery query{"Open Project", "Store Project (*.stp)", session_.home() + "/Projects"};
    const std::string path = chooser_.OpenFile(query);
    if (!path.empty()) (void)session_.OpenAfterQuestion(path);
  };
  hooks.saveProject = [this] { (void)session_.Save(); };
  hooks.loadProject = [this](const std::string& path) { (void)session_.Open(path); };
  auto nothing = [] {};
  hooks.saveAs = nothing;
  hooks.restoreBackup = nothing;
  hooks.merge = nothing;
  hooks.newStore = nothing;
  hooks.preferences = [](bool) {};
  hooks.help = nothing;
  hooks.about = nothing;
  hooks.orders = nothing;
  hooks.buildStore = [](bool) {};
  hooks.preview = nothing;
  hooks.storeSetup = [](int) {};
}

}  // namespace tolmi::ui
