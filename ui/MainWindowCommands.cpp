// The main window's command handler: every command id of the menus, pop-ups, bars
// and keys, mapped onto the tree editor, the lifecycle and the session.
#include <QAction>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>

#include "ui/CommandActions.h"
#include "ui/MainWindow.h"
#include "ui/NodeListModel.h"
#include "ui/NodePage.h"
#include "ui/ProjectTreeModel.h"
#include "ui/StorePage.h"
#include "util/Browser.h"

namespace tolmi::ui {

void MainWindow::RunCommand(int id) {
  const Route route = RouteByFocus(id, CurrentFocus());
  switch (route.target) {
    case RouteTarget::TextField: RunTextFieldCommand(id); return;
    case RouteTarget::Page:  // the store pages bring their own Copy, Paste, Delete
      if (auto* page = qobject_cast<StorePage*>(tabs_->currentWidget())) page->RunPageCommand(id);
      return;
    case RouteTarget::Command: id = route.command; break;
    case RouteTarget::None: break;
  }
  if (RunNodeCommand(id) || RunProjectCommand(id) || RunOtherCommand(id)) {
    // Any command may have changed the project or its settings.
    UpdateTitle();
    ApplyCommandStates();
  }
}

void MainWindow::RunTextFieldCommand(int id) {
  QWidget* w = QApplication::focusWidget();
  if (auto* line = qobject_cast<QLineEdit*>(w)) {
    switch (id) {
      case kCmdCopy: line->copy(); break;
      case kCmdPaste: line->paste(); break;
      case kCmdDelete: line->del(); break;
      case kCmdSelectAll: line->selectAll(); break;
    }
  } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
    switch (id) {
      case kCmdCopy: text->copy(); break;
      case kCmdPaste: text->paste(); break;
      case kCmdDelete: text->textCursor().removeSelectedText(); break;
      case kCmdSelectAll: text->selectAll(); break;
    }
  }
  ApplyCommandStates();
}

void MainWindow::HandleTreeKey(TreeKey key) {
  lastFocus_ = UiFocus::Tree;
  switch (key) {
    case TreeKey::SelectAll: RunCommand(kCmdListSelectAll); break;
    case TreeKey::Copy: RunCommand(kCmdTreeCopy); break;
    case TreeKey::Paste: RunCommand(kCmdTreePaste); break;
    case TreeKey::Delete: RunCommand(kCmdTreeDelete); break;
    case TreeKey::MoveUp:
    case TreeKey::MoveDown: {
      CommitPage();
      syncing_ = true;
      TreeEditor& editor = session_.editor();
      key == TreeKey::MoveUp ? editor.MoveUp() : editor.MoveDown();
      syncing_ = false;
      AfterEdit();
      break;
    }
  }
}

void MainWindow::NewNode(NodeKind kind) {
  CommitPage();
  syncing_ = true;
  StoreNode* node = session_.editor().NewNode(kind);
  syncing_ = false;
  AfterEdit();
  if (!node) return;
  // Containers and pages are named at once: their label opens for typing.
  if (kind == NodeKind::Category || kind == NodeKind::Shelf || kind == NodeKind::List ||
      kind == NodeKind::Page) {
    tree_->setFocus();
    tree_->edit(treeModel_->IndexOf(node));
  }
}

