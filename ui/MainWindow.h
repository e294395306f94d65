// The main window: menu bar, toolbar, button bar and status bar around the project
// tree, the node list and the property area. It holds no rules: which commands are
// enabled comes from app/CommandRules, what a command does from the tree editor,
// the lifecycle and the application session; the window maps widgets onto them.
// Windows and prompts reach the merchant through the Prompter and FileChooser it
// is given, so tests drive it with fakes.
#pragma once

#include <QMainWindow>
#include <functional>
#include <optional>

#include "app/AppSession.h"
#include "app/CommandRules.h"
#include "ui/FileChooser.h"
#include "ui/ProjectTreeView.h"

class QSplitter;
class QTabWidget;
class QTableView;
class QToolBar;

namespace tolmi {
class BrowserLauncher;
}

namespace tolmi::ui {

class CommandActions;
class NodeListModel;
class NodePage;
class ProjectTreeModel;

// The store pages after the node page, in tab order.
inline constexpr const char* kStorePageNames[] = {
    "Inventory", "Template", "Freight", "Order Form", "Confirmation", "Layout", "Variables"};

// The windows the main window opens that live elsewhere. Each starts filled with
// the program's own window (or a stand-in that does nothing while that window does
// not exist yet); tests may replace them.
struct MainWindowHooks {
  std::function<void()> openStore;      // 1367: choose a project file, then open it
  std::function<void()> saveProject;    // 1380: save with the progress window
  std::function<void()> saveAs;         // 1375
  std::function<void()> restoreBackup;  // 380
  std::function<void()> merge;          // 411
  std::function<void(const std::string& path)> loadProject;  // start-up, with progress
  std::function<void()> newStore;                             // 288: the Store Wizard
  std::function<void(bool orderServerPage)> preferences;      // 588
  std::function<void()> help;                                 // 7888
  std::function<void()> about;
  std::function<void()> orders;                // 151, after the order-server check
  std::function<void(bool modal)> buildStore;  // 346; modal for "-R"
  std::function<void()> preview;               // 544, after the page was applied
  std::function<void(int command)> storeSetup;  // 372, 430, 434, 439, 451
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // The session must be started (AppSession::Start). Window geometry and splitter
  // positions are kept in "tolmi-window.ini" of the home.
  MainWindow(AppSession& session, Prompter& prompter, FileChooser& chooser,
             BrowserLauncher& launcher, QWidget* parent = nullptr);
  ~MainWindow() override;

  // What the window does first, in the order the start-up rules give: load the
  // remembered project, reopen help, the order-server settings when none is set,
  // New Store, Build Store for "-R".
  void RunStartActions();

  // Runs a command by id, routed by focus where the rules say so.
  void RunCommand(int id);
  // Sets every action's state from the core's rules for the current state.
  void ApplyCommandStates();
  // The state the rules are asked about.
  CommandState CurrentCommandState() const;
  // The keyboard focus as the rules see it.
  UiFocus CurrentFocus() const;

  // The tree's keys, as the tree view reports them.
  void HandleTreeKey(TreeKey key);
  // Drag and drop within the tree (null target: below the nodes).
  bool CanDropNode(StoreNode& dragged, StoreNode* target) const;
  void DropNode(StoreNode& dragged, StoreNode* target);

  // Makes node the current tree node (null: none) and shows it.
  void SelectNode(StoreNode* node);
  // The project was replaced (open, restore, merge, new): every view is rebuilt.
  void ProjectReplaced();

  // Asks for a search text (Find, 449). Tests replace it.
  std::function<std::optional<QString>()> askFindText;
  MainWindowHooks hooks;

  CommandActions& actions() { return *actions_; }
  ProjectTreeView* treeView() const { return tree_; }
  ProjectTreeModel* treeModel() const { return treeModel_; }
  QTableView* listView() const { return list_; }
  NodeListModel* listModel() const { return listModel_; }
  NodePage* nodePage() const { return nodePage_; }
  QTabWidget* propertyTabs() const { return tabs_; }
  AppSession& session() { return session_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The node list's keys: the list forms of the tree's keys (Delete, Ctrl+A/C/V).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void BuildBars();
  void RestoreWindowState();
  void SaveWindowState();
  void ConnectViews();

  // After an edit: list, selection, node page, title and command states again.
  void AfterEdit();
  void SyncTreeSelection();
  void SyncListSelection();
  void ShowCurrentNode();
  void CommitPage();
  void UpdateTitle();
  void ApplyViewBits();
  void OnTreeCurrentChanged(const QModelIndex& index);
  void OnListSelectionChanged();

  // Command groups (MainWindowCommands.cpp).
  bool RunNodeCommand(int id);
  bool RunProjectCommand(int id);
  bool RunOtherCommand(int id);
  void RunTextFieldCommand(int id);
  void NewNode(NodeKind kind);
  void Find();
  void OpenAddress(const std::string& address);
  void OpenRecent(int id);
  void Quit();
  void InstallDefaultHooks();  // MainWindowHooks.cpp

  AppSession& session_;
  Prompter& prompter_;
  FileChooser& chooser_;
  BrowserLauncher& launcher_;
  CommandActions* actions_ = nullptr;
  ProjectTreeModel* treeModel_ = nullptr;
  ProjectTreeView* tree_ = nullptr;
  NodeListModel* listModel_ = nullptr;
  QTableView* list_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  NodePage* nodePage_ = nullptr;
  QSplitter* mainSplitter_ = nullptr;
  QSplitter* rightSplitter_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QToolBar* buttonBar_ = nullptr;
  UiFocus lastFocus_ = UiFocus::Other;  // the pane that had the focus last
  bool syncing_ = false;   // the window itself is changing selections
  bool quitting_ = false;  // Quit asked already; closing needs no second question
};

}  // namespace tolmi::ui