bool MainWindow::RunNodeCommand(int id) {
  TreeEditor& editor = session_.editor();
  switch (id) {
    case kCmdNewCategory: case kCmdTreeNewCategory: NewNode(NodeKind::Category); return true;
    case kCmdNewProduct: case kCmdTreeNewProduct: NewNode(NodeKind::Product); return true;
    case kCmdNewShelf: case kCmdTreeNewShelf: NewNode(NodeKind::Shelf); return true;
    case kCmdNewList: case kCmdTreeNewList: NewNode(NodeKind::List); return true;
    case kCmdNewPage: case kCmdTreeNewPage: NewNode(NodeKind::Page); return true;
    case kCmdNewLink: case kCmdTreeNewLink: NewNode(NodeKind::Link); return true;
    case kCmdTreeRename: {
      QModelIndex index = treeModel_->IndexOf(editor.current());
      if (index.isValid()) {
        tree_->setFocus();
        tree_->edit(index);
      }
      return true;
    }
    case kCmdListRename: {
      std::vector<StoreNode*> selected = editor.SelectedEntries();
      int row = selected.size() == 1 ? listModel_->RowOf(selected.front()) : -1;
      if (row >= 0) {
        list_->setFocus();
        list_->edit(listModel_->index(row, 0));
      }
      return true;
    }
    case kCmdTreeCopy: editor.CopyFromTree(); ApplyCommandStates(); return true;
    case kCmdListCopy: editor.CopyFromList(); ApplyCommandStates(); return true;
    case kCmdListSelectAll:
      editor.SelectAll();
      SyncListSelection();
      ApplyCommandStates();
      return true;
    default: break;
  }
  // Operations that change the tree: the page is applied first, and a node it
  // shows may go away, so it lets go of it until the edit is done.
  switch (id) {
    case kCmdTreePaste: case kCmdListPaste: case kCmdTreeDelete: case kCmdListDelete:
    case kCmdTreeEnable: case kCmdTreeDisable: case kCmdListEnable: case kCmdListDisable:
      break;
    default: return false;
  }
  CommitPage();
  syncing_ = true;
  nodePage_->Load(nullptr, {});
  switch (id) {
    case kCmdTreePaste: editor.PasteIntoTree(); break;
    case kCmdListPaste: editor.PasteIntoList(); break;
    case kCmdTreeDelete: editor.DeleteFromTree(prompter_); break;
    case kCmdListDelete: editor.DeleteFromList(prompter_); break;
    case kCmdTreeEnable: editor.SetTreeEnabled(true); break;
    case kCmdTreeDisable: editor.SetTreeEnabled(false); break;
    case kCmdListEnable: editor.SetListEnabled(true); break;
    case kCmdListDisable: editor.SetListEnabled(false); break;
  }
  syncing_ = false;
  AfterEdit();
  return true;
}

void MainWindow::OpenRecent(int id) {
  const std::string path = RecentProjectPath(session_.config(), id);
  if (path.empty()) return;
  CommitPage();
  nodePage_->Load(nullptr, {});
  (void)session_.OpenAfterQuestion(path);
  ProjectReplaced();
}

void MainWindow::Quit() {
  CommitPage();
  if (!AskToSaveChanges(session_.session(), session_.env()).ok()) {
    UpdateTitle();
    return;  // the save failed: the merchant keeps the window and the changes
  }
  session_.ClearChanged();
  quitting_ = true;
  close();
}

bool MainWindow::RunProjectCommand(int id) {
  if (id >= kCmdRecent0 && id <= kCmdRecent4) {
    OpenRecent(id);
    return true;
  }
  switch (id) {
    case kCmdQuit: Quit(); return true;
    case kCmdSave:
      CommitPage();
      if (hooks.saveProject) hooks.saveProject();
      UpdateTitle();
      ApplyCommandStates();
      return true;
    case kCmdOpenStore:
    case kCmdSaveAs:
    case kCmdRestoreBackup:
    case kCmdMerge:
      CommitPage();
      nodePage_->Load(nullptr, {});
      switch (id) {
        case kCmdOpenStore: if (hooks.openStore) hooks.openStore(); break;
        case kCmdSaveAs: if (hooks.saveAs) hooks.saveAs(); break;
        case kCmdRestoreBackup: if (hooks.restoreBackup) hooks.restoreBackup(); break;
        case kCmdMerge: if (hooks.merge) hooks.merge(); break;
      }
      ProjectReplaced();
      return true;
    case kCmdNewStore:
      CommitPage();
      nodePage_->Load(nullptr, {});
      if (hooks.newStore) hooks.newStore();
      ProjectReplaced();
      return true;
    default: return false;
  }
}

void MainWindow::OpenAddress(const std::string& address) {
  const AppConfig& config = session_.config();
  if (!OpenInBrowser(launcher_, config.browser, address, config.newWindow))
    ShowBrowserError(prompter_);
}

void MainWindow::Find() {
  std::optional<QString> text;
  if (askFindText) {
    text = askFindText();
  } else {
    bool ok = false;
    QString typed = QInputDialog::getText(this, tr("Find"), tr("Find:"), QLineEdit::Normal, {}, &ok);
    if (ok) text = typed;
  }
  if (!text) return;
  const std::size_t found = session_.editor().Find(text->toStdString());
  SyncListSelection();
  list_->setFocus();
  statusBar()->showMessage(tr("%n entries found", nullptr, static_cast<int>(found)));
  ApplyCommandStates();
}

bool MainWindow::RunOtherCommand(int id) {
  AppConfig& config = session_.config();
  if (const InsertEntry* insert = FindInsertEntry(id)) {
    const QString text = QString::fromUtf8(insert->text);
    QWidget* w = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(w)) line->insert(text);
    if (auto* box = qobject_cast<QPlainTextEdit*>(w)) box->insertPlainText(text);
    return true;
  }
  if (ViewBitFor(id) != 0) {
    const int before = config.view;
    config.view = ToggleView(config.view, id);
    ApplyViewBits();
    if (RefreshesViews(before, id)) ProjectReplaced();
    ApplyCommandStates();
    return true;
  }
  switch (id) {
    case kCmdFind:  // the shown page's own Find (template editors), else the node list's
      if (auto* page = qobject_cast<StorePage*>(tabs_->currentWidget());
          !page || !page->RunPageCommand(kCmdFind))
        Find();
      return true;
    case kCmdOrders:
    case kCmdBuildStore:
      switch (CheckOrderServer(config, prompter_)) {
        case OrderServerCheck::OpenPreferences: hooks.preferences(true); break;
        case OrderServerCheck::Stop: break;
        case OrderServerCheck::Go:
          CommitPage();
          if (id == kCmdOrders && hooks.orders) hooks.orders();
          if (id == kCmdBuildStore && hooks.buildStore) hooks.buildStore(false);
          break;
      }
      ApplyCommandStates();
      return true;
    case kCmdPreview: CommitPage(); if (hooks.preview) hooks.preview(); return true;
    case kCmdPreferences: hooks.preferences(false); return true;
    case kCmdHelp: hooks.help(); return true;
    case kCmdAbout: hooks.about(); return true;
    case kCmdFaq: OpenAddress(config.urls.faq); return true;
    case kCmdManual: OpenAddress(config.urls.manual); return true;
    // No upgrade program on this system: the entry shows the hosting information page.
    case kCmdUpgrade: OpenAddress(HostingInfoPage(config)); return true;
    case kCmdImport:
    case kCmdCreditCards:
    case kCmdFreightRegions:
    case kCmdTaxOptions:
    case kCmdImportFreight:
      CommitPage();
      nodePage_->Load(nullptr, {});  // the window may replace nodes
      if (hooks.storeSetup) hooks.storeSetup(id);
      ProjectReplaced();
      return true;
    default: return false;
  }
}

void MainWindow::RunStartActions() {
  for (StartAction action : MainWindowStartActions(session_.globals())) {
    switch (action) {
      case StartAction::LoadProject:
        if (!session_.config().file.empty()) {
          nodePage_->Load(nullptr, {});
          if (hooks.loadProject) hooks.loadProject(session_.config().file);
          ProjectReplaced();
        }
        break;
      case StartAction::ShowHelp: hooks.help(); break;
      // No upgrade program here: without an order server the settings page opens.
      case StartAction::OrderServerSettings: hooks.preferences(true); break;
      case StartAction::NewStore: RunCommand(kCmdNewStore); break;
      case StartAction::BuildStore:
        if (hooks.buildStore) hooks.buildStore(true);
        close();  // "-R": the program ends with the build window
        return;
    }
  }
}

}  // namespace tolmi::ui
